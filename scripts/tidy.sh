#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) on the program's sources and fails on
# any finding. Needs a configured build for its compile commands.
#   scripts/tidy.sh [BUILD_DIR]     the sources changed since the merge base with
#                                   TIDY_BASE (default main), or every source when
#                                   there is no such base or it is HEAD itself (as in
#                                   CI, on main)
#   TIDY_ALL=1 scripts/tidy.sh      every source
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
[ -f "$build/compile_commands.json" ] || { echo "tidy: configure $build first" >&2; exit 2; }
command -v clang-tidy >/dev/null || { echo "tidy: clang-tidy missing (apt-get install clang-tidy)" >&2; exit 2; }

all_sources() { git ls-files 'src/*.cpp' 'fuzz/*.cpp'; }

base=""
if [ -z "${TIDY_ALL:-}" ]; then
  base=$(git merge-base HEAD "${TIDY_BASE:-main}" 2>/dev/null || true)
  [ "$base" = "$(git rev-parse HEAD)" ] && base=""
fi
if [ -z "$base" ]; then
  mapfile -t files < <(all_sources)
else
  # A changed header brings its own source along; sources that are gone are dropped.
  mapfile -t files < <(git diff --name-only "$base" -- 'src/*.cpp' 'src/*.h' 'fuzz/*.cpp' |
    sed 's/\.h$/.cpp/' | sort -u | while read -r f; do [ -f "$f" ] && echo "$f"; done)
fi
[ ${#files[@]} -gt 0 ] || { echo "tidy: no source changed"; exit 0; }
echo "tidy: ${#files[@]} files"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
printf '%s\n' "${files[@]}" |
  xargs -P "${TIDY_JOBS:-2}" -n 1 clang-tidy -p "$build" --quiet >"$log" 2>&1 || status=$?
grep -v -E '^[0-9]+ (warning|error)s? (and [0-9]+ (warning|error)s? )?generated\.$' "$log" || true
[ $status -eq 0 ] && echo "tidy: clean"
exit $status
