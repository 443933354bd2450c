/** @file name_prompt.h
 * The modal "Enter the extension name" window, run by its own wait loop. */
#pragma once

// Shows the prompt prefilled with the current name. OK makes the text entered
// the current name and saves; Cancel changes nothing. Returns when one of them is pressed.
void ask_extension_name();
