#!/usr/bin/env bash
# Data files the user has changed are never read, replaced or touched: a hand-edited
# 插件配置.ini, an empty 抽签数据.ini and a damaged 急转弯.ini (bytes that are no valid text)
# are byte for byte and time for time the same after a whole installation. The data phase
# shows the "found" path of each file, the four programs are written, the console is started,
# exit code 0.
#
# Overrides (see lib.sh): TOVARA_EXE, TOVARA_HELPERS, TOVARA_CARRIED.
source "$(dirname "$0")/lib.sh"
carried_inputs_present || bail "carried inputs present (set TOVARA_CARRIED)"
e2e_begin

host=$E2E_TMP/host
make_host_dir "$host"
cfg=$host/$CONFIG_FOLDER_REL
mkdir -p "$host/plugin" "$cfg"
# The user's own settings (GBK, CR LF), not the carried default.
printf '[签到配置]\r\n奖励金币最多=99\r\n奖励金币最少=50\r\n[全局配置]\r\n奖励单位=积分\r\n' |
  iconv -f UTF-8 -t GBK >"$cfg/插件配置.ini"
: >"$cfg/抽签数据.ini"
# Cut off in the middle of a double-byte character, with a stray zero byte.
{ printf '[1]\r\n问题=半截' | iconv -f UTF-8 -t GBK; printf '\xd6\x00\xff'; } >"$cfg/急转弯.ini"
touch -d '2020-02-02 02:02:02' "$cfg/插件配置.ini" "$cfg/抽签数据.ini" "$cfg/急转弯.ini"
check "the user's files are set up (the empty one is empty)" \
  test -s "$cfg/插件配置.ini" -a ! -s "$cfg/抽签数据.ini" -a -s "$cfg/急转弯.ini"
before=$(sums "$cfg")
log=$E2E_TMP/install.log

install_until_exit "$host" "$log" 110

{ steps_start; steps_no_old_files; steps_data_present; steps_payloads_and_finish; } \
  >"$E2E_TMP/expected.txt"
check_timeline "$E2E_TMP/expected.txt" "$E2E_TMP/status.txt" "$end_t"

# Only the card program is added to the folder; the three data files are as they were.
after=$(sums "$cfg" | grep -vF ' ./名片.exe' || true)
check_eq "插件配置.ini, 抽签数据.ini, 急转弯.ini: same bytes, sizes and times" "$before" "$after"
check_eq "抽签数据.ini is still empty" 0 "$(file_size "$cfg/抽签数据.ini")"
check_payloads "$host"
check_eq "no temporary file left" "" "$(temp_files "$host")"

for pid in $(console_pids); do
  end_console "$pid" || note "console $pid ended by force"
done
e2e_finish
