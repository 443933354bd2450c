// libFuzzer target: any bytes given to image_catch (bitmap files, icon files, PNG data) must be
// refused or caught whole, without reading past them or asking for unbounded memory.
#include <cstdio>
#include <cstdlib>

#include "fuzz/image_catch_property.h"
#include "runtime/core/memory.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    runtime_core_start();
    image_start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string problem = image_fuzz::check(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "image_catch: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
