#!/usr/bin/env bash
# Makes a portable copy of the desktop program in DIR: the program and both plug-ins side by side,
# so that it keeps its ToraVin.ini in DIR. Optionally seeds that file from INI.
#   scripts/portable_copy.sh BUILD_DIR DIR [INI]
set -euo pipefail
build=$1 dir=$2 ini=${3:-}
mkdir -p "$dir"
cp "$build/bin/toravin" "$build/bin/liblhapack.so" "$build/bin/libgzdec.so" "$dir/"
if [ -n "$ini" ]; then cp "$ini" "$dir/ToraVin.ini"; fi
