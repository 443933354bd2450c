/** @file commands.h
 * The document commands (New, Open, Save) and the current extension name. */
#pragma once

// The name the next Save writes under ("Extensions/" + name + ".qex"); "" when none.
// Never null. Shown nowhere: the name field is a separate text.
const char16_t* current_extension_name();
void set_current_extension_name(const char16_t* name);

// Empties the four fields, the code editor and the current name. No file is touched.
void new_extension();

// Asks for a file; when one is chosen, opens it with open_extension_path.
void open_extension_file();

// Opens the extension file at the path as File > Open does once a file is chosen: replaces the
// fields with its texts and takes the current name from its file name. true when the fields now
// hold the file's texts.
bool open_extension_path(const char16_t* path);

// Writes at once when a name is set, else asks for one first.
void save_extension();

// Writes the five texts under the current name and reports the outcome in a message box.
void write_extension_file();

// "Confirm" questions with Yes and No; true on Yes.
bool confirm_new_extension();
bool confirm_exit();
