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
