#!/bin/sh
# Fetches typescript@5.4.5 into bench/.cache (once), builds the recovery benchmark in an optimised
# build of its own and runs it on Qt's offscreen platform. The copies go to a scratch state folder
# on the disk of the build (STATE, by default a new folder in the build tree), as they would to
# the user's. KEYS (default 320) typed characters per mode, INTERVAL (default 400) ms apart.
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
script=$("$root/bench/fetch_typescript.sh")
build=${BUILD_DIR:-$root/build-bench-recovery}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQEM_BUILD_TESTS=OFF -DQEM_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target bench_recovery
state=${STATE:-$(mktemp -d "$build/recovery-state-XXXXXX")}
trap 'rm -rf "$state"' EXIT
cd "$state"
XDG_STATE_HOME=$state QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} \
  "$build/bench/recovery/bench_recovery" "$script" "${KEYS:-320}" "${INTERVAL:-400}"
