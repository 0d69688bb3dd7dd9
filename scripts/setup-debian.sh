#!/bin/sh
# Installs what Slimtag needs to build and test on Debian 12, from Debian's packages.
set -eu
packages="cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev fonts-dejavu-core
  fonts-liberation2 desktop-file-utils"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
