/** @file messages.h
 * The message boxes the commands and the recovery copy share: a "Confirm" question, a message
 * with one OK button, and the "Error" that says why a file cannot be opened. */
#pragma once

#include <string>

#include "app/extension_file.h"

// "Confirm" with Yes and No; true on Yes. Return answers Yes, or No where `no_by_default`.
bool ask_confirm(const std::u16string& question, bool no_by_default = false);

// One OK button.
void show_message(const char16_t* title, const std::u16string& text);

// "Error": Cannot open "<path>": <why>, where why names the outcome of the read.
void show_cannot_open(const std::u16string& path, ExtensionReadOutcome outcome);
// The same message with the reason given in words ending with a full stop.
void show_cannot_open(const std::u16string& path, const char16_t* reason);
