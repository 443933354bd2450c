/** @file toolkit_internal.h
 * What the toolkit's start-up and shutdown (toolkit.cpp) ask of its Qt adapter (toolkit_qt.cpp). */
#pragma once

// Creates the QApplication when there is none yet; argc and argv may be null (the program's name
// alone is passed then).
void toolkit_native_start(int* argc, char** argv);
// Deletes the QApplication if toolkit_native_start created it.
void toolkit_native_end();
