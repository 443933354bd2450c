#!/bin/bash
# The Debian packages, built as Debian builds them (dpkg-buildpackage -us -uc -b from debian/, the
# test suite left out since it runs anyway) and checked as a Debian maintainer would: lintian finds
# no error or warning; the program's package holds exactly its files and depends on the libraries
# it links; its binary is stripped, the symbols being in the -dbgsym package; the desktop entry,
# the AppStream metadata and the manual page pass their checkers; and every place that names the
# version names the same one. A whole second build: .ci/run runs it, `./setup.sh test` does not.
# Usage: package_deb.sh [source folder]   (the repository this script is in by default)
set -euo pipefail
source=$(readlink -f "${1:-$(dirname "$0")/../..}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# dpkg-buildpackage builds inside the tree and writes the packages beside it: it gets a copy of
# the sources, the files git knows of (or, outside git, all but the build folders and caches).
tree=$work/quorval-extension-maker
mkdir "$tree"
if git -C "$source" rev-parse --is-inside-work-tree > /dev/null 2>&1; then
  (cd "$source" && git ls-files -z --cached --others --exclude-standard \
     | while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done \
     | tar --null -T - -cf -) | tar -xf - -C "$tree"
else
  tar -C "$source" --exclude='./build*' --exclude='./bench/.cache' -cf - . | tar -xf - -C "$tree"
fi

started=$(date +%s)
(cd "$tree" && DEB_BUILD_OPTIONS="nocheck parallel=$(nproc)" dpkg-buildpackage -us -uc -b -Pnocheck) \
  > "$work/build.log" 2>&1 || { tail -n 60 "$work/build.log" >&2; fail "dpkg-buildpackage failed"; }
echo "dpkg-buildpackage took $(($(date +%s) - started)) s"

version=$(dpkg-parsechangelog -l "$tree/debian/changelog" -S Version)
arch=$(dpkg --print-architecture)
deb=$work/quorval-extension-maker_${version}_$arch.deb
dbgsym=$work/quorval-extension-maker-dbgsym_${version}_$arch.deb
changes=$work/quorval-extension-maker_${version}_$arch.changes
for made in "$deb" "$dbgsym" "$changes"; do [ -f "$made" ] || fail "dpkg-buildpackage made no $(basename "$made")"; done

# lintian on everything the build made; an override, with its reason, lives in debian/.
lintian --fail-on error,warning "$changes" > "$work/lintian.log" 2>&1 \
  || { cat "$work/lintian.log" >&2; fail "lintian reports errors or warnings"; }
if grep -q '^[EW]: ' "$work/lintian.log"; then cat "$work/lintian.log" >&2; fail "lintian reports errors or warnings"; fi

# Exactly these files: a cache of the desktop's (mime.cache, icon-theme.cache) belongs to others.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' | sort > "$work/files"
share=/usr/share
expected="/usr/bin/quorval-extension-maker
$share/applications/quorval-extension-maker.desktop
$share/mime/packages/quorval-extension-maker.xml
$share/metainfo/org.quorval.extension_maker.metainfo.xml
$share/man/man1/quorval-extension-maker.1.gz
$share/doc/quorval-extension-maker/copyright
$share/doc/quorval-extension-maker/changelog.gz
$share/icons/hicolor/scalable/apps/quorval-extension-maker.svg"
for size in 16 24 32 48 64 128 256; do
  expected="$expected
$share/icons/hicolor/${size}x${size}/apps/quorval-extension-maker.png"
done
diff <(echo "$expected" | sort) "$work/files" || fail "the package holds other files than these (diff above)"

depends=$(dpkg-deb -f "$deb" Depends)
for library in libqscintilla2-qt6 libqt6widgets6 libqt6gui6 libqt6core6 libicu libpng16 libmozjs-102-0 libpcre2-8 libc6; do
  grep -q "$library" <<< "$depends" || fail "Depends lacks $library: $depends"
done

dpkg-deb -x "$deb" "$work/root"
dpkg-deb -x "$dbgsym" "$work/debug"
program=$work/root/usr/bin/quorval-extension-maker
# Stripped: no symbol table and no debugging sections; those are in the -dbgsym package, under
# the binary's build id.
if readelf -S "$program" | grep -Eq '\.symtab|\.debug_'; then fail "the packaged binary is not stripped"; fi
build_id=$(readelf -n "$program" | awk '/Build ID/ {print $3}')
[ -n "$build_id" ] || fail "the packaged binary has no build id"
[ -f "$work/debug/usr/lib/debug/.build-id/${build_id:0:2}/${build_id:2}.debug" ] \
  || fail "the -dbgsym package lacks the symbols of build id $build_id"
readelf -d "$program" | grep -q 'BIND_NOW' || readelf -d "$program" | grep -q 'FLAGS.*NOW' \
  || fail "the binary is not linked with -z now (hardening)"

desktop-file-validate "$work/root$share/applications/quorval-extension-maker.desktop" \
  || fail "desktop-file-validate rejects the packaged entry"
metainfo=$work/root$share/metainfo/org.quorval.extension_maker.metainfo.xml
appstreamcli validate --pedantic --no-net "$metainfo" > "$work/appstreamcli.log" 2>&1 \
  || { cat "$work/appstreamcli.log" >&2; fail "appstreamcli rejects the metainfo"; }
if grep -Eq '^[EWIP]: ' "$work/appstreamcli.log"; then
  cat "$work/appstreamcli.log" >&2
  fail "appstreamcli --pedantic reports something about the metainfo"
fi
appstream-util validate-relax --nonet "$metainfo" || fail "appstream-util validate-relax rejects the metainfo"

manual=$work/root$share/man/man1/quorval-extension-maker.1.gz
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$manual" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man warns about the manual page: $warnings"
man -l "$manual" 2>/dev/null | grep -q 'XDG_STATE_HOME' || fail "the manual page does not show"

# One version everywhere: the package, the program, the metainfo's release and the manual page.
"$program" --version | head -n 1 | grep -qx "quorval-extension-maker $version" \
  || fail "the program says $("$program" --version | head -n 1), the package $version"
grep -q "<release version=\"$version\" date=\"[0-9-]*\"/>" "$metainfo" || fail "the metainfo has no release $version"
zcat "$manual" | grep -q "^\.TH .* \"Quorval Extension Maker $version\"" || fail "the manual page names another version"
echo "PASS: $(basename "$deb") and its -dbgsym package pass lintian and hold what they should"
