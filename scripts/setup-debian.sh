#!/bin/sh
# Installs from Debian's packages what Slimtag needs on Debian 13 (and still Debian 12):
#
#   setup-debian.sh          to build, package and run the two programs
#   setup-debian.sh --test   that and the test suite's tools: GoogleTest, Google Benchmark,
#                            clang-format, clang-tidy and the checkers of the package, the manual
#                            pages and the desktop files (CI and the README's test command)
#
# As root it runs apt-get itself (a minimal Debian has no sudo); otherwise through sudo.
set -eu
test_tools=0
for arg in "$@"; do
  case $arg in
    --test) test_tools=1 ;;
    -h | --help)
      sed -n '2,8s/^# \{0,1\}//p' "$0"
      exit 0
      ;;
    *)
      echo "setup-debian.sh: неизвестный параметр «$arg»; допустим только --test" >&2
      exit 64
      ;;
  esac
done

# libxkbcommon-dev: Qt's CMake files look for it and complain when it is missing. dpkg-dev gives
# the package's dependencies and Debian's hardening flags, file is what cpack's Debian generator
# reads the programs with. Liberation Sans is the face the window's layout is measured in.
# libhwy-dev (Google Highway) builds the line passes for several instruction sets.
packages="git cmake g++ make pkg-config libcli11-dev nlohmann-json3-dev libhwy-dev qt6-base-dev
  qt6-base-dev-tools qt6-translations-l10n libgl-dev libxcb1-dev libxkbcommon-dev
  fonts-dejavu-core fonts-liberation2 dpkg-dev file"
# The power-loss test runs the pages on a FUSE file system of its own; the removable-media test
# makes FAT and exFAT images and mounts them through FUSE.
if [ "$test_tools" -eq 1 ]; then
  packages="$packages libgtest-dev libgmock-dev libbenchmark-dev clang-format clang-tidy
    desktop-file-utils appstream groff-base mandoc lintian libfuse3-dev fuse3
    fusefat dosfstools exfat-fuse exfatprogs"
fi

missing=""
need() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed" || missing="$missing $1"
}
for p in $packages; do need "$p"; done
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
