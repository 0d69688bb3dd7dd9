#!/bin/sh
# Formats each manual page with every groff warning on; any warning fails.
set -u
failed=0
for page in "$@"; do
  warnings=$(LC_ALL=C.UTF-8 groff -k -man -ww -z -Tutf8 "$page" 2>&1)
  if [ -n "$warnings" ]; then
    echo "$page:"
    echo "$warnings"
    failed=1
  fi
done
exit $failed
