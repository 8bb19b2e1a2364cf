#!/usr/bin/env bash
# wine-run.sh KIT PREFIX PROGRAM.exe [ARGS...]
# Runs a Windows test program under wine64 on Qt's offscreen platform, with the Qt kit's DLLs
# and plugins found in KIT and a Wine prefix of the build's own in PREFIX (made on first use).
# The cross build's ctest uses it as CMAKE_CROSSCOMPILING_EMULATOR.
set -euo pipefail
kit=${1:?usage: $0 KIT PREFIX PROGRAM [ARGS...]}
prefix=${2:?usage: $0 KIT PREFIX PROGRAM [ARGS...]}
shift 2

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
# No prompts to install Mono or Gecko.
export WINEDLLOVERRIDES="mscoree=;mshtml="
# The tests expect an en-US user with code page 1252, whatever the host's locale.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
# Wine drops the QT_ variables of the Unix side; these reach the program with WINE stripped.
export WINEQT_QPA_PLATFORM=offscreen WINEQT_FORCE_STDERR_LOGGING=1
export WINEQT_QPA_FONTDIR=Z:/usr/share/fonts/truetype/dejavu
export WINEQT_PLUGIN_PATH="Z:$kit/plugins"
export WINEPATH="Z:${kit//\//\\}\\bin"
unset DISPLAY WAYLAND_DISPLAY

# Test programs start in parallel: only one of them makes the prefix.
mkdir -p "$(dirname "$prefix")"
(
    flock 9
    if [ ! -f "$prefix/.koruva-ready" ]; then
        "$wine" wineboot --init >/dev/null 2>&1
        "$(dirname "$(readlink -f "$wine")")/wineserver" -w
        mkdir -p "$prefix/drive_c/windows/Fonts"
        cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
        touch "$prefix/.koruva-ready"
    fi
) 9>"$prefix.lock"

exec "$wine" "$@"
