#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's own prefix, quietly.
# Used as the cross build's test emulator and by the Windows tests. The
# prefix is made on first use. The wineserver and Wine's own services are
# started apart from the program, with their output sent nowhere: started by
# the program they would inherit its output and hold a test runner's pipe
# open long after the program ended.
set -euo pipefail
export WINEPREFIX="${QWZ_WINEPREFIX:-${WINEPREFIX:-$HOME/.cache/qwz-wineprefix}}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
mkdir -p "$WINEPREFIX"
wineserver -p 600 </dev/null >/dev/null 2>&1 || true
wineboot </dev/null >/dev/null 2>&1 || true
exec wine "$@"
