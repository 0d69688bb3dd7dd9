#!/usr/bin/env bash
# Peak resident memory of slimtag-batch over one 1 GB page of ordinary CR LF lines. The run holds
# one line at a time, so the peak must stay under 32 MB however large the page is.
#
#   scripts/measure-peak-rss.sh [PATH-TO-slimtag-batch]    (default: build/default/cli/slimtag-batch)
#   SIZE_MB=1024 (default) sets the page's size; TMPDIR where it is made.
set -euo pipefail

batch=${1:-build/default/cli/slimtag-batch}
[[ -x $batch ]] || { echo "$batch: not built; build first or give its path" >&2; exit 2; }
batch=$(realpath "$batch")
size_mb=${SIZE_MB:-1024}
limit_kb=$((32 * 1024))
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time is needed (Debian: apt-get install time)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/slimtag-rss-XXXXXX")
trap 'rm -rf "$work"' EXIT

# The page, the temporary file in the working directory and the new content written beside the
# page before it is renamed over it: three times the page, and some room to spare.
need_kb=$((size_mb * 1024 * 3 + 256 * 1024))
free_kb=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
if ((free_kb < need_kb)); then
  echo "need $((need_kb / 1024)) MB free in $work, $((free_kb / 1024)) MB there" >&2
  exit 2
fi

mkdir "$work/pages" "$work/cwd"
line=$'  <p class="western" style="margin-bottom: 0cm">Lorem ipsum&nbsp;dolor <font color="#FF0000">sit</font> amet.  </p>  \r'
lines=$((size_mb * 1024 * 1024 / (${#line} + 1)))
{ yes "$line" || true; } | head -n "$lines" >"$work/pages/big.htm"  # yes ends on SIGPIPE
echo "page: $(stat -c %s "$work/pages/big.htm") bytes, $lines lines of CR LF"

status=0
measure() {
  local name=$1
  shift
  cd "$work/cwd"
  if ! /usr/bin/time -v -o "$work/time.txt" "$batch" "$@" "$work/pages" >"$work/out.txt"; then
    echo "$name: slimtag-batch failed" >&2
    cat "$work/out.txt" >&2
    status=1
    return
  fi
  local rss elapsed
  rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")
  elapsed=$(awk -F': ' '/Elapsed \(wall clock\)/ { print $2 }' "$work/time.txt")
  local verdict="under"
  if ((rss >= limit_kb)); then
    verdict="OVER"
    status=1
  fi
  printf '%-10s peak RSS %6d KB (%5.1f MB), %s the 32 MB target; %s wall clock; %s\n' \
    "$name" "$rss" "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')" "$verdict" "$elapsed" \
    "$(tail -n 1 "$work/out.txt")"
}

measure "no boxes"
measure "all boxes" --check 1,2,3,4,7,8,9,10,11 --replace '<font' '<span' --remove ' style="margin-bottom: 0cm"'
exit "$status"
