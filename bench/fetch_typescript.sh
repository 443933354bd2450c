#!/bin/sh
# Prints the path of lib/typescript.js from typescript@5.4.5, fetching it with `npm pack` into
# bench/.cache (ignored by git) the first time.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
cache="$root/bench/.cache"
script="$cache/typescript-5.4.5/package/lib/typescript.js"
if [ ! -f "$script" ]; then
  mkdir -p "$cache/typescript-5.4.5"
  (cd "$cache" && [ -f typescript-5.4.5.tgz ] || npm pack --loglevel=error typescript@5.4.5 >/dev/null)
  # A broken download is removed, so that the next run fetches it again.
  if ! tar -xzf "$cache/typescript-5.4.5.tgz" -C "$cache/typescript-5.4.5" package/lib/typescript.js; then
    rm -f "$cache/typescript-5.4.5.tgz"
    echo "$0: typescript-5.4.5.tgz could not be unpacked; removed" >&2
    exit 1
  fi
fi
echo "$script"
