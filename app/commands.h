/** @file commands.h
 * The document commands: New, Open, Save and Save as, and the Exit question. */
#pragma once

#include "app/document.h"

// Empties the four fields, the code editor and the current name. No file is touched.
void new_extension();

// Asks for a file; when one is chosen, opens it as open_extension_path does.
void open_extension_file();

// Opens the file at the path: replaces the fields with its texts and takes the current name from
// its file name. A missing file opens as an empty extension of that name, and nothing is created.
// A file that is there but cannot be read (refused, not a regular file, too large to edit), and
// a path whose name was not UTF-8 before it became a runtime string (it holds U+FFFD and names
// nothing), change nothing: one "Error" message names it and the reason, and the result is false.
bool open_extension_path(const char16_t* path);
// The same for a path in the system's bytes (a command-line argument): bytes that are not UTF-8
// are refused before anything changes, since the file they name could never be saved again.
bool open_extension_argument(const char* path);

// Writes at once when a name is set, else asks for one first.
void save_extension();
// Asks for a name, prefilled with the current one; OK saves under the name entered.
void save_extension_as();

enum SaveOutcome {
    SAVE_WRITTEN,
    SAVE_FAILED,    // "Failed. Please try again." was shown
    SAVE_DECLINED,  // No to a question before writing: nothing was written
};
// Writes the five texts under the current name and reports the outcome in a message box. Asks
// first when a text holds a line that would start another section when the file is read, and
// when the file it would replace is not this window's own (opened from there or saved
// there by it) or was changed on disk since.
SaveOutcome write_extension_file();

// "Confirm" questions with Yes and No; true on Yes.
bool confirm_new_extension();
// After Yes, when unsaved texts cannot be kept for the next start, a second question whose
// default is No; true only when the user says Yes to both.
bool confirm_exit();
