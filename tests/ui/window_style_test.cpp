// The pure arithmetic of window_open: flags to styles, the outer size, and placement on the
// screen or over a parent, with the limits at the screen's size and at zero.
#include <gtest/gtest.h>

#include <array>

#include "runtime/ui/window_internal.h"

namespace {

TEST(WindowStyle, OnlyToolkitBitsGetATitleBar) {
    EXPECT_EQ(window_style_from_flags(0).style, WS_CAPTION);
    EXPECT_EQ(window_style_from_flags(WINDOW_SCREEN_CENTERED).style, WS_CAPTION | WINDOW_SCREEN_CENTERED);
    // The name prompt's flags: a title bar, and no system menu (so no close box).
    EXPECT_EQ(window_style_from_flags(1).style & WS_SYSMENU, 0u);
    // Invisible and no-gadgets still count as toolkit bits; both leave the style.
    WindowStyle s = window_style_from_flags(WINDOW_INVISIBLE | WINDOW_NO_GADGETS | WINDOW_PARENT_CENTERED);
    EXPECT_EQ(s.style, WS_CAPTION | WINDOW_PARENT_CENTERED);
    EXPECT_EQ(s.ex_style, 0u);
}

TEST(WindowStyle, WindowsBitsPassThroughWithoutAddedCaption) {
    EXPECT_EQ(window_style_from_flags(0xC80001).style, 0xC80001u);
    EXPECT_EQ(window_style_from_flags(WS_SYSMENU).style, WS_SYSMENU);
    EXPECT_EQ(window_style_from_flags(WS_THICKFRAME | WINDOW_MAXIMIZE).style, WS_THICKFRAME | WINDOW_MAXIMIZE);
}

TEST(WindowStyle, ToolWindowLosesMinimiseAndMaximise) {
    std::uint32_t flags =
        WINDOW_TOOL | WINDOW_MINIMIZE | WINDOW_MAXIMIZE | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU;
    WindowStyle s = window_style_from_flags(flags);
    EXPECT_EQ(s.ex_style, WS_EX_TOOLWINDOW);
    EXPECT_EQ(s.style & 0x21030000u, 0u);
    EXPECT_EQ(s.style & WS_CAPTION, WS_CAPTION);
    EXPECT_EQ(s.style & WS_SYSMENU, WS_SYSMENU);
}

TEST(WindowOuterSize, CaptionAndBordersAreAddedAroundTheClientArea) {
    int w = 0, h = 0;
    window_outer_size(WS_CAPTION | WS_SYSMENU, 1024, 768, {20, 3}, &w, &h);
    EXPECT_EQ(w, 1030);
    EXPECT_EQ(h, 794);
    window_outer_size(0, 100, 50, {20, 3}, &w, &h);  // neither caption nor border
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 50);
}

TEST(WindowPlace, ScreenCentredUsesIntegerHalves) {
    WindowPlacement p = window_place(0, 0, 1031, 795, WINDOW_SCREEN_CENTERED, 1920, 1080, nullptr);
    EXPECT_EQ(p.x, (1920 - 1031) / 2);
    EXPECT_EQ(p.y, (1080 - 795) / 2);
    EXPECT_EQ(p.width, 1031);
    EXPECT_EQ(p.height, 795);
}

TEST(WindowPlace, LargerThanTheScreenIsShrunkAndPlacedAtTheOrigin) {
    WindowPlacement p = window_place(50, 50, 1030, 794, WINDOW_SCREEN_CENTERED, 800, 600, nullptr);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(p.width, 800);
    EXPECT_EQ(p.height, 600);
    // Only the dimension that does not fit is limited.
    p = window_place(0, 0, 300, 900, WINDOW_SCREEN_CENTERED, 800, 600, nullptr);
    EXPECT_EQ(p.width, 300);
    EXPECT_EQ(p.height, 600);
    EXPECT_EQ(p.x, 250);
    EXPECT_EQ(p.y, 0);
}

TEST(WindowPlace, ParentCentredOverTheReference) {
    WindowRect parent{100, 200, 700, 600};
    WindowPlacement p = window_place(5, 5, 201, 101, WINDOW_PARENT_CENTERED, 1920, 1080, &parent);
    EXPECT_EQ(p.x, 100 + (600 - 201) / 2);
    EXPECT_EQ(p.y, 200 + (400 - 101) / 2);
}

TEST(WindowPlace, ParentCentredNegativeBecomesZero) {
    WindowRect parent{10, 10, 110, 60};
    WindowPlacement p = window_place(5, 5, 400, 300, WINDOW_PARENT_CENTERED, 1920, 1080, &parent);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(p.width, 400);  // no limit over a parent
}

TEST(WindowPlace, ParentCentredWithoutReferenceKeepsThePosition) {
    WindowPlacement p = window_place(33, 44, 400, 300, WINDOW_PARENT_CENTERED, 1920, 1080, nullptr);
    EXPECT_EQ(p.x, 33);
    EXPECT_EQ(p.y, 44);
}

TEST(WindowPlace, IgnoredCoordinatesAskForTheSystemsChoiceUnlessCentred) {
    WindowPlacement p = window_place(COORD_IGNORE, 10, 400, 300, 0, 1920, 1080, nullptr);
    EXPECT_EQ(p.x, CW_USEDEFAULT);
    EXPECT_EQ(p.y, CW_USEDEFAULT);
    p = window_place(COORD_IGNORE, COORD_IGNORE, 400, 300, WINDOW_SCREEN_CENTERED, 1920, 1080, nullptr);
    EXPECT_EQ(p.x, 760);
    EXPECT_EQ(p.y, 390);
    // Parent-centred without a reference keeps the ignored coordinates as passed.
    p = window_place(COORD_IGNORE, COORD_IGNORE, 400, 300, WINDOW_PARENT_CENTERED, 1920, 1080, nullptr);
    EXPECT_EQ(p.x, COORD_IGNORE);
}

TEST(WindowFitArea, AWindowThatDoesNotFitShrinksToTheAreaButNotBelowItsLeast) {
    struct Case {
        WindowRect frame, area;
        bool changed;
        std::array<int, 4> fitted;  // the client area's width and height, the frame's x and y
    };
    // The frame and menu bar add 0 x 62 around a 1024 x 768 client area; the least is 650 x 528.
    const Case cases[] = {
        // It fits: nothing changes, nothing is written.
        {{100, 100, 1124, 930}, {0, 0, 1920, 1080}, false, {1024, 768, -1, -1}},
        // Too tall for a 1366 x 768 screen under a 27-pixel panel: shorter, centred in the area.
        {{0, 0, 1024, 830}, {0, 27, 1366, 768}, true, {1024, 679, 171, 27}},
        // Too wide and too tall.
        {{0, 0, 1024, 830}, {0, 0, 800, 600}, true, {800, 538, 0, 0}},
        // Its size fits but it hangs over the bottom: moved up, its size kept.
        {{100, 500, 1124, 1330}, {0, 0, 1920, 1080}, true, {1024, 768, 100, 250}},
        // Even the least size is too large: the least size, its title bar and menu on the area.
        {{0, 0, 1024, 830}, {10, 20, 610, 420}, true, {650, 528, 10, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        std::array<int, 4> fitted{1024, 768, -1, -1};
        EXPECT_EQ(window_fit_area(c.frame, c.area, 650, 528, &fitted[0], &fitted[1], &fitted[2], &fitted[3]),
                  c.changed);
        EXPECT_EQ(fitted, c.fitted);
    }
}

}  // namespace
