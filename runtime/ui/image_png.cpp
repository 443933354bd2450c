/** @file image_png.cpp
 * The PNG decoder of the image decoder table, over libpng 1.6: PNG data in memory into
 * 24-bit BGR or 32-bit BGRA rows with straight alpha. */
#include "runtime/ui/image.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>

namespace {

// What the decoder keeps in the context's private area.
struct PngState {
    png_structp png;
    png_infop info;
    const std::uint8_t* cursor;
    int colour_type;
    int bit_depth;
};
static_assert(sizeof(PngState) <= sizeof(ImageDecodeContext::private_area));

PngState* state_of(ImageDecodeContext* context) { return reinterpret_cast<PngState*>(context->private_area); }

void read_from_memory(png_structp png, png_bytep out, png_size_t length) {
    auto* context = static_cast<ImageDecodeContext*>(png_get_io_ptr(png));
    PngState* state = state_of(context);
    const std::size_t used = std::size_t(state->cursor - context->data);
    // Never read past the size we were given, truncated or lying data included.
    if (length > context->size - used) png_error(png, "read past the end of the data");
    std::memcpy(out, state->cursor, length);
    state->cursor += length;
}

// Errors come back through longjmp; libpng's default handler prints the message, which a
// caller of image_catch has no use for.
void quiet_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void quiet_warning(png_structp, png_const_charp) {}

void destroy(PngState* state) {
    if (state->png) png_destroy_read_struct(&state->png, state->info ? &state->info : nullptr, nullptr);
    state->png = nullptr;
    state->info = nullptr;
}

// Whether the rows come out with an alpha byte once expanded: the alpha colour types, and a
// transparency chunk where an expansion applies it (palette images always, grey below 8 bits).
bool output_has_alpha(png_structp png, png_infop info, int colour_type, int bit_depth) {
    if (colour_type & PNG_COLOR_MASK_ALPHA) return true;
    if (!png_get_valid(png, info, PNG_INFO_tRNS)) return false;
    return colour_type == PNG_COLOR_TYPE_PALETTE || (colour_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8);
}

int png_check(ImageDecodeContext* context) {
    if (context->size < 8 || png_sig_cmp(context->data, 0, 8) != 0) return 0;
    PngState* state = state_of(context);
    std::memset(state, 0, sizeof *state);
    state->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quiet_error, quiet_warning);
    if (!state->png) return 0;
    state->info = png_create_info_struct(state->png);
    if (!state->info) {
        destroy(state);
        return 0;
    }
    if (setjmp(png_jmpbuf(state->png))) {
        destroy(state);
        return 0;
    }
    state->cursor = context->data;
    png_set_read_fn(state->png, context, read_from_memory);
    png_read_info(state->png, state->info);
    png_uint_32 width = 0, height = 0;
    int bit_depth = 0, colour_type = 0;
    png_get_IHDR(state->png, state->info, &width, &height, &bit_depth, &colour_type, nullptr, nullptr, nullptr);
    if (width == 0 || height == 0 || width > 0x7FFF || height > 0x7FFF ||
        std::uint64_t(width) * height > std::uint64_t(IMAGE_MAX_PIXELS)) {
        destroy(state);
        return 0;
    }
    state->colour_type = colour_type;
    state->bit_depth = bit_depth;
    switch (colour_type) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        context->source_depth = bit_depth;
        break;
    case PNG_COLOR_TYPE_RGB:
        context->source_depth = 24;
        break;
    default:
        context->source_depth = 32;
        break;
    }
    context->width = int(width);
    context->height = int(height);
    // An RGB image keeps 24 bits even with a transparency chunk: no expansion is asked for it.
    context->depth =
        output_has_alpha(state->png, state->info, colour_type, bit_depth) && colour_type != PNG_COLOR_TYPE_RGB ? 32
                                                                                                               : 24;
    return 1;
}

int png_decode(ImageDecodeContext* context, std::uint8_t* buffer, int pitch, int flags) {
    PngState* state = state_of(context);
    if (!state->png) return 0;
    // Rows are read one at a time straight into the buffer; the array of row addresses is
    // only for the passes and lives outside the setjmp frame.
    if (setjmp(png_jmpbuf(state->png))) return 0;
    png_structp png = state->png;
    // libpng 1.6 takes every transformation before png_read_update_info, so they are all set here
    // rather than partly in the check.
    if (state->colour_type == PNG_COLOR_TYPE_GRAY || state->colour_type == PNG_COLOR_TYPE_PALETTE ||
        state->colour_type == PNG_COLOR_TYPE_GRAY_ALPHA) {
        if (state->bit_depth < 8) png_set_expand(png);
        if (state->colour_type == PNG_COLOR_TYPE_PALETTE)
            png_set_palette_to_rgb(png);
        else
            png_set_gray_to_rgb(png);
    }
    if (state->bit_depth == 16) png_set_strip_16(png);
    png_set_bgr(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, state->info);
    // The rows must be exactly what the check announced, or they would overrun the buffer.
    const int channels = png_get_channels(png, state->info);
    if (png_get_bit_depth(png, state->info) != 8 || channels * 8 != context->depth ||
        png_get_rowbytes(png, state->info) != std::size_t(context->width) * std::size_t(channels))
        return 0;
    const bool bottom_up = (flags & IMAGE_DECODE_BOTTOM_UP) != 0;
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < context->height; ++y) {
            std::uint8_t* row = buffer + std::size_t(bottom_up ? context->height - 1 - y : y) * std::size_t(pitch);
            png_bytep rows[1] = {row};
            png_read_rows(png, rows, nullptr, 1);
        }
    }
    return 1;
}

void png_close(ImageDecodeContext* context) { destroy(state_of(context)); }

const ImageDecoder png_decoder_operations = {png_check, png_decode, png_close};

}  // namespace

const ImageDecoder* png_decoder() { return &png_decoder_operations; }

int png_decoder_use() {
    if (image_decoder_is_registered(&png_decoder_operations)) return 1;
    return image_decoder_register(&png_decoder_operations);
}
