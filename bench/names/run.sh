#!/bin/sh
# Fetches typescript@5.4.5 into bench/.cache (once), installs universal-ctags when it is missing
# (the peer whose time and count are printed beside ours), builds the names benchmarks in an
# optimised build of their own and runs each on Qt's offscreen platform with the script.
# KEYS (default 160) typed characters per mode, INTERVAL (default 300) ms apart, for the typing
# comparisons. bench_names: the symbol index, Go to Symbol, typing with check and index on
# against off; bench_names_editing: Complete Word and typing with the occurrence marks on against
# off. BENCHES picks some of them.
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
script=$("$root/bench/fetch_typescript.sh")
if ! command -v ctags-universal >/dev/null 2>&1; then
  if [ "$(id -u)" = 0 ]; then apt-get install -y universal-ctags >/dev/null; else sudo apt-get install -y universal-ctags >/dev/null; fi
fi
build=${BUILD_DIR:-$root/build-bench-names}
BENCHES=${BENCHES:-bench_names bench_names_editing}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQEM_BUILD_TESTS=OFF -DQEM_BUILD_BENCH=ON >/dev/null
for bench in $BENCHES; do cmake --build "$build" --target "$bench"; done
for bench in $BENCHES; do
  QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/names/$bench" "$script" "${KEYS:-160}" "${INTERVAL:-300}"
done
