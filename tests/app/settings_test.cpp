/** @file settings_test.cpp
 * The settings file: which lines are taken, what the file holds, a start that never fails on a
 * missing, damaged, unreadable or huge file, and the links people keep settings behind. */
#include "app/settings.h"

#include "files/file_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool operator==(const Settings& a, const Settings& b) { return settings_text(a) == settings_text(b); }

TEST(SettingsLine, KnownKeysWithValuesInRangeAreTakenAndNothingElse) {
    struct Case {
        const char16_t* line;
        bool taken;
    };
    // clang-format off
    const Case cases[] = {
        {u"width=1200", true},   {u"height=900", true},    {u"zoom=-3", true},       {u"maximized=1", true},
        {u"whole_word=1", true}, {u"width=100", false},    {u"width=99999", false},  {u"zoom=21", false},
        {u"zoom=-11", false},    {u"maximized=2", false},  {u"width= 1200", false},  {u"width=12x", false},
        {u"width=", false},      {u"=5", false},           {u"width", false},        {u"colour=1", false},
        {u"Width=1200", false},  {u"width=1200\r", false}, {u"match_case=-0", true}, {u"zoom=1234567", false},
        {u"highlight_occurrences=0", true}, {u"highlight_occurrences=2", false},
    };
    // clang-format on
    for (const Case& c : cases) {
        Settings settings;
        EXPECT_EQ(settings_read_line(&settings, c.line), c.taken) << "case " << (&c - cases);
        EXPECT_TRUE(c.taken || settings == Settings{}) << "case " << (&c - cases);
    }
}

class SettingsFile : public file_test::ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        old_ = std::getenv("XDG_CONFIG_HOME");
        setenv("XDG_CONFIG_HOME", (folder_ + "/config").c_str(), 1);
    }
    void TearDown() override {
        setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
        ScratchFolder::TearDown();
    }
    std::string old_;
};

TEST_F(SettingsFile, WhatIsSavedComesBackAndADamagedFileGivesTheDefaults) {
    EXPECT_EQ(settings_path(), folder_ + "/config/quorval-extension-maker/settings.conf");
    EXPECT_TRUE(settings_load() == Settings{});  // no file yet
    Settings changed{.width = 1280, .height = 700, .maximized = true, .zoom = -4, .regular_expression = true};
    changed.highlight_occurrences = false;
    ASSERT_TRUE(settings_save(changed));
    EXPECT_EQ(file_test::read_bytes(settings_path()),
              "width=1280\nheight=700\nmaximized=1\nzoom=-4\nmatch_case=0\nwhole_word=0\nregular_expression=1\n"
              "highlight_occurrences=0\n");
    EXPECT_TRUE(settings_load() == changed);

    // A damaged line costs only its own setting; junk, a folder in the file's place and an
    // unwritable folder cost nothing but the defaults.
    using namespace std::string_literals;
    file_test::write_raw(settings_path(), "zoom=4\nheight=\xff\xfe\nwidth=99999\n\0\0width=900\n"s);
    EXPECT_TRUE(settings_load() == (Settings{.width = 900, .zoom = 4}));
    std::filesystem::remove(settings_path());
    std::filesystem::create_directory(settings_path());
    EXPECT_TRUE(settings_load() == Settings{});
    EXPECT_FALSE(settings_save(changed));
}

namespace fs = std::filesystem;

// The largest resident size since the count was reset, in kilobytes.
long peak_resident_kb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

TEST_F(SettingsFile, TooLargeAFileOrLineGivesTheDefaultsAndIsNeverReadWhole) {
    fs::create_directories(folder_ + "/config/quorval-extension-maker");
    // Over 64 KB: no settings file, whatever its first line says.
    file_test::write_raw(settings_path(), "zoom=3\n" + std::string(65 * 1024, '\n'));
    EXPECT_TRUE(settings_load() == Settings{});
    file_test::write_raw(settings_path(), "zoom=3\n" + std::string(60 * 1024, '\n'));
    EXPECT_TRUE(settings_load() == Settings{.zoom = 3});
    // A first line of 300 MB.
    {
        std::ofstream out(settings_path(), std::ios::binary | std::ios::trunc);
        const std::string megabyte(1 << 20, 'x');
        for (int i = 0; i < 300; ++i) out << megabyte;
        out << "\nzoom=3\n";
    }
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from now
    const long before = peak_resident_kb();
    EXPECT_TRUE(settings_load() == Settings{});
    EXPECT_LT(peak_resident_kb() - before, 4096) << "kilobytes more at the peak";
}

// Settings kept elsewhere behind links (a dotfiles folder): the folder link is followed and the
// folder keeps its mode; a file link is written through only onto settings, blanks and comments.
TEST_F(SettingsFile, ALinkIsWrittenThroughOnlyOntoSettingsAndTheFolderKeepsItsMode) {
    fs::create_directories(folder_ + "/config");
    fs::create_directories(folder_ + "/dotfiles/qem");
    fs::create_directories(folder_ + "/notes");
    ASSERT_EQ(::chmod((folder_ + "/dotfiles/qem").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("../dotfiles/qem", (folder_ + "/config/quorval-extension-maker").c_str()), 0);
    const Settings changed{.zoom = 5};
    ASSERT_TRUE(settings_save(changed));
    EXPECT_EQ(file_test::read_bytes(folder_ + "/dotfiles/qem/settings.conf"), settings_text(changed));
    struct stat info {};
    ASSERT_EQ(::stat((folder_ + "/dotfiles/qem").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);
    EXPECT_TRUE(fs::is_symlink(folder_ + "/config/quorval-extension-maker"));

    struct Case {
        const char* held;  // null: the file the link names is missing
        bool written;
    };
    const Case cases[] = {
        {"Buy milk.\n", false},
        {"zoom=1\nBuy milk.\n", false},
        {"# mine\n\n  ; also mine\r\nwidth=1000\nzoom=99\n", true},  // a value out of range is still a setting
        {"", true},
        {nullptr, true},
    };
    const std::string link = folder_ + "/dotfiles/qem/settings.conf";
    const std::string named = folder_ + "/notes/named.txt";
    for (const Case& c : cases) {
        const std::string label = c.held ? c.held : "(missing)";
        fs::remove(link);
        fs::remove(named);
        ASSERT_EQ(::symlink("../../notes/named.txt", link.c_str()), 0);
        if (c.held) file_test::write_raw(named, c.held);
        EXPECT_EQ(settings_save(changed), c.written) << label;
        EXPECT_TRUE(fs::is_symlink(link)) << label;
        EXPECT_EQ(file_test::read_bytes(named), c.written ? settings_text(changed) : c.held) << label;
    }
    // Nor onto a file too large to be settings.
    file_test::write_raw(named, "zoom=1\n" + std::string(65 * 1024, '\n'));
    EXPECT_FALSE(settings_save(changed));
    EXPECT_EQ(fs::file_size(named), 7u + 65 * 1024);
}

}  // namespace
