#!/usr/bin/env bash
# install: stripped copies of every Linux plug-in format the build has, into
# the per-user folders hosts scan (~/.vst, ~/.lv2, ~/.clap, ~/.vst3), or with
# PREFIX into PREFIX/lib/vst, lib/lv2, lib/clap, lib/vst3 and vstrun into
# PREFIX/bin. uninstall: removes from the same folders our module files and
# bundle folders, by name, and nothing else; it needs no build.
#   BUILD_DIR  the build to install from (build/demo, the demo's)
#   SKIP_BUILD=1  install the build as it is, without configuring or building
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/formats.sh

action=${1:-}
case $action in install | uninstall) ;; *) echo "usage: $0 install|uninstall" >&2; exit 2 ;; esac
build=${BUILD_DIR:-build/demo}
prefix=${PREFIX:-}

declare -A dest
if [ -n "$prefix" ]; then
  dest=([plugin_module]=$prefix/lib/vst [lv2_module]=$prefix/lib/lv2 [clap_module]=$prefix/lib/clap
        [vst3_module]=$prefix/lib/vst3)
  bin=$prefix/bin
else
  [ -n "${HOME:-}" ] || { echo "install: HOME is not set" >&2; exit 1; }
  dest=([plugin_module]=$HOME/.vst [lv2_module]=$HOME/.lv2 [clap_module]=$HOME/.clap [vst3_module]=$HOME/.vst3)
  bin=
fi

if [ "$action" = uninstall ]; then
  # The module name as the project declares it, so that no build is needed.
  name=$(sed -n 's/^project(\([A-Za-z0-9_]\{1,\}\) .*/\1/p' CMakeLists.txt)
  [ -n "$name" ] || { echo "uninstall: no project name in CMakeLists.txt" >&2; exit 1; }
  paths=("${dest[plugin_module]}/$name.so" "${dest[lv2_module]}/$name.lv2" "${dest[clap_module]}/$name.clap"
         "${dest[vst3_module]}/$name.vst3")
  [ -n "$bin" ] && paths+=("$bin/vstrun")
  for path in "${paths[@]}"; do
    if [ -e "$path" ] || [ -L "$path" ]; then
      rm -rf -- "$path"
      echo "removed $path"
    fi
  done
  exit 0
fi

if [ "${SKIP_BUILD:-0}" != 1 ]; then ship_configure linux "$build" -DQUILL_TESTS=OFF; fi
mapfile -t targets < <(ship_targets "$build")
extra=()
[ -n "$bin" ] && extra=(vstrun)
ship_build "$build" "${targets[@]}" "${extra[@]}"

# Files 0644, folders and vstrun 0755, whatever the umask made of the build.
normalise() {
  if [ -d "$1" ]; then
    find "$1" -type d -exec chmod 0755 {} +
    find "$1" -type f -exec chmod 0644 {} +
  else
    chmod "${2:-0644}" "$1"
  fi
}

for target in "${targets[@]}"; do
  source_path=$(ship_artifact "$build" "$target")
  [ -e "$source_path" ] || { echo "install: $target is built but $source_path is missing" >&2; exit 1; }
  mkdir -p "${dest[$target]}"
  installed=${dest[$target]}/$(basename "$source_path")
  ship_copy_stripped "$source_path" "$installed" strip
  normalise "$installed"
  echo "installed $installed"
done
if [ -n "$bin" ]; then
  mkdir -p "$bin"
  ship_copy_stripped "$build/vstrun" "$bin/vstrun" strip
  normalise "$bin/vstrun" 0755
  echo "installed $bin/vstrun"
fi
