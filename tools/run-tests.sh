#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the suite (widget tests on the
# offscreen platform, end-to-end tests under an Xvfb of their own), the Windows program
# cross-built with its tests run under Wine and its zip checked end to end under Wine, the
# Debian package installed and run as an ordinary user (as root only, which CI is), the suite
# built with AddressSanitizer and UndefinedBehaviorSanitizer, and each fuzz target for
# FUZZ_SECONDS (60 unless set) from its committed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh test
jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-60}

echo "== test suite"
cmake --preset default -DBUILD_TESTING=ON >/dev/null
cmake --build --preset default -j"$jobs"
ctest --preset default -j"$jobs"

echo "== Windows: cross-build and zip, tests and end-to-end check under Wine"
windows_start=$SECONDS
log=$(mktemp)
tools/build-windows.sh | tee "$log"
zip=$(tail -n 1 "$log") && rm "$log"
ctest --test-dir build-windows/tree -j"$jobs" --output-on-failure
tests/e2e/wine_window.sh "$zip"
echo "== Windows stage: $((SECONDS - windows_start)) s"

echo "== Debian package: validated, installed as root, run as an ordinary user"
if [ "$(id -u)" -eq 0 ]; then
    deb=$(tools/make-package.sh | tail -n 1)
    tests/e2e/installed_package.sh "$deb"
else
    echo "skipped: it installs the package system-wide, so it runs as root (as CI does)"
fi

echo "== test suite under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$jobs"
ctest --preset asan -j"$jobs"

echo "== fuzzing, ${fuzz_seconds} s per target"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs"
for target in line_reader position_number; do
    scratch=$(mktemp -d)
    build-fuzz/tests/fuzz/fuzz_$target -max_total_time="$fuzz_seconds" -timeout=10 -max_len=65536 \
        -print_final_stats=1 "$scratch" "tests/fuzz/corpus/$target" 2>"$scratch.log" ||
        { tail -n 40 "$scratch.log"; echo "fuzz_$target failed" >&2; exit 1; }
    grep -E '^stat::number_of_executed_units' "$scratch.log" | sed "s/^/fuzz_$target: /"
    rm -rf "$scratch" "$scratch.log"
done
echo "== all tests passed"
