#!/bin/bash
# The real program under Xvfb, typed at by xdotool as a person would: fill three fields,
# Ctrl+S, name the extension in the prompt, OK by keyboard, close the message, check the
# bytes on disk, then Ctrl+X and Yes; the process must end with exit code 0. The server and the
# platform are named by Qt's own options, not by the environment, so those reach Qt too.
# Usage: xvfb_save_and_exit.sh <quorval-extension-maker> [<x_screenshot> <picture folder>]
set -euo pipefail

exe=$(readlink -f "$1")
shooter=${2:+$(readlink -f "$2")}
pictures=${3:+$(readlink -f "$3")}

. "$(dirname "$0")/xvfb_common.sh"
xvfb_start
display=$DISPLAY
DISPLAY= QT_QPA_PLATFORM=offscreen start_program -platform xcb -display "$display"

main_window_shown
[ -d Extensions ] || fail "the Extensions folder was not created at start-up"

# The fields lie at fixed places below the menu bar; these points are inside each field for
# any menu bar from 18 to 30 pixels high.
type_at 100 70 'Sparkle'         # Extension name
type_at 100 125 'Ann'            # Author
type_at 600 400 'var x = 1;'     # Code
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
expect_bytes "$file" '[EXTENSION]\r\nSparkle\r\n\r\n[AUTHOR]\r\nAnn\r\n\r\n[DESCRIPTION]\r\n\r\n\r\n[HELP]\r\n\r\n\r\n[CODE]\r\nvar x = 1;\r\n\r\n'

focus "$main"
xdotool key ctrl+x
confirm=$(new_window '^Confirm$') || fail "Ctrl+X did not ask for confirmation"
focus "$confirm"
shot exit-question
xdotool key Return

expect_clean_exit
echo "PASS: saved $file byte for byte and exited with code 0"
