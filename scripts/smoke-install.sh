#!/usr/bin/env bash
# smoke-install.sh PLUGIN CONSOLE CARD CORE: one installation of a finished TovaraSetup.exe
# under Wine, as scripts/release.sh proves a release: a fresh host folder (the installer beside
# a stand-in CoolQ.exe, the host's empty \plugin and \config folders), one click on the install
# button, and the end. It passes when the program ends with exit code 0, the four programs it
# wrote are byte for byte the files given, and the three data files are byte for byte what
# the source texts in payload/data specify, made here from them apart from the build (a
# build that carries wrong data cannot vouch for itself): the configuration as GBK, the two
# brain-teaser texts one after the other as GBK, the fortune records joined (the LF ending
# each source line is not part of the text) with every [enter] as CR LF, as GBK. A picture of
# the window while it writes the programs is left as E2E_SHOTS/smoke-installing.png.
#
# Uses the end-to-end harness (tests/e2e/lib.sh) with TOVARA_EXE (the installer),
# TOVARA_HELPERS (observer.exe and the stand-in host of the same build), TOVARA_CARRIED (that
# build's payload folder) and E2E_SHOTS. Prints TAP lines; exits non-zero when a check failed.
# The program is the shipped one, for the i386 machine, whatever this machine runs by itself.
[ $# -eq 4 ] || { echo "usage: smoke-install.sh PLUGIN CONSOLE CARD CORE" >&2; exit 2; }
inputs=("$@")
export TOVARA_TARGET=i386
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
expected=$E2E_TMP/expected
mkdir -p "$expected"
python3 - "$TOVARA_ROOT/payload/data" "$expected" <<'PY' || bail "the expected data files made from payload/data"
import os, sys
src, out = sys.argv[1:]
def text(name):
    return open(os.path.join(src, name), 'rb').read().decode('utf-8')
for name, t in [('config.ini', text('default_config.txt')),
                ('teasers.ini', text('teasers_1.txt') + text('teasers_2.txt')),
                ('fortune.ini', text('fortune.txt').replace('\n', '').replace('[enter]', '\r\n'))]:
    open(os.path.join(out, name), 'wb').write(t.encode('gbk'))
PY
check "插件配置.ini: byte for byte the default configuration of payload/data" \
  same_bytes "$expected/config.ini" "$cfg/插件配置.ini"
check "抽签数据.ini: byte for byte the fortune text of payload/data, every [enter] as CR LF" \
  same_bytes "$expected/fortune.ini" "$cfg/抽签数据.ini"
check "急转弯.ini: byte for byte the brain-teaser texts of payload/data" \
  same_bytes "$expected/teasers.ini" "$cfg/急转弯.ini"
e2e_finish
