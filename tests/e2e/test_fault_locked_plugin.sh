#!/usr/bin/env bash
# An old plugin DLL that another program holds open without sharing cannot be deleted: the
# deletion pass announces it (a 1.3 form with 版本: twice), tries three times one second apart
# with its numbered notices, shows the two closing messages (1 s and 5 s) and ends with exit
# code 0. An old DLL deleted earlier in the pass stays deleted; the held file is unchanged;
# no data file or program is written.
#
# Overrides (see lib.sh): TOVARA_EXE, TOVARA_HELPERS.
source "$(dirname "$0")/lib.sh"
e2e_begin
[ -f "$TOVARA_HELPERS/hold_file_open.exe" ] || bail "hold_file_open.exe built"

host=$E2E_TMP/host
make_host_dir "$host"
mkdir -p "$host/plugin" "$host/config"
free_old='Tovara娱乐插件1.0.1版本.cqp.dll'    # found by the scan, deleted at once
held_old='Tovara娱乐插件1.3.2版本.cqp.dll'    # not scanned; announced twice; held open
printf 'old plugin 1.0.1\r\n' >"$host/plugin/$free_old"
printf 'old plugin 1.3.2, in use\r\n' >"$host/plugin/$held_old"
held_sum=$(sha256sum <"$host/plugin/$held_old")
hold_open "$host/plugin/$held_old" || bail "another program holds $held_old open"
before=$(file_names "$host")
log=$E2E_TMP/install.log

install_until_exit "$host" "$log" 80

{
  steps_start
  printf 'status\t%s\nwait\t%s\n' \
    '找到旧版插件：Tovara娱乐插件1.0.1版本.cqp.dll' 1000 \
    '删除旧版插件中：Tovara娱乐插件1.0.1版本.cqp.dll' 1000 \
    '删除旧版插件：Tovara娱乐插件1.3.2版本' 1000 \
    '删除旧版插件：Tovara娱乐插件1.3.2版本' 1000 \
    '删除旧版插件失败，正在重试(1)：Tovara娱乐插件1.3.2版本' 1000 \
    '删除旧版插件失败，正在重试(2)：Tovara娱乐插件1.3.2版本' 1000 \
    '3次删除旧版插件失败，正在重试(3)：Tovara娱乐插件1.3.2版本.cqp.dll' 1000 \
    '删除旧版插件失败，3秒后退此程序' 1000 \
    '请手动删除以前版本插件' 5000
} >"$E2E_TMP/expected.txt"
check_timeline "$E2E_TMP/expected.txt" "$E2E_TMP/status.txt" "$end_t"
check "the last status is the manual-deletion request" \
  test "$(tail -1 "$E2E_TMP/status.txt" | cut -f2)" == '请手动删除以前版本插件'

release_hold "$HOLD_PID"
check "the held DLL is still there, unchanged" \
  test "$(sha256sum <"$host/plugin/$held_old")" == "$held_sum"
check "the old DLL before it in the pass was deleted" test ! -e "$host/plugin/$free_old"
expected_names=$(grep -vF "./plugin/$free_old" <<<"$before")
check_eq "nothing else changed in the host folder (no data file, no program)" \
  "$expected_names" "$(file_names "$host")"
check "no configuration folder was made" test ! -e "$host/$CONFIG_FOLDER_REL"
e2e_finish
