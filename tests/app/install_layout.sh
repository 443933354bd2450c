#!/bin/bash
# `cmake --install` into a scratch prefix: the program, its menu entry, its icons, its manual page
# and the .qex file type land where desktops look, and the MIME database learns *.qex; then the
# uninstall target removes them all and the MIME and menu caches forget the program.
# Usage: install_layout.sh <build folder>
set -euo pipefail
build=$1
prefix=$(mktemp -d)
# cmake --install rewrites the build folder's install_manifest.txt; a real install's list (what
# an uninstall removes) must survive this test.
manifest=$build/install_manifest.txt
[ -f "$manifest" ] && cp "$manifest" "$prefix/manifest.kept"
restore() {
  if [ -f "$prefix/manifest.kept" ]; then cp "$prefix/manifest.kept" "$manifest"; else rm -f "$manifest"; fi
  rm -rf "$prefix"
}
trap restore EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" > "$prefix/install.log" 2>&1 \
  || { cat "$prefix/install.log" >&2; fail "cmake --install failed"; }

exe=$prefix/bin/quorval-extension-maker
desktop=$prefix/share/applications/quorval-extension-maker.desktop
icon=$prefix/share/icons/hicolor/scalable/apps/quorval-extension-maker.svg
mime=$prefix/share/mime/packages/quorval-extension-maker.xml
manual=$prefix/share/man/man1/quorval-extension-maker.1

[ -x "$exe" ] || fail "no executable at $exe"
[ -f "$desktop" ] || fail "no menu entry at $desktop"
[ -f "$icon" ] || fail "no icon at $icon"
[ -f "$mime" ] || fail "no MIME package at $mime"
[ -f "$manual" ] || fail "no manual page at $manual"

# The menu entry starts the installed program by name on the file a file manager hands it, for
# .qex files, and names the installed icon.
grep -qx 'Exec=quorval-extension-maker %f' "$desktop" || fail "Exec does not name the program and its file"
grep -qx 'MimeType=application/x-quorval-extension;' "$desktop" || fail "the entry does not open .qex files"
grep -qx 'Icon=quorval-extension-maker' "$desktop" || fail "Icon does not name the icon"
grep -qx 'Type=Application' "$desktop" || fail "not an application entry"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the entry"

# Each icon is a PNG of the size its folder promises.
for n in 16 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${n}x${n}/apps/quorval-extension-maker.png
  sig=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
  [ "$sig" = 89504e470d0a1a0a ] || fail "the $n-pixel icon is not a PNG"
  size=$(od -An -tu4 --endian=big -j16 -N8 "$png" | tr -s ' ' | sed 's/^ //')
  [ "$size" = "$n $n" ] || fail "the $n-pixel icon is $size (IHDR)"
done

# The install ran update-mime-database on the scratch prefix: *.qex is now a known type.
if command -v update-mime-database > /dev/null; then
  grep -q 'application/x-quorval-extension:\*\.qex' "$prefix/share/mime/globs2" \
    || fail "the MIME database does not map *.qex"
  grep -q 'application/x-quorval-extension' "$prefix/share/mime/types" \
    || fail "the MIME database does not list the type"
fi
# The manual page reads without a warning from man (as lintian asks it).
if command -v man > /dev/null; then
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$manual" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man warns about the manual page: $warnings"
fi

# The uninstall target removes every installed file, and the caches no longer name the program.
if command -v update-desktop-database > /dev/null; then
  grep -q 'quorval-extension-maker.desktop' "$prefix/share/applications/mimeinfo.cache" \
    || fail "the menu's MIME cache does not name the entry after the install"
fi
cmake --build "$build" --target uninstall > "$prefix/uninstall.log" 2>&1 \
  || { cat "$prefix/uninstall.log" >&2; fail "the uninstall target failed"; }
left=$(find "$prefix" \( -name 'quorval-extension-maker*' -o -name 'org.quorval.*' \) -print)
[ -z "$left" ] || fail "left after uninstalling: $left"
if command -v update-mime-database > /dev/null; then
  ! grep -rq 'quorval' "$prefix/share/mime" || fail "the MIME database still names the program after uninstalling"
fi
if command -v update-desktop-database > /dev/null; then
  ! grep -q 'quorval' "$prefix/share/applications/mimeinfo.cache" 2>/dev/null \
    || fail "the menu's MIME cache still names the program after uninstalling"
fi
echo "PASS: installed layout is complete, and the uninstall target removes it and refreshes the caches"
