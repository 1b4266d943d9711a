#!/usr/bin/env bash
# Runs one fuzz target for a bounded time with a fixed seed, starting from the
# committed corpus, which it reads but never changes. A crashing input is kept
# in the artifacts folder: add it to the corpus once the fault is fixed.
set -uo pipefail
fuzzer=$1 corpus=$2 artifacts=$3 seconds=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$artifacts"
log=$artifacts/last-run.log
"$fuzzer" -seed=1 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$artifacts/" "$work" "$corpus" >"$log" 2>&1
status=$?
grep -v -E '^#[0-9]+.*(NEW|REDUCE|pulse|RELOAD)' "$log" | tail -40
exit $status
