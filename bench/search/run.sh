#!/bin/sh
# Fetches typescript@5.4.5 into bench/.cache (once), builds the search benchmark in an optimised
# build of its own and runs it on Qt's offscreen platform. KEYS (default 320, 0 skips typing)
# typed characters per mode, INTERVAL (default 400) ms apart.
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
script=$("$root/bench/fetch_typescript.sh")
build=${BUILD_DIR:-$root/build-bench-search}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQEM_BUILD_TESTS=OFF -DQEM_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target bench_search
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} exec "$build/bench/search/bench_search" "$script" "${KEYS:-320}" "${INTERVAL:-400}"
