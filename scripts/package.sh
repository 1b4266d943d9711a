#!/usr/bin/env bash
# Builds the two Windows modules and packs each, with the README and licence,
# into a zip file in out/packages/.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}
mkdir -p out/packages
for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" --target plugin_module >/dev/null
  (cd "build/$preset" && cpack -G ZIP -B "$PWD/../../out/packages" >/dev/null)
done
rm -rf out/packages/_CPack_Packages
ls -1 out/packages/*.zip
