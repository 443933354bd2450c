#!/bin/sh
# The program's arguments that end it at once: --help and --version on standard output with
# exit code 0; an unknown option or a second file, the usage on standard error with code 2.
# Usage: command_line.sh <quorval-extension-maker>
set -u
exe=$1
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Runs the program with the arguments; then $code, $out and $err hold what it gave.
run() { "$exe" "$@" > "$out" 2> "$err"; code=$?; }

run --help
[ "$code" -eq 0 ] || fail "--help exit code $code"
grep -q '^Usage: quorval-extension-maker \[FILE\]$' "$out" || fail "--help shows no usage"
[ ! -s "$err" ] || fail "--help wrote to standard error"

run --version
[ "$code" -eq 0 ] || fail "--version exit code $code"
head -n 1 "$out" | grep -qx 'quorval-extension-maker [0-9][0-9.]*' || fail "--version printed: $(cat "$out")"
grep -q '^License GPL-3.0-or-later' "$out" || fail "--version names no licence: $(cat "$out")"

for wrong in "--frobnicate" "-x" "one.qex two.qex"; do
  # shellcheck disable=SC2086  # the second case is two arguments
  run $wrong
  [ "$code" -eq 2 ] || fail "'$wrong' exit code $code"
  [ ! -s "$out" ] || fail "'$wrong' wrote to standard output"
  grep -q '^Usage: quorval-extension-maker \[FILE\]$' "$err" || fail "'$wrong' shows no usage"
done
# Qt's options are no unknown options of ours, wherever they stand; ours still are.
run -platform offscreen -reverse --version -style fusion -qwindowgeometry 640x480+0+0
[ "$code" -eq 0 ] || fail "Qt's options with --version: exit code $code: $(cat "$err")"
head -n 1 "$out" | grep -qx 'quorval-extension-maker [0-9][0-9.]*' || fail "Qt's options hid --version"
run -reverse --frobnicate
[ "$code" -eq 2 ] || fail "'-reverse --frobnicate' exit code $code"
# They reach Qt: a platform that does not exist stops the program in Qt, which names it.
(ulimit -c 0; cd "$(dirname "$out")"; QT_QPA_PLATFORM=offscreen timeout 30 "$exe" -platform qem-no-such-platform > "$out" 2> "$err")
code=$?
[ "$code" -ne 0 ] && [ "$code" -ne 2 ] && [ "$code" -ne 124 ] || fail "an unknown -platform gave exit code $code"
grep -q 'qem-no-such-platform' "$err" || fail "Qt never saw -platform: $(cat "$err")"
echo "PASS: --help, --version, wrong arguments and Qt's options"
