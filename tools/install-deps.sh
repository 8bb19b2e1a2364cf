#!/usr/bin/env bash
# Installs the Debian 12 packages a task needs, only those missing:
#   run | test | bench | windows | qt-source | package
# This is the one list of the project's dependencies; each group says why it is needed.
set -euo pipefail

# Building the program. libxcb1-dev and pkg-config: the time's digits go to a window of their
# own over Qt's X11 connection (platform/native_digits_xcb.cpp); Qt already runs on libxcb, so
# nothing new is loaded at run time.
# qt6-wayland: Qt's Wayland platform, which the clock falls back to where a Wayland session has
# no working XWayland; loaded at run time, not linked.
build=(cmake make g++ pkg-config qt6-base-dev libxcb1-dev qt6-wayland)

# The end-to-end tests: an X server without a screen and real mouse input (xvfb, xdotool);
# reading window positions and frame extents (x11-utils); looking at the labels on screen
# (imagemagick); mounting a full and a read-only disk, and running the clock as another user
# (util-linux).
e2e=(xvfb xdotool x11-utils imagemagick util-linux)

# The window managers the end-to-end tests run under, each framing windows its own way: the
# small ones, then the big desktops' window managers and compositors, each with a session bus
# of its own (dbus-daemon). marco aborts without its settings schema, kwin_x11 draws no frame
# without its Breeze decoration, sway's XWayland admits root through xhost (x11-xserver-utils),
# and python3-xlib runs the tests' watcher of how a window is first shown (the X server's
# RECORD extension) and their misbehaving window managers.
window_managers=(openbox icewm fluxbox metacity dbus-daemon xfwm4 marco mate-settings-daemon-common
    kwin-x11 kwin-style-breeze kwin-wayland mutter sway weston xwayland x11-xserver-utils
    python3-xlib)

# The clock-face tests under the C, en_US, de_DE and ja_JP locales.
locales=(locales-all)

# The libFuzzer targets.
fuzz=(clang libclang-rt-14-dev)

# Cross-building for Windows (Debian's moc and rcc serve the Windows Qt), and running the
# Windows tests and program under Wine, on Xvfb for the end-to-end check.
windows=(cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools xz-utils qt6-base-dev
    qt6-base-dev-tools wine wine64 fonts-wine fonts-dejavu-core xvfb xdotool util-linux)

# Making the Windows Qt kit from Debian's own qt6-base source (tools/build-qt-mingw.sh).
qt_source=(gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev perl python3
    dpkg-dev patch)

# The Debian package: CPack finds the library dependencies with dpkg-shlibdeps (dpkg-dev,
# file); checking the menu entry and the metainfo (desktop-file-utils, appstream).
package=(dpkg-dev file desktop-file-utils appstream)

# Benchmarks only: the peers xclock (x11-apps) and conky, instruction counts (valgrind), and
# watching the X server for a window's first paint (libxcb-damage0-dev).
bench=(xvfb xdotool x11-apps x11-utils valgrind libxcb-damage0-dev conky-std)

case "${1:-run}" in
run) packages=("${build[@]}") ;;
test) packages=("${build[@]}" "${e2e[@]}" "${window_managers[@]}" "${locales[@]}" "${fuzz[@]}"
    "${windows[@]}" "${package[@]}") ;;
bench) packages=("${build[@]}" "${bench[@]}") ;;
windows) packages=("${windows[@]}") ;;
qt-source) packages=("${windows[@]}" "${qt_source[@]}") ;;
package) packages=("${build[@]}" "${package[@]}") ;;
*) echo "usage: $0 run|test|bench|windows|qt-source|package" >&2; exit 2 ;;
esac

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed' ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
