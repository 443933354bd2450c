/** @file resources.h
 * The files of resources/ compiled into the program (menu images, window icon). */
#pragma once

#include <cstddef>

struct EmbeddedResource {
    const char* name;  // file name without its extension
    const unsigned char* data;
    std::size_t size;
};

// Ends with an entry whose name is null.
extern const EmbeddedResource embedded_resources[];

// The resource of that name, or null.
inline const EmbeddedResource* embedded_resource(const char* name) {
    for (const EmbeddedResource* r = embedded_resources; r->name; ++r) {
        const char* a = r->name;
        const char* b = name;
        while (*a && *a == *b) {
            ++a;
            ++b;
        }
        if (*a == *b) return r;
    }
    return nullptr;
}
