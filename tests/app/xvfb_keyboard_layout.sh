#!/bin/bash
# The real program under Xvfb with a Russian keyboard, typed at by xdotool: Ctrl plus the keys
# labelled S and X are Save and Exit as on a US keyboard, and Ctrl+X cuts nothing. First with the
# US and Russian layouts and the Russian group active, then with the Russian layout alone, where
# no layout has a Latin letter on those keys and only the key's place tells which one it is.
# Usage: xvfb_keyboard_layout.sh <quorval-extension-maker>
set -euo pipefail

exe=$(readlink -f "$1")
. "$(dirname "$0")/xvfb_common.sh"
xvfb_start

# xdotool presses each key with the group that holds its symbol locked, so the Cyrillic symbols
# below are the keys labelled S and X with the Russian group locked.
use_layout() {
  setxkbmap -layout "$1"
  setxkbmap -query | grep -qx "layout: *$1" || fail "the layout $1 was not set"
}
S_KEY=Cyrillic_yeru
X_KEY=Cyrillic_che

# Ctrl+X on the selected name asks to exit; No keeps the program and, below, the name.
exit_answered_no() {
  focus "$main"
  click_at "$main" 100 70          # Extension name
  xdotool key Home shift+End
  xdotool key "ctrl+$X_KEY"
  local confirm
  confirm=$(new_window '^Confirm$') || fail "Ctrl+X with the $1 layout did not ask to exit"
  focus "$confirm"
  xdotool key Escape
  window_gone "$confirm" '^Confirm$' || fail "Escape did not answer No"
}

use_layout us,ru
start_program
main_window_shown
type_at 100 70 'Sparkle'           # Extension name
exit_answered_no us,ru

focus "$main"
xdotool key "ctrl+$S_KEY"
prompt=$(new_window '^Enter the extension name$') || fail "Ctrl+S with the us,ru layout did not open the name prompt"
focus "$prompt"
xdotool type --delay 20 'Sparkle'
xdotool key Tab Tab space          # OK
saved_message_closed "us,ru layout"

use_layout ru
exit_answered_no ru
focus "$main"
xdotool key "ctrl+$S_KEY"          # the name is set: the save happens at once
saved_message_closed "ru layout"
expect_bytes Extensions/Sparkle.qex '[EXTENSION]\r\nSparkle\r\n\r\n[AUTHOR]\r\n\r\n\r\n[DESCRIPTION]\r\n\r\n\r\n[HELP]\r\n\r\n\r\n[CODE]\r\n\r\n\r\n'

exit_with_yes "ctrl+$X_KEY"
echo "PASS: Ctrl+S and Ctrl+X by their keys under the us,ru and ru layouts; the name was not cut"
