/** @file recovery_test.cpp
 * The recovery copy in the running program on the offscreen platform, with short timings: when it
 * is written and removed, its bytes and mode, a copy while typing never pauses, the offer of the
 * copies of ended instances, and an editor that works without a state folder. */
#include "app_driver.h"
#include "files/file_test_support.h"
#include "files/unprivileged.h"

#include "app/commands.h"
#include "app/document.h"
#include "app/recovery.h"
#include "runtime/files/state_folder.h"

#include <QApplication>
#include <QDateTime>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <memory>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

const QString PROGRAM = QStringLiteral("Quorval Extension Maker");
const QString CONFIRM = QStringLiteral("Confirm");

// The line of a copy that names the file its texts were saved to: device, inode, size, times.
std::string source_line(const char* path, bool with_change_time) {
    struct stat saved {};
    ::stat(path, &saved);
    auto nanoseconds = [](const timespec& t) { return std::to_string(t.tv_sec * 1000000000LL + t.tv_nsec) + " "; };
    return "; source: 1 " + std::to_string(saved.st_dev) + " " + std::to_string(saved.st_ino) + " " +
           std::to_string(saved.st_size) + " " + nanoseconds(saved.st_mtim) +
           (with_change_time ? nanoseconds(saved.st_ctim) : "") + fs::canonical(path).string() + "\r\n";
}

class Recovery : public ::testing::Test {
protected:
    void SetUp() override {
        old_timing_ = recovery_timing();
        const char* old = std::getenv("XDG_STATE_HOME");
        if (old) old_state_ = old;
        setenv("XDG_STATE_HOME", (scratch_.path() + "/state").c_str(), 1);
        folder_ = scratch_.path() + "/state/quorval-extension-maker";
    }
    void TearDown() override {
        recovery_end();
        if (started_) application_end();
        recovery_set_timing(old_timing_);
        if (old_state_.empty())
            unsetenv("XDG_STATE_HOME");
        else
            setenv("XDG_STATE_HOME", old_state_.c_str(), 1);
    }

    bool start(RecoveryTiming timing) {
        recovery_set_timing(timing);
        application_start();
        started_ = true;
        main_window()->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(main_window()));
        return recovery_start();
    }

    // A file in the state folder with the modification time given.
    void place(const std::string& name, const std::string& bytes, std::time_t modified) const {
        write_file(folder_ + "/" + name, bytes);
        const timespec times[2] = {{modified, 0}, {modified, 0}};
        ::utimensat(AT_FDCWD, (folder_ + "/" + name).c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    static QString question(std::time_t modified) {
        char when[64];
        std::tm local{};
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M", localtime_r(&modified, &local));
        return QStringLiteral("Recover the unsaved extension from %1?").arg(when);
    }

    // The copies in the state folder (this instance's and any other), as file names.
    std::vector<std::string> copies() const { return folder_names_ending(folder_, ".qex"); }
    // The one copy's bytes, "" while there is none.
    std::string copy_bytes() const {
        std::vector<std::string> names = copies();
        return names.size() == 1 ? file_bytes(folder_ + "/" + names[0]) : "";
    }

    ScratchDirectory scratch_;
    std::string folder_;
    bool started_ = false;

private:
    RecoveryTiming old_timing_{};
    std::string old_state_;
};

TEST_F(Recovery, TypingLeavesAPrivateCopyThatSaveAndNewRemove) {
    ASSERT_TRUE(start({100, 300, 200}));
    AppDriver driver;
    driver.then("type into a field, a multi-line field and the code", [] {
        type_into(gadget_widget(GADGET_NAME), "Sparkle");
        type_into(gadget_widget(GADGET_DESCRIPTION), "Shines.");
        type_into(gadget_widget(GADGET_CODE), "var x;");
        // Typed at the start, so the component's text lies on both sides of its gap.
        QTest::keyClick(gadget_widget(GADGET_CODE), Qt::Key_Home);
        QTest::keyClick(gadget_widget(GADGET_CODE), Qt::Key_1);
        return true;
    });
    const std::string first = "; current name: \r\n" + extension_file("Sparkle", "", "Shines.", "", "1var x;");
    driver.then("the copy holds the texts", [&] { return copy_bytes() == first; });
    driver.then("only its owner may read it", [&] {
        struct stat info {};
        EXPECT_EQ(::stat((folder_ + "/" + copies()[0]).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        return true;
    });
    driver.key(Qt::Key_S, Qt::ControlModifier).expect_prompt("");
    driver.then("name it", [] {
        QTest::keyClicks(prompt_field(), "Sparkle");
        click(prompt_button("OK"));
        return true;
    });
    driver.answer(PROGRAM, "Extension: Sparkle successfully saved.", "OK");
    driver.then("the save removed the copy", [&] { return copies().empty(); });

    driver.then("type in the help", [] {
        type_into(gadget_widget(GADGET_HELP), "Call it.");
        return true;
    });
    // The file the texts were saved to is named with its identity, so that a Save after a
    // recovery knows it as this work's own.
    auto second = [] {
        return "; current name: Sparkle\r\n" + source_line("Extensions/Sparkle.qex", true) +
               extension_file("Sparkle", "", "Shines.", "Call it.", "1var x;");
    };
    driver.then("a new copy with the current name and the saved file", [&] { return copy_bytes() == second(); });
    driver.key(Qt::Key_N, Qt::ControlModifier).answer(CONFIRM, "Create a new extension?", "Yes");
    driver.then("New removed the copy", [&] { return copies().empty(); });

    // Texts that are back to what they were need no copy.
    driver.then("type a letter and take it back", [] {
        type_into(gadget_widget(GADGET_CODE), "a");
        QTest::keyClick(gadget_widget(GADGET_CODE), Qt::Key_Backspace);
        return true;
    });
    driver.pause(800).then("still no copy", [&] {
        EXPECT_EQ(copies(), std::vector<std::string>{});
        return true;
    });
    driver.then("type once more", [] {
        type_into(gadget_widget(GADGET_CODE), "b");
        return true;
    });
    driver.then("a copy is there, and then the letter is taken back", [&] {
        if (copies().empty()) return false;
        QTest::keyClick(gadget_widget(GADGET_CODE), Qt::Key_Backspace);
        return true;
    });
    // Nothing unsaved at Exit: the copy goes, and the lock with it.
    driver.exit_program().run_application();
    recovery_end();
    EXPECT_EQ(folder_names_ending(folder_, ""), std::vector<std::string>{}) << "the copy or the lock outlived Exit";
}

// Yes to the Exit question never costs work: unsaved texts keep their copy, written at Exit.
TEST_F(Recovery, ExitWithUnsavedTextsKeepsTheirCopyForTheNextStart) {
    ASSERT_TRUE(start({60000, 60000, 60000}));
    AppDriver driver;
    driver.then("type, too briefly for a copy", [] {
        type_into(gadget_widget(GADGET_AUTHOR), "Ann");
        type_into(gadget_widget(GADGET_CODE), "kept();");
        return true;
    });
    driver.exit_program().run_application();
    recovery_end();
    EXPECT_EQ(copy_bytes(), "; current name: \r\n" + extension_file("", "Ann", "", "", "kept();"));
    EXPECT_EQ(folder_names_ending(folder_, ".lock"), std::vector<std::string>{}) << "its instance is gone";
}

// A kill in the middle of typing must not lose more than the longest wait, pauses or not.
TEST_F(Recovery, TypingWithoutPauseGetsACopyWithinTheLongestWait) {
    ASSERT_TRUE(start({400, 500, 100}));
    AppDriver driver;
    auto started = std::make_shared<qint64>(-1);
    auto typed = std::make_shared<int>(0);
    auto seen_while_typing = std::make_shared<bool>(false);
    driver.then("type a letter every 50 ms for two seconds", [=, this] {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (*started < 0) {
            *started = now;
            focus_on(gadget_widget(GADGET_CODE));
        }
        if (now - *started < *typed * 50) return false;
        QTest::keyClick(gadget_widget(GADGET_CODE), Qt::Key_Z);
        if (!copies().empty()) *seen_while_typing = true;
        return ++*typed == 40;
    });
    driver.exit_program().run_application();
    EXPECT_TRUE(*seen_while_typing);
}

TEST_F(Recovery, CopiesOfEndedInstancesAreOfferedNewestFirst) {
    ASSERT_TRUE(folder_make_private(folder_));
    const std::time_t now = std::time(nullptr);
    // The old copy was written by an earlier version, whose source line has no change time.
    fs::create_directory("Extensions");
    write_file("Extensions/Old.qex", "saved before");
    const std::string old_header = "; current name: Old\\nName\r\n" + source_line("Extensions/Old.qex", false);
    place("instance-old.qex", old_header + extension_file("Old one", "Ann", "", "Use it.", "old();"), now - 7200);
    write_file(folder_ + "/instance-old.lock", "");
    place("instance-new.qex", "; current name: New\r\n" + extension_file("New one", "", "", "", "new();"), now - 3600);
    write_file(folder_ + "/instance-ended-before-a-copy.lock", "");
    // A running instance holds its lock: its copy is not offered.
    place("instance-live.qex", "; current name: Live\r\n" + extension_file("Live", "", "", "", ""), now);
    const int live_lock = lock_file_take(folder_ + "/instance-live.lock");
    ASSERT_GE(live_lock, 0);

    ASSERT_TRUE(start({100, 300, 200}));
    AppDriver driver;
    driver.answer(CONFIRM, question(now - 3600), "No");
    driver.answer(CONFIRM, question(now - 7200), "Yes");
    driver.then("the recovered texts and name are back", [] {
        EXPECT_EQ(field_text(GADGET_NAME), u"Old one");
        EXPECT_EQ(field_text(GADGET_AUTHOR), u"Ann");
        EXPECT_EQ(field_text(GADGET_HELP), u"Use it.");
        EXPECT_EQ(code_text(), u"old();");
        EXPECT_EQ(std::u16string(current_extension_name()), u"Old\nName");
        EXPECT_TRUE(document_source().known);
        EXPECT_EQ(document_save_target(u"Extensions/Old.qex"), TARGET_FREE) << "its own file, unchanged";
        return true;
    });
    driver.then("the offered copies and a lone lock are gone, the running instance's stay, the recovered work has one",
                [&] {
                    std::vector<std::string> names = folder_names_ending(folder_, "");
                    std::sort(names.begin(), names.end());
                    if (names.size() != 4) return false;  // this instance's lock and copy, and the live ones
                    EXPECT_EQ(names[2], "instance-live.lock");
                    EXPECT_EQ(names[3], "instance-live.qex");
                    const std::string own = names[0].substr(0, names[0].find('.'));
                    EXPECT_EQ(names[1], own + ".qex");
                    EXPECT_EQ(file_bytes(folder_ + "/" + own + ".qex"),
                              old_header + extension_file("Old one", "Ann", "", "Use it.", "old();"));
                    return true;
                });
    driver.exit_program().run_application([] {
        recovery_offer();
        application_run();
    });
    lock_file_release(live_lock);
}

// A copy too large to read stays for a later start; a link, and a copy this user may not read,
// are left alone; no lock files are left beside them.
TEST_F(Recovery, CopiesThatCannotBeRecoveredAreNeverDestroyed) {
    if (rerun_unprivileged()) return;
    ASSERT_TRUE(folder_make_private(folder_));
    const std::time_t now = std::time(nullptr);
    const std::string big = "; current name: Big\r\n" + extension_file("", "", "", "", std::string(5000, 'x'));
    place("instance-big.qex", big, now - 60);
    const std::string not_text = "; current name: Bytes\r\n" + extension_file("", "", "", "", "s = '\xED\xA0\x80';");
    place("instance-bytes.qex", not_text, now - 120);
    place("instance-old.qex", extension_file("Old", "", "", "", ""), now - 7200);
    place("instance-locked.qex", extension_file("Locked", "", "", "", ""), now);
    ::chmod((folder_ + "/instance-locked.qex").c_str(), 0);
    write_file("elsewhere.qex", extension_file("Elsewhere", "", "", "", ""));
    ASSERT_EQ(::symlink((scratch_.path() + "/elsewhere.qex").c_str(), (folder_ + "/instance-link.qex").c_str()), 0);

    ASSERT_TRUE(start({100, 300, 200}));
    AppDriver driver;
    driver.answer(CONFIRM, question(now - 60), "Yes");
    driver.answer(
        "Error",
        QString::fromStdString("Cannot open \"" + folder_ + "/instance-big.qex\": the file is too large to edit."),
        "OK");
    driver.answer(CONFIRM, question(now - 120), "Yes");
    driver.answer("Error",
                  QString::fromStdString("Cannot open \"" + folder_ +
                                         "/instance-bytes.qex\": it is not a UTF-8 or UTF-16 text file."),
                  "OK");
    driver.answer(CONFIRM, question(now - 7200), "No");
    driver.pause(600).then("nothing was recovered", [] {
        EXPECT_EQ(code_text(), u"");
        EXPECT_EQ(std::u16string(current_extension_name()), u"");
        return true;
    });
    std::unique_ptr<file_test::AreaLimit> limit;
    driver.exit_program().run_application([&] {
        limit = std::make_unique<file_test::AreaLimit>(temp_position() + 2 * 4000);
        recovery_offer();
        limit.reset();
        application_run();
    });
    recovery_end();
    std::vector<std::string> names = folder_names_ending(folder_, "");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"instance-big.qex", "instance-bytes.qex", "instance-link.qex",
                                               "instance-locked.qex"}));
    EXPECT_EQ(file_bytes(folder_ + "/instance-big.qex"), big);
    EXPECT_EQ(file_bytes(folder_ + "/instance-bytes.qex"), not_text);
    EXPECT_EQ(file_bytes("elsewhere.qex"), extension_file("Elsewhere", "", "", "", ""));
}

// Offering holds one copy's lock at a time: thousands of leftovers fit under 1024 descriptors.
TEST_F(Recovery, ThousandsOfLeftoverCopiesUnderADescriptorLimitAreOfferedNewestFirst) {
    ASSERT_TRUE(folder_make_private(folder_));
    const std::time_t now = std::time(nullptr);
    for (int i = 0; i < 5000; ++i)
        place("instance-" + std::to_string(i) + ".qex", extension_file("", "", "", "", "old();"), now - 86400 - i);
    place("instance-newest.qex", "; current name: Newest\r\n" + extension_file("", "", "", "", "newest();"), now);
    rlimit old_limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old_limit), 0);
    const rlimit low{1024, old_limit.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    ASSERT_TRUE(start({100, 300, 200}));
    const auto open_descriptors = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
    const auto before = open_descriptors();
    AppDriver driver;
    driver.then("the question shows while few descriptors are open", [&] {
        if (!open_message()) return false;
        EXPECT_LT(open_descriptors(), before + 8);
        return true;
    });
    driver.answer(CONFIRM, question(now), "Yes");
    driver.then("the newest copy is back", [] {
        EXPECT_EQ(code_text(), u"newest();");
        return true;
    });
    driver.exit_program().run_application([] {
        recovery_offer();
        application_run();
    });
    ::setrlimit(RLIMIT_NOFILE, &old_limit);
}

// Waits for a "Confirm" question whose text starts and ends so, and answers it with Return as a
// habit would, or with the button named.
AppDriver& answer_question(AppDriver& driver, const QString& starts, const QString& ends, const QString& button = {}) {
    const std::string with = button.isEmpty() ? std::string("Return") : button.toStdString();
    return driver.then("answer \"" + starts.toStdString() + "...\" with " + with, [=] {
        QMessageBox* box = open_message();
        if (!box || !box->isVisible() || QApplication::activeWindow() != box) return false;
        EXPECT_EQ(box->windowTitle(), CONFIRM);
        EXPECT_TRUE(box->text().startsWith(starts) && box->text().endsWith(ends)) << box->text().toStdString();
        if (button.isEmpty())
            press(Qt::Key_Return);
        else
            box->button(button == "Yes" ? QMessageBox::Yes : QMessageBox::No)->click();
        return true;
    });
}

const QString EXIT_QUESTION = QStringLiteral("Exit from Quorval Extension Maker?");
const QString CANNOT_KEEP = QStringLiteral("The unsaved changes cannot be kept for the next start (");
const QString EXIT_ANYWAY = QStringLiteral("). Exit anyway?");

// Ctrl+X, Return, Return: with unsaved texts whose copy cannot be written, the second question's
// default keeps the window open with the texts; Yes to both exits.
AppDriver& exit_asks_twice(AppDriver& driver, const QString& reason_starts) {
    driver.key(Qt::Key_X, Qt::ControlModifier);
    answer_question(driver, EXIT_QUESTION, EXIT_QUESTION);
    answer_question(driver, CANNOT_KEEP + reason_starts, EXIT_ANYWAY);
    driver.then("the window is still open with the texts", [] {
        if (open_message()) return false;
        EXPECT_TRUE(main_window()->isVisible());
        EXPECT_EQ(field_text(GADGET_HELP), u"unsaved");
        return true;
    });
    driver.key(Qt::Key_X, Qt::ControlModifier);
    answer_question(driver, EXIT_QUESTION, EXIT_QUESTION, "Yes");
    return answer_question(driver, CANNOT_KEEP + reason_starts, EXIT_ANYWAY, "Yes");
}

TEST_F(Recovery, WithoutAWritableStateFolderTheEditorWorksAsBeforeAndExitAsksBeforeLosingWork) {
    if (rerun_unprivileged()) return;
    const std::string closed = scratch_.path() + "/closed";
    ASSERT_TRUE(fs::create_directory(closed));
    ASSERT_EQ(::chmod(closed.c_str(), 0555), 0);
    setenv("XDG_STATE_HOME", closed.c_str(), 1);
    EXPECT_FALSE(start({100, 300, 200}));
    EXPECT_EQ(recovery_wait_time(), -1);
    AppDriver driver;
    driver.then("type a name", [] {
        type_into(gadget_widget(GADGET_NAME), "Plain");
        return true;
    });
    driver.key(Qt::Key_S, Qt::ControlModifier).then("name it", [] {
        if (!prompt_field()) return false;
        QTest::keyClicks(prompt_field(), "Plain");
        click(prompt_button("OK"));
        return true;
    });
    driver.answer(PROGRAM, "Extension: Plain successfully saved.", "OK");
    driver.then("type in the help", [] {
        type_into(gadget_widget(GADGET_HELP), "unsaved");
        return true;
    });
    exit_asks_twice(driver, QString::fromStdString(closed + "/quorval-extension-maker: Permission denied"))
        .run_application();
    EXPECT_EQ(file_bytes("Extensions/Plain.qex"), extension_file("Plain", "", "", "", ""));
}

// The folder was fine at the start and took a copy, then became unusable: the copy of the texts
// as they stand cannot be written, and Exit says so.
TEST_F(Recovery, AFolderThatFailsMidSessionMakesExitAskBeforeLosingWork) {
    ASSERT_TRUE(start({100, 300, 200}));
    AppDriver driver;
    driver.then("type in the help", [] {
        type_into(gadget_widget(GADGET_HELP), "unsa");
        return true;
    });
    driver.then("a copy is written, then the folder gives way to a file", [&] {
        if (copies().empty()) return false;
        fs::rename(folder_, scratch_.path() + "/moved");
        write_file(folder_, "no folder any more");
        type_into(gadget_widget(GADGET_HELP), "ved");
        return true;
    });
    exit_asks_twice(driver, QString::fromStdString(folder_ + "/instance-")).run_application();
    EXPECT_EQ(file_bytes(folder_), "no folder any more");
}

}  // namespace
