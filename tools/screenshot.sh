#!/usr/bin/env bash
# Takes the README's screenshot: the clock under an Xvfb of its own, saved as docs/screenshot.png.
# Needs xvfb, xdotool and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
Xvfb :97 -screen 0 800x600x24 -nolisten tcp -noreset &
xvfb=$!
trap 'kill $xvfb $clock 2>/dev/null || true' EXIT
export DISPLAY=:97
until xdotool getdisplaygeometry >/dev/null 2>&1; do sleep 0.05; done
folder=$(mktemp -d)
cp build/koruva "$folder/"
"$folder/koruva" &
clock=$!
wid=$(xdotool search --sync --onlyvisible --name '^Velomire -KORUVA!-$' | head -n 1)
sleep 1.2 # let the face turn over once so the picture shows a live second
mkdir -p docs
import -window "$wid" docs/screenshot.png
echo "docs/screenshot.png"
