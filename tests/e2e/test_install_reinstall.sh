#!/usr/bin/env bash
# An installation over an earlier one: old plugin DLLs of several release lines, an old
# console, the old core DLL and an old card program are there, and so are the three data
# files, changed by the user. Each old file the script handles is announced and removed (a
# plain 1.2 plugin is reported but kept; names it does not look for stay, a user's "~tv2.tmp"
# in each folder written to as well), the data files are left exactly as they were, the four
# programs are written anew, the console is started and the installer ends with exit code 0.
# The waits add up to 71 s here: 57 s for a folder whose data files exist, plus 14 s of
# messages about the old files.
#
# Overrides (see lib.sh): TOVARA_EXE, TOVARA_HELPERS, TOVARA_CARRIED.
source "$(dirname "$0")/lib.sh"
carried_inputs_present || bail "carried inputs present (set TOVARA_CARRIED)"
e2e_begin

host=$E2E_TMP/host
make_host_dir "$host"
cfg=$host/$CONFIG_FOLDER_REL
mkdir -p "$host/plugin" "$cfg"
old() { printf 'old file: %s\r\n' "$1" >"$host/$1"; }
# Removed: one of each kind the deletion pass handles differently.
removed_plugins=(Tovara娱乐插件1.0.4版本.cqp.dll Tovara娱乐插件1.1.2.cqp.dll
                 Tovara娱乐插件1.2.3版本.cqp.dll)
for f in "${removed_plugins[@]}"; do old "plugin/$f"; done
old plugin/Tovara娱乐插件1.3.1版本.cqp.dll        # removed, then written anew
old Tovara娱乐插件1.2.3版本控制台.exe
old tovarachajian2.dll                              # removed, then written anew
old "$CONFIG_FOLDER_REL/名片.exe"                   # replaced
# Kept: a plain 1.2 plugin (reported only), a two-digit release number, someone else's plugin.
kept=(plugin/Tovara娱乐插件1.2.5.cqp.dll plugin/Tovara娱乐插件1.0.10.cqp.dll plugin/other.cqp.dll)
# A user's files named as an earlier release named its temporary files, in each folder the
# installer writes into: kept too.
kept+=('~tv2.tmp' 'plugin/~tv2.tmp' "$CONFIG_FOLDER_REL/~tv2.tmp")
for f in "${kept[@]}"; do old "$f"; done
# The user's data: the carried texts with changes of the user's own.
{ cat "$TOVARA_CARRIED/default_config.ini"; printf '[用户配置]\r\n机器人昵称=小柚\r\n'; } \
  >"$cfg/插件配置.ini"
printf '[第○○一签]\r\n\r\n签诗=用户自己写的签。\r\n' | iconv -f UTF-8 -t GBK >"$cfg/抽签数据.ini"
head -c 1000 "$TOVARA_CARRIED/teasers.ini" >"$cfg/急转弯.ini"
touch -d '2020-01-02 03:04:05' "$cfg"/*.ini
for f in 插件配置.ini 抽签数据.ini 急转弯.ini; do cp -p "$cfg/$f" "$E2E_TMP/before-$f"; done
data_before=$(cd "$cfg" && stat -c '%n %s %Y' 插件配置.ini 抽签数据.ini 急转弯.ini)
kept_before=$(cd "$host" && md5sum "${kept[@]}")
before=$(file_names "$host")

log=$E2E_TMP/install.log
install_until_exit "$host" "$log" 150

hostwin=$(winpath "$host")
{
  steps_start
  # The scan reports, for N = 1..9, the six forms it knows (1.3 files are not among them).
  printf 'status\t%s\nwait\t1000\n' \
    '找到旧版插件：Tovara娱乐插件1.1.2.cqp.dll' \
    '找到旧版插件：Tovara娱乐插件1.2.3版本.cqp.dll' \
    '找到旧版插件：Tovara娱乐插件1.0.4版本.cqp.dll' \
    '找到旧版插件：Tovara娱乐插件1.2.5.cqp.dll'
  # The deletion pass, N = 1..9; 1.2 and 1.3 files with 版本 are announced twice.
  printf 'status\t%s\nwait\t1000\n' \
    '删除旧版插件：Tovara娱乐插件1.3.1版本' '删除旧版插件：Tovara娱乐插件1.3.1版本' \
    '删除旧版插件：Tovara娱乐插件1.1.2' \
    '删除旧版插件：Tovara娱乐插件1.2.3版本' '删除旧版插件：Tovara娱乐插件1.2.3版本' \
    '删除旧版插件中：Tovara娱乐插件1.0.4版本.cqp.dll'
  steps_old_consoles_begin
  printf 'status\t%s\n' "检查到旧版本控制台：$hostwin\\Tovara娱乐插件1.2.3版本控制台.exe"
  printf 'wait\t2000\nwait\t2000\nstatus\t%s\nwait\t2000\n' '删除旧版本控制台中.....'
  printf 'status\t%s\nwait\t1000\n' "已经删除旧版本控制台：$hostwin\\Tovara娱乐插件1.2.3版本控制台.exe"
  printf 'status\t%s\nwait\t1000\n' '检查是否有旧版核心文件中...' '发现旧版核心文件，即将删除'
  printf 'status\t%s\nwait\t2000\n' '删除旧版核心文件成功！'
  steps_data_present
  steps_payloads_and_finish
} >"$E2E_TMP/expected.txt"
check_timeline "$E2E_TMP/expected.txt" "$E2E_TMP/status.txt" "$end_t"
check_counter "$log" "$W" "$E2E_TMP/status.txt"

# --- the files ------------------------------------------------------------------------------
for f in "${removed_plugins[@]}"; do
  check "removed: plugin/$f" test ! -e "$host/plugin/$f"
done
check "removed: the old console Tovara娱乐插件1.2.3版本控制台.exe" \
  test ! -e "$host/Tovara娱乐插件1.2.3版本控制台.exe"
check_eq "kept, unchanged: ${kept[*]}" "$kept_before" "$(cd "$host" && md5sum "${kept[@]}" 2>&1)"
for f in 插件配置.ini 抽签数据.ini 急转弯.ini; do
  check "$f: the user's file, byte for byte as it was" same_bytes "$E2E_TMP/before-$f" "$cfg/$f"
done
check_eq "the data files were not written (sizes and times)" "$data_before" \
  "$(cd "$cfg" && stat -c '%n %s %Y' 插件配置.ini 抽签数据.ini 急转弯.ini)"
check_payloads "$host"
expected_names=$( { echo "$before" | grep -v -F -e 1.0.4版本.cqp.dll -e 1.1.2.cqp.dll \
    -e 1.2.3版本.cqp.dll -e 1.2.3版本控制台.exe
  printf 'f ./%s\n' "$CONSOLE_NAME"
} | LC_ALL=C sort)
check_eq "no other file appears or goes" "$expected_names" "$(file_names "$host")"

# --- the console it started -----------------------------------------------------------------
wait_console 20
check "a window titled $CONSOLE_TITLE is shown" test -n "$CONSOLE_XID"
mapfile -t consoles < <(console_pids)
check_eq "one console program runs" 1 "${#consoles[@]}"
if [ "${#consoles[@]}" -ge 1 ]; then
  check "the console ends when its window is closed" end_console "${consoles[0]}"
fi
e2e_finish
