#!/usr/bin/env bash
# The installer runs only in the host's root folder: without an entry named CoolQ.exe in its
# own folder it shows the error box and ends with exit code 0, never shows its window, writes
# nothing and stops no process. Any entry of that name counts (a folder too); one in the
# parent or in a subfolder does not.
source "$(dirname "$0")/lib.sh"
e2e_begin

# The box text, with CR LF between its three lines: 213 bytes in GBK.
missing_text=$'无法找到酷Qpro相关文件，程序无法继续运行,请重新去官网下载最新完整版酷Q，或者您没有将本程序放置到酷Q的根目录下，提供以下解决方法：\r\n1、重新下载酷Qpro\r\n2、将本程序解压或移动到酷Q的主程序下(含有‘CoolQ.exe’的文件夹)'
check_eq "the expected text itself is 213 GBK bytes" 213 \
  "$(printf '%s' "$missing_text" | iconv -f UTF-8 -t GBK | wc -c)"

# expect_missing_host_box LOG WHAT: the error box shows once with its title, text and a
# single button; Enter closes it; exit code 0; the window was never shown.
expect_missing_host_box() {
  local log=$1 what=$2
  # The box, or the window when no box comes.
  wait_log "$log" "^[0-9]+ (box .*title=\"错误提示\"|window .*title=\"$INSTALLER_TITLE\".* visible=1)" 30 || true
  if ! grep -qE '^[0-9]+ box .*title="错误提示"' "$log"; then
    check "$what: error box shown" false
    end_installer "$log"
    return
  fi
  wait_log "$log" '^[0-9]+ box .*title="错误提示".* visible=1' 10 || true
  sleep 0.3
  local boxes box text
  boxes=$(obs boxes "$log")
  check_eq "$what: exactly one box" 1 "$(grep -c . <<<"$boxes")"
  box=$(awk 'NR == 1 { print $1 }' <<<"$boxes")
  text=$(obs field text "$(obs last "$log" "$box")")
  check_eq "$what: box title" "$(gbk_hex '错误提示')" \
    "$(gbk_hex "$(obs field title "$(obs last "$log" "$box")")")"
  check_eq "$what: box text, byte for byte in GBK" "$(gbk_hex "$missing_text")" "$(gbk_hex "$text")"
  check_eq "$what: box text is 213 GBK bytes" 213 "$(printf '%s' "$text" | iconv -f UTF-8 -t GBK | wc -c)"
  check_eq "$what: OK button only" 1 "$(obs box-buttons "$log" "$box" | grep -c .)"
  check "$what: program still waits while the box is up" eval "! grep -qE '^[0-9]+ exit ' '$log'"
  check_eq "$what: error icon (red)" red "$(box_icon_colour "$log" "$box")"
  [ -z "${3:-}" ] || screenshot "$3"
  press Return
  wait_exit "$log" 20
  check_eq "$what: exit code 0 after Enter" 0 "$EXIT_CODE"
  check "$what: the window is never shown" eval \
    "! grep -qE '^[0-9]+ window .*title=\"$INSTALLER_TITLE\".* visible=1' '$log'"
  end_installer "$log"
}

# --- no CoolQ.exe; a host process runs elsewhere and must survive -------------------------
other=$E2E_TMP/other-install
start_standin "$other" CoolQ.exe "$E2E_TMP/standin.log"
standin=$STANDIN_WINPID
check "stand-in host process CoolQ.exe runs (pid $standin)" process_running "$standin"

bare=$E2E_TMP/bare
make_bare_dir "$bare"
before=$(dir_listing "$bare")
log=$E2E_TMP/missing.log
run_installer_observed "$bare" "$log"
expect_missing_host_box "$log" "no CoolQ.exe" host-missing-box
check_eq "no CoolQ.exe: nothing written" "$before" "$(dir_listing "$bare")"
check "no CoolQ.exe: the running host is not terminated" process_running "$standin"
check "no CoolQ.exe: the host's observer saw no end" eval \
  "! grep -qE '^[0-9]+ exit ' '$E2E_TMP/standin.log'"

# --- CoolQ.exe only in the parent folder --------------------------------------------------
parent=$E2E_TMP/parent
mkdir -p "$parent"
cp "$TOVARA_HELPERS/fake_host_gui.exe" "$parent/CoolQ.exe"
make_bare_dir "$parent/sub"
log=$E2E_TMP/parent.log
run_installer_observed "$parent/sub" "$log"
expect_missing_host_box "$log" "CoolQ.exe in the parent folder"

# --- CoolQ.exe only in a subfolder --------------------------------------------------------
child=$E2E_TMP/child
make_bare_dir "$child"
mkdir -p "$child/bin"
cp "$TOVARA_HELPERS/fake_host_gui.exe" "$child/bin/CoolQ.exe"
log=$E2E_TMP/child.log
run_installer_observed "$child" "$log"
expect_missing_host_box "$log" "CoolQ.exe in a subfolder"

# The stand-in host would be stopped by a passing check; from here on none may run.
wine taskkill /f /pid "$standin" >/dev/null 2>&1 || true
wait_log "$E2E_TMP/standin.log" '^[0-9]+ exit ' 10 || true

# --- a folder named CoolQ.exe satisfies the check -----------------------------------------
folder=$E2E_TMP/folder
make_bare_dir "$folder"
mkdir -p "$folder/CoolQ.exe"
log=$E2E_TMP/folder.log
run_installer_observed "$folder" "$log"
if wait_window_shown "$log" 30; then
  check "folder named CoolQ.exe: the window is shown" true
  check_eq "folder named CoolQ.exe: no box" "" "$(obs boxes "$log")"
  sleep 0.3
  press Escape
  wait_exit "$log" 20
  check_eq "folder named CoolQ.exe: exit code 0 after Esc" 0 "$EXIT_CODE"
else
  check "folder named CoolQ.exe: the window is shown" false
  note "$(obs boxes "$log")"
fi
end_installer "$log"

e2e_finish
