#!/usr/bin/env bash
# bench/gui/run.sh [RUNS] [BUILD_DIR]
#
# Times the window program from process start to its main window shown (mapped on
# the screen), on a virtual X server, with a settings file and a suggested-folder
# list of 20 folders (50 files each) in throw-away homes. Prints each run and the
# median. Build first: cmake --preset release && cmake --build --preset release.
# Needs xvfb and xdotool (scripts/install-deps.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-15}
build=$(realpath "${2:-build/release}")
program=$build/src/app/tessaloom
[ -x "$program" ] || { echo "no program at $program: build first" >&2; exit 2; }

if [ "${TSL_BENCH_INNER:-0}" != 1 ]; then
  exec xvfb-run -a -s '-screen 0 1280x800x24 -noreset' env TSL_BENCH_INNER=1 "$0" "$runs" "$build"
fi

work=$(mktemp -d /tmp/tessaloom-guibench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_DATA_HOME/Tessaloom" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
list=$XDG_DATA_HOME/Tessaloom/folders.dat
: >"$list"
for i in $(seq -w 1 20); do
  folder=$XDG_CACHE_HOME/browser$i/Cache
  mkdir -p "$folder"
  for j in $(seq 1 50); do printf 'x' >"$folder/f_$j"; done
  printf '%s\r\n' "$folder" >>"$list"
done
printf '[General]\r\nShow Quick Start=No\r\nLast Major Version=99\r\nDirectory=%s\r\nMinimum File Count=10\r\n' \
  "$XDG_CACHE_HOME" >"$XDG_DATA_HOME/Tessaloom/TSL.INI"

times=()
for run in $(seq "$runs"); do
  start=$(date +%s%N)
  "$program" &
  pid=$!
  until xdotool search --onlyvisible --name '^Tessaloom$' >/dev/null 2>&1; do
    kill -0 "$pid" 2>/dev/null || { echo "the program ended before its window showed" >&2; exit 1; }
  done
  end=$(date +%s%N)
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  ms=$(((end - start) / 1000000))
  times+=("$ms")
  echo "run $run: ${ms} ms"
done
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
echo "median from start to main window shown: ${median} ms (goal under 400 ms)"
