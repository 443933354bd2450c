/** @file theme.cpp
 * The light and dark colour tables of the code editor, and the sums that choose between them and
 * measure their contrast. */
#include "editor/theme.h"

#include <algorithm>
#include <cmath>

#include "runtime/ui/gadget.h"  // rgb

namespace {

// The program's long-standing look; where it never set a colour, the component's own.
constexpr EditorTheme light_theme = {
    .background = rgb(255, 255, 255),
    .foreground = rgb(0, 0, 0),
    .selection_back = rgb(0, 0, 64),
    .selection_fore = rgb(255, 255, 255),
    .current_line = rgb(255, 240, 240),
    .caret = rgb(0, 0, 0),
    .line_number_back = rgb(224, 224, 224),
    .line_number_fore = rgb(0, 0, 0),
    .fold_margin = THEME_COMPONENT_DEFAULT,
    .fold_margin_highlight = THEME_COMPONENT_DEFAULT,
    .fold_marker_fore = rgb(255, 255, 255),
    .fold_marker_back = rgb(0, 0, 0),
    .keyword = rgb(54, 45, 227),
    .comment = rgb(160, 160, 160),
    .string = rgb(198, 0, 198),
    .number = rgb(208, 64, 64),
    .call = rgb(35, 163, 35),
    .spare_teal = rgb(49, 170, 187),
    .spare_green = rgb(32, 106, 34),
    .spare_olive = rgb(81, 80, 19),
    .spare_grey = rgb(60, 60, 60),
    .spare_red = rgb(255, 0, 0),
    .brace_match_fore = rgb(0, 0, 0),
    .brace_match_back = rgb(190, 225, 255),
    .brace_bad_fore = rgb(255, 255, 255),
    .brace_bad_back = rgb(200, 0, 0),
    .find_match = rgb(255, 200, 0),
    .error_indicator = rgb(208, 28, 28),
    .error_marker_fore = rgb(255, 255, 255),
    .error_marker_back = rgb(208, 28, 28),
    // The component's own tip.
    .tip_back = rgb(255, 255, 255),
    .tip_fore = rgb(128, 128, 128),
    .tip_highlight = rgb(0, 0, 128),
    .occurrence_mark = rgb(150, 170, 200),
};

// The same hues, lighter where they are text, on a dark page; every text colour keeps a
// contrast of 4.5:1 or more on the page and on the caret's line.
constexpr EditorTheme dark_theme = {
    .background = rgb(30, 30, 30),
    .foreground = rgb(220, 220, 220),
    .selection_back = rgb(48, 48, 140),
    .selection_fore = rgb(255, 255, 255),
    .current_line = rgb(52, 38, 38),
    .caret = rgb(240, 240, 240),
    .line_number_back = rgb(48, 48, 48),
    .line_number_fore = rgb(170, 170, 170),
    .fold_margin = rgb(40, 40, 40),
    .fold_margin_highlight = rgb(40, 40, 40),
    .fold_marker_fore = rgb(40, 40, 40),
    .fold_marker_back = rgb(170, 170, 170),
    .keyword = rgb(140, 132, 255),
    .comment = rgb(160, 160, 160),
    .string = rgb(230, 110, 230),
    .number = rgb(240, 120, 120),
    .call = rgb(80, 200, 80),
    .spare_teal = rgb(90, 200, 216),
    .spare_green = rgb(90, 200, 94),
    .spare_olive = rgb(200, 198, 80),
    .spare_grey = rgb(190, 190, 190),
    .spare_red = rgb(255, 100, 100),
    .brace_match_fore = rgb(255, 255, 255),
    .brace_match_back = rgb(40, 84, 130),
    .brace_bad_fore = rgb(255, 255, 255),
    .brace_bad_back = rgb(170, 30, 30),
    .find_match = rgb(200, 150, 0),
    .error_indicator = rgb(255, 100, 100),
    .error_marker_fore = rgb(30, 30, 30),
    .error_marker_back = rgb(240, 100, 100),
    .tip_back = rgb(48, 48, 48),
    .tip_fore = rgb(220, 220, 220),
    .tip_highlight = rgb(140, 180, 255),
    .occurrence_mark = rgb(120, 140, 170),
};

int red_of(int colour) { return colour & 0xFF; }
int green_of(int colour) { return (colour >> 8) & 0xFF; }
int blue_of(int colour) { return (colour >> 16) & 0xFF; }

// One sRGB channel (0 to 255) as linear light.
double linear(int channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double relative_luminance(int colour) {
    return 0.2126 * linear(red_of(colour)) + 0.7152 * linear(green_of(colour)) + 0.0722 * linear(blue_of(colour));
}

}  // namespace

const EditorTheme& theme_table(int kind) { return kind == THEME_DARK ? dark_theme : light_theme; }

int theme_kind_for_window(int window_colour) {
    const int r = red_of(window_colour), g = green_of(window_colour), b = blue_of(window_colour);
    const int lightness_twice = std::max({r, g, b}) + std::min({r, g, b});  // 0 to 510
    return lightness_twice < 255 ? THEME_DARK : THEME_LIGHT;
}

double theme_contrast(int first, int second) {
    const double a = relative_luminance(first), b = relative_luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}
