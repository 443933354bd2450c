#!/bin/sh
# Set-up for a fresh Debian 12 machine: installs the missing packages, builds,
# then either starts the editor (`run`) or runs the whole test suite (`test`).
set -eu
cd "$(dirname "$0")"

PACKAGES="cmake ninja-build g++ pkg-config ccache libgtest-dev libgmock-dev \
qt6-base-dev qt6-base-private-dev libqscintilla2-qt6-dev libicu-dev libpcre2-dev libpng-dev zlib1g-dev \
fonts-dejavu-core fonts-liberation2 xvfb xauth xdotool x11-xkb-utils \
dpkg-dev file desktop-file-utils appstream clang-format"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
# npm fetches the benchmarks' input (bench/fetch_typescript.sh); a Node.js that brings its own npm
# (and conflicts with Debian's package) serves as well.
command -v npm >/dev/null 2>&1 || missing="$missing npm"
if [ -n "$missing" ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y $missing
fi

BUILD="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" --parallel "$(nproc)"

case "${1:-run}" in
  run)
    exe="$BUILD/app/quorval-extension-maker"
    if [ -x "$exe" ]; then
      exec "$exe"
    fi
    echo "The editor itself is not built yet; the runtime libraries and tests are."
    ;;
  test)
    ctest --test-dir "$BUILD" --output-on-failure --parallel "$(nproc)"
    ;;
  *)
    echo "usage: $0 [run|test]" >&2
    exit 2
    ;;
esac
