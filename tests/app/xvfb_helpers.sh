# Shared by the Xvfb tests, sourced after `exe` is set: the script runs again under Xvfb, in a
# scratch folder that is its current one, with the moves of a person at the screen (xdotool).
# A program started in the background keeps its process id in `pid`, so that it goes on exit.

if [ -z "${QEM_UNDER_XVFB:-}" ]; then
  export QEM_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

work=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
# Recovery copies go to a state folder of the test's own, never to the user's.
export XDG_STATE_HOME="$work/state"

fail() { echo "FAIL: $*" >&2; exit 1; }
# A picture of the screen, or of one window when its id follows the name.
shot() { if [ -n "${shooter:-}" ]; then "$shooter" "$pictures/$1.png" ${2:-} 2>/dev/null; fi; }

# Waits for a visible window whose title matches, not counting the windows listed after the
# pattern; prints its id.
new_window() {
  local pattern=$1; shift
  local tries=0 id
  while [ $tries -lt 600 ]; do
    for id in $(xdotool search --onlyvisible --name "$pattern" 2>/dev/null); do
      case " $* " in *" $id "*) ;; *) echo "$id"; return 0 ;; esac
    done
    sleep 0.05
    tries=$((tries + 1))
  done
  return 1
}

# Waits until the window is gone (unmapped or destroyed).
window_gone() {
  local tries=0
  while [ $tries -lt 600 ]; do
    xdotool search --onlyvisible --name "$2" 2>/dev/null | grep -qx "$1" || return 0
    sleep 0.05
    tries=$((tries + 1))
  done
  return 1
}

# A person clicks a window to bring it forward before typing into it; without a window
# manager that is what gives it the keyboard.
focus() { xdotool windowfocus --sync "$1"; sleep 0.2; }
# A click at a point of a window (its own coordinates, menu bar included).
click_at() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.2; }

# The file's bytes against the bytes printf makes of the format.
expect_bytes() {
  local file=$1 expected actual
  [ -f "$file" ] || fail "$file was not written"
  expected=$(printf "$2" | od -An -tx1)
  actual=$(od -An -tx1 "$file")
  [ "$expected" = "$actual" ] || { echo "expected:$expected"; echo "actual:  $actual"; fail "$file has other bytes"; }
}

# After the Yes to the exit question: the program ends by itself, with exit code 0.
expect_clean_exit() {
  local status=0
  for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then fail "the program is still running after Yes"; fi
  wait "$pid" || status=$?
  pid=""
  [ "$status" -eq 0 ] || { cat "$1" >&2; fail "exit code $status"; }
}
