/** @file main.cpp
 * Main of the application's tests: a QApplication first (on the offscreen platform unless one is
 * chosen), as the widgets need one. Each end-to-end test starts and ends the runtime itself.
 * The offscreen screen is made large enough for the window's default size (Qt's own is 800 x 800),
 * and settings go to a folder of the run's own, never to the user's. */
#include <QApplication>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <unistd.h>

int main(int argc, char** argv) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    char folder[] = "/tmp/qem-app-tests-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    const std::string screens = std::string(folder) + "/screens.json";
    std::ofstream(screens) << R"({"screens": [{"name": "Test", "x": 0, "y": 0, "width": 1920, "height": 1080,)"
                           << R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
    std::string platform_option = "offscreen:configfile=" + screens;
    std::vector<char*> arguments(argv, argv + argc);
    if (!platform || std::strcmp(platform, "offscreen") == 0) {
        arguments.push_back(const_cast<char*>("-platform"));
        arguments.push_back(platform_option.data());
    }
    setenv("XDG_CONFIG_HOME", (std::string(folder) + "/config").c_str(), 1);
    int count = int(arguments.size());
    arguments.push_back(nullptr);
    ::testing::InitGoogleTest(&count, arguments.data());
    QApplication application(count, arguments.data());
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return result;
}
