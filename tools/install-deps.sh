#!/usr/bin/env bash
# Installs everything a build needs on a fresh Debian machine: the machine's own packages, and the
# JUCE 8.0.6 source from Debian's trixie source package, unpacked into a machine-wide cache.
# Usage: tools/install-deps.sh [--with-tools]   (--with-tools adds what the resource and fuzz scripts use)
set -euo pipefail

JUCE_VERSION=8.0.6+ds-2
JUCE_CACHE=${OV_JUCE_CACHE:-/var/cache/ov_installer}
JUCE_DIR="$JUCE_CACHE/juce-8.0.6"

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(g++ cmake ccache pkg-config dpkg-dev libgtest-dev
          libfreetype-dev libfontconfig1-dev libx11-dev libxdamage-dev libxrandr-dev libxinerama-dev libxcursor-dev libxext-dev
          zlib1g-dev libpng-dev libjpeg-dev xvfb xdotool x11-utils imagemagick unzip e2fsprogs util-linux
          python3 tesseract-ocr tesseract-ocr-eng)
if [ "${1:-}" = "--with-tools" ]; then
    packages+=(mingw-w64 fontforge zip clang libclang-rt-14-dev)
    # The machine may carry its own Node.js with npm; Debian's npm conflicts with it.
    command -v npm >/dev/null || packages+=(nodejs npm)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_if_needed apt-get update -qq
    sudo_if_needed env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ -f "$JUCE_DIR/CMakeLists.txt" ]; then
    exit 0
fi

# A private apt configuration, so the system's own sources and state stay untouched. The mirror is
# the one this machine is already configured with.
uri=$(grep -h -m1 -E '^URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null | grep -v -i security | head -n1 | awk '{print $2}' || true)
if [ -z "$uri" ]; then
    uri=$(grep -h -E '^deb ' /etc/apt/sources.list 2>/dev/null | grep -v -i security | head -n1 | awk '{print $2}' || true)
fi
[ -n "$uri" ] || { echo "No Debian source configured in /etc/apt: cannot fetch JUCE" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/sources.list.d" "$work/state/lists/partial" "$work/cache/archives/partial" "$work/pref"
cat > "$work/sources.list.d/juce.sources" <<SRC
Types: deb-src
URIs: $uri
Suites: trixie
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
apt_opts=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$work/sources.list.d"
          -o Dir::Etc::PreferencesParts="$work/pref" -o Dir::State="$work/state" -o Dir::Cache="$work/cache"
          -o Dir::State::status=/var/lib/dpkg/status -o APT::Sandbox::User=root)
apt-get "${apt_opts[@]}" update -qq
mkdir -p "$work/src"
(cd "$work/src" && apt-get "${apt_opts[@]}" source -qq "juce=$JUCE_VERSION")
src=$(find "$work/src" -maxdepth 1 -mindepth 1 -type d -name 'juce-*' | head -n1)
[ -f "$src/CMakeLists.txt" ] || { echo "JUCE source did not unpack" >&2; exit 1; }
sudo_if_needed mkdir -p "$JUCE_CACHE"
rm -rf "$JUCE_DIR.partial"
cp -a "$src" "$JUCE_DIR.partial"
mv "$JUCE_DIR.partial" "$JUCE_DIR"
echo "JUCE source in $JUCE_DIR"
