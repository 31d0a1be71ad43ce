#!/usr/bin/env bash
# smoke-install.sh PLUGIN CONSOLE CARD CORE: one installation of a finished TovaraSetup.exe
# under Wine, as scripts/release.sh proves a release: a fresh host folder (the installer beside
# a stand-in CoolQ.exe, the host's empty \plugin and \config folders), one click on the install
# button, and the end. It passes when the program ends with exit code 0, the four programs it
# wrote are byte for byte the files given, and the three data files are those of the build
# (the configuration and brain-teaser texts as carried, the fortune text with every [enter]
# as CR LF). A picture of the window while it writes the programs is left as
# E2E_SHOTS/smoke-installing.png.
#
# Uses the end-to-end harness (tests/e2e/lib.sh) with TOVARA_EXE (the installer),
# TOVARA_HELPERS (observer.exe and the stand-in host of the same build), TOVARA_CARRIED (that
# build's payload folder) and E2E_SHOTS. Prints TAP lines; exits non-zero when a check failed.
[ $# -eq 4 ] || { echo "usage: smoke-install.sh PLUGIN CONSOLE CARD CORE" >&2; exit 2; }
inputs=("$@")
source "$(dirname "$0")/../tests/e2e/lib.sh"
e2e_begin

host=$E2E_TMP/host
make_host_dir "$host"
mkdir -p "$host/plugin" "$host/config"
log=$E2E_TMP/install.log
run_installer_observed "$host" "$log" --timeout 180000
wait_window_shown "$log" 60 || bail "the installer window is shown"
W=$WINDOW
sleep 0.3
click_install "$log" "$W"
wait_log "$log" '正在初始化插件安装' 15 || bail "the installation starts on the click"
wait_log "$log" '写出文件到plugin中' 90 || bail "the installation reaches the program files"
sleep 0.5
screenshot smoke-installing "$log" "$W"
wait_exit "$log" 120
check_eq "exit code 0" 0 "$EXIT_CODE"

# The four programs, in the order of the harness's list of destinations.
i=0
while IFS=$'\t' read -r _ installed _; do
  check "$(basename "$installed"): byte for byte $(basename "${inputs[$i]}")" \
    same_bytes "${inputs[$i]}" "$installed"
  i=$((i + 1))
done < <(expected_payloads "$host")
check_eq "four programs looked at" 4 "$i"

cfg=$host/$CONFIG_FOLDER_REL
fortune_file "$E2E_TMP/fortune.ini"
check "插件配置.ini: the built default configuration" \
  same_bytes "$TOVARA_CARRIED/default_config.ini" "$cfg/插件配置.ini"
check "抽签数据.ini: the built fortune text with every [enter] as CR LF" \
  same_bytes "$E2E_TMP/fortune.ini" "$cfg/抽签数据.ini"
check "急转弯.ini: the built brain-teaser data" \
  same_bytes "$TOVARA_CARRIED/teasers.ini" "$cfg/急转弯.ini"
e2e_finish
