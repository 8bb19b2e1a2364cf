#!/usr/bin/env bash
# build-qt-mingw.sh OUT
# Makes the Qt for Windows that tools/build-windows.sh builds against, when none is at hand:
# Qt 6.4.2's qtbase from Debian 12's own source package, cross-compiled with Debian's
# MinGW-w64 POSIX-threads compilers, with Debian's host Qt 6.4.2 as the host tools (moc, rcc).
# The result, OUT/qt6-mingw, is a relocatable shared release kit with the widgets, the test
# library, the windows/offscreen/minimal platforms, the ico plugin and the windowsvista style.
# About 35 minutes on two cores; a step whose result exists is skipped, so a broken run can be
# started again. PACK=1 also writes OUT/qt6.4.2-mingw-w64-x86_64.tar.xz.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:?usage: $0 OUT}")
prefix=$out/qt6-mingw
jobs=${JOBS:-$(nproc)}
version=6.4.2
debian_version=6.4.2+dfsg-10
source_dir=$out/qtbase-everywhere-src-$version
build_dir=$out/build-qtbase
triple=x86_64-w64-mingw32
toolchain=$prefix/lib/cmake/mingw-w64-x86_64-posix.toolchain.cmake

step() { echo "== [$(date +%T)] $*"; }
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

tools/install-deps.sh qt-source
case "$(dpkg-query -W -f='${Version}' qt6-base-dev)" in
6.4.2*) ;;
*) echo "the host tools must be Qt $version (qt6-base-dev)" >&2; exit 1 ;;
esac
mkdir -p "$out" "$prefix/lib/cmake"

# 1. Debian's source, with its upstream and security patches.
if [ ! -f "$out/src/qt6-base_$version+dfsg.orig.tar.xz" ]; then
    if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        step "adding deb-src beside /etc/apt/sources.list.d/debian.sources"
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
            "${sudo[@]}" tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
        "${sudo[@]}" apt-get update -qq
    fi
    step "downloading the source of qt6-base $debian_version"
    mkdir -p "$out/src"
    (cd "$out/src" && apt-get source --download-only "qt6-base=$debian_version")
fi
if [ ! -f "$source_dir/.patched" ]; then
    rm -rf "$source_dir"
    tar -xf "$out/src/qt6-base_$version+dfsg.orig.tar.xz" -C "$out"
    tar -xf "$out/src/qt6-base_$debian_version.debian.tar.xz" -C "$out/src"
    for patch in cve-2023-32762.diff cve-2023-32763.diff cve-2023-33285.diff \
        upstream_Add-HPPA-detection.patch upstream_Add-M68k-detection.patch cve-2023-24607.patch; do
        step "applying debian/patches/$patch"
        (cd "$source_dir" && patch -p1 -N -s <"$out/src/debian/patches/$patch")
    done
    # Without Direct2D QtGui leaves out the DirectWrite font database that the windows
    # platform plugin refers to; guard the plugin's use the same way, or it does not link.
    sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
        "$source_dir/src/plugins/platforms/windows/qwindowsintegration.cpp"
    touch "$source_dir/.patched"
fi

# 2. The cross toolchain, kept inside the kit so that the kit can move.
cat >"$toolchain" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER /usr/bin/$triple-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/$triple-g++-posix)
set(CMAKE_RC_COMPILER /usr/bin/$triple-windres)
set(CMAKE_AR /usr/bin/$triple-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/$triple-gcc-ranlib-posix CACHE FILEPATH "")
set(CMAKE_NM /usr/bin/$triple-gcc-nm-posix CACHE FILEPATH "")
set(CMAKE_STRIP /usr/bin/$triple-strip CACHE FILEPATH "")
set(CMAKE_OBJCOPY /usr/bin/$triple-objcopy CACHE FILEPATH "")
set(CMAKE_OBJDUMP /usr/bin/$triple-objdump CACHE FILEPATH "")
set(CMAKE_DLLTOOL /usr/bin/$triple-dlltool CACHE FILEPATH "")
set(CMAKE_FIND_ROOT_PATH /usr/$triple)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

# 3. Configure, build, install: only what the clock and its tests use.
if [ ! -f "$build_dir/build.ninja" ]; then
    step "configuring"
    rm -rf "$build_dir"
    mkdir -p "$build_dir"
    (cd "$build_dir" && "$source_dir/configure" -prefix "$prefix" \
        -release -optimize-size -shared -xplatform win32-g++ -qt-host-path /usr \
        -nomake examples -nomake tests \
        -no-opengl -no-dbus -no-icu -no-pkg-config -no-feature-zstd \
        -no-feature-sql -no-feature-network -no-feature-printsupport -no-feature-concurrent \
        -no-feature-xml -no-feature-vulkan -no-feature-direct2d -no-feature-direct2d1_1 \
        -no-feature-tabletevent -no-feature-jpeg -no-feature-gif \
        -qt-zlib -qt-pcre -qt-harfbuzz -qt-freetype -qt-libpng -qt-doubleconversion \
        -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF) >"$out/configure.log" 2>&1 ||
        { tail -n 40 "$out/configure.log"; exit 1; }
fi
step "building with $jobs jobs (log: $out/build.log)"
cmake --build "$build_dir" --parallel "$jobs" >"$out/build.log" 2>&1 ||
    { tail -n 40 "$out/build.log"; exit 1; }
cmake --install "$build_dir" --strip >"$out/install.log" 2>&1 ||
    { tail -n 40 "$out/install.log"; exit 1; }

# 4. Relocatable: the Qt toolchain file chain-loads ours by a path relative to itself.
sed -i "s|\"$toolchain\"|\"\${CMAKE_CURRENT_LIST_DIR}/../mingw-w64-x86_64-posix.toolchain.cmake\"|" \
    "$prefix/lib/cmake/Qt6/qt.toolchain.cmake"

# 5. The MinGW runtime, stripped (libstdc++-6.dll: 23 MB with symbols, 2 MB without), so that
# a deployment takes it from the kit.
for dll in /usr/lib/gcc/$triple/12-posix/libstdc++-6.dll /usr/lib/gcc/$triple/12-posix/libgcc_s_seh-1.dll \
    /usr/$triple/lib/libwinpthread-1.dll; do
    install -m 0755 "$dll" "$prefix/bin/"
    $triple-strip --strip-unneeded "$prefix/bin/$(basename "$dll")"
done

if [ "${PACK:-0}" = 1 ]; then
    XZ_OPT="-9 -T$jobs" tar -C "$out" -cJf "$out/qt$version-mingw-w64-x86_64.tar.xz" qt6-mingw
fi
step "Qt for Windows in $prefix ($(du -sh "$prefix" | cut -f1))"
