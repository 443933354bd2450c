#!/bin/sh
# Fetches typescript@5.4.5 into bench/.cache (once), builds the highlighting benchmark in an
# optimised build of its own and runs it on lib/typescript.js on Qt's offscreen platform.
# KEYS (default 200) sets the keys typed per case (half as many jumps).
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
script=$("$root/bench/fetch_typescript.sh")
build=${BUILD_DIR:-$root/build-bench-highlight}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQEM_BUILD_TESTS=OFF -DQEM_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target bench_highlight
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} exec "$build/bench/highlight/bench_highlight" "$script" "${KEYS:-200}"
