#!/bin/sh
# Prints the path of one file of an npm package at a pinned version, fetching the package with
# `npm pack` into bench/.cache (ignored by git) the first time. Inputs written by others are
# fetched so, never kept in the repository.
# Usage: fetch_npm.sh <package> <version> <file in the package>
set -e
if [ $# -ne 3 ]; then
  echo "usage: $0 <package> <version> <file in the package>" >&2
  exit 2
fi
name=$1
version=$2
root=$(cd "$(dirname "$0")/.." && pwd)
cache="$root/bench/.cache"
unpacked="$cache/$name-$version"
file="$unpacked/package/$3"
if [ ! -f "$file" ]; then
  mkdir -p "$unpacked"
  (cd "$cache" && [ -f "$name-$version.tgz" ] || npm pack --loglevel=error "$name@$version" >/dev/null)
  # A broken download is removed, so that the next run fetches it again.
  if ! tar -xzf "$cache/$name-$version.tgz" -C "$unpacked" "package/$3"; then
    rm -f "$cache/$name-$version.tgz"
    echo "$0: $name-$version.tgz could not be unpacked; removed" >&2
    exit 1
  fi
fi
echo "$file"
