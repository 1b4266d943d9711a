#!/usr/bin/env bash
# Builds every target and runs its tests (Windows ones under Wine), then
# prints one summary over all of them. Exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."
presets=(${PRESETS:-linux linux-asan linux-tsan fuzz win64 win32})
jobs=${JOBS:-$(nproc)}
passed=0 failed=0 broken=()

for preset in "${presets[@]}"; do
  echo "== $preset: build"
  extra=()
  # A longer make fuzz leaves its duration in the cache; tests run 30 s each.
  [ "$preset" = fuzz ] && extra=(-DFUZZ_SECONDS=${FUZZ_SECONDS:-30})
  if ! { cmake --preset "$preset" "${extra[@]}" >/dev/null && cmake --build --preset "$preset" -j "$jobs" >/dev/null; }; then
    cmake --build --preset "$preset" -j 1 2>&1 | tail -30
    broken+=("$preset (build)")
    failed=$((failed + 1))
    continue
  fi
  echo "== $preset: test"
  only=()
  if [ "$preset" = win32 ] && ! bash scripts/runs-32bit.sh; then
    # 32-bit Wine is itself a 32-bit Linux program, and this kernel runs none.
    echo "note: this kernel cannot run 32-bit programs; win32 runs its export and import checks only"
    only=(-R 'exports')
  fi
  log=$(mktemp)
  ctest --preset "$preset" "${only[@]}" 2>&1 | tee "$log"
  status=${PIPESTATUS[0]}
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  rm -f "$log"
  if [ -n "$line" ]; then
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  fi
  if [ "$status" -ne 0 ] || [ -z "$line" ]; then
    broken+=("$preset")
    [ -z "$line" ] && failed=$((failed + 1))
  fi
done

[ ${#broken[@]} -gt 0 ] && echo "failing: ${broken[*]}"
echo "all targets: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ ${#broken[@]} -eq 0 ]
