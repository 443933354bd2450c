#!/bin/bash
# The real program, opened on a file from the command line, typed at and killed with SIGKILL.
# Started again it offers the unsaved work back: Yes, Ctrl+S (the name came back too, so no
# prompt), and the saved file holds every byte typed before the kill. Then more typing and a
# confirmed Exit, which keeps the work for the next start in the same way.
# Usage: xvfb_recover_after_kill.sh <quorval-extension-maker>
set -euo pipefail

exe=$(readlink -f "$1")
. "$(dirname "$0")/xvfb_common.sh"
xvfb_start
copies="$XDG_STATE_HOME/quorval-extension-maker"

mkdir elsewhere
printf '[EXTENSION]\r\nSparkle\r\n\r\n[AUTHOR]\r\nAnn\r\n\r\n[DESCRIPTION]\r\n\r\n\r\n[HELP]\r\n\r\n\r\n[CODE]\r\nvar x = 1;\r\n\r\n' > elsewhere/Sparkle.qex
start_program elsewhere/Sparkle.qex
main_window_shown
click_at "$main" 190 125         # Author, right of its text
xdotool key End
xdotool type --delay 20 'e'
click_at "$main" 600 400         # Code
xdotool key ctrl+End
xdotool type --delay 20 ' y = 2;'

for _ in $(seq 150); do
  grep -qs 'y = 2;' "$copies"/*.qex && break
  sleep 0.1
done
grep -qs 'y = 2;' "$copies"/*.qex || fail "no recovery copy holds the typed text"
kill -KILL "$pid"
wait "$pid" 2>/dev/null || true

start_program
question=$(new_window '^Confirm$') || fail "the unsaved work was not offered"
focus "$question"
xdotool key Return               # Yes
main_window_shown again
xdotool key ctrl+s                 # the name came back: no prompt
saved_message_closed "Ctrl+S at once"

expect_bytes Extensions/Sparkle.qex '[EXTENSION]\r\nSparkle\r\n\r\n[AUTHOR]\r\nAnne\r\n\r\n[DESCRIPTION]\r\n\r\n\r\n[HELP]\r\n\r\n\r\n[CODE]\r\nvar x = 1; y = 2;\r\n\r\n'

# Hot exit: more typing, then Ctrl+X and Return (Yes is the default answer) at once. The next
# start offers the work; Yes, and Ctrl+S saves it over the file it came from without a question.
focus "$main"
click_at "$main" 600 400
xdotool key ctrl+End
xdotool type --delay 20 ' z = 3;'
exit_with_yes
[ -n "$(ls "$copies"/*.qex 2>/dev/null)" ] || fail "Exit kept no copy of the unsaved work"
start_program
question=$(new_window '^Confirm$') || fail "the work kept at Exit was not offered"
focus "$question"
xdotool key Return               # Yes
main_window_shown "after the hot exit"
xdotool key ctrl+s
saved_message_closed "Ctrl+S after the hot exit"
expect_bytes Extensions/Sparkle.qex '[EXTENSION]\r\nSparkle\r\n\r\n[AUTHOR]\r\nAnne\r\n\r\n[DESCRIPTION]\r\n\r\n\r\n[HELP]\r\n\r\n\r\n[CODE]\r\nvar x = 1; y = 2; z = 3;\r\n\r\n'
exit_with_yes
[ -z "$(ls -A "$copies")" ] || fail "the state folder kept $(ls -A "$copies")"
echo "PASS: the work typed before a kill, and before Exit, came back and saved byte for byte"
