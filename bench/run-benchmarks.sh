#!/usr/bin/env bash
# Every figure of the run's performance table, side by side with the durable floor (bench/floor),
# `cp -r` and `minify -r`: the corpus on disk and on tmpfs, LF and CR LF form, pages freshly
# written and already on disk, every line box and no box; a generated folder of small pages on
# disk; the passes alone in memory; the peak memory on a 1 GB CR LF page with and without
# joining. Commands are interleaved round by round; the table gives median times and the medians
# of the per-round ratios.
#
#   bench/setup-bench.sh                    (once: minify and GNU time)
#   bench/run-benchmarks.sh [--rounds N] [--small-pages N] [--small-rounds N] [--rss-mb N]
#                           [--skip-small] [--skip-rss] [--corpus PATH] [--build DIR]
#                           [--before DIR]
#
# --before names the build folder of an earlier version: its slimtag-batch and passes_bench then
# run in the same rounds, beside this build's, for a table of before and after.
# The corpus is --corpus, else $SLIMTAG_CORPUS, else ../shared/corpus beside the checkout (a
# folder holding pages.tar.gz, the archive itself, or a folder of unpacked pages). Scratch folders
# go to $BENCH_DISK (default: the build folder, on the checkout's disk) and $BENCH_TMPFS (default
# /dev/shm).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
rounds=5
small_pages=100000
small_rounds=3
rss_mb=1024
skip_small=false
skip_rss=false
corpus=${SLIMTAG_CORPUS:-$root/../shared/corpus}
build=$root/build/test
before=
while (($#)); do
  case $1 in
    --rounds) rounds=$2; shift 2 ;;
    --small-pages) small_pages=$2; shift 2 ;;
    --small-rounds) small_rounds=$2; shift 2 ;;
    --rss-mb) rss_mb=$2; shift 2 ;;
    --skip-small) skip_small=true; shift ;;
    --skip-rss) skip_rss=true; shift ;;
    --corpus) corpus=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --before) before=$2; shift 2 ;;
    *) echo "unknown option $1 (see the head of $0)" >&2; exit 64 ;;
  esac
done

batch=$build/cli/slimtag-batch
floor=$build/bench/floor/durable_floor
passes_bench=$build/bench/passes/passes_bench
[[ -z $before ]] || before=$(realpath "$before")
before_batch=${before:+$before/cli/slimtag-batch}
before_passes_bench=${before:+$before/bench/passes/passes_bench}
for tool in "$batch" "$floor" "$passes_bench" $before_batch $before_passes_bench; do
  [[ -x $tool ]] || { echo "$tool: not built (cmake --build --preset test)" >&2; exit 2; }
done
for tool in minify /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "$tool: missing; run bench/setup-bench.sh" >&2; exit 2; }
done
export SLIMTAG_CORPUS=$corpus  # for passes_bench

disk=$(mktemp -d "${BENCH_DISK:-$build}/slimtag-bench-XXXXXX")
tmpfs=$(mktemp -d "${BENCH_TMPFS:-/dev/shm}/slimtag-bench-XXXXXX")
trap 'rm -rf "$disk" "$tmpfs"' EXIT

# --- The corpus in both forms, in both places -----------------------------------------------
unpack() {  # unpack DEST: the LF form of the corpus's pages into DEST
  mkdir -p "$1"
  if [[ -d $corpus && -f $corpus/pages.tar.gz ]]; then
    tar -xzf "$corpus/pages.tar.gz" -C "$1"
  elif [[ -f $corpus ]]; then
    tar -xzf "$corpus" -C "$1"
  elif [[ -d $corpus ]]; then
    cp -r "$corpus/." "$1"
  else
    echo "no corpus at $corpus (give --corpus or SLIMTAG_CORPUS)" >&2
    exit 2
  fi
  if [[ -d $1/corpus ]]; then mv "$1/corpus"/* "$1/" && rmdir "$1/corpus"; fi
}
for place in "$disk" "$tmpfs"; do
  unpack "$place/lf"
  cp -r "$place/lf" "$place/crlf"
  find "$place/crlf" -type f -exec sed -i 's/$/\r/' {} +
done
# The folders that hold pages, for the durable floor, which takes them one by one.
mapfile -t folders < <(cd "$disk/lf" && find . -type f | sed 's|/[^/]*$||' | sort -u)
corpus_bytes() { du -sb --apparent-size "$disk/$1" | cut -f1; }

# --- Timing ------------------------------------------------------------------------------------
now() { echo "$EPOCHREALTIME"; }
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# The commands compared. Each works on the folder "work" (a fresh copy of the pages) in the
# scratch place given, with the working directory there.
run_tool() {  # run_tool TOOL PLACE
  local tool=$1 place=$2 f
  case $tool in
    slimtag) "$batch" -r --check 1,2,3,4,7,8,9,10,11 work >/dev/null ;;
    slimtag-none) "$batch" -r work >/dev/null ;;
    before) "$before_batch" -r --check 1,2,3,4,7,8,9,10,11 work >/dev/null ;;
    floor) "$floor" "${folders[@]/#/work/}" ;;
    minify) minify -r -o out/ work >/dev/null 2>&1 ;;
    cp) cp -r work out ;;
  esac
}

declare -A times
# measure NAME PLACE FORM STATE TOOL...: rounds of every tool, each on a fresh copy of the pages;
# STATE "disk" syncs the copy before timing (pages already on disk), "fresh" does not.
measure() {
  local name=$1 place=$2 form=$3 state=$4 count=$5
  shift 5
  local round tool start end
  for ((round = 0; round < count; ++round)); do
    for tool in "$@"; do
      (cd "$place" && rm -rf work out && cp -r "$form" work)
      [[ $state == disk ]] && sync
      start=$(now)
      (cd "$place" && run_tool "$tool" "$place")
      end=$(now)
      times[$name,$tool,$round]=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    done
  done
  times[$name,rounds]=$count
}

# A row: median times, and the medians of the per-round ratios of Slimtag to the others.
row() {  # row NAME LABEL BYTES
  local name=$1 label=$2 bytes=$3 tool round ratio
  local n=${times[$name,rounds]}
  local -A med
  for tool in slimtag slimtag-none floor minify cp before; do
    med[$tool]=$(for ((round = 0; round < n; ++round)); do
      if [[ -n ${times[$name,$tool,$round]:-} ]]; then echo "${times[$name,$tool,$round]}"; fi
    done | median)
  done
  local ratios=""
  for tool in floor minify cp before; do
    ratio=$(for ((round = 0; round < n; ++round)); do
      if [[ -n ${times[$name,$tool,$round]:-} ]]; then
        awk -v s="${times[$name,slimtag,$round]}" -v o="${times[$name,$tool,$round]}" 'BEGIN { print s / o }'
      fi
    done | median)
    ratios+=$(awk -v r="$ratio" 'BEGIN { if (r == "-") printf " %8s", r; else printf " %8.2f", r }')
  done
  local -A shown
  for tool in "${!med[@]}"; do shown[$tool]=$(awk -v t="${med[$tool]}" 'BEGIN { if (t == "-") print t; else printf "%.3f", t }'); done
  printf '%-44s %8s %7s %8s %8s %8s %8s %8s |%s\n' "$label" "${shown[slimtag]}" \
    "$(awk -v b="$bytes" -v t="${med[slimtag]}" 'BEGIN { printf "%.0f", b / t / 1e6 }')" \
    "${shown[slimtag-none]}" "${shown[floor]}" "${shown[minify]}" "${shown[cp]}" \
    "${shown[before]}" "$ratios"
}

tools=(slimtag slimtag-none floor minify cp ${before:+before})
echo "Rounds: $rounds; pages: ${#folders[@]} folders of the corpus at $corpus" >&2
for form in lf crlf; do
  echo "corpus on disk, $form ..." >&2
  measure "disk-$form-disk" "$disk" "$form" disk "$rounds" "${tools[@]}"
  measure "disk-$form-fresh" "$disk" "$form" fresh "$rounds" "${tools[@]}"
  echo "corpus on tmpfs, $form ..." >&2
  measure "tmpfs-$form" "$tmpfs" "$form" fresh "$rounds" "${tools[@]}"
done

# --- Small pages -------------------------------------------------------------------------------
if ! $skip_small; then
  echo "generating $small_pages small pages ..." >&2
  # Pieces of the corpus's CR LF pages, 1 to 4 KB each, in one folder: whole lines where they
  # fit, else cut at the size; the corpus's text again from its start where it runs out.
  mkdir -p "$disk/small/pages"
  { find "$disk/crlf" -type f -exec cat {} + 2>/dev/null || true; } | awk -v count="$small_pages" -v dir="$disk/small/pages" '
    BEGIN { RS = "\n"; srand(12) }
    { text[NR] = $0 "\n" }
    END { n = 0; i = 0; page = ""; size = 1024 + int(rand() * 3072)
      while (n < count) {
        i = i % NR + 1; page = page text[i]
        if (length(page) < size) continue
        if (length(page) > 4096) { rest = substr(page, size + 1); page = substr(page, 1, size) } else rest = ""
        printf "%s", page > (dir "/page" n ".htm"); close(dir "/page" n ".htm")
        n++; page = rest; size = 1024 + int(rand() * 3072)
      } }'
  small_folders=(.)
  saved=("${folders[@]}")
  folders=("${small_folders[@]}")
  echo "small pages on disk ..." >&2
  measure small "$disk/small" pages disk "$small_rounds" slimtag floor minify cp ${before:+before}
  folders=("${saved[@]}")
  small_bytes=$(du -sb --apparent-size "$disk/small/pages" | cut -f1)
fi

# --- The passes in memory ----------------------------------------------------------------------
# One repetition of each build a round, the builds interleaved: "NAME MB/s" lines, medians.
echo "passes in memory ..." >&2
passes_round() {  # passes_round BENCH LABEL: "LABEL/FORM MB/s" of one repetition
  "$1" --benchmark_filter='CorpusPassesInMemory' 2>/dev/null |
    awk -v label="$2" '/^BM_/ { name = $1; sub(/^BM_CorpusPassesInMemory\//, "", name)
      for (i = 1; i <= NF; ++i) if ($i ~ /^bytes_per_second=/) { v = $i; sub(/bytes_per_second=/, "", v)
        scale = v ~ /G\/s$/ ? 1024 : v ~ /k\/s$/ ? 1 / 1024 : 1; sub(/[kMG]?\/s$/, "", v)
        printf "%s/%s %.0f\n", label, name, v * scale * 1.048576 } }'
}
passes=$(for ((round = 0; round < rounds; ++round)); do
  passes_round "$passes_bench" now
  if [[ -n $before ]]; then passes_round "$before_passes_bench" before; fi
done | awk '{ v[$1] = v[$1] " " $2 } END { for (k in v) print k, v[k] }' | sort |
  while read -r name values; do echo "$name $(tr ' ' '\n' <<<"$values" | median)"; done)

# --- Peak memory -------------------------------------------------------------------------------
rss_line() {  # rss_line LABEL COMMAND...: peak resident memory of one run on the big page
  local label=$1
  shift
  (cd "$disk/rss" && /usr/bin/time -f '%M' -o "$disk/rss/time.txt" "$@" >/dev/null 2>&1) || true
  printf '%-44s %8s MB\n' "$label" "$(awk '{ printf "%.1f", $1 / 1024 }' "$disk/rss/time.txt")"
}
if ! $skip_rss; then
  echo "peak memory on a $rss_mb MB CR LF page ..." >&2
  mkdir -p "$disk/rss/pages"
  line=$'  <p class="western" style="margin-bottom: 0cm">Lorem ipsum&nbsp;dolor <font color="#FF0000">sit</font> amet.  </p>  \r'
  { yes "$line" || true; } | head -n $((rss_mb * 1024 * 1024 / (${#line} + 1))) >"$disk/rss/big.htm"
fi

# --- The table ---------------------------------------------------------------------------------
echo
printf '%-44s %8s %7s %8s %8s %8s %8s %8s | %s\n' "case (seconds, medians)" slimtag "MB/s" "no box" floor minify "cp -r" \
  before "slimtag / floor, minify, cp -r, before"
for form in lf crlf; do
  bytes=$(corpus_bytes "$form")
  row "disk-$form-disk" "corpus on disk, $form, pages already on disk" "$bytes"
  row "disk-$form-fresh" "corpus on disk, $form, pages freshly written" "$bytes"
  row "tmpfs-$form" "corpus on tmpfs, $form" "$bytes"
done
if ! $skip_small; then
  row small "$small_pages pages of 1-4 KB on disk" "$small_bytes"
fi
echo
while read -r name value; do
  printf '%-44s %8s MB/s\n' "passes alone in memory, $name" "$value"
done <<<"$passes"
if ! $skip_rss; then
  echo
  cp "$disk/rss/big.htm" "$disk/rss/pages/big.htm"
  rss_line "peak memory, $rss_mb MB CR LF page, every box" "$batch" --check 1,2,3,4,7,8,9,10,11 pages
  cp "$disk/rss/big.htm" "$disk/rss/pages/big.htm"
  rss_line "peak memory, the same with Check14" "$batch" --check 1,2,3,4,7,8,9,10,11,14 pages
  rss_line "peak memory, minify on the same page" minify -o "$disk/rss/out.htm" "$disk/rss/big.htm"
fi
