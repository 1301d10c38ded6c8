#!/usr/bin/env bash
# Times the analysis of one simulated day file against `wc -l` on the same file (best of several
# runs, file in the page cache), and with --month the memory of a 31-file report.
#
#   bench/analysis-vs-wc.sh [--month] [--runs N]
#
# The program is taken from $MARLIX_CLI, else from build/release or build/core-dev.
set -euo pipefail
cd "$(dirname "$0")/.."

month=false
runs=7
while [ $# -gt 0 ]; do
    case "$1" in
        --month) month=true ;;
        --runs) runs=$2; shift ;;
        *) echo "usage: $0 [--month] [--runs N]" >&2; exit 2 ;;
    esac
    shift
done

cli=${MARLIX_CLI:-}
if [ -z "$cli" ]; then
    for candidate in build/release/app/marlix-sqa-cli build/core-dev/app/marlix-sqa-cli; do
        if [ -x "$candidate" ]; then cli=$candidate; break; fi
    done
fi
if [ -z "$cli" ] || [ ! -x "$cli" ]; then
    echo "no marlix-sqa-cli found: build it (cmake --build --preset release --target marlix-sqa-cli) or set MARLIX_CLI" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/marlix-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export LC_ALL=C

# Best wall time of a command in milliseconds, its output discarded.
best_ms() {
    local best="" start end elapsed i
    for ((i = 0; i < runs; i++)); do
        start=$(date +%s%N)
        "$@" >/dev/null
        end=$(date +%s%N)
        elapsed=$(( (end - start) / 1000 ))
        if [ -z "$best" ] || [ "$elapsed" -lt "$best" ]; then best=$elapsed; fi
    done
    awk -v us="$best" 'BEGIN { printf "%.2f", us / 1000 }'
}

"$cli" simulate --out "$work/day" --end 2024-03-05 >/dev/null
file="$work/day/2024-03-05_rx_data.txt"
cat "$file" >/dev/null
size=$(stat -c %s "$file")
lines=$(wc -l <"$file")
echo "day file: $size bytes, $lines lines"

wc_ms=$(best_ms wc -l "$file")
report_ms=$(best_ms "$cli" report --format text "$file")
echo "wc -l:                  $wc_ms ms (best of $runs)"
echo "report --format text:   $report_ms ms (best of $runs)"
awk -v a="$report_ms" -v b="$wc_ms" 'BEGIN { printf "ratio report / wc -l:   %.2f\n", a / b }'

if $month; then
    "$cli" simulate --out "$work/month" --days 31 --end 2024-03-31 >/dev/null
    : >"$work/empty.txt"
    rss_kib() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ { print $2 }'; }
    elapsed() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Elapsed \(wall clock\)/ { print $2 }'; }
    cat "$work"/month/*.txt >/dev/null
    base=$(rss_kib "$cli" report --format text "$work/empty.txt")
    month_rss=$(rss_kib "$cli" report --format text "$work"/month/*.txt)
    month_time=$(elapsed "$cli" report --format text "$work"/month/*.txt)
    month_bytes=$(cat "$work"/month/*.txt | wc -c)
    echo "31 files ($month_bytes bytes): elapsed $month_time, max RSS $month_rss KiB"
    echo "empty file: max RSS $base KiB"
    awk -v m="$month_rss" -v b="$base" 'BEGIN { printf "above start: %.1f MiB\n", (m - b) / 1024 }'
fi
