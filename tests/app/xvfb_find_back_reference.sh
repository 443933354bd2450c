#!/bin/bash
# The real program under Xvfb: `(.*)\1\1\d`, cubic in a line's length, typed into the find bar
# over a line of 20,000 bytes. While it is searched, the window goes on: the caret moved in the
# code with keys shows in the status line at once (pictures of the status line, taken before and
# after End, differ); then a plain word typed at once is found within two seconds, and the keys
# after it land where they should: Escape, a letter over the selected match, Ctrl+S. The saved
# bytes show that the word was found.
# Usage: xvfb_find_back_reference.sh <quorval-extension-maker> <x_screenshot>
set -euo pipefail

exe=$(readlink -f "$1")
shooter=$(readlink -f "$2")
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
eval "$(xdotool getwindowgeometry --shell "$main")"

# The left of the window's bottom strip: the caret's line and column, nothing of the find bar.
status_picture() { "$shooter" "$1" "$main" 0 $((HEIGHT - 60)) 215 60 || fail "no picture of the status line"; }

xdotool key ctrl+f
xdotool type --delay 20 '(.*)\1\1\d'
# The count has started; the engine takes about a second on the pattern before it gives up.
sleep 0.2
started=$(date +%s%N)
click_at "$main" 600 400         # back into the code, the bar still open
xdotool key ctrl+Home
sleep 0.1
status_picture at_start.png
xdotool key End
sleep 0.1
status_picture at_end.png
elapsed=$((($(date +%s%N) - started) / 1000000))
echo "the caret moved and the status line was read twice within $elapsed ms of the search"
[ "$elapsed" -lt 900 ] || fail "the status line was read $elapsed ms into the search, too late to tell"
if cmp -s at_start.png at_end.png; then fail "the status line did not follow the caret while the search ran"; fi

# The word replaces the pattern at once; its match stays selected when Escape closes the bar,
# and Q takes its place.
started=$(date +%s%N)
xdotool key ctrl+f ctrl+a
xdotool type --delay 20 'needle'
xdotool key Escape
xdotool type --delay 20 'Q'
xdotool key ctrl+s
saved_message_closed "after the word was found"
elapsed=$((($(date +%s%N) - started) / 1000000))
echo "the word, Escape, Q and Ctrl+S were handled within $elapsed ms"
[ "$elapsed" -lt 2000 ] || fail "the keys after the pattern waited $elapsed ms"
expect_bytes Extensions/Line.qex "[EXTENSION]\r\nLine\r\n\r\n[AUTHOR]\r\n\r\n\r\n[DESCRIPTION]\r\n\r\n\r\n[HELP]\r\n\r\n\r\n[CODE]\r\n$line Q\r\n\r\n"

exit_with_yes
echo "PASS: the window went on while a back-reference pattern was searched, and the word typed next was found"
