#!/usr/bin/env bash
# Starts the desktop program under a private Xvfb display with a given settings file, waits for
# its window, and writes a PNG of the screen. With CLICK="X Y" set, clicks there (window
# coordinates) first, e.g. CLICK="470 200" presses Download to show the window during a run.
#   scripts/screenshot.sh BUILD_DIR OUT.png [INI] [SECONDS_TO_WAIT_AFTER_MAPPING]
set -euo pipefail
build=$1 out=$2 ini=${3:-} settle=${4:-1}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'kill $app $xvfb 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
"$here/portable_copy.sh" "$build" "$work/app" "$ini"
# A free display number.
n=90
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 800x560x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$n"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
unset WAYLAND_DISPLAY
QT_QPA_PLATFORM=xcb "$work/app/toravin" &
app=$!
for _ in $(seq 100); do xdotool search --name 'ｔｏｒａｖｉｎ' >/dev/null 2>&1 && break; sleep 0.1; done
if [ -n "${CLICK:-}" ]; then
  win=$(xdotool search --name 'ｔｏｒａｖｉｎ' | head -n 1)
  # shellcheck disable=SC2086
  xdotool mousemove --window "$win" $CLICK click 1
fi
sleep "$settle"
xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng > "$out"
echo "screenshot: $out"
