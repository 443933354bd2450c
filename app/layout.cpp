/** @file layout.cpp
 * The main window's layout and the rows of a bar. */
#include "app/layout.h"

#include <algorithm>

namespace {

// The fixed parts of the default layout.
constexpr int LEFT_X = 10;
constexpr int LEFT_WIDTH = 200;
constexpr int HELP_Y = 270;
constexpr int CODE_X = 220;
constexpr int CODE_Y = 35;
constexpr int CODE_DEFAULT_HEIGHT = 703;
// The status line lies in the margin under the code editor.
constexpr int STATUS_GAP = 4;
constexpr int STATUS_HEIGHT = 22;
constexpr int STATUS_WIDTH = 430;

}  // namespace

MainLayout main_layout(int width, int height, int find_bar_height) {
    const int grown_width = std::max(width, MAIN_MIN_WIDTH) - MAIN_WIDTH;
    const int grown_height = std::max(height, MAIN_MIN_HEIGHT) - MAIN_HEIGHT;
    const int code_width = CODE_DEFAULT_WIDTH + grown_width;
    const int code_bottom = CODE_Y + CODE_DEFAULT_HEIGHT + grown_height;
    MainLayout layout{};
    layout.help = {LEFT_X, HELP_Y, LEFT_WIDTH, HELP_DEFAULT_HEIGHT + grown_height};
    layout.code = {CODE_X, CODE_Y, code_width, code_bottom - CODE_Y - find_bar_height};
    layout.find_bar = {CODE_X, code_bottom - find_bar_height, code_width, find_bar_height};
    const int status_y = code_bottom + STATUS_GAP;
    layout.status = {LEFT_X, status_y, STATUS_WIDTH, STATUS_HEIGHT};
    const int message_x = LEFT_X + STATUS_WIDTH + LEFT_X;
    layout.message = {message_x, status_y, CODE_X + code_width - message_x, STATUS_HEIGHT};
    return layout;
}

std::vector<GadgetPlace> bar_layout(const std::vector<BarItem>& items, int x, int y, int width, int row_height, int gap,
                                    int* height) {
    std::vector<GadgetPlace> places(items.size());
    int rows = 0;
    std::size_t first = 0;
    while (first < items.size()) {
        // The row takes items while they fit; the first always, however wide.
        std::size_t end = first + 1;
        int used = items[first].width;
        while (end < items.size() && !items[end].new_row && used + gap + items[end].width <= width) {
            used += gap + items[end].width;
            ++end;
        }
        const int growing =
            int(std::count_if(items.begin() + std::ptrdiff_t(first), items.begin() + std::ptrdiff_t(end),
                              [](const BarItem& item) { return item.grows; }));
        const int spare = std::max(0, width - used);
        const int share = growing ? spare / growing : 0;
        int left = x;
        int growing_seen = 0;
        for (std::size_t i = first; i < end; ++i) {
            int item_width = items[i].width;
            if (items[i].grows) {
                item_width += share;
                // The last growing item also takes what the division leaves over.
                if (++growing_seen == growing) item_width += spare - share * growing;
            }
            places[i] = {left, y + gap + rows * row_height, item_width, row_height - gap};
            left += item_width + gap;
        }
        ++rows;
        first = end;
    }
    if (height) *height = rows * row_height;
    return places;
}
