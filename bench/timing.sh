# Whole-process timing helpers of the bench scripts; sourced, not run.

# Wall time of one run in microseconds, output discarded (bash's own clock: no extra process).
micros() {
    local start end
    start=${EPOCHREALTIME/./}
    "$@" >/dev/null
    end=${EPOCHREALTIME/./}
    echo $((end - start))
}

# median, first and third quartile of the numbers on stdin
quartiles() {
    sort -g | awk '{ v[NR] = $1 } END {
        n = NR
        printf "%.2f %.2f %.2f\n", v[int((n + 1) / 2)], v[int((n + 3) / 4)], v[int((3 * n + 1) / 4)] }'
}

# Peak memory (max RSS) of one run in KiB.
rss_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }
