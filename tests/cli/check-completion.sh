#!/bin/bash
# Asks the bash completion of slimtag-batch what it offers after a few command lines.
set -u
source "$1"
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir "$folder/sub" && touch "$folder/a.htm" "$folder/B.PHP" "$folder/notes.txt" "$folder/.h.htm"
failed=0

# expect "WORDS..." "WHAT IT SHOULD OFFER": the last word is the one completed.
expect() {
  read -r -a COMP_WORDS <<<"$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _slimtag_batch
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
  if [[ "$got" != "$2 " ]]; then
    echo "after «$1»: offered «$got», expected «$2 »"
    failed=1
  fi
}

expect "slimtag-batch --line" "--line-ends"
expect "slimtag-batch --dry" "--dry-run"
expect "slimtag-batch --line-ends " "auto crlf lf"
expect "slimtag-batch --report j" "json"
expect "slimtag-batch --check 1" "1 10 11 14"
expect "slimtag-batch --replace " ""
expect "slimtag-batch --replace a " ""
expect "slimtag-batch --nbsp $folder/s" "$folder/sub"
expect "slimtag-batch --nbsp $folder/n" "$folder/notes.txt"
expect "slimtag-batch $folder/a.htm $folder/" "$folder/.h.htm $folder/B.PHP $folder/a.htm $folder/notes.txt $folder/sub"
expect "slimtag-batch --kee" "--keep-going"
expect "slimtag-batch --replace a b --nbsp $folder " "B.PHP a.htm"
expect "slimtag-batch $folder --check 2 a" "a.htm"
expect "slimtag-batch -- $folder " "B.PHP a.htm"
exit $failed
