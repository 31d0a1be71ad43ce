#!/usr/bin/env bash
# A host folder whose path holds spaces and double-byte characters ("酷Q Pro 目录"), with the
# data files of an earlier run already there (the waits add up to 57 s): the script runs
# through, the programs land in that folder byte for byte, and the console is started from
# there. The console's path is handed over in quotes: a program "酷Q.exe" planted beside the
# host folder, which an unquoted path would start first ("...\酷Q" + ".exe"), never runs.
#
# Overrides (see lib.sh): TOVARA_EXE, TOVARA_HELPERS, TOVARA_CARRIED.
source "$(dirname "$0")/lib.sh"
carried_inputs_present || bail "carried inputs present (set TOVARA_CARRIED)"
e2e_begin

host="$E2E_TMP/酷Q Pro 目录"
make_host_dir "$host"
cfg=$host/$CONFIG_FOLDER_REL
mkdir -p "$host/plugin" "$cfg"
cp "$TOVARA_CARRIED/default_config.ini" "$cfg/插件配置.ini"
fortune_file "$cfg/抽签数据.ini"
cp "$TOVARA_CARRIED/teasers.ini" "$cfg/急转弯.ini"
data_before=$(cd "$cfg" && stat -c '%n %s %Y' 插件配置.ini 抽签数据.ini 急转弯.ini)
cp "$TOVARA_HELPERS/fake_host_gui.exe" "$E2E_TMP/酷Q.exe"
before=$(file_names "$host")

log=$E2E_TMP/install.log
install_until_exit "$host" "$log" 150
{ steps_start; steps_no_old_files; steps_data_present; steps_payloads_and_finish; } \
  >"$E2E_TMP/expected.txt"
check_timeline "$E2E_TMP/expected.txt" "$E2E_TMP/status.txt" "$end_t"
check_counter "$log" "$W" "$E2E_TMP/status.txt"

check_payloads "$host"
check_eq "the data files were left as they were" "$data_before" \
  "$(cd "$cfg" && stat -c '%n %s %Y' 插件配置.ini 抽签数据.ini 急转弯.ini)"
expected_names=$( { echo "$before"
  printf 'f ./%s\n' "$CONFIG_FOLDER_REL/名片.exe" "plugin/Tovara娱乐插件1.3.1版本.cqp.dll" \
    "$CONSOLE_NAME" tovarachajian2.dll
} | LC_ALL=C sort)
check_eq "nothing else is written in the host folder" "$expected_names" "$(file_names "$host")"
check_eq "nothing is written beside it" "$(printf '%s\n' 酷Q.exe '酷Q Pro 目录' | LC_ALL=C sort)" \
  "$(cd "$E2E_TMP" && ls -1 | grep -v -x -e prefix -e install.log -e status.txt \
       -e expected.txt | LC_ALL=C sort)"

wait_console 20
check "a window titled $CONSOLE_TITLE is shown" test -n "$CONSOLE_XID"
mapfile -t consoles < <(console_pids)
check_eq "one console program runs" 1 "${#consoles[@]}"
check_eq "the program planted beside the folder was not started" "" "$(processes_named 酷Q.exe)"
if [ "${#consoles[@]}" -ge 1 ]; then
  check "the console ends when its window is closed" end_console "${consoles[0]}"
fi
e2e_finish
