#!/usr/bin/env bash
# Index build benchmark: times `tessaloom-cli index` against the floor (list the
# folder, read the first min(size, 100,000) bytes of every file, nothing else) on
# a synthetic cache of 20,000 files with a warm page cache, then measures the
# build's peak memory on 100,000 files.
#
# Usage: bench/indexer/run.sh [--runs N] [--no-memory] [--clean]
#   --runs N      timed runs of each program (default 15), interleaved
#   --no-memory   skip the 100,000-file memory run (and its 4 GB folder)
#   --clean       remove the generated folders and exit
# Environment: BUILD_DIR (default build/benchidx), BENCH_DIR (default
# /tmp/tessaloom-bench), SEED (default 1), MIX (mixed or small: mostly small pages
# and pictures; default mixed), INDEX_OPTIONS (say --keep-binary; default none).
#
# Goals: build wall time within 1.3 times the floor; peak RSS under 100 MB.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build/benchidx}
WORK=${BENCH_DIR:-/tmp/tessaloom-bench}
SEED=${SEED:-1}
MIX=${MIX:-mixed}
read -r -a INDEX_OPTIONS <<<"${INDEX_OPTIONS:-}"
RUNS=15
MEMORY=1

while [[ $# -gt 0 ]]; do
    case $1 in
    --runs) RUNS=$2; shift 2 ;;
    --no-memory) MEMORY=0; shift ;;
    --clean) rm -rf "$WORK"; echo "removed $WORK"; exit 0 ;;
    *) sed -n '2,15p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 2 ;;
    esac
done

echo "== build (Release) in $BUILD"
# Warnings stay warnings here: GCC 12 at -O3 reports false -Wrestrict hits in
# string concatenation, and a measurement should not fail over them.
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALOOM_WERROR=OFF \
    -DTESSALOOM_BUILD_TESTS=OFF -DTESSALOOM_BUILD_BENCH=ON >/dev/null
cmake --build "$BUILD" -j2 --target tessaloom-cli tessaloom-gen-cache tessaloom-read-floor \
    tessaloom-measure >/dev/null

CLI=$BUILD/src/cli/tessaloom-cli
GEN=$BUILD/bench/indexer/tessaloom-gen-cache
FLOOR=$BUILD/bench/indexer/tessaloom-read-floor
MEASURE=$BUILD/bench/indexer/tessaloom-measure
# shellcheck source=../timing.sh
source "$ROOT/bench/timing.sh"

# Generates a folder once; the hidden marker (never listed, never indexed) says
# that an earlier generation finished.
cache_folder() {
    local count=$1
    local folder=$WORK/cache-$count-seed$SEED
    [[ $MIX == mixed ]] || folder=$folder-$MIX
    if [[ ! -f $folder/.generated ]]; then
        rm -rf "$folder"
        mkdir -p "$WORK"
        echo "== generating $count files in $folder" >&2
        "$GEN" "$folder" "$count" "$SEED" "$MIX" >&2
        touch "$folder/.generated"
    fi
    echo "$folder"
}


# best and median of a column of numbers
stats() { median_range | awk '{ print $2, $1 }'; }

FOLDER=$(cache_folder 20000)
FILES=$(find "$FOLDER" -maxdepth 1 -type f ! -name '.*' | wc -l)
BYTES=$(du -sm "$FOLDER" | cut -f1)
echo "== folder: $FILES files (with the index page), $BYTES MB"
echo "   $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"

# Warm the page cache in the directory's order, unrelated to the names both
# programs read in, and let the build write its page once so that every timed
# run of both programs sees the same files.
"$FLOOR" --directory-order "$FOLDER" >/dev/null
"$CLI" index --quiet "${INDEX_OPTIONS[@]}" "$FOLDER" >/dev/null

floor_runs=()
index_runs=()
for ((i = 1; i <= RUNS; i++)); do
    # Interleaved, so that a burst of load on a shared machine hits both alike.
    floor_runs+=("$(measure "$FLOOR" "$FOLDER")")
    index_runs+=("$(measure "$CLI" index --quiet "${INDEX_OPTIONS[@]}" "$FOLDER")")
done

column() { printf '%s\n' "${@:2}" | awk -v c="$1" '{ print $c }'; }
cpu() { printf '%s\n' "$@" | awk '{ print $2 + $3 }'; }

read -r floor_best floor_median < <(column 1 "${floor_runs[@]}" | stats)
read -r index_best index_median < <(column 1 "${index_runs[@]}" | stats)
read -r floor_cpu_best floor_cpu_median < <(cpu "${floor_runs[@]}" | stats)
read -r index_cpu_best index_cpu_median < <(cpu "${index_runs[@]}" | stats)
ratio_best=$(awk -v a="$index_best" -v b="$floor_best" 'BEGIN { printf "%.2f", a / b }')
ratio_median=$(awk -v a="$index_median" -v b="$floor_median" 'BEGIN { printf "%.2f", a / b }')
ratio_cpu=$(awk -v a="$index_cpu_median" -v b="$floor_cpu_median" 'BEGIN { printf "%.2f", a / b }')
# The ratio pair by pair (each build against the floor run just before it): the
# figure that holds when the machine's speed drifts during the runs.
pair_ratios() {
    for ((k = 0; k < RUNS; k++)); do
        $1 "${index_runs[k]}" "${floor_runs[k]}"
    done | sort -g | awk '{ v[NR] = $1 } END {
        m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "%.2f %.2f %.2f\n", m, v[1], v[NR] }'
}
wall_ratio() { awk -v a="$1" -v b="$2" 'BEGIN { split(a, x, " "); split(b, y, " "); print x[1] / y[1] }'; }
cpu_ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { split(a, x, " "); split(b, y, " ")
        print (x[2] + x[3]) / (y[2] + y[3] > 0 ? y[2] + y[3] : 1e-6) }'
}
read -r pair_wall pair_wall_min pair_wall_max < <(pair_ratios wall_ratio)
read -r pair_cpu pair_cpu_min pair_cpu_max < <(pair_ratios cpu_ratio)

echo
echo "== $RUNS runs each, seconds        best   median   cpu(user+sys) median"
printf '   floor (read only)          %6.3f  %6.3f   %6.3f\n' "$floor_best" "$floor_median" "$floor_cpu_median"
printf '   tessaloom-cli index        %6.3f  %6.3f   %6.3f\n' "$index_best" "$index_median" "$index_cpu_median"
printf '   ratio index / floor        %6s  %6s   %6s\n' "$ratio_best" "$ratio_median" "$ratio_cpu"
echo "   ratio pair by pair ($RUNS alternating pairs): wall median $pair_wall" \
    "(min $pair_wall_min, max $pair_wall_max), cpu median $pair_cpu" \
    "(min $pair_cpu_min, max $pair_cpu_max)"
# Wall times on a machine that others load swing by half; the processor time of
# the program itself is the steadier figure then.
if awk -v l="$(cut -d' ' -f1 /proc/loadavg)" -v n="$(nproc)" 'BEGIN { exit !(l > n) }'; then
    echo "   (the machine is busy: wall times are unreliable, compare the cpu column)"
fi
if awk -v r="$pair_wall" 'BEGIN { exit !(r <= 1.3) }'; then
    echo "   goal (within 1.3 times the floor): met"
else
    echo "   goal (within 1.3 times the floor): MISSED"
fi

if [[ $MEMORY == 1 ]]; then
    BIG=$(cache_folder 100000)
    "$FLOOR" "$BIG" >/dev/null
    read -r wall _ _ rss _ < <(measure "$CLI" index --quiet "$BIG")
    rss_mb=$(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }')
    echo
    echo "== 100,000 files: index in ${wall%???} s, peak RSS $rss_mb MB (getrusage)"
    if [[ -x /usr/bin/time ]]; then
        hwm=$(/usr/bin/time -v "$CLI" index --quiet "$BIG" 2>&1 >/dev/null |
            awk -F': ' '/Maximum resident set size/ { print $2 }')
        echo "   /usr/bin/time -v: maximum resident set size $hwm kB"
    fi
    if awk -v r="$rss_mb" 'BEGIN { exit !(r < 100) }'; then
        echo "   goal (under 100 MB): met"
    else
        echo "   goal (under 100 MB): MISSED"
    fi
fi
