#!/usr/bin/env bash
# Which Windows program the Wine runs use (scripts/wine-env.sh): the shipped i386 program where
# this machine runs 32-bit x86 code, else the x86-64 twin; TOVARA_TARGET forces one, and
# anything else is refused. Each Windows build's test programs are run for their own target.
set -uo pipefail
root=${TOVARA_ROOT:?}
fails=0; passes=0
check() { if eval "$2"; then echo "ok - $1"; passes=$((passes+1)); else echo "not ok - $1"; fails=$((fails+1)); fi; }

# env_of TARGET: what wine-env.sh sets for it, one "NAME=value" a line (TARGET "" chooses).
env_of() {
  env -u WINEPREFIX -u TOVARA_BUILD_DIR TOVARA_TARGET="$1" TOVARA_ROOT="$root" bash -c '
    source "$TOVARA_ROOT/scripts/wine-env.sh" 2>/dev/null || exit $?
    echo "target=$TOVARA_TARGET"; echo "build=$TOVARA_BUILD_DIR"; echo "arch=$WINEARCH"
    echo "prefix=$WINEPREFIX"; echo "wine=$(command -v wine)"'
}

x64=$(env_of x64)
check "x64: the twin's build, a 64-bit prefix of its own, the 64-bit loader" \
  '[ "$x64" == "target=x64
build=$root/build/win64
arch=win64
prefix=$root/build/wine64-prefix
wine=$root/build/wine64-bin/wine" ]'
check "x64: its wine command starts the 64-bit loader" \
  'grep -qx "exec /usr/lib/wine/wine64 \"\\\$@\"" "$root/build/wine64-bin/wine"'
i386=$(env_of i386)
check "i386: the shipped build, a 32-bit prefix" \
  'grep -qx "build=$root/build/win32" <<<"$i386" && grep -qx "arch=win32" <<<"$i386" &&
   grep -qx "prefix=$root/build/wine-prefix" <<<"$i386"'
bogus=$(env_of i686 2>&1); rc=$?
check "an unknown target is refused (exit 2)" '[ "$rc" == 2 ] && [ -z "$bogus" ]'

if /lib/ld-linux.so.2 --version >/dev/null 2>&1 && ! grep -qsx enabled /proc/sys/fs/binfmt_misc/qemu-i386; then
  expected=i386
else
  expected=x64
fi
check "chosen by itself: $expected, as this machine runs i386 code or not" \
  'grep -qx "target=$expected" <<<"$(env_of "")"'
if [ "$expected" == x64 ]; then
  out=$(bash "$root/scripts/wine-run.sh" --target i386 /nonexistent.exe 2>/dev/null); rc=$?
  check "the i386 test programs report themselves skipped here (77)" \
    '[ "$rc" == 77 ] && [[ "$out" == "skipped (i386): "* ]]'
fi

for pair in win32:i386 win64:x64; do
  tests=$root/build/${pair%%:*}/tests/CTestTestfile.cmake
  if [ -f "$tests" ]; then
    check "build/${pair%%:*} runs its test programs for ${pair##*:}" \
      '! grep "^add_test" "$tests" | grep -v -q "/wine-run.sh\" \"--target\" \"${pair##*:}\" "'
  fi
done
echo "$passes passed, $fails failed"
[ "$fails" -eq 0 ]
