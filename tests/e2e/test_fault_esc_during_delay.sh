#!/usr/bin/env bash
# Alt+Esc (the system's window-switching key) early in the installation, during its 3 s wait
# after "检查是否有旧版本中....", leaves the window up and the installation going on.
# Then the user presses Esc while the installation waits in a Delay (during the 2 s after
# "写出文件到plugin中....."): the window goes at once; the file operation before the script's
# next write to a control still runs (the plugin DLL is written, whole); that control write
# finds the window gone and the program reports "指定窗口尚未载入" in its fatal error box,
# titled "错误", which stays up until the user closes it (Enter); exit code -1. The data files
# written before stay complete; nothing after the plugin DLL is written; no temporary file.
#
# Overrides (see lib.sh): TOVARA_EXE, TOVARA_HELPERS, TOVARA_CARRIED.
source "$(dirname "$0")/lib.sh"
carried_inputs_present || bail "carried inputs present (set TOVARA_CARRIED)"
e2e_begin

host=$E2E_TMP/host
make_host_dir "$host"
mkdir -p "$host/plugin" "$host/config"
before=$(file_names "$host")
log=$E2E_TMP/install.log

run_installer_observed "$host" "$log" --timeout 120000
wait_window_shown "$log" 30 || bail "the installer window is shown"
W=$WINDOW
sleep 0.3
click_install "$log" "$W"
wait_log "$log" 'text="检查是否有旧版本中\.\.\.\."' 20 || bail "the old-version check is announced"
press alt+Escape
sleep 1
check "Alt+Esc during the installation: the window stays (not gone, no end)" \
  eval '! grep -qE "^[0-9]+ (exit code=|gone hwnd=$W\$)" "$log"'
check_eq "Alt+Esc during the installation: the window is still shown" 1 \
  "$(window_field "$log" "$W" visible)"
wait_log "$log" 'text="写出文件到plugin中\.\.\.\.\."' 90 || bail "the plugin write is announced"
sleep 0.5
# Esc goes first, well inside the 2 s; the focus it found is read afterwards from the log as
# it stood just before the key.
head -n "$(wc -l <"$log")" "$log" >"$E2E_TMP/before-esc.log"
press Escape
check_eq "the window has the keyboard focus before Esc" 1 \
  "$(window_field "$E2E_TMP/before-esc.log" "$W" foreground)"
wait_log "$log" '^[0-9]+ box ' 20 || bail "a message box appears"
check "the installer window is gone" grep -qE "^[0-9]+ gone hwnd=$W\$" "$log"

mapfile -t boxes < <(obs boxes "$log")
check_eq "one message box" 1 "${#boxes[@]}"
box=$(cut -d' ' -f1 <<<"${boxes[0]:-}")
box_line=$(obs last "$log" "$box")
check_eq "box title" '错误' "$(obs field title "$box_line")"
check_eq "box text (bytes)" "$(printf '%s' $'运行时出错!\r\n\r\n错误信息：指定窗口尚未载入\r\n' | od -An -tx1)" \
  "$(obs field text "$box_line" | od -An -tx1)"
check_eq "box buttons" '确定' "$(obs box-buttons "$log" "$box" | tr '\n' ' ' | sed 's/ $//')"
screenshot fatal-error-box "$log" "$box"
sleep 3
check "the box is still up 3 s later (the waiting quit request did not close it)" \
  test "$(window_field "$log" "$box" visible)" == 1
check "the program still runs while the box is up" \
  bash -c "! grep -qE '^[0-9]+ (exit code=|timeout)' '$log'"

# The plugin DLL is complete before the box can be closed: its write came before the fatal
# control write.
check "the plugin DLL is written whole (byte for byte the carried plugin)" \
  same_bytes "$TOVARA_CARRIED/programs/tovara_plugin.dll" "$host/plugin/Tovara娱乐插件1.3.1版本.cqp.dll"

check_eq "the box has the keyboard focus" 1 "$(window_field "$log" "$box" foreground)"
press Return
wait_exit "$log" 20
check_eq "exit code -1" 4294967295 "$EXIT_CODE"
obs_install captions "$log" "$W" "$RECT_STATUS" >"$E2E_TMP/status.txt"
check_eq "the last status seen is the plugin write's announcement" '写出文件到plugin中.....' \
  "$(tail -1 "$E2E_TMP/status.txt" | cut -f2)"

cfg=$host/$CONFIG_FOLDER_REL
fortune_file "$E2E_TMP/fortune.ini"
check "插件配置.ini complete" same_bytes "$TOVARA_CARRIED/default_config.ini" "$cfg/插件配置.ini"
check "抽签数据.ini complete" same_bytes "$E2E_TMP/fortune.ini" "$cfg/抽签数据.ini"
check "急转弯.ini complete" same_bytes "$TOVARA_CARRIED/teasers.ini" "$cfg/急转弯.ini"
check_eq "no temporary file left" "" "$(temp_files "$host")"
expected_names=$( { echo "$before"
  printf 'd ./%s\n' "$CONFIG_FOLDER_REL"
  printf 'f ./%s\n' "$CONFIG_FOLDER_REL/插件配置.ini" "$CONFIG_FOLDER_REL/抽签数据.ini" \
    "$CONFIG_FOLDER_REL/急转弯.ini" "plugin/Tovara娱乐插件1.3.1版本.cqp.dll"
} | LC_ALL=C sort)
check_eq "nothing written after the plugin DLL" "$expected_names" "$(file_names "$host")"
e2e_finish
