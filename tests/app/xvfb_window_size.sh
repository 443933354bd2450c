#!/bin/bash
# The real program under Xvfb on a 1280 x 720 screen: the window opens on the screen whole,
# with the code editor reaching down to its bottom; made larger, the code editor takes the room
# (a click into it there types into the code); and the next start opens at that size, or at the
# size given with -qwindowgeometry.
# Usage: xvfb_window_size.sh <quorval-extension-maker>
set -euo pipefail

exe=$(readlink -f "$1")
. "$(dirname "$0")/xvfb_common.sh"
xvfb_start 1280x720

geometry() { eval "$(xdotool getwindowgeometry --shell "$main")"; }

start_program
main_window_shown
geometry
[ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le 1280 ] && [ $((Y + HEIGHT)) -le 720 ] ||
  fail "the window ${WIDTH}x${HEIGHT}+${X}+${Y} is not on the 1280x720 screen"
[ "$WIDTH" -eq 1024 ] || fail "the window is $WIDTH wide, not 1024"
# 40 pixels above the window's bottom edge is inside the code editor.
type_at 600 $((HEIGHT - 40)) 'a'

xdotool windowsize "$main" 1200 690
sleep 0.5
geometry
[ "$WIDTH" -eq 1200 ] && [ "$HEIGHT" -eq 690 ] || fail "the window did not take the size 1200x690"
# Beyond the old right edge and below the old bottom: the code editor now (were it not, the
# keyboard would stay in the name field clicked first).
click_at "$main" 100 70
type_at 1150 650 'b'

xdotool key ctrl+s
prompt=$(new_window '^Enter the extension name$') || fail "Ctrl+S did not open the name prompt"
focus "$prompt"
xdotool type --delay 20 'Sized'
xdotool key Tab Tab space
saved_message_closed
expect_bytes Extensions/Sized.qex '[EXTENSION]\r\n\r\n\r\n[AUTHOR]\r\n\r\n\r\n[DESCRIPTION]\r\n\r\n\r\n[HELP]\r\n\r\n\r\n[CODE]\r\nab\r\n\r\n'
exit_with_yes

start_program
main_window_shown "again"
geometry
[ "$WIDTH" -eq 1200 ] && [ "$HEIGHT" -eq 690 ] || fail "the second start opened at ${WIDTH}x${HEIGHT}, not 1200x690"
grep -qx 'width=1200' "$XDG_CONFIG_HOME/quorval-extension-maker/settings.conf" || fail "the width was not remembered"
exit_with_yes

# A size given with -qwindowgeometry stands for the remembered one (both below the menu bar, whose
# height is the window's less the remembered height), at the place given; too large, it is fitted.
remembered=$(sed -n 's/^height=//p' "$XDG_CONFIG_HOME/quorval-extension-maker/settings.conf")
menu_bar=$((690 - remembered))
start_program -qwindowgeometry 700x600+10+10
main_window_shown "with -qwindowgeometry"
geometry
[ "$WIDTH" -eq 700 ] && [ "$HEIGHT" -eq $((600 + menu_bar)) ] && [ "$X" -eq 10 ] && [ "$Y" -eq 10 ] ||
  fail "-qwindowgeometry 700x600+10+10 opened the window at ${WIDTH}x${HEIGHT}+${X}+${Y}"
exit_with_yes
start_program -qwindowgeometry 3000x2000+10+10
main_window_shown "with a size larger than the screen"
geometry
[ "$WIDTH" -le 1280 ] && [ "$HEIGHT" -le 720 ] || fail "-qwindowgeometry 3000x2000 was not fitted: ${WIDTH}x${HEIGHT}"
exit_with_yes
echo "PASS: on a 1280x720 screen the window fits, grows with the code editor, reopens at its size and takes a size given with -qwindowgeometry"
