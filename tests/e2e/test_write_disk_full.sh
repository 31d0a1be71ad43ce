#!/usr/bin/env bash
# A whole-file write that stops half way, as on a full disk, keeps the old content and leaves
# no temporary file. The Win32 unit test FileOps.WriteWholeFileCutShortKeepsTheOldContent is
# run under Wine with a file-size limit (ulimit -f, SIGXFSZ ignored so the write just fails)
# that is smaller than what it writes. Wine's server is started before the limit is set, so
# only the test program's own writes are limited.
#
# Overrides: TOVARA_WIN32_BUILD (the Windows build folder; default that of the target
# scripts/wine-env.sh chooses), WINEPREFIX (the booted prefix to copy).
set -uo pipefail

TOVARA_ROOT=${TOVARA_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
# shellcheck source=../../scripts/wine-env.sh
source "$TOVARA_ROOT/scripts/wine-env.sh" 2>/dev/null
BUILD=${TOVARA_WIN32_BUILD:-$TOVARA_BUILD_DIR}
TEST_EXE=$BUILD/tests/win32_unit_tests.exe
CASE=FileOps.WriteWholeFileCutShortKeepsTheOldContent
LIMIT_KB=2048

n=0
failed=0
check() {
  local description=$1
  shift
  n=$((n + 1))
  if "$@"; then
    echo "ok $n - $description"
  else
    echo "not ok $n - $description"
    failed=$((failed + 1))
  fi
}
finish() {
  echo "1..$n"
  [ "$failed" -eq 0 ] && { echo "# test_write_disk_full ($TOVARA_TARGET): all $n checks passed"; exit 0; }
  echo "# test_write_disk_full ($TOVARA_TARGET): $failed of $n checks failed"
  exit 1
}

if [ ! -f "$TEST_EXE" ]; then
  check "win32 unit tests built ($TEST_EXE)" false
  finish
fi

# The booted prefix (a preset WINEPREFIX, or the shared one) is only copied from.
if ! tovara_wine_runs; then
  echo "1..0 # SKIP ($TOVARA_TARGET) $TOVARA_WINE_WHY"
  exit "$TOVARA_SKIP_CODE"
fi
tovara_wine_prefix
base=$WINEPREFIX

work=$(mktemp -d "${TMPDIR:-/tmp}/tovara-disk-full.XXXXXX")
cleanup() {
  set +e
  [ "${WINEPREFIX:-}" == "$work/prefix" ] && wineserver -k >/dev/null 2>&1
  tovara_stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

cp -a "$base" "$work/prefix"
rm -f "$work/prefix/wineserver"
export WINEPREFIX=$work/prefix
mkdir -p "$work/temp"
tovara_start_xvfb || { check "Xvfb started" false; finish; }

wineserver -p10
log=$work/run.log
(
  ulimit -f "$LIMIT_KB"
  trap '' XFSZ
  TOVARA_FILE_LIMIT_KB=$LIMIT_KB TOVARA_TEST_TEMP=$work/temp \
    wine "$TEST_EXE" --gtest_filter="$CASE"
) >"$log" 2>&1
rc=$?
wineserver -w

check "the limited run ends with success (exit $rc)" [ "$rc" -eq 0 ]
check "the case ran and passed under the limit" grep -q "^\[       OK \] $CASE" "$log"
check "no temporary file anywhere under the test folder" \
  bash -c "[ -z \"\$(LC_ALL=C find '$work/temp' -regextype posix-extended \
    -regex '.*/~[0-9a-f]{2,6}[1-9]\\.tmp')\" ]"
if [ "$failed" -ne 0 ]; then
  sed 's/^/# /' "$log"
fi
finish
