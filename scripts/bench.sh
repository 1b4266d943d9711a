#!/usr/bin/env bash
# Builds and runs every benchmark executable the linux build has: the VST 2.4
# module's first, then each further format's. Each then runs its paired target
# comparisons alone in RUNS more processes (default 7), and the targets are
# judged by the median of those runs: a process's code and buffer placement
# moves a figure by a percent or two, which is the size of the margins judged.
# Exits non-zero when a target's median misses it or any outputs differ.
set -uo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-7}
cmake --preset linux >/dev/null || exit 1
help=$(cmake --build --preset linux --target help)
benches=()
for name in plugin_bench lv2_bench clap_bench vst3_bench; do
  grep -qE "^\.\.\. $name( |$)" <<<"$help" && benches+=("$name")
done
cmake --build --preset linux -j "${JOBS:-$(nproc)}" --target "${benches[@]}" >/dev/null || exit 1
mkdir -p out/bench
out=out/bench/latest.md
: >"$out"
for name in "${benches[@]}"; do
  echo "# $name" | tee -a "$out"
  build/linux/bench/$name | tee -a "$out"
done
status=0
grep -q "identical.*: NO" "$out" && status=1

# Target lines look like "| what | 1.234 x | ≤ 1.1 x | met |".
targets=$(for name in "${benches[@]}"; do
  for ((i = 0; i < runs; ++i)); do
    QUILL_BENCH_PAIRED_ONLY=1 build/linux/bench/$name | grep -E '^\| .* \| (met|NOT MET) \|$'
  done
done)
summary=$(awk -F'|' -v runs="$runs" '
  function trim(s) { gsub(/^ +| +$/, "", s); return s }
  {
    what = trim($2); figure = trim($3); limit = trim($4)
    unit = figure; sub(/^[-0-9.]+ */, "", unit)
    sub(/^≤ */, "", limit)
    if (!(what in count)) { order[++n] = what; limits[what] = limit + 0; units[what] = unit }
    values[what, ++count[what]] = figure + 0
  }
  END {
    printf "\n## Targets: median of %d runs of the paired comparisons\n\n", runs
    print "| comparison | median | lowest | highest | target | |"
    print "|---|---:|---:|---:|---:|---|"
    bad = 0
    for (k = 1; k <= n; ++k) {
      w = order[k]; m = count[w]
      for (i = 1; i <= m; ++i) v[i] = values[w, i]
      for (i = 2; i <= m; ++i) for (j = i; j > 1 && v[j - 1] > v[j]; --j) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
      median = m % 2 ? v[(m + 1) / 2] : (v[m / 2] + v[m / 2 + 1]) / 2
      met = median <= limits[w]
      if (!met) bad = 1
      printf "| %s | %.3f %s | %.3f | %.3f | ≤ %g %s | %s |\n", w, median, units[w], v[1], v[m], limits[w], units[w], met ? "met" : "NOT MET"
    }
    exit bad
  }' <<<"$targets")
[ $? -eq 0 ] || status=1
echo "$summary" | tee -a "$out"
exit $status
