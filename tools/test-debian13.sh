#!/usr/bin/env bash
# Builds the program and its tests in a Debian 13 (trixie) tree made from Debian's own archive
# and runs the unit and widget tests there, so that Qt 6.8 and GCC 14 are proven on every
# change beside Debian 12's Qt 6.4 and GCC 12; then packs the Debian package there and
# installs it, so that its dependencies are Debian 13's. Warnings are errors in that build.
#
# The tree is made once per machine with debootstrap and kept in KORUVA_DEBIAN13_CACHE
# (/var/cache/koruva unless set), one folder per release, architecture and recipe; it is made
# anew when older than 30 days, so that it follows the release's updates. The build stays in
# build-debian13/, so a second run builds only what changed. Needs root for debootstrap,
# chroot and mounts: run as another user, it asks sudo. KORUVA_DEBIAN_MIRROR names another
# mirror of Debian's archive.
set -euo pipefail
cd "$(dirname "$0")/.."

# Inside: the first process of a PID and mount namespace of its own, so that nothing started
# in the tree outlives the stage and no mount is seen outside it.
if [ "${1:-}" = --inside ]; then
    tree=$2 repo=$3 build=$4 jobs=$5
    mount -t proc proc "$tree/proc"
    mount --rbind /dev "$tree/dev"
    mkdir -p "$tree/src" "$tree/build"
    mount --bind "$repo" "$tree/src"
    mount -o remount,bind,ro "$tree/src"
    mount --bind "$build" "$tree/build"
    cp /etc/resolv.conf "$tree/etc/resolv.conf"
    exec chroot "$tree" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        ${KORUVA_RUN:+KORUVA_RUN=$KORUVA_RUN} \
        /bin/bash -euo pipefail -c '
        /src/tools/install-deps.sh unit package >/build/install-deps.log 2>&1 ||
            { tail -n 30 /build/install-deps.log; exit 1; }
        apt-get clean
        echo "== Debian $(cat /etc/debian_version), Qt $(dpkg-query -W -f="\${Version}" qt6-base-dev), $(g++ --version | head -n 1)"
        cmake -S /src -B /build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON \
            -DKORUVA_BENCH=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
        cmake --build /build -j"$1"
        ctest --test-dir /build -LE e2e -j"$1" --output-on-failure --no-tests=error
        (cd /build && rm -f koruva_*.deb && cpack -G DEB >/dev/null)
        deb=$(ls /build/koruva_*.deb)
        echo "== $(basename "$deb"): Depends: $(dpkg-deb -f "$deb" Depends)"
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
        koruva_path=$(command -v koruva)
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq koruva >/dev/null
        echo "== the package installs on Debian 13 ($koruva_path)"
    ' stage "$jobs"
fi

[ "$(id -u)" -eq 0 ] || exec sudo --preserve-env=KORUVA_DEBIAN13_CACHE,KORUVA_DEBIAN_MIRROR "$0" "$@"
tools/install-deps.sh debian13

release=trixie
arch=$(dpkg --print-architecture)
mirror=${KORUVA_DEBIAN_MIRROR:-http://deb.debian.org/debian}
cache=${KORUVA_DEBIAN13_CACHE:-/var/cache/koruva}
# The recipe's number changes whenever the way the tree is made does.
tree=$cache/debian13-$release-$arch-minbase-1
mkdir -p "$cache"
exec 9>"$cache/debian13.lock"
# One run at a time uses the tree (another clone's CI, say).
flock 9

if [ -n "$(find "$tree/.koruva-made" -mtime -30 2>/dev/null)" ]; then
    echo "== Debian 13 tree: $tree (made $(date -r "$tree/.koruva-made" +%F))"
else
    echo "== making the Debian 13 tree from $mirror in $tree"
    rm -rf "$tree" "$tree.partial"
    debootstrap --variant=minbase --keyring=/usr/share/keyrings/debian-archive-keyring.gpg \
        "$release" "$tree.partial" "$mirror" >"$cache/debootstrap.log" 2>&1 ||
        { tail -n 20 "$cache/debootstrap.log"; echo "debootstrap failed" >&2; exit 1; }
    mv "$tree.partial" "$tree"
    touch "$tree/.koruva-made"
fi

build=$PWD/build-debian13
mkdir -p "$build"
status=0
unshare --mount --propagation private --pid --fork --kill-child \
    "$PWD/tools/test-debian13.sh" --inside "$tree" "$PWD" "$build" "$(nproc)" || status=$?
# A developer's build folder stays theirs.
[ -z "${SUDO_UID:-}" ] || chown -R "$SUDO_UID:$SUDO_GID" "$build"
exit $status
