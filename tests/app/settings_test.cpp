/** @file settings_test.cpp
 * The settings file: which lines are taken, what the file holds, and a start that never fails
 * on a missing, damaged or unreadable file. */
#include "app/settings.h"

#include "files/file_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

bool operator==(const Settings& a, const Settings& b) { return settings_text(a) == settings_text(b); }

TEST(SettingsLine, KnownKeysWithValuesInRangeAreTakenAndNothingElse) {
    struct Case {
        const char16_t* line;
        bool taken;
    };
    const Case cases[] = {
        {u"width=1200", true},
        {u"height=900", true},
        {u"zoom=-3", true},
        {u"maximized=1", true},
        {u"whole_word=1", true},
        {u"width=100", false},
        {u"width=99999", false},
        {u"zoom=21", false},
        {u"zoom=-11", false},
        {u"maximized=2", false},
        {u"width= 1200", false},
        {u"width=12x", false},
        {u"width=", false},
        {u"=5", false},
        {u"width", false},
        {u"colour=1", false},
        {u"Width=1200", false},
        {u"width=1200\r", false},
        {u"match_case=-0", true},
        {u"zoom=1234567", false},
        {u"highlight_occurrences=0", true},
        {u"highlight_occurrences=2", false},
    };
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
    const Settings changed{.width = 1280,
                           .height = 700,
                           .maximized = true,
                           .zoom = -4,
                           .regular_expression = true,
                           .highlight_occurrences = false};
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

}  // namespace
