// Replacing a file whole: the new file's privacy and bits before any text is written, what a
// failure leaves behind (nothing), protection that no rename goes around, and leftovers of
// crashes. Each runs with the unnamed temporary file and with the named one that file systems
// without O_TMPFILE get. Then, on a folder people share, what a replacement keeps of the old file
// and the links it refuses.
#include "file_test_support.h"
#include "unprivileged.h"

#include <cstdio>
#include <functional>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>

#include "runtime/files/files_internal.h"
#include "runtime/files/filesystem.h"
#include "runtime/files/replace.h"

using namespace file_test;

namespace {

using Writer = std::function<bool(ObjectNumber)>;

int replace(const char16_t* path, const Writer& writer) {
    return file_replace(
        path, [](ObjectNumber file, const void* context) { return (*static_cast<const Writer*>(context))(file); },
        &writer);
}

int replace_text(const char16_t* path, const std::u16string& text) {
    return replace(path, [&](ObjectNumber file) { return file_write_text(file, text.c_str(), TEXT_UTF8) > 0; });
}

struct stat stat_of(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info;
}

// The file's permission bits as the writer sees them on its open file, before any text.
struct stat stat_while_writing(const char16_t* path, const std::u16string& text, std::vector<std::string>* names) {
    struct stat seen {};
    EXPECT_EQ(replace(path,
                      [&](ObjectNumber file) {
                          EXPECT_EQ(::fstat(file_descriptor(file), &seen), 0);
                          EXPECT_EQ(seen.st_size, 0);
                          if (names) *names = listing();
                          return file_write_text(file, text.c_str(), TEXT_UTF8) > 0;
                      }),
              1);
    return seen;
}

class Replace : public ScratchFolder, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        file_replace_allow_unnamed(GetParam());
    }
    void TearDown() override {
        file_replace_allow_unnamed(true);
        ScratchFolder::TearDown();
    }
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Temporary, Replace, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Unnamed" : "Named"; });

TEST_P(Replace, ReplacesWholeAndLeavesNothingElse) {
    EXPECT_EQ(replace_text(u"target.txt", u"first"), 1);
    EXPECT_EQ(replace_text(u"target.txt", u"second, longer"), 1);
    EXPECT_EQ(read_bytes("target.txt"), "second, longer");
    EXPECT_EQ(listing(), std::vector<std::string>{"target.txt"});
    // A writer that knows its text is incomplete fails the replacement.
    EXPECT_EQ(replace(u"target.txt", [](ObjectNumber file) { return file_write_text(file, u"x", TEXT_UTF8) < 0; }), 0);
    EXPECT_EQ(read_bytes("target.txt"), "second, longer");
    EXPECT_EQ(listing(), std::vector<std::string>{"target.txt"});
}

TEST_P(Replace, WorksWhenTheTemporaryFileGetsDescriptorZero) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(0);  // the next open takes 0, which a file record cannot keep
        ::_exit(replace_text(u"target.txt", u"saved") == 1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_EQ(read_bytes("target.txt"), "saved");
    EXPECT_EQ(listing(), std::vector<std::string>{"target.txt"});
}

TEST_P(Replace, TheNewFileHasItsFinalBitsBeforeAnyTextAndOnlyThen) {
    // A private target: nobody else may read the new text at any moment either.
    write_raw("private.txt", "old secret");
    ASSERT_EQ(::chmod("private.txt", 0600), 0);
    std::vector<std::string> names_meanwhile;
    EXPECT_EQ(stat_while_writing(u"private.txt", u"new secret", &names_meanwhile).st_mode & 07777, 0600u);
    EXPECT_EQ(stat_of("private.txt").st_mode & 07777, 0600u);
    EXPECT_EQ(read_bytes("private.txt"), "new secret");
    // Unnamed, the file being written shows nowhere; named, under a name of its own.
    if (GetParam()) {
        EXPECT_EQ(names_meanwhile, std::vector<std::string>{"private.txt"});
    } else {
        ASSERT_EQ(names_meanwhile.size(), 2u);
        EXPECT_EQ(names_meanwhile[0].rfind(".qem-save-", 0), 0u) << names_meanwhile[0];
    }

    write_raw("shared.txt", "old");
    ASSERT_EQ(::chmod("shared.txt", 0640), 0);
    EXPECT_EQ(stat_while_writing(u"shared.txt", u"new", nullptr).st_mode & 07777, 0640u);
    EXPECT_EQ(stat_of("shared.txt").st_mode & 07777, 0640u);

    // A new file gets what any new file gets.
    mode_t previous = ::umask(027);
    EXPECT_EQ(stat_while_writing(u"fresh.txt", u"new", nullptr).st_mode & 07777, 0640u);
    ::umask(previous);
    EXPECT_EQ(stat_of("fresh.txt").st_mode & 07777, 0640u);

    // The target's group too, where this user may give it: root may give any.
    if (::geteuid() == 0) {
        const gid_t group = 4242;
        ASSERT_EQ(::chown("shared.txt", static_cast<uid_t>(-1), group), 0);
        EXPECT_EQ(stat_while_writing(u"shared.txt", u"newer", nullptr).st_gid, group);
        EXPECT_EQ(stat_of("shared.txt").st_gid, group);
        EXPECT_EQ(stat_of("shared.txt").st_mode & 07777, 0640u);
    }
}

TEST_P(Replace, AProtectedTargetStaysAsItWas) {
    if (rerun_unprivileged()) return;
    // Read-only in a folder this user may write: the rename could go around the protection.
    write_raw("locked.txt", "kept");
    ASSERT_EQ(::chmod("locked.txt", 0444), 0);
    struct stat before = stat_of("locked.txt");
    EXPECT_EQ(replace_text(u"locked.txt", u"replaced"), 0);
    struct stat after = stat_of("locked.txt");
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(read_bytes("locked.txt"), "kept");
    // A writable file in a folder this user may not change stays as it was too.
    ASSERT_EQ(directory_create(u"closed"), 1);
    write_raw("closed/open.txt", "kept");
    ASSERT_EQ(::chmod("closed", 0555), 0);
    EXPECT_EQ(replace_text(u"closed/open.txt", u"replaced"), 0);
    EXPECT_EQ(read_bytes("closed/open.txt"), "kept");
    EXPECT_EQ(listing("closed"), std::vector<std::string>{"open.txt"});
    ASSERT_EQ(::chmod("closed", 0755), 0);
    // A link to the protected file is no way around its protection either.
    ASSERT_EQ(::symlink("locked.txt", "link.txt"), 0);
    EXPECT_EQ(replace_text(u"link.txt", u"replaced"), 0);
    EXPECT_EQ(read_bytes("locked.txt"), "kept");
    EXPECT_EQ(listing(), (std::vector<std::string>{"closed", "link.txt", "locked.txt"}));
}

// A link stays a link: the file it ends at is replaced, in its own folder and with its own bits.
TEST_P(Replace, ALinkIsFollowedToTheFileItNames) {
    ASSERT_EQ(directory_create(u"tracked"), 1);
    write_raw("tracked/real.txt", "old");
    ASSERT_EQ(::chmod("tracked/real.txt", 0640), 0);
    // clang-format off
    const std::pair<const char*, const char*> links[] = {
        {"link.txt", "tracked/real.txt"},    {"chain.txt", "link.txt"},          {"absolute.txt", ""},
        {"dangling.txt", "tracked/new.txt"}, {"nowhere.txt", "missing/new.txt"}, {"loop.txt", "loop.txt"},
        {"Extensions/up.txt", "../tracked/real.txt"},  // relative to its own folder, not the current one
    };
    // clang-format on
    ASSERT_EQ(directory_create(u"Extensions"), 1);
    for (const auto& [link, target] : links)
        ASSERT_EQ(::symlink(*target ? target : (folder_ + "/tracked/real.txt").c_str(), link), 0);
    const std::vector<std::string> names = listing();
    EXPECT_EQ(replace_text(u"link.txt", u"one"), 1);
    EXPECT_EQ(read_bytes("tracked/real.txt"), "one");
    EXPECT_EQ(stat_of("tracked/real.txt").st_mode & 07777, 0640u);
    EXPECT_EQ(replace_text(u"chain.txt", u"two"), 1);
    EXPECT_EQ(replace_text(u"absolute.txt", u"three"), 1);
    EXPECT_EQ(read_bytes("tracked/real.txt"), "three");
    EXPECT_EQ(replace_text(u"Extensions/up.txt", u"up"), 1);
    EXPECT_EQ(read_bytes("tracked/real.txt"), "up");
    // A dangling link is written at its target when that folder exists.
    EXPECT_EQ(replace_text(u"dangling.txt", u"four"), 1);
    EXPECT_EQ(read_bytes("tracked/new.txt"), "four");
    EXPECT_EQ(replace_text(u"nowhere.txt", u"x"), 0);
    EXPECT_EQ(replace_text(u"loop.txt", u"x"), 0);
    EXPECT_EQ(listing(), names) << "every link is still there, and nothing else";
    for (const auto& [link, target] : links) {
        struct stat info {};
        EXPECT_TRUE(::lstat(link, &info) == 0 && S_ISLNK(info.st_mode)) << link;
    }
    EXPECT_EQ(listing("tracked"), (std::vector<std::string>{"new.txt", "real.txt"}));
}

TEST_P(Replace, LeftoversOfCrashesNeverBlockASave) {
    // Names of every scheme a crash could have left, among them the ones this process would
    // have counted through.
    for (int i = 1; i <= 40; ++i) {
        write_raw(".qem-save-" + std::to_string(::getpid()) + "-" + std::to_string(i) + ".tmp", "debris");
        write_raw(".qem-save-" + std::to_string(i) + ".tmp", "debris");
    }
    std::vector<std::string> debris = listing();
    EXPECT_EQ(replace_text(u"target.txt", u"saved"), 1);
    EXPECT_EQ(replace_text(u"target.txt", u"saved again"), 1);
    EXPECT_EQ(read_bytes("target.txt"), "saved again");
    debris.push_back("target.txt");
    std::sort(debris.begin(), debris.end());
    EXPECT_EQ(listing(), debris);
}

TEST_P(Replace, WriteThatFailsHalfWayKeepsThePreviousFile) {
    ASSERT_EQ(replace_text(u"big.txt", u"previous"), 1);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Room for a start but not for the whole text.
        struct rlimit limit = {64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(replace_text(u"big.txt", std::u16string(300000, u'c')));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read_bytes("big.txt"), "previous");
    EXPECT_EQ(listing(), std::vector<std::string>{"big.txt"});
}

TEST_P(Replace, TargetsThatCannotBeReplacedLeaveEverythingAsItWas) {
    // A folder named like the target.
    ASSERT_EQ(directory_create(u"dir.txt"), 1);
    write_raw("dir.txt/inside", "kept");
    EXPECT_EQ(replace_text(u"dir.txt", u"x"), 0);
    EXPECT_EQ(read_bytes("dir.txt/inside"), "kept");
    // A missing folder, and a file where the folder should be.
    EXPECT_EQ(replace_text(u"nowhere/x.txt", u"x"), 0);
    write_raw("plain", "kept");
    EXPECT_EQ(replace_text(u"plain/x.txt", u"x"), 0);
    EXPECT_EQ(read_bytes("plain"), "kept");
    // A name too long for the file system; just short enough still works, since the temporary
    // name does not grow with the target's.
    EXPECT_EQ(replace_text(std::u16string(300, u'N').c_str(), u"x"), 0);
    EXPECT_EQ(replace_text(u"", u"x"), 0);
    EXPECT_EQ(listing(), (std::vector<std::string>{"dir.txt", "plain"}));
    EXPECT_EQ(replace_text(std::u16string(255, u'L').c_str(), u"x"), 1);
    EXPECT_EQ(listing().size(), 3u);
}

namespace {

// The folder root prepares for the unprivileged run, holding what only another user could make.
constexpr const char* SHARED_VARIABLE = "QEM_TEST_SHARED_FOLDER";
constexpr const char* OLD_TEXT = "old";
constexpr uid_t SECOND_USER = 4243;  // named in an access list; needs no account

// What getfacl says of the file (owner, group, every entry and the mask), or "" without it.
std::string access_list(const std::string& path) {
    std::string said;
    if (FILE* out = ::popen(("getfacl -p -- '" + path + "' 2>&1").c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, out)) said += buffer;
        ::pclose(out);
    }
    return said;
}

void prepare_shared_folder(const std::string& folder, uid_t user, gid_t group) {
    auto file = [&](const char* name, uid_t owner, gid_t owner_group, mode_t mode) {
        const std::string path = folder + "/" + name;
        write_raw(path, OLD_TEXT);
        ASSERT_EQ(::chown(path.c_str(), owner, owner_group), 0) << name;
        ASSERT_EQ(::chmod(path.c_str(), mode), 0) << name;
    };
    ASSERT_EQ(::chown(folder.c_str(), user, group), 0);
    // The group may read, a second user may read and write: the mask is wider than the group.
    file("acl.qex", user, group, 0640);
    ASSERT_EQ(std::system(("setfacl -m u:" + std::to_string(SECOND_USER) + ":rw " + folder + "/acl.qex").c_str()), 0);
    ASSERT_EQ(::setxattr((folder + "/acl.qex").c_str(), "user.note", "kept", 4, 0), 0);
    file("group.qex", user, 0, 0640);  // a group the user is no member of
    file("linked.qex", user, group, 0644);
    ASSERT_EQ(::link((folder + "/linked.qex").c_str(), (folder + "/other-name.qex").c_str()), 0);
    // Links of another user's: one to the user's notes, refused; one to that user's own file, followed.
    file("notes.txt", user, group, 0600);
    ASSERT_EQ(::symlink("notes.txt", (folder + "/planted.qex").c_str()), 0);
    file("their-file.txt", 0, 0, 0666);
    ASSERT_EQ(::symlink("their-file.txt", (folder + "/theirs.qex").c_str()), 0);
}

int replace_allowing(const std::string& path, unsigned allowed) {
    const std::u16string text = u"new";
    return file_replace(
        std::u16string(path.begin(), path.end()).c_str(),
        [](ObjectNumber file, const void* context) {
            return file_write_text(file, static_cast<const std::u16string*>(context)->c_str(), TEXT_UTF8) > 0;
        },
        &text, allowed);
}

class SharedFolder : public ScratchFolder {};

}  // namespace

// As a user without root in a folder others use too: a replacement keeps the access list, the
// attributes and the mode, or names what it would lose and writes nothing unless that is let go;
// a link another user planted is refused and nothing is written anywhere.
TEST_F(SharedFolder, AReplacementKeepsWhatTheFileWasOrNamesWhatItCannot) {
    const char* prepared = std::getenv(SHARED_VARIABLE);
    if (::geteuid() == 0 && !prepared) {
        if (access_list("/").empty() || ::system("command -v setfacl >/dev/null") != 0)
            GTEST_SKIP() << "getfacl and setfacl (the acl package) are needed";
        std::string shared = "/dev/shm/qem-shared-XXXXXX";
        ASSERT_NE(::mkdtemp(shared.data()), nullptr);
        const passwd* nobody = ::getpwnam("nobody");
        prepare_shared_folder(shared, nobody ? nobody->pw_uid : 65534, nobody ? nobody->pw_gid : 65534);
        ::setenv(SHARED_VARIABLE, shared.c_str(), 1);
        rerun_unprivileged();
        ::unsetenv(SHARED_VARIABLE);
        std::filesystem::remove_all(shared);
        return;
    }
    if (rerun_unprivileged()) return;
    if (!prepared) GTEST_SKIP() << "only root can make the files of another user this needs";
    std::filesystem::current_path(prepared);
    struct Case {
        const char* file;
        unsigned losses;
        const char* old_text_in;  // where the old text stays when nothing is written; null: replaced
    };
    const Case cases[] = {
        {"acl.qex", 0, nullptr},
        {"group.qex", REPLACE_LOSES_GROUP, "group.qex"},
        {"linked.qex", REPLACE_LOSES_LINKS, "linked.qex"},
        {"planted.qex", 0, "notes.txt"},
        {"theirs.qex", REPLACE_LOSES_OWNER | REPLACE_LOSES_GROUP, "their-file.txt"},
    };
    for (const Case& c : cases) {
        const std::string list = access_list(c.file);
        const std::vector<std::string> names = listing();
        EXPECT_EQ(file_replace_losses(std::u16string(c.file, c.file + std::strlen(c.file)).c_str()), c.losses)
            << c.file;
        EXPECT_EQ(replace_allowing(c.file, 0), c.old_text_in ? 0 : 1) << c.file;
        EXPECT_EQ(read_bytes(c.old_text_in ? c.old_text_in : c.file), c.old_text_in ? OLD_TEXT : "new") << c.file;
        EXPECT_EQ(access_list(c.file), list) << c.file;
        EXPECT_EQ(listing(), names) << c.file;
    }
    char note[8] = "";
    EXPECT_EQ(::getxattr("acl.qex", "user.note", note, sizeof note), 4);
    EXPECT_STREQ(note, "kept");
    // What is let go is lost, and only that: the group becomes the user's, the other name keeps
    // the old text.
    EXPECT_EQ(replace_allowing("group.qex", REPLACE_LOSES_GROUP), 1);
    EXPECT_EQ(stat_of("group.qex").st_gid, ::getegid());
    EXPECT_EQ(stat_of("group.qex").st_mode & 07777, 0640u);
    EXPECT_EQ(replace_allowing("linked.qex", REPLACE_LOSES_LINKS), 1);
    EXPECT_EQ(read_bytes("linked.qex"), "new");
    EXPECT_EQ(read_bytes("other-name.qex"), OLD_TEXT);
    EXPECT_EQ(replace_allowing("planted.qex", ~0u), 0);
    EXPECT_EQ(read_bytes("notes.txt"), OLD_TEXT);
}
