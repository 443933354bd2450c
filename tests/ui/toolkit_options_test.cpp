// Qt's options are taken out of the arguments, with their values, before the program reads its own.
#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/ui/toolkit.h"

namespace {

// The arguments (given as words) split into the program's and then, after " | ", the toolkit's.
std::string split(const std::string& words) {
    std::istringstream in(words);
    std::vector<std::string> arguments{std::istream_iterator<std::string>(in), {}};
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> toolkit_argv(arguments.size() + 1, reinterpret_cast<char*>(1));
    int toolkit_argc = -1;
    const int argc = toolkit_take_options(int(arguments.size()), argv.data(), toolkit_argv.data(), &toolkit_argc);
    EXPECT_EQ(argv[std::size_t(argc)], nullptr);
    EXPECT_EQ(toolkit_argv[std::size_t(toolkit_argc)], nullptr);
    std::string joined;
    for (int i = 0; i < argc; ++i) joined += (i ? " " : "") + std::string(argv[std::size_t(i)]);
    joined += " |";
    for (int i = 0; i < toolkit_argc; ++i) joined += " " + std::string(toolkit_argv[std::size_t(i)]);
    return joined;
}

TEST(ToolkitOptions, QtsOptionsAndTheirValuesGoToTheToolkitInOrder) {
    const std::pair<const char*, const char*> cases[] = {
        {"qem", "qem | qem"},
        {"qem a.qex", "qem a.qex | qem"},
        {"qem -platform offscreen -reverse a.qex -style fusion",
         "qem a.qex | qem -platform offscreen -reverse -style fusion"},
        {"qem --display :1 -qwindowgeometry 640x480 --version",
         "qem --version | qem --display :1 -qwindowgeometry 640x480"},
        // The joined form carries its value; a value never counts as a file of ours.
        {"qem -style=fusion -stylesheet a.qss b.qex", "qem b.qex | qem -style=fusion -stylesheet a.qss"},
        {"qem -nograb -widgetcount -session s1", "qem | qem -nograb -widgetcount -session s1"},
        // Ours and unknown ones stay for the program to judge; so does everything after "--".
        {"qem --frobnicate -x --help", "qem --frobnicate -x --help | qem"},
        {"qem -platform=offscreen -styles", "qem -platform=offscreen -styles | qem"},
        {"qem -- -reverse -style x", "qem -- -reverse -style x | qem"},
        // A value missing at the end takes nothing more.
        {"qem a.qex -platform", "qem a.qex | qem -platform"},
    };
    for (auto [in, expected] : cases) EXPECT_EQ(split(in), expected) << in;
}

TEST(ToolkitOptions, TheWindowSizeOfAGeometryOption) {
    // The options as the toolkit receives them; the size, or {0, 0} when none is given.
    const std::pair<std::vector<const char*>, std::pair<int, int>> cases[] = {
        {{"qem", "-qwindowgeometry", "700x600+10+10"}, {700, 600}},
        {{"qem", "--geometry", "=640X480"}, {640, 480}},
        {{"qem", "-reverse", "-geometry", "800x500", "-qwindowgeometry", "900x700-0+0"}, {900, 700}},
        {{"qem", "-qwindowgeometry", "+10+10"}, {0, 0}},
        {{"qem", "-qwindowgeometry", "700x"}, {0, 0}},
        {{"qem", "-qwindowgeometry", "0x600"}, {0, 0}},
        {{"qem", "-style", "700x600", "-qwindowgeometry"}, {0, 0}},
    };
    for (const auto& [options, size] : cases) {
        std::vector<char*> argv;
        for (const char* option : options) argv.push_back(const_cast<char*>(option));
        int width = 0, height = 0;
        EXPECT_EQ(toolkit_window_size(int(argv.size()), argv.data(), &width, &height), size.first ? 1 : 0);
        EXPECT_EQ(std::make_pair(width, height), size) << options.back();
    }
}

}  // namespace
