/** @file image_formats.cpp
 * Windows bitmap files and icon files into our bitmaps, doing what SetDIBits and
 * CreateIconFromResourceEx do for the formats those files hold. */
#include "runtime/ui/image.h"

#include <cstring>
#include <memory>

namespace {

std::uint32_t read16(const std::uint8_t* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }
std::uint32_t read32(const std::uint8_t* p) { return read16(p) | read16(p + 2) << 16; }
std::int32_t read_signed32(const std::uint8_t* p) { return std::int32_t(read32(p)); }

constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_BITFIELDS = 3;

// A channel from a bit field mask, scaled to 8 bits.
std::uint8_t field_value(std::uint32_t pixel, std::uint32_t mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    const std::uint32_t max = mask >> shift;
    const std::uint32_t value = (pixel & mask) >> shift;
    return std::uint8_t((value * 255 + max / 2) / max);
}

// The pixels of a device-independent bitmap: its info header, colour table and rows.
struct Dib {
    int width = 0;
    int height = 0;  // rows, always positive
    bool top_down = false;
    int bit_count = 0;
    std::uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha for bit fields
    bool bit_fields = false;
    const std::uint8_t* palette = nullptr;  // RGBQUAD entries
    std::uint32_t palette_count = 0;
    const std::uint8_t* rows = nullptr;
    int row_pitch = 0;
};

// Reads an info header at `header`; `rows_height` overrides the header's height (icons store
// twice the height: the colour rows, then the mask). Fails on what we cannot convert.
bool read_dib_header(const std::uint8_t* header, std::size_t available, Dib& dib, bool icon) {
    if (available < 40) return false;
    const std::uint32_t header_size = read32(header);
    if (header_size < 40 || header_size > available) return false;
    const std::int32_t width = read_signed32(header + 4);
    std::int32_t height = read_signed32(header + 8);
    const std::uint32_t bit_count = read16(header + 14);
    const std::uint32_t compression = read32(header + 16);
    std::uint32_t colours_used = read32(header + 32);
    if (icon) height /= 2;
    if (width <= 0 || height == 0 || width > 0x7FFF || height > 0x7FFF || height < -0x7FFF) return false;
    dib.width = width;
    dib.top_down = height < 0;
    dib.height = height < 0 ? -height : height;
    dib.bit_count = int(bit_count);
    std::size_t table_offset = header_size;
    switch (bit_count) {
    case 1:
    case 4:
    case 8:
        if (compression != BI_RGB) return false;  // RLE data is not converted
        if (colours_used == 0 || colours_used > (1u << bit_count)) colours_used = 1u << bit_count;
        dib.palette_count = colours_used;
        break;
    case 16:
    case 32:
        if (compression == BI_BITFIELDS) {
            // The masks follow a plain 40-byte header; headers of 52 bytes and more hold them
            // inside. A size in between would have them run past its end, into whatever follows.
            const std::uint8_t* masks = header + 40;
            if (header_size == 40) {
                if (available < 52) return false;
                table_offset = 52;
            } else if (header_size < 52) {
                return false;
            }
            dib.masks[0] = read32(masks);
            dib.masks[1] = read32(masks + 4);
            dib.masks[2] = read32(masks + 8);
            dib.masks[3] = header_size >= 56 ? read32(masks + 12) : 0;
            dib.bit_fields = true;
        } else if (compression != BI_RGB) {
            return false;
        } else if (bit_count == 16) {
            dib.masks[0] = 0x7C00;
            dib.masks[1] = 0x03E0;
            dib.masks[2] = 0x001F;
            dib.bit_fields = true;
        }
        break;
    case 24:
        if (compression != BI_RGB) return false;
        break;
    default:
        return false;
    }
    if (dib.palette_count) {
        if (table_offset + std::size_t(dib.palette_count) * 4 > available) return false;
        dib.palette = header + table_offset;
    }
    dib.row_pitch = image_row_pitch(dib.width, dib.bit_count);
    return true;
}

// Converts the rows into `out` (24 or 32 bits, bottom-up).
void convert_rows(const Dib& dib, NativeImage& out) {
    const int out_bytes = out.depth / 8;
    for (int y = 0; y < dib.height; ++y) {
        // Source row of picture row y.
        const std::uint8_t* row =
            dib.rows + std::size_t(dib.top_down ? y : dib.height - 1 - y) * std::size_t(dib.row_pitch);
        std::uint8_t* target = out.pixel(0, y);
        for (int x = 0; x < dib.width; ++x, target += out_bytes) {
            std::uint8_t b = 0, g = 0, r = 0, a = 0;
            switch (dib.bit_count) {
            case 1:
            case 4:
            case 8: {
                const int bit = x * dib.bit_count;
                const int shift = 8 - dib.bit_count - (bit % 8);
                const std::uint32_t index = (row[bit / 8] >> shift) & ((1u << dib.bit_count) - 1);
                if (index < dib.palette_count) {
                    const std::uint8_t* entry = dib.palette + index * 4;
                    b = entry[0];
                    g = entry[1];
                    r = entry[2];
                }
                break;
            }
            case 16: {
                const std::uint32_t p = read16(row + x * 2);
                r = field_value(p, dib.masks[0]);
                g = field_value(p, dib.masks[1]);
                b = field_value(p, dib.masks[2]);
                break;
            }
            case 24:
                b = row[x * 3];
                g = row[x * 3 + 1];
                r = row[x * 3 + 2];
                break;
            case 32:
                if (dib.bit_fields) {
                    const std::uint32_t p = read32(row + x * 4);
                    r = field_value(p, dib.masks[0]);
                    g = field_value(p, dib.masks[1]);
                    b = field_value(p, dib.masks[2]);
                    a = dib.masks[3] ? field_value(p, dib.masks[3]) : 0;
                } else {
                    b = row[x * 4];
                    g = row[x * 4 + 1];
                    r = row[x * 4 + 2];
                    a = row[x * 4 + 3];
                }
                break;
            }
            target[0] = b;
            target[1] = g;
            target[2] = r;
            if (out_bytes == 4) target[3] = a;
        }
    }
}

bool any_alpha(const NativeImage& image) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (image.pixel(x, y)[3]) return true;
    return false;
}

void make_opaque(NativeImage& image) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) image.pixel(x, y)[3] = 255;
}

}  // namespace

NativeImage* image_from_bitmap_file(const std::uint8_t* data, std::size_t size, int* source_depth) {
    if (size < 14 + 40 || data[0] != 0x42 || data[1] != 0x4D) return nullptr;
    Dib dib;
    if (!read_dib_header(data + 14, size - 14, dib, false)) return nullptr;
    const std::uint32_t offset = read32(data + 10);
    const std::size_t needed = std::size_t(dib.row_pitch) * std::size_t(dib.height);
    if (offset > size || needed > size - offset) return nullptr;
    dib.rows = data + offset;
    std::unique_ptr<NativeImage> image(
        image_bitmap_create(dib.width, dib.height, dib.bit_count > 24 ? dib.bit_count : 24));
    if (!image) return nullptr;
    convert_rows(dib, *image);
    // A 32-bit file written without alpha would otherwise draw as fully transparent.
    if (image->depth == 32 && !any_alpha(*image)) make_opaque(*image);
    if (source_depth) *source_depth = dib.bit_count;
    return image.release();
}

NativeImage* image_from_icon_file(const std::uint8_t* data, std::size_t size, int* source_depth) {
    if (size < 6 || read16(data) != 0 || read16(data + 2) != 1) return nullptr;
    const std::uint32_t count = read16(data + 4);
    if (count == 0 || 6 + std::size_t(count) * 16 > size) return nullptr;
    // Among the entries of the first entry's size, the one with the most colours (the first on ties).
    const std::uint8_t* first = data + 6;
    const std::uint8_t* chosen = first;
    for (std::uint32_t i = 1; i < count; ++i) {
        const std::uint8_t* entry = data + 6 + i * 16;
        if (entry[0] == first[0] && entry[1] == first[1] && read16(entry + 6) > read16(chosen + 6)) chosen = entry;
    }
    const std::uint32_t length = read32(chosen + 8);
    const std::uint32_t offset = read32(chosen + 12);
    if (offset > size || length > size - offset || length < 8) return nullptr;
    const std::uint8_t* entry_data = data + offset;

    std::unique_ptr<NativeImage> icon;
    static const std::uint8_t png_signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (std::memcmp(entry_data, png_signature, 8) == 0) {
        // Icons since Windows Vista may hold a PNG image; the PNG decoder reads it.
        ImageDecodeContext context{};
        context.data = entry_data;
        context.size = length;
        context.source_kind = IMAGE_SOURCE_MEMORY;
        const ImageDecoder* decoder = png_decoder();
        if (!decoder->check(&context)) return nullptr;
        std::unique_ptr<NativeImage> decoded(image_bitmap_create(context.width, context.height, context.depth));
        const bool ok =
            decoded && decoder->decode(&context, decoded->bits.data(), decoded->pitch, IMAGE_DECODE_BOTTOM_UP);
        decoder->close(&context);
        if (!ok) return nullptr;
        icon.reset(image_bitmap_create(decoded->width, decoded->height, 32));
        if (!icon) return nullptr;
        icon->mask.assign(std::size_t(icon->width) * std::size_t(icon->height), 0);
        for (int y = 0; y < icon->height; ++y)
            for (int x = 0; x < icon->width; ++x) {
                const std::uint8_t* s = decoded->pixel(x, y);
                std::uint8_t* d = icon->pixel(x, y);
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
                d[3] = decoded->depth == 32 ? s[3] : 255;
                icon->mask[std::size_t(y) * icon->width + x] = d[3] == 0;
            }
    } else {
        Dib dib;
        if (!read_dib_header(entry_data, length, dib, true)) return nullptr;
        const std::size_t colour_offset =
            read32(entry_data) + std::size_t(dib.palette_count) * 4 +
            (dib.bit_fields && read32(entry_data) == 40 && read32(entry_data + 16) == BI_BITFIELDS ? 12 : 0);
        const std::size_t colour_bytes = std::size_t(dib.row_pitch) * std::size_t(dib.height);
        const int mask_pitch = image_row_pitch(dib.width, 1);
        const std::size_t mask_bytes = std::size_t(mask_pitch) * std::size_t(dib.height);
        if (colour_offset > length || colour_bytes > length - colour_offset) return nullptr;
        dib.rows = entry_data + colour_offset;
        // Some 32-bit icons leave the mask out; their alpha then says everything.
        const bool has_mask = mask_bytes <= length - colour_offset - colour_bytes;
        if (!has_mask && dib.bit_count != 32) return nullptr;
        icon.reset(image_bitmap_create(dib.width, dib.height, 32));
        if (!icon) return nullptr;
        convert_rows(dib, *icon);
        const std::uint8_t* mask_rows = entry_data + colour_offset + colour_bytes;
        const bool alpha_given = dib.bit_count == 32 && any_alpha(*icon);
        icon->mask.assign(std::size_t(icon->width) * std::size_t(icon->height), 0);
        for (int y = 0; y < icon->height; ++y) {
            const std::uint8_t* mask_row =
                has_mask ? mask_rows + std::size_t(dib.height - 1 - y) * mask_pitch : nullptr;
            for (int x = 0; x < icon->width; ++x) {
                const bool transparent = mask_row ? (mask_row[x / 8] >> (7 - x % 8)) & 1 : false;
                std::uint8_t* p = icon->pixel(x, y);
                if (!alpha_given) p[3] = transparent ? 0 : 255;
                icon->mask[std::size_t(y) * icon->width + x] = alpha_given ? p[3] == 0 : transparent;
            }
        }
    }
    icon->type = IMAGE_TYPE_ICON;
    icon->dib_section = false;
    if (source_depth) *source_depth = 32;  // the icon's colour bitmap, as the system makes it
    return icon.release();
}
