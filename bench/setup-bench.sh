#!/bin/sh
# Installs what bench/run-benchmarks.sh compares Slimtag with and measures it by, from Debian's
# packages: tdewolff's minify and GNU time. The build's own set-up (scripts/setup-debian.sh) does
# not need them.
set -eu
packages="minify time"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
