#!/bin/sh
# Fetches typescript@5.4.5 into bench/.cache (once), builds the benchmark of the code's names in an
# optimised build of its own and runs it on Qt's offscreen platform: Complete Word at the end of
# typescript.js, and typing with the occurrence marks on against off. KEYS (default 320, 0 skips
# typing) typed characters per mode, INTERVAL (default 400) ms apart.
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
script=$("$root/bench/fetch_typescript.sh")
build=${BUILD_DIR:-$root/build-bench-names}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQEM_BUILD_TESTS=OFF -DQEM_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target bench_names_editing
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} exec "$build/bench/names/bench_names_editing" "$script" "${KEYS:-320}" \
  "${INTERVAL:-400}"
