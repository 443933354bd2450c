/** @file gadget_internal.h
 * Inside the gadgets: start-up and end, the per-window gadget lists' cleanup, the default font,
 * the brush cache, and what the pure gadget logic (gadget.cpp) and its Qt adapter
 * (gadget_qt.cpp) ask of each other. No Qt types here. */
#pragma once

#include <cstdint>

#include "runtime/core/types.h"
#include "runtime/ui/gadget.h"

// The property that tags a gadget's control with its number (a dynamic one included): the
// control's identifier, which its WM_COMMAND and notifications carry. -1 while the control is not
// bound to a record yet; absent on every other widget.
inline constexpr const char* GADGET_ID_PROPERTY = "QZ_ID";

// Gadget start-up (the registry, the state, the default font) and end (destroys every gadget).
void gadget_start();
void gadget_end();

// Called when a window is destroyed: forgets its gadget list, clearing the current one if it was.
void gadget_list_forget(NativeHandle window);

// The default font of gadgets created next: null stands for the default GUI font.
NativeHandle gadget_default_font();
void gadget_set_default_font(NativeHandle font);

// Brush cache (the toolkit's one lock): a shared brush per colour, counted.
struct GadgetBrush {
    std::intptr_t color;
    int references;
};
GadgetBrush* gadget_brush_acquire(std::intptr_t color);
void gadget_brush_release(GadgetBrush* brush);
int gadget_brush_cache_size();

// ---------------------------------------------------------------------------------------------
// Between the pure gadget logic and its Qt adapter.

// Deletes the control (DestroyWindow); its cleanup runs through gadget_control_destroyed.
void gadget_control_destroy(NativeHandle control);
// Cleanup once the control of that gadget is being destroyed: the kind's free handler, the gadget's
// queued events and its number.
void gadget_control_destroyed(ObjectNumber number, NativeHandle control);
