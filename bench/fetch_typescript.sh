#!/bin/sh
# Prints the path of lib/typescript.js from typescript@5.4.5, fetching it with `npm pack` into
# bench/.cache (ignored by git) the first time.
exec "$(dirname "$0")/fetch_npm_file.sh" typescript 5.4.5 lib/typescript.js
