#!/usr/bin/env bash
# Installs what is missing, builds a Release of the clock and packs it as a Debian package
# with CPack. Prints the package's path; install it with: sudo apt-get install ./koruva_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh package
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DKORUVA_BENCH=OFF \
    >/dev/null
cmake --build build-package --target koruva -j"$(nproc)"
(cd build-package && cpack -G DEB >/dev/null)
ls "$PWD"/build-package/koruva_*.deb
