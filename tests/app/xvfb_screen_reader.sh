#!/bin/bash
# The real program under Xvfb as a screen reader sees it: a private D-Bus session with the
# accessibility bus, the program with Qt's accessibility on, and screen_reader_view.py reading it
# through AT-SPI while xdotool types. Exits 77 (skipped) only where AT-SPI cannot start, and
# never in CI (CI=true or QEM_REQUIRE_NPM_INPUTS set), where that is a failure.
# Usage: xvfb_screen_reader.sh <quorval-extension-maker>
set -euo pipefail

SKIP=77
required() { [ "${CI:-}" = true ] || [ -n "${QEM_REQUIRE_NPM_INPUTS:-}" ]; }
skip() {
  if required; then
    echo "FAIL: $* (CI must run this test)" >&2
    exit 1
  fi
  echo "SKIP: $*"
  exit $SKIP
}

here=$(cd "$(dirname "$0")" && pwd)
launcher=""
for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
  [ -x "$candidate" ] && launcher=$candidate && break
done
[ -n "$launcher" ] || skip "no at-spi-bus-launcher (package at-spi2-core)"
command -v dbus-run-session >/dev/null || skip "no dbus-run-session (package dbus)"
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || skip "pyatspi cannot be loaded (package python3-pyatspi)"

# Once inside the private session bus: the accessibility bus, the X server, the program.
if [ "${1:-}" != --in-session ]; then
  exec dbus-run-session -- "$0" --in-session "$1"
fi
exe=$(readlink -f "$2")
. "$here/xvfb_common.sh"
launcher_pid=""
stop_launcher() { if [ -n "$launcher_pid" ]; then kill "$launcher_pid" 2>/dev/null || true; fi; }
trap 'stop_launcher; cleanup' EXIT
xvfb_start
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
"$launcher" --launch-immediately > "$work/at-spi.log" 2>&1 &
launcher_pid=$!
tries=0
until dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1; do
  if ! kill -0 "$launcher_pid" 2>/dev/null || [ $tries -ge 100 ]; then
    cat "$work/at-spi.log" >&2
    skip "the accessibility bus did not start"
  fi
  sleep 0.1
  tries=$((tries + 1))
done

# A second group that holds "é", so that xdotool can type it.
setxkbmap -layout us,fr || fail "the layouts us,fr were not set"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
start_program
main_window_shown
status=0
/usr/bin/python3 "$here/screen_reader_view.py" "$pid" || status=$?
if [ $status -eq $SKIP ]; then skip "the accessibility registry could not be reached"; fi
if [ $status -ne 0 ]; then
  cat "$work/program.log" >&2
  exit $status
fi
exit_with_yes
echo "PASS: the program as a screen reader reads it"
