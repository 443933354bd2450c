// Images: PNG decoding of every colour type we meet (test images made with libpng here),
// bitmap and icon files, the decoder table, hostile data (reads bounded by the data, memory by
// a pixel limit, the fuzz corpus), and the pixel formulas of menu images.
#include "runtime/ui/image.h"

#include "fuzz/image_catch_property.h"
#include "runtime/core/memory.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace {

struct PngPicture {
    int width = 0;
    int height = 0;
    int colour_type = PNG_COLOR_TYPE_RGBA;
    int bit_depth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<std::uint8_t> transparency;  // palette alpha values
    // Packed rows exactly as PNG stores them (big-endian samples, packed low bit depths).
    std::vector<std::vector<std::uint8_t>> rows;
};

void append_bytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

std::vector<std::uint8_t> encode_png(const PngPicture& picture) {
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng could not write the test image";
        return {};
    }
    png_set_write_fn(png, &out, append_bytes, nullptr);
    png_set_IHDR(png, info, picture.width, picture.height, picture.bit_depth, picture.colour_type,
                 picture.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!picture.palette.empty()) png_set_PLTE(png, info, picture.palette.data(), int(picture.palette.size()));
    if (!picture.transparency.empty())
        png_set_tRNS(png, info, picture.transparency.data(), int(picture.transparency.size()), nullptr);
    std::vector<png_bytep> rows;
    for (const auto& row : picture.rows) rows.push_back(const_cast<png_bytep>(row.data()));
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// The BGR(A) bytes of pixel (x, y) of a caught image.
std::vector<int> pixel_of(ObjectNumber number, int x, int y) {
    const NativeImage* image = image_handle(number);
    if (!image) return {};
    const std::uint8_t* p = image->pixel(x, y);
    std::vector<int> v(p, p + image->depth / 8);
    return v;
}

class ImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        runtime_core_start();
        image_start();
    }
    // Every image goes, and the toolkit's images registry is back for the suites that follow.
    void TearDown() override {
        image_end();
        image_start();
    }
};

// 3 x 2 RGBA: red, green, blue / white half-transparent, black transparent, grey opaque.
PngPicture rgba_picture() {
    PngPicture picture;
    picture.width = 3;
    picture.height = 2;
    picture.rows = {{255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255},
                    {255, 255, 255, 128, 0, 0, 0, 0, 100, 110, 120, 255}};
    return picture;
}

TEST_F(ImageTest, RgbaPngGivesStraightBgraBottomUp) {
    const auto png = encode_png(rgba_picture());
    const ObjectNumber id = image_catch(ANY_NUMBER, png.data(), png.size());
    ASSERT_NE(id, 0);
    const ImageRecord* record = image_record(id);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->width, 3);
    EXPECT_EQ(record->height, 2);
    EXPECT_EQ(record->depth, 32);
    EXPECT_EQ(record->source_depth, 32);
    EXPECT_EQ(pixel_of(id, 0, 0), (std::vector<int>{0, 0, 255, 255}));
    EXPECT_EQ(pixel_of(id, 2, 0), (std::vector<int>{255, 0, 0, 255}));
    // Straight alpha: white at half alpha stays white.
    EXPECT_EQ(pixel_of(id, 0, 1), (std::vector<int>{255, 255, 255, 128}));
    EXPECT_EQ(pixel_of(id, 2, 1), (std::vector<int>{120, 110, 100, 255}));
    // Rows are stored bottom-up: the buffer starts with the picture's last row.
    const NativeImage* image = image_handle(id);
    EXPECT_EQ(image->pitch, 12);
    EXPECT_EQ(image->bits[0], 255);       // blue of white
    EXPECT_EQ(image->bits[12 + 2], 255);  // red of the first row's red pixel
    EXPECT_EQ(image->type, IMAGE_TYPE_BITMAP);
}

TEST_F(ImageTest, RgbPngGives24BitsWithPaddedRows) {
    PngPicture picture;
    picture.colour_type = PNG_COLOR_TYPE_RGB;
    picture.width = 3;
    picture.height = 1;
    picture.rows = {{10, 20, 30, 40, 50, 60, 70, 80, 90}};
    const auto png = encode_png(picture);
    const ObjectNumber id = image_catch(ANY_NUMBER, png.data(), png.size());
    ASSERT_NE(id, 0);
    EXPECT_EQ(image_record(id)->depth, 24);
    EXPECT_EQ(image_record(id)->source_depth, 24);
    EXPECT_EQ(image_handle(id)->pitch, 12);  // 9 bytes rounded up to 4
    EXPECT_EQ(pixel_of(id, 1, 0), (std::vector<int>{60, 50, 40}));
    EXPECT_EQ(pixel_of(id, 2, 0), (std::vector<int>{90, 80, 70}));
}

PngPicture palette4_picture() {
    PngPicture picture;
    picture.colour_type = PNG_COLOR_TYPE_PALETTE;
    picture.bit_depth = 4;
    picture.width = 3;
    picture.height = 1;
    picture.palette = {{200, 0, 0}, {0, 200, 0}, {0, 0, 200}};
    picture.rows = {{0x21, 0x00}};  // indices 2, 1, 0
    return picture;
}

TEST_F(ImageTest, FourBitPalettePngGives24BitsAndSourceDepth4) {
    const auto png = encode_png(palette4_picture());
    const ObjectNumber id = image_catch(ANY_NUMBER, png.data(), png.size());
    ASSERT_NE(id, 0);
    EXPECT_EQ(image_record(id)->depth, 24);
    EXPECT_EQ(image_record(id)->source_depth, 4);
    EXPECT_EQ(pixel_of(id, 0, 0), (std::vector<int>{200, 0, 0}));
    EXPECT_EQ(pixel_of(id, 1, 0), (std::vector<int>{0, 200, 0}));
    EXPECT_EQ(pixel_of(id, 2, 0), (std::vector<int>{0, 0, 200}));
}

TEST_F(ImageTest, FourBitPalettePngWithTransparencyGives32Bits) {
    PngPicture picture = palette4_picture();
    picture.transparency = {0, 128};  // entry 2 stays opaque
    const auto png = encode_png(picture);
    const ObjectNumber id = image_catch(ANY_NUMBER, png.data(), png.size());
    ASSERT_NE(id, 0);
    EXPECT_EQ(image_record(id)->depth, 32);
    EXPECT_EQ(image_record(id)->source_depth, 4);
    EXPECT_EQ(pixel_of(id, 0, 0), (std::vector<int>{200, 0, 0, 255}));
    EXPECT_EQ(pixel_of(id, 1, 0), (std::vector<int>{0, 200, 0, 128}));
    EXPECT_EQ(pixel_of(id, 2, 0), (std::vector<int>{0, 0, 200, 0}));
}

TEST_F(ImageTest, SixteenBitPngIsReducedToEightBitsPerChannel) {
    PngPicture picture;
    picture.width = 2;
    picture.height = 1;
    picture.bit_depth = 16;
    picture.rows = {{0xAB, 0xCD, 0x12, 0x34, 0xFF, 0xFF, 0x80, 0x01,  // r g b a
                     0x00, 0x10, 0x7F, 0xFF, 0x01, 0x00, 0x00, 0x00}};
    const auto png = encode_png(picture);
    const ObjectNumber id = image_catch(ANY_NUMBER, png.data(), png.size());
    ASSERT_NE(id, 0);
    EXPECT_EQ(image_record(id)->depth, 32);
    EXPECT_EQ(image_record(id)->source_depth, 32);
    // Stripping keeps the high byte of each sample.
    EXPECT_EQ(pixel_of(id, 0, 0), (std::vector<int>{0xFF, 0x12, 0xAB, 0x80}));
    EXPECT_EQ(pixel_of(id, 1, 0), (std::vector<int>{0x01, 0x7F, 0x00, 0x00}));
}

TEST_F(ImageTest, InterlacedPngDecodesToTheSamePixelsAsItsTwin) {
    PngPicture picture;
    picture.width = 11;
    picture.height = 9;
    for (int y = 0; y < picture.height; ++y) {
        std::vector<std::uint8_t> row;
        for (int x = 0; x < picture.width; ++x) {
            row.push_back(std::uint8_t(x * 23));
            row.push_back(std::uint8_t(y * 29));
            row.push_back(std::uint8_t((x * y * 7) & 0xFF));
            row.push_back(std::uint8_t(255 - x - y));
        }
        picture.rows.push_back(row);
    }
    const auto plain = encode_png(picture);
    picture.interlaced = true;
    const auto interlaced = encode_png(picture);
    ASSERT_NE(plain, interlaced);
    const ObjectNumber a = image_catch(ANY_NUMBER, plain.data(), plain.size());
    const ObjectNumber b = image_catch(ANY_NUMBER, interlaced.data(), interlaced.size());
    ASSERT_NE(a, 0);
    ASSERT_NE(b, 0);
    EXPECT_EQ(image_handle(a)->bits, image_handle(b)->bits);
    EXPECT_EQ(pixel_of(b, 10, 8), (std::vector<int>{(10 * 8 * 7) & 0xFF, 8 * 29, 230, 255 - 18}));
}

TEST_F(ImageTest, GreyPngsExpandToColour) {
    PngPicture grey;
    grey.colour_type = PNG_COLOR_TYPE_GRAY;
    grey.bit_depth = 2;
    grey.width = 4;
    grey.height = 1;
    grey.rows = {{0x1B}};  // levels 0, 1, 2, 3
    auto png = encode_png(grey);
    ObjectNumber id = image_catch(ANY_NUMBER, png.data(), png.size());
    ASSERT_NE(id, 0);
    EXPECT_EQ(image_record(id)->depth, 24);
    EXPECT_EQ(image_record(id)->source_depth, 2);
    EXPECT_EQ(pixel_of(id, 1, 0), (std::vector<int>{85, 85, 85}));
    EXPECT_EQ(pixel_of(id, 3, 0), (std::vector<int>{255, 255, 255}));

    PngPicture grey_alpha;
    grey_alpha.colour_type = PNG_COLOR_TYPE_GRAY_ALPHA;
    grey_alpha.width = 1;
    grey_alpha.height = 1;
    grey_alpha.rows = {{77, 66}};
    png = encode_png(grey_alpha);
    id = image_catch(ANY_NUMBER, png.data(), png.size());
    ASSERT_NE(id, 0);
    EXPECT_EQ(image_record(id)->depth, 32);
    EXPECT_EQ(image_record(id)->source_depth, 8);
    EXPECT_EQ(pixel_of(id, 0, 0), (std::vector<int>{77, 77, 77, 66}));
}

TEST_F(ImageTest, UnknownOrDamagedDataIsRefusedAndTheNumberStaysFree) {
    const std::uint8_t text[] = "just some text, not an image";
    EXPECT_EQ(image_catch(3, text, sizeof text), 0);
    EXPECT_EQ(image_handle(3), nullptr);
    EXPECT_EQ(image_catch(ANY_NUMBER, text, sizeof text), 0);

    // A PNG cut short: its header reads, its pixels do not.
    const auto png = encode_png(rgba_picture());
    EXPECT_EQ(image_catch(4, png.data(), png.size() - 30), 0);
    EXPECT_EQ(image_handle(4), nullptr);
    // Only the signature.
    EXPECT_EQ(image_catch(4, png.data(), 8), 0);
    // A flipped byte in the image data fails its checksum.
    auto damaged = png;
    damaged[damaged.size() - 20] ^= 0x55;
    EXPECT_EQ(image_catch(4, damaged.data(), damaged.size()), 0);
    EXPECT_EQ(image_handle(4), nullptr);
}

TEST_F(ImageTest, NumbersHandlesAndFreeing) {
    const auto png = encode_png(rgba_picture());
    const ObjectNumber handle = image_catch(12, png.data(), png.size());
    ASSERT_NE(handle, 0);
    EXPECT_EQ(reinterpret_cast<ObjectNumber>(image_handle(12)), handle);
    // Catching again under the same number replaces the image.
    const ObjectNumber again = image_catch(12, png.data(), png.size());
    ASSERT_NE(again, 0);
    EXPECT_EQ(reinterpret_cast<ObjectNumber>(image_handle(12)), again);
    EXPECT_EQ(image_free(12), 1);
    EXPECT_EQ(image_handle(12), nullptr);
    EXPECT_EQ(image_free(12), 0);
    EXPECT_EQ(image_free(ANY_NUMBER), 0);
    EXPECT_EQ(image_handle(ANY_NUMBER), nullptr);

    const ObjectNumber dynamic = image_catch(ANY_NUMBER, png.data(), png.size());
    ASSERT_NE(dynamic, 0);
    EXPECT_NE(image_handle(dynamic), nullptr);
    EXPECT_EQ(image_free(dynamic), 1);
}

// A grey PNG of that size, every pixel the given level.
std::vector<std::uint8_t> grey_png(int width, int height, std::uint8_t grey) {
    PngPicture picture;
    picture.width = width;
    picture.height = height;
    picture.colour_type = PNG_COLOR_TYPE_GRAY;
    picture.rows.assign(std::size_t(height), std::vector<std::uint8_t>(std::size_t(width), grey));
    return encode_png(picture);
}

TEST_F(ImageTest, DenserPicturesAreWholeMultiplesAndTheDensestNeededIsDrawn) {
    const auto base = grey_png(3, 2, 10);
    ASSERT_NE(image_catch(12, base.data(), base.size()), 0);
    const struct {
        int width, height, grey, result;
    } offers[] = {
        {6, 4, 20, 1},  // twice
        {9, 6, 30, 1},  // three times, kept after twice
        {6, 4, 40, 1},  // twice again: replaces the first
        {3, 2, 50, 0},  // the same size is no denser picture
        {7, 4, 60, 0},  // not a whole multiple
        {6, 6, 70, 0},  // not the same multiple both ways
    };
    for (const auto& offer : offers) {
        const auto png = grey_png(offer.width, offer.height, std::uint8_t(offer.grey));
        EXPECT_EQ(image_catch_denser(12, png.data(), png.size()), offer.result) << offer.width << "x" << offer.height;
    }
    const std::uint8_t junk[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(image_catch_denser(12, junk, sizeof junk) + image_catch_denser(13, base.data(), base.size()), 0);

    const NativeImage* image = image_handle(12);
    ASSERT_EQ(image->denser.size(), 2u);
    EXPECT_EQ(image->width, 3);  // the image itself stays
    EXPECT_EQ(image_record(12)->width, 3);
    // The screen's pixel ratio, then the multiple drawn and its grey.
    const struct {
        double ratio;
        int scale, grey;
    } screens[] = {{1.0, 1, 10}, {1.25, 2, 40}, {2.0, 2, 40}, {2.5, 3, 30}, {3.0, 3, 30}, {4.0, 3, 30}};
    for (const auto& screen : screens) {
        int scale = 0;
        const NativeImage* picture = image_picture_for(image, screen.ratio, &scale);
        EXPECT_EQ(scale, screen.scale) << screen.ratio;
        EXPECT_EQ(picture->width, 3 * screen.scale) << screen.ratio;
        EXPECT_EQ(picture->pixel(0, 0)[0], screen.grey) << screen.ratio;
    }
}

TEST_F(ImageTest, DecoderTableIsTriedInOrderAndPngIsRegisteredOnce) {
    EXPECT_TRUE(image_decoder_is_registered(png_decoder()));
    png_decoder_use();
    png_decoder_use();
    // A decoder of our own for data starting with "QQ": one 1 x 1 pixel.
    static int checks = 0;
    static const ImageDecoder fake = {[](ImageDecodeContext* c) {
                                          ++checks;
                                          if (c->size < 2 || c->data[0] != 'Q' || c->data[1] != 'Q') return 0;
                                          c->width = 1;
                                          c->height = 1;
                                          c->depth = 24;
                                          c->source_depth = 1;
                                          return 1;
                                      },
                                      [](ImageDecodeContext*, std::uint8_t* buffer, int, int) {
                                          buffer[0] = 1;
                                          buffer[1] = 2;
                                          buffer[2] = 3;
                                          return 1;
                                      },
                                      [](ImageDecodeContext*) {}};
    ASSERT_EQ(image_decoder_register(&fake), 1);
    const std::uint8_t data[] = {'Q', 'Q', 0};
    const ObjectNumber id = image_catch(ANY_NUMBER, data, sizeof data);
    ASSERT_NE(id, 0);
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(pixel_of(id, 0, 0), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(image_record(id)->source_depth, 1);
    // PNG comes first in the table, so PNG data never reaches the later decoder.
    const auto png = encode_png(rgba_picture());
    ASSERT_NE(image_catch(ANY_NUMBER, png.data(), png.size()), 0);
    EXPECT_EQ(checks, 1);
    // The table is full at 30.
    int registered = 2;
    while (image_decoder_register(&fake)) ++registered;
    EXPECT_EQ(registered, IMAGE_DECODER_MAX);
}

// Bitmap and icon files -----------------------------------------------------------------

void put16(std::vector<std::uint8_t>& v, std::size_t at, unsigned value) {
    v[at] = std::uint8_t(value);
    v[at + 1] = std::uint8_t(value >> 8);
}
void put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t value) {
    put16(v, at, value & 0xFFFF);
    put16(v, at + 2, value >> 16);
}

// A BITMAPINFOHEADER followed by `table` colour entries (zeroed).
std::vector<std::uint8_t> info_header(int width, int height, int bits, int table) {
    std::vector<std::uint8_t> v(40 + std::size_t(table) * 4, 0);
    put32(v, 0, 40);
    put32(v, 4, std::uint32_t(width));
    put32(v, 8, std::uint32_t(height));
    put16(v, 12, 1);
    put16(v, 14, unsigned(bits));
    put32(v, 32, std::uint32_t(table));  // colours used
    return v;
}

std::vector<std::uint8_t> bitmap_file(std::vector<std::uint8_t> header, const std::vector<std::uint8_t>& pixels) {
    std::vector<std::uint8_t> v(14, 0);
    v[0] = 'B';
    v[1] = 'M';
    put32(v, 10, std::uint32_t(14 + header.size()));
    v.insert(v.end(), header.begin(), header.end());
    v.insert(v.end(), pixels.begin(), pixels.end());
    put32(v, 2, std::uint32_t(v.size()));
    return v;
}

TEST_F(ImageTest, ThirtyTwoBitBitmapWithoutAlphaComesOutOpaque) {
    // 2 x 2, bottom-up: the first stored row is the picture's last.
    const std::vector<std::uint8_t> pixels = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0};
    const auto file = bitmap_file(info_header(2, 2, 32, 0), pixels);
    const ObjectNumber id = image_catch(ANY_NUMBER, file.data(), file.size());
    ASSERT_NE(id, 0);
    EXPECT_EQ(image_record(id)->depth, 32);
    EXPECT_EQ(image_record(id)->source_depth, 32);
    EXPECT_EQ(pixel_of(id, 0, 1), (std::vector<int>{1, 2, 3, 255}));
    EXPECT_EQ(pixel_of(id, 1, 0), (std::vector<int>{10, 11, 12, 255}));

    // With some alpha present, the alpha bytes are kept as they are.
    auto with_alpha = pixels;
    with_alpha[3] = 40;
    const auto file2 = bitmap_file(info_header(2, 2, 32, 0), with_alpha);
    const ObjectNumber id2 = image_catch(ANY_NUMBER, file2.data(), file2.size());
    ASSERT_NE(id2, 0);
    EXPECT_EQ(pixel_of(id2, 0, 1)[3], 40);
    EXPECT_EQ(pixel_of(id2, 1, 0)[3], 0);
}

TEST_F(ImageTest, PaletteAndTopDownBitmapsConvertTo24Bits) {
    // 8-bit, 3 x 2, top-down (negative height), two colours.
    auto header = info_header(3, -2, 8, 2);
    header[40] = 10;
    header[41] = 20;
    header[42] = 30;  // entry 0: blue, green, red
    header[44] = 40;
    header[45] = 50;
    header[46] = 60;  // entry 1
    const std::vector<std::uint8_t> pixels = {0, 1, 0, 0, /* padding */ 1, 1, 7, 0};
    const auto file = bitmap_file(header, pixels);
    const ObjectNumber id = image_catch(ANY_NUMBER, file.data(), file.size());
    ASSERT_NE(id, 0);
    EXPECT_EQ(image_record(id)->depth, 24);
    EXPECT_EQ(image_record(id)->source_depth, 8);
    EXPECT_EQ(image_record(id)->height, 2);
    EXPECT_EQ(pixel_of(id, 1, 0), (std::vector<int>{40, 50, 60}));
    EXPECT_EQ(pixel_of(id, 0, 1), (std::vector<int>{40, 50, 60}));
    // An index past the colour table gives black rather than a read beyond it.
    EXPECT_EQ(pixel_of(id, 2, 1), (std::vector<int>{0, 0, 0}));
}

TEST_F(ImageTest, BitmapWhosePixelsRunPastTheDataIsRefused) {
    auto file = bitmap_file(info_header(100, 100, 24, 0), std::vector<std::uint8_t>(50, 0));
    EXPECT_EQ(image_catch(ANY_NUMBER, file.data(), file.size()), 0);
}

// An icon file with entries of {size, bits, image data}.
struct IconEntry {
    int size;
    int bits;
    std::vector<std::uint8_t> data;
};

std::vector<std::uint8_t> icon_file(const std::vector<IconEntry>& entries) {
    std::vector<std::uint8_t> v(6 + entries.size() * 16, 0);
    put16(v, 2, 1);
    put16(v, 4, unsigned(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t at = 6 + i * 16;
        v[at] = std::uint8_t(entries[i].size);
        v[at + 1] = std::uint8_t(entries[i].size);
        put16(v, at + 4, 1);
        put16(v, at + 6, unsigned(entries[i].bits));
        put32(v, at + 8, std::uint32_t(entries[i].data.size()));
        put32(v, at + 12, std::uint32_t(v.size()));
        v.insert(v.end(), entries[i].data.begin(), entries[i].data.end());
    }
    return v;
}

// A 2 x 2 icon image: colour rows then mask rows, bottom-up; every pixel one colour.
std::vector<std::uint8_t> icon_image(int bits, std::uint8_t blue, std::uint8_t alpha, std::uint8_t mask_bits) {
    auto v = info_header(2, 4, bits, bits <= 8 ? 1 << bits : 0);
    if (bits == 8) v[40] = blue;
    for (int row = 0; row < 2; ++row) {
        std::vector<std::uint8_t> r(std::size_t(image_row_pitch(2, bits)), 0);
        if (bits == 32) {
            r[0] = blue;
            r[3] = alpha;
            r[4] = blue;
            r[7] = alpha;
        } else if (bits == 24) {
            r[0] = blue;
            r[3] = blue;
        }
        v.insert(v.end(), r.begin(), r.end());
    }
    for (int row = 0; row < 2; ++row) {
        std::vector<std::uint8_t> r(4, 0);
        r[0] = mask_bits;
        v.insert(v.end(), r.begin(), r.end());
    }
    return v;
}

TEST_F(ImageTest, IconTakesTheDeepestImageOfTheFirstSize) {
    const auto file = icon_file({{2, 8, icon_image(8, 11, 0, 0x40)},
                                 {2, 24, icon_image(24, 22, 0, 0x40)},
                                 {2, 24, icon_image(24, 33, 0, 0x40)},
                                 {4, 32, icon_image(32, 44, 255, 0)}});
    const ObjectNumber id = image_catch(ANY_NUMBER, file.data(), file.size());
    ASSERT_NE(id, 0);
    const NativeImage* icon = image_handle(id);
    EXPECT_EQ(icon->type, IMAGE_TYPE_ICON);
    EXPECT_FALSE(image_is_alpha_capable(icon));
    EXPECT_EQ(image_record(id)->width, 2);
    EXPECT_EQ(image_record(id)->height, 2);
    // The first 24-bit entry, not the later one of the same depth, nor the larger 32-bit one.
    EXPECT_EQ(pixel_of(id, 0, 0)[0], 22);
    // Mask bit set on the second pixel of each row: transparent there.
    EXPECT_EQ(pixel_of(id, 0, 0)[3], 255);
    EXPECT_EQ(pixel_of(id, 1, 0)[3], 0);
    ASSERT_EQ(icon->mask.size(), 4u);
    EXPECT_EQ(icon->mask[0], 0);
    EXPECT_EQ(icon->mask[1], 1);
}

TEST_F(ImageTest, IconWithAlphaKeepsItsAlphaAndPngIconsDecode) {
    const auto file = icon_file({{2, 32, icon_image(32, 99, 77, 0)}});
    const ObjectNumber id = image_catch(ANY_NUMBER, file.data(), file.size());
    ASSERT_NE(id, 0);
    EXPECT_EQ(pixel_of(id, 1, 1), (std::vector<int>{99, 0, 0, 77}));

    const auto png = encode_png(rgba_picture());
    const auto png_icon = icon_file({{3, 32, png}});
    const ObjectNumber id2 = image_catch(ANY_NUMBER, png_icon.data(), png_icon.size());
    ASSERT_NE(id2, 0);
    EXPECT_EQ(image_handle(id2)->type, IMAGE_TYPE_ICON);
    EXPECT_EQ(pixel_of(id2, 1, 1), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(image_handle(id2)->mask[4], 1);
    EXPECT_EQ(pixel_of(id2, 0, 0), (std::vector<int>{0, 0, 255, 255}));
}

TEST_F(ImageTest, IconEntryPointingOutsideTheFileIsRefused) {
    auto file = icon_file({{2, 32, icon_image(32, 1, 255, 0)}});
    put32(file, 6 + 12, 100000);
    EXPECT_EQ(image_catch(ANY_NUMBER, file.data(), file.size()), 0);
}

// Hostile data ----------------------------------------------------------------------------

// Exit codes of the children below.
constexpr int REFUSED = 10;
constexpr int CAUGHT = 11;
constexpr int PROPERTY_BROKEN = 12;
constexpr int THREW = 13;

// Runs body(data, size) in a child process on a copy of the bytes that ends right where an
// unreadable page begins, so that a read past the end crashes for real, and only the child.
// Gives the child's exit code, or 128 + the signal that ended it.
template <typename Body>
int run_at_page_end(const std::vector<std::uint8_t>& bytes, Body body) {
    const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    const std::size_t readable = (bytes.size() + page - 1) / page * page + page;
    void* map = mmap(nullptr, readable + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED) return -1;
    auto* guard = static_cast<std::uint8_t*>(map) + readable;
    mprotect(guard, page, PROT_NONE);
    std::uint8_t* data = guard - bytes.size();
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        // Nothing may leave the child but its exit: an exception would run the rest of the suite.
        int code = THREW;
        try {
            code = body(data, bytes.size());
        } catch (...) {}
        _exit(code);
    }
    int status = 0;
    waitpid(child, &status, 0);
    munmap(map, readable + page);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int catch_result(const std::uint8_t* data, std::size_t size) {
    return image_catch(ANY_NUMBER, data, size) ? CAUGHT : REFUSED;
}

// A 1 x 1 16-bit bitmap info header of header_size bytes whose pixels are given by bit fields.
std::vector<std::uint8_t> bit_field_header(std::uint32_t header_size, int rows) {
    std::vector<std::uint8_t> v(header_size, 0);
    put32(v, 0, header_size);
    put32(v, 4, 1);
    put32(v, 8, std::uint32_t(rows));
    put16(v, 12, 1);
    put16(v, 14, 16);
    put32(v, 16, 3);  // BI_BITFIELDS
    return v;
}

TEST_F(ImageTest, BitFieldHeadersNeverReadPastTheData) {
    // Headers of 41 to 51 bytes are too short to hold their masks, which would then be read
    // from past the end of data that ends with the header.
    for (std::uint32_t size = 41; size <= 51; ++size) {
        std::vector<std::uint8_t> file(14, 0);
        file[0] = 'B';
        file[1] = 'M';
        const auto header = bit_field_header(size, 1);
        file.insert(file.end(), header.begin(), header.end());
        put32(file, 10, std::uint32_t(file.size()));
        EXPECT_EQ(run_at_page_end(file, catch_result), REFUSED) << "bitmap file, header of " << size;
        const auto icon = icon_file({{1, 16, bit_field_header(size, 2)}});
        EXPECT_EQ(run_at_page_end(icon, catch_result), REFUSED) << "icon, header of " << size;
    }
    // A 40-byte header followed by its three masks (5-6-5) and one pixel reads to the last byte.
    auto header = bit_field_header(40, 1);
    for (std::uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) {
        header.resize(header.size() + 4);
        put32(header, header.size() - 4, mask);
    }
    const auto file = bitmap_file(header, {0x00, 0xF8, 0, 0});  // pure red
    EXPECT_EQ(run_at_page_end(file,
                              [](const std::uint8_t* data, std::size_t size) {
                                  const ObjectNumber id = image_catch(ANY_NUMBER, data, size);
                                  return id && pixel_of(id, 0, 0) == std::vector<int>{0, 0, 255} ? CAUGHT : REFUSED;
                              }),
              CAUGHT);
}

void put_chunk(std::vector<std::uint8_t>& png, const char* type, const std::vector<std::uint8_t>& body) {
    const std::size_t at = png.size();
    png.resize(at + 8);
    for (int i = 0; i < 4; ++i) png[at + std::size_t(i)] = std::uint8_t(body.size() >> (24 - 8 * i));
    std::memcpy(&png[at + 4], type, 4);
    png.insert(png.end(), body.begin(), body.end());
    const uLong crc = crc32(0, &png[at + 4], uInt(4 + body.size()));
    for (int i = 0; i < 4; ++i) png.push_back(std::uint8_t(crc >> (24 - 8 * i)));
}

// A PNG of a few dozen bytes that declares width x height RGBA pixels: its header reads, and
// its one row of pixel data is far too little.
std::vector<std::uint8_t> png_declaring(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<std::uint8_t> header(13, 0);
    for (int i = 0; i < 4; ++i) {
        header[std::size_t(i)] = std::uint8_t(width >> (24 - 8 * i));
        header[std::size_t(4 + i)] = std::uint8_t(height >> (24 - 8 * i));
    }
    header[8] = 8;
    header[9] = PNG_COLOR_TYPE_RGBA;
    put_chunk(png, "IHDR", header);
    std::vector<std::uint8_t> row(64, 0), packed(128);
    uLongf packed_size = packed.size();
    compress(packed.data(), &packed_size, row.data(), row.size());
    packed.resize(packed_size);
    put_chunk(png, "IDAT", packed);
    put_chunk(png, "IEND", {});
    return png;
}

TEST_F(ImageTest, PngSizesAreLimitedAndMemoryRunningOutIsARefusal) {
    auto checks = [](const std::vector<std::uint8_t>& png) {
        ImageDecodeContext context{};
        context.data = png.data();
        context.size = png.size();
        context.source_kind = IMAGE_SOURCE_MEMORY;
        const int accepted = png_decoder()->check(&context);
        if (accepted) png_decoder()->close(&context);
        return accepted;
    };
    // The decoder refuses more than 2^26 pixels from the header alone, before any allocation.
    EXPECT_EQ(checks(png_declaring(32767, 32767)), 0);
    EXPECT_EQ(checks(png_declaring(8193, 8192)), 0);
    EXPECT_EQ(checks(png_declaring(8192, 8192)), 1);
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than a limit would leave";
#else
    // With little address space left, the 256 MB that 8192 x 8192 pixels need cannot be had:
    // image_catch answers 0 instead of letting std::bad_alloc end the program.
    const auto within_limit = png_declaring(8192, 8192);
    const auto huge = png_declaring(32767, 32767);
    EXPECT_EQ(run_at_page_end(within_limit,
                              [&huge](const std::uint8_t* data, std::size_t size) {
                                  long pages = 0;
                                  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
                                      if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
                                      std::fclose(statm);
                                  }
                                  const rlim_t limit =
                                      rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(64) << 20);
                                  const rlimit address_space = {limit, limit};
                                  if (pages <= 0 || setrlimit(RLIMIT_AS, &address_space) != 0) return PROPERTY_BROKEN;
                                  const bool refused = image_catch(ANY_NUMBER, data, size) == 0 &&
                                                       image_catch(5, huge.data(), huge.size()) == 0;
                                  return refused ? REFUSED : CAUGHT;
                              }),
              REFUSED);
#endif
}

TEST_F(ImageTest, EverySavedFuzzInputEndsWithinItsBytesAndKeepsTheProperty) {
    const std::filesystem::path corpus = std::filesystem::path(QEM_SOURCE_DIR) / "fuzz/corpus/images";
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        EXPECT_EQ(run_at_page_end(bytes,
                                  [](const std::uint8_t* data, std::size_t size) {
                                      const std::string problem = image_fuzz::check(data, size);
                                      if (!problem.empty()) std::fprintf(stderr, "%s\n", problem.c_str());
                                      return problem.empty() ? 0 : PROPERTY_BROKEN;
                                  }),
                  0)
            << entry.path().filename();
        ++replayed;
    }
    EXPECT_GE(replayed, 94);
}

// Pixel formulas -------------------------------------------------------------------------

TEST(ImagePixels, GreyLevelsLoseContrastAtBothEnds) {
    EXPECT_EQ(image_grey_level(0, 0, 0), 20);
    EXPECT_EQ(image_grey_level(255, 255, 255), 236);
    EXPECT_EQ(image_grey_level(128, 128, 128), 128);
    // Ends of the unchanged middle band.
    EXPECT_EQ(image_grey_level(64, 64, 64), 64);
    EXPECT_EQ(image_grey_level(192, 192, 192), 192);
    // Just outside it: 63 -> 64 + (441 - 448) / 10 = 64 (truncated toward zero), 193 -> 192 + 7 / 10.
    EXPECT_EQ(image_grey_level(63, 63, 63), 64);
    EXPECT_EQ(image_grey_level(62, 62, 62), 63);
    EXPECT_EQ(image_grey_level(193, 193, 193), 192);
    EXPECT_EQ(image_grey_level(200, 200, 200), 197);
    // Weights blue 1, green 6, red 3: 10, 60 and 30 before the low end is lifted.
    EXPECT_EQ(image_grey_level(100, 0, 0), 27);
    EXPECT_EQ(image_grey_level(0, 100, 0), 62);
    EXPECT_EQ(image_grey_level(0, 0, 100), 41);
}

TEST(ImagePixels, GreyedPixelsArePremultipliedByAlpha) {
    std::uint8_t opaque_white[4] = {255, 255, 255, 255};
    image_grey_pixel(opaque_white);
    EXPECT_EQ(opaque_white[0], 236);
    EXPECT_EQ(opaque_white[1], 236);
    EXPECT_EQ(opaque_white[2], 236);
    EXPECT_EQ(opaque_white[3], 255);
    std::uint8_t half_black[4] = {0, 0, 0, 128};
    image_grey_pixel(half_black);
    EXPECT_EQ(half_black[0], 10);  // trunc(128 / 255 * 20)
    EXPECT_EQ(half_black[3], 128);
    std::uint8_t clear[4] = {255, 255, 255, 0};
    image_grey_pixel(clear);
    EXPECT_EQ(clear[2], 0);
}

TEST(ImagePixels, PremultiplyLeavesOpaquePixelsAlone) {
    std::uint8_t opaque[4] = {200, 100, 50, 255};
    image_premultiply_pixel(opaque);
    EXPECT_EQ(opaque[0], 200);
    EXPECT_EQ(opaque[2], 50);
    std::uint8_t half[4] = {200, 100, 50, 128};
    image_premultiply_pixel(half);
    EXPECT_EQ(half[0], 100);
    EXPECT_EQ(half[1], 50);
    EXPECT_EQ(half[2], 25);
    EXPECT_EQ(half[3], 128);
    std::uint8_t nearly[4] = {255, 255, 255, 254};
    image_premultiply_pixel(nearly);
    EXPECT_EQ(nearly[0], 253);  // (255 * 254) >> 8
}

TEST(ImagePixels, MenuCopiesAreNew32BitImages) {
    std::unique_ptr<NativeImage> image(image_bitmap_create(2, 1, 32));
    std::uint8_t* p = image->pixel(0, 0);
    p[0] = 255;
    p[1] = 255;
    p[2] = 255;
    p[3] = 128;
    std::unique_ptr<NativeImage> normal(image_menu_copy(image.get(), false));
    std::unique_ptr<NativeImage> greyed(image_menu_copy(image.get(), true));
    ASSERT_TRUE(normal && greyed);
    EXPECT_EQ(normal->depth, 32);
    EXPECT_EQ(normal->pixel(0, 0)[0], 127);
    EXPECT_EQ(greyed->pixel(0, 0)[0], 118);  // 236 * 128 / 255
    EXPECT_EQ(image->pixel(0, 0)[0], 255);   // the source is untouched
    // A 24-bit source reads with alpha 0, as GetDIBits gives it, and so vanishes.
    std::unique_ptr<NativeImage> rgb(image_bitmap_create(1, 1, 24));
    rgb->pixel(0, 0)[1] = 90;
    std::unique_ptr<NativeImage> copy(image_menu_copy(rgb.get(), false));
    EXPECT_EQ(copy->pixel(0, 0)[1], 0);
}

TEST(ImagePixels, AlphaCapableOnlyFor32BitBitmaps) {
    std::unique_ptr<NativeImage> dib32(image_bitmap_create(1, 1, 32));
    std::unique_ptr<NativeImage> dib24(image_bitmap_create(1, 1, 24));
    EXPECT_TRUE(image_is_alpha_capable(dib32.get()));
    EXPECT_FALSE(image_is_alpha_capable(dib24.get()));
    EXPECT_FALSE(image_is_alpha_capable(nullptr));
    // A 32-bit bitmap that is not a DIB section counts only with some alpha in it.
    dib32->dib_section = false;
    EXPECT_FALSE(image_is_alpha_capable(dib32.get()));
    dib32->pixel(0, 0)[3] = 1;
    EXPECT_TRUE(image_is_alpha_capable(dib32.get()));
    image_alpha_blend_available = false;
    EXPECT_FALSE(image_is_alpha_capable(dib32.get()));
    image_alpha_blend_available = true;
}

}  // namespace
