// The state and settings folders: where XDG_STATE_HOME, XDG_CONFIG_HOME and HOME put them,
// private folders made with their parents, and lock files that one holder at a time can take.
#include <sys/stat.h>

#include "file_test_support.h"
#include "runtime/files/state_folder.h"

namespace {

using file_test::ScratchFolder;

// Sets or unsets a variable for the test's duration.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedVariable() {
        if (had_)
            ::setenv(name_, old_.c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedVariable(const ScopedVariable&) = delete;  // restores the variable once
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

mode_t mode_of(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 0;
}

TEST(StateFolder, FollowsItsXdgVariableWhenAbsoluteElseHome) {
    struct Kind {
        const char* variable;
        std::string (*folder)(const char*);
        const char* under_home;
    };
    for (const Kind& kind : {Kind{"XDG_STATE_HOME", state_folder, "/home/ann/.local/state/prog"},
                             Kind{"XDG_CONFIG_HOME", config_folder, "/home/ann/.config/prog"}}) {
        ScopedVariable home("HOME", "/home/ann");
        {
            ScopedVariable named(kind.variable, "/var/ann-folder");
            EXPECT_EQ(kind.folder("prog"), "/var/ann-folder/prog") << kind.variable;
        }
        {
            ScopedVariable named(kind.variable, "relative/folder");
            EXPECT_EQ(kind.folder("prog"), kind.under_home) << kind.variable;
        }
        ScopedVariable named(kind.variable, nullptr);
        EXPECT_EQ(kind.folder("prog"), kind.under_home) << kind.variable;
        ScopedVariable no_home("HOME", nullptr);
        EXPECT_EQ(kind.folder("prog"), "") << kind.variable;
    }
}

TEST_F(ScratchFolder, PrivateFoldersComeWithTheirParentsAndALockHasOneHolder) {
    const std::string folder = folder_ + "/state/prog";
    ASSERT_TRUE(folder_make_private(folder));
    EXPECT_EQ(mode_of(folder_ + "/state"), 0700u);
    EXPECT_EQ(mode_of(folder), 0700u);
    EXPECT_TRUE(folder_make_private(folder));  // already there
    file_test::write_raw("plain", "x");
    EXPECT_FALSE(folder_make_private(folder_ + "/plain/prog"));
    // One that others may write is closed; one that is a link is not followed.
    ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    EXPECT_TRUE(folder_make_private(folder));
    EXPECT_EQ(mode_of(folder), 0700u);
    ASSERT_EQ(::symlink(folder.c_str(), (folder_ + "/state/link").c_str()), 0);
    EXPECT_FALSE(folder_make_private(folder_ + "/state/link"));

    const std::string path = folder + "/one.lock";
    int lock = lock_file_take(path);
    ASSERT_GE(lock, 0);
    EXPECT_EQ(mode_of(path), 0600u);
    EXPECT_EQ(lock_file_take(path), -1);  // a second holder, even in the same process
    lock_file_release(lock);
    lock = lock_file_take(path);
    EXPECT_GE(lock, 0);
    lock_file_release(lock);

    file_test::write_raw(folder + "/two.qex", "");
    EXPECT_EQ(folder_names_ending(folder, ".lock"), std::vector<std::string>{"one.lock"});
    EXPECT_EQ(folder_names_ending(folder, ".qex"), std::vector<std::string>{"two.qex"});
    EXPECT_EQ(folder_names_ending(folder, "").size(), 2u);  // "." and ".." are no entries
    EXPECT_TRUE(folder_names_ending(folder_ + "/missing", ".qex").empty());
}

}  // namespace
