# Shared by the benchmark scripts, sourced after they set MEASURE to the path of
# tessaloom-measure.

# "wall user sys maxrss_kb status" of one run; fails the script if the program did.
measure() {
    local line
    line=$("$MEASURE" "$@")
    if [[ ${line##* } != 0 ]]; then
        echo "run failed (exit ${line##* }): $*" >&2
        exit 1
    fi
    echo "$line"
}

# "median least greatest" of a column of numbers
median_range() {
    sort -g | awk '{ v[NR] = $1 } END {
        m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "%.3f %.3f %.3f\n", m, v[1], v[NR] }'
}
