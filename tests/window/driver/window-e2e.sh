#!/usr/bin/env bash
# The main window end to end: QwzDowngrader.exe under Wine on a private
# Xvfb display, driven by WindowDriver.exe through its scenarios, with a
# screenshot of the window at start.
#   window-e2e.sh <QwzDowngrader.exe> <WindowDriver.exe> <screenshot.png> [scenario...]
# Without scenarios: the start state (and again at 144 dpi), batch, close,
# close-in-dialog, keyboard and drop. Screenshots of the states worth seeing
# go beside <screenshot.png>, which is the window at start.
# QWZ_WINDOW_NO_TAHOMA=1: in a prefix without Tahoma (screenshots named
# ...-no-tahoma), where the captions must fit whatever font stands in.
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
if [ -n "${QWZ_WINDOW_NO_TAHOMA:-}" ]; then
  export QWZ_WINEPREFIX="${QWZ_WINDOW_WINEPREFIX:-$HOME/.cache/qwz-wineprefix-window}-no-tahoma"
else
  export QWZ_WINEPREFIX="${QWZ_WINDOW_WINEPREFIX:-$HOME/.cache/qwz-wineprefix-window}"
fi
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
  if [ -n "${QWZ_WINDOW_NO_TAHOMA:-}" ]; then
    rm -f "$fonts/$(basename "$f")"
  elif [ -f "$f" ] && [ ! -f "$fonts/$(basename "$f")" ]; then
    cp "$f" "$fonts/"
  fi
done
winexe=$(winepath -w "$exe" 2>/dev/null)

# The screen's DPI as the window sees it (96 unless a test sets it).
set_dpi() {
  "$root/scripts/wine-run.sh" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
    /d "$1" /f >/dev/null 2>&1
}
set_dpi 96

# Screenshots asked for by the driver (NAME.shot with the rectangle), taken
# once two pictures in a row are the same, so the window has finished
# painting; NAME.taken answers. Named NAME plus the run's suffix.
shots=$(dirname "$shot")
mkdir -p "$shots"
export QWZ_SHOTS=1
take_shots() {  # take_shots <folder> <suffix>
  for request in "$1"/*.shot; do
    [ -e "$request" ] || continue
    name=$(basename "$request" .shot)
    read -r x y w h <"$request"
    out="$shots/$name$2.png"
    import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$work/last.png"
    for _ in $(seq 20); do
      import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$out"
      cmp -s "$out" "$work/last.png" && break
      mv "$out" "$work/last.png"
    done
    [ -e "$out" ] || mv "$work/last.png" "$out"
    echo "screenshot: $out (${w}x${h})"
    mv "$request" "$1/$name.taken"
  done
}

status=0
suffix=""
[ -n "${QWZ_WINDOW_NO_TAHOMA:-}" ] && suffix="-no-tahoma"
run() {  # run <scenario>
  mkdir -p "$work/$1"
  (cd "$work/$1" && "$root/scripts/wine-run.sh" "$driver" "$winexe" "$1") &
  local pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    take_shots "$work/$1" "$suffix"
    sleep 0.1
  done
  wait "$pid" || status=1
  rm -rf "${work:?}/$1"
}

if [ ${#scenarios[@]} -gt 0 ]; then
  for scenario in "${scenarios[@]}"; do run "$scenario"; done
  exit $status
fi

run start-state
# The same at 144 dpi: the window and its controls scale by 1.5.
set_dpi 144
echo "at 144 dpi:"
suffix="$suffix-144dpi"
run start-state
suffix=${suffix%-144dpi}
set_dpi 96

run batch
run close
run close-in-dialog
run keyboard
run drop
exit $status
