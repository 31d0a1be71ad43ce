#!/usr/bin/env bash
# The disk fills up while the plugin DLL is written: the installer runs under a file-size
# limit (set on its own process once its window is shown; SIGXFSZ ignored, so a write past
# the limit fails as on a full disk) that the three data files fit under and the 737,280-byte
# plugin DLL does not. The data files are written whole; the plugin write fails three times
# with its two retry notices and the closing message (5 s); the program ends with exit code 0;
# no partial and no temporary file is left in the plugin folder and nothing is written after
# it. Wine's server is started before and is not limited.
#
# Overrides (see lib.sh): TOVARA_EXE, TOVARA_HELPERS, TOVARA_CARRIED.
source "$(dirname "$0")/lib.sh"
carried_inputs_present || bail "carried inputs present (set TOVARA_CARRIED)"
e2e_begin
command -v prlimit >/dev/null || bail "prlimit (util-linux) installed"

LIMIT_KB=400    # above 急转弯.ini (83,700 bytes), below the plugin DLL (737,280 bytes)
host=$E2E_TMP/host
make_host_dir "$host"
mkdir -p "$host/plugin" "$host/config"
before=$(file_names "$host")
log=$E2E_TMP/install.log

# The prefix's server and its service processes start here, without a limit.
wineserver -p
process_list >/dev/null
# (Other scenarios' servers may run beside ours: a server that is not ours is passed over.)
server=$(pgrep -f "^/usr/lib/wine/wineserver" -U "$(id -u)" | while read -r p; do
  if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
    echo "$p"
  fi
done | head -1)

# Ignored signals stay ignored in the programs started from here.
trap '' XFSZ
run_installer_observed "$host" "$log" --timeout 120000
trap - XFSZ
wait_window_shown "$log" 30 || bail "the installer window is shown"
W=$WINDOW
installer=$(unix_pid_of TovaraSetup.exe)
[ -n "$installer" ] || bail "the installer's process found"
prlimit --pid "$installer" --fsize=$((LIMIT_KB * 1024)) || bail "file-size limit set"
check_eq "the installer's file-size limit" $((LIMIT_KB * 1024)) "$(file_size_limit "$installer")"
check "the installer ignores SIGXFSZ (a write past the limit fails, the process lives)" \
  ignores_sigxfsz "$installer"
check "Wine's server ($server) has no file-size limit" \
  test -n "$server" -a "$(file_size_limit "${server:-0}")" == unlimited
observer=$(unix_pid_of observer.exe)
check "the observer has no file-size limit" \
  test -n "$observer" -a "$(file_size_limit "${observer:-0}")" == unlimited

sleep 0.3
click_install "$log" "$W"
wait_exit "$log" 110
check_eq "exit code 0" 0 "$EXIT_CODE"
end_t=$(obs_install exit-time "$log")
obs_install captions "$log" "$W" "$RECT_STATUS" >"$E2E_TMP/status.txt"

{
  steps_start
  steps_no_old_files
  steps_data_missing
  printf 'status\t%s\nwait\t%s\n' \
    '正在初始化需要的文件....' 2000 \
    '初始化完毕' 2000 \
    '写出文件到plugin中.....' 2000 \
    '写出文件失败，正在尝试第二次写出' 1000 \
    '写出文件失败，正在尝试第三次分析' 1000 \
    '写出文件失败，无法写出该文件，请检查磁盘是否已满和是否可以读写，3秒后退出' 5000
} >"$E2E_TMP/expected.txt"
check_timeline "$E2E_TMP/expected.txt" "$E2E_TMP/status.txt" "$end_t"

cfg=$host/$CONFIG_FOLDER_REL
fortune_file "$E2E_TMP/fortune.ini"
check "插件配置.ini written whole under the limit" \
  same_bytes "$TOVARA_CARRIED/default_config.ini" "$cfg/插件配置.ini"
check "抽签数据.ini written whole under the limit" \
  same_bytes "$E2E_TMP/fortune.ini" "$cfg/抽签数据.ini"
check "急转弯.ini written whole under the limit" \
  same_bytes "$TOVARA_CARRIED/teasers.ini" "$cfg/急转弯.ini"
check_eq "the plugin folder is empty: no partial DLL, no temporary file" "" \
  "$(ls -A "$host/plugin")"
check_eq "no temporary file anywhere" "" "$(temp_files "$host")"
expected_names=$( { echo "$before"
  printf 'd ./%s\n' "$CONFIG_FOLDER_REL"
  printf 'f ./%s\n' "$CONFIG_FOLDER_REL/插件配置.ini" "$CONFIG_FOLDER_REL/抽签数据.ini" \
    "$CONFIG_FOLDER_REL/急转弯.ini"
} | LC_ALL=C sort)
check_eq "nothing written after the plugin DLL (no console, card or core)" \
  "$expected_names" "$(file_names "$host")"
e2e_finish
