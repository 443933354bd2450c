/** @file commands.h
 * The document commands (New, Open, Save) and the current extension name. */
#pragma once

// The name the next Save writes under ("Extensions/" + name + ".qex"); "" when none.
// Never null. Shown nowhere: the name field is a separate text.
const char16_t* current_extension_name();
void set_current_extension_name(const char16_t* name);

// Empties the four fields, the code editor and the current name. No file is touched.
void new_extension();

// Asks for a file; when one is chosen, opens it as open_extension_path does.
void open_extension_file();

// Opens the file at the path: replaces the fields with its texts and takes the current name from
// its file name. A missing file opens as an empty extension of that name, and nothing is created.
// A file that is there but cannot be read (refused, not a regular file, too large to edit)
// changes nothing: one "Error" message names it and the reason, and the result is false.
bool open_extension_path(const char16_t* path);

// Writes at once when a name is set, else asks for one first.
void save_extension();

// Writes the five texts under the current name and reports the outcome in a message box.
void write_extension_file();

// "Confirm" questions with Yes and No; true on Yes.
bool confirm_new_extension();
bool confirm_exit();
