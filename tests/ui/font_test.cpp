// Fonts: points to pixels at the display's resolution, the flags, and the numbered objects.
#include "runtime/ui/font_internal.h"
#include "runtime/ui/font_qt.h"

#include <QFont>

#include <gtest/gtest.h>

namespace {

TEST(FontRequest, PointsBecomeANegativeCharacterHeight) {
    EXPECT_EQ(font_request(10, 0, 96).height, -13);   // 13.33 rounds down
    EXPECT_EQ(font_request(10, 0, 120).height, -17);  // 16.67 rounds up
    EXPECT_EQ(font_request(9, 0, 96).height, -12);    // exactly 12
    EXPECT_EQ(font_request(11, 0, 96).height, -15);   // 14.67
    EXPECT_EQ(font_request(0, 0, 96).height, 0);
}

TEST(FontRequest, MulDivRoundsHalfAwayFromZero) {
    EXPECT_EQ(font_mul_div(3, 1, 2), 2);
    EXPECT_EQ(font_mul_div(-3, 1, 2), -2);
    EXPECT_EQ(font_mul_div(5, 1, -2), -3);
    EXPECT_EQ(font_mul_div(1, 1, 3), 0);
    EXPECT_EQ(font_mul_div(2000000000, 3, 4), 1500000000);  // no overflow in the product
    EXPECT_EQ(font_mul_div(1, 1, 0), -1);
}

TEST(FontRequest, FlagsChooseWeightStyleAndQuality) {
    const FontRequest plain = font_request(10, FONT_HIGH_QUALITY, 96);
    EXPECT_EQ(plain.weight, 400);
    EXPECT_EQ(plain.quality, 2);
    EXPECT_FALSE(plain.italic || plain.underline || plain.strike_out);
    const FontRequest bold = font_request(10, FONT_BOLD | FONT_HIGH_QUALITY, 96);  // 272, the label font
    EXPECT_EQ(bold.weight, 700);
    EXPECT_EQ(bold.quality, 2);
    const FontRequest all = font_request(10, FONT_ITALIC | FONT_UNDERLINE | FONT_STRIKEOUT, 96);
    EXPECT_TRUE(all.italic);
    EXPECT_TRUE(all.underline);
    EXPECT_TRUE(all.strike_out);
    EXPECT_EQ(all.weight, 400);
    EXPECT_EQ(all.quality, 0);
}

TEST(Font, LoadGivesAQFontSizedInPixelsForTheDisplay) {
    const int dpi = font_display_dpi();
    ASSERT_GT(dpi, 0);
    const ObjectNumber label = font_load(ANY_NUMBER, u"Arial", 10, FONT_BOLD | FONT_HIGH_QUALITY);
    ASSERT_NE(label, 0);
    const QFont* font = font_qfont(font_handle(label));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->family(), "Arial");
    EXPECT_EQ(font->pixelSize(), font_mul_div(10, dpi, 72));
    EXPECT_EQ(font->weight(), QFont::Bold);
    EXPECT_FALSE(font->italic());
    EXPECT_EQ(font->styleStrategy() & QFont::PreferAntialias, QFont::PreferAntialias);

    const ObjectNumber other = font_load(ANY_NUMBER, u"Courier", 12, FONT_ITALIC | FONT_UNDERLINE | FONT_STRIKEOUT);
    ASSERT_NE(other, 0);
    ASSERT_NE(other, label);
    const QFont* second = font_qfont(font_handle(other));
    EXPECT_EQ(second->weight(), QFont::Normal);
    EXPECT_TRUE(second->italic());
    EXPECT_TRUE(second->underline());
    EXPECT_TRUE(second->strikeOut());
    EXPECT_EQ(font_free(label), 1);
    EXPECT_EQ(font_free(other), 1);
}

TEST(Font, NumberedFontsReturnTheirHandleAndAreReplacedOnReload) {
    const ObjectNumber first = font_load(3, u"Arial", 10, 0);
    ASSERT_NE(first, 0);
    EXPECT_EQ(reinterpret_cast<ObjectNumber>(font_handle(3)), first);
    const ObjectNumber second = font_load(3, u"Arial", 20, 0);
    ASSERT_NE(second, 0);
    EXPECT_EQ(reinterpret_cast<ObjectNumber>(font_handle(3)), second);
    EXPECT_EQ(font_qfont(font_handle(3))->pixelSize(), font_mul_div(20, font_display_dpi(), 72));
    EXPECT_EQ(font_free(3), 1);
    EXPECT_EQ(font_handle(3), nullptr);
    EXPECT_EQ(font_free(3), 0);
    EXPECT_EQ(font_free(ANY_NUMBER), 0);
    EXPECT_EQ(font_handle(ANY_NUMBER), nullptr);
    EXPECT_EQ(font_handle(77), nullptr);
    // A null face name gives the default face rather than a failure.
    const ObjectNumber unnamed = font_load(4, nullptr, 10, 0);
    EXPECT_NE(unnamed, 0);
    EXPECT_EQ(font_free(4), 1);
}

}  // namespace
