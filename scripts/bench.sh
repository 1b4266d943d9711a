#!/usr/bin/env bash
# Builds and runs every benchmark executable the linux build has: the VST 2.4
# module's first, then each further format's. Exits non-zero when any
# benchmark misses a target or finds its outputs differ.
set -uo pipefail
cd "$(dirname "$0")/.."
cmake --preset linux >/dev/null || exit 1
help=$(cmake --build --preset linux --target help)
benches=()
for name in plugin_bench lv2_bench clap_bench vst3_bench; do
  grep -qE "^\.\.\. $name( |$)" <<<"$help" && benches+=("$name")
done
cmake --build --preset linux -j "${JOBS:-$(nproc)}" --target "${benches[@]}" >/dev/null || exit 1
mkdir -p out/bench
status=0
: >out/bench/latest.md
for name in "${benches[@]}"; do
  echo "# $name" | tee -a out/bench/latest.md
  build/linux/bench/$name | tee -a out/bench/latest.md
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
done
exit $status
