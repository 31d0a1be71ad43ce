#!/usr/bin/env bash
# A click on PluginInfoLabel opens the forum's web page. A stand-in browser
# (tests/helpers/record_browser_gui.cpp) is registered in the scenario's prefix as the program
# that opens http and https addresses, as a real browser registers itself; it records the
# address it is given. Clicked before installing, the label must reach it with the address
# its second line shows, as a web address (http, www.tovara-plugin.net); the window stays and
# no box appears.
#
# Overrides (see lib.sh): TOVARA_EXE, TOVARA_HELPERS.
source "$(dirname "$0")/lib.sh"
e2e_begin
[ -f "$TOVARA_HELPERS/record_browser_gui.exe" ] || bail "record_browser_gui.exe built"

browser=$E2E_TMP/browser/browser.exe
record=$E2E_TMP/browser/record.txt
mkdir -p "$(dirname "$browser")"
cp "$TOVARA_HELPERS/record_browser_gui.exe" "$browser"
for scheme in http https; do
  wine reg add "HKCR\\$scheme\\shell\\open\\command" /ve /t REG_SZ \
    /d "\"$(winpath "$browser")\" \"$(winpath "$record")\" \"%1\"" /f >/dev/null 2>&1 ||
    bail "the stand-in browser registered for $scheme"
done

host=$E2E_TMP/host
make_host_dir "$host"
before=$(dir_listing "$host")
log=$E2E_TMP/web.log
run_installer_observed "$host" "$log"
wait_window_shown "$log" 30 || bail "the installer window is shown"
W=$WINDOW
sleep 0.5

# The address as the label shows it: its second line, after "Tovara论坛：".
info_row=$(obs controls "$log" "$W" | awk '$3 == "23,194,287,226"' | head -1)
info=$(obs unescape "$(echo "$info_row" | cut -d' ' -f6-)")
shown=${info#*$'\r\n'}
shown=${shown#Tovara论坛：}
check_eq "the label's second line shows the forum's address" "www.tovara-plugin.net" "$shown"

read -r x y <<<"$(control_center "$log" "$W" 23,194,287,226)"
click_screen "$x" "$y"
for _ in $(seq 1 150); do
  [ -f "$record" ] && break
  sleep 0.1
done
check "the click started the registered browser" test -f "$record"
[ -f "$record" ] && note "$(tr -d '\r' <"$record" | head -1)"
url=$( (sed -n 's/^url=//p' "$record" 2>/dev/null || true) | tr -d '\r')
# A browser given the page's address may see it with the root's slash; either is the page.
check_eq "the browser was given the web page http://$shown" "http://$shown" "${url%/}"

sleep 1
check_eq "the window is still shown" 1 "$(window_field "$log" "$W" visible)"
check "the program goes on" eval '! grep -qE "^[0-9]+ exit code=" "$log"'
check_eq "no message box" "" "$(obs boxes "$log")"
check_eq "nothing written into the host folder" "$before" "$(dir_listing "$host")"

press Escape
wait_exit "$log" 20
check_eq "closed with Esc afterwards: exit code 0" 0 "$EXIT_CODE"
e2e_finish
