#!/usr/bin/env bash
# The console program's file (Tovara娱乐插件1.3.1版本控制台.exe, also an old 1.3 console name)
# held open without sharing by another program through the whole installation: its one
# deletion as an old console fails and is reported with its full path; its three writes fail
# and end in the console failure message; the data files, the plugin DLL, the card program and
# the core DLL are still written; the closing status says that some files failed instead of
# claiming success; the held file is unchanged, nothing is started from it, exit code 0.
#
# Overrides (see lib.sh): TOVARA_EXE, TOVARA_HELPERS, TOVARA_CARRIED.
source "$(dirname "$0")/lib.sh"
carried_inputs_present || bail "carried inputs present (set TOVARA_CARRIED)"
e2e_begin
[ -f "$TOVARA_HELPERS/hold_file_open.exe" ] || bail "hold_file_open.exe built"

host=$E2E_TMP/host
make_host_dir "$host"
mkdir -p "$host/plugin" "$host/config"
console=$host/$CONSOLE_NAME
cp "$TOVARA_HELPERS/idle_wait.exe" "$console"   # a program, were it ever started
console_sum=$(sha256sum <"$console")
hold_open "$console" || bail "another program holds the console file open"
before=$(file_names "$host")
log=$E2E_TMP/install.log

install_until_exit "$host" "$log" 140

{
  steps_start
  printf 'status\t%s\nwait\t%s\n' '没有找到旧版本插件，跳过此步.....' 1000
  steps_old_consoles_begin
  printf 'wait\t2000\nwait\t2000\nstatus\t%s\nwait\t2000\n' '删除旧版本控制台中.....'
  printf 'status\t%s\nwait\t1000\n' \
    "删除旧版本控制台失败，请手动删除旧版本控制台：$(winpath "$host")\\$CONSOLE_NAME"
  printf 'status\t%s\nwait\t%s\n' '检查是否有旧版核心文件中...' 1000
  printf 'wait\t2000\n'
  steps_data_missing
  printf 'status\t%s\nwait\t%s\n' \
    '正在初始化需要的文件....' 2000 \
    '初始化完毕' 2000 \
    '写出文件到plugin中.....' 2000 \
    '写出文件成功，已经成功写入到了相关文件夹里面' 1000
  printf 'status\t%s\n' '正在写出控制台中....'
  printf 'status\t%s\nwait\t%s\n' \
    '写出控制台失败，正在尝试第二次写出控制台' 1000 \
    '写出控制台失败，正在尝试第三次写出' 1000 \
    '写出控制台失败，无法写出该文件，请检查磁盘是否已满和是否可以读写' 2000 \
    '正在准备写出核心文件中....' 1000 \
    '正在写出核心文件中....' 1000 \
    '写出文件成功，已经成功写入到了相关文件夹里面' 1000 \
    '部分文件写出失败，请检查磁盘后重新运行本程序！' 1000 \
    'Tovara仅做绿色、无毒软件' 3000 \
    'Tovara插件安装后在酷Q以外的任何文件夹不留任何文件。' 2000 \
    '正在做最后的配置,期间可能无响应.....' 4000 \
    '~酷Q机器人配置Tovara插件完毕，本次耗时：[0-9]+S' 3000 \
    '谢谢您使用Tovara插件，5秒后自动退出！' 6000
} >"$E2E_TMP/expected.txt"
check_timeline "$E2E_TMP/expected.txt" "$E2E_TMP/status.txt" "$end_t"
check "the closing status never claims that every file was written" \
  bash -c "! grep -qF '写入所有文件已经完成！' '$E2E_TMP/status.txt'"
check "the console is never reported as written" \
  bash -c "! grep -qF '写出控制台成功' '$E2E_TMP/status.txt'"

mapfile -t started < <(processes_named "$CONSOLE_NAME")
check_eq "no program runs from the held console file" 0 "${#started[@]}"
release_hold "$HOLD_PID"
check "the held console file is unchanged" test "$(sha256sum <"$console")" == "$console_sum"

cfg=$host/$CONFIG_FOLDER_REL
fortune_file "$E2E_TMP/fortune.ini"
check "插件配置.ini written: the carried default configuration" \
  same_bytes "$TOVARA_CARRIED/default_config.ini" "$cfg/插件配置.ini"
check "抽签数据.ini written: the carried fortune text with CR LF" \
  same_bytes "$E2E_TMP/fortune.ini" "$cfg/抽签数据.ini"
check "急转弯.ini written: the carried brain-teaser data" \
  same_bytes "$TOVARA_CARRIED/teasers.ini" "$cfg/急转弯.ini"
while IFS=$'\t' read -r carried installed _; do
  [ "$installed" == "$console" ] && continue
  check "$(basename "$installed") written: byte for byte the carried $(basename "$carried")" \
    same_bytes "$carried" "$installed"
done < <(expected_payloads "$host")
check_eq "no temporary file left" "" "$(temp_files "$host")"
expected_names=$( { echo "$before"
  printf 'd ./%s\n' "$CONFIG_FOLDER_REL"
  printf 'f ./%s\n' "$CONFIG_FOLDER_REL/插件配置.ini" "$CONFIG_FOLDER_REL/抽签数据.ini" \
    "$CONFIG_FOLDER_REL/急转弯.ini" "$CONFIG_FOLDER_REL/名片.exe" \
    "plugin/Tovara娱乐插件1.3.1版本.cqp.dll" tovarachajian2.dll
} | LC_ALL=C sort)
check_eq "nothing else is written in the host folder" "$expected_names" "$(file_names "$host")"
e2e_finish
