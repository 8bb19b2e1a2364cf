#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those missing, for one or more groups:
#   run | unit | test | bench | windows | qt-source | package | debian13
# This is the one list of the project's dependencies; each group says why it is needed. run,
# unit and package are the same on Debian 12 and 13 (tools/test-debian13.sh installs them in
# a Debian 13 tree); the others are Debian 12's.
set -euo pipefail

# Building the program. libxcb1-dev and pkg-config: the time's digits go to a window of their
# own over Qt's X11 connection (platform/native_digits_xcb.cpp); Qt already runs on libxcb, so
# nothing new is loaded at run time.
# qt6-wayland: Qt's Wayland platform, which the clock falls back to where a Wayland session has
# no working XWayland; loaded at run time, not linked. libicu-dev: each region's own date and
# time patterns (CLDR, clock_face/regional_clock_unix.cpp) from the ICU Qt Core already loads.
build=(cmake make g++ pkg-config qt6-base-dev libxcb1-dev qt6-wayland libicu-dev)

# The end-to-end tests: an X server without a screen and real mouse input (xvfb, xdotool);
# reading window positions and frame extents (x11-utils); looking at the labels on screen
# (imagemagick); mounting a full and a read-only disk, and running the clock as another user
# (util-linux); watching how a window is first shown, through the X server's RECORD extension
# (python3-xlib).
e2e=(xvfb xdotool x11-utils imagemagick util-linux python3-xlib)

# What desktops bring that changes the program's surroundings, so that the tests always run
# where it is possible: a session bus (dbus-daemon), which every run of the clock gets from its
# test (tests/e2e/lib/display.sh); dbus-x11, which XFCE, MATE and others install, and with which
# libdbus autolaunches a bus for a program that finds none (a daemon that outlives it), so the
# tests must give each run its bus or say none is wanted; at-spi2-core, the accessibility bus
# that screen readers use, which Qt's bridge joins when it runs.
# Reading the face as a screen reader does, and checking it against the region's own patterns
# without the program's code: an AT-SPI client (python3-pyatspi) and ICU (python3-icu).
session=(dbus-daemon dbus-x11 at-spi2-core python3-pyatspi python3-icu)

# The desktops the end-to-end tests run the clock under, each framing windows its own way: the
# packages column of tests/e2e/desktops.txt, which says why each is needed.
mapfile -t window_managers < <(awk '!/^#/ && NF {n = split($6, p, ","); for (i = 1; i <= n; i++) print p[i]}' \
    "$(dirname "$0")/../tests/e2e/desktops.txt" | sort -u)

# The clock-face tests under the locales of the regions they name, and with the fonts the
# desktops bring for their scripts, which the tests see through a fontconfig of their own
# (tests/fonts.conf.in): Noto for Arabic, Devanagari, Myanmar, Tibetan and the others, Noto CJK,
# DejaVu for a face of tabular digits.
locales=(locales-all fonts-noto-core fonts-noto-cjk fonts-dejavu-core)

# The libFuzzer targets.
fuzz=(clang libclang-rt-14-dev)

# Cross-building for Windows (Debian's moc and rcc serve the Windows Qt), and running the
# Windows tests and program under Wine, on Xvfb for the end-to-end check.
windows=(cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools xz-utils qt6-base-dev
    qt6-base-dev-tools wine wine64 fonts-wine fonts-dejavu-core xvfb xdotool util-linux)

# The Debian 13 stage (tools/test-debian13.sh): its tree is made from Debian's archive by
# debootstrap, and entered in a PID and mount namespace of its own (util-linux's unshare).
debian13=(debootstrap util-linux)

# Making the Windows Qt kit from Debian's own qt6-base source (tools/build-qt-mingw.sh).
qt_source=(gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev perl python3
    dpkg-dev patch)

# The Debian package: CPack finds the library dependencies with dpkg-shlibdeps (dpkg-dev,
# file); checking the menu entry and the metainfo (desktop-file-utils, appstream).
package=(dpkg-dev file desktop-file-utils appstream)

# Benchmarks only: the peers xclock (x11-apps) and conky, instruction counts (valgrind), and
# watching the X server for a window's first paint (libxcb-damage0-dev); the load on every core
# beside which the idle figures are taken again (stress-ng); the session bus a desktop gives its
# programs (dbus-daemon).
bench=(xvfb xdotool x11-apps x11-utils valgrind libxcb-damage0-dev conky-std stress-ng dbus-daemon)

packages=()
for group in "${@:-run}"; do
    case $group in
    run) packages+=("${build[@]}") ;;
    unit) packages+=("${build[@]}" "${locales[@]}") ;;
    test) packages+=("${build[@]}" "${e2e[@]}" "${session[@]}" "${window_managers[@]}" "${locales[@]}" "${fuzz[@]}"
        "${windows[@]}" "${package[@]}" "${debian13[@]}") ;;
    bench) packages+=("${build[@]}" "${bench[@]}") ;;
    windows) packages+=("${windows[@]}") ;;
    qt-source) packages+=("${windows[@]}" "${qt_source[@]}") ;;
    package) packages+=("${build[@]}" "${package[@]}") ;;
    debian13) packages+=("${debian13[@]}") ;;
    *) echo "usage: $0 [run|unit|test|bench|windows|qt-source|package|debian13]..." >&2; exit 2 ;;
    esac
done

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
