#!/usr/bin/env bash
# make install and make uninstall, into a temporary PREFIX and a temporary
# HOME whose plug-in folders already hold another vendor's plug-ins: install
# adds every format the build has, stripped and loadable; uninstall leaves
# exactly the foreign plug-ins behind.
# usage: install_test.sh SOURCE BUILD MODULE_CHECK
set -euo pipefail
source_dir=$1 build=$2 module_check=$3

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
name=$(sed -n 's/^CMAKE_PROJECT_NAME:[A-Z]*=//p' "$build/CMakeCache.txt")
targets=$(cmake --build "$build" --target help)
has() { grep -qE "^\.\.\. $1( |$)" <<<"$targets"; }

# make as a user types it, apart from the build it takes; not as part of the
# make that may be running these tests.
run_make() {
  env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL SKIP_BUILD=1 "$@" make --no-print-directory -C "$source_dir" \
    BUILD_DIR="$build" "${make_args[@]}" >"$work/make.log" 2>&1 || {
    cat "$work/make.log" >&2
    fail "make ${make_args[*]} failed"
  }
}

# Foreign plug-ins of each kind, and a foreign tool, where ours will go.
decoys() { # vst lv2 clap vst3 [bin]
  mkdir -p "$1" "$2/Other.lv2" "$3" "$4/Other.vst3/Contents/x86_64-linux"
  echo other >"$1/Other.so"
  echo other >"$2/Other.lv2/manifest.ttl"
  echo other >"$3/Other.clap"
  echo other >"$4/Other.vst3/Contents/x86_64-linux/Other.so"
  if [ -n "${5:-}" ]; then
    mkdir -p "$5"
    echo other >"$5/othertool"
  fi
}

# check_installed VST LV2 CLAP VST3 [BIN]: each format the build has is there,
# stripped, and loads.
check_installed() {
  local modules=("$1/$name.so VSTPluginMain")
  has lv2_module && modules+=("$2/$name.lv2/$name.so lv2_descriptor")
  has clap_module && modules+=("$3/$name.clap clap_entry")
  has vst3_module && modules+=("$4/$name.vst3/Contents/x86_64-linux/$name.so GetPluginFactory")
  local entry file symbol
  for entry in "${modules[@]}"; do
    read -r file symbol <<<"$entry"
    if [ ! -f "$file" ]; then
      fail "not installed: $file"
      continue
    fi
    readelf -SW "$file" | grep -qE '\.(symtab|debug_info) ' && fail "not stripped: $file"
    "$module_check" "$file" "$symbol" || fail "does not load: $file"
  done
  if has lv2_module; then
    for file in manifest.ttl "$name.ttl"; do
      cmp -s "$2/$name.lv2/$file" "$build/$name.lv2/$file" || fail "$2/$name.lv2/$file differs from the build's"
    done
  fi
  if [ -n "${5:-}" ]; then
    "$5/vstrun" --help >/dev/null || fail "installed vstrun does not run"
  fi
}

tree() { (cd "$1" && find . | sort); }

echo "== make install PREFIX=..."
prefix=$work/prefix
decoys "$prefix/lib/vst" "$prefix/lib/lv2" "$prefix/lib/clap" "$prefix/lib/vst3" "$prefix/bin"
before=$(tree "$prefix")
make_args=(install PREFIX="$prefix")
run_make
check_installed "$prefix/lib/vst" "$prefix/lib/lv2" "$prefix/lib/clap" "$prefix/lib/vst3" "$prefix/bin"
# Installing again replaces what is there.
run_make
echo "== make uninstall PREFIX=..."
make_args=(uninstall PREFIX="$prefix")
run_make
[ "$(tree "$prefix")" = "$before" ] || fail "after uninstall PREFIX=...: $(diff <(echo "$before") <(tree "$prefix"))"

echo "== HOME=... make install"
home=$work/home
decoys "$home/.vst" "$home/.lv2" "$home/.clap" "$home/.vst3"
before=$(tree "$home")
make_args=(install)
run_make HOME="$home"
check_installed "$home/.vst" "$home/.lv2" "$home/.clap" "$home/.vst3"
[ -z "$(find "$home" -name vstrun)" ] || fail "vstrun installed into HOME without PREFIX"
echo "== HOME=... make uninstall"
make_args=(uninstall)
run_make HOME="$home"
[ "$(tree "$home")" = "$before" ] || fail "after uninstall: $(diff <(echo "$before") <(tree "$home"))"
# Nothing to remove is no error.
run_make HOME="$home"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "install and uninstall: all checks passed"
