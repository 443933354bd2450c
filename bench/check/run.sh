#!/bin/sh
# Fetches typescript@5.4.5 into bench/.cache (once), builds the syntax check's benchmark in an
# optimised build of its own and runs it on Qt's offscreen platform: checking typescript.js against
# `node --check` on it, typing in it with checking on against off, and the memory the checker adds.
# KEYS (default 320) typed characters per mode, INTERVAL (default 300) ms apart; with checking on,
# a check starts PAUSE (default 200) ms after each key.
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
script=$("$root/bench/fetch_typescript.sh")
build=${BUILD_DIR:-$root/build-bench-check}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQEM_BUILD_TESTS=OFF -DQEM_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target bench_check
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} exec "$build/bench/check/bench_check" "$script" "${KEYS:-320}" \
  "${INTERVAL:-300}" "${PAUSE:-200}"
