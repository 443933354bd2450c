#!/bin/sh
# Usage: fetch_npm_file.sh <package> <version> <path in the package>
# Prints the path of that file of package@version, fetching the package with `npm pack` into
# bench/.cache (ignored by git) the first time.
set -e
[ $# -eq 3 ] || { echo "usage: $0 <package> <version> <path in the package>" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
cache="$root/bench/.cache"
name="$1-$2"
file="$cache/$name/package/$3"
if [ ! -f "$file" ]; then
  mkdir -p "$cache/$name"
  (cd "$cache" && [ -f "$name.tgz" ] || npm pack --loglevel=error "$1@$2" >/dev/null)
  # A broken download is removed, so that the next run fetches it again.
  if ! tar -xzf "$cache/$name.tgz" -C "$cache/$name" "package/$3"; then
    rm -f "$cache/$name.tgz"
    echo "$0: $name.tgz could not be unpacked; removed" >&2
    exit 1
  fi
fi
echo "$file"
