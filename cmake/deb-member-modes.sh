#!/bin/sh
# deb-member-modes.sh PACKAGE...: gives the members of each Debian package (an ar archive) the
# mode 0644 that dpkg-deb gives them. cpack takes their modes from the umask, so that two users
# would otherwise make two different packages of one build.
set -eu
for deb in "$@"; do
  [ "$(head -c 8 "$deb")" = '!<arch>' ] || { echo "$deb: no ar archive" >&2; exit 1; }
  total=$(stat -c %s "$deb")
  offset=8
  # A member's header: name 16 bytes, time 12, owner 6, group 6, mode 8, size 10, "`\n".
  while [ "$offset" -lt "$total" ]; do
    size=$(dd if="$deb" bs=1 skip=$((offset + 48)) count=10 2>/dev/null | tr -d ' ')
    printf '100644  ' | dd of="$deb" bs=1 seek=$((offset + 40)) count=8 conv=notrunc 2>/dev/null
    offset=$((offset + 60 + size + size % 2))
  done
done
