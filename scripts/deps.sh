#!/usr/bin/env bash
# Installs what the build, the tests and the tools need, from Debian's packages.
# Quiet and quick when everything is already present.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

for pkg in cmake g++ make libgtest-dev googletest libsndfile1-dev libbenchmark-dev \
           g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix \
           binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 \
           wine wine64 clang-14 libclang-rt-14-dev valgrind dpf-plugins-vst; do
  have_pkg "$pkg" || need+=("$pkg")
done
have_pkg wine32:i386 || need+=("wine32:i386")

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "deps: missing packages: ${need[*]} (run as root to install them)" >&2
  exit 1
fi

echo "deps: installing ${need[*]}" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq >/dev/null
apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
