#!/usr/bin/env bash
# Builds the Debian package of Tessaloom from an optimised build and prints its path.
# Install it with: sudo apt install ./build/release/tessaloom_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset release
cmake --build --preset release
(cd build/release && cpack -G DEB >/dev/null)
ls "$PWD"/build/release/tessaloom_*.deb
