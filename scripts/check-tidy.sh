#!/bin/sh
# Runs clang-tidy with the repository's .clang-tidy on the engine's sources (engine/,
# engine/posix/, engine/passes/), with the compile commands of a configured build (build/test, or
# the folder given), every finding an error. Lists the findings and exits 1. The files are checked
# CMAKE_BUILD_PARALLEL_LEVEL at a time, else as many as there are processors.
#
#   cmake --preset test && scripts/check-tidy.sh [BUILD_FOLDER]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build/test}
clang_tidy=${CLANG_TIDY:-clang-tidy}
command -v "$clang_tidy" >/dev/null || {
  echo "check-tidy.sh: $clang_tidy не найден (пакет clang-tidy)" >&2
  exit 2
}
[ -f "$build/compile_commands.json" ] || {
  echo "check-tidy.sh: $build/compile_commands.json не найден; сначала cmake --preset test" >&2
  exit 2
}
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  files=$(git ls-files 'engine/*.cpp')
else
  files=$(find engine -name '*.cpp' | sort)
fi
jobs=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
count=$(printf '%s\n' $files | wc -l)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
# shellcheck disable=SC2086 # one word per file
printf '%s\n' $files |
  xargs -P "$jobs" -n 1 "$clang_tidy" -p "$build" --quiet --warnings-as-errors='*' >"$log" 2>&1 ||
  status=1
# Without the count of each file's warnings in the headers of other folders, which are not shown.
grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' "$log" >&2 || true
if [ "$status" -ne 0 ]; then
  echo "check-tidy.sh: clang-tidy finds the above in the engine's sources" >&2
  exit 1
fi
echo "check-tidy.sh: $count engine sources pass clang-tidy"
