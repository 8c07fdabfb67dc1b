#!/bin/sh
# Builds one libFuzzer target with Debian's clang and runs it for a while.
#   fuzz/run.sh TARGET SECONDS [extra libFuzzer options]
# TARGET: index_reader | title_search | settings_file | cache_record. The corpus grows in fuzz/corpus-TARGET/
# (seeded from fuzz/seeds/TARGET/), crashes land in fuzz/out/TARGET-artifacts/.
# Not part of CI: it needs clang and libclang-rt-dev.
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
src=$root/src
out=$here/out
source=$here/${target}_fuzz.cpp
if [ ! -f "$source" ]; then
    echo "$0: no target named '$target'" >&2
    exit 2
fi

CXX=${CXX:-clang++}
mkdir -p "$out" "$out/$target-artifacts" "$here/corpus-$target"
if [ -d "$here/seeds/$target" ]; then
    cp -n "$here/seeds/$target"/* "$here/corpus-$target"/ 2>/dev/null || true
fi

# The core's platform, indexer (with its record readers), wizard and shell sources: all a
# target can reach.
binary=$out/$target
"$CXX" -std=c++20 -g -O1 -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I "$src" "$source" \
    -DTESSALOOM_VERSION_MAJOR=5 -DTESSALOOM_VERSION_MINOR=4 -DTESSALOOM_VERSION_PATCH=1 \
    "$src"/platform/*.cpp "$src"/indexer/*.cpp "$src"/indexer/records/*.cpp \
    "$src"/wizard/*.cpp "$src"/shell/*.cpp \
    $(pkg-config --libs zlib libbrotlidec libzstd) \
    -o "$binary"

exec "$binary" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$out/$target-artifacts/" "$@" "$here/corpus-$target"
