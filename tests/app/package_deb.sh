#!/bin/bash
# `cpack -G DEB` from the build folder: the package holds the program and everything a desktop and
# a software centre need, depends on the Qt, QScintilla and SpiderMonkey libraries the program
# links, and its desktop entry and AppStream file pass their validators.
# Usage: package_deb.sh <build folder>
set -euo pipefail
build=$(readlink -f "$1")
work=$(mktemp -d)
# cpack's install rewrites the build folder's install_manifest.txt; a real install's list (what an
# uninstall removes) must survive this test.
manifest=$build/install_manifest.txt
[ -f "$manifest" ] && cp "$manifest" "$work/manifest.kept"
restore() {
  if [ -f "$work/manifest.kept" ]; then cp "$work/manifest.kept" "$manifest"; else rm -f "$manifest"; fi
  rm -rf "$work"
}
trap restore EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" > "$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log" >&2; fail "cpack -G DEB failed"; }
debs=("$work"/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single .deb"
deb=${debs[0]}

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' | sort > "$work/files"
share=/usr/share
expected="/usr/bin/quorval-extension-maker
$share/applications/quorval-extension-maker.desktop
$share/mime/packages/quorval-extension-maker.xml
$share/metainfo/org.quorval.ExtensionMaker.metainfo.xml
$share/icons/hicolor/scalable/apps/quorval-extension-maker.svg"
for size in 16 24 32 48 64 128 256; do
  expected="$expected
$share/icons/hicolor/${size}x${size}/apps/quorval-extension-maker.png"
done
# Exactly these: a cache of the desktop's (mime.cache, icon-theme.cache) belongs to other packages.
diff <(echo "$expected" | sort) "$work/files" || fail "the package holds other files (diff above)"

depends=$(dpkg-deb -f "$deb" Depends)
for library in libqscintilla2-qt6 libqt6widgets6 libqt6gui6 libqt6core6 libmozjs-102-0; do
  grep -q "$library" <<< "$depends" || fail "Depends lacks $library: $depends"
done

dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root$share/applications/quorval-extension-maker.desktop" \
  || fail "desktop-file-validate rejects the packaged entry"
appstreamcli validate --no-net "$work/root$share/metainfo/org.quorval.ExtensionMaker.metainfo.xml" \
  || fail "appstreamcli rejects the packaged metainfo"
grep -q '<image>https\?://.*screenshot.png</image>' "$work/root$share/metainfo/org.quorval.ExtensionMaker.metainfo.xml" \
  || fail "the metainfo shows no screenshot"
echo "PASS: $(basename "$deb") holds the program, its desktop files and the right dependencies"
