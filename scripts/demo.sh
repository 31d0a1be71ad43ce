#!/usr/bin/env bash
# Shows TovaraSetup.exe at work: builds it, puts it into a host folder, runs it under Wine and
# prints the status line as it changes, then the files written and the exit code.
#
#   scripts/demo.sh [HOSTDIR]
#
# HOSTDIR must hold CoolQ.exe; without it a demo host folder is made under build/demo-host
# (a stand-in CoolQ.exe and the empty plugin and config folders of a fresh host). A folder
# given here is only added to: the installer is copied in and writes what it writes; nothing
# is deleted by this script.
#
# With a reachable X display (DISPLAY) the window appears there and you click "安装插件"
# yourself (DEMO_CLICK=1 clicks for you); otherwise the demo runs in a private Xvfb and clicks
# the button itself. A picture of the progress window is kept as build/demo-progress.png.
# Wine runs in a prefix of its own, build/demo-prefix (build/demo64-prefix for the twin),
# copied from the project's prefix.
#
# Where this machine runs no 32-bit x86 code, the demo runs the 64-bit twin of the installer
# (preset win64: the same sources built for x86-64) under 64-bit Wine, and says so first;
# TOVARA_TARGET=i386|x64 forces one (scripts/wine-env.sh).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

source scripts/wine-env.sh 2>/dev/null  # (the shell itself may lack the private locale)
if [ "$TOVARA_TARGET" == x64 ]; then
  echo "demo: running the 64-bit twin of TovaraSetup.exe (build/win64) under 64-bit Wine: this machine does not run the shipped 32-bit program"
else
  echo "demo: running TovaraSetup.exe (build/win32) under 32-bit Wine"
fi
bash scripts/setup.sh
cmake --preset "$TOVARA_PRESET" >/dev/null
cmake --build --preset "$TOVARA_PRESET"

exe=$TOVARA_BUILD_DIR/TovaraSetup.exe
helpers=$TOVARA_BUILD_DIR/helpers
for f in "$exe" "$helpers/observer.exe" "$helpers/fake_host_gui.exe" "$helpers/list_processes.exe"; do
  [ -f "$f" ] || { echo "demo: $f was not built" >&2; exit 1; }
done

# --- the host folder --------------------------------------------------------------------------
if [ $# -ge 1 ]; then
  host=$(cd "$1" 2>/dev/null && pwd) || { echo "demo: no folder $1" >&2; exit 2; }
  [ -f "$host/CoolQ.exe" ] || { echo "demo: $host holds no CoolQ.exe" >&2; exit 2; }
else
  host=$top/build/demo-host
  # Only a folder this script made (it carries the marker) is made afresh.
  if [ -e "$host" ]; then
    if [ -f "$host/.tovara-demo-host" ]; then
      rm -rf "$host"
    else
      echo "demo: $host exists and was not made by this script; pass it as HOSTDIR or move it" >&2
      exit 2
    fi
  fi
  mkdir -p "$host/plugin" "$host/config"
  touch "$host/.tovara-demo-host"
  cp "$helpers/fake_host_gui.exe" "$host/CoolQ.exe"
fi
cp "$exe" "$host/TovaraSetup.exe"
echo "demo: host folder $host"

# --- Wine and the display ---------------------------------------------------------------------
tovara_wine_runs || { echo "demo: $TOVARA_WINE_WHY" >&2; exit 1; }
tovara_wine_prefix
base=$WINEPREFIX
demo_prefix=$top/build/demo-prefix
[ "$TOVARA_TARGET" == x64 ] && demo_prefix=$top/build/demo64-prefix
if [ ! -f "$demo_prefix/.tovara-ready" ]; then
  rm -rf "$demo_prefix"
  cp -a "$base" "$demo_prefix"
  rm -f "$demo_prefix/wineserver"
fi
export WINEPREFIX=$demo_prefix

own_display=0
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "demo: on your display $DISPLAY"
  click=${DEMO_CLICK:-0}
else
  tovara_start_xvfb || { echo "demo: no X display" >&2; exit 1; }
  own_display=1
  click=1
  echo "demo: in a private Xvfb ($DISPLAY)"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tovara-demo.XXXXXX")
log=$work/observer.log
pids=()
cleanup() {
  set +e
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  if [ "$own_display" == 1 ]; then
    # Nothing of this prefix stays behind a display that goes away.
    wineserver -k >/dev/null 2>&1
    tovara_stop_xvfb
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

winpath() { local p=$1; echo "Z:${p//\//\\}"; }

wait_log() {  # wait_log REGEX TIMEOUT_S
  local deadline=$((SECONDS + $2))
  while [ "$SECONDS" -le "$deadline" ]; do
    [ -f "$log" ] && grep -qE -- "$1" "$log" && return 0
    sleep 0.1
  done
  return 1
}

# The installer window's outer rectangle and client area, from the observer's log: "l t r b"
# and "l t".
window_geometry() {
  python3 - "$log" <<'PY'
import re, sys
rect = client = None
for line in open(sys.argv[1], encoding='utf-8'):
    if ' window ' in line and 'title="Tovara插件安装程序"' in line:
        rect = re.search(r' rect=(\S+)', line).group(1)
        client = re.search(r' client=(\S+)', line).group(1)
if rect:
    print(rect.replace(',', ' '), ' '.join(client.split(',')[:2]))
PY
}

started=$(date +%s)
sleep 1  # file times: what the run writes is newer than this
wine "$helpers/observer.exe" --timeout 300000 "$(winpath "$log")" "$(winpath "$host")\\TovaraSetup.exe" \
  >/dev/null 2>&1 &
pids+=($!)

# The status line as it changes, with seconds since the click; the count of the brain teasers
# is shortened to every hundredth.
python3 - "$log" <<'PY' &
import os, re, sys, time
path = sys.argv[1]
LINE = re.compile(r'^(\d+) (\w[\w-]*)(.*)$')
def field(rest, name):
    m = re.search(r' %s=("(?:\\.|[^"\\])*"|\S*)' % name, rest)
    if not m:
        return ''
    v = m.group(1)
    if v.startswith('"'):
        v = re.sub(r'\\(x[0-9A-F]{2}|.)', lambda e: chr(int(e.group(1)[1:], 16))
                   if e.group(1).startswith('x') and len(e.group(1)) == 3
                   else {'r': '\r', 'n': '\n', 't': '\t'}.get(e.group(1), e.group(1)), v[1:-1])
    return v
while not os.path.exists(path):
    time.sleep(0.05)
window = status = None
last = None
t0 = None
hundred = -1
with open(path, encoding='utf-8') as f:
    buf = ''
    while True:
        chunk = f.readline()
        if not chunk:
            time.sleep(0.05)
            continue
        buf += chunk
        if not buf.endswith('\n'):
            continue
        line, buf = buf, ''
        m = LINE.match(line.rstrip('\n'))
        if not m:
            continue
        t, kind, rest = int(m.group(1)), m.group(2), m.group(3)
        if kind == 'window' and field(rest, 'title') == 'Tovara插件安装程序' and window is None:
            window = field(rest, 'hwnd')
            print('[  window shown %.1f s after the start ]' % (t / 1000.0), flush=True)
        elif kind == 'box':
            print('[  message box "%s": %s ]' % (field(rest, 'title'), field(rest, 'text')),
                  flush=True)
        elif kind == 'control' and window and field(rest, 'parent') == window \
                and field(rest, 'rect') == '48,29,272,144':
            text = field(rest, 'text')
            if text == last or not text:
                continue
            last = text
            if t0 is None:
                t0 = t
            count = re.fullmatch(r'正在写出第(\d+)个【一共1000个】....', text)
            if count:
                n = int(count.group(1))
                if n // 100 == hundred:
                    continue
                hundred = n // 100
            print('%7.1f s  %s' % ((t - t0) / 1000.0, text), flush=True)
        elif kind == 'exit':
            code = int(field(rest, 'code'))
            print('[  installer ended, exit code %d%s ]'
                  % (code, ' (-1)' if code == 4294967295 else ''), flush=True)
            break
        elif kind == 'timeout':
            print('[  the installer still ran after 300 s; ended by the demo ]', flush=True)
PY
follower=$!
pids+=("$follower")

wait_log '^[0-9]+ window .*title="Tovara插件安装程序".* visible=1' 60 ||
  { echo "demo: the installer window did not appear (see a message box?)"; }
sleep 1
read -r wl wt wr wb cl ct <<<"$(window_geometry)"
if [ "$click" == 1 ] && [ -n "${cl:-}" ]; then
  echo "[  clicking 安装插件 ]"
  # InstallButton: client 74,152 .. 178,184.
  xdotool mousemove --sync $((cl + 126)) $((ct + 168)) click 1
else
  echo "[  click 安装插件 in the window to start ]"
fi

# The progress window while the old-version check stands (a 3 s step near the start).
if wait_log '检查是否有旧版本中' 600; then
  sleep 1
  read -r wl wt wr wb cl ct <<<"$(window_geometry)"
  if import -window root -crop "$((wr - wl))x$((wb - wt))+$wl+$wt" +repage \
      "$top/build/demo-progress.png" 2>/dev/null; then
    echo "[  picture of the progress window: build/demo-progress.png ]"
  fi
fi

wait "$follower" || true
exit_line=$(grep -m1 -E '^[0-9]+ exit code=' "$log" || true)
code=${exit_line##*=}

echo
echo "Files written by the run (in $host):"
found=0
for rel in "plugin/Tovara娱乐插件1.3.1版本.cqp.dll" "Tovara娱乐插件1.3.1版本控制台.exe" \
           "config/Tovara娱乐插件配置/名片.exe" "tovarachajian2.dll" \
           "config/Tovara娱乐插件配置/插件配置.ini" "config/Tovara娱乐插件配置/抽签数据.ini" \
           "config/Tovara娱乐插件配置/急转弯.ini"; do
  f=$host/$rel
  if [ -f "$f" ] && [ "$(stat -c %Y "$f")" -ge "$started" ]; then
    printf '  %10s bytes  %s\n' "$(stat -c %s "$f")" "$rel"
    found=$((found + 1))
  elif [ -f "$f" ]; then
    printf '  %10s bytes  %s (was there; left unchanged)\n' "$(stat -c %s "$f")" "$rel"
  else
    printf '  %10s        %s (not written)\n' - "$rel"
  fi
done
echo "$found files written; exit code ${code:-unknown} ($TOVARA_TARGET: ${exe#"$top"/})"

# The console the installer started: shown on your display; in the private Xvfb it is closed.
console=$(wine "$helpers/list_processes.exe" 2>/dev/null | tr -d '\r' |
  awk '$3 == "Tovara娱乐插件1.3.1版本控制台.exe" { print $1 }' | head -1)
if [ -n "$console" ]; then
  echo "The console program runs (Windows process $console)."
  if [ "$own_display" == 1 ]; then
    wine taskkill /pid "$console" >/dev/null 2>&1 || true
  fi
fi
[ "${code:-1}" == 0 ]
