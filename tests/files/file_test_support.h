/** @file file_test_support.h
 * Shared fixture of the file tests: a started runtime and a fresh scratch folder as the
 * current directory, plus byte-level helpers to look at files behind the runtime's back. */
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "runtime/core/memory.h"
#include "runtime/core/strings.h"
#include "runtime/files/files.h"

namespace file_test {

inline std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_raw(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Names in the folder, sorted, so a test can show that nothing appeared or remained.
inline std::vector<std::string> listing(const std::string& folder = ".") {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The line that file_read_line placed at p0, taken out of the area.
inline std::u16string take_line(std::int32_t p0) {
    std::u16string line(temp_address(p0), static_cast<std::size_t>(temp_position() - p0) / 2);
    temp_reset(p0);
    return line;
}

// Lowers the temporary area's size limit for one scope, so that its edge is reached with
// kilobytes instead of gigabytes.
class AreaLimit {
public:
    explicit AreaLimit(std::int32_t bytes) { temp_set_limit(bytes); }
    ~AreaLimit() { temp_set_limit(0); }
    AreaLimit(const AreaLimit&) = delete;  // restores the limit once
    AreaLimit& operator=(const AreaLimit&) = delete;
};

class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override {
        runtime_core_start();
        files_init();
        // Memory-backed when there is such a place: saves sync to disk, and tests save often.
        std::string pattern = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm/qem-files-XXXXXX" : "/tmp/qem-files-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(folder_);
    }
    void TearDown() override {
        files_end();
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(folder_);
    }
    std::string folder_;
    std::filesystem::path previous_;
};

}  // namespace file_test
