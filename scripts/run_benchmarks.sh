#!/usr/bin/env bash
# Runs every benchmark program of a build, one after another (they compare against peers in the
# same run, so they must not share the machine with each other).
set -euo pipefail
dir=${1:-build/release}
root=$(cd "$(dirname "$0")/.." && pwd)
for b in "$dir"/bin/*_bench; do
  [ -x "$b" ] || continue
  echo "== ${b##*/}"
  "$b"
done
for s in "$root"/bench/*.sh; do
  [ -x "$s" ] || continue
  echo "== ${s##*/}"
  "$s" "$dir"
done
