// Replays the fuzz target's saved corpus: every file reads, and what it gives round-trips.
#include "files/file_test_support.h"

#include "fuzz/extension_reader_property.h"
#include "runtime/files/filesystem.h"

using namespace file_test;

namespace {

class ExtensionCorpus : public ScratchFolder {};

}  // namespace

TEST_F(ExtensionCorpus, EverySavedInputReadsAndRoundTrips) {
    ASSERT_EQ(directory_create(u"Extensions"), 1);
    std::filesystem::path corpus = std::filesystem::path(QEM_SOURCE_DIR) / "fuzz/corpus/extension_reader";
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::string bytes = read_bytes(entry.path().string());
        EXPECT_EQ(extension_fuzz::check_round_trip(bytes), "") << entry.path().filename();
        ++replayed;
    }
    EXPECT_GE(replayed, 17);
}

TEST_F(ExtensionCorpus, TheCheckReportsAWriteThatFails) {
    ASSERT_EQ(directory_create(u"Extensions"), 1);
    // A target folder that cannot take the file makes the check report, so it can fail at all.
    std::filesystem::remove("Extensions");
    write_raw("Extensions", "");
    EXPECT_NE(extension_fuzz::check_round_trip("[EXTENSION]\r\nx\r\n"), "");
}
