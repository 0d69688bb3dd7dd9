#!/usr/bin/env bash
# The hash of every page that slimtag-batch writes for the page corpus, in the LF and the CR LF
# form, under each line-end rule, for the sets of boxes below, in folders and through the filter.
# Two builds that print the same lines write the same bytes; a change that must not change any
# output is checked with
#
#   bench/corpus-outputs.sh OLD/slimtag-batch >old.txt
#   bench/corpus-outputs.sh build/test/cli/slimtag-batch >new.txt && diff old.txt new.txt
#
# The corpus is $SLIMTAG_CORPUS, else ../shared/corpus beside the checkout (pages.tar.gz or a
# folder of pages); the scratch folder goes to $BENCH_TMPFS (default /dev/shm).
set -euo pipefail

batch=$(realpath "${1:?usage: $0 SLIMTAG-BATCH}")
root=$(cd "$(dirname "$0")/.." && pwd)
corpus=${SLIMTAG_CORPUS:-$root/../shared/corpus}
scratch=$(mktemp -d "${BENCH_TMPFS:-/dev/shm}/slimtag-outputs-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

mkdir -p "$scratch/lf"
if [[ -f $corpus/pages.tar.gz ]]; then
  tar -xzf "$corpus/pages.tar.gz" -C "$scratch/lf"
else
  cp -r "$corpus/." "$scratch/lf"
fi
if [[ -d $scratch/lf/corpus ]]; then mv "$scratch/lf/corpus"/* "$scratch/lf/" && rmdir "$scratch/lf/corpus"; fi
cp -r "$scratch/lf" "$scratch/crlf"
find "$scratch/crlf" -type f -exec sed -i 's/$/\r/' {} +

box_sets=(none 1,2,3,4,7,8,9,10,11 1 2 3 4 7 8 9 10 11 14 1,2,8 1,2,3 3,8,9,10 1,2,3,4,7,8,9,10,11,14)
for form in lf crlf; do
  for ends in auto crlf lf; do
    for boxes in "${box_sets[@]}" users; do
      args=(--line-ends "$ends")
      case $boxes in
        none) ;;
        users) args+=(--check 1,2,8 --replace '<B>' '<b>' --remove '&nbsp;') ;;
        *) args+=(--check "$boxes") ;;
      esac
      rm -rf "$scratch/work" && cp -r "$scratch/$form" "$scratch/work"
      (cd "$scratch" && "$batch" -r "${args[@]}" work >/dev/null)
      printf '%s %s %s folder %s\n' "$form" "$ends" "$boxes" \
        "$(cd "$scratch/work" && find . -type f | sort | xargs sha1sum | sha1sum | cut -c1-40)"
      printf '%s %s %s filter %s\n' "$form" "$ends" "$boxes" \
        "$(find "$scratch/$form" -type f | sort | xargs cat | "$batch" "${args[@]}" - | sha1sum | cut -c1-40)"
    done
  done
done
