# Harness for the end-to-end scenarios: sourced by every tests/e2e/test_*.sh.
#
# Each scenario runs the real TovaraSetup.exe under Wine in its own copy of the booted prefix
# and its own Xvfb display, watched by observer.exe (tests/helpers/observer.cpp), and drives
# it with xdotool as a user would. Results are printed as TAP lines; e2e_finish exits non-zero
# when a check failed. Clean-up always runs: the scenario's processes by PID, its prefix's
# wineserver, its Xvfb by PID, its temporary folder.
#
# The programs are those of the target scripts/wine-env.sh chooses: the shipped i386 program
# (build/win32) where this machine runs 32-bit code, else its x86-64 twin (build/win64) under
# 64-bit Wine; TOVARA_TARGET=i386|x64 forces one. Every result line names the target.
#
# Overrides: TOVARA_EXE (the installer), TOVARA_HELPERS (folder of observer.exe and friends),
# E2E_SHOTS (screenshot folder), E2E_KEEP=1 (keep the temporary folder for a look).
set -euo pipefail

TOVARA_ROOT=${TOVARA_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../scripts/wine-env.sh
source "$TOVARA_ROOT/scripts/wine-env.sh" 2>/dev/null
TOVARA_EXE=${TOVARA_EXE:-$TOVARA_BUILD_DIR/TovaraSetup.exe}
TOVARA_HELPERS=${TOVARA_HELPERS:-$TOVARA_BUILD_DIR/helpers}
E2E_SHOTS=${E2E_SHOTS:-$TOVARA_ROOT/build/e2e-shots}
E2E_NAME=$(basename "$0" .sh)

INSTALLER_TITLE='Tovara插件安装程序'

E2E_TESTS=0
E2E_FAILED=0
E2E_PIDS=()
E2E_TMP=

# --- results ----------------------------------------------------------------------------

# check DESCRIPTION COMMAND...: runs the command; "ok" when it succeeds.
check() {
  local description=$1
  shift
  E2E_TESTS=$((E2E_TESTS + 1))
  if "$@"; then
    echo "ok $E2E_TESTS - $description"
  else
    echo "not ok $E2E_TESTS - $description"
    E2E_FAILED=$((E2E_FAILED + 1))
  fi
}

# check_eq DESCRIPTION EXPECTED ACTUAL
check_eq() {
  local description=$1 expected=$2 actual=$3
  E2E_TESTS=$((E2E_TESTS + 1))
  if [ "$expected" == "$actual" ]; then
    echo "ok $E2E_TESTS - $description"
  else
    echo "not ok $E2E_TESTS - $description"
    echo "#   expected: $expected"
    echo "#   actual:   $actual"
    E2E_FAILED=$((E2E_FAILED + 1))
  fi
}

note() { echo "# $*"; }

# skip_part WHAT: part of the scenario cannot run here and is left out. Said in its output and
# listed in build/e2e-skipped.txt, which scripts/test.sh counts: a skipped part proves nothing.
skip_part() {
  echo "# SKIP ($TOVARA_TARGET) $*"
  mkdir -p "$TOVARA_ROOT/build"
  echo "$E2E_NAME: $*" >>"$TOVARA_ROOT/build/e2e-skipped.txt"
}

# bail REASON: the scenario cannot go on (counts as a failure).
bail() {
  echo "not ok $((E2E_TESTS + 1)) - $*"
  E2E_TESTS=$((E2E_TESTS + 1))
  E2E_FAILED=$((E2E_FAILED + 1))
  e2e_finish
}

e2e_finish() {
  echo "1..$E2E_TESTS"
  if [ "$E2E_FAILED" -ne 0 ]; then
    echo "# $E2E_NAME ($TOVARA_TARGET): $E2E_FAILED of $E2E_TESTS checks failed"
    exit 1
  fi
  echo "# $E2E_NAME ($TOVARA_TARGET): all $E2E_TESTS checks passed"
  exit 0
}

# --- set-up and clean-up ----------------------------------------------------------------

e2e_cleanup() {
  local pid
  set +e
  if [ -n "${WINEPREFIX:-}" ] && [ -n "$E2E_TMP" ] && [ "$WINEPREFIX" == "$E2E_TMP/prefix" ]; then
    wineserver -k >/dev/null 2>&1
  fi
  for pid in "${E2E_PIDS[@]}"; do
    kill "$pid" 2>/dev/null
  done
  for pid in "${E2E_PIDS[@]}"; do
    wait "$pid" 2>/dev/null
  done
  if [ -n "$E2E_TMP" ] && [ -d "$E2E_TMP/prefix" ]; then
    wineserver -w >/dev/null 2>&1
  fi
  tovara_stop_xvfb
  if [ -n "$E2E_TMP" ]; then
    if [ "${E2E_KEEP:-0}" == 1 ]; then
      echo "# kept $E2E_TMP"
    else
      rm -rf "$E2E_TMP"
    fi
  fi
}

# e2e_begin: the scenario's own prefix copy and Xvfb; the clean-up trap.
e2e_begin() {
  local missing=0 f
  for f in "$TOVARA_EXE" "$TOVARA_HELPERS/observer.exe" "$TOVARA_HELPERS/fake_host_gui.exe" \
           "$TOVARA_HELPERS/list_processes.exe"; do
    [ -f "$f" ] || { echo "# missing $f"; missing=1; }
  done
  [ "$missing" == 0 ] || bail "build outputs present (run scripts/test.sh or set TOVARA_EXE/TOVARA_HELPERS)"

  # The shared prefix is booted once (under a lock) and only read from here on.
  unset WINEPREFIX
  # shellcheck source=../../scripts/wine-env.sh
  source "$TOVARA_ROOT/scripts/wine-env.sh" 2>/dev/null
  if ! tovara_wine_runs; then
    echo "1..0 # SKIP ($TOVARA_TARGET) $TOVARA_WINE_WHY"
    exit "$TOVARA_SKIP_CODE"
  fi
  tovara_wine_prefix || bail "the Wine prefix $WINEPREFIX is booted"
  local base=$WINEPREFIX

  E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/tovara-$E2E_NAME.XXXXXX")
  trap e2e_cleanup EXIT
  trap 'exit 130' INT TERM
  cp -a "$base" "$E2E_TMP/prefix"
  rm -f "$E2E_TMP/prefix/wineserver"
  export WINEPREFIX=$E2E_TMP/prefix

  local attempt
  for attempt in 1 2 3 4 5; do
    tovara_start_xvfb || bail "Xvfb started"
    sleep 0.3
    # Another scenario may have raced for the same display number: ours must still run.
    if kill -0 "$TOVARA_XVFB_PID" 2>/dev/null; then
      break
    fi
    TOVARA_XVFB_PID=
    [ "$attempt" == 5 ] && bail "Xvfb started"
  done
  mkdir -p "$E2E_SHOTS"
  note "target $TOVARA_TARGET ($TOVARA_EXE), prefix $WINEPREFIX, display $DISPLAY"
}

# --- folders ----------------------------------------------------------------------------

# winpath LINUX_PATH: the same place as Wine sees it (drive Z: is the root folder).
winpath() {
  local p=$1
  echo "Z:${p//\//\\}"
}

# make_bare_dir DIR: a folder holding only the installer.
make_bare_dir() {
  mkdir -p "$1"
  cp "$TOVARA_EXE" "$1/TovaraSetup.exe"
}

# make_host_dir DIR: a host folder: the installer beside a stand-in CoolQ.exe.
make_host_dir() {
  make_bare_dir "$1"
  cp "$TOVARA_HELPERS/fake_host_gui.exe" "$1/CoolQ.exe"
}

# dir_listing DIR: every entry under DIR with its type, size and modification time; two
# equal listings mean nothing was written.
dir_listing() {
  (cd "$1" && find . -printf '%y %s %T@ %p\n' | LC_ALL=C sort)
}

# --- processes --------------------------------------------------------------------------

# start_standin DIR NAME LOG: copies the stand-in host program to DIR/NAME and starts it
# there, watched by an observer (which starts it by its exact file name, with no default
# extension added). Sets STANDIN_WINPID to its Windows process id. The observer's log gets
# "exit code=N" when the stand-in ends.
start_standin() {
  local dir=$1 name=$2 log=$3
  mkdir -p "$dir"
  cp "$TOVARA_HELPERS/fake_host_gui.exe" "$dir/$name"
  wine "$TOVARA_HELPERS/observer.exe" "$(winpath "$log")" "$(winpath "$dir/$name")" \
    >/dev/null 2>&1 &
  E2E_PIDS+=($!)
  wait_log "$log" '^[0-9]+ start pid=' 30 || bail "stand-in $name started"
  STANDIN_WINPID=$(grep -m1 -E '^[0-9]+ start pid=' "$log" | sed -E 's/.* pid=([0-9]+).*/\1/')
}

# process_list: the Windows process list in snapshot order, "PID PARENT NAME" a line.
process_list() {
  wine "$TOVARA_HELPERS/list_processes.exe" 2>/dev/null | tr -d '\r'
}

# process_running WINPID
process_running() {
  process_list | awk -v p="$1" '$1 == p { found = 1 } END { exit !found }'
}

# --- the installer under observation ----------------------------------------------------

# run_installer_observed HOSTDIR LOG [OBSERVER OPTIONS...]: starts HOSTDIR/TovaraSetup.exe
# under the observer, in the background; sets OBSERVER_PID (the shell's process).
run_installer_observed() {
  local dir=$1 log=$2
  shift 2
  rm -f "$log"
  wine "$TOVARA_HELPERS/observer.exe" --timeout 120000 "$@" "$(winpath "$log")" \
    "$(winpath "$dir")\\TovaraSetup.exe" >/dev/null 2>&1 &
  OBSERVER_PID=$!
  E2E_PIDS+=("$OBSERVER_PID")
}

# end_installer LOG: makes sure the program watched in LOG has ended (after a failed check it
# may still wait for input): terminates it by its process id if need be.
end_installer() {
  local log=$1 pid
  [ -f "$log" ] || return 0
  grep -qE '^[0-9]+ (exit code=|timeout)' "$log" && return 0
  pid=$(grep -m1 -E '^[0-9]+ start pid=' "$log" | sed -E 's/.* pid=([0-9]+).*/\1/')
  [ -n "$pid" ] && wine taskkill /f /pid "$pid" >/dev/null 2>&1
  wait_log "$log" '^[0-9]+ (exit code=|timeout)' 10 >/dev/null || true
}

# wait_log LOG REGEX [TIMEOUT_S]: waits until a line of LOG matches the extended REGEX.
wait_log() {
  local log=$1 regex=$2 timeout=${3:-20}
  local deadline=$((SECONDS + timeout))
  while [ "$SECONDS" -le "$deadline" ]; do
    if [ -f "$log" ] && grep -qE -- "$regex" "$log"; then
      return 0
    fi
    sleep 0.05
  done
  echo "# timed out after ${timeout}s waiting for /$regex/ in $log"
  return 1
}

# wait_exit LOG [TIMEOUT_S]: waits for the program's end; sets EXIT_CODE ("" on time-out).
wait_exit() {
  EXIT_CODE=
  if wait_log "$1" '^[0-9]+ (exit code=|timeout)' "${2:-30}"; then
    EXIT_CODE=$(grep -m1 -E '^[0-9]+ exit code=' "$1" | sed -E 's/.* code=([0-9]+).*/\1/' || true)
  fi
}

# obs COMMAND ARGS...: reads observer logs (the commands are in observer_log.py).
obs() {
  python3 "$E2E_LIB_DIR/observer_log.py" "$@"
}

# installer_window LOG: the installer window's hwnd as the observer logged it ("" if none).
installer_window() {
  obs window "$1" "$INSTALLER_TITLE"
}

# shown_window LOG [TIMEOUT_S]: waits until the installer window is visible; sets WINDOW.
wait_window_shown() {
  WINDOW=
  wait_log "$1" "^[0-9]+ window .*title=\"$INSTALLER_TITLE\".* visible=1" "${2:-20}" || return 1
  WINDOW=$(installer_window "$1")
}

# window_field LOG HWND NAME: a field of the last line describing HWND.
window_field() {
  obs field "$3" "$(obs last "$1" "$2")"
}

# gbk TEXT: the GBK bytes of a UTF-8 text, as hex.
gbk_hex() {
  printf '%s' "$1" | iconv -f UTF-8 -t GBK | od -An -v -tx1 | tr -d ' \n'
}

# box_icon_colour LOG BOX: looks at the box's icon on screen (the box must be up) and names its
# dominant signal colour: "red" (the error icon), "yellow" (the warning icon, yellow to
# orange) or "none".
box_icon_colour() {
  local rect shot=$E2E_TMP/icon-$RANDOM.png
  rect=$(obs box-icon "$1" "$2")
  [ -n "$rect" ] || { echo none; return; }
  local -a r
  IFS=, read -r -a r <<<"$rect"
  import -window root -crop "$((r[2] - r[0]))x$((r[3] - r[1]))+${r[0]}+${r[1]}" +repage "$shot"
  convert "$shot" txt:- | awk -F'[(),]+' 'NR > 1 {
      R = $3; G = $4; B = $5
      if (R > 180 && G < 90 && B < 90) red++
      else if (R > 180 && G >= 90 && B < 90) yellow++
    }
    END {
      if (red > 20 && red > yellow) print "red"
      else if (yellow > 20) print "yellow"
      else print "none"
    }'
}

# --- user input -------------------------------------------------------------------------

# click_screen X Y: a left click at screen coordinates (Xvfb has no window manager, so Wine
# places windows at their Windows screen coordinates).
click_screen() {
  xdotool mousemove --sync "$1" "$2" click 1
}

# click_client LOG HWND X Y: a click at client coordinates of a top-level window.
click_client() {
  local client
  client=$(window_field "$1" "$2" client)
  local left=${client%%,*} rest=${client#*,}
  local top=${rest%%,*}
  click_screen $((left + $3)) $((top + $4))
}

# click_close_button LOG HWND: a click on the close button of the title bar that Wine draws
# itself (no window manager): right end of the caption, a few pixels inside the frame.
click_close_button() {
  local rect client
  rect=$(window_field "$1" "$2" rect)
  client=$(window_field "$1" "$2" client)
  local -a r c
  IFS=, read -r -a r <<<"$rect"
  IFS=, read -r -a c <<<"$client"
  local frame=$((c[0] - r[0]))
  local caption=$((c[1] - r[1] - frame))
  click_screen $((r[2] - frame - 2 - caption / 2)) $((r[1] + frame + caption / 2))
}

# press KEY...: key presses through XTEST, to the window that has the keyboard focus.
press() {
  xdotool key --delay 50 "$@"
}

# --- pictures ---------------------------------------------------------------------------

# screenshot NAME [LOG HWND]: the whole screen, or only the window, as build/e2e-shots/NAME.png.
screenshot() {
  local name=$1 file="$E2E_SHOTS/$1.png"
  if [ $# -ge 3 ]; then
    local -a r
    IFS=, read -r -a r <<<"$(window_field "$2" "$3" rect)"
    import -window root -crop "$((r[2] - r[0]))x$((r[3] - r[1]))+${r[0]}+${r[1]}" +repage "$file"
  else
    import -window root "$file"
  fi
  note "screenshot $file"
}

# --- the installation -------------------------------------------------------------------
# Helpers for the scenarios that click InstallButton and watch the whole script run.

# The carried inputs the installer writes out (override: TOVARA_CARRIED).
TOVARA_CARRIED=${TOVARA_CARRIED:-$TOVARA_BUILD_DIR/payload}
CONSOLE_TITLE='Tovara娱乐插件1.3.1版本控制台'
CONSOLE_NAME='Tovara娱乐插件1.3.1版本控制台.exe'
CONFIG_FOLDER_REL='config/Tovara娱乐插件配置'

# Client rectangles (l,t,r,b) of the controls the installation drives.
RECT_STATUS=48,29,272,144
RECT_ELAPSED_VALUE=90,124,130,148
RECT_ELAPSED_CAPTION=24,124,104,148
RECT_ELAPSED_UNIT=120,124,200,148
RECT_SPINNER=8,16,64,80
RECT_INSTALL_BUTTON=74,152,178,184
RECT_START_HINT=32,96,296,152

# carried_inputs_present: every carried input is there (names them when not).
carried_inputs_present() {
  local f ok=0
  for f in default_config.ini fortune.txt teasers.ini programs/tovara_plugin.dll \
           programs/tovara_console.exe programs/tovara_card.exe programs/tovara_core.dll; do
    [ -f "$TOVARA_CARRIED/$f" ] || { echo "# missing $TOVARA_CARRIED/$f"; ok=1; }
  done
  return $ok
}

# fortune_file OUT: what the installer writes as 抽签数据.ini, made here from the carried
# text: every "[enter]" becomes CR LF (the text is GBK; the replacement is done on the text).
fortune_file() {
  python3 - "$TOVARA_CARRIED/fortune.txt" "$1" <<'PY'
import sys
text = open(sys.argv[1], 'rb').read().decode('gbk')
open(sys.argv[2], 'wb').write(text.replace('[enter]', '\r\n').encode('gbk'))
PY
}

# same_bytes A B: both files exist and are byte for byte equal.
same_bytes() {
  [ -f "$1" ] && [ -f "$2" ] && cmp -s "$1" "$2"
}

# file_size FILE: its size in bytes ("missing" when it is not there).
file_size() {
  if [ -f "$1" ]; then stat -c %s "$1"; else echo missing; fi
}

# file_names DIR: every file and folder under DIR, one relative path a line, sorted.
file_names() {
  (cd "$1" && find . -mindepth 1 -printf '%y %p\n' | LC_ALL=C sort)
}

# obs_install COMMAND ARGS...: reads an observer log for the installation scenarios.
#   captions LOG PARENT RECT   every change of the caption of PARENT's child at RECT:
#                              "T<TAB>text" a line (text unescaped; the empty caption too)
#   states LOG PARENT RECT     every change of that child's visible/enabled: "T<TAB>V<TAB>E"
#   exit-time LOG              the time of the "exit code=" line
#   timeline EXPECTED CAPTIONS END_T
#                              compares the captions of StatusLabel (from "captions") with
#                              the expected step list; prints "ok|not ok<TAB>what" lines and
#                              "#" notes. EXPECTED holds the steps in order, one a line:
#                              "status<TAB>TEXT" (TEXT starting with "~" is a regular
#                              expression), "wait<TAB>MS" (a Delay; it adds to the time of the
#                              status before it) and "count<TAB>N<TAB>MS<TAB>PREFIX<TAB>SUFFIX"
#                              (N statuses PREFIX+k+SUFFIX, k = 1..N, each followed by a Delay
#                              of MS). A status with no wait after it may be overwritten
#                              before anyone sees it. END_T is the time the program ended.
obs_install() { obs "$@"; }

# check_timeline EXPECTED_FILE CAPTIONS_FILE END_T: the comparison of obs_install timeline,
# counted as checks.
check_timeline() {
  local status what
  while IFS=$'\t' read -r status what; do
    case $status in
      ok) E2E_TESTS=$((E2E_TESTS + 1)); echo "ok $E2E_TESTS - $what" ;;
      "not ok")
        E2E_TESTS=$((E2E_TESTS + 1)); E2E_FAILED=$((E2E_FAILED + 1))
        echo "not ok $E2E_TESTS - $what" ;;
      *) echo "$status${what:+	$what}" ;;
    esac
  done < <(obs_install timeline "$1" "$2" "$3")
}

# control_center LOG HWND RECT: screen coordinates "X Y" of the centre of a client rectangle.
control_center() {
  local client
  client=$(window_field "$1" "$2" client)
  local -a c r
  IFS=, read -r -a c <<<"$client"
  IFS=, read -r -a r <<<"$3"
  echo "$((c[0] + (r[0] + r[2]) / 2)) $((c[1] + (r[1] + r[3]) / 2))"
}

# click_install LOG HWND: a user's click in the middle of InstallButton.
click_install() {
  local x y
  read -r x y <<<"$(control_center "$1" "$2" "$RECT_INSTALL_BUTTON")"
  click_screen "$x" "$y"
}

# console_pids: Windows process ids of running console programs (the installed name).
console_pids() {
  process_list | awk -v n="$CONSOLE_NAME" '{ pid = $1; $1 = ""; $2 = ""; sub(/^  /, "") }
    $0 == n { print pid }'
}

# processes_named NAME: Windows process ids of running programs with that file name.
processes_named() {
  process_list | awk -v n="$1" '{ pid = $1; $1 = ""; $2 = ""; sub(/^  /, "") }
    $0 == n { print pid }'
}

# wait_console TIMEOUT_S: waits for a top-level X window titled like the console; sets
# CONSOLE_XID (empty on time-out).
wait_console() {
  local deadline=$((SECONDS + ${1:-15}))
  CONSOLE_XID=
  while [ "$SECONDS" -le "$deadline" ]; do
    CONSOLE_XID=$(xdotool search --onlyvisible --name "^${CONSOLE_TITLE}\$" 2>/dev/null | head -1 || true)
    [ -n "$CONSOLE_XID" ] && return 0
    sleep 0.2
  done
  return 1
}

# end_console WINPID: closes the console as a user would (WM_CLOSE through taskkill without
# /f); returns non-zero when it is still running 10 s later (then ends it by force).
end_console() {
  local pid=$1 i
  wine taskkill /pid "$pid" >/dev/null 2>&1
  for i in $(seq 1 50); do
    process_running "$pid" || return 0
    sleep 0.2
  done
  wine taskkill /f /pid "$pid" >/dev/null 2>&1
  return 1
}

# expected_payloads HOSTDIR: "carried-file<TAB>installed-file<TAB>size" for the four programs.
expected_payloads() {
  printf '%s\t%s\t%s\n' \
    "$TOVARA_CARRIED/programs/tovara_plugin.dll" "$1/plugin/Tovara娱乐插件1.3.1版本.cqp.dll" 737280 \
    "$TOVARA_CARRIED/programs/tovara_console.exe" "$1/$CONSOLE_NAME" 1724416 \
    "$TOVARA_CARRIED/programs/tovara_card.exe" "$1/$CONFIG_FOLDER_REL/名片.exe" 724992 \
    "$TOVARA_CARRIED/programs/tovara_core.dll" "$1/tovarachajian2.dll" 1961984
}

# check_payloads HOSTDIR: each of the four programs is written byte for byte, at its size.
check_payloads() {
  local carried installed size
  while IFS=$'\t' read -r carried installed size; do
    check_eq "$(basename "$installed"): $size bytes" "$size" "$(file_size "$installed")"
    check "$(basename "$installed"): byte for byte the carried $(basename "$carried")" \
      same_bytes "$carried" "$installed"
  done < <(expected_payloads "$1")
}

# --- the installation's step list, in pieces a scenario puts together --------------------
# Each prints lines for obs_install timeline. They are the script as the user sees it: every
# status text and the Delay after it.

steps_start() {
  printf 'status\t%s\nwait\t%s\n' \
    '正在初始化插件安装....' 2000 \
    '检查是否有旧版本中....' 3000
}

# No old plugin, console or core DLL anywhere.
steps_no_old_files() {
  printf 'status\t%s\nwait\t%s\n' '没有找到旧版本插件，跳过此步.....' 1000
  steps_old_consoles_begin
  printf 'wait\t2000\n'
  printf 'status\t%s\n' '检查完毕，没有发现控制台....'
  printf 'wait\t1000\n'
  printf 'status\t%s\nwait\t%s\n' '检查是否有旧版核心文件中...' 1000
  printf 'wait\t2000\n'
}

# The console check up to its scan (what the scan reports follows).
steps_old_consoles_begin() {
  printf 'wait\t2000\nstatus\t%s\nwait\t2000\n' '检查是否有旧版本控制台中.....'
}

# The three data files all missing, the host's \config folder present.
steps_data_missing() {
  printf 'status\t%s\nwait\t%s\n' \
    '检查配置文件是否存在中.....' 1000 \
    '无法找到配置文件，即将写入配置文件' 1000 \
    '查询Tovara配置文件夹是否存在中.....' 1000 \
    '文件夹不存在，已自动创建.....' 1000
  printf 'wait\t1000\nstatus\t%s\n' '尝试写入配置文件中.....'
  printf 'status\t%s\nwait\t%s\n' \
    '写入配置文件成功~....' 1000 \
    '检查抽签数据是否存在中.....' 1000 \
    '没有找到抽签数据文件，即将写出抽签数据' 1000 \
    '查询Tovara配置文件夹是否存在中.....' 1000 \
    '文件夹存在，自动跳过此步.....' 1000
  printf 'wait\t1000\nstatus\t%s\n' '尝试写入抽签数据中.....'
  printf 'status\t%s\nwait\t1000\n' '写出抽签数据成功~....'
  printf 'status\t%s\nwait\t%s\n' \
    '检查脑筋急转弯数据是否存在....' 2000 \
    '没有找到急转弯文件，即将写入...' 1000 \
    '正准备写出脑筋急转弯数据中....' 1000
  printf 'status\t%s\n' '写出脑筋急转弯数据中....'
  printf 'count\t1000\t10\t%s\t%s\n' '正在写出第' '个【一共1000个】....'
  printf 'status\t%s\nwait\t1000\n' '写出脑筋急转弯数据完成！....'
  steps_data_closing
}

# The three data files all present: nothing is written.
steps_data_present() {
  printf 'status\t%s\nwait\t%s\n' \
    '检查配置文件是否存在中.....' 1000 \
    '找到配置文件，自动跳过写出配置文件' 1000 \
    '检查抽签数据是否存在中.....' 1000 \
    '抽签数据文件存在，自动跳过写出抽签数据' 1000
  printf 'wait\t1000\n'
  printf 'status\t%s\nwait\t%s\n' '检查脑筋急转弯数据是否存在....' 2000
  printf 'wait\t1000\n'
  steps_data_closing
}

steps_data_closing() {
  printf 'status\t%s\nwait\t%s\n' \
    '配置文件检查完毕~....' 1000 \
    '正在初始化写出主程序中....' 2000
}

# The four programs written at the first attempt, the closing messages and the end.
steps_payloads_and_finish() {
  printf 'status\t%s\nwait\t%s\n' \
    '正在初始化需要的文件....' 2000 \
    '初始化完毕' 2000 \
    '写出文件到plugin中.....' 2000 \
    '写出文件成功，已经成功写入到了相关文件夹里面' 1000
  printf 'status\t%s\n' '正在写出控制台中....'
  printf 'status\t%s\nwait\t%s\n' '写出控制台成功，已经成功写入到了相关文件夹里面' 1000
  printf 'status\t%s\nwait\t%s\n' '正在准备写出核心文件中....' 1000
  printf 'status\t%s\nwait\t%s\n' \
    '正在写出核心文件中....' 1000 \
    '写出文件成功，已经成功写入到了相关文件夹里面' 1000 \
    '写入所有文件已经完成！' 1000 \
    'Tovara仅做绿色、无毒软件' 3000 \
    'Tovara插件安装后在酷Q以外的任何文件夹不留任何文件。' 2000 \
    '正在做最后的配置,期间可能无响应.....' 4000 \
    '~酷Q机器人配置Tovara插件完毕，本次耗时：[0-9]+S' 3000 \
    '谢谢您使用Tovara插件，5秒后自动退出！' 6000
}

# check_counter LOG HWND STATUS_FILE: the elapsed time reported is the counter's caption as
# shown at that moment, the counter stands still from then on, and it counted about one a
# second from the click (it counts ticks, so it may lag the clock a little, never lead it).
check_counter() {
  local log=$1 w=$2 status=$3 line t_sum v counts first_t caption_then later
  line=$(grep -m1 $'\t酷Q机器人配置Tovara插件完毕，本次耗时：' "$status" || true)
  t_sum=${line%%$'\t'*}
  v=$(sed -E 's/.*本次耗时：([0-9]+)S$/\1/' <<<"${line#*$'\t'}")
  counts=$(obs_install captions "$log" "$w" "$RECT_ELAPSED_VALUE")
  first_t=$(awk -F'\t' '$2 == "0" { print $1; exit }' <<<"$counts")
  caption_then=$(awk -F'\t' -v t="${t_sum:-0}" '$1 <= t { c = $2 } END { print c }' <<<"$counts")
  later=$(awk -F'\t' -v t="${t_sum:-0}" '$1 > t' <<<"$counts" | wc -l)
  check_eq "the elapsed-time message shows the counter's caption" "$caption_then" "$v"
  check_eq "the counter stands still after the elapsed-time message" 0 "$later"
  local secs=$(( (${t_sum:-0} - ${first_t:-0}) / 1000 ))
  check "the counter ($v) counted the seconds since it started ($secs s), within -3..+1" \
    test -n "$v" -a "${v:-0}" -ge $((secs - 3)) -a "${v:-0}" -le $((secs + 1))
}

# --- faults from outside: files held open, a file-size limit ----------------------------

# hold_open PATH: another program (hold_file_open.exe) opens PATH for reading and writing,
# sharing nothing, and keeps it open until release_hold (at most 200 s). Sets HOLD_PID, the
# Unix process id of that program; non-zero when the file could not be opened.
hold_open() {
  local ready=$E2E_TMP/held-$RANDOM.ready i
  wine "$TOVARA_HELPERS/hold_file_open.exe" "$(winpath "$1")" lock "$(winpath "$ready")" 200000 \
    >/dev/null 2>&1 &
  HOLD_PID=$!
  E2E_PIDS+=("$HOLD_PID")
  for i in $(seq 1 300); do
    [ -f "$ready" ] && return 0
    kill -0 "$HOLD_PID" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# release_hold PID: ends a hold_open program; the file is closed with it.
release_hold() {
  kill "$1" 2>/dev/null
  wait "$1" 2>/dev/null || true
}

# unix_pid_of NAME: the Unix process id of the running Windows program NAME (its file name,
# e.g. TovaraSetup.exe) of this scenario's prefix ("" when there is none).
unix_pid_of() {
  local p
  for p in /proc/[0-9]*; do
    tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    tr '\0' '\n' 2>/dev/null <"$p/cmdline" | head -1 | grep -qE "[\\\\/]$1\$" || continue
    echo "${p#/proc/}"
    return 0
  done
}

# file_size_limit UNIX_PID: the process's file-size limit in bytes ("unlimited" when none).
file_size_limit() {
  awk '/^Max file size/ { print $4 }' "/proc/$1/limits"
}

# ignores_sigxfsz UNIX_PID: the process ignores SIGXFSZ (signal 25), so a write past its
# file-size limit fails instead of killing it.
ignores_sigxfsz() {
  local mask
  mask=$(awk '/^SigIgn:/ { print $2 }' "/proc/$1/status")
  [ -n "$mask" ] && (( (16#$mask >> 24) & 1 ))
}

# temp_files DIR: files under DIR left by an unfinished whole-file write: "~" + 2 to 6 hex
# digits (of a hash of the target's name) + a slot digit + ".tmp".
temp_files() {
  (cd "$1" && LC_ALL=C find . -regextype posix-extended -regex '.*/~[0-9a-f]{2,6}[1-9]\.tmp' |
    LC_ALL=C sort)
}

# sums DIR: "sha256 size mtime path" of every file under DIR, sorted; equal sums mean
# nothing there was written, replaced or touched.
sums() {
  (cd "$1" && find . -type f -printf '%p\n' | LC_ALL=C sort | while IFS= read -r f; do
    printf '%s %s %s %s\n' "$(sha256sum <"$f" | cut -c1-64)" "$(stat -c %s "$f")" \
      "$(stat -c %.9Y "$f")" "$f"
  done)
}

# install_until_exit HOST LOG SECONDS: starts the installer in HOST under the observer, clicks
# InstallButton once the window shows, waits up to SECONDS for the end and checks exit code 0.
# Sets W (the window), end_t (when the program ended) and writes the StatusLabel captions to
# $E2E_TMP/status.txt.
install_until_exit() {
  local host=$1 log=$2 seconds=$3
  run_installer_observed "$host" "$log" --timeout $(((seconds + 10) * 1000))
  wait_window_shown "$log" 30 || bail "the installer window is shown"
  W=$WINDOW
  sleep 0.3
  click_install "$log" "$W"
  wait_log "$log" '正在初始化插件安装' 10 || bail "the installation starts on the click"
  wait_exit "$log" "$seconds"
  check_eq "exit code 0" 0 "$EXIT_CODE"
  end_t=$(obs_install exit-time "$log")
  obs_install captions "$log" "$W" "$RECT_STATUS" >"$E2E_TMP/status.txt"
}
