#!/usr/bin/env bash
# Builds the installer (installing what is missing) and starts it. Without a display it runs on a
# virtual one, saves a screenshot of its window and prints where.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
build=${OV_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j "$(nproc)" --target ov_installer
program=$(find "$build" -type f -name ov_installer -perm -u+x | head -n1)

if [ -n "${DISPLAY:-}" ]; then
    exec "$program"
fi

display=:$(( 90 + RANDOM % 100 ))
Xvfb "$display" -screen 0 1280x1024x24 -noreset >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$app" "$xvfb" 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

"$program" &
app=$!
window=""
for _ in $(seq 100); do
    window=$(xdotool search --name '^ov_installer$' 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "The installer did not open its window" >&2; exit 1; }
sleep 1

shot=${OV_SCREENSHOT:-$PWD/$build/ov_installer.png}
import -window "$window" "$shot"
echo "No display here: the installer ran on a virtual one. Its window: $shot"
