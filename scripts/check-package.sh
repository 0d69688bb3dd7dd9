#!/bin/sh
# Makes the Debian package of a build as `cpack -G DEB` does and checks what it holds and what it
# depends on. The test suite runs it; by hand:
#
#   scripts/check-package.sh build/default [OUTPUT-FOLDER]
set -eu
build=${1:?usage: check-package.sh BUILD-FOLDER [OUTPUT-FOLDER]}
out=${2:-$build/package-check}
version=2.5.22
deb=$out/slimtag_${version}_amd64.deb

rm -rf "$out"
mkdir -p "$out"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || {
  cat "$out/cpack.log" >&2
  echo "check-package.sh: cpack could not make the package" >&2
  exit 1
}
[ -f "$deb" ] || { echo "check-package.sh: $deb was not made" >&2; ls "$out" >&2; exit 1; }

status=0
fail() {
  echo "check-package.sh: $*" >&2
  status=1
}

files=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|')
for path in /usr/bin/slimtag /usr/bin/slimtag-batch \
  /usr/share/applications/slimtag.desktop \
  /usr/share/metainfo/example.velmora_soft.slimtag.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/slimtag.svg; do
  echo "$files" | grep -qx "$path" || fail "$path is missing from the package"
done
for size in 16 24 32 48 64 128 256; do
  path=/usr/share/icons/hicolor/${size}x${size}/apps/slimtag.png
  echo "$files" | grep -qx "$path" || fail "$path is missing from the package"
done
if echo "$files" | grep -v '^/usr/' | grep -qv '^/$'; then
  fail "files outside /usr: $(echo "$files" | grep -v '^/usr/' | grep -v '^/$' | tr '\n' ' ')"
fi

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = slimtag ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)'"
[ "$(field Architecture)" = amd64 ] || fail "Architecture is '$(field Architecture)'"
[ "$(field Section)" = web ] || fail "Section is '$(field Section)'"
field Maintainer | grep -q '@velmora-soft\.example>$' || fail "Maintainer is '$(field Maintainer)'"
[ "$(field Homepage)" = http://www.slimtag.example/ ] || fail "Homepage is '$(field Homepage)'"
depends=$(field Depends)
for package in libqt6widgets6 libqt6gui6 libqt6core6 libstdc++6 libc6 qt6-translations-l10n; do
  echo "$depends" | grep -q "\(^\|, \)$package\( \|,\|$\)" || fail "Depends lacks $package: $depends"
done
description=$(field Description)
[ "$(echo "$description" | head -n 1)" = "shrink web pages written by WYSIWYG editors" ] ||
  fail "synopsis is '$(echo "$description" | head -n 1)'"
echo "$description" | grep -q 'WYSIWYG' || fail "no English description"
echo "$description" | grep -q 'уменьшает HTML-страницы' || fail "no Russian description"
# Stripped: the package carries no debugging sections.
dpkg-deb -x "$deb" "$out/root"
for program in slimtag slimtag-batch; do
  if LC_ALL=C file "$out/root/usr/bin/$program" | grep -q 'not stripped'; then
    fail "/usr/bin/$program is not stripped"
  fi
done
[ "$status" -eq 0 ] && echo "check-package.sh: $deb holds $(echo "$files" | grep -vc '/$') files; Depends: $depends"
exit "$status"
