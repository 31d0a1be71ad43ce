#!/usr/bin/env bash
# Builds what it needs and prints the installer's figures, each beside its reference,
# measured in this run. Figures, not verdicts: nothing here fails a build.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
cmake --preset win32 >/dev/null && cmake --build --preset win32 >/dev/null || { echo "win32 build failed"; exit 1; }
source scripts/wine-env.sh
tovara_wine_prefix
tovara_start_xvfb || exit 1
trap 'tovara_stop_xvfb' EXIT

echo "Measured $(date -u +%Y-%m-%d) on $(nproc) cores, $(uname -m), $(wine --version)"
echo
out=$(wine build/win32/bench/delay_bench.exe 10000 2>/dev/null | tr -d '\r')
printf '%-44s %s\n' "figure" "value"
printf '%-44s %s\n' "processor share during Delay (10 s)" "$(echo "$out" | awk '/^cpu_share_delay/{print $2" %"}')"
printf '%-44s %s\n' "  reference: busy-polling pause (2 s)" "$(echo "$out" | awk '/^cpu_share_busy_poll/{print $2" %"}')"
printf '%-44s %s\n' "Delay(10) measured" "$(echo "$out" | sed -n 's/^delay_10_ms //p')"
printf '%-44s %s\n' "Delay(1000) measured" "$(echo "$out" | sed -n 's/^delay_1000_ms //p')"
exe=$(stat -c %s build/win32/TovaraSetup.exe)
carried=0
for f in build/win32/payload/default_config.ini build/win32/payload/fortune.txt build/win32/payload/teasers.ini \
         build/win32/payload/spinner.ttf build/win32/payload/programs/tovara_*.{dll,exe}; do
  [ -f "$f" ] && carried=$((carried + $(stat -c %s "$f")))
done
printf '%-44s %s\n' "TovaraSetup.exe size" "$exe bytes"
printf '%-44s %s\n' "  carried inputs" "$carried bytes"
printf '%-44s %s\n' "  program's own overhead" "$(( (exe - carried) / 1024 )) KB"
if TOVARA_ROOT=$top bash tests/build/test_reproducible_exe.sh >/tmp/tovara-bench-repro.log 2>&1; then
  printf '%-44s %s\n' "reproducible build (second clean build)" "identical"
else
  printf '%-44s %s\n' "reproducible build (second clean build)" "DIFFERS (see /tmp/tovara-bench-repro.log)"
fi
