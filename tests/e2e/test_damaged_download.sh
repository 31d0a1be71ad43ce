#!/usr/bin/env bash
# A damaged download: a copy of TovaraSetup.exe with one byte in every 256 of its largest
# section flipped (the section that holds the packed carried files, from its 128th byte on)
# is run in a fresh host folder and the user clicks InstallButton. Every packed block is hit,
# so no file unpacks intact: the data files are given up, the plugin DLL's three attempts
# fail, its failure text stands and the program ends with exit code 0. No program file and no data file is left
# damaged: each is absent or byte for byte its carried input; no temporary file is left.
#
# Overrides (see lib.sh): TOVARA_EXE, TOVARA_HELPERS, TOVARA_CARRIED.
source "$(dirname "$0")/lib.sh"
carried_inputs_present || bail "carried inputs present (set TOVARA_CARRIED)"
e2e_begin

# The largest section of the image: its name, size and offset in the file.
read -r section size offset < <($TOVARA_OBJDUMP -h "$TOVARA_EXE" | python3 -c '
import sys
rows = [l.split() for l in sys.stdin if l.split() and l.split()[0].isdigit()]
name, size, offset = max(((r[1], int(r[2], 16), int(r[5], 16)) for r in rows), key=lambda r: r[1])
print(name, size, offset)')
note "largest section $section: $size bytes at offset $offset"
damaged=$E2E_TMP/damaged.exe
python3 - "$TOVARA_EXE" "$damaged" "$offset" "$size" <<'PY'
import sys
src, out, offset, size = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
image = bytearray(open(src, 'rb').read())
for at in range(offset + 128, offset + size, 256):
    image[at] ^= 0xFF
open(out, 'wb').write(image)
PY
check "the copy differs from the program in $((size / 256)) bytes or so" \
  test "$(cmp -l "$TOVARA_EXE" "$damaged" | wc -l)" -ge $((size / 256 - 1))

host=$E2E_TMP/host
TOVARA_EXE=$damaged make_host_dir "$host"
mkdir -p "$host/plugin" "$host/config"
log=$E2E_TMP/install.log
install_until_exit "$host" "$log" 100

# The end of the run is the plugin DLL's failure path.
tail -3 "$E2E_TMP/status.txt" | cut -f2 >"$E2E_TMP/last.txt"
printf '%s\n' '写出文件失败，正在尝试第二次写出' '写出文件失败，正在尝试第三次分析' \
  '写出文件失败，无法写出该文件，请检查磁盘是否已满和是否可以读写，3秒后退出' >"$E2E_TMP/failure.txt"
check "the last statuses are the plugin DLL's two retries and its failure text" \
  cmp -s "$E2E_TMP/failure.txt" "$E2E_TMP/last.txt"

# absent_or_same CARRIED INSTALLED: the installed file is not there, or is the carried input.
absent_or_same() { [ ! -e "$2" ] || same_bytes "$1" "$2"; }
while IFS=$'\t' read -r carried installed _; do
  check "$(basename "$installed"): absent or byte for byte $(basename "$carried") ($(file_size "$installed"))" \
    absent_or_same "$carried" "$installed"
done < <(expected_payloads "$host")
cfg=$host/$CONFIG_FOLDER_REL
fortune_file "$E2E_TMP/fortune.ini"
for pair in "$TOVARA_CARRIED/default_config.ini:$cfg/插件配置.ini" "$E2E_TMP/fortune.ini:$cfg/抽签数据.ini" \
            "$TOVARA_CARRIED/teasers.ini:$cfg/急转弯.ini"; do
  check "$(basename "${pair#*:}"): absent or byte for byte its carried input ($(file_size "${pair#*:}"))" \
    absent_or_same "${pair%%:*}" "${pair#*:}"
done
check_eq "no temporary file anywhere" "" "$(temp_files "$host")"
e2e_finish
