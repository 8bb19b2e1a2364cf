#!/usr/bin/env bash
# run-tests.sh [--make-kit] [STAGE...]
# What CI runs (.ci/run): installs what is missing, then runs each stage and prints its time.
#   suite     the unit and widget tests (offscreen), then the end-to-end tests: the real
#             program under Xvfb and under every desktop of tests/e2e/desktops.txt
#   debian13  the program built and its unit and widget tests run in a Debian 13 tree (Qt 6.8,
#             GCC 14), and its package built and installed there (tools/test-debian13.sh)
#   windows   the Windows program cross-built, its tests and its zip under Wine; needs a Qt for
#             Windows kit (tools/build-windows.sh says where it looks): without one it is
#             skipped, saying so, unless --make-kit makes one (about 35 minutes); in CI a
#             missing kit fails
#   package   the Debian package installed and run by an ordinary user (as root only, as CI is)
#   asan      the unit, widget and bare-X end-to-end tests under AddressSanitizer and UBSan
#   fuzz      each fuzz target for FUZZ_SECONDS (60 unless set) from its committed corpus
# Naming stages runs only those. In CI (CI=true) a skipped stage or end-to-end desktop fails.
# The run fails, naming them, when a process it started still runs after its stages.
set -euo pipefail
cd "$(dirname "$0")/.."
make_kit=
[ "${1:-}" != --make-kit ] || { make_kit=--make-kit; shift; }
all=(suite debian13 windows package asan fuzz)
stages=("${@:-${all[@]}}")
for stage in "${stages[@]}"; do
    [[ " ${all[*]} " == *" $stage "* ]] || { echo "usage: $0 [--make-kit] [${all[*]}]..." >&2; exit 2; }
done
ci=${CI:-}
jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-60}
started=$SECONDS

# Every process this run starts carries its mark in its environment, also those its tests start
# with an environment of their own (they pass KORUVA_RUN on); the package stage's user is known
# by name. When the run ends none of them may be running: a test that leaves one behind fails
# the run, which names it. A mark, not a list of names (Xvfb, dbus-daemon, weston...), so that
# what the machine or another run on it has running is never counted.
KORUVA_RUN=$$-$RANDOM$RANDOM
export KORUVA_RUN
left_behind() {
    local pid line
    for pid in $({
        grep -lsz "^KORUVA_RUN=$KORUVA_RUN\$" /proc/[0-9]*/environ | cut -d/ -f3
        ps -u koruva-e2e -o pid= 2>/dev/null
    } | sort -un); do
        [ "$pid" != $$ ] || continue
        # The listing's own helpers have ended by now; a zombie has ended too.
        line=$(ps -o stat=,pid=,user=,args= -p "$pid" 2>/dev/null) || continue
        [[ $line == Z* ]] || echo "${line#* }"
    done
}
# Waits a little for what is still on its way out, then names and ends what is left.
nothing_left_behind() {
    local left deadline=$((SECONDS + 10))
    while left=$(left_behind) && [ -n "$left" ] && [ $SECONDS -lt $deadline ]; do sleep 0.2; done
    [ -n "$left" ] || return 0
    echo "== FAILED: still running after the run's stages (ended now):" >&2
    sed 's/^ */   /' <<<"$left" >&2
    awk '{print $1}' <<<"$left" | xargs -r kill -KILL 2>/dev/null || true
    return 1
}

tools/install-deps.sh test
summary=("install $((SECONDS - started)) s")

suite() {
    cmake --preset default >/dev/null
    cmake --build --preset default -j"$jobs"
    ctest --preset default -j"$jobs"
    ctest --preset e2e
}

debian13() {
    tools/test-debian13.sh
}

windows() {
    local log status=0
    log=$(mktemp)
    tools/build-windows.sh $make_kit | tee "$log" || status=$?
    local zip
    zip=$(tail -n 1 "$log") && rm "$log"
    if [ $status = 77 ]; then
        [ "$ci" != true ] || { echo "CI builds and tests the Windows program: it needs the kit" >&2; return 1; }
        return 77
    fi
    [ $status = 0 ] || return $status
    ctest --test-dir build-windows/tree -j"$jobs" --output-on-failure
    tests/e2e/wine_window.sh "$zip"
}

package() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "Debian package skipped: it installs the package system-wide, so it runs as root (as CI does)"
        [ "$ci" != true ] || return 1
        return 77
    fi
    local deb
    deb=$(tools/make-package.sh | tail -n 1)
    tests/e2e/installed_package.sh "$deb"
}

asan() {
    cmake --preset asan >/dev/null
    cmake --build --preset asan -j"$jobs"
    ctest --preset asan -j"$jobs"
}

fuzz() {
    cmake --preset fuzz >/dev/null
    cmake --build --preset fuzz -j"$jobs"
    local target scratch
    for target in line_reader position_number; do
        scratch=$(mktemp -d)
        build-fuzz/tests/fuzz/fuzz_$target -max_total_time="$fuzz_seconds" -timeout=10 -max_len=65536 \
            -print_final_stats=1 "$scratch" "tests/fuzz/corpus/$target" 2>"$scratch.log" ||
            { tail -n 40 "$scratch.log"; echo "fuzz_$target failed" >&2; return 1; }
        grep -E '^stat::number_of_executed_units' "$scratch.log" | sed "s/^/fuzz_$target: /"
        rm -rf "$scratch" "$scratch.log"
    done
}

for stage in "${stages[@]}"; do
    echo "== $stage"
    start=$SECONDS
    # In a subshell of its own, out of any || list, so that its first failing command ends it.
    set +e
    (
        set -e
        "$stage"
    )
    status=$?
    set -e
    case $status in
    0)
        summary+=("$stage $((SECONDS - start)) s")
        echo "== $stage passed in $((SECONDS - start)) s"
        ;;
    77) summary+=("$stage skipped") ;;
    *)
        echo "== $stage FAILED after $((SECONDS - start)) s" >&2
        nothing_left_behind || true
        exit 1
        ;;
    esac
done
nothing_left_behind || exit 1
echo "== nothing left running"
echo "== times: $(printf '%s, ' "${summary[@]}")total $((SECONDS - started)) s"
skipped=$(printf '%s\n' "${summary[@]}" | sed -n 's/ skipped$//p' | xargs)
echo "== all tests passed${skipped:+ (skipped: $skipped)}"
