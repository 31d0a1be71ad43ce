#!/usr/bin/env bash
# Everything the project checks, from a fresh machine: set-up, both builds, then the unit
# tests (native over the simulated platform, Win32 under Wine) and the end-to-end scenarios
# (the real TovaraSetup.exe under Wine and Xvfb). Ends with a summary line.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

bash scripts/setup.sh || { echo "set-up failed"; exit 1; }

step() { echo; echo "== $*"; }
fail=0

step "win32 build"
cmake --preset win32 >/dev/null && cmake --build --preset win32 || { echo "win32 build failed"; exit 1; }
step "native build"
cmake --preset native >/dev/null && cmake --build --preset native || { echo "native build failed"; exit 1; }

# One Wine prefix for the run, booted before the tests so they can copy it. Where Wine cannot
# run, the tests that need it report themselves skipped (never passed), and the summary says so.
source scripts/wine-env.sh
if tovara_wine_runs; then
  tovara_wine_prefix
else
  step "Wine cannot run on this machine: $TOVARA_WINE_WHY."
  echo "The Win32 unit tests and the end-to-end scenarios are skipped; the builds, the native"
  echo "unit tests, the data checks and the build checks still run."
fi

step "win32 unit tests (under Wine)"
(cd build/win32 && ctest --output-on-failure -L unit) | tee build/win32-ctest.log || fail=1
step "native unit and end-to-end tests"
(cd build/native && ctest --output-on-failure) | tee build/native-ctest.log || fail=1

summary() { grep -E "tests passed|tests failed" "$1" | tail -1; }
echo
echo "== Summary"
echo "win32:  $(summary build/win32-ctest.log)"
echo "native: $(summary build/native-ctest.log)"
passed=0; failed=0; skipped=0
for log in build/win32-ctest.log build/native-ctest.log; do
  line=$(grep -E "[0-9]+ tests failed out of [0-9]+" "$log" | tail -1)
  if [ -n "$line" ]; then
    f=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
    t=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/')
    # CTest counts a skipped test among the passed ones; it lists it as "(Skipped)".
    k=$(grep -c -E '^[[:space:]]*[0-9]+ - .*\(Skipped\)$' "$log" || true)
    passed=$((passed + t - f - k)); failed=$((failed + f)); skipped=$((skipped + k))
  else
    fail=1
  fi
done
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ] && [ "$fail" -eq 0 ]
