#!/bin/bash
# The real program under Xvfb, typed at by xdotool: Ctrl+Space after "deb" offers the function
# that the code declares above, and Enter puts it in place of "deb"; the saved bytes show it.
# Usage: xvfb_complete_word.sh <quorval-extension-maker>
set -euo pipefail

exe=$(readlink -f "$1")
. "$(dirname "$0")/xvfb_common.sh"
xvfb_start
start_program
main_window_shown

type_at 100 70 'Waiter'                                     # Extension name
type_at 600 400 'function debounce(wait) { return wait; }'  # Code
xdotool key Return
xdotool type --delay 20 'deb'    # the keyword list opens by itself at the third letter
xdotool key ctrl+space
sleep 0.5
xdotool key Return
xdotool key ctrl+s
prompt=$(new_window '^Enter the extension name$') || fail "Ctrl+S did not open the name prompt"
focus "$prompt"
xdotool type --delay 20 'Waiter'
xdotool key Tab Tab space
saved_message_closed "after Complete Word"
expect_bytes Extensions/Waiter.qex '[EXTENSION]\r\nWaiter\r\n\r\n[AUTHOR]\r\n\r\n\r\n[DESCRIPTION]\r\n\r\n\r\n[HELP]\r\n\r\n\r\n[CODE]\r\nfunction debounce(wait) { return wait; }\r\ndebounce\r\n\r\n'

exit_with_yes
echo "PASS: Ctrl+Space after \"deb\" offered the declared debounce, and Enter put it in place of the word"
