# Sourced by the Xvfb tests: a private X server, a scratch folder to run the program in, and the
# helpers that play a person at it with xdotool. The test sets `exe` (and, for pictures, `shooter`
# and `pictures`) before sourcing this file, then calls xvfb_start and start_program.

work=$(mktemp -d)
pid=""        # the program, once started
xvfb_pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
# Recovery copies and settings go to folders of the test's own, never to the user's.
export XDG_STATE_HOME="$work/state"
export XDG_CONFIG_HOME="$work/config"

fail() { echo "FAIL: $*" >&2; exit 1; }

# Starts an X server of our own, with a screen of 1280 x 1024 unless another size is given
# ("1280x720"). It picks a free display itself and tells us which (two tests started at once
# never share one), and the program is pointed at it whatever platform the environment names
# (QT_QPA_PLATFORM=offscreen would never reach the server).
xvfb_start() {
  # -noreset: what a client set (the keyboard layout) outlives that client.
  Xvfb -displayfd 3 -screen 0 "${1:-1280x1024}x24" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  local tries=0
  until [ -s "$work/display" ]; do
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then cat "$work/xvfb.log" >&2; fail "Xvfb did not start"; fi
    if [ $tries -ge 400 ]; then fail "Xvfb named no display"; fi
    sleep 0.05
    tries=$((tries + 1))
  done
  export DISPLAY=":$(head -n 1 "$work/display")"
  export QT_QPA_PLATFORM=xcb
}

# Arguments go to the program; its output goes to program.log, replacing an earlier run's.
start_program() {
  "$exe" "$@" > "$work/program.log" 2>&1 &
  pid=$!
}

# A picture of the screen, or of one window when its id follows the name.
shot() { if [ -n "${shooter:-}" ]; then "$shooter" "$pictures/$1.png" ${2:-} 2>/dev/null; fi; }

# Waits for a visible window whose title matches, not counting the windows listed after the
# pattern; prints its id.
new_window() {
  local pattern=$1; shift
  local tries=0 id
  while [ $tries -lt 600 ]; do
    for id in $(xdotool search --onlyvisible --name "$pattern" 2>/dev/null); do
      case " $* " in *" $id "*) ;; *) echo "$id"; return 0 ;; esac
    done
    sleep 0.05
    tries=$((tries + 1))
  done
  return 1
}

# Waits until the window is gone (unmapped or destroyed).
window_gone() {
  local tries=0
  while [ $tries -lt 600 ]; do
    xdotool search --onlyvisible --name "$2" 2>/dev/null | grep -qx "$1" || return 0
    sleep 0.05
    tries=$((tries + 1))
  done
  return 1
}

# A person clicks a window to bring it forward before typing into it; without a window
# manager that is what gives it the keyboard.
focus() { xdotool windowfocus --sync "$1"; sleep 0.2; }
# A click at a point of a window (its own coordinates, menu bar included).
click_at() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.2; }

# The steps the tests share, named as a person would tell them. Each fails the test, saying which
# step, when the program does not answer as expected.

# The main window has appeared (again); it is in $main and has the keyboard.
main_window_shown() {
  main=$(new_window '^Quorval Extension Maker$') || fail "the main window did not appear${1:+ $1}"
  focus "$main"
}

# A click into a field of the main window at that point, then the text typed there.
type_at() {
  click_at "$main" "$1" "$2"
  xdotool type --delay 20 "$3"
}

# The message that reports a save has appeared over the main window and is closed with Enter.
saved_message_closed() {
  local message
  message=$(new_window '^Quorval Extension Maker$' "$main") || fail "no message after the save${1:+ ($1)}"
  focus "$message"
  xdotool key Return
  window_gone "$message" '^Quorval Extension Maker$' || fail "Enter did not close the message"
}

# The exit key (Ctrl+X unless another key is named) in the main window, Yes to the question,
# and the program ends with exit code 0.
exit_with_yes() {
  local confirm
  focus "$main"
  xdotool key "${1:-ctrl+x}"
  confirm=$(new_window '^Confirm$') || fail "Ctrl+X did not ask for confirmation"
  focus "$confirm"
  xdotool key Return
  expect_clean_exit
}

# Fails unless the file holds exactly the bytes that printf makes of the format.
expect_bytes() {
  local expected actual
  [ -f "$1" ] || fail "$1 was not written"
  expected=$(printf "$2" | od -An -tx1)
  actual=$(od -An -tx1 "$1")
  if [ "$expected" != "$actual" ]; then
    echo "expected:$expected"
    echo "actual:  $actual"
    fail "$1 has other bytes"
  fi
}

# After the last Yes: the program ends, with exit code 0.
expect_clean_exit() {
  local status=0
  for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then fail "the program is still running after Yes"; fi
  wait "$pid" || status=$?
  pid=""
  if [ "$status" -ne 0 ]; then cat "$work/program.log" >&2; fail "exit code $status"; fi
}
