#!/usr/bin/env bash
# The window's run against slimtag-batch on the same folder of small pages with the same boxes:
# PAGES copies, round robin, of the corpus's pages under 8 KB in their CR LF form, in one folder
# on the checkout's disk. Each round gives both a fresh copy of the folder, synced before the
# clock starts (pages already on disk), and times the whole process: window_run_bench (the window
# started offscreen on the folder, every page selected, «Оптимизировать» clicked, until the run's
# end is shown) and slimtag-batch. window_run_bench also prints the run alone, click to end.
# Prints the medians.
#
#   bench/window-vs-batch.sh [--pages N] [--rounds N] [--boxes 1,2,...] [--corpus PATH]
#                            [--build DIR]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
pages=20000
rounds=3
boxes=1,2,3,4,7,8,9,10,11
corpus=${SLIMTAG_CORPUS:-$root/../shared/corpus}
build=$root/build/test
while (($#)); do
  case $1 in
    --pages) pages=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --boxes) boxes=$2; shift 2 ;;
    --corpus) corpus=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) echo "unknown option $1 (see the head of $0)" >&2; exit 64 ;;
  esac
done

batch=$build/cli/slimtag-batch
window=$build/bench/window/window_run_bench
for tool in "$batch" "$window"; do
  [[ -x $tool ]] || { echo "$tool: not built (cmake --build --preset test)" >&2; exit 2; }
done
archive=$corpus
[[ -d $corpus ]] && archive=$corpus/pages.tar.gz
[[ -f $archive ]] || { echo "no corpus at $corpus (give --corpus or SLIMTAG_CORPUS)" >&2; exit 2; }

scratch=$(mktemp -d "${BENCH_DISK:-$build}/slimtag-window-bench-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
tar -xzf "$archive" -C "$scratch"
mapfile -t small < <(find "$scratch/corpus" -type f -size -8k | sort)
((${#small[@]})) || { echo "no page under 8 KB in the corpus" >&2; exit 2; }
sed -i 's/$/\r/' "${small[@]}"
mkdir "$scratch/pages"
for ((i = 0; i < pages; ++i)); do cp "${small[i % ${#small[@]}]}" "$scratch/pages/page$i.htm"; done
bytes=$(du -sb --apparent-size "$scratch/pages" | cut -f1)
echo "$pages pages ($bytes bytes, ${#small[@]} corpus pages under 8 KB), boxes $boxes" >&2

now() { echo "$EPOCHREALTIME"; }
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
fresh() { rm -rf "$scratch/work" && cp -r "$scratch/pages" "$scratch/work" && sync; }

declare -a window_times window_runs batch_times
for ((round = 0; round < rounds; ++round)); do
  fresh
  start=$(now)
  out=$(cd "$scratch" && "$window" work "$boxes")
  end=$(now)
  window_times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
  window_runs+=("$(sed -n 's/.*run \([0-9]*\) ms.*/\1/p' <<<"$out" | awk '{ print $1 / 1000 }')")
  grep -q "^$pages файл(ов) обработано" <<<"$out" || { echo "window: $out" >&2; exit 1; }
  check_window=$(cat "$scratch/work"/page0.htm | sha1sum)

  fresh
  start=$(now)
  (cd "$scratch" && "$batch" --check "$boxes" work >/dev/null)
  end=$(now)
  batch_times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
  [[ $(cat "$scratch/work"/page0.htm | sha1sum) == "$check_window" ]] ||
    { echo "the two made different pages" >&2; exit 1; }
done

w=$(printf '%s\n' "${window_times[@]}" | median)
r=$(printf '%s\n' "${window_runs[@]}" | median)
b=$(printf '%s\n' "${batch_times[@]}" | median)
printf 'seconds, median of %d rounds, %d pages of %d bytes in all\n' "$rounds" "$pages" "$bytes"
printf '%-48s %8.3f\n' "window, whole process" "$w"
printf '%-48s %8.3f\n' "window, click to the run's end shown" "$r"
printf '%-48s %8.3f\n' "slimtag-batch, whole process" "$b"
printf '%-48s %8.2f\n' "window / slimtag-batch (whole processes)" "$(awk -v w="$w" -v b="$b" 'BEGIN { print w / b }')"
