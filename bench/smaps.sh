#!/usr/bin/env bash
# Where a running process's memory is: Rss and Pss in kB by what is mapped (a file's name, or
# [heap], [anon] for anonymous memory, [stack] ...), largest Rss first.
#   bench/smaps.sh PID [PID_TO_SUBTRACT]
# With a second PID, each mapping's figures are the first process's minus the second's: where
# the first stands above it.
set -euo pipefail
by_mapping() {
    awk '
        /^[0-9a-f]+-[0-9a-f]+ / {name = NF >= 6 ? $6 : "[anon]"; sub(/.*\//, "", name); next}
        $1 == "Rss:" {rss[name] += $2}
        $1 == "Pss:" {pss[name] += $2}
        END {for (n in rss) print n, rss[n], pss[n]}' "/proc/$1/smaps"
}
if [ $# -ge 2 ]; then
    join -a 1 -a 2 -e 0 -o 0,1.2,1.3,2.2,2.3 <(by_mapping "$1" | sort) <(by_mapping "$2" | sort) |
        awk '{printf "%-40s %8d %8d\n", $1, $2 - $4, $3 - $5}'
else
    by_mapping "$1" | awk '{printf "%-40s %8d %8d\n", $1, $2, $3}'
fi | sort -k2,2nr | awk 'BEGIN {printf "%-40s %8s %8s\n", "mapping", "Rss kB", "Pss kB"} {print; r += $2; p += $3} END {printf "%-40s %8d %8d\n", "total", r, p}'
