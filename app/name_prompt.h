/** @file name_prompt.h
 * The modal "Enter the extension name" window, run by its own wait loop. */
#pragma once

// Shows the prompt prefilled with the current name. OK hands the text entered to `take_name`
// while the prompt is still shown (so the messages of a save appear over it); Cancel changes
// nothing. Returns when one of them is pressed.
void ask_extension_name(void (*take_name)(const char16_t* name));
