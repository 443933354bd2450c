#!/bin/sh
# Set-up for a fresh Debian 12 machine: installs the missing packages, builds, then either starts
# the editor (`run`) or runs the whole test suite (`test`). `run` installs only what building and
# running the editor need; `test` adds the tools of the tests.
set -eu
cd "$(dirname "$0")"

mode=${1:-run}
case "$mode" in
  run | test) ;;
  *)
    echo "usage: $0 [run|test]" >&2
    exit 2
    ;;
esac

# To build and run the editor: the compiler and build tools, the libraries it links, and the fonts
# its fields and code editor ask for ("Arial" and "Courier" resolve to their metric look-alikes).
RUN_PACKAGES="cmake ninja-build g++ pkgconf ccache \
qt6-base-dev libqscintilla2-qt6-dev libicu-dev libpcre2-dev libpng-dev zlib1g-dev libmozjs-102-dev \
fonts-dejavu-core fonts-liberation2"

# To test it as well: GoogleTest, Qt's private headers (a test stands in for a screen reader), an X
# server and xdotool for the tests of the real program, the desktop's validators and man for the
# install test, clang-format for the layout check, getfacl/setfacl for the tests of access lists,
# and the accessibility bus with its Python binding for the test that reads the program as a screen
# reader does.
TEST_PACKAGES="libgtest-dev libgmock-dev qt6-base-private-dev \
xvfb xauth xdotool x11-xkb-utils at-spi2-core python3-pyatspi dbus-daemon dbus-bin \
desktop-file-utils appstream man-db clang-format acl"

packages=$RUN_PACKAGES
[ "$mode" = test ] && packages="$packages $TEST_PACKAGES"
missing=""
for p in $packages; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
# npm fetches the inputs that others wrote (bench/fetch_npm_scripts.sh); a Node.js that brings its own npm
# (and conflicts with Debian's package) serves as well.
if [ "$mode" = test ] && ! command -v npm >/dev/null 2>&1; then missing="$missing npm"; fi
# The tests hold the syntax check against `node --check`; any Node.js with a `node` command serves.
if [ "$mode" = test ] && ! command -v node >/dev/null 2>&1; then missing="$missing nodejs"; fi
if [ -n "$missing" ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y $missing
fi

BUILD="${BUILD_DIR:-build}"
if [ "$mode" = run ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQEM_BUILD_TESTS=OFF -DQEM_BUILD_BENCH=OFF
  cmake --build "$BUILD" --parallel "$(nproc)"
  exec "$BUILD/app/quorval-extension-maker"
fi

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQEM_BUILD_TESTS=ON -DQEM_BUILD_BENCH=ON
cmake --build "$BUILD" --parallel "$(nproc)"
# The tests on files from the npm registry (bench/npm_scripts.txt) skip without them; offline, the
# rest still runs.
bench/fetch_npm_scripts.sh >/dev/null || echo "setup: could not fetch every script of bench/npm_scripts.txt; the tests that read them skip" >&2
ctest --test-dir "$BUILD" --output-on-failure --parallel "$(nproc)"
