#!/usr/bin/env bash
# The waiting window, as a user sees it before the click: title, size and place, the eight
# visible controls with their rectangles, texts and stacking order, its look; then each of the
# user's ways to close it (Esc, the title bar's close button, Alt+F4) ends the program with
# exit code 0 and writes nothing; Alt+Esc does not close it.
source "$(dirname "$0")/lib.sh"
e2e_begin

host=$E2E_TMP/host
make_host_dir "$host"
before=$(dir_listing "$host")
log=$E2E_TMP/esc.log

# --- the window as shown --------------------------------------------------------------------
run_installer_observed "$host" "$log"
wait_window_shown "$log" 30 || bail "the installer window is shown"
sleep 0.5  # let it paint before the picture
W=$WINDOW
wline=$(obs last "$log" "$W")
note "$wline"

check_eq "title bytes (GBK)" "$(gbk_hex "$INSTALLER_TITLE")" \
  "$(gbk_hex "$(obs field title "$wline")")"
# 1024x768 screen: left = (1024-281)/2 = 371, top = (768-252)/2 = 258.
check_eq "outer rectangle 281x252, centred" "371,258,652,510" "$(obs field rect "$wline")"
check_eq "visible" "1" "$(obs field visible "$wline")"
check_eq "the active window" "1" "$(obs field foreground "$wline")"
style=$(( $(obs field style "$wline") ))
exstyle=$(( $(obs field exstyle "$wline") ))
check "title bar with system menu (WS_CAPTION, WS_SYSMENU)" \
  test $((style & 0x00C80000)) -eq $((0x00C80000))
check "no minimise or maximise button" test $((style & 0x00030000)) -eq 0
check "fixed frame (no WS_THICKFRAME)" test $((style & 0x00040000)) -eq 0
check "not always on top" test $((exstyle & 0x00000008)) -eq 0
check "no message box before the window (no host process running)" \
  test -z "$(obs boxes "$log")"

# Visible children in stacking order (z=0 on top): creation order of the control table.
# Rectangles are l,t,r,b in the window's client area.
mapfile -t shown < <(obs controls "$log" "$W" | awk '$4 == "visible=1"')
expected_rects=(74,152,178,184 32,96,296,152 23,194,287,226 120,124,200,148 90,124,130,148
                24,124,104,148 48,29,272,144 8,16,64,80)
names=(InstallButton StartHintLabel PluginInfoLabel ElapsedUnit ElapsedValue ElapsedCaption
       StatusLabel SpinnerLabel)
check_eq "eight visible controls" 8 "${#shown[@]}"
hidden=$(obs controls "$log" "$W" | awk '$4 != "visible=1"' | wc -l)
[ "$hidden" -eq 0 ] || note "$hidden hidden child windows besides them"
for i in "${!names[@]}"; do
  row=${shown[$i]:-}
  check_eq "${names[$i]}: rectangle and stacking position $((i + 1))" "${expected_rects[$i]}" \
    "$(echo "$row" | awk '{print $3}')"
done
texts=()
for i in "${!names[@]}"; do
  row=${shown[$i]:-}
  # The text is the rest of the row after the fifth field, still escaped.
  texts+=("$(echo "$row" | cut -d' ' -f6-)")
done
check_eq "InstallButton caption" '"安装插件"' "${texts[0]}"
check_eq "InstallButton enabled" "enabled=1" "$(echo "${shown[0]:-}" | awk '{print $5}')"
check_eq "StartHintLabel caption" '"点击↓开始安装"' "${texts[1]}"
info=$(obs unescape "${texts[2]}")
info_line1=${info%%$'\r\n'*}
info_line2=${info#*$'\r\n'}
check_eq "PluginInfoLabel first line" '插件版本：Tovara娱乐插件1.3.1版本(普通版)' "$info_line1"
check "PluginInfoLabel: two lines joined by CR LF" test "$info" != "$info_line1"
check "PluginInfoLabel second line: forum and a web address ($info_line2)" \
  eval '[[ "$info_line2" =~ ^Tovara论坛：[A-Za-z0-9][-A-Za-z0-9.]*\.[A-Za-z]{2,}(/[^[:space:]]*)?$ ]]'
check "PluginInfoLabel caption in GBK" eval \
  'printf "%s" "$info" | iconv -f UTF-8 -t GBK >/dev/null'
for i in 3 4 5 6 7; do
  check_eq "${names[$i]} caption empty" '""' "${texts[$i]}"
done
# ElapsedUnit (120..200) and ElapsedValue (90..130) overlap; the unit lies on top.
z_of_rect() { obs controls "$log" "$W" | awk -v r="$1" '$3 == r { print $1 }'; }
unit_z=$(z_of_rect 120,124,200,148)
value_z=$(z_of_rect 90,124,130,148)
check "ElapsedUnit (z=$unit_z) above ElapsedValue (z=$value_z)" \
  test "${unit_z:-99}" -lt "${value_z:--1}"

# --- the look ---------------------------------------------------------------------------
screenshot waiting-window "$log" "$W"
shot=$E2E_SHOTS/waiting-window.png
client=$(obs field client "$wline")
IFS=, read -r cl ct cr _ <<<"$client"
cw=$((cr - cl))
ox=$((cl - 371)) oy=$((ct - 258))  # client origin inside the picture
# crop_colours X Y W H: the distinct colours inside a client-area rectangle of the picture.
crop_colours() {
  convert "$shot" -crop "$3x$4+$((ox + $1))+$((oy + $2))" +repage -format %c histogram:info:- |
    sed -E 's/.*#([0-9A-F]{6}).*/\1/' | sort -u
}
check "client background black (empty area right of the spinner)" \
  eval '[ "$(crop_colours 200 5 60 15)" == "000000" ]'
check "hint drawn in white on black" eval 'crop_colours 32 96 $((cw - 32)) 56 | grep -qx FFFFFF'
info_colours=$(crop_colours 23 194 $((cw - 23)) 32)
check "info text grey 0x808080 on black" eval 'grep -qx 808080 <<<"$info_colours"'
check "info text never brighter than its grey" eval \
  '! grep -vxE "([0-7][0-9A-F]|80){3}" <<<"$info_colours" | grep -q .'

# --- Alt+Esc (the system's window-switching key) leaves it open; Esc closes it ------------
press alt+Escape
sleep 1
check "Alt+Esc: the program goes on" eval '! grep -qE "^[0-9]+ (exit code=|gone hwnd=$W\$)" "$log"'
check_eq "Alt+Esc: the window is still shown" 1 "$(window_field "$log" "$W" visible)"
press Escape
wait_exit "$log" 20
check "Esc: the window is gone before the end" grep -qE "^[0-9]+ gone hwnd=$W\$" "$log"
check_eq "Esc: exit code 0" 0 "$EXIT_CODE"

# --- close with the title bar's close button --------------------------------------------
log=$E2E_TMP/close-button.log
run_installer_observed "$host" "$log"
wait_window_shown "$log" 30 || bail "the installer window is shown again"
sleep 0.3
click_close_button "$log" "$WINDOW"
wait_exit "$log" 20
check "close button: the window is gone" grep -qE "^[0-9]+ gone hwnd=$WINDOW\$" "$log"
check_eq "close button: exit code 0" 0 "$EXIT_CODE"

# --- close with the platform's shortcut -------------------------------------------------
log=$E2E_TMP/alt-f4.log
run_installer_observed "$host" "$log"
wait_window_shown "$log" 30 || bail "the installer window is shown a third time"
sleep 0.3
press alt+F4
wait_exit "$log" 20
check_eq "Alt+F4: exit code 0" 0 "$EXIT_CODE"

check_eq "nothing written to the host folder" "$before" "$(dir_listing "$host")"
e2e_finish
