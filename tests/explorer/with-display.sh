#!/usr/bin/env bash
# Runs a Windows program under Wine on a private Xvfb display, in the given
# Wine prefix, and stops that prefix's Wine processes afterwards (they would
# otherwise keep talking to a display that is gone).
#   with-display.sh PREFIX PROGRAM.exe [ARGS...]
set -uo pipefail
prefix=$1; shift
here=$(cd "$(dirname "$0")" && pwd)
export QWZ_WINEPREFIX=$prefix WINEPREFIX=$prefix QWZ_REQUIRE_DISPLAY=1
WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
  "$here/../../scripts/wine-run.sh" "$@"
status=$?
WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
exit $status
