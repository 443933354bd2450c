// Path operations: sizes and kinds, folders, deletion, renaming, file parts, name characters,
// and paths that are long or not ASCII.
#include "file_test_support.h"

#include "runtime/files/filesystem.h"

using namespace file_test;

namespace {

class FileSystem : public ScratchFolder {};

std::u16string part_of(const char16_t* path) {
    TempScope scope;
    std::u16string part = path_file_part(path, scope.start());
    EXPECT_EQ(temp_position(), scope.start() + static_cast<std::int32_t>(part.size() * 2));
    return part;
}

}  // namespace

TEST_F(FileSystem, SizeAndKindOfAPath) {
    write_raw("empty.txt", "");
    write_raw("some.txt", std::string(12345, 's'));
    EXPECT_EQ(path_size(u"empty.txt"), 0);
    EXPECT_EQ(path_size(u"some.txt"), 12345);
    EXPECT_EQ(path_size(u"missing.txt"), -1);
    EXPECT_EQ(path_size(u""), -1);
    EXPECT_EQ(path_size(nullptr), -1);
    ASSERT_EQ(directory_create(u"Extensions"), 1);
    EXPECT_EQ(path_size(u"Extensions"), -2);
    EXPECT_EQ(path_size(u"Extensions\\"), -2);
    EXPECT_EQ(path_size(u"Extensions\\\\"), -2);
    EXPECT_EQ(path_size(u"Extensions/"), -2);
    EXPECT_EQ(path_size(u"some.txt/"), -1);  // a file is no folder
    EXPECT_EQ(path_size(u"\\"), -1);
}

TEST_F(FileSystem, CreatingAFolder) {
    EXPECT_EQ(directory_create(u"Extensions/"), 1);
    EXPECT_EQ(path_size(u"Extensions"), -2);
    EXPECT_EQ(directory_create(u"Extensions"), 0);      // exists already
    EXPECT_EQ(directory_create(u"Second \\/ /  "), 1);  // trailing blanks and separators go
    EXPECT_EQ(path_size(u"Second"), -2);
    EXPECT_EQ(directory_create(u"missing/child"), 0);  // only the last level is made
    EXPECT_EQ(path_size(u"missing"), -1);
    EXPECT_EQ(directory_create(u" / "), 0);
    EXPECT_EQ(directory_create(nullptr), 0);
}

TEST_F(FileSystem, DeletingAFile) {
    write_raw("gone.txt", "x");
    EXPECT_EQ(file_delete(u"gone.txt"), 1);
    EXPECT_EQ(path_size(u"gone.txt"), -1);
    EXPECT_EQ(file_delete(u"gone.txt"), 0);
    EXPECT_EQ(file_delete(nullptr), 0);
    ASSERT_EQ(directory_create(u"folder"), 1);
    EXPECT_EQ(file_delete(u"folder"), 0);
    EXPECT_EQ(path_size(u"folder"), -2);
}

TEST_F(FileSystem, RenamingReplacesTheTargetWhole) {
    write_raw("new.txt", "new contents");
    write_raw("old.txt", "old");
    EXPECT_EQ(path_rename(u"new.txt", u"old.txt"), 1);
    EXPECT_EQ(read_bytes("old.txt"), "new contents");
    EXPECT_EQ(path_size(u"new.txt"), -1);
    EXPECT_EQ(path_rename(u"new.txt", u"old.txt"), 0);
    EXPECT_EQ(read_bytes("old.txt"), "new contents");
    ASSERT_EQ(directory_create(u"folder"), 1);
    EXPECT_EQ(path_rename(u"old.txt", u"folder"), 0);
    EXPECT_EQ(read_bytes("old.txt"), "new contents");
    EXPECT_EQ(path_rename(u"", u"x"), 0);
}

TEST_F(FileSystem, FilePartOfAPath) {
    EXPECT_EQ(part_of(u"\"C:\\Games\\Ext\\name.qex\""), u"name.qex");
    EXPECT_EQ(part_of(u"\"plain\""), u"plain");
    EXPECT_EQ(part_of(u"plain.qex"), u"plain.qex");
    EXPECT_EQ(part_of(u"/home/ann/Extensions/Sparkle.qex"), u"Sparkle.qex");
    EXPECT_EQ(part_of(u"a\\b/c\\d.qex"), u"d.qex");
    EXPECT_EQ(part_of(u"folder/"), u"");
    EXPECT_EQ(part_of(u"x/y\"z"), u"y");
    EXPECT_EQ(part_of(u""), u"");
    EXPECT_EQ(part_of(nullptr), u"");
}

TEST_F(FileSystem, FilePartOfAPathBuiltInTheArea) {
    // The path lies at the very position the result is written to, after a longer prefix that
    // forces the area to grow while the part is placed.
    std::int32_t p0 = temp_position();
    temp_append(std::u16string(20000, u'd').c_str());
    temp_append(u"/tail-name.qex");
    char16_t* part = path_file_part(temp_address(p0), p0);
    EXPECT_EQ(std::u16string(part), u"tail-name.qex");
    EXPECT_EQ(temp_position(), p0 + 26);
    temp_reset(p0);
}

TEST_F(FileSystem, FileNameCharacters) {
    EXPECT_EQ(file_name_is_valid(u"My extension 2"), 1);
    EXPECT_EQ(file_name_is_valid(u"\u00c9t\u00e9 \U0001F600"), 1);
    EXPECT_EQ(file_name_is_valid(u".."), 1);
    EXPECT_EQ(file_name_is_valid(u""), 0);
    EXPECT_EQ(file_name_is_valid(nullptr), 0);
    for (char16_t bad : std::u16string(u"\"*/:<>?\\|\x01\x1f\t"))
        EXPECT_EQ(file_name_is_valid((u"a" + std::u16string(1, bad) + u"b").c_str()), 0) << int(bad);
    EXPECT_EQ(file_name_is_valid(u"a\x7f"
                                 "b"),
              1);
}

TEST_F(FileSystem, PathsAreNeverCutShort) {
    // Nested folders to well past 260 units; every operation works on the whole path.
    std::u16string path;
    for (int level = 0; level < 12; ++level) {
        path += (level ? u"/" : u"") + std::u16string(40, static_cast<char16_t>(u'a' + level));
        ASSERT_EQ(directory_create(path.c_str()), 1);
    }
    std::u16string file_path = path + u"/deep.txt";
    ASSERT_GT(file_path.size(), 400u);
    ObjectNumber file = file_create(ANY_NUMBER, file_path.c_str());
    ASSERT_NE(file, 0);
    file_write_text(file, u"deep", TEXT_UTF8);
    file_close(file);
    EXPECT_EQ(path_size(file_path.c_str()), 4);
    // Cutting the path at 260 would name a folder of a higher level.
    EXPECT_EQ(path_size(file_path.substr(0, 260).c_str()), -1);
    EXPECT_EQ(file_delete(file_path.c_str()), 1);
    EXPECT_EQ(path_size(file_path.c_str()), -1);
}

TEST_F(FileSystem, NameTooLongForTheSystemFails) {
    std::u16string name(300, u'n');
    EXPECT_EQ(file_create(ANY_NUMBER, name.c_str()), 0);
    EXPECT_EQ(directory_create(name.c_str()), 0);
    EXPECT_EQ(path_size(name.c_str()), -1);
    // Cut to 255 bytes the name would be creatable: nothing of that kind may appear.
    EXPECT_TRUE(listing().empty());
}

TEST_F(FileSystem, PathsReachTheSystemAsUtf8) {
    const char16_t* name = u"\u00dcbung \u65e5\u672c \U0001F600.qex";
    ObjectNumber file = file_create(ANY_NUMBER, name);
    ASSERT_NE(file, 0);
    file_close(file);
    EXPECT_EQ(listing(), std::vector<std::string>{"\xC3\x9C"
                                                  "bung \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80.qex"});
    EXPECT_EQ(path_size(name), 0);
    EXPECT_EQ(path_to_system(u"a\xD800z"), "a\xEF\xBF\xBDz");  // a lone surrogate
}

TEST_F(FileSystem, ResolvedPathsMakeTwoNamesOfOnePlaceEqual) {
    ASSERT_EQ(directory_create(u"Extensions"), 1);
    write_raw("Extensions/a.qex", "");
    ::symlink("Extensions", "shortcut");
    ::symlink("a.qex", "Extensions/link.qex");
    const std::string real = std::filesystem::canonical(".").string() + "/Extensions/";
    const std::pair<const char16_t*, std::string> cases[] = {
        {u"Extensions/a.qex", real + "a.qex"},  {u"./shortcut/../Extensions/a.qex", real + "a.qex"},
        {u"shortcut/link.qex", real + "a.qex"}, {u"shortcut/missing.qex", real + "missing.qex"},
        {u"missing-folder/a.qex", ""},
    };
    for (const auto& [path, resolved] : cases) EXPECT_EQ(path_resolved(path), resolved);
}
