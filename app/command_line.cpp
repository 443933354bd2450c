/** @file command_line.cpp
 * The arguments of quorval-extension-maker. */
#include "app/command_line.h"

#include <cstdio>
#include <cstring>

#ifndef QEM_VERSION
#define QEM_VERSION "unknown"
#endif

namespace {

constexpr const char* USAGE = "Usage: quorval-extension-maker [FILE]\n";

constexpr const char* HELP =
    "Edits extensions for the Quorval game-making product: a name, an author, a description,\n"
    "a help text and JavaScript code, kept as Extensions/<name>.qex under the current folder.\n"
    "With FILE, the extension file is opened at start, as File > Open does.\n"
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "Qt's own options (-platform, -style, -reverse, -display, -qwindowgeometry and the rest)\n"
    "are taken too, before these.\n";

// Who made it and on what terms, as GNU programs say it.
constexpr const char* LICENCE =
    "Copyright (C) 2026 The Quorval Extension Maker developers\n"
    "License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

int usage_error(const char* message, const char* argument) {
    std::fprintf(stderr, "quorval-extension-maker: %s '%s'\n%sTry 'quorval-extension-maker --help'.\n", message,
                 argument, USAGE);
    return 2;
}

}  // namespace

int command_line_read(int argc, char** argv, const char** file) {
    *file = nullptr;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (options && std::strcmp(argument, "--") == 0) {
            options = false;
        } else if (options && std::strcmp(argument, "--help") == 0) {
            std::fputs(USAGE, stdout);
            std::fputs(HELP, stdout);
            return 0;
        } else if (options && std::strcmp(argument, "--version") == 0) {
            std::printf("quorval-extension-maker %s\n%s", QEM_VERSION, LICENCE);
            return 0;
        } else if (options && argument[0] == '-' && argument[1] != '\0') {
            return usage_error("unknown option", argument);
        } else if (*file) {
            return usage_error("only one file can be opened, not also", argument);
        } else {
            *file = argument;
        }
    }
    return -1;
}
