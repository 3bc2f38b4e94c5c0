#!/usr/bin/env bash
# The main window end to end: QwzDowngrader.exe under Wine on a private
# Xvfb display, driven by WindowDriver.exe through its scenarios, with a
# screenshot of the window at start.
#   window-e2e.sh <QwzDowngrader.exe> <WindowDriver.exe> <screenshot.png> [scenario...]
# Without scenarios: the start state (with the screenshot, and again at
# 144 dpi), batch, close and close-in-dialog.
# Uses its own Wine prefix (QWZ_WINDOW_WINEPREFIX) so that its Wine
# processes belong to its display, and stops its Xvfb and that prefix's
# wineserver at the end.
set -euo pipefail
exe=$(realpath "$1")
driver=$(realpath "$2")
shot=$3
shift 3
scenarios=("$@")
root=$(cd "$(dirname "$0")/../../.." && pwd)
export QWZ_WINEPREFIX="${QWZ_WINDOW_WINEPREFIX:-$HOME/.cache/qwz-wineprefix-window}"
export WINEPREFIX="$QWZ_WINEPREFIX"
export WINEDEBUG=-all

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A free display number: no lock file and no socket, and Xvfb stays up.
for n in $(seq 57 99); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
  if kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
    export DISPLAY=":$n"
    break
  fi
  xvfb_pid=""
done
[ -n "${DISPLAY:-}" ] || { echo "no free X display for Xvfb"; exit 1; }
echo "Xvfb on $DISPLAY"

# The prefix, and Wine's own Tahoma in it: Wine does not look in its font
# folder by itself here, and the window's layout is made for Tahoma.
"$root/scripts/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true
fonts="$WINEPREFIX/drive_c/windows/Fonts"
for f in /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf; do
  [ -f "$f" ] && [ ! -f "$fonts/$(basename "$f")" ] && cp "$f" "$fonts/"
done
winexe=$(winepath -w "$exe" 2>/dev/null)

# The screen's DPI as the window sees it (96 unless a test sets it).
set_dpi() {
  "$root/scripts/wine-run.sh" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
    /d "$1" /f >/dev/null 2>&1
}
set_dpi 96

status=0
run() {  # run <scenario> [args...]
  mkdir -p "$work/$1"
  (cd "$work/$1" && "$root/scripts/wine-run.sh" "$driver" "$winexe" "$@") || status=1
}

if [ ${#scenarios[@]} -gt 0 ]; then
  for scenario in "${scenarios[@]}"; do run "$scenario"; done
  exit $status
fi

# Start state, with the screenshot taken while the driver waits.
mkdir -p "$work/start-state"
(cd "$work/start-state" && "$root/scripts/wine-run.sh" "$driver" "$winexe" start-state ready go) &
driver_pid=$!
for _ in $(seq 1200); do
  [ -s "$work/start-state/ready" ] && break
  kill -0 "$driver_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -s "$work/start-state/ready" ]; then
  read -r x y w h <"$work/start-state/ready"
  sleep 1  # let the window finish painting
  mkdir -p "$(dirname "$shot")"
  import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$shot"
  echo "screenshot: $shot (${w}x${h})"
fi
touch "$work/start-state/go"
wait "$driver_pid" || status=1

# The same at 144 dpi: the window and its controls scale by 1.5.
set_dpi 144
echo "at 144 dpi:"
run start-state
set_dpi 96

run batch
run close
run close-in-dialog
exit $status
