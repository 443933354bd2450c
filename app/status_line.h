/** @file status_line.h
 * The line under the fields: where the caret stands in the code (line and column), the length
 * of the selection, the number of lines and whether the texts differ from what was last saved,
 * opened or started with; beside it, room for one further message. */
#pragma once

#include <string>

#include "app/layout.h"
#include "editor/scintilla.h"

// What the status line tells.
struct StatusFacts {
    long line;       // 1-based
    long column;     // 1-based, in characters, a tab as wide as the editor shows it
    long selection;  // characters selected; 0 for none
    long lines;
    bool modified;
};
// "Line 12, Column 5  |  14 selected  |  240 lines  |  Modified"; the selection only when there
// is one, "Modified" only when it holds.
std::u16string status_text(const StatusFacts& facts);

// Creates the status line's two text gadgets at their places.
void status_line_create(const GadgetPlace& status, const GadgetPlace& message);
void status_line_place(const GadgetPlace& status, const GadgetPlace& message);

// Shows the caret's facts as they stand now. Called when the caret, the selection or the code
// changed, and when a field changed (modified).
void status_line_update();
// The code editor's notifications: the caret or the selection moved, or the text changed.
void status_line_code_notification(const SCNotification* notification);
// A field's text changed (EN_CHANGE).
void status_line_field_changed(ObjectNumber gadget);

// The texts as they stand are what was last saved, opened or started with: "Modified" goes
// until they differ again.
void status_line_texts_settled();
// Whether they differ now: the code by the component's save point, the four fields by their text.
bool texts_modified();

// A further message beside the caret's facts (null or "" clears it), and what a screen reader
// announces for it (null: the message itself).
void status_line_set_message(const char16_t* text, const char16_t* accessible_text = nullptr);
