#!/usr/bin/env bash
# Records benchmark: `tessaloom-cli index --records` on a folder of 20,000 Chromium
# cache records (pages sent gzip- or brotli-compressed or plain, pictures,
# compressed scripts and style sheets, binary data) against the floor of reading
# every file whole, with a warm page cache; then the build's peak memory.
#
# Usage: bench/records/run.sh [--runs N] [--clean]
# Environment: BUILD_DIR (default build/benchrec), BENCH_DIR (default
# /tmp/tessaloom-bench-records), SEED (default 1).
# Uses farm-bench where installed (paired runs, median ratio), else a plain loop.
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
cmake --build "$BUILD" -j2 --target tessaloom-cli tessaloom-gen-records tessaloom-read-whole >/dev/null
CLI=$BUILD/src/cli/tessaloom-cli
FLOOR=$BUILD/bench/records/tessaloom-read-whole

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
if command -v farm-bench >/dev/null; then
    echo "== first build (goal: within 4 times the floor)"
    farm-bench -n "$RUNS" --timeout 1800 --vs "$FLOOR $FOLDER" -- sh -c "$FIRST"
    "$CLI" index --quiet "$FOLDER"
    echo "== rebuild, unchanged (goal: within 1.5 times the floor)"
    farm-bench -n "$RUNS" --timeout 1800 --vs "$FLOOR $FOLDER" -- "$CLI" index --records --quiet "$FOLDER"
    echo "== store: $(du -sk "$XDG_CACHE_HOME/Tessaloom" | cut -f1) KB"
else
    for ((i = 1; i <= RUNS; i++)); do
        /usr/bin/time -f "floor %e s  %U user %S sys" "$FLOOR" "$FOLDER" >/dev/null
        /usr/bin/time -f "index %e s  %U user %S sys  %M KB peak" "$CLI" index --records --quiet "$FOLDER" >/dev/null
    done
fi
