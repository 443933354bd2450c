/** @file image_catch_property.h
 * What image_catch must keep for any bytes at all, shared by the fuzz target and the test that
 * replays its saved corpus: it ends, and an image it takes is whole (a size within the limits,
 * a buffer of pitch x height, a mask for an icon), gives its menu copies, and frees. */
#pragma once

#include <memory>
#include <string>

#include "runtime/ui/image.h"

namespace image_fuzz {

inline std::string whole_image_problem(const NativeImage& image, const ImageRecord& record) {
    const std::size_t pixels = std::size_t(image.width) * std::size_t(image.height);
    if (image.width <= 0 || image.height <= 0 || std::int64_t(pixels) > IMAGE_MAX_PIXELS) return "size out of bounds";
    if (image.depth != 24 && image.depth != 32) return "depth is neither 24 nor 32";
    if (image.pitch != image_row_pitch(image.width, image.depth) ||
        image.bits.size() != std::size_t(image.pitch) * std::size_t(image.height))
        return "the buffer does not match the size";
    if (record.width != image.width || record.height != image.height || record.depth != image.depth)
        return "the record differs from the image";
    if (image.type == IMAGE_TYPE_ICON && image.mask.size() != pixels) return "the icon's mask does not match its size";
    if (image.type == IMAGE_TYPE_BITMAP) {
        for (bool greyed : {false, true}) {
            std::unique_ptr<NativeImage> copy(image_menu_copy(&image, greyed));
            if (!copy || copy->width != image.width || copy->height != image.height) return "no menu copy";
        }
    }
    return "";
}

// Empty when the property holds, else what went wrong. Needs image_start().
inline std::string check(const std::uint8_t* data, std::size_t size) {
    const ObjectNumber id = image_catch(ANY_NUMBER, data, size);
    if (!id) return "";
    const NativeImage* image = image_handle(id);
    const ImageRecord* record = image_record(id);
    const std::string problem = image && record ? whole_image_problem(*image, *record) : "a caught image has no record";
    if (image_free(id) != 1) return "the image does not free";
    return problem;
}

}  // namespace image_fuzz
