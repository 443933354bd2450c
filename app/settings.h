/** @file settings.h
 * What the editor remembers between runs: the window's size, the code editor's zoom, the
 * find toggles and whether occurrences are highlighted, in a small key=value file in the user's
 * settings folder. A missing or damaged file means the defaults. */
#pragma once

#include <string>

#include "app/layout.h"

struct Settings {
    int width = MAIN_WIDTH;  // the client area's size while not maximised
    int height = MAIN_HEIGHT;
    bool maximized = false;
    int zoom = 0;  // points added to every font of the code editor
    bool match_case = false;
    bool whole_word = false;
    bool regular_expression = false;
    bool highlight_occurrences = true;  // View > Highlight Occurrences
};

// The code editor's zoom range.
inline constexpr int ZOOM_LEAST = -10;
inline constexpr int ZOOM_MOST = 20;

// Takes one "key=value" line into the settings: a known key with a value in its range replaces
// that setting; anything else (an unknown key, a value out of range or no number) changes
// nothing. true when the line was taken.
bool settings_read_line(Settings* settings, const char16_t* line);
// Every setting as "key=value" lines, each ended by LF.
std::string settings_text(const Settings& settings);

// The settings file: "$XDG_CONFIG_HOME/quorval-extension-maker/settings.conf" (~/.config/...).
std::string settings_path();
// Reads the file; the defaults for whatever it lacks, and for all of it when it cannot be read.
Settings settings_load();
// Replaces the file whole (it is never left half-written); false when that failed.
bool settings_save(const Settings& settings);
