#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those missing:
# run | test | bench | windows | qt-source | package.
set -euo pipefail

build=(cmake make g++ pkg-config qt6-base-dev libxcb1-dev)
# Cross-building for Windows and running the result under Wine, on Xvfb for the end-to-end check.
windows=(cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools xz-utils qt6-base-dev
    qt6-base-dev-tools wine wine64 fonts-wine fonts-dejavu-core xvfb xdotool util-linux)
package=(dpkg-dev file desktop-file-utils appstream)
# The big desktops' window managers and compositors for the end-to-end tests, each with a
# session bus of its own; marco aborts without its settings schema, kwin_x11 draws no frame
# without its Breeze decoration; sway's XWayland admits root through xhost; python3-xlib for
# the test's own watcher and misbehaving window managers.
desktops=(dbus-daemon xfwm4 marco mate-settings-daemon-common kwin-x11 kwin-style-breeze kwin-wayland
    mutter sway weston xwayland x11-xserver-utils python3-xlib)
case "${1:-run}" in
run) packages=("${build[@]}") ;;
test) packages=("${build[@]}" xvfb xdotool x11-utils imagemagick openbox icewm fluxbox metacity locales-all
    "${desktops[@]}" clang libclang-rt-14-dev "${windows[@]}" "${package[@]}") ;;
bench) packages=("${build[@]}" xvfb xdotool x11-apps x11-utils valgrind libxcb1-dev libxcb-damage0-dev conky-std) ;;
windows) packages=("${windows[@]}") ;;
qt-source) packages=("${windows[@]}" gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    mingw-w64-x86-64-dev perl python3 dpkg-dev patch) ;;
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
