#!/usr/bin/env bash
# The plug-in at work outside a DAW: inspect it, render a two-tone signal
# through it at several settings, measure each tone in the results, and draw
# its crossfade law. Everything is written to out/demo/. Built in build/demo
# (BUILD_DIR), without the tests, so that it needs only the packages of
# scripts/deps.sh demo.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/formats.sh

build=${BUILD_DIR:-build/demo}
if [ "${SKIP_BUILD:-0}" != 1 ]; then ship_configure linux "$build" -DQUILL_TESTS=OFF; fi
mapfile -t targets < <(ship_targets "$build")
ship_build "$build" "${targets[@]}" vstrun
vstrun=$build/vstrun
module=$(ship_artifact "$build" plugin_module)
out=out/demo
mkdir -p "$out"

echo "== the plug-in in each format built"
for target in "${targets[@]}"; do
  artifact=$(ship_artifact "$build" "$target")
  printf '%-8s %s (%s)\n' "$(ship_format_name "$target")" "$artifact" "$(du -sh "$artifact" | cut -f1)"
done

echo
echo "== what a VST 2.4 host sees"
"$vstrun" info "$module"

echo
echo "== test signal: 440 Hz on input 1, 1000 Hz on input 2, both at -6 dB full scale"
"$vstrun" tone "$out/tones.wav" --freq 440,1000 --seconds 2 --level -6
"$vstrun" measure "$out/tones.wav" --freq 440,1000

crossfader="crossfader mono 1 / mono 2"
render() { # name, then --set arguments
  local name=$1; shift
  echo
  echo "== $name"
  "$vstrun" render "$module" "$out/tones.wav" "$out/$name.wav" "$@"
  "$vstrun" measure "$out/$name.wav" --freq 440,1000
}
render crossfader-0   --set "$crossfader=0"
render crossfader-0.5 --set "$crossfader=0.5"
render crossfader-1   --set "$crossfader=1"
render channel-2-off  --set "$crossfader=0.5" --set "channel 2 on/off=1"
render levels         --set "$crossfader=0.5" --set "level mono 1=0.75" --set "output mix level=0.25"

echo
echo "== crossfade law, measured through the plug-in"
"$vstrun" sweep "$module" --param "$crossfader" --steps 21 --svg "$out/crossfade-law.svg"

echo
echo "written to $out/: tones.wav, crossfader-0.wav, crossfader-0.5.wav, crossfader-1.wav,"
echo "  channel-2-off.wav, levels.wav and the picture crossfade-law.svg"
