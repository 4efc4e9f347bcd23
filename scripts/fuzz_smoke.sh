#!/usr/bin/env bash
# Replays every fuzz target's corpus, then fuzzes each target for a few seconds. A crash, leak or
# time-out fails the run and leaves the fuzzer's log on standard output.
set -euo pipefail
dir=${1:-build/fuzz}
seconds=${FUZZ_SECONDS:-10}
# The HTTP client reserves a body's announced length (up to 4 GiB of address space, touched only
# as bytes arrive), so single allocations may exceed the resident-memory limit; the limit on
# memory actually in use stays at 2 GiB.
artifacts=$(mktemp -d)  # crash inputs land here, never in the work tree
limits="-rss_limit_mb=2048 -malloc_limit_mb=5120 -timeout=10 -artifact_prefix=$artifacts/"
root=$(cd "$(dirname "$0")/.." && pwd)
passed=0
failed=0
for bin in "$dir"/bin/fuzz_*; do
  [ -x "$bin" ] || continue
  name=${bin##*/fuzz_}
  corpus="$root/fuzz/$name/corpus"
  work=$(mktemp -d)
  log=$(mktemp)
  ok=1
  if [ -d "$corpus" ]; then
    # Replay: each stored input once.
    if ! "$bin" -runs=0 $limits "$corpus" >"$log" 2>&1; then ok=0; fi
  fi
  if [ $ok -eq 1 ]; then
    # Smoke: fresh inputs mutated from the corpus, written to a scratch folder only.
    if ! "$bin" -max_total_time="$seconds" $limits -print_final_stats=1 "$work" \
        ${corpus:+$( [ -d "$corpus" ] && echo "$corpus")} >"$log" 2>&1; then ok=0; fi
  fi
  if [ $ok -eq 1 ]; then
    echo "fuzz $name: ok ($(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}') runs)"
    passed=$((passed + 1))
  else
    echo "fuzz $name: FAILED"
    tail -n 60 "$log"
    failed=$((failed + 1))
  fi
  rm -rf "$work" "$log"
done
[ $failed -eq 0 ] && rm -rf "$artifacts"
[ $failed -eq 0 ] || echo "fuzz: failing inputs are in $artifacts"
echo "fuzz: $passed passed, $failed failed"
[ $failed -eq 0 ]
