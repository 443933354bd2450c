#!/bin/sh
# Builds and runs the runtime benchmark in an optimised build of its own.
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build-bench-runtime}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQEM_BUILD_TESTS=OFF -DQEM_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target bench_runtime
"$build/bench/runtime/bench_runtime"
