#!/usr/bin/env bash
# Whole-process timings of `table` with the day store over a year of simulated days:
#
#   warm:     table with every day in the store, against the program's start alone (--version in
#             the same alternation): median and quartiles in ms, and the mean CPU time of a run (what
#             the wall time comes down to on an idle machine). Target: at most 50 ms.
#   building: the first table, which fills an empty store, against table --no-store over the same
#             days, as interleaved pairs (one of each, alternately, so that a shared machine's load
#             falls on both alike): median ratio with its quartiles. Target: at most 1.2.
#   memory:   the peak memory (max RSS) of the building table and of table --no-store. Target: under
#             100 MiB.
#   history:  (with --history) the window's History of the year filled from the warm store, against
#             the same days taken from the store on one thread, by bench_window_latency --year on the
#             offscreen platform. Target: within 0.3 s.
#
#   bench/store-table.sh [--days N] [--pairs N] [--warm-runs N] [--history]
#
# The program is taken from $MARLIX_CLI, else from build/release (and bench_window_latency beside it
# in bench/ui). The days are written by its
# simulator into a temporary folder (about 20 MB a day), given modification times of two days ago, as
# finished logs have.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh

days=365
pairs=5
warm_runs=21
history=false
while [ $# -gt 0 ]; do
    case "$1" in
        --history) history=true ;;
        --days) days=$2; shift ;;
        --pairs) pairs=$2; shift ;;
        --warm-runs) warm_runs=$2; shift ;;
        *) echo "usage: $0 [--days N] [--pairs N] [--warm-runs N] [--history]" >&2; exit 2 ;;
    esac
    shift
done

cli=${MARLIX_CLI:-build/release/app/marlix-sqa-cli}
if [ ! -x "$cli" ]; then
    echo "no marlix-sqa-cli at $cli: build it (cmake --build --preset release --target marlix-sqa-cli) or set MARLIX_CLI" >&2
    exit 1
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/marlix-bench-store.XXXXXX")
trap 'rm -rf "$work"' EXIT
export LC_ALL=C

echo "machine: $(nproc) cores; load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
"$cli" simulate --out "$work/days" --days "$days" --end 2024-12-31 >/dev/null
touch -d '2 days ago' "$work"/days/*_rx_data.txt
sleep 3  # their change times a file-system time tick behind the first table
echo "days: $days files, $(du -sh "$work/days" | cut -f1)"
table=("$cli" table --data-dir "$work/days")

# building: a fresh store folder for every building run
: >"$work/fill" && : >"$work/logs" && : >"$work/ratio"
"${table[@]}" --no-store >/dev/null  # warm the page cache
for ((i = 0; i < pairs; i++)); do
    a=$(micros env XDG_CACHE_HOME="$work/none" "${table[@]}" --no-store)
    b=$(micros env XDG_CACHE_HOME="$work/cache-$i" "${table[@]}")
    echo "$a" >>"$work/logs"
    echo "$b" >>"$work/fill"
    awk -v a="$a" -v b="$b" 'BEGIN { printf "%.4f\n", b / a }' >>"$work/ratio"
done
read -r lm lq1 lq3 < <(awk '{ print $1 / 1000 }' "$work/logs" | quartiles)
read -r fm fq1 fq3 < <(awk '{ print $1 / 1000 }' "$work/fill" | quartiles)
read -r rm rq1 rq3 < <(quartiles <"$work/ratio")
echo "building: table --no-store ${lm} ms (${lq1}-${lq3}), first table filling the store ${fm} ms (${fq1}-${fq3}), medians and quartiles of $pairs interleaved pairs"
echo "building: ratio filling / --no-store: median ${rm}, quartiles ${rq1}-${rq3} (target at most 1.2)"
cmp <(env XDG_CACHE_HOME="$work/cache-0" "${table[@]}") <(env XDG_CACHE_HOME="$work/none" "${table[@]}" --no-store) &&
    echo "building: the table from the store is byte for byte the table from the logs"

# warm: every day in the store of the first building run
export XDG_CACHE_HOME=$work/cache-0
: >"$work/warm" && : >"$work/start"
warm_cpu=0
for ((i = 0; i < warm_runs; i++)); do
    micros "$cli" --version >>"$work/start"
    children_cpu_micros "$work/times" >"$work/before"
    micros "${table[@]}" >>"$work/warm"
    children_cpu_micros "$work/times" >"$work/after"
    warm_cpu=$((warm_cpu + $(cat "$work/after") - $(cat "$work/before")))
done
read -r sm sq1 sq3 < <(awk '{ print $1 / 1000 }' "$work/start" | quartiles)
read -r wm wq1 wq3 < <(awk '{ print $1 / 1000 }' "$work/warm" | quartiles)
echo "warm: table ${wm} ms, quartiles ${wq1}-${wq3}; the program's start alone (--version) ${sm} ms, quartiles ${sq1}-${sq3} ($warm_runs runs each, alternately; target at most 50 ms)"
awk -v c="$warm_cpu" -v n="$warm_runs" 'BEGIN { printf "warm: CPU time (user + system) of a table, mean %.1f ms\n", c / n / 1000 }'

fill_peak=$(XDG_CACHE_HOME="$work/cache-rss" rss_kib "${table[@]}")
logs_peak=$(rss_kib "${table[@]}" --no-store)
warm_peak=$(rss_kib "${table[@]}")
awk -v f="$fill_peak" -v l="$logs_peak" -v w="$warm_peak" 'BEGIN {
    printf "memory: max RSS filling %.1f MiB, --no-store %.1f MiB, warm %.1f MiB (target under 100 MiB)\n",
        f / 1024, l / 1024, w / 1024 }'
if $history; then
    window_bench=$(dirname "$cli")/../bench/ui/bench_window_latency
    # The middle of the days, so that the year around it is all simulated.
    middle=$(date -u -d "2024-12-31 - $((days / 2)) days" +%F)
    QT_QPA_PLATFORM=offscreen "$window_bench" --year "$work/days" "$middle" 7 2> >(grep -v 'does not support' >&2) |
        sed 's/^/history: /'
fi
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
