/** @file command_line.h
 * The program's arguments: an extension file to open at start, --help and --version. */
#pragma once

// Reads the arguments. -1 when the program is to start, with *file the extension file to open
// (null when none); otherwise the exit code, with the help or the version printed to standard
// output (0) or, for anything else that starts with "-" or a second file, the usage printed to
// standard error (2). "--" ends the options, so a file may start with "-".
int command_line_read(int argc, char** argv, const char** file);
