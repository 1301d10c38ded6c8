#!/usr/bin/env bash
# Whole-process timings of `report` against `wc -l` on the same input, as interleaved pairs (one of
# each, alternately), so that a shared machine's load falls on both alike. Prints the median ratio
# with its quartiles over the pairs, and the load average before and after.
#
#   bench/analysis-vs-wc.sh [--month] [--archives] [--pairs N]
#
#   one day:    report --format json of one simulated day against wc -l of the file
#   --month:    also report over 31 simulated day files against wc -l over the same files, and the
#               peak memory (max RSS) of that report above the report of an empty file
#   --archives: also report of the day compressed with zstd and with gzip, against
#               `zstd -dc FILE | wc -l` and `zcat FILE | wc -l` of the same archive
#
# The program is taken from $MARLIX_CLI, else from build/release or build/core-dev. Set $MARLIX_CLI_REF
# to a second build to have it timed in the same pairs (for before/after figures).
set -euo pipefail
cd "$(dirname "$0")/.."

month=false
archives=false
pairs=21
while [ $# -gt 0 ]; do
    case "$1" in
        --month) month=true ;;
        --archives) archives=true ;;
        --pairs | --runs) pairs=$2; shift ;;
        *) echo "usage: $0 [--month] [--archives] [--pairs N]" >&2; exit 2 ;;
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
ref=${MARLIX_CLI_REF:-}

work=$(mktemp -d "${TMPDIR:-/tmp}/marlix-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export LC_ALL=C

source bench/timing.sh

# The reference pipelines of the archives, as functions: no shell started in the timing.
zstd_wc() { zstd -dc "$1" | wc -l; }
zcat_wc() { zcat "$1" | wc -l; }

# [--ref LABEL] NAME CMD_A... -- CMD_B...: times both in alternation and prints medians and the
# ratio B / A; LABEL names the reference A (wc -l unless given).
compare() {
    local label="wc -l"
    if [ "$1" = --ref ]; then label=$2; shift 2; fi
    local name=$1 i a b r
    shift
    local -a first=() second=() third=()
    while [ "$1" != -- ]; do first+=("$1"); shift; done
    shift
    while [ $# -gt 0 ] && [ "$1" != -- ]; do second+=("$1"); shift; done
    if [ $# -gt 0 ]; then shift; third=("$@"); fi
    : >"$work/a" && : >"$work/b" && : >"$work/r" && : >"$work/c" && : >"$work/rc"
    "${first[@]}" >/dev/null && "${second[@]}" >/dev/null  # warm the cache
    for ((i = 0; i < pairs; i++)); do
        a=$(micros "${first[@]}")
        b=$(micros "${second[@]}")
        echo "$a" >>"$work/a"
        echo "$b" >>"$work/b"
        awk -v a="$a" -v b="$b" 'BEGIN { printf "%.4f\n", b / a }' >>"$work/r"
        if [ ${#third[@]} -gt 0 ]; then
            c=$(micros "${third[@]}")
            echo "$c" >>"$work/c"
            awk -v a="$a" -v c="$c" 'BEGIN { printf "%.4f\n", c / a }' >>"$work/rc"
        fi
    done
    read -r am _ _ < <(awk '{ print $1 / 1000 }' "$work/a" | quartiles)
    read -r bm _ _ < <(awk '{ print $1 / 1000 }' "$work/b" | quartiles)
    read -r rm rq1 rq3 < <(quartiles <"$work/r")
    echo "$name: $label ${am} ms, report ${bm} ms (medians of $pairs interleaved pairs)"
    echo "$name: ratio report / $label: median ${rm}, quartiles ${rq1}-${rq3}"
    if [ ${#third[@]} -gt 0 ]; then
        read -r cm _ _ < <(awk '{ print $1 / 1000 }' "$work/c" | quartiles)
        read -r cr cq1 cq3 < <(quartiles <"$work/rc")
        echo "$name: reference build ${cm} ms, ratio to $label: median ${cr}, quartiles ${cq1}-${cq3}"
    fi
}

echo "machine: $(nproc) cores; load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
"$cli" simulate --out "$work/day" --end 2024-03-05 >/dev/null
file="$work/day/2024-03-05_rx_data.txt"
echo "day file: $(stat -c %s "$file") bytes, $(wc -l <"$file") lines"
refday=()
[ -n "$ref" ] && refday=(-- "$ref" report --format json "$file")
compare "one day" wc -l "$file" -- "$cli" report --format json "$file" "${refday[@]}"

if $archives; then
    zstd -q -k "$file"
    gzip -k "$file"
    for kind in zst gz; do
        archive=$file.$kind
        ref_pipe=zstd_wc && label="zstd -dc | wc -l"
        [ $kind = gz ] && ref_pipe=zcat_wc && label="zcat | wc -l"
        echo ".$kind day: $(stat -c %s "$archive") bytes"
        refarchive=()
        [ -n "$ref" ] && refarchive=(-- "$ref" report --format json "$archive")
        compare --ref "$label" ".$kind day" "$ref_pipe" "$archive" -- \
            "$cli" report --format json "$archive" "${refarchive[@]}"
    done
fi

if $month; then
    "$cli" simulate --out "$work/month" --days 31 --end 2024-03-31 >/dev/null
    files=("$work"/month/*_rx_data.txt)
    echo "month: ${#files[@]} files, $(cat "${files[@]}" | wc -c) bytes"
    refmonth=()
    [ -n "$ref" ] && refmonth=(-- "$ref" report --format json "${files[@]}")
    compare "month" wc -l "${files[@]}" -- "$cli" report --format json "${files[@]}" "${refmonth[@]}"
    : >"$work/empty.txt"
    base=$(rss_kib "$cli" report --format json "$work/empty.txt")
    peak=0
    for ((i = 0; i < 3; i++)); do
        m=$(rss_kib "$cli" report --format json "${files[@]}")
        [ "$m" -gt "$peak" ] && peak=$m
    done
    awk -v m="$peak" -v b="$base" \
        'BEGIN { printf "month: max RSS %d KiB (highest of 3), empty file %d KiB: %.1f MiB above\n", m, b, (m - b) / 1024 }'
fi
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
