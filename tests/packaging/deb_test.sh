#!/usr/bin/env bash
# The Debian package, end to end: built from BUILD (or taken from DEB), clean
# under lintian, installed into a scratch root with its own dpkg database,
# every file there and every module loading, then removed without a trace.
# usage: deb_test.sh SOURCE BUILD MODULE_CHECK [DEB]
set -euo pipefail
source_dir=$1 build=$2 module_check=$3 deb=${4:-}

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ -z "$deb" ]; then
  deb=$(SKIP_BUILD=1 BUILD_DIR=$build OUT_DIR=$work/out bash "$source_dir/scripts/deb.sh")
fi
package=$(dpkg-deb -f "$deb" Package)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
name=$(sed -n 's/^CMAKE_PROJECT_NAME:[A-Z]*=//p' "$build/CMakeCache.txt")
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version $(dpkg-deb -f "$deb" Version), project $version"
[ "$(basename "$deb")" = "${package}_${version}_amd64.deb" ] || fail "package file named $(basename "$deb")"
# Depends comes from dpkg-shlibdeps: vstrun alone needs libsndfile.
grep -q 'libsndfile1 (>= ' <<<"$(dpkg-deb -f "$deb" Depends)" || fail "Depends lacks libsndfile1: $(dpkg-deb -f "$deb" Depends)"

echo "== lintian"
command -v lintian >/dev/null || { echo "FAIL: lintian is not installed (scripts/deps.sh test)" >&2; exit 1; }
lintian --fail-on none "$deb" >"$work/lintian.log" 2>&1 || fail "lintian did not run"
grep -v 'root privileges' "$work/lintian.log" || true
if grep -q '^E:' "$work/lintian.log"; then fail "lintian reports errors"; fi

echo "== ownership and modes"
# Directories and vstrun 0755, every other file 0644, all owned by root.
dpkg-deb -c "$deb" | awk '$2 != "root/root" { print "owner", $0 }
  $1 ~ /^d/ && $1 != "drwxr-xr-x" { print "mode", $0 }
  $1 ~ /^-/ && $1 != ($6 == "./usr/bin/vstrun" ? "-rwxr-xr-x" : "-rw-r--r--") { print "mode", $0 }' >"$work/modes"
if [ -s "$work/modes" ]; then fail "wrong owner or mode: $(cat "$work/modes")"; fi

echo "== install into a scratch root"
root=$work/root admin=$work/admin
mkdir -p "$root" "$admin/info" "$admin/updates" "$admin/triggers"
touch "$admin/status" "$admin/available"
dpkg_scratch() {
  dpkg --root="$root" --admindir="$admin" --log="$work/dpkg.log" --force-not-root --force-script-chrootless \
    --force-depends "$@" >"$work/dpkg.out" 2>&1 || {
    cat "$work/dpkg.out" >&2
    echo "FAIL: dpkg $*" >&2
    exit 1
  }
}
dpkg_scratch -i "$deb"

# What the build has decides what must be installed: each format whose target
# exists, at the place Debian's plug-in packages use.
targets=$(cmake --build "$build" --target help)
has() { grep -qE "^\.\.\. $1( |$)" <<<"$targets"; }
expected=(usr/bin/vstrun usr/share/man/man1/vstrun.1.gz "usr/share/doc/$package/copyright"
          "usr/share/doc/$package/changelog.gz" "usr/lib/vst/$name.so")
modules=("usr/lib/vst/$name.so VSTPluginMain")
if has lv2_module; then
  expected+=("usr/lib/lv2/$name.lv2/manifest.ttl" "usr/lib/lv2/$name.lv2/$name.ttl" "usr/lib/lv2/$name.lv2/$name.so")
  modules+=("usr/lib/lv2/$name.lv2/$name.so lv2_descriptor")
fi
if has clap_module; then
  expected+=("usr/lib/clap/$name.clap")
  modules+=("usr/lib/clap/$name.clap clap_entry")
fi
if has vst3_module; then
  expected+=("usr/lib/vst3/$name.vst3/Contents/x86_64-linux/$name.so")
  modules+=("usr/lib/vst3/$name.vst3/Contents/x86_64-linux/$name.so GetPluginFactory")
fi
for file in "${expected[@]}"; do
  [ -f "$root/$file" ] || fail "not installed: /$file"
done
# Nothing else than those, apart from what the bundles bring.
(cd "$root" && find . -type f | sed 's|^\./||' | sort) >"$work/installed"
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
unexpected=$(comm -23 "$work/installed" "$work/expected" | grep -vE '^usr/lib/(lv2|vst3)/[^/]+\.(lv2|vst3)/' || true)
[ -z "$unexpected" ] || fail "installed but not expected: $unexpected"

echo "== stripped"
while read -r file; do
  if [ "$(head -c 4 "$root/$file" | od -An -tx1 | tr -d ' \n')" = 7f454c46 ]; then
    sections=$(readelf -SW "$root/$file" | grep -oE '\.(symtab|debug_[a-z]+|comment|note)( |$)' || true)
    [ -z "$sections" ] || fail "/$file not stripped: ${sections//$'\n'/ }"
  fi
done <"$work/installed"

echo "== version"
zcat "$root/usr/share/man/man1/vstrun.1.gz" | grep -q "^\.TH VSTRUN 1 .*\"vstrun $version\"" || fail "man page without version $version"
zcat "$root/usr/share/doc/$package/changelog.gz" | head -1 | grep -qF "$package ($version)" || fail "changelog does not start at $version"
if reported=$("$root/usr/bin/vstrun" --version 2>/dev/null); then
  [ "$reported" = "vstrun $version" ] || fail "vstrun --version says \"$reported\""
else
  echo "note: this vstrun has no --version yet"
fi

echo "== the manual page"
# Every option vstrun's own help names, the manual page documents.
manual=$(zcat "$root/usr/share/man/man1/vstrun.1.gz" | sed 's/\\-/-/g')
helps=$("$root/usr/bin/vstrun" --help)
for command in info render tone measure sweep; do
  helps+=$'\n'$("$root/usr/bin/vstrun" "$command" --help 2>/dev/null || true)
done
for option in $(grep -oE -- '--[a-z][a-z-]+' <<<"$helps" | sort -u); do
  grep -qF -- "$option" <<<"$manual" || fail "the manual page does not document $option"
done
if command -v man >/dev/null; then
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l -Tutf8 -Z "$root/usr/share/man/man1/vstrun.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man warns: $warnings"
fi

echo "== the installed modules load"
for entry in "${modules[@]}"; do
  read -r file symbol <<<"$entry"
  [ -f "$root/$file" ] || continue
  if "$module_check" "$root/$file" "$symbol"; then echo "loads: /$file ($symbol)"; else fail "/$file does not load"; fi
done
# The VST 2.4 module through the installed host, as a user would.
if info=$("$root/usr/bin/vstrun" info "$root/usr/lib/vst/$name.so" 2>&1); then
  grep -q 'crossfader mono 1 / mono 2' <<<"$info" || fail "vstrun info shows no crossfader parameter"
else
  fail "vstrun info on the installed module: $info"
fi
# LV2 hosts find the bundle through its manifest.
if has lv2_module; then
  if command -v lv2ls >/dev/null; then
    found=$(LV2_PATH=$root/usr/lib/lv2 lv2ls)
    if [ -z "$found" ] || [ "$(wc -l <<<"$found")" != 1 ]; then fail "lv2ls finds \"$found\" in the installed bundle"; fi
  else
    echo "note: no lv2ls (lilv-utils): LV2 discovery not checked"
  fi
fi

echo "== remove"
dpkg_scratch -P "$package"
status=$(dpkg-query --admindir="$admin" -W -f='${Status}' "$package" 2>/dev/null || true)
case $status in
  "" | "unknown ok not-installed") ;;
  *) fail "still registered after removal: $status" ;;
esac
left=$(cd "$root" && find . -mindepth 1 | sort)
[ -z "$left" ] || fail "left behind in the scratch root: $left"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "package $(basename "$deb"): all checks passed"
