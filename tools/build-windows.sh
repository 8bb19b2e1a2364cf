#!/usr/bin/env bash
# build-windows.sh [--make-kit] [KIT]
# Cross-builds KORUVA!.exe and its test programs for Windows x86_64 on Debian, puts the Qt DLLs
# and plugins beside the program, and writes build-windows/KORUVA!-VERSION-windows-x64.zip,
# whose path it prints last.
#
# KIT is a Qt for Windows (MinGW-w64) kit: its tarball, or the folder it unpacks to. Without
# one, KORUVA_QT_WINDOWS, then the kit beside this repository (../shared/windows/), then one an
# earlier --make-kit made in build-windows/qt-build/ is used. Where none is found, --make-kit
# makes one from Debian's own Qt source with tools/build-qt-mingw.sh (about 35 minutes on two
# cores, once); without it the script says so in one line and ends with 77.
# A tarball is unpacked once into build-windows/kit/ and used again while it is unchanged.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
jobs=$(nproc)

make_kit=
[ "${1:-}" != --make-kit ] || { make_kit=yes; shift; }
kit_source=${1:-${KORUVA_QT_WINDOWS:-}}
if [ -z "$kit_source" ]; then
    for candidate in ../shared/windows/qt6.4.2-mingw-w64-x86_64.tar.xz ../shared/windows/qt6-mingw \
        "$out/qt-build/qt6-mingw"; do
        [ -f "$candidate" ] || [ -f "$candidate/lib/cmake/Qt6/qt.toolchain.cmake" ] ||
            [ -f "$candidate/qt6-mingw/lib/cmake/Qt6/qt.toolchain.cmake" ] || continue
        kit_source=$(readlink -f "$candidate")
        break
    done
fi
if [ -z "$kit_source" ] && [ -z "$make_kit" ]; then
    echo "Windows skipped: no Qt for Windows kit; put qt6.4.2-mingw-w64-x86_64.tar.xz in" \
        "../shared/windows/ or name one in KORUVA_QT_WINDOWS, or let --make-kit make one from" \
        "source (about 35 minutes, once)" >&2
    exit 77
fi

tools/install-deps.sh windows

mkdir -p "$out"
if [ -z "$kit_source" ]; then
    echo "== no Qt for Windows given or found beside the repository: making one from source"
    tools/build-qt-mingw.sh "$out/qt-build"
    kit_source=$out/qt-build/qt6-mingw
fi

# The kit's folder: given as one, or unpacked from the tarball into build-windows/kit/.
if [ -d "$kit_source" ]; then
    kit=$(readlink -f "$kit_source")
    [ -d "$kit/qt6-mingw" ] && kit=$kit/qt6-mingw
else
    stamp="$(readlink -f "$kit_source") $(stat -c '%s %Y' "$kit_source")"
    if [ "$(cat "$out/kit.stamp" 2>/dev/null)" != "$stamp" ]; then
        echo "== unpacking $kit_source"
        rm -rf "$out/kit" "$out/kit.stamp"
        mkdir -p "$out/kit"
        tar -xJf "$kit_source" -C "$out/kit"
        echo "$stamp" >"$out/kit.stamp"
    fi
    kit=$out/kit/qt6-mingw
fi
toolchain=$kit/lib/cmake/Qt6/qt.toolchain.cmake
[ -f "$toolchain" ] || { echo "not a Qt for Windows kit: $kit" >&2; exit 1; }
echo "== Qt for Windows: $kit"

echo "== cross-building"
cmake -S . -B "$out/tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    "-DCMAKE_CROSSCOMPILING_EMULATOR=$root/tools/wine-run.sh;$kit;$out/wineprefix" >/dev/null
cmake --build "$out/tree" -j"$jobs"
version=$(sed -n 's/^KORUVA_DISPLAY_VERSION:INTERNAL=//p' "$out/tree/CMakeCache.txt")
package=KORUVA!-$version-windows-x64

echo "== deploying and packing $package.zip"
stage=$out/stage/$package
rm -rf "$out/stage" "$out"/KORUVA!-*-windows-x64.zip
mkdir -p "$stage/licences"
cp "$out/tree/KORUVA!.exe" "$stage/"
tools/deploy-windows.sh "$stage" "$kit"
# The program is MIT licensed; Qt is used under the LGPL 3 (which builds on the GPL 3); the
# MinGW runtime DLLs under the GCC runtime exception and the MinGW-w64 licences; the built-in
# font under the OFL.
cp LICENSE "$stage/licences/KORUVA-MIT.txt"
cp /usr/share/common-licenses/LGPL-3 "$stage/licences/Qt-LGPL-3.txt"
cp /usr/share/common-licenses/GPL-3 "$stage/licences/GPL-3.txt"
cp clock_window/assets/BebasNeue-OFL.txt "$stage/licences/BebasNeue-OFL.txt"
for doc in qt6-base-dev:Qt gcc-mingw-w64-base:MinGW-GCC-runtime mingw-w64-common:MinGW-w64; do
    file=/usr/share/doc/${doc%%:*}/copyright
    [ -f "$file" ] && cp "$file" "$stage/licences/${doc#*:}-copyright.txt"
done
{
    echo "Velomire -KORUVA!- $version for Windows x64"
    cat <<'TEXT'


Unpack this folder anywhere and start KORUVA!.exe. Double-click the picture to save the
window's place and quit: it goes to setting.dat beside KORUVA!.exe, or, where a save cannot
be made there (say under Program Files), to setting.dat in your own
%LOCALAPPDATA%\Velomire -KORUVA!- folder; the next start reads the one the last save wrote.
Nothing else is written anywhere.

The program is free software under the MIT licence (licences\KORUVA-MIT.txt). The DLLs and
the platforms, imageformats and styles folders are Qt 6.4.2 and the MinGW-w64 runtime, which
the program needs beside it. Their licences, and that of the built-in font Bebas Neue, are in
the licences folder.
TEXT
} >"$stage/README.txt"
(cd "$out/stage" && cmake -E tar cf "$out/$package.zip" --format=zip "$package")
echo "== wrote $package.zip ($(du -k "$out/$package.zip" | cut -f1) kB)"
echo "$out/$package.zip"
