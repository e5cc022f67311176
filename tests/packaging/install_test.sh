#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a user gets: the
# installed programs run from there, the desktop entry and AppStream data
# validate, the manual pages render without warnings, and the Debian package
# has no lintian errors.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" > "$work/install.log"

# The installed programs run from the prefix, without the build tree.
for program in tolmera tlmfax; do
  [ -x "$prefix/bin/$program" ] || { fail "$program not installed"; continue; }
  out=$(cd "$work" && env -i PATH=/usr/bin:/bin HOME="$work" "$prefix/bin/$program" --version) ||
    fail "$program --version failed"
  case $out in
    "$program (Tolmera) "[0-9]*) ;;
    *) fail "$program --version printed '$out'" ;;
  esac
  "$prefix/bin/$program" --help | grep -q "^Usage: $program" || fail "$program --help"
done
"$prefix/bin/tlmfax" help convert | grep -q '^Usage: tlmfax convert' || fail "tlmfax help convert"
if "$prefix/bin/tlmfax" help nosuch 2>/dev/null; then fail "tlmfax help of an unknown command succeeded"; fi
if "$prefix/bin/tolmera" --nosuch 2>/dev/null; then fail "tolmera accepted an unknown option"; fi

# Shipped files where the desktop finds them.
for f in share/applications/tolmera.desktop share/metainfo/tolmera.metainfo.xml \
         share/icons/hicolor/scalable/apps/tolmera.svg share/icons/hicolor/48x48/apps/tolmera.png \
         share/icons/hicolor/256x256/apps/tolmera.png share/mime/packages/tolmera.xml \
         share/man/man1/tolmera.1.gz share/man/man1/tlmfax.1.gz share/tolmera/help/index.html \
         share/doc/tolmera/copyright; do
  [ -s "$prefix/$f" ] || fail "missing $f"
done
desktop-file-validate "$prefix/share/applications/tolmera.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/tolmera.metainfo.xml" > "$work/appstream.log" 2>&1 ||
  { cat "$work/appstream.log"; fail "appstreamcli validate"; }
# The fax file type is recognised by its magic, whatever the file is called.
mkdir -p "$work/mime"
cp "$prefix/share/mime/packages/tolmera.xml" "$work/mime/" 2>/dev/null || true
mkdir -p "$work/mimedb/packages" && cp "$prefix/share/mime/packages/tolmera.xml" "$work/mimedb/packages/"
update-mime-database "$work/mimedb" > /dev/null 2>&1 || fail "update-mime-database"
grep -q 'application/x-tolmera-fax' "$work/mimedb/magic" 2>/dev/null || grep -aq 'x-tolmera-fax' "$work/mimedb/magic" ||
  fail "the fax type has no magic entry"

# Manual pages render without warnings.
for page in tolmera tlmfax; do
  warnings=$(zcat "$prefix/share/man/man1/$page.1.gz" | groff -man -ww -Tutf8 -z 2>&1 || true)
  [ -z "$warnings" ] || fail "groff warns on $page.1: $warnings"
  MANWIDTH=80 man -l "$prefix/share/man/man1/$page.1.gz" > "$work/$page.txt" 2> "$work/$page.err" || fail "man -l $page"
  [ -s "$work/$page.err" ] && fail "man -l $page: $(cat "$work/$page.err")"
  grep -q "^NAME" "$work/$page.txt" || fail "man -l $page shows no NAME section"
done

# The Debian package: dependencies from the shared libraries, no lintian errors.
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" > "$work/cpack.log" 2>&1) ||
  { tail -n 20 "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/deb/tolmera_*.deb 2>/dev/null | head -n 1)
if [ -n "$deb" ]; then
  dpkg-deb --info "$deb" > "$work/info.txt" || fail "dpkg-deb --info"
  grep -q '^ Depends:.*libqt6widgets6' "$work/info.txt" || fail "the package does not depend on Qt: $(grep Depends "$work/info.txt")"
  dpkg-deb --contents "$deb" > "$work/contents.txt" || fail "dpkg-deb --contents"
  grep -q './usr/bin/tolmera$' "$work/contents.txt" || fail "the package lacks /usr/bin/tolmera"
  lintian --tag-display-limit 0 "$deb" > "$work/lintian.txt" 2>&1 || true
  if grep -q '^E:' "$work/lintian.txt"; then
    grep '^E:' "$work/lintian.txt"
    fail "lintian errors"
  fi
  grep '^W:' "$work/lintian.txt" | sed 's/^/lintian /' || true
else
  fail "no package built"
fi

[ "$failures" -eq 0 ] && echo "install test passed"
exit "$failures"
