// libFuzzer target: any bytes as an extension file must read without fault and round-trip.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "fuzz/extension_reader_property.h"
#include "runtime/core/memory.h"
#include "runtime/files/filesystem.h"
#include "runtime/files/files.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    runtime_core_start();
    files_init();
    // Every input is written to a scratch folder of its own, never beside the corpus; in memory
    // when possible, since every round trip syncs a saved file.
    static char in_memory[] = "/dev/shm/qem-fuzz-XXXXXX";
    static char on_disk[] = "/tmp/qem-fuzz-XXXXXX";
    char* folder = ::access("/dev/shm", W_OK) == 0 ? in_memory : on_disk;
    if (!::mkdtemp(folder) || ::chdir(folder) != 0 || !directory_create(u"Extensions")) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string problem = extension_fuzz::check_round_trip(std::string(reinterpret_cast<const char*>(data), size));
    if (!problem.empty()) {
        std::fprintf(stderr, "extension reader: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
