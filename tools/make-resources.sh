#!/usr/bin/env bash
# Rebuilds every file in resources/ from the sources in tools/resources-src/: the three plug-in archives,
# the two typefaces and their licence, the icons, the logo and the application icon.
# Reproducible: running it twice gives identical bytes. A normal build needs none of its tools; the archives
# are checked by archive-check, which it builds in build/ (or $OV_BUILD_DIR).
# Usage: tools/make-resources.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
src="$root/tools/resources-src"
out="$root/resources"
font_package="@expo-google-fonts/nunito@0.4.2"

# Fixed time for every tool that stamps its output (FontForge's font headers among them).
export SOURCE_DATE_EPOCH=1704067200
export LC_ALL=C TZ=UTC

need=()
command -v x86_64-w64-mingw32-gcc >/dev/null || need+=(gcc-mingw-w64-x86-64)
command -v x86_64-w64-mingw32-windres >/dev/null || need+=(binutils-mingw-w64-x86-64)
command -v fontforge >/dev/null || need+=(fontforge python3-fontforge)
command -v rsvg-convert >/dev/null || need+=(librsvg2-bin)
command -v python3 >/dev/null || need+=(python3)
command -v npm >/dev/null || need+=(npm)
if [ ${#need[@]} -gt 0 ]; then
    echo "Installing: ${need[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

#------------------------------------------------------------------------------
echo "Plug-in modules"
mkdir -p "$work/modules"
build_module()
{
    local format=$1 file=$2 with_version=$3
    local objects=()
    if [ "$with_version" = yes ]; then
        x86_64-w64-mingw32-windres -DOV_MODULE_FILENAME="\\\"$file\\\"" -O coff \
            -i "$src/module/version.rc" -o "$work/modules/$format-version.o"
        objects+=("$work/modules/$format-version.o")
    fi
    # Fixed image base and no time stamp, so the linker's output depends on the sources alone.
    x86_64-w64-mingw32-gcc -O2 -shared -s -DOV_FORMAT_"$format" \
        -Wl,--no-insert-timestamp -Wl,--subsystem,windows -Wl,--image-base,0x180000000 \
        -o "$work/modules/$file" "$src/module/plugin_module.c" "${objects[@]}"
}
build_module VST3 Tavrin3.vst3 yes
build_module CLAP Tavrin3.clap no
build_module AAX Tavrin3.aaxplugin yes

#------------------------------------------------------------------------------
echo "Archives"
# The stand-in bundles laid out as a plug-in build leaves them, then packed the one way every archive is made.
mkdir -p "$work/bundle-icon"
for size in 16 24 32 48 64 256; do
    rsvg-convert -w "$size" -h "$size" "$src/plugin_icon.svg" -o "$work/bundle-icon/icon-$size.png"
done
printf '[.ShellClassInfo]\r\nIconResource=Plugin.ico,0\r\nIconFile=Plugin.ico\r\nIconIndex=0\r\n' > "$work/desktop.ini"
for bundle in Tavrin3.vst3 Tavrin3.aaxplugin; do
    mkdir -p "$work/bundles/$bundle"
    cp "$work/desktop.ini" "$work/bundles/$bundle/desktop.ini"
    python3 "$src/make_bundle_icon.py" "$work/bundle-icon" "$work/bundles/$bundle/Plugin.ico"
done
install -D -m 644 "$src/bundle/moduleinfo.json" "$work/bundles/Tavrin3.vst3/Contents/Resources/moduleinfo.json"
install -D -m 644 "$work/modules/Tavrin3.vst3" "$work/bundles/Tavrin3.vst3/Contents/x86_64-win/Tavrin3.vst3"
install -D -m 644 "$work/modules/Tavrin3.aaxplugin" "$work/bundles/Tavrin3.aaxplugin/Contents/x64/Tavrin3.aaxplugin"
install -D -m 644 "$work/modules/Tavrin3.clap" "$work/bundles/Tavrin3.clap"
build=${OV_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" --target archive-check >/dev/null
python3 "$root/tools/pack-bundles.py" --checker "$build/archive-check" --out "$out" \
    --vst3 "$work/bundles/Tavrin3.vst3" --clap "$work/bundles/Tavrin3.clap" --aax "$work/bundles/Tavrin3.aaxplugin"

#------------------------------------------------------------------------------
echo "Typefaces"
(cd "$work" && npm pack --silent "$font_package" >/dev/null && tar xzf expo-google-fonts-nunito-*.tgz)
fonts="$work/package"
fontforge -quiet -lang=py -script "$src/make_fonts.py" "$fonts/400Regular/Nunito_400Regular.ttf" \
    "$out/SF-Pro-Rounded-Regular.otf" 2>/dev/null
fontforge -quiet -lang=py -script "$src/make_fonts.py" "$fonts/600SemiBold/Nunito_600SemiBold.ttf" \
    "$out/SF-Pro-Rounded-Semibold.otf" 2>/dev/null
cp "$fonts/LICENSE_FONT" "$out/OFL.txt"

#------------------------------------------------------------------------------
echo "Icons and logo"
python3 "$src/make_icons.py" "$out"
mkdir -p "$out/app"
rsvg-convert -w 256 -h 256 "$src/app_icon.svg" -o "$out/app/app_icon.png"

echo "Done: $(ls "$out" | wc -l) files in resources/"
