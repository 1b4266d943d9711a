#!/usr/bin/env bash
# The plug-in at work outside a DAW: inspect it, render a two-tone signal
# through it at several settings, measure each tone in the results, and draw
# its crossfade law; then load it in each further format built and check that
# it sounds the same. Everything is written to out/demo/. Built in build/demo
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

# Every further format: what its host sees first, and the crossfader at 0.5
# again, which must give the very samples the VST 2.4 module gave. They are
# compared as headerless renders: a float WAV's header carries a time stamp.
raw=$(mktemp -d)
trap 'rm -rf "$raw"' EXIT
"$vstrun" render "$module" "$out/tones.wav" "$raw/vst2.raw" --set "$crossfader=0.5" --quiet
differs=0
others=()
for target in "${targets[@]}"; do
  [ "$target" = plugin_module ] && continue
  format=$(ship_format_name "$target")
  artifact=$(ship_artifact "$build" "$target")
  file=crossfader-0.5-$(tr 'A-Z ' 'a-z-' <<<"$format").wav
  others+=("$file")
  echo
  echo "== the same plug-in as $format"
  # The facts up to the outputs, then the parameters.
  "$vstrun" info "$artifact" | awk '/^parameters /{shown=1} {if (!done || shown) print} /^outputs /{done=1}'
  "$vstrun" render "$artifact" "$out/tones.wav" "$out/$file" --set "$crossfader=0.5"
  "$vstrun" render "$artifact" "$out/tones.wav" "$raw/$target.raw" --set "$crossfader=0.5" --quiet
  if cmp -s "$raw/vst2.raw" "$raw/$target.raw"; then
    echo "the $format render is bit-identical to the VST 2.4 module's (crossfader-0.5.wav)"
  else
    echo "the $format render DIFFERS from the VST 2.4 module's (crossfader-0.5.wav)" >&2
    differs=1
  fi
done

echo
echo "written to $out/: tones.wav, crossfader-0.wav, crossfader-0.5.wav, crossfader-1.wav,"
echo "  channel-2-off.wav, levels.wav, the picture crossfade-law.svg${others:+ and ${others[*]}}"
exit $differs
