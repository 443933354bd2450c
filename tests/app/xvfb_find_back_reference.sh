#!/bin/bash
# The real program under Xvfb: `(.*)\1\1\d`, cubic in a line's length, typed into the find bar
# over a line of 20,000 bytes gives up within seconds instead of freezing the window for
# minutes; a plain word typed next is found at once, and the keys after it land where they
# should: Escape, a letter over the selected match, Ctrl+S. The saved bytes show that the word
# was found.
# Usage: xvfb_find_back_reference.sh <quorval-extension-maker>
set -euo pipefail

exe=$(readlink -f "$1")
. "$(dirname "$0")/xvfb_common.sh"
xvfb_start

mkdir Extensions
line=$(printf 'ab%.0s' $(seq 10000))
printf '[EXTENSION]\r\nLine\r\n\r\n[AUTHOR]\r\n\r\n\r\n[DESCRIPTION]\r\n\r\n\r\n[HELP]\r\n\r\n\r\n[CODE]\r\n%s needle\r\n\r\n' "$line" \
  > Extensions/Line.qex
# Regular expression ticked, as a run that ended with it ticked remembers it.
mkdir -p "$XDG_CONFIG_HOME/quorval-extension-maker"
printf 'regular_expression=1\n' > "$XDG_CONFIG_HOME/quorval-extension-maker/settings.conf"
start_program Extensions/Line.qex
main_window_shown
click_at "$main" 600 400         # Code, so that Ctrl+F reaches the window's shortcuts
xdotool key ctrl+Home

xdotool key ctrl+f
xdotool type --delay 20 '(.*)\1\1\d'
# The search runs on the window's thread: each step of the pattern that gives up holds it for
# about a second, and keys typed into a window that holds them were seen to go astray.
sleep 6

# The word replaces the pattern; its match stays selected when Escape closes the bar, and Q
# takes its place. The search gave up on the pattern, so nothing of it is left to slow them.
started=$(date +%s%N)
xdotool key ctrl+a
xdotool type --delay 20 'needle'
xdotool key Escape
xdotool type --delay 20 'Q'
xdotool key ctrl+s
saved_message_closed "after the word was found"
elapsed=$((($(date +%s%N) - started) / 1000000))
echo "the word, Escape, Q and Ctrl+S were handled within $elapsed ms"
[ "$elapsed" -lt 3000 ] || fail "the keys after the pattern waited $elapsed ms"
expect_bytes Extensions/Line.qex "[EXTENSION]\r\nLine\r\n\r\n[AUTHOR]\r\n\r\n\r\n[DESCRIPTION]\r\n\r\n\r\n[HELP]\r\n\r\n\r\n[CODE]\r\n$line Q\r\n\r\n"

exit_with_yes
echo "PASS: a back-reference pattern over a long line gave up, and the word typed next was found"
