/** @file application.h
 * The main window: start-up, the event loop that runs the commands, and shut-down. */
#pragma once

#include "runtime/core/types.h"

// Fixed object numbers; everything else is created with ANY_NUMBER.
inline constexpr ObjectNumber WINDOW_MAIN = 0;
inline constexpr ObjectNumber MENU_MAIN = 1;
inline constexpr ObjectNumber MENU_NEW = 2;
inline constexpr ObjectNumber MENU_OPEN = 3;
inline constexpr ObjectNumber MENU_SAVE = 4;
inline constexpr ObjectNumber MENU_SAVE_AS = 5;
inline constexpr ObjectNumber MENU_EXIT = 6;
inline constexpr ObjectNumber GADGET_NAME = 7;
inline constexpr ObjectNumber GADGET_AUTHOR = 8;
inline constexpr ObjectNumber GADGET_DESCRIPTION = 9;
inline constexpr ObjectNumber GADGET_HELP = 10;
inline constexpr ObjectNumber GADGET_CODE = 11;
inline constexpr ObjectNumber IMAGE_NEW = 12;
inline constexpr ObjectNumber IMAGE_OPEN = 13;
inline constexpr ObjectNumber IMAGE_SAVE = 14;
inline constexpr ObjectNumber IMAGE_SAVE_AS = 15;
inline constexpr ObjectNumber IMAGE_EXIT = 16;

// The status line under the fields: the caret's facts, and a further message beside them.
inline constexpr ObjectNumber GADGET_STATUS = 20;
inline constexpr ObjectNumber GADGET_STATUS_MESSAGE = 21;

// The find bar under the code editor: its first row (the pattern), the replace row, and the row of
// toggles with the go-to field.
inline constexpr ObjectNumber GADGET_FIND_LABEL = 30;
inline constexpr ObjectNumber GADGET_FIND_FIELD = 31;
inline constexpr ObjectNumber GADGET_FIND_PREVIOUS = 32;
inline constexpr ObjectNumber GADGET_FIND_NEXT = 33;
inline constexpr ObjectNumber GADGET_FIND_MESSAGE = 34;
inline constexpr ObjectNumber GADGET_FIND_CLOSE = 35;
inline constexpr ObjectNumber GADGET_REPLACE_LABEL = 36;
inline constexpr ObjectNumber GADGET_REPLACE_FIELD = 37;
inline constexpr ObjectNumber GADGET_REPLACE_ONE = 38;
inline constexpr ObjectNumber GADGET_REPLACE_ALL = 39;
inline constexpr ObjectNumber GADGET_MATCH_CASE = 40;
inline constexpr ObjectNumber GADGET_WHOLE_WORD = 41;
inline constexpr ObjectNumber GADGET_REGULAR_EXPRESSION = 42;
inline constexpr ObjectNumber GADGET_IN_SELECTION = 43;
inline constexpr ObjectNumber GADGET_GO_TO_LABEL = 44;
inline constexpr ObjectNumber GADGET_GO_TO_FIELD = 45;
inline constexpr ObjectNumber GADGET_GO_TO_MESSAGE = 46;

// The Go to Symbol bar under the code editor: its row (label, field, count, Close) and its list.
inline constexpr ObjectNumber GADGET_SYMBOL_LABEL = 50;
inline constexpr ObjectNumber GADGET_SYMBOL_FIELD = 51;
inline constexpr ObjectNumber GADGET_SYMBOL_COUNT = 52;
inline constexpr ObjectNumber GADGET_SYMBOL_CLOSE = 53;
inline constexpr ObjectNumber GADGET_SYMBOL_LIST = 54;

// The items of the Edit and View menus.
inline constexpr ObjectNumber MENU_UNDO = 101;
inline constexpr ObjectNumber MENU_REDO = 102;
inline constexpr ObjectNumber MENU_CUT = 103;
inline constexpr ObjectNumber MENU_COPY = 104;
inline constexpr ObjectNumber MENU_PASTE = 105;
inline constexpr ObjectNumber MENU_SELECT_ALL = 106;
inline constexpr ObjectNumber MENU_FIND = 107;
inline constexpr ObjectNumber MENU_FIND_NEXT = 108;
inline constexpr ObjectNumber MENU_FIND_PREVIOUS = 109;
inline constexpr ObjectNumber MENU_REPLACE = 110;
inline constexpr ObjectNumber MENU_GO_TO_LINE = 111;
inline constexpr ObjectNumber MENU_TOGGLE_COMMENT = 112;
inline constexpr ObjectNumber MENU_GO_TO_ERROR = 113;
inline constexpr ObjectNumber MENU_GO_TO_SYMBOL = 114;
inline constexpr ObjectNumber MENU_COMPLETE_WORD = 115;
inline constexpr ObjectNumber MENU_ZOOM_IN = 121;
inline constexpr ObjectNumber MENU_ZOOM_OUT = 122;
inline constexpr ObjectNumber MENU_ZOOM_NORMAL = 123;
inline constexpr ObjectNumber MENU_HIGHLIGHT_OCCURRENCES = 124;

// Brings the runtime up and builds the main window, its menu and shortcuts. The toolkit's
// options (see toolkit_take_options) go to the QApplication, which keeps using them: they must
// outlive application_end.
void application_start(int* toolkit_argc = nullptr, char** toolkit_argv = nullptr);

// One pass of the event loop: waits for an event (at most longest_wait milliseconds unless it is
// -1, and never past the recovery copy's or the code check's due time), handles it, and takes the
// recovery copy and asks for the check when they are due. false once the user has confirmed Exit.
bool application_step(int longest_wait = -1);

// Puts every gadget that follows the window's size (the code editor, Help, the find bar, the Go to
// Symbol bar, the status line) where the layout wants it for the size the window has now.
void main_window_lay_out();

// Runs the event loop until the user confirms Exit (menu, Ctrl+X or close box).
void application_run();

// Shuts the runtime down: gadgets, windows, images, fonts, files, heap.
void application_end();

// The whole program: takes Qt's options for the toolkit, reads its own arguments (--help,
// --version, an extension file to open), starts,
// offers the recovery copies of instances that are gone, runs the loop and ends. The process's
// exit code: 0, or 2 for arguments it does not take.
int application_main(int argc, char** argv);
