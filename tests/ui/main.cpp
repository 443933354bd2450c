// The toolkit's test suite: a QApplication on the offscreen platform (unless a platform is chosen),
// the runtime core and the toolkit started once for all tests.
#include <QApplication>

#include <cstdlib>

#include <gtest/gtest.h>

#include "runtime/core/memory.h"
#include "runtime/ui/toolkit.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    testing::InitGoogleTest(&argc, argv);
    runtime_core_start();
    QApplication application(argc, argv);
    toolkit_start();
    int result = RUN_ALL_TESTS();
    toolkit_end();
    runtime_core_end();
    return result;
}
