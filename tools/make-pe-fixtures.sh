#!/usr/bin/env bash
# Builds the small Windows modules that the version-reader tests and the fuzz corpus start from, with
# Debian's mingw-w64 (tools/install-deps.sh --with-tools). The output is byte-for-byte reproducible:
# no CRT, stripped, no link timestamp, and objcopy's timestamp pinned through SOURCE_DATE_EPOCH.
# Usage: tools/make-pe-fixtures.sh [output folder]   (default: tests/fixtures/pe)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/tests/fixtures/pe}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SOURCE_DATE_EPOCH=0
mkdir -p "$out"

cat > "$work/module.c" <<'EOF'
int __stdcall DllMainCRTStartup (void* module, unsigned reason, void* reserved)
{
    (void) module; (void) reason; (void) reserved;
    return 1;
}

__declspec(dllexport) int fixtureValue (void) { return 42; }
EOF

# versionInfo ID LANGUAGE "a,b,c,d": one VERSIONINFO resource in resource-script form.
versionInfo() {
    local id=$1 language=$2 version=$3
    cat <<EOF
LANGUAGE $language
$id VERSIONINFO
FILEVERSION $version
PRODUCTVERSION $version
FILEOS 0x40004
FILETYPE 0x2
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904b0"
    BEGIN
      VALUE "CompanyName", "Orvella"
      VALUE "FileDescription", "Version reader fixture"
      VALUE "FileVersion", "${version//,/.}"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x409, 1200
  END
END
EOF
}

# build NAME ARCH: links module.c with the resource script on stdin (empty for none) into NAME.
build() {
    local name=$1 arch=$2 entry=DllMainCRTStartup objects=()
    [ "$arch" = i686 ] && entry=_DllMainCRTStartup@12
    cat > "$work/$name.rc"
    if [ -s "$work/$name.rc" ]; then
        "$arch-w64-mingw32-windres" -O coff "$work/$name.rc" "$work/$name.res.o"
        objects+=("$work/$name.res.o")
    fi
    "$arch-w64-mingw32-gcc" -shared -nostdlib -O2 -s -Wl,--no-insert-timestamp -Wl,-e,"$entry" \
        -o "$out/$name" "$work/module.c" "${objects[@]}"
}

versionInfo 1 "0, 0" "3,1,10,0"             | build v3.1.10.0-x64.dll x86_64
versionInfo 1 "0, 0" "3,1,9,0"              | build v3.1.9.0-x64.dll x86_64
versionInfo 1 "0, 0" "3,2,0,0"              | build v3.2.0.0-x64.dll x86_64
versionInfo 1 "0, 0" "65535,65535,65535,65535" | build v65535-x64.dll x86_64
versionInfo 1 "0, 0" "3,1,10,0"             | build v3.1.10.0-x86.dll i686

# Several languages of the one version resource: the neutral one is listed first and wins.
{ versionInfo 1 "0x09, 0x01" "1,0,0,0"; versionInfo 1 "0, 0" "3,1,10,0"; versionInfo 1 "0x07, 0x01" "2,0,0,0"; } \
    | build languages-neutral-x64.dll x86_64
# Without a neutral one the lowest language id (German, 0x407, before English, 0x409) is taken.
{ versionInfo 1 "0x09, 0x01" "1,0,0,0"; versionInfo 1 "0x07, 0x01" "2,0,0,0"; } \
    | build languages-x64.dll x86_64

# The resource directory reached through the data directory, in a section with another name.
versionInfo 1 "0, 0" "3,1,10,0" | build vrsrc-x64.dll x86_64
x86_64-w64-mingw32-objcopy --rename-section .rsrc=.vrsrc "$out/vrsrc-x64.dll"

# No version: resources without RT_VERSION; a version block under another name than
# VS_VERSION_INFO (1), which the system does not look for; no resources at all.
printf '1 RCDATA { "fixture data" }\n' | build no-version-x64.dll x86_64
versionInfo 2 "0, 0" "3,1,10,0" | build version-id2-x64.dll x86_64
build no-resources-x64.dll x86_64 < /dev/null

chmod a-x "$out"/*.dll
ls -l "$out"
