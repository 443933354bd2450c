/** @file image_pixels.cpp
 * Pixel work on our bitmaps: the alpha-capable test and the premultiplied and greyed copies
 * that menu items are drawn from. */
#include "runtime/ui/image.h"

#include <memory>
#include <new>

bool image_alpha_blend_available = true;

NativeImage* image_bitmap_create(int width, int height, int depth) {
    if (width <= 0 || height <= 0 || (depth != 24 && depth != 32)) return nullptr;
    // A header can ask for anything; refuse what no image of ours needs.
    if (width > 0x7FFF || height > 0x7FFF || std::int64_t(width) * height > IMAGE_MAX_PIXELS) return nullptr;
    try {
        auto image = std::make_unique<NativeImage>();
        image->width = width;
        image->height = height;
        image->depth = depth;
        image->pitch = image_row_pitch(width, depth);
        image->bits.assign(std::size_t(image->pitch) * std::size_t(height), 0);
        return image.release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool image_is_alpha_capable(const NativeImage* image) {
    if (!image_alpha_blend_available || !image || image->type != IMAGE_TYPE_BITMAP) return false;
    if (image->depth != 32) return false;
    if (image->dib_section) return true;
    for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x)
            if (image->pixel(x, y)[3] != 0) return true;
    return false;
}

int image_grey_level(int blue, int green, int red) {
    int g = (blue + 6 * green + 3 * red) / 10;
    // Less contrast at both ends, so a greyed image reads as inactive rather than as black and white.
    // C++ integer division truncates toward zero, as the rule asks for the negative values here.
    if (g < 64)
        g = 64 + (7 * g - 448) / 10;
    else if (g >= 193)
        g = 192 + (7 * g - 1344) / 10;
    return g;
}

void image_premultiply_pixel(std::uint8_t* p) {
    const int alpha = p[3];
    if (alpha == 255) return;
    for (int i = 0; i < 3; ++i) p[i] = std::uint8_t((p[i] * alpha) >> 8);
}

void image_grey_pixel(std::uint8_t* p) {
    const int alpha = p[3];
    const int g = image_grey_level(p[0], p[1], p[2]);
    // trunc((alpha / 255) * g) computed exactly in integers.
    const auto value = std::uint8_t((alpha * g) / 255);
    p[0] = p[1] = p[2] = value;
}

NativeImage* image_menu_copy(const NativeImage* image, bool greyed) {
    if (!image || image->type != IMAGE_TYPE_BITMAP) return nullptr;
    NativeImage* copy = image_bitmap_create(image->width, image->height, 32);
    if (!copy) return nullptr;
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            const std::uint8_t* s = image->pixel(x, y);
            std::uint8_t* d = copy->pixel(x, y);
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            // GetDIBits of a 24-bit bitmap into 32-bit rows leaves the fourth byte 0.
            d[3] = image->depth == 32 ? s[3] : 0;
            if (greyed)
                image_grey_pixel(d);
            else
                image_premultiply_pixel(d);
        }
    }
    return copy;
}
