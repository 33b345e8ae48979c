#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and uses what was installed: the programs on a file and a
# database, the desktop files through their validators, the manual page against 'zep --help'. The
# installed data is marked, so that an answer shows where the programs read it from.
set -euo pipefail
build=$1 sample=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$root/dest" cmake --install "$build" --prefix /usr >/dev/null
usr="$root/dest/usr"
data="$usr/share/zepviewer"
sed -i 's/introuvable/introuvable-installé/; s/Base locale/Base locale installée/' "$data/lang/ZEPViewer.xml"

# A clean environment, a working folder outside the trees.
mkdir "$root/work"
cd "$root/work"
cp "$sample" app.s
run() { env -i PATH=/usr/bin:/bin HOME="$root/work" QT_QPA_PLATFORM=offscreen "$@"; }

[[ $(run "$usr/bin/zep" --version) =~ ^zep\ [0-9.]+$ ]] || fail "zep --version"
[[ $(run "$usr/bin/zep" info app.s) == *S-record* ]] || fail "zep info on an S-record file"
run "$usr/bin/zep" db create local.zdb || fail "zep db create with the installed schema"
said=$(run "$usr/bin/zep" --lang fr db tree missing.zdb 2>&1 || true)
grep -q "introuvable-installé" <<<"$said" || fail "zep did not read the installed language file: $said"
[[ $(run "$usr/bin/zepviewer" --version 2>/dev/null) == "ZEPViewer "[0-9]* ]] || fail "zepviewer --version"
[[ $(run "$usr/bin/zepviewer" --lang fr --check local.zdb 2>/dev/null) == *"Base locale installée"* ]] ||
  fail "zepviewer did not open the database with the installed language file"

# Without their data the programs find none: they never fall back on the source or build tree.
mv "$data" "$root/data-away"
if run "$usr/bin/zep" db create other.zdb 2>/dev/null; then fail "zep made a database without installed schema"; fi
said=$(run "$usr/bin/zep" --lang fr db tree missing.zdb 2>&1 || true)
if grep -q "introuvable" <<<"$said"; then fail "zep read a language file that is not installed"; fi
mv "$root/data-away" "$data"

desktop-file-validate "$usr/share/applications/"*.desktop || fail "desktop entry"
appstreamcli validate --no-net "$usr/share/metainfo/"*.metainfo.xml >/dev/null || fail "AppStream metainfo"
xmllint --noout "$usr/share/mime/packages/zepviewer.xml" || fail "MIME types"

# The manual names every command 'zep --help' lists, and troff reads it without a warning.
man=$usr/share/man/man1/zep.1
run "$usr/bin/zep" --help | sed -n 's/^  zep \([a-z0-9-]*\( [a-z-]*\)\?\) .*/\1/p' | sort -u | while read -r command; do
  grep -qF "\"zep ${command//-/\\-} " "$man" || fail "zep.1 does not tell about 'zep $command'"
done
for page in "$man" "$usr/share/man/man1/zepviewer.1"; do
  [ -z "$(groff -man -ww -z "$page" 2>&1)" ] || fail "troff warns about $page"
done
echo "installed programs, data and desktop files: OK"
