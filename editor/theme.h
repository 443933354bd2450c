/** @file theme.h
 * The code editor's two colour tables, one for a light desktop and one for a dark one, the choice
 * between them from the desktop's window colour, and the contrast of two colours. No Qt here:
 * theme_qt.cpp reads the palette and switches the editors when it changes. */
#pragma once

// Colours are 0xBBGGRR, as the component's colour messages take them (rgb() in runtime/ui/gadget.h).
// THEME_COMPONENT_DEFAULT leaves a colour to the component.
inline constexpr int THEME_COMPONENT_DEFAULT = -1;

struct EditorTheme {
    // The page, plain text, the selection, the caret and the caret's line.
    int background;
    int foreground;
    int selection_back;
    int selection_fore;
    int current_line;
    int caret;
    // Margins: line numbers, the fold margin's checkerboard, the fold markers' boxes and lines.
    int line_number_back;
    int line_number_fore;
    int fold_margin;
    int fold_margin_highlight;
    int fold_marker_fore;
    int fold_marker_back;
    // Text colours of the JavaScript styles, on the page.
    int keyword;
    int comment;
    int string;
    int number;
    int call;
    int spare_teal;
    int spare_green;
    int spare_olive;
    int spare_grey;
    int spare_red;
    // A brace and its partner, and a brace without one (text on a background of their own).
    int brace_match_fore;
    int brace_match_back;
    int brace_bad_fore;
    int brace_bad_back;
    // The box behind a find match, and the squiggle under an error with its margin marker
    // (marker_fore draws on marker_back).
    int find_match;
    int error_indicator;
    int error_marker_fore;
    int error_marker_back;
    // The call tip that shows an error's message: its page, its text and a highlighted part.
    int tip_back;
    int tip_fore;
    int tip_highlight;
    // The soft box behind each occurrence of the name at the caret.
    int occurrence_mark;
};

inline constexpr int THEME_LIGHT = 0;
inline constexpr int THEME_DARK = 1;

// The table of THEME_LIGHT or THEME_DARK; any other value gives the light one.
const EditorTheme& theme_table(int kind);

// THEME_DARK when the desktop's window colour is dark (its lightness, (max + min) / 2 of its
// channels, below one half), else THEME_LIGHT. Qt has no colour-scheme hint here to ask instead.
int theme_kind_for_window(int window_colour);

// The contrast ratio of two colours as WCAG 2 defines it: 1 (the same) to 21 (black and white).
double theme_contrast(int first, int second);

// --- From the Qt adapter (theme_qt.cpp) ---------------------------------------------------

// The table the desktop asks for now, from its palette's window colour.
int theme_desktop_kind();
// Makes sure a change of the application's palette reaches every code editor
// (code_editor_desktop_theme_changed); once is enough, later calls do nothing.
void theme_watch_desktop();
