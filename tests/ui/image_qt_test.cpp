// Our bitmaps as Qt images, the three ways a menu image is drawn (alpha-blended, opaque,
// icon) in colour and greyed, and the program's own images as the menus receive them.
#include "runtime/ui/image_qt.h"

#include "runtime/ui/resources.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QRgb BACKGROUND = qRgb(240, 240, 240);

// Draws the image into a 20 x 20 canvas of the background colour at (2, 2).
QImage drawn(const NativeImage* image, bool greyed) {
    QImage canvas(20, 20, QImage::Format_RGB32);
    canvas.fill(BACKGROUND);
    QPainter painter(&canvas);
    image_draw_menu_image(painter, image, 2, 2, greyed);
    painter.end();
    return canvas;
}

std::unique_ptr<NativeImage> bitmap(int size, int depth) {
    return std::unique_ptr<NativeImage>(image_bitmap_create(size, size, depth));
}

void set(NativeImage* image, int x, int y, int b, int g, int r, int a = 255) {
    std::uint8_t* p = image->pixel(x, y);
    p[0] = std::uint8_t(b);
    p[1] = std::uint8_t(g);
    p[2] = std::uint8_t(r);
    if (image->depth == 32) p[3] = std::uint8_t(a);
}

TEST(ImageQt, QImagesAreTopDownCopiesWithStraightAlpha) {
    auto image = bitmap(3, 32);
    set(image.get(), 0, 0, 10, 20, 30, 40);
    set(image.get(), 2, 2, 1, 2, 3, 255);
    const QImage q = image_to_qimage(image.get());
    ASSERT_EQ(q.format(), QImage::Format_ARGB32);
    EXPECT_EQ(q.pixel(0, 0), qRgba(30, 20, 10, 40));
    EXPECT_EQ(q.pixel(2, 2), qRgba(3, 2, 1, 255));
    auto rgb = bitmap(3, 24);
    set(rgb.get(), 1, 0, 50, 60, 70);
    const QImage q24 = image_to_qimage(rgb.get());
    EXPECT_EQ(q24.pixel(1, 0), qRgb(70, 60, 50));
    EXPECT_TRUE(image_to_qimage(nullptr).isNull());
    EXPECT_FALSE(image_to_qicon(image.get()).isNull());
}

TEST(ImageQt, AlphaBitmapsBlendOverTheBackground) {
    auto image = bitmap(16, 32);
    set(image.get(), 0, 0, 0, 0, 255, 255);  // opaque red
    set(image.get(), 1, 0, 0, 0, 0, 128);    // half black
    const QImage colour = drawn(image.get(), false);
    EXPECT_EQ(colour.pixel(2, 2), qRgb(255, 0, 0));
    // 240 * (255 - 128) / 255 = 119.5: a half-dark grey (rounding left to the painter).
    EXPECT_NEAR(qRed(colour.pixel(3, 2)), 120, 1);
    EXPECT_EQ(colour.pixel(4, 2), BACKGROUND);  // transparent
    const QImage grey = drawn(image.get(), true);
    const int g = image_grey_level(0, 0, 255);  // red's grey level
    EXPECT_EQ(grey.pixel(2, 2), qRgb(g, g, g));
    EXPECT_EQ(grey.pixel(4, 2), BACKGROUND);
}

TEST(ImageQt, LargerImagesShowTheirTopLeftSixteenPixels) {
    auto image = bitmap(24, 32);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) set(image.get(), x, y, 0, 0, x < 16 && y < 16 ? 200 : 10);
    const QImage canvas = drawn(image.get(), false);
    EXPECT_EQ(canvas.pixel(17, 17), qRgb(200, 0, 0));  // image pixel (15, 15)
    EXPECT_EQ(canvas.pixel(18, 18), BACKGROUND);       // nothing beyond 16 x 16
}

TEST(ImageQt, OpaqueBitmapsDrawAsTheyAreOrEmbossedWhenGreyed) {
    auto image = bitmap(16, 24);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) set(image.get(), x, y, 255, 255, 255);
    set(image.get(), 5, 5, 0, 0, 0);  // one dark pixel
    const QImage colour = drawn(image.get(), false);
    EXPECT_EQ(colour.pixel(2, 2), qRgb(255, 255, 255));
    EXPECT_EQ(colour.pixel(7, 7), qRgb(0, 0, 0));
    // Greyed: the light pixels vanish, the dark one shows in the dark colour over a light shadow.
    const QImage grey = drawn(image.get(), true);
    EXPECT_EQ(grey.pixel(2, 2), BACKGROUND);
    EXPECT_NE(grey.pixel(7, 7), BACKGROUND);
    EXPECT_NE(grey.pixel(8, 8), BACKGROUND);
    EXPECT_NE(grey.pixel(7, 7), grey.pixel(8, 8));
}

TEST(ImageQt, IconsAreScaledToSixteenAndGreyedThroughTheirMask) {
    auto icon = bitmap(32, 32);
    icon->type = IMAGE_TYPE_ICON;
    icon->dib_section = false;
    icon->mask.assign(32 * 32, 1);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 16; ++x) {
            set(icon.get(), x, y, 0, 200, 0);
            icon->mask[std::size_t(y) * 32 + x] = 0;
        }
    for (int y = 0; y < 32; ++y)
        for (int x = 16; x < 32; ++x) set(icon.get(), x, y, 0, 0, 0, 0);
    const QImage colour = drawn(icon.get(), false);
    // The left half of 32 becomes the left half of 16.
    EXPECT_EQ(colour.pixel(2 + 2, 2 + 8), qRgb(0, 200, 0));
    EXPECT_EQ(colour.pixel(2 + 13, 2 + 8), BACKGROUND);
    EXPECT_EQ(colour.pixel(2 + 17, 2 + 8), BACKGROUND);  // nothing beyond 16
    const QImage grey = drawn(icon.get(), true);
    const int g = image_grey_level(0, 200, 0);
    EXPECT_EQ(grey.pixel(2 + 2, 2 + 8), qRgb(g, g, g));
    EXPECT_EQ(grey.pixel(2 + 13, 2 + 8), BACKGROUND);
}

TEST(ImageQt, TheProgramsImagesAreWhatTheMenusNeed) {
    // Five 16 x 16 PNG images with alpha and a 32 x 32 window icon, all decodable by image_catch.
    const char* const names[] = {"new", "open", "save", "saveas", "exit"};
    for (const char* name : names) {
        const EmbeddedResource* resource = embedded_resource(name);
        ASSERT_NE(resource, nullptr) << name;
        const ObjectNumber id = image_catch(ANY_NUMBER, resource->data, resource->size);
        ASSERT_NE(id, 0) << name;
        const ImageRecord* record = image_record(id);
        EXPECT_EQ(record->width, 16) << name;
        EXPECT_EQ(record->height, 16) << name;
        EXPECT_EQ(record->depth, 32) << name;
        EXPECT_EQ(record->source_depth, 32) << name;
        EXPECT_TRUE(image_is_alpha_capable(image_handle(id))) << name;
        // Each has transparent corners and an opaque middle.
        const QImage q = image_to_qimage(image_handle(id));
        EXPECT_EQ(qAlpha(q.pixel(0, 0)), 0) << name;
        EXPECT_EQ(qAlpha(q.pixel(8, 9)), 255) << name;
        image_free(id);
    }
    const EmbeddedResource* icon = embedded_resource("icon");
    ASSERT_NE(icon, nullptr);
    const ObjectNumber id = image_catch(ANY_NUMBER, icon->data, icon->size);
    ASSERT_NE(id, 0);
    EXPECT_EQ(image_record(id)->width, 32);
    EXPECT_EQ(image_record(id)->height, 32);
    // White letters on the grey-green band: both colours occur across the middle row.
    const QImage q = image_to_qimage(image_handle(id));
    bool white = false, band = false;
    for (int x = 0; x < 32; ++x) {
        const QRgb p = q.pixel(x, 16);
        if (qRed(p) > 240 && qGreen(p) > 240 && qBlue(p) > 240) white = true;
        if (qAlpha(p) == 255 && qGreen(p) > qRed(p) && qGreen(p) > qBlue(p) && qGreen(p) < 180) band = true;
    }
    EXPECT_TRUE(white);
    EXPECT_TRUE(band);
    image_free(id);
    EXPECT_EQ(embedded_resource("nothing"), nullptr);
}

}  // namespace
