// Replays the saved corpus of the line styler's fuzz target through the same property.
#include <filesystem>

#include "editor_support.h"
#include "fuzz/line_styler_property.h"

namespace {

class LineStylerCorpus : public EditorTest {};

TEST_F(LineStylerCorpus, EverySavedInputHoldsTheProperty) {
    create_editor(EDITOR_LINE_NUMBERS, true);
    const std::string folder = std::string(QEM_SOURCE_DIR) + "/fuzz/corpus/line_styler";
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string bytes = read_file(entry.path().string());
        SCOPED_TRACE(entry.path().filename().string());
        EXPECT_EQ(line_styler_fuzz::check(kEditor, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                  "");
        ++inputs;
    }
    EXPECT_GE(inputs, 10);
}

// The property itself must be able to fail: a styler that leaves a byte unstyled is caught.
int skips_last_byte(ObjectNumber gadget, const char* text, int length, int line, int first, int last) {
    return javascript_line_styler(gadget, text, length > 1 ? length - 1 : length, line, first, last);
}

TEST_F(LineStylerCorpus, ThePropertyCatchesAnUnstyledByte) {
    create_editor(EDITOR_LINE_NUMBERS, true);
    code_editor_set_line_styler(kEditor, skips_last_byte);
    const std::string bytes = "var a;\n";
    EXPECT_NE(line_styler_fuzz::check(kEditor, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "");
}

}  // namespace
