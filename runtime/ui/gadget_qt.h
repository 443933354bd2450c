/** @file gadget_qt.h
 * Between the pure gadget logic and its Qt adapter (no Qt types here). */
#pragma once

#include "runtime/ui/gadget.h"

// Deletes the control (DestroyWindow); its cleanup runs through gadget_control_destroyed.
void gadget_control_destroy(NativeHandle control);
// Cleanup once the control of that gadget is being destroyed: the kind's free handler, the gadget's
// queued events and its number.
void gadget_control_destroyed(ObjectNumber number, NativeHandle control);
void gadget_set_default_font(NativeHandle font);
