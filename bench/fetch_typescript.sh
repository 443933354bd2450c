#!/bin/sh
# Prints the path of lib/typescript.js from typescript@5.4.5, fetching it into bench/.cache the
# first time (see fetch_npm.sh).
exec "$(dirname "$0")/fetch_npm.sh" typescript 5.4.5 lib/typescript.js
