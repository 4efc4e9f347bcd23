#!/usr/bin/env bash
# Starts the desktop program from a build directory; without a display, says so and runs the
# demo crawl instead.
set -euo pipefail
dir=${1:-build/release}
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display (DISPLAY and WAYLAND_DISPLAY are unset): running the demo crawl without a window instead."
  exec "$here/demo.py" "$dir"
fi
exec "$dir/bin/toravin"
