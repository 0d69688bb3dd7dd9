#!/bin/sh
# Installs what Slimtag needs to build, test and package on Debian 12, from Debian's packages.
# As root it runs apt-get itself (a minimal Debian has no sudo); otherwise through sudo.
set -eu
packages="git cmake g++ make pkg-config file libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev libxcb1-dev
  fonts-dejavu-core fonts-liberation2 desktop-file-utils appstream dpkg-dev clang-format groff-base"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -eq 0 ]; then
  as_root=""
elif command -v sudo >/dev/null 2>&1; then
  as_root="sudo"
else
  echo "setup-debian.sh: нужны права root, а sudo не установлен; запустите сценарий от root" \
    "(su -c ./scripts/setup-debian.sh). Не хватает пакетов:$missing" >&2
  exit 1
fi
echo "setup-debian.sh: устанавливаются пакеты:$missing"
$as_root apt-get update -q
# shellcheck disable=SC2086 # one word per package
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
