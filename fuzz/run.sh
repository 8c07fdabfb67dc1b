#!/bin/sh
# Builds one libFuzzer target with Debian's clang (the build's "fuzz" preset, in
# build/fuzz) and runs it for a while.
#   fuzz/run.sh TARGET SECONDS [extra libFuzzer options]
# TARGET: index_reader | title_search | settings_file | cache_record. The corpus grows in fuzz/corpus-TARGET/
# (seeded from fuzz/seeds/TARGET/), crashes land in fuzz/out/TARGET-artifacts/.
# Not part of CI (it needs clang and libclang-rt-dev); CI replays the seeds through
# the fuzz_replay_TARGET tests instead.
set -eu

if [ $# -lt 2 ]; then
    echo "usage: $0 TARGET SECONDS [libFuzzer options]" >&2
    exit 2
fi
target=$1
seconds=$2
shift 2

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=$here/out
if [ ! -f "$here/${target}_fuzz.cpp" ]; then
    echo "$0: no target named '$target'" >&2
    exit 2
fi

mkdir -p "$out" "$out/$target-artifacts" "$here/corpus-$target"
if [ -d "$here/seeds/$target" ]; then
    cp -n "$here/seeds/$target"/* "$here/corpus-$target"/ 2>/dev/null || true
fi

# The fuzz preset instruments the whole core, so the fuzzer sees coverage in the code
# the target drives.
(cd "$root" && cmake --preset fuzz >/dev/null && cmake --build --preset fuzz --target "${target}_fuzzer")
binary=$root/build/fuzz/fuzz/${target}_fuzzer

exec "$binary" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$out/$target-artifacts/" "$@" "$here/corpus-$target"
