#!/bin/sh
# Checks that every C++ file of the tree is formatted by the repository's .clang-format, with
# Debian 12's clang-format (version 14; CLANG_FORMAT names another). Lists the files that are not
# and exits 1; reformat them with `clang-format -i FILE...`.
set -eu
cd "$(dirname "$0")/.."
clang_format=${CLANG_FORMAT:-clang-format}
command -v "$clang_format" >/dev/null || {
  echo "check-format.sh: $clang_format не найден (пакет clang-format)" >&2
  exit 2
}
case "$("$clang_format" --version)" in
  *" version 14."*) ;;
  *) echo "check-format.sh: $("$clang_format" --version) is not version 14, which the tree is" \
    "formatted with; its verdict may differ" >&2 ;;
esac
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  files=$(git ls-files '*.cpp' '*.h' '*.cc' '*.hpp')
else
  files=$(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print | sed 's|^\./||')
fi
bad=""
count=0
for f in $files; do
  count=$((count + 1))
  "$clang_format" --dry-run --Werror "$f" >/dev/null 2>&1 || bad="$bad $f"
done
if [ -n "$bad" ]; then
  echo "check-format.sh: not formatted by .clang-format:" >&2
  for f in $bad; do echo "  $f" >&2; done
  exit 1
fi
echo "check-format.sh: $count C++ files formatted"
