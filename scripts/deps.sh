#!/usr/bin/env bash
# Installs what is needed from Debian's packages. Quiet and quick when
# everything is already there.
#   deps.sh demo   what building the Linux modules and vstrun, and rendering,
#                  need (make demo, make install)
#   deps.sh test   all that, and the tests' toolchain: GoogleTest, the
#                  benchmarks, both Windows cross compilers and Wine, clang,
#                  valgrind, the LV2 tools, the packaging tools (the default)
set -euo pipefail

set_name=${1:-test}
demo=(cmake g++ make pkg-config libsndfile1-dev lv2-dev liblilv-dev)
test=(libgtest-dev googletest libbenchmark-dev
      g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
      binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 zip
      wine wine64
      clang-14 libclang-rt-14-dev valgrind dpf-plugins-vst
      sordi lilv-utils
      dpkg-dev lintian)
case $set_name in
  demo) packages=("${demo[@]}") ;;
  test) packages=("${demo[@]}" "${test[@]}") ;;
  *) echo "usage: $0 [demo|test]" >&2; exit 2 ;;
esac

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

need=()
for pkg in "${packages[@]}"; do installed "$pkg" || need+=("$pkg"); done

# 32-bit Wine for the win32 tests, where the kernel can run it at all.
add_i386=false
if [ "$set_name" = test ] && bash "$(dirname "$0")/runs-32bit.sh"; then
  dpkg --print-foreign-architectures | grep -qx i386 || add_i386=true
  installed wine32:i386 || need+=(wine32:i386)
fi

if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "deps: missing packages: ${need[*]}; run scripts/deps.sh $set_name as root to install them" >&2
    exit 1
  fi
  echo "deps: installing ${need[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  if $add_i386; then dpkg --add-architecture i386; fi
  apt-get update -qq >/dev/null
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
