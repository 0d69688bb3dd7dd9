#!/bin/sh
# Makes the Debian package of a build as `cpack -G DEB` does and checks what it holds, what it
# depends on, how its programs are built, its manual pages and, where lintian is installed, that
# lintian --pedantic -I shows no tag. The test suite runs it; by hand:
#
#   scripts/check-package.sh build/default [OUTPUT-FOLDER]
set -eu
build=${1:?usage: check-package.sh BUILD-FOLDER [OUTPUT-FOLDER]}
out=${2:-$build/package-check}
version=2.5.22
arch=$(dpkg --print-architecture)
deb=$out/slimtag_${version}_$arch.deb

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
  /usr/share/icons/hicolor/scalable/apps/slimtag.svg \
  /usr/share/bash-completion/completions/slimtag-batch \
  /usr/share/doc/slimtag/copyright /usr/share/doc/slimtag/changelog.gz \
  /usr/share/man/man1/slimtag.1.gz /usr/share/man/man1/slimtag-batch.1.gz \
  /usr/share/man/ru/man1/slimtag.1.gz /usr/share/man/ru/man1/slimtag-batch.1.gz; do
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
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
[ "$(field Section)" = web ] || fail "Section is '$(field Section)'"
field Maintainer | grep -q '@velmora-soft\.example>$' || fail "Maintainer is '$(field Maintainer)'"
[ "$(field Homepage)" = http://www.slimtag.example/ ] || fail "Homepage is '$(field Homepage)'"
description=$(field Description)
[ "$(echo "$description" | head -n 1)" = "shrink web pages written by WYSIWYG editors" ] ||
  fail "synopsis is '$(echo "$description" | head -n 1)'"
echo "$description" | grep -q 'WYSIWYG' || fail "no English description"
echo "$description" | grep -q 'уменьшает HTML-страницы' || fail "no Russian description"

# The dependencies, by what their packages hold on this machine rather than by one release's
# names (Debian 13 renamed libqt6core6 libqt6core6t64): each shared library the programs load,
# Qt's Russian texts and Liberation Sans, which the window's layout is measured in.
depends=$(field Depends)
depends_names=$(echo "$depends" | tr ',|' '\n\n' | sed 's/(.*)//; s/:[a-z0-9]*//; s/ //g' | grep .)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
owner() { dpkg-query -S "$1" 2>/dev/null | sed -n '1s/[:,].*//p'; }
depends_on() {
  name=$(owner "$1")
  if [ -z "$name" ]; then
    fail "no installed package holds $1, which the program needs"
  elif ! echo "$depends_names" | grep -qx "$name"; then
    fail "Depends lacks $name, which holds $1: $depends"
  fi
}
dpkg-deb -x "$deb" "$out/root"
for program in slimtag slimtag-batch; do
  for library in $(LC_ALL=C readelf -d "$out/root/usr/bin/$program" |
    sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    depends_on "*/$multiarch/$library"
  done
done
depends_on "*/qt6/translations/qtbase_ru.qm"
depends_on "*/LiberationSans-Regular.ttf"

# Stripped as Debian strips, without the compiler's comment; where the build has Debian's flags
# (SLIMTAG_DEBIAN_FLAGS, the package's build), with relro, bind-now, the stack protector and
# fortified functions (slimtag-batch has no call whose buffer size the compiler knows, so it is
# the window that shows the fortification).
hardened=0
if grep -q '^SLIMTAG_DEBIAN_FLAGS:BOOL=ON$' "$build/CMakeCache.txt"; then hardened=1; fi
fortified=0
for program in slimtag slimtag-batch; do
  binary=$out/root/usr/bin/$program
  if LC_ALL=C file "$binary" | grep -q 'not stripped'; then fail "/usr/bin/$program is not stripped"; fi
  if LC_ALL=C readelf -S -W "$binary" | grep -q ' \.comment '; then
    fail "/usr/bin/$program keeps a .comment section"
  fi
  [ "$hardened" -eq 1 ] || continue
  LC_ALL=C readelf -l -W "$binary" | grep -q GNU_RELRO || fail "/usr/bin/$program has no relro"
  LC_ALL=C readelf -d -W "$binary" | grep -q 'FLAGS.* NOW' || fail "/usr/bin/$program is not bound now"
  symbols=$(LC_ALL=C readelf --dyn-syms -W "$binary")
  echo "$symbols" | grep -q '__stack_chk_fail' || fail "/usr/bin/$program has no stack protector"
  if echo "$symbols" | grep '_chk@' | grep -qv '__stack_chk_fail'; then fortified=1; fi
done
[ "$hardened" -eq 0 ] || [ "$fortified" -eq 1 ] || fail "neither program calls a fortified function"

# The manual pages: English in man1, which every locale without a translation reads (in ASCII,
# so that a C locale drops nothing), Russian in ru/man1, both giving every option.
for page in slimtag slimtag-batch; do
  english=$out/root/usr/share/man/man1/$page.1.gz
  russian=$out/root/usr/share/man/ru/man1/$page.1.gz
  if [ ! -f "$english" ] || [ ! -f "$russian" ]; then continue; fi
  if gzip -dc "$english" | LC_ALL=C grep -q '[^ -~]'; then fail "man1/$page.1 is not plain ASCII"; fi
  gzip -dc "$russian" | grep -q '^\.SH ОПИСАНИЕ' || fail "ru/man1/$page.1 is not Russian"
  options() { gzip -dc "$1" | grep -o '\\-\\-*[a-z][a-z-]*' | sort -u; }
  [ "$(options "$english")" = "$(options "$russian")" ] ||
    fail "the English and Russian $page(1) give different options"
  if command -v mandoc >/dev/null 2>&1; then
    for file in "$english" "$russian"; do
      lint=$(mandoc -T lint -W warning "$file" 2>&1) || fail "mandoc: $lint"
    done
  fi
done

if command -v lintian >/dev/null 2>&1; then
  # Every tag fails, the informational and pedantic ones too; root gets a warning of lintian's
  # own. A build without Debian's flags (the test preset) lacks their hardening, which lintian
  # notes as well; that is the flags' absence, not the package's.
  lintian --pedantic --display-info "$deb" >"$out/lintian.log" 2>&1 || true
  grep -v '^running with root privileges' "$out/lintian.log" | grep . >&2 || true
  tags=$(grep '^[A-Z]: ' "$out/lintian.log" || true)
  [ "$hardened" -eq 1 ] || tags=$(echo "$tags" | grep -v ' hardening-' || true)
  [ -z "$tags" ] || fail "lintian --pedantic -I: $(echo "$tags" | wc -l) tags"
else
  echo "check-package.sh: lintian not installed (scripts/setup-debian.sh --test): not run" >&2
fi

[ "$status" -eq 0 ] && echo "check-package.sh: $deb holds $(echo "$files" | grep -vc '/$') files; Depends: $depends"
exit "$status"
