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
grep -qx 'quorval-extension-maker [0-9][0-9.]*' "$out" || fail "--version printed: $(cat "$out")"

for wrong in "--frobnicate" "-x" "one.qex two.qex"; do
  # shellcheck disable=SC2086  # the second case is two arguments
  run $wrong
  [ "$code" -eq 2 ] || fail "'$wrong' exit code $code"
  [ ! -s "$out" ] || fail "'$wrong' wrote to standard output"
  grep -q '^Usage: quorval-extension-maker \[FILE\]$' "$err" || fail "'$wrong' shows no usage"
done
echo "PASS: --help, --version and wrong arguments"
