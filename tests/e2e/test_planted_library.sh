#!/usr/bin/env bash
# Libraries left in the host folder under the names of system libraries
# (tests/helpers/dll/planted_dll.cpp: any process that loads one adds a line naming the library
# and itself to PLANTED_DLL_WAS_LOADED.txt beside it) never run inside the installer: not at
# start-up, not during a whole installation, not on the click on PluginInfoLabel (the shell
# call). Controls show that the marker really appears when such a file is loaded.
#
# Run C plants the names that are not among Windows' known libraries (winmm.dll, uxtheme.dll,
# dwmapi.dll, version.dll) from the start, with Wine told to prefer such a file to its own
# ("native, then built-in"), as a new user's Wine might: a program importing one of them would
# run the host folder's copy at start-up, before the program's entry can restrict the library
# search.
#
# Wine's loader differs from Windows' here, and the scenario pins how:
#  - By default Wine takes its own built-in gdi32 for any load of that name, even by the full
#    path of the host folder's file, so run A (the file planted, default settings) alone could
#    not see the fault it guards against (a library name resolved in the host folder).
#  - Run B makes Wine honour the file itself, as Windows would for a load by its full path: an
#    override for that one path, given to TovaraSetup.exe only (AppDefaults). The file is put
#    there once the window is shown: Windows resolves the program's own import of gdi32 from
#    its system folder (a known library), Wine would take the planted file for it too.
#  - A bare-name load of "gdi32.dll" from a program in the host folder gets Wine's built-in
#    library (as Windows gets its system one, gdi32 being a known library).
#
# Overrides (see lib.sh): TOVARA_EXE, TOVARA_HELPERS, TOVARA_CARRIED.
source "$(dirname "$0")/lib.sh"
e2e_begin
PLANTED=$TOVARA_HELPERS/planted/gdi32.dll
MARKER=PLANTED_DLL_WAS_LOADED.txt
[ -f "$PLANTED" ] && [ -f "$TOVARA_HELPERS/naive_loader.exe" ] || bail "planted gdi32.dll and naive_loader.exe built"

# make_data_host DIR: a host folder whose three data files are there already (a shorter run).
make_data_host() {
  make_host_dir "$1"
  mkdir -p "$1/plugin" "$1/$CONFIG_FOLDER_REL"
  printf '[x]\r\n' >"$1/$CONFIG_FOLDER_REL/插件配置.ini"
  printf '[x]\r\n' >"$1/$CONFIG_FOLDER_REL/抽签数据.ini"
  printf '[x]\r\n' >"$1/$CONFIG_FOLDER_REL/急转弯.ini"
}

# native_for_setup DIR: Wine takes DIR\gdi32.dll as itself (not its built-in library) when
# TovaraSetup.exe loads it.
native_for_setup() {
  wine reg add 'HKCU\Software\Wine\AppDefaults\TovaraSetup.exe\DllOverrides' \
    /v "$(winpath "$1")\\gdi32" /t REG_SZ /d native /f >/dev/null 2>&1
}

# click_info_label LOG HWND WHAT: the user's click on PluginInfoLabel. The shell is asked to
# open a bare host name; whatever that starts (a browser, a box) is ended again.
click_info_label() {
  local log=$1 w=$2 what=$3 x y setup_pid child box
  read -r x y <<<"$(control_center "$log" "$w" 23,194,287,226)"
  click_screen "$x" "$y"
  sleep 3
  setup_pid=$(grep -m1 -E '^[0-9]+ start pid=' "$log" | sed -E 's/.* pid=([0-9]+).*/\1/')
  for child in $(process_list | awk -v p="$setup_pid" '$2 == p { print $1 }'); do
    note "$what: the shell started process $child; ended"
    wine taskkill /f /pid "$child" >/dev/null 2>&1
  done
  for box in $(obs boxes "$log" | cut -d' ' -f1); do
    note "$what: box after the click: $(obs boxes "$log" | grep "^$box ")"
    press Return
  done
  check "$what: the window is still up after the click on PluginInfoLabel" \
    test "$(window_field "$log" "$w" visible)" == 1
}

# native_first_for_setup NAME...: Wine prefers a native NAME.dll (the program's own folder is
# searched first) to its built-in one, when TovaraSetup.exe loads it.
native_first_for_setup() {
  local n
  for n in "$@"; do
    wine reg add 'HKCU\Software\Wine\AppDefaults\TovaraSetup.exe\DllOverrides' \
      /v "$n" /t REG_SZ /d native,builtin /f >/dev/null 2>&1
  done
}

# loaded_in_setup DIR NAME: the marker in DIR says NAME.dll ran inside TovaraSetup.exe.
loaded_in_setup() {
  [ -f "$1/$MARKER" ] && grep -qiE "^$2\.dll .*[\\/]TovaraSetup\.exe" "$1/$MARKER"
}

# check_not_loaded_c WHEN: no planted library ran inside run C's TovaraSetup.exe (so far).
# A name that Wine's own libraries pull in at start-up (WINE_PULLS, measured below) cannot be
# told apart there; for it the program's own import table must not name it.
check_not_loaded_c() {
  local n
  for n in $NOT_KNOWN; do
    if [[ " $WINE_PULLS " == *" $n "* ]]; then
      check "run C, $1: TovaraSetup.exe does not import $n.dll (Wine's own libraries load it)" \
        eval "! $TOVARA_OBJDUMP -p '$TOVARA_EXE' | grep -qiE 'DLL Name: $n\.dll'"
    else
      check "run C, $1: the planted $n.dll never ran inside TovaraSetup.exe" \
        eval "! loaded_in_setup '$hostC' $n"
    fi
  done
}

NOT_KNOWN="winmm uxtheme dwmapi version"
for n in $NOT_KNOWN; do
  [ -f "$TOVARA_HELPERS/planted/$n.dll" ] || bail "planted $n.dll built"
done

# --- control 5: what Wine itself loads from the program's folder ------------------------------
# A program that imports none of these names (the stand-in host: kernel32, msvcrt, user32),
# named TovaraSetup.exe so that run C's load order applies, started in a folder holding all
# four. Whatever it runs comes from Wine's own libraries (Wine's user32 imports version.dll;
# Windows' does not), before any code of the program: a Wine difference that run C must not
# count against the installer.
native_first_for_setup $NOT_KNOWN
c5=$E2E_TMP/control5
mkdir -p "$c5"
for n in $NOT_KNOWN; do
  cp "$TOVARA_HELPERS/planted/$n.dll" "$c5/$n.dll"
done
cp "$TOVARA_HELPERS/fake_host_gui.exe" "$c5/TovaraSetup.exe"
wine "$c5/TovaraSetup.exe" "$(winpath "$c5/pid")" >/dev/null 2>&1 &
E2E_PIDS+=($!)
for _ in $(seq 1 100); do
  [ -s "$c5/pid" ] && break
  sleep 0.1
done
[ -s "$c5/pid" ] || bail "control 5: the stand-in started"
wine taskkill /f /pid "$(tr -d '\r\n' <"$c5/pid")" >/dev/null 2>&1
WINE_PULLS=
for n in $NOT_KNOWN; do
  if loaded_in_setup "$c5" "$n"; then WINE_PULLS="$WINE_PULLS $n"; fi
done
note "Wine's own libraries load from the program's folder (native first):${WINE_PULLS:- none}"

# --- run A: planted before the start, Wine's default load order ------------------------------
hostA=$E2E_TMP/hostA
make_data_host "$hostA"
cp "$PLANTED" "$hostA/gdi32.dll"
logA=$E2E_TMP/a.log
run_installer_observed "$hostA" "$logA" --timeout 120000
wait_window_shown "$logA" 30 || bail "run A: the installer window is shown"
WA=$WINDOW
sleep 0.5
click_info_label "$logA" "$WA" "run A"
click_install "$logA" "$WA"
wait_log "$logA" 'text="正在初始化插件安装' 10 || bail "run A: the installation starts"

# --- run C: names that are not known libraries, planted from the start, native first --------
hostC=$E2E_TMP/hostC
make_data_host "$hostC"
for n in $NOT_KNOWN; do
  cp "$TOVARA_HELPERS/planted/$n.dll" "$hostC/$n.dll"
done
logC=$E2E_TMP/c.log
run_installer_observed "$hostC" "$logC" --timeout 120000
wait_window_shown "$logC" 30 || bail "run C: the installer window is shown"
WC=$WINDOW
sleep 0.5
check_not_loaded_c "before the click"
click_info_label "$logC" "$WC" "run C"
check_not_loaded_c "after the click on PluginInfoLabel"
click_install "$logC" "$WC"
wait_log "$logC" 'text="正在初始化插件安装' 10 || bail "run C: the installation starts"

# --- run B: the host folder's file honoured as itself -----------------------------------------
hostB=$E2E_TMP/hostB
make_data_host "$hostB"
native_for_setup "$hostB"
logB=$E2E_TMP/b.log
run_installer_observed "$hostB" "$logB" --timeout 120000
wait_window_shown "$logB" 30 || bail "run B: the installer window is shown"
WB=$WINDOW
wait_log "$logB" "^[0-9]+ window hwnd=$WB .* foreground=1" 10 || bail "run B: its window is active"
cp "$PLANTED" "$hostB/gdi32.dll"
sleep 0.5
click_info_label "$logB" "$WB" "run B"
click_install "$logB" "$WB"
wait_log "$logB" 'text="正在初始化插件安装' 10 || bail "run B: the installation starts"

wait_exit "$logA" 100
check_eq "run A: the installation ends with exit code 0" 0 "$EXIT_CODE"
check "run A: it ran to its last step" grep -qF '谢谢您使用Tovara插件，5秒后自动退出！' "$logA"
wait_exit "$logB" 60
check_eq "run B: the installation ends with exit code 0" 0 "$EXIT_CODE"
check "run B: it ran to its last step" grep -qF '谢谢您使用Tovara插件，5秒后自动退出！' "$logB"
wait_exit "$logC" 60
check_eq "run C: the installation ends with exit code 0" 0 "$EXIT_CODE"
check "run C: it ran to its last step" grep -qF '谢谢您使用Tovara插件，5秒后自动退出！' "$logC"
check_not_loaded_c "through the whole installation"
[ -f "$hostC/$MARKER" ] && note "run C marker: $(tr -d '\r' <"$hostC/$MARKER" | tr '\n' ';')"
for pid in $(console_pids); do
  end_console "$pid" || note "console $pid ended by force"
done
check "run A: the planted gdi32.dll was never loaded (no marker)" test ! -e "$hostA/$MARKER"
check "run B: the planted gdi32.dll was never loaded (no marker)" test ! -e "$hostB/$MARKER"

# --- controls: the marker appears when the file is loaded -------------------------------------
c1=$E2E_TMP/control1
make_host_dir "$c1"
cp "$PLANTED" "$c1/gdi32.dll"
out=$(wine "$TOVARA_HELPERS/naive_loader.exe" "$(winpath "$c1")\\gdi32.dll" 2>/dev/null | tr -d '\r')
check_eq "Wine, default order: a load by the full path of the host folder's gdi32.dll succeeds" \
  loaded "$out"
check "Wine, default order: ... but gives Wine's built-in library (no marker), unlike Windows" \
  test ! -e "$c1/$MARKER"

c2=$E2E_TMP/control2
make_host_dir "$c2"
cp "$PLANTED" "$c2/gdi32.dll"
native_for_setup "$c2"
cp "$TOVARA_HELPERS/naive_loader.exe" "$E2E_TMP/TovaraSetup.exe"  # the override's program name
out=$(wine "$E2E_TMP/TovaraSetup.exe" "$(winpath "$c2")\\gdi32.dll" 2>/dev/null | tr -d '\r')
check_eq "control (run B's override): a load by full path succeeds" loaded "$out"
check "control (run B's override): the planted code ran and left its marker" \
  test -f "$c2/$MARKER"

c3=$E2E_TMP/control3
make_host_dir "$c3"
cp "$PLANTED" "$c3/gdi32.dll"
cp "$TOVARA_HELPERS/naive_loader.exe" "$c3/naive_loader.exe"
out=$(cd "$c3" && wine "$c3/naive_loader.exe" gdi32.dll 2>/dev/null | tr -d '\r')
check_eq "Wine: a bare-name load of gdi32.dll from a program in the host folder succeeds" \
  loaded "$out"
check "Wine: ... and takes the built-in library, not the folder's copy (no marker)" \
  test ! -e "$c3/$MARKER"
# The override of run C is seen: a program named TovaraSetup.exe in the host folder that
# loads "winmm.dll" by its bare name (as a start-up import is looked up) runs the folder's copy.
c4=$E2E_TMP/control4
make_host_dir "$c4"
cp "$TOVARA_HELPERS/planted/winmm.dll" "$c4/winmm.dll"
cp "$TOVARA_HELPERS/naive_loader.exe" "$c4/TovaraSetup.exe"
out=$(cd "$c4" && wine "$c4/TovaraSetup.exe" winmm.dll 2>/dev/null | tr -d '\r')
check_eq "control (run C's override): a bare-name load of winmm.dll succeeds" loaded "$out"
check "control (run C's override): the folder's winmm.dll ran in that process (marker)" \
  loaded_in_setup "$c4" winmm
e2e_finish
