#!/usr/bin/env bash
# Index build through the windows: `tessaloom-bench-window` (frmMain loaded, its
# "Create Index File" clicked, the progress window shown) against
# `tessaloom-cli index` on the same generated 20,000-file cache, in the same run,
# on a private Xvfb display, the two alternating, with the ratio pair by pair;
# and the window's build alone (from the click to the page written) against the
# command line's whole run. Then the peak memory of each (/usr/bin/time -v).
#
# Usage: bench/gui/indexbuild.sh [--runs N] [--clean]
# Environment: BUILD_DIR (default build/benchgui), BENCH_DIR (default
# /tmp/tessaloom-bench, shared with bench/indexer/run.sh), SEED (default 1).
#
# Goals: the window's build within 1.2 times the command line's; its peak memory
# within 60 MB of the command line's.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build/benchgui}
WORK=${BENCH_DIR:-/tmp/tessaloom-bench}
SEED=${SEED:-1}
RUNS=9

while [[ $# -gt 0 ]]; do
    case $1 in
    --runs) RUNS=$2; shift 2 ;;
    --clean) rm -rf "$WORK"; echo "removed $WORK"; exit 0 ;;
    *) sed -n '2,14p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 2 ;;
    esac
done

for tool in Xvfb /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 2; }
done

echo "== build (Release) in $BUILD"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALOOM_WERROR=OFF \
    -DTESSALOOM_BUILD_TESTS=OFF -DTESSALOOM_BUILD_BENCH=ON >/dev/null
cmake --build "$BUILD" -j2 --target tessaloom-cli tessaloom-gen-cache tessaloom-bench-window \
    tessaloom-measure >/dev/null

CLI=$BUILD/src/cli/tessaloom-cli
GEN=$BUILD/bench/indexer/tessaloom-gen-cache
WINDOW=$BUILD/bench/gui/tessaloom-bench-window
MEASURE=$BUILD/bench/indexer/tessaloom-measure
# shellcheck source=../timing.sh
source "$ROOT/bench/timing.sh"

FOLDER=$WORK/cache-20000-seed$SEED
if [[ ! -f $FOLDER/.generated ]]; then
    rm -rf "$FOLDER"
    mkdir -p "$WORK"
    echo "== generating 20000 files in $FOLDER"
    "$GEN" "$FOLDER" 20000 "$SEED" >/dev/null
    touch "$FOLDER/.generated"
fi

# A display of our own, started once, so its start-up is in neither figure.
DISPLAY_NUMBER=$((90 + RANDOM % 400))
Xvfb ":$DISPLAY_NUMBER" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
trap 'kill "$XVFB_PID" 2>/dev/null || true' EXIT
export DISPLAY=":$DISPLAY_NUMBER"
export QT_QPA_PLATFORM=xcb
for _ in $(seq 50); do
    [[ -e /tmp/.X11-unix/X$DISPLAY_NUMBER ]] && break
    sleep 0.1
done

# The window's data home, made once: making and removing one in every run would
# be the benchmark's cost, not the window's.
export TESSALOOM_BENCH_HOME=$WORK/window-home
rm -rf "$TESSALOOM_BENCH_HOME"
mkdir -p "$TESSALOOM_BENCH_HOME"

# Warm the page cache; both programs then see the same files (with the index page).
"$CLI" index --quiet "$FOLDER" >/dev/null
"$WINDOW" "$FOLDER" >/dev/null


# The window's build alone, from the click to the page written, of each run.
export TESSALOOM_BENCH_BUILD_TIME=$WORK/window-build-seconds

window_runs=()
cli_runs=()
build_runs=()
for ((i = 1; i <= RUNS; i++)); do
    # Alternating, so that a burst of load on a shared machine hits both alike.
    cli_runs+=("$(measure "$CLI" index --quiet "$FOLDER")")
    rm -f "$TESSALOOM_BENCH_BUILD_TIME"
    window_runs+=("$(measure "$WINDOW" "$FOLDER")")
    build_runs+=("$(cat "$TESSALOOM_BENCH_BUILD_TIME")")
done

# One figure of every pair: window over command line, or of one program alone.
pairs() {
    for ((k = 0; k < RUNS; k++)); do
        awk -v a="${window_runs[k]}" -v b="${cli_runs[k]}" -v c="${build_runs[k]}" \
            -v what="$1" 'BEGIN {
            split(a, x, " "); split(b, y, " ")
            if (what == "wall") print x[1] / y[1]
            else if (what == "build") print c / y[1]
            else if (what == "clicked") print c
            else if (what == "cpu") print (x[2] + x[3]) / (y[2] + y[3] > 0 ? y[2] + y[3] : 1e-6)
            else if (what == "window") print x[1]
            else print y[1] }'
    done | median_range
}
read -r window_wall _ _ < <(pairs window)
read -r cli_wall _ _ < <(pairs cli)
read -r wall_ratio wall_min wall_max < <(pairs wall)
read -r cpu_ratio cpu_min cpu_max < <(pairs cpu)
echo "== $RUNS alternating pairs: window $window_wall s, command line $cli_wall s (wall medians)"
echo "   ratio window / command line, pair by pair: wall median $wall_ratio" \
    "(min $wall_min, max $wall_max), cpu median $cpu_ratio (min $cpu_min, max $cpu_max)"
read -r build_wall _ _ < <(pairs clicked)
read -r build_ratio build_min build_max < <(pairs build)
echo "   the window's build alone, from the click to the page written: $build_wall s, ratio to" \
    "the command line's whole run $build_ratio (min $build_min, max $build_max)"
if awk -v r="$wall_ratio" 'BEGIN { exit !(r <= 1.2) }'; then
    echo "   goal (within 1.2 times the command line): met"
else
    echo "   goal (within 1.2 times the command line): MISSED"
fi

peak() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ { print $2 }'; }
cli_kb=$(peak "$CLI" index --quiet "$FOLDER")
window_kb=$(peak "$WINDOW" "$FOLDER")
echo
echo "== peak memory (/usr/bin/time -v): window $((window_kb / 1024)) MB, command line $((cli_kb / 1024)) MB, difference $(((window_kb - cli_kb) / 1024)) MB (goal: under 60 MB)"
