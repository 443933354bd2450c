/** @file layout.h
 * Where the main window's gadgets go for a size of its client area: the default layout at
 * 1024 x 768, what grows and shrinks around it, the least size that keeps every field usable,
 * and the rows of a bar of gadgets that wrap to its width. Arithmetic only. */
#pragma once

#include <vector>

struct GadgetPlace {
    int x, y, width, height;
    bool operator==(const GadgetPlace&) const = default;
};

// The size the window opens at, and its least size: the code editor keeps at least this width
// and Help this height, the other fields never shrink.
inline constexpr int MAIN_WIDTH = 1024;
inline constexpr int MAIN_HEIGHT = 768;
inline constexpr int CODE_MIN_WIDTH = 420;
inline constexpr int HELP_MIN_HEIGHT = 60;
inline constexpr int CODE_DEFAULT_WIDTH = 794;
inline constexpr int HELP_DEFAULT_HEIGHT = 300;
inline constexpr int MAIN_MIN_WIDTH = MAIN_WIDTH - (CODE_DEFAULT_WIDTH - CODE_MIN_WIDTH);
inline constexpr int MAIN_MIN_HEIGHT = MAIN_HEIGHT - (HELP_DEFAULT_HEIGHT - HELP_MIN_HEIGHT);

// The places of what moves or changes size; the labels and the upper fields stay where the
// default layout puts them.
struct MainLayout {
    GadgetPlace help;
    GadgetPlace code;
    GadgetPlace find_bar;  // under the code editor; no height while the bar is closed
    GadgetPlace status;    // the caret's line and column, the selection, the lines, "Modified"
    GadgetPlace message;   // a further message beside it
};

// The layout for a client area of that size (taken as at least the least size) with a find bar
// of that height under the code editor (0 when it is closed). The code editor takes every pixel
// gained in width and height, Help the height; below the default size they shrink.
MainLayout main_layout(int width, int height, int find_bar_height);

// One gadget of a bar: the width it needs, whether it takes a share of the room left in its
// row, and whether it starts a new row.
struct BarItem {
    int width;
    bool grows;
    bool new_row;
};
// Places the items in rows of `row_height` inside a bar of that width, starting at (x, y): an
// item that does not fit in the row goes to the next one, the room left in a row is shared by
// its growing items, and `gap` separates neighbours (and the first row from the bar's top), so
// an item is row_height - gap high. The bar's height (rows times row height) goes to *height.
std::vector<GadgetPlace> bar_layout(const std::vector<BarItem>& items, int x, int y, int width, int row_height, int gap,
                                    int* height);
