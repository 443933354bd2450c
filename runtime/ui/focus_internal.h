/** @file focus_internal.h
 * Tab focus navigation, inside the toolkit: which control gets the focus for the commands of the
 * two Tab entries (focus.cpp), and the move itself over the active window's widgets (focus_qt.cpp). */
#pragma once

#include "runtime/ui/window.h"

// One descendant of the window, in enumeration order (a control before its own children).
struct FocusCandidate {
    NativeHandle handle;
    bool enabled;
    bool visible;
    bool tab_stop;
};

// The index in candidates of the control to focus, or -1 when there is none. start is the focused
// control (null when none). Forward: the first stop after start, wrapping to the first; backward:
// the stop before start, wrapping to the last. Only enabled, visible tab stops count.
int focus_choose(const FocusCandidate* candidates, int count, NativeHandle start, bool forward);

// Moves the focus within the active window: the next or previous candidate focus_choose picks.
void focus_move(bool forward);
