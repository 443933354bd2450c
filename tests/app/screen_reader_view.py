#!/usr/bin/python3
# What a screen reader gets from the running program, read through AT-SPI as Orca reads it: the
# fields' names, roles and text, the focus on Tab and Ctrl+Tab, the status line and its name
# changes, and the find bar's controls. Keys and clicks come from xdotool, as a person gives them.
# Usage: screen_reader_view.py <pid of the program>; exit 0 when every check holds, 1 otherwise,
# 77 when the accessibility registry cannot be reached.
import subprocess
import sys
import time

try:
    import pyatspi
    from gi.repository import GLib
except ImportError as error:
    print(f"SKIP: pyatspi cannot be loaded ({error})")
    sys.exit(77)

PID = int(sys.argv[1])
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print(f"FAIL: {what}", file=sys.stderr)
    return condition


def pump():
    # AT-SPI events arrive through GLib's main context.
    while GLib.MainContext.default().iteration(False):
        pass


def wait_for(predicate, seconds=8.0):
    end = time.monotonic() + seconds
    while True:
        pump()
        try:
            value = predicate()
        except Exception:  # an object that went away while it was read
            value = None
        if value or time.monotonic() >= end:
            return value
        time.sleep(0.05)


def keys(*names):
    subprocess.run(["xdotool", "key", "--delay", "60", *names], check=True)
    time.sleep(0.2)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "40", text], check=True)
    time.sleep(0.2)


def has_state(accessible, state):
    return accessible.getState().contains(state)


def click(accessible):
    box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(box.x + box.width // 2), str(box.y + min(box.height // 2, 10)),
                    "click", "1"], check=True)
    time.sleep(0.3)


def find_application():
    try:
        desktop = pyatspi.Registry.getDesktop(0)
    except Exception as error:
        print(f"SKIP: the accessibility registry cannot be reached ({error})")
        sys.exit(77)
    for index in range(desktop.childCount):
        application = desktop.getChildAtIndex(index)
        if application is not None and application.get_process_id() == PID:
            return application
    return None


def descendants(root):
    for child in root:
        if child is not None:
            yield child
            yield from descendants(child)


application = wait_for(find_application, 20)
if not check(application is not None, "the program is not in the accessibility registry"):
    sys.exit(1)
everything = list(descendants(application))


def named(role, name):
    for accessible in everything:
        if accessible.getRole() == role and accessible.name == name:
            return accessible
    return None


# The five fields: named as their labels, editable text with the Text interface.
FIELD_NAMES = ["Extension name", "Author", "Description", "Help", "Code"]
fields = {}
for name in FIELD_NAMES:
    field = named(pyatspi.ROLE_TEXT, name)
    if not check(field is not None, f"no text field named {name!r}"):
        continue
    fields[name] = field
    check(has_state(field, pyatspi.STATE_EDITABLE), f"{name!r} is not editable")
    check(field.queryEditableText() is not None, f"{name!r} has no editable text interface")
if len(fields) != len(FIELD_NAMES):
    sys.exit(1)

# The code as typed, a non-ASCII character and a line end included, and the caret after it.
click(fields["Code"])
type_text('x = "é";')
keys("Return")
code_text = fields["Code"].queryText()
expected = 'x = "é";\r\n'
wait_for(lambda: code_text.getText(0, -1) == expected)
check(code_text.getText(0, -1) == expected, f"the code reads {code_text.getText(0, -1)!r}, not {expected!r}")
check(code_text.caretOffset == len(expected), f"the caret is at {code_text.caretOffset}, not {len(expected)}")

# The status line after the caret moves.
status = wait_for(lambda: next(a for a in everything if a.getRole() == pyatspi.ROLE_LABEL and a.name.startswith("Line ")))
keys("Up", "End")
expected_status = "Line 1, Column 9  |  2 lines  |  Modified"
check(wait_for(lambda: status.name == expected_status), f"the status line reads {status.name!r}, not {expected_status!r}")

# A syntax error and its fix each change the name of the message beside the status line.
names_changed = []


def on_name_change(event):
    names_changed.append(event.source.name)


pyatspi.Registry.registerEventListener(on_name_change, "object:property-change:accessible-name")
keys("ctrl+End")
type_text("(")
check(wait_for(lambda: any(n.startswith("Syntax error: ") for n in names_changed), 10),
      f"no name change to a syntax error (names seen: {names_changed})")
names_changed.clear()
keys("BackSpace")
check(wait_for(lambda: "" in names_changed, 10), f"no name change back to none after the fix (names seen: {names_changed})")
pyatspi.Registry.deregisterEventListener(on_name_change, "object:property-change:accessible-name")

# The focus on Tab out of the one-line fields and Ctrl+Tab out of every control, round the window.
click(fields["Extension name"])
check(wait_for(lambda: has_state(fields["Extension name"], pyatspi.STATE_FOCUSED)), "a click does not focus the name")
for key, name in [("Tab", "Author"), ("Tab", "Description"), ("ctrl+Tab", "Help"), ("ctrl+Tab", "Code"),
                  ("ctrl+Tab", "Extension name"), ("ctrl+shift+Tab", "Code")]:
    keys(key)
    check(wait_for(lambda: has_state(fields[name], pyatspi.STATE_FOCUSED)), f"{key} does not focus {name!r}")

# The find bar's controls do not show while it is closed; Ctrl+F shows them, named, with the
# caret in the find field, and Tab goes on to its buttons.
BAR = [(pyatspi.ROLE_TEXT, "Find"), (pyatspi.ROLE_PUSH_BUTTON, "Previous"), (pyatspi.ROLE_PUSH_BUTTON, "Next"),
       (pyatspi.ROLE_PUSH_BUTTON, "Close"), (pyatspi.ROLE_CHECK_BOX, "Match case"),
       (pyatspi.ROLE_CHECK_BOX, "Regular expression"), (pyatspi.ROLE_TEXT, "Go to line")]
bar = {}
for role, name in BAR:
    control = named(role, name)
    if check(control is not None, f"no {pyatspi.Role(role)} named {name!r} in the find bar"):
        bar[name] = control
        check(not has_state(control, pyatspi.STATE_SHOWING), f"{name!r} shows while the bar is closed")
keys("ctrl+f")
for name, control in bar.items():
    check(wait_for(lambda: has_state(control, pyatspi.STATE_SHOWING)), f"{name!r} does not show once Ctrl+F opened the bar")
if "Find" in bar:
    check(wait_for(lambda: has_state(bar["Find"], pyatspi.STATE_FOCUSED)), "Ctrl+F does not focus the find field")
    keys("Tab")
    check(wait_for(lambda: has_state(bar["Previous"], pyatspi.STATE_FOCUSED)), "Tab in the find field does not reach Previous")
    keys("shift+Tab", "shift+Tab")
    check(wait_for(lambda: has_state(fields["Code"], pyatspi.STATE_FOCUSED)), "Shift+Tab out of the bar does not reach the code")

if failures:
    print(f"{len(failures)} check(s) failed", file=sys.stderr)
    sys.exit(1)
print("PASS: names, roles, text and caret, focus order, status line, name changes and the find bar as a screen reader reads them")
