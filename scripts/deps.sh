#!/usr/bin/env bash
# Installs what the build, the tests and the tools need, from Debian's
# packages. Quiet and quick when everything is already there.
set -euo pipefail

packages=(cmake g++ make pkg-config libgtest-dev googletest libbenchmark-dev libsndfile1-dev
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 zip
          wine wine64
          clang-14 libclang-rt-14-dev valgrind dpf-plugins-vst
          lv2-dev sordi lilv-utils liblilv-dev)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

need=()
for pkg in "${packages[@]}"; do installed "$pkg" || need+=("$pkg"); done

# 32-bit Wine for the win32 tests, where the kernel can run it at all.
add_i386=false
if bash "$(dirname "$0")/runs-32bit.sh"; then
  dpkg --print-foreign-architectures | grep -qx i386 || add_i386=true
  installed wine32:i386 || need+=(wine32:i386)
fi

if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "deps: missing packages: ${need[*]}; run this script as root to install them" >&2
    exit 1
  fi
  echo "deps: installing ${need[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  if $add_i386; then dpkg --add-architecture i386; fi
  apt-get update -qq >/dev/null
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
