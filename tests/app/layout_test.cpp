/** @file layout_test.cpp
 * The main window's layout for sizes around the default one, and the rows of a bar. */
#include "app/layout.h"

#include <gtest/gtest.h>

namespace {

TEST(MainLayout, CodeTakesEveryPixelHelpTheHeightAndNothingShrinksBelowTheLeastSize) {
    struct Case {
        int width, height, bar;
        GadgetPlace help, code, find_bar;
        int status_y, message_width;  // the status line and its message sit in the margin below
    };
    // The default size as it always was; larger, the code editor grows both ways and Help only in
    // height; smaller, both shrink; below the least size, as at it; an open find bar takes its
    // height from the code editor.
    const Case cases[] = {
        {1024, 768, 0, {10, 270, 200, 300}, {220, 35, 794, 703}, {220, 738, 794, 0}, 742, 564},
        {1300, 900, 0, {10, 270, 200, 432}, {220, 35, 1070, 835}, {220, 870, 1070, 0}, 874, 840},
        {800, 600, 0, {10, 270, 200, 132}, {220, 35, 570, 535}, {220, 570, 570, 0}, 574, 340},
        {100, 100, 0, {10, 270, 200, 60}, {220, 35, 420, 463}, {220, 498, 420, 0}, 502, 190},
        {1024, 768, 56, {10, 270, 200, 300}, {220, 35, 794, 647}, {220, 682, 794, 56}, 742, 564},
    };
    for (const Case& c : cases) {
        const MainLayout layout = main_layout(c.width, c.height, c.bar);
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << ", bar " << c.bar);
        EXPECT_EQ(layout.help, c.help);
        EXPECT_EQ(layout.code, c.code);
        EXPECT_EQ(layout.find_bar, c.find_bar);
        EXPECT_EQ(layout.status, (GadgetPlace{10, c.status_y, 430, 22}));
        EXPECT_EQ(layout.message, (GadgetPlace{450, c.status_y, c.message_width, 22}));
    }
    // The window's least size is where the code editor and Help stop shrinking.
    const MainLayout least = main_layout(MAIN_MIN_WIDTH, MAIN_MIN_HEIGHT, 0);
    EXPECT_EQ(least.code.x + least.code.width + 10, MAIN_MIN_WIDTH);
    EXPECT_EQ(least.status.y + least.status.height + 4, MAIN_MIN_HEIGHT);
}

TEST(BarLayout, ItemsFillRowsWrapAndShareTheRoomLeft) {
    int height = 0;
    // 100 + 80 + 80 and two gaps fit in 300; the spare 32 pixels go to the growing field.
    auto places = bar_layout({{100, true, false}, {80, false, false}, {80, false, false}}, 5, 50, 300, 26, 4, &height);
    EXPECT_EQ(places[0], (GadgetPlace{5, 54, 132, 22}));
    EXPECT_EQ(places[1], (GadgetPlace{141, 54, 80, 22}));
    EXPECT_EQ(places[2], (GadgetPlace{225, 54, 80, 22}));
    EXPECT_EQ(height, 26);
    // What does not fit goes to the next row, as does an item that asks for one; two growing
    // items share the room, the last taking the odd pixel.
    places = bar_layout({{100, true, false}, {100, true, false}, {150, false, false}, {50, false, true}}, 0, 0, 255, 26,
                        4, &height);
    EXPECT_EQ(places[0], (GadgetPlace{0, 4, 125, 22}));
    EXPECT_EQ(places[1], (GadgetPlace{129, 4, 126, 22}));
    EXPECT_EQ(places[2], (GadgetPlace{0, 30, 150, 22}));
    EXPECT_EQ(places[3], (GadgetPlace{0, 56, 50, 22}));
    EXPECT_EQ(height, 78);
    // An item wider than the bar still gets a row of its own.
    places = bar_layout({{400, false, false}}, 0, 0, 100, 26, 4, &height);
    EXPECT_EQ(places[0].width, 400);
    EXPECT_EQ(height, 26);
}

}  // namespace
