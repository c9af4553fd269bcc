#!/usr/bin/env bash
# Runs a Windows program under Wine in a fresh prefix of its own, removed afterwards: the emulator
# through which CTest runs the cross build's test programs (tools/mingw-w64.cmake). The first call
# makes a template prefix reporting Windows 10 (a new one reports Windows 7); later prefixes are
# hard-linked copies of it, but for the registry files, which Wine rewrites in place when they have
# more than one link: those are real copies, so no run changes the template or another run.
# Usage: tools/wine-run.sh PROGRAM [ARGUMENT...]   (without a program: only makes the template)
set -euo pipefail

template=${OV_WINE_TEMPLATE:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/ov_installer/wine-win10}
export WINEDEBUG=${WINEDEBUG:--all}
# No offer to install Mono or Gecko into a new prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

# Made again for another version of Wine, which would otherwise update the shared files in place.
version=$(wine --version)
mkdir -p "$(dirname "$template")"
(
    flock 9
    if [ "$(cat "$template/.ov-ready" 2>/dev/null)" != "$version" ]; then
        rm -rf "$template"
        WINEPREFIX=$template wine wineboot -i >/dev/null 2>&1
        WINEPREFIX=$template wine winecfg /v win10 >/dev/null 2>&1
        WINEPREFIX=$template wineserver -w
        echo "$version" > "$template/.ov-ready"
    fi
) 9>"$template.lock"

[ $# -gt 0 ] || exit 0

prefix=$(mktemp -d "$template.run.XXXXXX")
trap 'WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true; rm -rf "$prefix"' EXIT
cp -al "$template/." "$prefix/"
for hive in "$prefix"/*.reg; do
    cp --remove-destination "$template/$(basename "$hive")" "$hive"
done

status=0
WINEPREFIX=$prefix wine "$@" || status=$?
exit "$status"
