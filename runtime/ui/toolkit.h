/** @file toolkit.h
 * Start-up and shutdown of the whole user-interface toolkit, in the order the program needs. */
#pragma once

// Creates the QApplication when there is none yet (argc, argv may be null), then the toolkit's parts:
// fonts, images, windows with the event record and queue, gadgets, menus, requesters and the PNG
// decoder. The runtime core must have been started. Returns 1.
int toolkit_start(int* argc = nullptr, char** argv = nullptr);

// Ends the gadget layer, closes every window, frees every image and font and the menus, and deletes
// the QApplication if toolkit_start created it.
void toolkit_end();

int toolkit_started();

// Takes Qt's own options, which every Qt program accepts (-platform, -style, -reverse, -display,
// -qwindowgeometry and the rest), out of argv before the program reads its own: each, with the
// value it takes, goes to toolkit_argv behind the program's name, in order. argv keeps its first
// entry and every other argument in order, ends with a null, and its new count is returned.
// toolkit_argv needs room for argc + 1 entries; it ends with a null, and *toolkit_argc receives its
// count, ready for toolkit_start. After "--" nothing is taken, so a file may be named "-reverse".
int toolkit_take_options(int argc, char** argv, char** toolkit_argv, int* toolkit_argc);
// The window size that -qwindowgeometry or -geometry among the toolkit's options asks for
// ("700x600+10+10", the last one given wins): 1 with *width and *height set, 0 when none gives a size.
int toolkit_window_size(int toolkit_argc, char** toolkit_argv, int* width, int* height);
