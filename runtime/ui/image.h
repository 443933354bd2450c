/** @file image.h
 * Numbered images: bitmap, icon and PNG data caught into BGR(A) pixel buffers, the decoder
 * table, and the pixel work menus need (premultiplied and greyed copies). */
#pragma once

#include "runtime/core/types.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Kinds of native image, with the values GetObjectType and friends give on Windows.
inline constexpr int IMAGE_TYPE_BITMAP = 7;  // OBJ_BITMAP
inline constexpr int IMAGE_TYPE_ICON = 100;  // not a GDI object type; icons are told apart by this

// Our stand-in for a DIB section or an icon. Rows are stored like a DIB section with a positive
// height: bottom-up, the image's first row at the end of `bits`. Pixels are B, G, R(, A).
struct NativeImage {
    int type = IMAGE_TYPE_BITMAP;
    int width = 0;
    int height = 0;
    int depth = 0;  // 24 or 32
    int pitch = 0;  // bytes per row: width * 3 rounded up to 4, or width * 4
    bool dib_section = true;
    std::vector<std::uint8_t> bits;
    // Icons only: the AND mask, one byte per pixel in top-down order, 1 where the icon is transparent.
    std::vector<std::uint8_t> mask;
    // Sharper pictures of the same image for dense screens (see image_catch_denser), each a whole
    // multiple of its size, smallest first.
    std::vector<std::shared_ptr<const NativeImage>> denser;

    // Address of pixel (x, y), y counted from the top of the picture.
    std::uint8_t* pixel(int x, int y) {
        return bits.data() + std::size_t(height - 1 - y) * pitch + std::size_t(x) * (depth / 8);
    }
    const std::uint8_t* pixel(int x, int y) const {
        return bits.data() + std::size_t(height - 1 - y) * pitch + std::size_t(x) * (depth / 8);
    }
};

using ImageHandle = NativeImage*;

// Row pitch of a DIB section: 4-byte aligned rows.
inline int image_row_pitch(int width, int depth) { return ((width * depth + 31) / 32) * 4; }

// The most pixels an image may have (256 MB at 32 bits): data of a few bytes can declare
// 32767 x 32767 pixels, and no image of ours comes near this.
inline constexpr std::int64_t IMAGE_MAX_PIXELS = std::int64_t(1) << 26;

// A zeroed bitmap of that size and depth; null for sizes that are not positive or too large, and
// when the memory cannot be had.
NativeImage* image_bitmap_create(int width, int height, int depth);

struct ImageRecord {
    NativeImage* handle;  // null = free
    std::uint16_t width;
    std::uint16_t height;
    std::uint8_t depth;
    std::uint8_t source_depth;
};

// The file formats image_catch knows itself; null when the data is not (a usable) one.
// source_depth receives the bits per pixel of the source.
NativeImage* image_from_bitmap_file(const std::uint8_t* data, std::size_t size, int* source_depth);
NativeImage* image_from_icon_file(const std::uint8_t* data, std::size_t size, int* source_depth);

// Decoders ---------------------------------------------------------------------------------

inline constexpr int IMAGE_DECODE_BOTTOM_UP = 2;  // decode flag: the first image row goes last
inline constexpr int IMAGE_SOURCE_MEMORY = 1;
inline constexpr int IMAGE_DECODER_MAX = 30;

struct ImageDecoder;

struct ImageDecodeContext {
    const ImageDecoder* decoder;
    const std::uint8_t* data;
    std::size_t size;
    int source_kind;
    int width;
    int height;
    int depth;
    // The decoder's own state (the PNG decoder: library read and info states, read cursor,
    // colour type, bit depth); zeroed before each decoder's check.
    alignas(16) unsigned char private_area[64];
    int source_depth;
};

struct ImageDecoder {
    // Non-zero when the data is in this format; then width, height, depth and source_depth are set.
    int (*check)(ImageDecodeContext* context);
    // Writes the rows into buffer (pitch bytes apart); non-zero on success.
    int (*decode)(ImageDecodeContext* context, std::uint8_t* buffer, int pitch, int flags);
    void (*close)(ImageDecodeContext* context);
};

// Appends a decoder to the table (up to IMAGE_DECODER_MAX); non-zero on success.
int image_decoder_register(const ImageDecoder* decoder);
bool image_decoder_is_registered(const ImageDecoder* decoder);
// Registers the PNG decoder once; later calls do nothing.
int png_decoder_use();
// The PNG decoder's operations, for tests that drive it directly.
const ImageDecoder* png_decoder();

// Operations -------------------------------------------------------------------------------

// Dynamic number for ANY_NUMBER, else the native handle; 0 when no format recognises the data,
// the image would pass IMAGE_MAX_PIXELS or memory runs out. Nothing is thrown.
ObjectNumber image_catch(ObjectNumber number, const void* data, std::size_t size = 10000000);
ImageHandle image_handle(ObjectNumber number);
// Gives a caught image a sharper picture of itself from data in any format image_catch takes: its
// width and height the same whole multiple (2 for a screen at 200 %) of the image's. Menus and
// icons draw it where the screen has that many device pixels to a pixel; the image's own size,
// pixels and record stay. A picture of the same multiple replaces the earlier one. Non-zero on
// success; 0 for no image, data no format takes, or a size that is no such multiple.
int image_catch_denser(ObjectNumber number, const void* data, std::size_t size = 10000000);
// The picture to draw the image from on a screen of `device_pixel_ratio`: the smallest of its
// pictures that has at least that many pixels to the image's one, else its largest; `scale`
// receives the chosen picture's multiple (1 for the image itself).
const NativeImage* image_picture_for(const NativeImage* image, double device_pixel_ratio, int* scale);
int image_free(ObjectNumber number);
// Whoever keeps image handles (menu items) hears of an image's end before its handle is deleted,
// and lets go of it. Listeners stay for the program's life; adding one twice adds it once.
using ImageFreeListener = void (*)(ImageHandle image);
int image_listen_for_free(ImageFreeListener listener);
// The record of a live image (width, height, depth, source_depth), or null.
const ImageRecord* image_record(ObjectNumber number);

// Start-up: the images registry, an empty decoder table, the decode context and the PNG decoder.
void image_start();
// Shutdown: frees every image.
void image_end();

// Pixel work for menus ---------------------------------------------------------------------

// Whether images may be alpha-blended at all (always, over Qt; kept as a switch so the
// opaque path stays reachable).
extern bool image_alpha_blend_available;

// True when the handle is a bitmap that is a 32-bit DIB section, or another 32-bit bitmap with
// at least one non-zero alpha byte.
bool image_is_alpha_capable(const NativeImage* image);

// The grey level of a pixel as disabled menu images show it (20 to 236 before alpha).
int image_grey_level(int blue, int green, int red);
// One BGRA pixel made ready for alpha blending, in place: premultiplied, or greyed.
void image_premultiply_pixel(std::uint8_t* bgra);
void image_grey_pixel(std::uint8_t* bgra);

// A new 32-bit bitmap of the same size: premultiplied (normal) or greyed copy. The caller owns it.
NativeImage* image_menu_copy(const NativeImage* image, bool greyed);
