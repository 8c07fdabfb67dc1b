#!/usr/bin/env bash
# Records benchmark: `tessaloom-cli index --records` on a folder of 20,000 Chromium
# cache records (pages sent gzip- or brotli-compressed or plain, pictures,
# compressed scripts and style sheets, binary data) against the floor of reading
# every file whole, with a warm page cache; then the build's peak memory.
#
# Usage: bench/records/run.sh [--runs N] [--clean]
# Environment: BUILD_DIR (default build/benchrec), BENCH_DIR (default
# /tmp/tessaloom-bench-records), SEED (default 1).
# Floor and build alternate run by run; the ratio is taken pair by pair and its
# median printed with its range, so a drift of the machine's speed cancels out.
# Goals: the first build (every thumbnail made) within 4 times the floor, the
# rebuild of the unchanged folder (thumbnails reused) within 1.5 times; peak
# memory under 100 MB.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build/benchrec}
FOLDER=${BENCH_DIR:-/tmp/tessaloom-bench-records}
SEED=${SEED:-1}
RUNS=9
while [[ $# -gt 0 ]]; do
    case $1 in
    --runs) RUNS=$2; shift 2 ;;
    --clean) rm -rf "$FOLDER" "$FOLDER.cache-home"; echo "removed $FOLDER"; exit 0 ;;
    *) sed -n '2,12p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 2 ;;
    esac
done

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALOOM_WERROR=OFF \
    -DTESSALOOM_BUILD_TESTS=OFF -DTESSALOOM_BUILD_BENCH=ON >/dev/null
cmake --build "$BUILD" -j2 --target tessaloom-cli tessaloom-gen-records tessaloom-read-whole \
    tessaloom-measure >/dev/null
CLI=$BUILD/src/cli/tessaloom-cli
FLOOR=$BUILD/bench/records/tessaloom-read-whole
MEASURE=$BUILD/bench/indexer/tessaloom-measure
# shellcheck source=../timing.sh
source "$ROOT/bench/timing.sh"

if [[ ! -f $FOLDER/.generated ]]; then
    rm -rf "$FOLDER"
    echo "== generating 20,000 records in $FOLDER (brotli at its best quality is slow)"
    "$BUILD/bench/records/tessaloom-gen-records" "$FOLDER" 20000 "$SEED"
    touch "$FOLDER/.generated"
fi
echo "== folder: $(find "$FOLDER" -maxdepth 1 -type f ! -name '.*' | wc -l) files, $(du -sm "$FOLDER" | cut -f1) MB"
# The pictures go to a cache home of the benchmark's own.
export XDG_CACHE_HOME=$FOLDER.cache-home
"$FLOOR" "$FOLDER" >/dev/null
"$CLI" index --records --quiet "$FOLDER"

# The first build makes every thumbnail (the store is emptied before each run); the
# rebuild of the unchanged folder takes them over from the last build.
FIRST="rm -rf '$XDG_CACHE_HOME/Tessaloom'; exec '$CLI' index --quiet '$FOLDER'"
# Runs floor and build in turn RUNS times and prints the medians and the ratio
# of wall times pair by pair ("wall user sys maxrss_kb status" per run).
paired() {
    local ratios=() builds=() floors=() peak=0 f b
    for ((i = 1; i <= RUNS; i++)); do
        f=$(measure "$FLOOR" "$FOLDER")
        b=$(measure sh -c "$1")
        floors+=("${f%% *}")
        builds+=("${b%% *}")
        ratios+=("$(awk -v a="${b%% *}" -v c="${f%% *}" 'BEGIN { printf "%.3f", a / c }')")
        read -r _ _ _ kb _ <<<"$b"
        ((kb > peak)) && peak=$kb
    done
    median() { printf '%s\n' "$@" | median_range | awk '{ printf "%s (%s-%s)", $1, $2, $3 }'; }
    echo "floor $(median "${floors[@]}") s, build $(median "${builds[@]}") s"
    echo "ratio $(median "${ratios[@]}"), peak memory $((peak / 1024)) MB"
}
echo "== first build (goal: within 4 times the floor)"
paired "$FIRST"
"$CLI" index --quiet "$FOLDER"
echo "== rebuild, unchanged (goal: within 1.5 times the floor)"
paired "exec '$CLI' index --quiet '$FOLDER'"
echo "== store: $(du -sk "$XDG_CACHE_HOME/Tessaloom" | cut -f1) KB"
