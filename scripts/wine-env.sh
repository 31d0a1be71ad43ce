# Sourced by the scripts that run Windows programs: a private Wine prefix under build/, code
# page 936 through the zh_CN.UTF-8 locale (compiled by setup.sh into build/locale), no debug
# chatter. The prefix is made once and reused; tests that change it copy it first.
#
# Which program runs here (the target):
#   i386  the shipped TovaraSetup.exe (build/win32) under 32-bit Wine, prefix build/wine-prefix;
#   x64   its 64-bit twin (build/win64: the same sources, helpers and stand-ins for x86-64)
#         under 64-bit Wine, prefix build/wine64-prefix.
# i386 where this machine runs 32-bit x86 code, x64 where it does not; TOVARA_TARGET=i386|x64
# forces one. Sets TOVARA_TARGET, TOVARA_PRESET (win32|win64), TOVARA_BUILD_DIR and
# TOVARA_OBJDUMP (objdump for the target's images).
TOVARA_ROOT=${TOVARA_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export LOCPATH="$TOVARA_ROOT/build/locale"
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# 32-bit Wine is i386 Linux code. Some machines cannot run it: a kernel built or booted without
# IA-32 emulation refuses every i386 program ("Exec format error"), and a user-mode emulator
# registered for i386 (qemu through binfmt_misc) runs it, but a single Windows program start
# then takes about a minute of processor time, far too slow for timed scenarios. Answers
# whether i386 programs run here for real; TOVARA_I386_WHY tells why not.
tovara_i386_runs() {
  local entry
  for entry in /proc/sys/fs/binfmt_misc/qemu-i386 /proc/sys/fs/binfmt_misc/qemu-i386-static; do
    if [ -r "$entry" ] && head -1 "$entry" | grep -qx enabled; then
      TOVARA_I386_WHY="i386 programs run here only through a user-mode emulator ($entry)"
      return 1
    fi
  done
  if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    TOVARA_I386_WHY="this machine's kernel does not run 32-bit x86 programs (no IA-32 emulation), so 32-bit Wine cannot start"
    return 1
  fi
  TOVARA_I386_WHY=
}

case ${TOVARA_TARGET:-} in
  i386|x64) ;;
  "") if tovara_i386_runs; then TOVARA_TARGET=i386; else TOVARA_TARGET=x64; fi ;;
  *) echo "TOVARA_TARGET must be i386 or x64, not '$TOVARA_TARGET'" >&2; return 2 2>/dev/null || exit 2 ;;
esac
export TOVARA_TARGET
if [ "$TOVARA_TARGET" == i386 ]; then
  TOVARA_PRESET=win32
  TOVARA_OBJDUMP=i686-w64-mingw32-objdump
  export WINEARCH=win32
  export WINEPREFIX=${WINEPREFIX:-$TOVARA_ROOT/build/wine-prefix}
else
  TOVARA_PRESET=win64
  TOVARA_OBJDUMP=x86_64-w64-mingw32-objdump
  export WINEARCH=win64
  export WINEPREFIX=${WINEPREFIX:-$TOVARA_ROOT/build/wine64-prefix}
  # Debian's "wine" and "wine-stable" start the 32-bit loader whenever wine32 is installed;
  # the twin's commands ("wine", and "wineboot" through "wine-stable") go to the 64-bit one.
  TOVARA_WINE64_BIN=$TOVARA_ROOT/build/wine64-bin
  # (The loader must be started under its own name: it finds its libraries from there.)
  if [ ! -x "$TOVARA_WINE64_BIN/wine-stable" ]; then
    mkdir -p "$TOVARA_WINE64_BIN"
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$TOVARA_WINE64_BIN/.wine.$$"
    chmod +x "$TOVARA_WINE64_BIN/.wine.$$"
    cp -p "$TOVARA_WINE64_BIN/.wine.$$" "$TOVARA_WINE64_BIN/wine.$$"
    mv -f "$TOVARA_WINE64_BIN/wine.$$" "$TOVARA_WINE64_BIN/wine"
    mv -f "$TOVARA_WINE64_BIN/.wine.$$" "$TOVARA_WINE64_BIN/wine-stable"
  fi
  case ":$PATH:" in *":$TOVARA_WINE64_BIN:"*) ;; *) export PATH="$TOVARA_WINE64_BIN:$PATH" ;; esac
fi
export TOVARA_PRESET TOVARA_OBJDUMP
export TOVARA_BUILD_DIR=$TOVARA_ROOT/build/$TOVARA_PRESET

# Answers whether Wine runs the target here for real; TOVARA_WINE_WHY tells why not.
TOVARA_SKIP_CODE=77
tovara_wine_runs() {
  if [ "$TOVARA_TARGET" == i386 ]; then
    tovara_i386_runs || { TOVARA_WINE_WHY=$TOVARA_I386_WHY; return 1; }
  elif [ ! -x /usr/lib/wine/wine64 ]; then
    TOVARA_WINE_WHY="64-bit Wine is not installed (Debian's wine64; scripts/setup.sh)"
    return 1
  fi
  TOVARA_WINE_WHY=
}

# Makes the prefix when it is missing: booted once, then told not to wait for a window
# manager (there is none under Xvfb).
tovara_wine_prefix() {
  if [ ! -f "$WINEPREFIX/.tovara-ready" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    (flock 9
      if [ ! -f "$WINEPREFIX/.tovara-ready" ]; then
        wineboot -i >/dev/null 2>&1 || true
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.tovara-ready"
      fi
    ) 9>"$(dirname "$WINEPREFIX")/.wine-prefix.lock"
  fi
}

# Starts a private Xvfb on a free display number; sets DISPLAY and TOVARA_XVFB_PID.
tovara_start_xvfb() {
  local n
  for n in $(seq 91 140); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      TOVARA_XVFB_PID=$!
      export DISPLAY=":$n"
      for _ in $(seq 1 50); do
        # The display is ours only when the lock names our server: another one started for
        # the same number at the same moment (a parallel scenario) has the socket too.
        if [ -e "/tmp/.X11-unix/X$n" ] && [ -e "/tmp/.X$n-lock" ]; then
          [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" == "$TOVARA_XVFB_PID" ] && return 0
          break
        fi
        sleep 0.1
      done
      kill "$TOVARA_XVFB_PID" 2>/dev/null
      wait "$TOVARA_XVFB_PID" 2>/dev/null
    fi
  done
  echo "no free X display" >&2
  return 1
}

tovara_stop_xvfb() {
  [ -n "${TOVARA_XVFB_PID:-}" ] && kill "$TOVARA_XVFB_PID" 2>/dev/null && wait "$TOVARA_XVFB_PID" 2>/dev/null
  TOVARA_XVFB_PID=
}
