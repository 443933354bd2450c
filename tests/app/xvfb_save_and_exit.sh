#!/bin/bash
# The real program under Xvfb, typed at by xdotool as a person would: fill three fields,
# Ctrl+S, name the extension in the prompt, OK by keyboard, close the message, check the
# bytes on disk, then Ctrl+X and Yes; the process must end with exit code 0.
# Usage: xvfb_save_and_exit.sh <quorval-extension-maker> [<x_screenshot> <picture folder>]
set -euo pipefail

exe=$(readlink -f "$1")
shooter=${2:+$(readlink -f "$2")}
pictures=${3:+$(readlink -f "$3")}

if [ -z "${QEM_UNDER_XVFB:-}" ]; then
  export QEM_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

work=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }
# A picture of the screen, or of one window when its id follows the name.
shot() { if [ -n "$shooter" ]; then "$shooter" "$pictures/$1.png" ${2:-} 2>/dev/null; fi; }

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

"$exe" > "$work/program.log" 2>&1 &
pid=$!

main=$(new_window '^Quorval Extension Maker$') || fail "the main window did not appear"
focus "$main"
[ -d Extensions ] || fail "the Extensions folder was not created at start-up"

# The fields lie at fixed places below the menu bar; these points are inside each field for
# any menu bar from 18 to 30 pixels high.
click_at "$main" 100 70          # Extension name
xdotool type --delay 20 'Sparkle'
click_at "$main" 100 125         # Author
xdotool type --delay 20 'Ann'
click_at "$main" 600 400         # Code
xdotool type --delay 20 'var x = 1;'
sleep 0.3
shot main-window
shot main-window-alone "$main"

# The File menu opens on a click and closes with Escape, changing nothing.
click_at "$main" 20 8
shot menu-open
xdotool key Escape
sleep 0.2

xdotool key ctrl+s
prompt=$(new_window '^Enter the extension name$') || fail "Ctrl+S did not open the name prompt"
focus "$prompt"
shot name-prompt-empty
# The caret is in the name field already.
xdotool type --delay 20 'Sparkle'
# Focus order is Cancel, OK, field: from the field, two Tabs reach OK.
xdotool key Tab Tab space

message=$(new_window '^Quorval Extension Maker$' "$main") || fail "no message after OK in the prompt"
focus "$message"
shot saved-message
xdotool key Return
window_gone "$message" '^Quorval Extension Maker$' || fail "Enter did not close the message"
window_gone "$prompt" '^Enter the extension name$' || fail "the prompt stayed open after OK"

file=Extensions/Sparkle.qex
[ -f "$file" ] || fail "$file was not written"
expected=$(printf '[EXTENSION]\r\nSparkle\r\n\r\n[AUTHOR]\r\nAnn\r\n\r\n[DESCRIPTION]\r\n\r\n\r\n[HELP]\r\n\r\n\r\n[CODE]\r\nvar x = 1;\r\n\r\n' | od -An -tx1)
actual=$(od -An -tx1 "$file")
[ "$expected" = "$actual" ] || { echo "expected:$expected"; echo "actual:  $actual"; fail "$file has other bytes"; }

focus "$main"
xdotool key ctrl+x
confirm=$(new_window '^Confirm$') || fail "Ctrl+X did not ask for confirmation"
focus "$confirm"
shot exit-question
xdotool key Return

status=0
for _ in $(seq 300); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then fail "the program is still running after Yes"; fi
wait "$pid" || status=$?
pid=""
[ "$status" -eq 0 ] || { cat "$work/program.log" >&2; fail "exit code $status"; }
echo "PASS: saved $file byte for byte and exited with code 0"
