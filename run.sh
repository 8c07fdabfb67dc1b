#!/usr/bin/env bash
# Installs what is missing, builds Tessaloom and starts it:
#   ./run.sh                          opens the main window
#   ./run.sh FOLDER [index options]   indexes FOLDER from the command line, writes
#                                     FOLDER/!ndex.htm and prints where it went
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake --preset release >/dev/null
if [ $# -eq 0 ]; then
  cmake --build --preset release --target tessaloom
  exec ./build/release/src/app/tessaloom
fi
case $1 in
  -h | --help)
    echo "usage: ./run.sh                  (opens the window)" >&2
    echo "       ./run.sh FOLDER [--pattern P] [--exclude-images] [--only-images] [--keep-binary]" >&2
    exit 2 ;;
esac
folder=$1
shift
cmake --build --preset release --target tessaloom-cli
exec ./build/release/src/cli/tessaloom-cli index "$@" "$folder"
