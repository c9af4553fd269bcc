#!/usr/bin/env bash
# Fills the folder the Windows cross build compiles against (tools/mingw-w64.cmake), once per machine:
# - the Windows headers and C runtime of mingw-w64 12 (Debian trixie's architecture-independent
#   packages, fetched with apt-get download and unpacked; nothing is installed into the system),
# - zlib from the machine's libz-mingw-w64-dev,
# - libpng and libjpeg cross-built from the machine's own Debian source packages (Debian's framework
#   source has its bundled copies removed, and its image loaders need them).
# Usage: tools/install-windows-sdk.sh   (tools/install-deps.sh --windows installs the compilers first)
set -euo pipefail
tools=$(cd "$(dirname "$0")" && pwd)

MINGW_VERSION=12.0.0-5
SYSROOT=${OV_WIN64_SYSROOT:-/var/cache/ov_installer/win64-sysroot}

if [ -f "$SYSROOT/lib/libjpeg.a" ]; then
    exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$tools/private-apt.sh"
partial="$SYSROOT.partial"
rm -rf "$partial"
mkdir -p "$partial" "$work/debs" "$work/root"

private_apt_setup "$work/trixie" trixie deb
(cd "$work/debs" && apt-get "${private_apt[@]}" download -qq "mingw-w64-x86-64-dev=$MINGW_VERSION" "mingw-w64-common=$MINGW_VERSION")
# The headers of the first are links into the second: both are unpacked, then the links resolved.
for deb in "$work"/debs/*.deb; do dpkg-deb -x "$deb" "$work/root"; done
cp -rL "$work/root/usr/x86_64-w64-mingw32/include" "$work/root/usr/x86_64-w64-mingw32/lib" "$partial/"

cp /usr/x86_64-w64-mingw32/include/zlib.h /usr/x86_64-w64-mingw32/include/zconf.h "$partial/include/"
cp /usr/x86_64-w64-mingw32/lib/libz.a "$partial/lib/"

private_apt_setup "$work/own" "$(machine_suite)" deb-src
mkdir -p "$work/src"
(cd "$work/src" && apt-get "${private_apt[@]}" source -qq libpng1.6 libjpeg-turbo >/dev/null)

# Built with the same tool chain as the program, static, without the tools, tests and SIMD code.
build_lib()
{
    local name=$1; shift
    local src
    src=$(find "$work/src" -maxdepth 1 -mindepth 1 -type d -name "$name-*" | head -n1)
    cmake -S "$src" -B "$work/build-$name" -DCMAKE_TOOLCHAIN_FILE="$tools/mingw-w64.cmake" \
          -DOV_WIN64_SYSROOT="$partial" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$partial" "$@" >/dev/null
    cmake --build "$work/build-$name" -j "$(nproc)" >/dev/null
    cmake --install "$work/build-$name" >/dev/null
}
build_lib libpng1.6 -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
                    -DZLIB_INCLUDE_DIR="$partial/include" -DZLIB_LIBRARY="$partial/lib/libz.a"
build_lib libjpeg-turbo -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF
# The framework's loader includes the library's internal header too, which Debian's libjpeg-dev ships.
cp "$work"/src/libjpeg-turbo-*/jpegint.h "$partial/include/"

rm -rf "$SYSROOT"
mv "$partial" "$SYSROOT"
echo "Windows headers and libraries in $SYSROOT"
