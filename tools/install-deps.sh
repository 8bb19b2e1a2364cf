#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those missing: run | test | bench | package.
set -euo pipefail

build=(cmake make g++ qt6-base-dev)
package=(dpkg-dev file desktop-file-utils appstream)
case "${1:-run}" in
run) packages=("${build[@]}") ;;
test) packages=("${build[@]}" xvfb xdotool x11-utils locales-all clang libclang-rt-14-dev "${package[@]}") ;;
bench) packages=("${build[@]}" xvfb xdotool x11-apps x11-utils valgrind libxcb1-dev libxcb-damage0-dev) ;;
package) packages=("${build[@]}" "${package[@]}") ;;
*) echo "usage: $0 run|test|bench|package" >&2; exit 2 ;;
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
