// libFuzzer target: any bytes as a document must be styled by the JavaScript line styler
// without fault, every byte exactly once per run (see line_styler_property.h).
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "fuzz/line_styler_property.h"
#include "runtime/core/memory.h"
#include "runtime/ui/toolkit.h"
#include "runtime/ui/window.h"

namespace {
constexpr ObjectNumber kEditor = 1;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    runtime_core_start();
    toolkit_start(argc, *argv);
    if (!window_open(0, 0, 0, 800, 600, u"fuzz", 0) ||
        !code_editor_create(kEditor, 0, 0, 780, 580, nullptr, EDITOR_LINE_NUMBERS))
        std::abort();
    code_editor_configure_javascript(kEditor);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string problem = line_styler_fuzz::check(kEditor, data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "line styler: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
