#!/usr/bin/env bash
# The old core DLL held open without sharing by another program: after its announcement the
# installer tries to delete it four times, showing "删除失败，正在重试(1)" to "(3)" for 1.5 s
# each between the attempts, then "删除失败，请手动删除后再启动本程序" for 1 s, and ends with
# exit code 0. The held file is unchanged and nothing is written.
#
# Overrides (see lib.sh): TOVARA_EXE, TOVARA_HELPERS.
source "$(dirname "$0")/lib.sh"
e2e_begin
[ -f "$TOVARA_HELPERS/hold_file_open.exe" ] || bail "hold_file_open.exe built"

host=$E2E_TMP/host
make_host_dir "$host"
mkdir -p "$host/plugin" "$host/config"
core=$host/tovarachajian2.dll
printf 'old core library, in use\r\n' >"$core"
core_sum=$(sha256sum <"$core")
hold_open "$core" || bail "another program holds tovarachajian2.dll open"
before=$(file_names "$host")
log=$E2E_TMP/install.log

install_until_exit "$host" "$log" 80

{
  steps_start
  printf 'status\t%s\nwait\t%s\n' '没有找到旧版本插件，跳过此步.....' 1000
  steps_old_consoles_begin
  printf 'wait\t2000\nstatus\t%s\nwait\t1000\n' '检查完毕，没有发现控制台....'
  printf 'status\t%s\nwait\t%s\n' \
    '检查是否有旧版核心文件中...' 1000 \
    '发现旧版核心文件，即将删除' 1000 \
    '删除失败，正在重试(1)' 1500 \
    '删除失败，正在重试(2)' 1500 \
    '删除失败，正在重试(3)' 1500 \
    '删除失败，请手动删除后再启动本程序' 1000
} >"$E2E_TMP/expected.txt"
check_timeline "$E2E_TMP/expected.txt" "$E2E_TMP/status.txt" "$end_t"
check "never reported as deleted" \
  bash -c "! grep -qF '删除旧版核心文件成功！' '$E2E_TMP/status.txt'"

release_hold "$HOLD_PID"
check "the held core DLL is still there, unchanged" test "$(sha256sum <"$core")" == "$core_sum"
check_eq "nothing written in the host folder" "$before" "$(file_names "$host")"
e2e_finish
