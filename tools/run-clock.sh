#!/usr/bin/env bash
# Installs what is missing, builds the clock and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh run
# The everyday preset, so a later "ctest --preset default" finds the tests it builds.
cmake --preset default >/dev/null
cmake --build --preset default --target koruva -j"$(nproc)"
exec build/koruva
