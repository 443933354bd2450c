/** @file image.cpp
 * The images registry, image_catch over the bitmap, icon and registered decoder formats, and
 * the decoder table. */
#include "runtime/ui/image.h"

#include "runtime/core/registry.h"
#include "runtime/ui/free_listeners.h"

#include <cstring>
#include <memory>

namespace {

ObjectRegistry* images = nullptr;
const ImageDecoder* decoders[IMAGE_DECODER_MAX];
int decoder_count = 0;
ImageDecodeContext decode_context;
FreeListeners<ImageHandle> free_listeners;

void free_callback(ObjectNumber number) { image_free(number); }

// The decoders in registration order; the first whose check accepts the data decodes it.
NativeImage* catch_with_decoders(const std::uint8_t* data, std::size_t size, int* source_depth) {
    ImageDecodeContext& context = decode_context;
    std::memset(&context, 0, sizeof context);
    context.data = data;
    context.size = size;
    context.source_kind = IMAGE_SOURCE_MEMORY;
    for (int i = 0; i < decoder_count; ++i) {
        std::memset(context.private_area, 0, sizeof context.private_area);
        if (decoders[i]->check(&context)) {
            context.decoder = decoders[i];
            break;
        }
    }
    if (!context.decoder) return nullptr;
    std::unique_ptr<NativeImage> image(image_bitmap_create(context.width, context.height, context.depth));
    if (!image) {
        context.decoder->close(&context);
        return nullptr;
    }
    const int ok = context.decoder->decode(&context, image->bits.data(), image->pitch, IMAGE_DECODE_BOTTOM_UP);
    context.decoder->close(&context);
    if (!ok) return nullptr;
    *source_depth = context.source_depth;
    return image.release();
}

// The image the data holds, or null; nothing thrown on the way (memory running out included)
// leaves here, since image_catch answers with a result code.
NativeImage* catch_any(const std::uint8_t* bytes, std::size_t size, int* source_depth) {
    try {
        if (size >= 2 && bytes[0] == 0x42 && bytes[1] == 0x4D) return image_from_bitmap_file(bytes, size, source_depth);
        if (size >= 4 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 1 && bytes[3] == 0)
            return image_from_icon_file(bytes, size, source_depth);
        return catch_with_decoders(bytes, size, source_depth);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

int image_decoder_register(const ImageDecoder* decoder) {
    if (!decoder || decoder_count >= IMAGE_DECODER_MAX) return 0;
    decoders[decoder_count++] = decoder;
    return 1;
}

bool image_decoder_is_registered(const ImageDecoder* decoder) {
    for (int i = 0; i < decoder_count; ++i)
        if (decoders[i] == decoder) return true;
    return false;
}

ObjectNumber image_catch(ObjectNumber number, const void* data, std::size_t size) {
    if (!images || !data) return 0;
    ObjectNumber id = 0;
    auto* record = static_cast<ImageRecord*>(registry_obtain(images, number, &id));
    if (!record) return 0;
    int source_depth = 0;
    NativeImage* image = catch_any(static_cast<const std::uint8_t*>(data), size, &source_depth);
    if (!image) {
        if (number == ANY_NUMBER) registry_release(images, id);
        return 0;
    }
    record->handle = image;
    record->width = std::uint16_t(image->width);
    record->height = std::uint16_t(image->height);
    record->depth = std::uint8_t(image->depth);
    record->source_depth = std::uint8_t(source_depth);
    return number == ANY_NUMBER ? id : reinterpret_cast<ObjectNumber>(image);
}

int image_catch_denser(ObjectNumber number, const void* data, std::size_t size) {
    ImageHandle image = image_handle(number);
    if (!image || !data || image->width <= 0 || image->height <= 0) return 0;
    int source_depth = 0;
    std::unique_ptr<NativeImage> picture(catch_any(static_cast<const std::uint8_t*>(data), size, &source_depth));
    if (!picture) return 0;
    const int scale = picture->width / image->width;
    if (scale < 2 || picture->width != scale * image->width || picture->height != scale * image->height) return 0;
    try {
        auto& denser = image->denser;
        auto at = denser.begin();
        while (at != denser.end() && (*at)->width < picture->width) ++at;
        if (at != denser.end() && (*at)->width == picture->width)
            *at = std::move(picture);
        else
            denser.insert(at, std::move(picture));
    } catch (...) {
        return 0;  // memory ran out: the image keeps the pictures it had
    }
    return 1;
}

const NativeImage* image_picture_for(const NativeImage* image, double device_pixel_ratio, int* scale) {
    *scale = 1;
    if (!image || image->width <= 0 || device_pixel_ratio <= 1) return image;
    const NativeImage* chosen = image;
    for (const auto& picture : image->denser) {
        chosen = picture.get();
        if (picture->width >= device_pixel_ratio * image->width) break;
    }
    *scale = chosen->width / image->width;
    return chosen;
}

ImageHandle image_handle(ObjectNumber number) {
    if (!images) return nullptr;
    auto* record = static_cast<ImageRecord*>(registry_lookup(images, number));
    return record ? record->handle : nullptr;
}

const ImageRecord* image_record(ObjectNumber number) {
    if (!images) return nullptr;
    return static_cast<const ImageRecord*>(registry_lookup(images, number));
}

int image_free(ObjectNumber number) {
    if (!images || number == ANY_NUMBER) return 0;
    auto* record = static_cast<ImageRecord*>(registry_lookup(images, number));
    if (!record) return 0;
    free_listeners.tell(record->handle);
    delete record->handle;
    record->handle = nullptr;
    registry_release(images, number);
    return 1;
}

int image_listen_for_free(ImageFreeListener listener) { return free_listeners.add(listener); }

void image_start() {
    if (!images) images = registry_create(sizeof(ImageRecord), 16, free_callback);
    decoder_count = 0;
    std::memset(&decode_context, 0, sizeof decode_context);
    image_alpha_blend_available = true;
    png_decoder_use();
}

void image_end() {
    if (!images) return;
    registry_free_all(images);
    registry_destroy(images);
    images = nullptr;
    decoder_count = 0;
}
