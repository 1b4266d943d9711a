# Sourced by the scripts that ship the plug-in (deb, package, install, demo):
# which plug-in formats a build has, building them, and where each one lies.
# A format joins the build when its CMake target exists; until then the
# scripts pass it by with a note.

# The format targets, in the order the scripts list them.
ship_all_targets=(plugin_module lv2_module clap_module vst3_module)

ship_format_name() {
  case $1 in
    plugin_module) echo "VST 2.4" ;;
    lv2_module) echo LV2 ;;
    clap_module) echo CLAP ;;
    vst3_module) echo VST3 ;;
  esac
}

# ship_configure KIND DIR [CMAKE ARGS...]: KIND is linux, win32 or win64. The
# presets' own folders are configured through the preset; any other folder
# (a developer's, or the demo's) with the preset's build type and toolchain,
# and the given arguments when it is new. Run every time: a format that has
# just landed joins only when CMake runs again.
ship_configure() {
  local kind=$1 dir=$2
  shift 2
  if [ "$(realpath -m "$dir")" = "$(realpath -m "build/$kind")" ]; then
    cmake --preset "$kind" >/dev/null
  elif [ -f "$dir/CMakeCache.txt" ]; then
    cmake -S . -B "$dir" >/dev/null
  else
    local args=(-DCMAKE_BUILD_TYPE=Release "$@")
    case $kind in
      win32) args+=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake) ;;
      win64) args+=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake) ;;
    esac
    cmake -S . -B "$dir" "${args[@]}" >/dev/null
  fi
}

# ship_targets DIR [TARGET...]: of the given format targets (all of them by
# default), those DIR's build defines, one a line; a note on stderr for each
# that is not there yet.
ship_targets() {
  local dir=$1 help target
  shift
  local wanted=("$@")
  [ ${#wanted[@]} -gt 0 ] || wanted=("${ship_all_targets[@]}")
  help=$(cmake --build "$dir" --target help 2>/dev/null) || {
    echo "$dir: not a configured build directory" >&2
    return 1
  }
  for target in "${wanted[@]}"; do
    if grep -qE "^\.\.\. $target( |$)" <<<"$help"; then
      echo "$target"
    else
      echo "note: $dir has no $(ship_format_name "$target") module yet ($target): skipped" >&2
    fi
  done
}

# ship_build DIR TARGET...: builds them unless SKIP_BUILD=1 (a caller that has
# just built DIR, such as a test, uses it as it is).
ship_build() {
  local dir=$1
  shift
  [ "${SKIP_BUILD:-0}" = 1 ] && return
  cmake --build "$dir" -j "${JOBS:-$(nproc)}" --target "$@" >/dev/null
}

ship_cache_value() { sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"; }
ship_module_name() { ship_cache_value "$1" CMAKE_PROJECT_NAME; }
ship_version() { ship_cache_value "$1" CMAKE_PROJECT_VERSION; }

# ship_artifact DIR TARGET: the module file or bundle folder TARGET builds.
ship_artifact() {
  local dir=$1 name
  name=$(ship_module_name "$dir")
  case $2 in
    plugin_module)
      if [ -f "$dir/$name.dll" ]; then echo "$dir/$name.dll"; else echo "$dir/$name.so"; fi ;;
    lv2_module) echo "$dir/$name.lv2" ;;
    clap_module) echo "$dir/$name.clap" ;;
    vst3_module) echo "$dir/$name.vst3" ;;
  esac
}

# ship_binaries PATH: the executable code in a module file or bundle: the file
# itself, or each ELF or PE file inside the bundle.
ship_binaries() {
  local file magic
  if [ -f "$1" ]; then
    echo "$1"
    return
  fi
  while IFS= read -r -d '' file; do
    magic=$(head -c 4 "$file" | od -An -tx1 | tr -d ' \n')
    case $magic in 7f454c46 | 4d5a*) echo "$file" ;; esac
  done < <(find "$1" -type f -print0 | sort -z)
}

# ship_strip PATH STRIP: strips every binary in a module file or bundle with
# the given strip program (the target's own: the mingw ones for Windows).
ship_strip() {
  local binary
  while IFS= read -r binary; do
    "$2" --strip-unneeded --remove-section=.comment --remove-section=.note "$binary"
  done < <(ship_binaries "$1")
}

# ship_copy_stripped SOURCE DEST STRIP: copies a module file or bundle folder
# to DEST (replacing what is there) and strips every binary in the copy.
ship_copy_stripped() {
  rm -rf "$2"
  cp -R "$1" "$2"
  ship_strip "$2" "$3"
}
