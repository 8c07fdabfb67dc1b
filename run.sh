#!/usr/bin/env bash
# Installs what is missing, builds Tessaloom and indexes a cache folder:
#   ./run.sh FOLDER [index options]
# writes FOLDER/!ndex.htm and prints where it went.
set -euo pipefail
cd "$(dirname "$0")"
if [ $# -lt 1 ]; then
  echo "usage: ./run.sh FOLDER [--pattern P] [--exclude-images] [--only-images] [--keep-binary]" >&2
  exit 2
fi
folder=$1
shift
./scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tessaloom-cli
exec ./build/release/src/cli/tessaloom-cli index "$@" "$folder"
