#!/usr/bin/env bash
# Takes the README's screenshot: the clock under an Xvfb of its own, saved as docs/screenshot.png.
# Needs xvfb, xdotool and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
# The tests' own start-up of an X server (new_xvfb).
source tests/e2e/lib/display.sh
new_xvfb /dev/null 800x600 || { echo "Xvfb did not start" >&2; exit 1; }
xvfb=$XVFB_PID clock=
trap 'kill $xvfb $clock 2>/dev/null || true' EXIT
export DISPLAY=$XVFB_DISPLAY
# No session bus wanted, and none autolaunched to outlive the clock.
no_session_bus
folder=$(mktemp -d)
cp build/koruva "$folder/"
"$folder/koruva" &
clock=$!
wid=$(xdotool search --sync --onlyvisible --name '^Velomire -KORUVA!-$' | head -n 1)
sleep 1.2 # let the face turn over once so the picture shows a live second
mkdir -p docs
import -window "$wid" docs/screenshot.png
echo "docs/screenshot.png"
