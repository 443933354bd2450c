#!/bin/bash
# The real program under Xvfb, typed at by xdotool: Replace All in the find bar, then undo, with
# the bytes on disk compared after each Save; Ctrl+G to a line and column, F8 to a syntax error,
# and Ctrl+Shift+O to a function by part of its name, where the next key lands.
# Usage: xvfb_find_replace_go_to.sh <quorval-extension-maker>
set -euo pipefail

exe=$(readlink -f "$1")
. "$(dirname "$0")/xvfb_common.sh"
xvfb_start
start_program
main_window_shown

type_at 100 70 'Sparkle'                          # Extension name
type_at 600 400 'var a = 1;'                      # Code
xdotool key Return
xdotool type --delay 20 'var b = a + a;'

# Ctrl+H: the caret is in the find field; four Tabs (Previous, Next, Close) reach the
# replacement, two more Replace All.
xdotool key ctrl+h
xdotool type --delay 20 'a'
xdotool key Tab Tab Tab Tab
xdotool type --delay 20 'xy'
xdotool key Tab Tab Return
sleep 0.3
xdotool key ctrl+s
prompt=$(new_window '^Enter the extension name$') || fail "Ctrl+S did not open the name prompt"
focus "$prompt"
xdotool type --delay 20 'Sparkle'
xdotool key Tab Tab space
saved_message_closed "after Replace All"
code_line() { printf '[EXTENSION]\\r\\nSparkle\\r\\n\\r\\n[AUTHOR]\\r\\n\\r\\n\\r\\n[DESCRIPTION]\\r\\n\\r\\n\\r\\n[HELP]\\r\\n\\r\\n\\r\\n[CODE]\\r\\n%s\\r\\n\\r\\n' "$1"; }
expect_bytes Extensions/Sparkle.qex "$(code_line 'vxyr xy = 1;\r\nvxyr b = xy + xy;')"

# One undo in the code takes every replacement back.
focus "$main"
click_at "$main" 600 400
xdotool key ctrl+z ctrl+s
saved_message_closed "after undo"
expect_bytes Extensions/Sparkle.qex "$(code_line 'var a = 1;\r\nvar b = a + a;')"

# Escape closes the bar; Ctrl+G, a line that is not there (nothing moves), then line 2, column 5.
xdotool key Escape ctrl+g
xdotool type --delay 20 '9'
xdotool key Return
xdotool key ctrl+a
xdotool type --delay 20 '2:5'
xdotool key Return
sleep 0.2
xdotool type --delay 20 'Q'
xdotool key ctrl+s
saved_message_closed "after going to 2:5"
expect_bytes Extensions/Sparkle.qex "$(code_line 'var a = 1;\r\nvar Qb = a + a;')"

# A broken line is checked once typing pauses; F8 from the top puts the caret at its error, where
# the missing parenthesis goes. Once that fix is checked, F8 has nothing to go to.
focus "$main"
click_at "$main" 600 400
xdotool key ctrl+End Return
xdotool type --delay 20 'var c = (a + 2;'
sleep 2
xdotool key ctrl+Home F8
xdotool type --delay 20 ')'
sleep 2
xdotool key ctrl+Home F8
xdotool type --delay 20 'Z'
xdotool key ctrl+s
saved_message_closed "after going to the error and fixing it"
expect_bytes Extensions/Sparkle.qex "$(code_line 'Zvar a = 1;\r\nvar Qb = a + a;\r\nvar c = (a + 2);')"

# Two functions below; from the top, Go to Symbol with part of the second one's name, and Enter:
# the next key lands on its name.
xdotool key ctrl+End Return
xdotool type --delay 20 'function debounceLater() {}'
xdotool key Return
xdotool type --delay 20 'function other() {}'
xdotool key ctrl+Home ctrl+shift+o
xdotool type --delay 20 'later'
sleep 1
xdotool key Return
sleep 0.2
xdotool type --delay 20 'W'
xdotool key ctrl+s
saved_message_closed "after going to a symbol"
expect_bytes Extensions/Sparkle.qex \
  "$(code_line 'Zvar a = 1;\r\nvar Qb = a + a;\r\nvar c = (a + 2);\r\nfunction WdebounceLater() {}\r\nfunction other() {}')"

exit_with_yes
echo "PASS: Replace All and its undo saved byte for byte; Ctrl+G to 2:5, F8 to a syntax error and Ctrl+Shift+O to a function put the next key there"
