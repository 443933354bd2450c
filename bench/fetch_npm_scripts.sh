#!/bin/sh
# Prints the paths of the scripts listed in bench/npm_scripts.txt, one per line, fetching each
# package with `npm pack` into bench/.cache the first time. Fails when one cannot be fetched.
set -e
here=$(dirname "$0")
grep -v -e '^#' -e '^$' "$here/npm_scripts.txt" | while read -r package version path; do
  [ -n "$package" ] && "$here/fetch_npm.sh" "$package" "$version" "$path"
done
