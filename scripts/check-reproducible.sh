#!/bin/sh
# Builds the Debian package twice, from two copies of the checkout in two folders of different
# lengths, and checks that the two packages are the same to the bit. Each build is the README's
# first command and `cpack -G DEB`, so this takes two full builds (several minutes); CI does not
# run it.
#
#   scripts/check-reproducible.sh [WORK-FOLDER]
#
# The copies hold the checkout's files as they are, committed or not; SOURCE_DATE_EPOCH is the
# caller's or else the last commit's time, as in any build. The second build runs under another
# umask, as another user's would.
set -eu
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-$(mktemp -d "${TMPDIR:-/tmp}/slimtag-reproducible-XXXXXX")}
mkdir -p "$work"
work=$(cd "$work" && pwd)
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$source_dir" log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH

build() {
  copy=$1
  umask "$2"
  rm -rf "$copy"
  mkdir -p "$copy"
  (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
    xargs -0 sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh |
    tar --null -T - -cf -) | tar -xf - -C "$copy"
  echo "check-reproducible.sh: building in $copy"
  (cd "$copy" && cmake --preset default >"$copy.log" 2>&1 &&
    cmake --build --preset default -j"$(nproc)" >>"$copy.log" 2>&1 &&
    cd build/default && cpack -G DEB >>"$copy.log" 2>&1) || {
    tail -n 30 "$copy.log" >&2
    echo "check-reproducible.sh: the build in $copy failed (log: $copy.log)" >&2
    exit 2
  }
}
build "$work/a" 022
build "$work/second-folder" 002
first=$(ls "$work"/a/build/default/slimtag_*.deb)
second=$(ls "$work"/second-folder/build/default/slimtag_*.deb)

if cmp -s "$first" "$second"; then
  echo "check-reproducible.sh: both packages are the same: $(sha256sum "$first" | cut -d' ' -f1)"
  exit 0
fi
echo "check-reproducible.sh: the packages differ:" >&2
if command -v diffoscope >/dev/null 2>&1; then
  diffoscope "$first" "$second" >&2 || true
else
  for deb in "$first" "$second"; do
    rm -rf "$deb.tree"
    dpkg-deb -R "$deb" "$deb.tree"
    ar tv "$deb" >"$deb.members"
  done
  diff "$first.members" "$second.members" >&2 || true
  diff -r "$first.tree" "$second.tree" >&2 || true
fi
exit 1
