/** @file main.cpp
 * Main of the application's tests: a QApplication first (on the offscreen platform unless one is
 * chosen), as the widgets need one. Each end-to-end test starts and ends the runtime itself. */
#include <QApplication>

#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
