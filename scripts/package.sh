#!/usr/bin/env bash
# One zip per Windows architecture in out/packages/, holding every format the
# build has (the VST 2.4 DLL, the CLAP module, the VST3 bundle with only that
# architecture's binary), stripped, in folders laid out as Windows hosts look
# for them, with the user's install notes and the licence.
#   WIN32_DIR, WIN64_DIR  the Windows builds (build/win32, build/win64)
#   OUT_DIR               where the zips go (out/packages)
#   SKIP_BUILD=1          package the builds as they are
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/formats.sh
out=${OUT_DIR:-out/packages}
mkdir -p "$out"
out=$(realpath "$out")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for kind in win32 win64; do
  case $kind in
    win32) build=${WIN32_DIR:-build/win32} strip=i686-w64-mingw32-strip bundle_arch=x86-win ;;
    win64) build=${WIN64_DIR:-build/win64} strip=x86_64-w64-mingw32-strip bundle_arch=x86_64-win ;;
  esac
  if [ "${SKIP_BUILD:-0}" != 1 ]; then ship_configure "$kind" "$build"; fi
  mapfile -t targets < <(ship_targets "$build" plugin_module clap_module vst3_module)
  ship_build "$build" "${targets[@]}"

  name=$(ship_module_name "$build")
  version=$(ship_version "$build")
  stem=$name-$version-$kind
  top=$work/$stem
  mkdir -p "$top"
  for target in "${targets[@]}"; do
    source_path=$(ship_artifact "$build" "$target")
    [ -e "$source_path" ] || { echo "package: $target is built but $source_path is missing" >&2; exit 1; }
    case $target in
      plugin_module) folder=VstPlugins ;;
      clap_module) folder="Common Files/CLAP" ;;
      vst3_module) folder="Common Files/VST3" ;;
    esac
    mkdir -p "$top/$folder"
    packed=$top/$folder/$(basename "$source_path")
    cp -R "$source_path" "$packed"
    if [ "$target" = vst3_module ]; then
      # Only this architecture's binary folder goes into this zip.
      [ -d "$packed/Contents/$bundle_arch" ] || { echo "package: $source_path has no Contents/$bundle_arch" >&2; exit 1; }
      find "$packed/Contents" -mindepth 1 -maxdepth 1 -type d \( -name '*-win' -o -name '*-linux' -o -name MacOS \) \
        ! -name "$bundle_arch" -exec rm -rf {} +
    fi
    ship_strip "$packed" "$strip"
  done

  title="$name $version for Windows"
  { echo "$title"; echo "${title//?/=}"; tail -n +3 packaging/INSTALL-windows.txt; } >"$top/INSTALL.txt"
  cp LICENSE "$top/LICENSE.txt"
  rm -f "$out/$stem.zip"
  # Text files get Windows line ends (-l); no Unix owners or modes (-X).
  (cd "$work" && zip -q -X -l "$out/$stem.zip" "$stem/INSTALL.txt" "$stem/LICENSE.txt" &&
    find "$stem" -type f ! -name '*.txt' -print | sort | zip -q -X "$out/$stem.zip" -@)
  echo "${OUT_DIR:-out/packages}/$stem.zip"
done
