#!/bin/sh
# Prints the path of lib/typescript.js from typescript@5.4.5, fetching it with `npm pack` into
# bench/.cache (ignored by git) the first time.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
cache="$root/bench/.cache"
script="$cache/typescript-5.4.5/package/lib/typescript.js"
if [ ! -f "$script" ]; then
  mkdir -p "$cache/typescript-5.4.5"
  (cd "$cache" && [ -f typescript-5.4.5.tgz ] || npm pack typescript@5.4.5 >/dev/null)
  tar -xzf "$cache/typescript-5.4.5.tgz" -C "$cache/typescript-5.4.5" package/lib/typescript.js
fi
echo "$script"
