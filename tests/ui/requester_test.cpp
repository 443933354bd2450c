// Requesters: button sets and results, the other windows disabled and restored around a dialog,
// and the open dialog answered as a person answers it (typing a name, pressing Escape).
#include "runtime/ui/requester_internal.h"

#include "runtime/core/strings.h"
#include "runtime/ui/event.h"
#include "runtime/ui/window_qt.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

// Pure parts ---------------------------------------------------------------------------------

TEST(RequesterRules, ButtonSetsAndDefaults) {
    EXPECT_EQ(requester_buttons(MB_OK), (std::vector<int>{IDOK}));
    EXPECT_EQ(requester_buttons(MB_OKCANCEL), (std::vector<int>{IDOK, IDCANCEL}));
    EXPECT_EQ(requester_buttons(MB_YESNOCANCEL), (std::vector<int>{IDYES, IDNO, IDCANCEL}));
    EXPECT_EQ(requester_buttons(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2), (std::vector<int>{IDYES, IDNO}));
    EXPECT_TRUE(requester_buttons(0xF).empty());
    EXPECT_EQ(requester_default_button(MB_YESNO), 0);
    EXPECT_EQ(requester_default_button(MB_YESNO | MB_DEFBUTTON2), 1);
    EXPECT_EQ(requester_default_button(MB_YESNOCANCEL | MB_DEFBUTTON3), 2);
    // A default beyond the buttons there are falls back to the first.
    EXPECT_EQ(requester_default_button(MB_OK | MB_DEFBUTTON2), 0);
}

TEST(RequesterRules, PatternStringsSplitIntoPairs) {
    auto filters = requester_parse_pattern(u"Quorval Extensions (*.qex)|*.qex");
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].description, u"Quorval Extensions (*.qex)");
    EXPECT_EQ(filters[0].patterns, u"*.qex");
    filters = requester_parse_pattern(u"Text|*.txt;*.text|All files|*.*|");
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].patterns, u"*.txt;*.text");
    EXPECT_EQ(filters[1].description, u"All files");
    EXPECT_EQ(filters[1].patterns, u"*.*");
    EXPECT_TRUE(requester_parse_pattern(nullptr).empty());
    EXPECT_TRUE(requester_parse_pattern(u"").empty());
    filters = requester_parse_pattern(u"Lonely");
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].patterns, u"");
}

TEST(RequesterRules, DefaultFileSplitsIntoFolderAndName) {
    RequesterDefault d = requester_split_default(u"/home/me/Extensions/demo.qex");
    EXPECT_EQ(d.directory, u"/home/me/Extensions");
    EXPECT_EQ(d.name, u"demo.qex");
    d = requester_split_default(u"demo.qex");
    EXPECT_EQ(d.directory, u"");
    EXPECT_EQ(d.name, u"demo.qex");
    // A wildcard in the name part sets only the folder.
    d = requester_split_default(u"Extensions\\*.qex");
    EXPECT_EQ(d.directory, u"Extensions");
    EXPECT_EQ(d.name, u"");
    // The empty default (what the application passes) and null: neither folder nor name.
    d = requester_split_default(u"");
    EXPECT_TRUE(d.directory.empty() && d.name.empty());
    d = requester_split_default(nullptr);
    EXPECT_TRUE(d.directory.empty() && d.name.empty());
    // A separator at the very start is not a folder: the whole text is the name, which is invalid.
    d = requester_split_default(u"/demo.qex");
    EXPECT_TRUE(d.directory.empty() && d.name.empty());
    // Long names are not cut.
    const std::u16string long_name(300, u'a');
    d = requester_split_default((u"/tmp/" + long_name).c_str());
    EXPECT_EQ(d.name.size(), 300u);
}

// With widgets ---------------------------------------------------------------------------------

// Runs `answer` on the modal dialog once it is open (polling, since it opens inside exec()); a
// dialog over another waits for a modal widget other than `under`.
void when_modal(std::function<void(QWidget*)> answer, QWidget* under = nullptr, int attempts = 300) {
    QTimer::singleShot(10, [answer, under, attempts] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != under) {
            answer(modal);
        } else if (attempts > 0) {
            when_modal(answer, under, attempts - 1);
        } else {
            ADD_FAILURE() << "no modal dialog opened";
        }
    });
}

QAbstractButton* button_named(QMessageBox* box, QMessageBox::StandardButton which) { return box->button(which); }

class RequesterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(window_open(0, 10, 10, 300, 200, u"Main", 0xC80000), 0);
        ASSERT_NE(window_open(1, 50, 50, 200, 100, u"Other", 0xC80000), 0);
        ASSERT_NE(window_open(2, 90, 90, 200, 100, u"Another", 0xC80000), 0);
        window_widget(window_handle(0))->activateWindow();
        QApplication::setActiveWindow(window_widget(window_handle(0)));
        QApplication::processEvents();
    }
    void TearDown() override {
        window_close(2);
        window_close(1);
        window_close(0);
        while (event_wait(0)) {}
    }
};

TEST_F(RequesterTest, MessageAnsweredNoGives7AndTheOtherWindowsComeBack) {
    QWidget* main = window_widget(window_handle(0));
    QWidget* other = window_widget(window_handle(1));
    QWidget* another = window_widget(window_handle(2));
    window_set_topmost(1, 1);
    window_disable(2, 1);  // already disabled before: stays so
    ASSERT_EQ(QApplication::activeWindow(), main);
    bool other_disabled = false, other_lowered = false, box_owned_by_main = false;
    QString title, text;
    when_modal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        other_disabled = !other->isEnabled();
        other_lowered = !other->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        box_owned_by_main = box->parentWidget() == main;
        title = box->windowTitle();
        text = box->text();
        // The default is Yes; No needs its own click.
        EXPECT_EQ(box->defaultButton(), button_named(box, QMessageBox::Yes));
        QTest::mouseClick(button_named(box, QMessageBox::No), Qt::LeftButton);
    });
    const int result = requester_message(u"Confirm", u"Exit from Quorval Extension Maker?", MB_YESNO);
    EXPECT_EQ(result, IDNO);
    EXPECT_EQ(title, "Confirm");
    EXPECT_EQ(text, "Exit from Quorval Extension Maker?");
    EXPECT_TRUE(box_owned_by_main);
    EXPECT_TRUE(other_disabled);
    EXPECT_TRUE(other_lowered);
    // Afterwards: enabled and topmost again; the window disabled before stays disabled.
    EXPECT_TRUE(other->isEnabled());
    EXPECT_TRUE(other->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(other->isVisible());
    EXPECT_FALSE(another->isEnabled());
    EXPECT_TRUE(main->isEnabled());
}

TEST_F(RequesterTest, YesEnterAndEscapeGiveTheirCodes) {
    when_modal([](QWidget* modal) {
        QTest::mouseClick(button_named(qobject_cast<QMessageBox*>(modal), QMessageBox::Yes), Qt::LeftButton);
    });
    EXPECT_EQ(requester_message(u"Confirm", u"Create a new extension?", MB_YESNO), IDYES);

    // The second button as default: Enter answers Cancel.
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    when_modal([&icon](QWidget* modal) {
        icon = qobject_cast<QMessageBox*>(modal)->icon();
        QTest::keyClick(modal, Qt::Key_Return);
    });
    EXPECT_EQ(requester_message(u"Question", u"Go on?", MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONWARNING), IDCANCEL);
    EXPECT_EQ(icon, QMessageBox::Warning);

    // Escape answers Cancel in a box that has one.
    when_modal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_EQ(requester_message(u"Question", u"Save first?", MB_YESNOCANCEL | MB_ICONQUESTION), IDCANCEL);

    // The short form: OK alone, and a null title reads "Error".
    QString title;
    when_modal([&title](QWidget* modal) {
        title = modal->windowTitle();
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    EXPECT_EQ(requester_message(nullptr, u"Failed. Please try again."), IDOK);
    EXPECT_EQ(title, "Error");
}

QFileDialog* file_dialog(QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    EXPECT_NE(dialog, nullptr);
    return dialog;
}

// Types a name into the dialog's file-name field and presses Enter.
void type_name_and_enter(QFileDialog* dialog, const QString& name) {
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, name);
    // A completion list that typing opened is closed first, as a person would.
    if (QWidget* popup = QApplication::activePopupWidget()) QTest::keyClick(popup, Qt::Key_Escape);
    QTest::keyClick(edit, Qt::Key_Return);
}

std::u16string open_file(const char16_t* title, const char16_t* default_file, const char16_t* pattern, int position) {
    TempScope scope;
    const char16_t* chosen = requester_open_file(title, default_file, pattern, position, scope.start());
    return chosen ? std::u16string(chosen) : std::u16string(u"(null)");
}

TEST_F(RequesterTest, OpenReturnsATypedMissingFileInAnExistingFolder) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString cwd = QDir::currentPath();
    const std::u16string start = (folder.path() + "/").toStdU16String();
    QString dialog_folder, dialog_title;
    QStringList filters;
    when_modal([&](QWidget* modal) {
        QFileDialog* dialog = file_dialog(modal);
        if (!dialog) return;
        dialog_folder = dialog->directory().absolutePath();
        dialog_title = dialog->windowTitle();
        filters = dialog->nameFilters();
        type_name_and_enter(dialog, "missing.qex");
    });
    const std::u16string chosen = open_file(u"Open extension", start.c_str(), u"Quorval Extensions (*.qex)|*.qex", 0);
    EXPECT_EQ(QString::fromStdU16String(chosen), folder.path() + "/missing.qex");
    EXPECT_EQ(dialog_folder, QDir(folder.path()).absolutePath());
    EXPECT_EQ(dialog_title, "Open extension");
    ASSERT_EQ(filters.size(), 1);
    EXPECT_TRUE(filters[0].startsWith("Quorval Extensions (*.qex)"));
    EXPECT_EQ(QDir::currentPath(), cwd);
    // The result stands in the temporary area like any temporary string.
    EXPECT_EQ(temp_area().position, temp_position());
}

TEST_F(RequesterTest, OpenCancelledGivesTheEmptyString) {
    when_modal([](QWidget* modal) {
        if (QFileDialog* dialog = file_dialog(modal)) QTest::keyClick(dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(open_file(u"Open", u"", u"Quorval Extensions (*.qex)|*.qex", 0), u"");
}

TEST_F(RequesterTest, OpenPresetsTheDefaultNameAndTheChosenPattern) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QFile existing(folder.path() + "/present.txt");
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    const std::u16string start = (folder.path() + "/present.txt").toStdU16String();
    QString preset, selected_filter;
    when_modal([&](QWidget* modal) {
        QFileDialog* dialog = file_dialog(modal);
        if (!dialog) return;
        preset = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
        selected_filter = dialog->selectedNameFilter();
        // Enter takes the preset name as it stands.
        QTest::keyClick(dialog->findChild<QLineEdit*>("fileNameEdit"), Qt::Key_Return);
    });
    const std::u16string chosen = open_file(u"Open", start.c_str(), u"Extensions|*.qex|Texts|*.txt;*.text", 1);
    EXPECT_EQ(preset, "present.txt");
    EXPECT_TRUE(selected_filter.startsWith("Texts")) << selected_filter.toStdString();
    EXPECT_EQ(QString::fromStdU16String(chosen), folder.path() + "/present.txt");
}

TEST_F(RequesterTest, OpenRefusesANameInAMissingFolderAndStaysOpen) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString missing = folder.path() + "/no such folder/name.qex";
    bool warned = false, stayed_open = false;
    when_modal([&](QWidget* modal) {
        QFileDialog* dialog = file_dialog(modal);
        if (!dialog) return;
        // The warning about the path opens over the dialog: answer it, then look at the dialog.
        when_modal(
            [&, dialog](QWidget* warning) {
                warned = qobject_cast<QMessageBox*>(warning) != nullptr;
                QTest::keyClick(warning, Qt::Key_Return);
                QTimer::singleShot(20, [&, dialog] {
                    stayed_open = dialog->isVisible() && QApplication::activeModalWidget() == dialog;
                    QTest::keyClick(dialog, Qt::Key_Escape);
                });
            },
            dialog);
        type_name_and_enter(dialog, missing);
        // Enter may leave it to the Open button, which a person then clicks; once Enter has
        // brought the warning, a click would only bring a second one that nobody answers.
        if (!warned && dialog->isVisible() && QApplication::activeModalWidget() == dialog) {
            QAbstractButton* open = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
            ASSERT_NE(open, nullptr);
            ASSERT_TRUE(open->isEnabled());
            QTest::mouseClick(open, Qt::LeftButton);
        }
    });
    const std::u16string start = (folder.path() + "/").toStdU16String();
    EXPECT_EQ(open_file(u"Open", start.c_str(), nullptr, 0), u"");
    EXPECT_TRUE(warned);
    EXPECT_TRUE(stayed_open);
}

}  // namespace
