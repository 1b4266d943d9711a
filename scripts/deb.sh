#!/usr/bin/env bash
# Builds the Debian package from the Linux build: every plug-in format the
# build has, where Debian's own plug-in packages put theirs, and vstrun with
# its manual page. Writes out/packages/<package>_<version>_<arch>.deb and
# prints its path.
#   BUILD_DIR  the Linux build (build/linux, the preset's)
#   OUT_DIR    where the package goes (out/packages)
#   SKIP_BUILD=1  package the build as it is, without configuring or building
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/formats.sh

build=${BUILD_DIR:-build/linux}
out=${OUT_DIR:-out/packages}

if [ "${SKIP_BUILD:-0}" != 1 ]; then ship_configure linux "$build"; fi
mapfile -t targets < <(ship_targets "$build")
ship_build "$build" "${targets[@]}" vstrun

name=$(ship_module_name "$build")
version=$(ship_version "$build")
package=$(tr '[:upper:]_' '[:lower:]-' <<<"$name")
arch=$(dpkg --print-architecture)

# The changelog is kept by hand: it must already tell of this version.
logged=$(dpkg-parsechangelog -l packaging/changelog -S Version)
if [ "$logged" != "$version" ]; then
  echo "deb: packaging/changelog's latest entry is $logged, the project is $version: add an entry" >&2
  exit 1
fi
maintainer=$(dpkg-parsechangelog -l packaging/changelog -S Maintainer)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# dpkg-shlibdeps reads debian/control and finds each binary's package by its
# place under debian/<package>/.
root=$work/debian/$package
mkdir -p "$root/DEBIAN"

declare -A folder=([plugin_module]=vst [lv2_module]=lv2 [clap_module]=clap [vst3_module]=vst3)
for target in "${targets[@]}"; do
  source_path=$(ship_artifact "$build" "$target")
  [ -e "$source_path" ] || { echo "deb: $target is built but $source_path is missing" >&2; exit 1; }
  mkdir -p "$root/usr/lib/${folder[$target]}"
  ship_copy_stripped "$source_path" "$root/usr/lib/${folder[$target]}/$(basename "$source_path")" strip
done

mkdir -p "$root/usr/bin" "$root/usr/share/man/man1" "$root/usr/share/doc/$package"
ship_copy_stripped "$build/vstrun" "$root/usr/bin/vstrun" strip
sed "s/\"vstrun [0-9][0-9.]*\"/\"vstrun $version\"/" host/cli/vstrun.1 | gzip -9n >"$root/usr/share/man/man1/vstrun.1.gz"
gzip -9n <packaging/changelog >"$root/usr/share/doc/$package/changelog.gz"

# The copyright file in Debian's machine-readable form, with LICENSE's notice
# and text.
{
  echo "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
  echo "Upstream-Name: $name"
  echo
  echo "Files: *"
  sed -n 's/^Copyright ([cC]) */Copyright: /p' LICENSE
  echo "License: ISC"
  sed '1,/^Copyright/d' LICENSE | sed '/./,$!d' | sed 's/^$/./; s/^/ /'
} >"$root/usr/share/doc/$package/copyright"

find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -exec chmod 0644 {} +
chmod 0755 "$root/usr/bin/vstrun"

# Depends from the libraries the binaries link, as dpkg-shlibdeps finds them.
mapfile -t binaries < <(cd "$work" && find "debian/$package/usr" -type f \( -path '*/bin/*' -o -name '*.so' -o -name '*.clap' \) | sort)
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$package" "$package" >"$work/debian/control"
depends=$(cd "$work" && dpkg-shlibdeps -O "${binaries[@]}" 2>"$work/shlibdeps.log" | sed -n 's/^shlibs:Depends=//p') || {
  cat "$work/shlibdeps.log" >&2
  exit 1
}
[ -n "$depends" ] || { echo "deb: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

formats=$(for target in "${targets[@]}"; do ship_format_name "$target"; done | paste -sd, | sed 's/,/, /g')
{
  cat <<EOF
Package: $package
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $depends
Section: sound
Priority: optional
Description: two-input mono crossfader audio plug-in
EOF
  # The long description, wrapped whatever the list of formats.
  fmt -w 76 <<EOF | sed 's/^$/./; s/^/ /'
An audio effect plug-in with two mono inputs, each with a level in decibels
and an on/off switch, blended by a crossfader that boosts its centre and
scaled by an output level; the same mono mix goes to both outputs.

This package installs the plug-in ($formats) where Linux hosts look for
system-wide plug-ins, and vstrun, a command-line host that shows a plug-in's
parameters, renders audio files through it and measures the result.
EOF
} >"$root/DEBIAN/control"
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

mkdir -p "$out"
deb=$out/${package}_${version}_$arch.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "$deb"
