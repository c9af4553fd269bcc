#!/usr/bin/env bash
# Installs everything a build needs on a fresh Debian machine: the machine's own packages, and the
# JUCE 8.0.6 source from Debian's trixie source package, unpacked into a machine-wide cache.
# Usage: tools/install-deps.sh [--with-tools] [--windows]
#   --with-tools adds what the resource and fuzz scripts use; --windows what the Windows cross build and
#   its tests under Wine use (tools/build-windows.sh).
set -euo pipefail

JUCE_VERSION=8.0.6+ds-2
JUCE_CACHE=${OV_JUCE_CACHE:-/var/cache/ov_installer}
JUCE_DIR="$JUCE_CACHE/juce-8.0.6"

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(g++ cmake ccache pkg-config dpkg-dev libgtest-dev
          libfreetype-dev libfontconfig1-dev libx11-dev libxdamage-dev libxrandr-dev libxinerama-dev libxcursor-dev libxext-dev
          zlib1g-dev libpng-dev libjpeg-dev xvfb xdotool x11-utils imagemagick unzip e2fsprogs util-linux
          python3 tesseract-ocr tesseract-ocr-eng)
windows=0
for option in "$@"; do
    case $option in
        --with-tools)
            packages+=(mingw-w64 fontforge zip clang libclang-rt-14-dev)
            # The machine may carry its own Node.js with npm; Debian's npm conflicts with it.
            command -v npm >/dev/null || packages+=(nodejs npm) ;;
        --windows)
            windows=1
            packages+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev patch wine wine64) ;;
        *)
            echo "Unknown option $option" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_if_needed apt-get update -qq
    sudo_if_needed env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ ! -f "$JUCE_DIR/CMakeLists.txt" ]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    . "$(dirname "$0")/private-apt.sh"
    private_apt_setup "$work" trixie deb-src
    mkdir -p "$work/src"
    (cd "$work/src" && apt-get "${private_apt[@]}" source -qq "juce=$JUCE_VERSION")
    src=$(find "$work/src" -maxdepth 1 -mindepth 1 -type d -name 'juce-*' | head -n1)
    [ -f "$src/CMakeLists.txt" ] || { echo "JUCE source did not unpack" >&2; exit 1; }
    sudo_if_needed mkdir -p "$JUCE_CACHE"
    rm -rf "$JUCE_DIR.partial"
    cp -a "$src" "$JUCE_DIR.partial"
    mv "$JUCE_DIR.partial" "$JUCE_DIR"
    echo "JUCE source in $JUCE_DIR"
fi

if [ "$windows" = 1 ]; then
    "$(dirname "$0")/install-windows-sdk.sh"
fi
