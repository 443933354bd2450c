#!/bin/bash
# The real program given a file whose name is not valid UTF-8: it says so in an "Error"
# message and takes nothing from it, so the first Ctrl+S still asks for a name, and nothing
# is written under a changed name.
# Usage: xvfb_name_not_utf8.sh <quorval-extension-maker>
set -euo pipefail

exe=$(readlink -f "$1")
. "$(dirname "$0")/xvfb_common.sh"
xvfb_start

name=$'caf\xe9.qex'
printf '[EXTENSION]\r\nCafe\r\n\r\n' > "$name"
start_program "$name"
error=$(new_window '^Error$') || fail "no message said the name is not UTF-8"
focus "$error"
xdotool key Return
window_gone "$error" '^Error$' || fail "Enter did not close the message"
main_window_shown

xdotool key ctrl+s
prompt=$(new_window '^Enter the extension name$') || fail "a name was taken from the file: Ctrl+S did not ask"
focus "$prompt"
xdotool key Tab space            # from the name field, Tab reaches Cancel
window_gone "$prompt" '^Enter the extension name$' || fail "Cancel did not close the prompt"
exit_with_yes
[ -z "$(ls -A Extensions)" ] || fail "Extensions holds $(ls -A Extensions)"
[ "$(od -An -tx1 "$name")" = "$(printf '[EXTENSION]\r\nCafe\r\n\r\n' | od -An -tx1)" ] || fail "the file changed"
echo "PASS: a name that is not UTF-8 was refused and nothing was saved under another"
