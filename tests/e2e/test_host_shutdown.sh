#!/usr/bin/env bash
# Before its window shows, the installer stops a running host: the first process in the
# system's process list whose executable file name is CoolQ.exe in any ASCII case, wherever
# it was started from. It tells the user so in one notice box, then shows its window. Look-
# alike names are left alone, and with no host running no box appears.
source "$(dirname "$0")/lib.sh"
e2e_begin

notice_title='关闭进程提示'
notice_text='检测到酷Q正在运行中，已经自动关闭（插件安装需要结束酷Q）'

host=$E2E_TMP/host
make_host_dir "$host"

# stop_standin WINPID LOG: ends a stand-in that the scenario no longer needs.
stop_standin() {
  if process_running "$1"; then
    wine taskkill /f /pid "$1" >/dev/null 2>&1 || true
    wait_log "$2" '^[0-9]+ exit ' 10 || true
  fi
}

# expect_notice LOG WHAT: the notice box shows exactly once, before the window; Enter closes
# it; then the window shows; Esc closes that; exit code 0.
expect_notice() {
  local log=$1 what=$2 boxes box line
  # The box, or the window when no box comes.
  wait_log "$log" "^[0-9]+ (box .*title=\"$notice_title\"|window .*title=\"$INSTALLER_TITLE\").* visible=1" 30 || true
  if ! grep -qE "^[0-9]+ box .*title=\"$notice_title\".* visible=1" "$log"; then
    check "$what: notice box shown" false
    note "$(obs boxes "$log")"
    end_installer "$log"
    return
  fi
  sleep 0.3
  box=$(obs boxes "$log" | awk 'NR == 1 { print $1 }')
  check_eq "$what: warning icon (yellow)" yellow "$(box_icon_colour "$log" "$box")"
  check "$what: the window waits while the box is up" eval \
    "! grep -qE '^[0-9]+ window .*title=\"$INSTALLER_TITLE\".* visible=1' '$log'"
  press Return
  if ! wait_window_shown "$log" 20; then
    check "$what: the window is shown after the notice" false
    end_installer "$log"
    return
  fi
  boxes=$(obs boxes "$log")
  check_eq "$what: exactly one box" 1 "$(grep -c . <<<"$boxes")"
  box=$(awk 'NR == 1 { print $1 }' <<<"$boxes")
  # As the box closes, its text control may go before the box itself: take the last look at
  # the box while it still showed its text.
  line=$(grep -E "^[0-9]+ box hwnd=$box .*text=\"[^\"]" "$log" | tail -n 1)
  check_eq "$what: notice title (GBK)" "$(gbk_hex "$notice_title")" \
    "$(gbk_hex "$(obs field title "$line")")"
  check_eq "$what: notice text (GBK)" "$(gbk_hex "$notice_text")" \
    "$(gbk_hex "$(obs field text "$line")")"
  check_eq "$what: OK button only" 1 "$(obs box-buttons "$log" "$box" | grep -c .)"
  local box_shown shown
  box_shown=$(grep -m1 -E "^[0-9]+ box hwnd=$box .* visible=1" "$log" | cut -d' ' -f1)
  shown=$(grep -m1 -E "^[0-9]+ window .*title=\"$INSTALLER_TITLE\".* visible=1" "$log" |
          cut -d' ' -f1)
  check "$what: box (${box_shown:-?} ms) before the window (${shown:-?} ms)" \
    test "${box_shown:-999999}" -lt "${shown:-0}"
  check_eq "$what: window and box never visible together" 0 \
    "$(obs both-visible "$log" "$box" "$WINDOW")"
  sleep 0.3
  press Escape
  wait_exit "$log" 20
  check_eq "$what: exit code 0" 0 "$EXIT_CODE"
  end_installer "$log"
}

# expect_no_box LOG WHAT: the window shows with no box before it; Esc; exit code 0.
expect_no_box() {
  local log=$1 what=$2
  if ! wait_window_shown "$log" 30; then
    check "$what: the window is shown" false
    note "$(obs boxes "$log")"
    end_installer "$log"
    return
  fi
  check_eq "$what: no box" "" "$(obs boxes "$log")"
  sleep 0.3
  press Escape
  wait_exit "$log" 20
  check_eq "$what: exit code 0" 0 "$EXIT_CODE"
  check_eq "$what: still no box" "" "$(obs boxes "$log")"
  end_installer "$log"
}

# --- COOLQ.EXE and coolq.exe, started from another folder ---------------------------------
n=0
for name in COOLQ.EXE coolq.exe; do
  n=$((n + 1))
  slog=$E2E_TMP/standin-$n.log
  start_standin "$E2E_TMP/elsewhere-$n" "$name" "$slog"
  pid=$STANDIN_WINPID
  check "$name runs (pid $pid), listed as $name" eval \
    "process_list | awk -v p=$pid '\$1 == p { print \$3 }' | grep -qx '$name'"
  log=$E2E_TMP/installer-$n.log
  run_installer_observed "$host" "$log"
  if [ "$n" == 1 ]; then
    wait_log "$log" "^[0-9]+ (box .*title=\"$notice_title\"|window .*title=\"$INSTALLER_TITLE\").* visible=1" 30 &&
      sleep 0.3 && screenshot host-closed-notice || true
  fi
  expect_notice "$log" "$name"
  check "$name: terminated" eval "! process_running $pid"
  check "$name: ended with exit code 0" grep -qE '^[0-9]+ exit code=0$' "$slog"
  stop_standin "$pid" "$slog"
done

# --- two hosts: only the first in the process list ends -----------------------------------
start_standin "$E2E_TMP/first" CoolQ.exe "$E2E_TMP/standin-a.log"
a=$STANDIN_WINPID
start_standin "$E2E_TMP/second" CoolQ.exe "$E2E_TMP/standin-b.log"
b=$STANDIN_WINPID
order=$(process_list | awk -v a="$a" -v b="$b" '$1 == a || $1 == b { print $1 }' | tr '\n' ' ')
first=${order%% *}
rest=${order#* }
second=${rest%% *}
note "process list order of the two hosts: $order"
check "both hosts listed" test -n "$first" -a -n "$second"
log=$E2E_TMP/installer-two.log
run_installer_observed "$host" "$log"
expect_notice "$log" "two hosts"
check "two hosts: the first listed (pid $first) is terminated" eval "! process_running $first"
check "two hosts: the second listed (pid $second) keeps running" process_running "$second"
stop_standin "$a" "$E2E_TMP/standin-a.log"
stop_standin "$b" "$E2E_TMP/standin-b.log"

# --- look-alike names are not matched ----------------------------------------------------
start_standin "$E2E_TMP/bak" CoolQ.exe.bak "$E2E_TMP/standin-bak.log"
bak=$STANDIN_WINPID
start_standin "$E2E_TMP/noext" CoolQ "$E2E_TMP/standin-noext.log"
noext=$STANDIN_WINPID
check "look-alikes listed as CoolQ.exe.bak and CoolQ" eval \
  "[ \"\$(process_list | awk '\$1 == $bak || \$1 == $noext { print \$3 }' | sort | tr '\n' ' ')\" == 'CoolQ CoolQ.exe.bak ' ]"
log=$E2E_TMP/installer-lookalike.log
run_installer_observed "$host" "$log"
expect_no_box "$log" "look-alikes running"
check "CoolQ.exe.bak keeps running" process_running "$bak"
check "CoolQ keeps running" process_running "$noext"
stop_standin "$bak" "$E2E_TMP/standin-bak.log"
stop_standin "$noext" "$E2E_TMP/standin-noext.log"

# --- no host running ---------------------------------------------------------------------
log=$E2E_TMP/installer-none.log
run_installer_observed "$host" "$log"
expect_no_box "$log" "no host running"

e2e_finish
