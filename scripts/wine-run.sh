#!/usr/bin/env bash
# CTest's emulator for the Win32 test programs: runs one under Wine in the private prefix and
# a private X display, and passes its exit code on.
#
#   wine-run.sh --target i386|x64 PROGRAM ARGS...
#
# TOVARA_WINE_LOCALE, when set, replaces the zh_CN.UTF-8 locale (code page 936) for this run.
#
# The toolchain file names the target its programs are built for; where Wine cannot run that
# target here, the program is reported skipped.
set -u
if [ "${1:-}" == --target ]; then
  export TOVARA_TARGET=$2
  shift 2
fi
source "$(dirname "$0")/wine-env.sh"
if [ -n "${TOVARA_WINE_LOCALE:-}" ]; then
  export LANG=$TOVARA_WINE_LOCALE LC_ALL=$TOVARA_WINE_LOCALE
fi
if ! tovara_wine_runs; then
  echo "skipped ($TOVARA_TARGET): $TOVARA_WINE_WHY"
  exit "$TOVARA_SKIP_CODE"
fi
tovara_wine_prefix
tovara_start_xvfb || exit 1
trap 'tovara_stop_xvfb' EXIT
wine "$@"
rc=$?
wineserver -w
exit $rc
