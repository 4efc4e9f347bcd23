#!/usr/bin/env bash
# Starts the desktop program from a build directory, or says what it would start while the
# window does not exist yet.
set -euo pipefail
dir=${1:-build/release}
if [ -x "$dir/bin/toravin" ]; then
  exec "$dir/bin/toravin"
fi
echo "run: the desktop window is not built yet; 'make run' would start $dir/bin/toravin."
echo "run: built so far: $(cd "$dir/bin" 2>/dev/null && ls | tr '\n' ' ')"
