// The code editor suite's main: the runtime and the toolkit (with its QApplication) first.
#include <gtest/gtest.h>

#include <QApplication>

#include "runtime/core/memory.h"
#include "runtime/ui/toolkit.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    runtime_core_start();
    toolkit_start(&argc, argv);
    int result = RUN_ALL_TESTS();
    toolkit_end();
    runtime_core_end();
    return result;
}
