#!/bin/sh
# Fetches typescript@5.4.5 into bench/.cache (once), builds the extension I/O benchmark in an
# optimised build of its own and runs it in a scratch folder (SCRATCH, default a new folder in
# /tmp, so the disk is the one the program would save to), on Qt's offscreen platform unless
# QT_QPA_PLATFORM says otherwise.
set -e
SCRATCH=${SCRATCH:-}
root=$(cd "$(dirname "$0")/../.." && pwd)
script=$("$root/bench/fetch_typescript.sh")
build=${BUILD_DIR:-$root/build-bench-extension-io}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQEM_BUILD_TESTS=OFF -DQEM_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target bench_extension_io
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
if [ -n "$SCRATCH" ]; then
  cd "$SCRATCH"
  exec "$build/bench/extension_io/bench_extension_io" "$script" "${RUNS:-3}"
fi
scratch=$(mktemp -d /tmp/qem-bench-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
"$build/bench/extension_io/bench_extension_io" "$script" "${RUNS:-3}"
