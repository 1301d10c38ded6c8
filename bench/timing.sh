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

# CPU time (user + system) in microseconds that the shell's finished children have used so far, from
# the builtin `times`: with the wall time of a run on a loaded machine, it shows the run's own work.
# The builtin writes to a scratch file (argument 1): in a pipe or $(...) it would run in a subshell,
# which has no finished children.
children_cpu_micros() {
    times >"$1"
    awk 'NR == 2 {
        total = 0
        for (i = 1; i <= 2; i++) { split($i, t, "m"); total += t[1] * 60 + substr(t[2], 1, length(t[2]) - 1) }
        printf "%d\n", total * 1000000 }' "$1"
}
