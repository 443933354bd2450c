#!/bin/bash
# The real program given a file it cannot take as it is: a name that is not valid UTF-8, or
# bytes that are not text (a NUL, an encoded surrogate). It says so in an "Error" message and
# takes nothing from the file, so the first Ctrl+S still asks for a name, and nothing is written
# under a changed name or over the file.
# Usage: xvfb_name_not_utf8.sh <quorval-extension-maker>
set -euo pipefail

exe=$(readlink -f "$1")
. "$(dirname "$0")/xvfb_common.sh"
xvfb_start

# Starts the program on the file holding the bytes (printf's format), and expects the refusal.
refused() {
  local name=$1 bytes=$2 error prompt
  # shellcheck disable=SC2059  # the bytes are written as a format of escapes
  printf "$bytes" > "$name"
  start_program "$name"
  error=$(new_window '^Error$') || fail "no message refused $3"
  focus "$error"
  xdotool key Return
  window_gone "$error" '^Error$' || fail "Enter did not close the message"
  main_window_shown

  xdotool key ctrl+s
  prompt=$(new_window '^Enter the extension name$') || fail "a name was taken from $3: Ctrl+S did not ask"
  focus "$prompt"
  xdotool key Tab space            # from the name field, Tab reaches Cancel
  window_gone "$prompt" '^Enter the extension name$' || fail "Cancel did not close the prompt"
  exit_with_yes
  [ -z "$(ls -A Extensions)" ] || fail "Extensions holds $(ls -A Extensions)"
  expect_bytes "$name" "$bytes"
}

refused $'caf\xe9.qex' '[EXTENSION]\r\nCafe\r\n\r\n' "a name that is not UTF-8"
refused 'bytes.qex' '[EXTENSION]\r\nBytes\r\n\r\n[CODE]\r\na\0b = "\xed\xa0\x80";\r\n\r\n' "bytes that are not text"
echo "PASS: a name that is not UTF-8 and bytes that are not text were refused, and nothing was saved"
