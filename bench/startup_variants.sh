#!/usr/bin/env bash
# Start-up of one program under variants of its environment, to the first frame that shows a
# picture (bench/startwatch), the variants' starts interleaved, on an Xvfb of our own: where a
# Qt window's start goes, and what a program may leave out.
#   bench/startup_variants.sh RUNS PROGRAM [ARGS...]
# Each line of stdin is one variant: a name, then VAR=VALUE words (none: as it is).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:?usage: $0 RUNS PROGRAM [ARGS...] <variants}
shift
source tests/e2e/lib/display.sh
new_xvfb /dev/null 1280x1024 || { echo "Xvfb did not start" >&2; exit 1; }
trap 'kill "$XVFB_PID" 2>/dev/null || true' EXIT
export DISPLAY=$XVFB_DISPLAY
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
WORK=$(mktemp -d)
trap 'kill "$XVFB_PID" 2>/dev/null || true; rm -rf "$WORK"' EXIT
names=()
declare -A settings
while read -r name rest; do
    [ -n "$name" ] || continue
    names+=("$name")
    settings[$name]=$rest
done
for _ in $(seq "$runs"); do
    for name in "${names[@]}"; do
        # shellcheck disable=SC2086 # the settings are words
        read -r pid _ _ picture < <(env ${settings[$name]} build-release/bench/startwatch "$@" 2>/dev/null)
        kill "$pid"
        while [ -e "/proc/$pid" ] && ! grep -q '^State:.*Z' "/proc/$pid/status" 2>/dev/null; do sleep 0.01; done
        echo "$picture" >>"$WORK/$name"
    done
done
base=${names[0]}
printf '%-24s %s\n' variant "ms to the first picture: median (min-max), median change against $base"
for name in "${names[@]}"; do
    sort -g "$WORK/$name" | awk -v n="$name" '{v[NR] = $1} END {m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%-24s %.1f (%.1f-%.1f)", n, m, v[1], v[NR]}'
    paste "$WORK/$name" "$WORK/$base" | awk '{print $1 - $2}' | sort -g |
        awk '{v[NR] = $1} END {m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf " %+.1f\n", m}'
done
