#!/usr/bin/env bash
# A first installation into a host folder with an empty plugin folder and the host's own
# (empty) \config folder: the user clicks InstallButton, the whole script runs (its waits add
# up to 76 s), every step announced in order and for its time; the seven files are written
# byte for byte from the carried inputs and nothing else; the new console is started and the
# installer ends with exit code 0. Pictures taken during the run show the green counter and
# the spinner turning, drawn from the program's own icon font.
#
# Overrides (see lib.sh): TOVARA_EXE, TOVARA_HELPERS, TOVARA_CARRIED, E2E_SHOTS.
source "$(dirname "$0")/lib.sh"
carried_inputs_present || bail "carried inputs present (set TOVARA_CARRIED)"
e2e_begin

host=$E2E_TMP/host
make_host_dir "$host"
mkdir -p "$host/plugin" "$host/config"
before=$(file_names "$host")
log=$E2E_TMP/install.log

run_installer_observed "$host" "$log" --timeout 150000
wait_window_shown "$log" 30 || bail "the installer window is shown"
W=$WINDOW
sleep 0.5
check "before the click: the status line is empty" \
  test -z "$(obs_install captions "$log" "$W" "$RECT_STATUS" | tail -1 | cut -f2)"
click_install "$log" "$W"
wait_log "$log" '正在初始化插件安装' 10 || bail "the installation starts on the click"

# --- pictures while "检查是否有旧版本中...." stands (3 s of Delay, nothing else runs) -------
wait_log "$log" '检查是否有旧版本中' 10 || bail "the second step is shown"
sleep 0.5
IFS=, read -r -a wr <<<"$(window_field "$log" "$W" rect)"
IFS=, read -r -a wc <<<"$(window_field "$log" "$W" client)"
geometry="$((wr[2] - wr[0]))x$((wr[3] - wr[1]))+${wr[0]}+${wr[1]}"
ox=$((wc[0] - wr[0])) oy=$((wc[1] - wr[1]))   # client origin inside the picture
shot1=$E2E_SHOTS/installing-1.png shot2=$E2E_SHOTS/installing-2.png
# crop PICTURE X Y W H OUT: a client-area rectangle of a window picture.
crop() { convert "$1" -crop "$4x$5+$((ox + $2))+$((oy + $3))" +repage "$6"; }
# bright_pixels PICTURE: how many pixels are near white.
bright_pixels() {
  convert "$1" -colorspace gray -threshold 70% -format '%[fx:int(mean*w*h+0.5)]' info:
}
# The spinner rests blank for 280 ms after each turn: a pair taken then shows nothing. Take
# pairs until the first picture of one shows a glyph (a few tries at most).
for attempt in 1 2 3 4 5; do
  t1=$(date +%s%N)
  import -window root -crop "$geometry" +repage "$shot1"
  sleep 0.1
  t2=$(date +%s%N)
  import -window root -crop "$geometry" +repage "$shot2"
  # SpinnerLabel (8,16 56x64); StatusLabel overlaps its right part from x = 48, so the glyph
  # itself is looked at left of that.
  crop "$shot1" 8 16 56 64 "$E2E_TMP/label1.png"
  crop "$shot2" 8 16 56 64 "$E2E_TMP/label2.png"
  crop "$shot1" 8 16 40 64 "$E2E_TMP/spin1.png"
  crop "$shot2" 8 16 40 64 "$E2E_TMP/spin2.png"
  [ "$(bright_pixels "$E2E_TMP/spin1.png")" -gt 0 ] && [ "$(bright_pixels "$E2E_TMP/spin2.png")" -gt 0 ] && break
  note "pair $attempt taken during the spinner's pause; again"
  sleep 0.15
done
note "screenshots $shot1 and $shot2, $(( (t2 - t1) / 1000000 )) ms apart"
check "the two pictures were taken at least 100 ms apart" test $(( (t2 - t1) / 1000000 )) -ge 100
lit1=$(bright_pixels "$E2E_TMP/spin1.png")
lit2=$(bright_pixels "$E2E_TMP/spin2.png")
check "spinner: a glyph is drawn (white pixels: $lit1 and $lit2)" \
  test "$lit1" -gt 10 -a "$lit2" -gt 10
diff_label=$(compare -metric AE "$E2E_TMP/label1.png" "$E2E_TMP/label2.png" null: 2>&1 || true)
diff_glyph=$(compare -metric AE "$E2E_TMP/spin1.png" "$E2E_TMP/spin2.png" null: 2>&1 || true)
check "spinner: the two pictures differ inside SpinnerLabel ($diff_label pixels)" \
  test "${diff_label%%.*}" -gt 0
check "spinner: ... and in the glyph itself, clear of the status text ($diff_glyph pixels)" \
  test "${diff_glyph%%.*}" -gt 0
# The frames are a ring of dots: several separate bright blobs, where a missing glyph would
# be drawn as one box outline.
blobs() {
  convert "$1" -colorspace gray -threshold 35% -define connected-components:verbose=true \
    -define connected-components:area-threshold=1 -connected-components 8 null: |
    awk 'NR > 1 && $NF ~ /gray\(255\)|#FFFFFF|srgb\(255,255,255\)/' | wc -l
}
b1=$(blobs "$E2E_TMP/spin1.png")
check "spinner: the glyph is a ring of separate dots ($b1 blobs), not a box" test "$b1" -ge 5
# ElapsedValue shows the count in green (0x00E080: red 0x80, green 0xE0, blue 0) until 100.
crop "$shot1" 90 124 30 24 "$E2E_TMP/count.png"
green=$(convert "$E2E_TMP/count.png" -format %c histogram:info:- |
  awk -F'[(),]+' '{ n = $1 + 0; r = $2 + 0; g = $3 + 0; b = $4 + 0 }
    g > 150 && r < 170 && b < 80 && g > r + 40 { s += n } END { print s + 0 }')
check "the counter's digits are drawn in green ($green green pixels)" test "$green" -gt 5
count_now=$(obs_install captions "$log" "$W" "$RECT_ELAPSED_VALUE" | tail -1 | cut -f2)
check "the counter is below 100 (it reads $count_now)" test "${count_now:-999}" -lt 100

# --- the whole run ------------------------------------------------------------------------
wait_exit "$log" 150
check_eq "exit code 0" 0 "$EXIT_CODE"
end_t=$(obs_install exit-time "$log")
obs_install captions "$log" "$W" "$RECT_STATUS" >"$E2E_TMP/status.txt"

{ steps_start; steps_no_old_files; steps_data_missing; steps_payloads_and_finish; } \
  >"$E2E_TMP/expected.txt"
check_timeline "$E2E_TMP/expected.txt" "$E2E_TMP/status.txt" "$end_t"
check_counter "$log" "$W" "$E2E_TMP/status.txt"
hint=$(obs_install states "$log" "$W" "$RECT_START_HINT" | tail -1 | cut -f2)
button=$(obs_install states "$log" "$W" "$RECT_INSTALL_BUTTON" | tail -1 | cut -f3)
check_eq "the start hint is hidden during the run" 0 "$hint"
check_eq "InstallButton stays disabled" 0 "$button"
check_eq "ElapsedCaption reads 已用时间：" '已用时间：' \
  "$(obs_install captions "$log" "$W" "$RECT_ELAPSED_CAPTION" | tail -1 | cut -f2)"
check_eq "ElapsedUnit reads S" 'S' \
  "$(obs_install captions "$log" "$W" "$RECT_ELAPSED_UNIT" | tail -1 | cut -f2)"

# --- the files ------------------------------------------------------------------------------
cfg=$host/$CONFIG_FOLDER_REL
fortune_file "$E2E_TMP/fortune.ini"
check_eq "插件配置.ini: 916 bytes" 916 "$(file_size "$cfg/插件配置.ini")"
check "插件配置.ini: byte for byte the carried default configuration" \
  same_bytes "$TOVARA_CARRIED/default_config.ini" "$cfg/插件配置.ini"
check_eq "抽签数据.ini: 50545 bytes" 50545 "$(file_size "$cfg/抽签数据.ini")"
check "抽签数据.ini: the carried fortune text with every [enter] as CR LF" \
  same_bytes "$E2E_TMP/fortune.ini" "$cfg/抽签数据.ini"
check_eq "急转弯.ini: 83700 bytes" 83700 "$(file_size "$cfg/急转弯.ini")"
check "急转弯.ini: byte for byte the carried brain-teaser data" \
  same_bytes "$TOVARA_CARRIED/teasers.ini" "$cfg/急转弯.ini"
check_payloads "$host"
expected_names=$( { echo "$before"
  printf 'd ./%s\n' "$CONFIG_FOLDER_REL"
  printf 'f ./%s\n' "$CONFIG_FOLDER_REL/插件配置.ini" "$CONFIG_FOLDER_REL/抽签数据.ini" \
    "$CONFIG_FOLDER_REL/急转弯.ini" "$CONFIG_FOLDER_REL/名片.exe" \
    "plugin/Tovara娱乐插件1.3.1版本.cqp.dll" "$CONSOLE_NAME" tovarachajian2.dll
} | LC_ALL=C sort)
check_eq "nothing else is written in the host folder" "$expected_names" "$(file_names "$host")"

# --- the console it started -----------------------------------------------------------------
wait_console 20
check "a window titled $CONSOLE_TITLE is shown" test -n "$CONSOLE_XID"
mapfile -t consoles < <(console_pids)
check_eq "one console program runs" 1 "${#consoles[@]}"
if [ "${#consoles[@]}" -ge 1 ]; then
  check "the console ends when its window is closed" end_console "${consoles[0]}"
fi
e2e_finish
