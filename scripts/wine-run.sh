#!/usr/bin/env bash
# CTest's emulator for the Win32 test programs: runs one under Wine in the private prefix and
# a private X display, and passes its exit code on.
set -u
source "$(dirname "$0")/wine-env.sh"
if ! tovara_wine_runs; then
  echo "skipped: $TOVARA_WINE_WHY"
  exit "$TOVARA_SKIP_CODE"
fi
tovara_wine_prefix
tovara_start_xvfb || exit 1
trap 'tovara_stop_xvfb' EXIT
wine "$@"
rc=$?
wineserver -w
exit $rc
