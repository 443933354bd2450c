/** @file app_driver.cpp
 * Plays a person at the running application from a timer; see app_driver.h. */
#include "app_driver.h"

#include "app/application.h"
#include "editor/code_editor.h"
#include "runtime/core/strings.h"
#include "runtime/ui/gadget.h"
#include "runtime/ui/window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <unistd.h>

namespace {

constexpr qint64 STEP_PATIENCE_MS = 10000;
constexpr qint64 RESCUE_PATIENCE_MS = 10000;
const QString PROMPT_TITLE = QStringLiteral("Enter the extension name");
const QString EXIT_QUESTION = QStringLiteral("Exit from Quorval Extension Maker?");

qint64 now_ms() { return QDateTime::currentMSecsSinceEpoch(); }

QAbstractButton* message_button(QMessageBox* box, const QString& text) {
    for (QAbstractButton* button : box->buttons()) {
        if (button->text().remove(QLatin1Char('&')) == text) return button;
    }
    return nullptr;
}

}  // namespace

ScratchDirectory::ScratchDirectory() {
    char pattern[] = "/tmp/qem-app-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) std::abort();
    path_ = made;
    previous_ = std::filesystem::current_path().string();
    std::filesystem::current_path(path_);
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
}

QWidget* main_window() { return static_cast<QWidget*>(window_handle(WINDOW_MAIN)); }

QWidget* gadget_widget(long long number) {
    GadgetRecord* record = gadget_lookup(static_cast<ObjectNumber>(number));
    return record ? static_cast<QWidget*>(record->handle) : nullptr;
}

QWidget* name_prompt() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowTitle() == PROMPT_TITLE) return widget;
    }
    return nullptr;
}

int name_prompt_count() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowTitle() == PROMPT_TITLE) ++count;
    }
    return count;
}

QWidget* prompt_button(const QString& text) {
    QWidget* prompt = name_prompt();
    if (!prompt) return nullptr;
    for (QPushButton* button : prompt->findChildren<QPushButton*>()) {
        if (button->text() == text) return button;
    }
    return nullptr;
}

QWidget* prompt_field() {
    QWidget* prompt = name_prompt();
    return prompt ? prompt->findChild<QLineEdit*>() : nullptr;
}

QMessageBox* open_message() { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }

void click(QWidget* widget) {
    if (!widget) return;
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

void focus_on(QWidget* field) {
    if (!field) return;
    click(field);
    // A person's click focuses the field; the offscreen platform needs the window activated first.
    field->window()->activateWindow();
    field->setFocus(Qt::MouseFocusReason);
}

void type_into(QWidget* field, const QString& text) {
    if (!field) return;
    focus_on(field);
    // A line break is the Enter key, which keyClicks does not type.
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0) QTest::keyClick(field, Qt::Key_Return);
        QTest::keyClicks(field, lines[i]);
    }
}

void press(int key, int modifiers) {
    QWidget* target = QApplication::focusWidget();
    if (!target) target = QApplication::activeWindow();
    if (!target) target = main_window();
    QTest::keyClick(target, static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));
}

bool choose_menu_item(const QString& text) {
    QWidget* window = main_window();
    QMenuBar* bar = window ? window->findChild<QMenuBar*>() : nullptr;
    if (!bar || bar->actions().isEmpty()) return false;
    QAction* title = bar->actions().first();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->actionGeometry(title).center());
    QMenu* menu = title->menu();
    if (!menu || !menu->isVisible()) return false;
    // The action shows the label; the shortcut text after the tab is drawn beside it.
    const QString label = text.section(QLatin1Char('\t'), 0, 0);
    for (QAction* action : menu->actions()) {
        if (action->text() == label) {
            QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(action).center());
            return true;
        }
    }
    menu->close();
    return false;
}

std::u16string field_text(long long gadget) {
    std::int32_t p0 = temp_position();
    const char16_t* text = gadget_get_text(static_cast<ObjectNumber>(gadget), p0);
    std::u16string result = text ? std::u16string(text) : std::u16string();
    temp_reset(p0);
    return result;
}

std::u16string code_text() {
    std::int32_t p0 = temp_position();
    const char16_t* text = code_editor_get_text(GADGET_CODE);
    std::u16string result = text ? std::u16string(text) : std::u16string();
    temp_reset(p0);
    return result;
}

std::string extension_file(const std::string& name, const std::string& author, const std::string& description,
                           const std::string& help, const std::string& code) {
    auto section = [](const std::string& marker, const std::string& text) {
        return marker + "\r\n" + text + "\r\n\r\n";
    };
    return section("[EXTENSION]", name) + section("[AUTHOR]", author) + section("[DESCRIPTION]", description) +
           section("[HELP]", help) + section("[CODE]", code);
}

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

AppDriver& AppDriver::then(const std::string& what, Step step) {
    steps_.push_back({what, std::move(step)});
    return *this;
}

AppDriver& AppDriver::open_through_requester(const QString& path, const QString& folder) {
    key(Qt::Key_O, Qt::ControlModifier);
    then("type " + path.toStdString() + " in the requester", [path, folder] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return false;
        EXPECT_EQ(dialog->windowTitle().toStdString(), "Select a Quorval Extension...");
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        EXPECT_NE(name, nullptr);
        if (!name) return false;
        // The dialog picks its own folder, in one process the last one it showed (a folder of an
        // earlier test, perhaps gone by now): a path given without a folder is the current one's.
        dialog->setDirectory(folder.isEmpty() ? QDir::currentPath() : folder);
        type_into(name, path);
        return true;
    });
    return then("press Enter until the requester closes", [] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return true;
        if (QWidget* popup = QApplication::activePopupWidget())
            QTest::keyClick(popup, Qt::Key_Return);
        else if (QWidget* focus = QApplication::focusWidget())
            QTest::keyClick(focus, Qt::Key_Return);
        return false;
    });
}

AppDriver& AppDriver::key(int key, int modifiers) {
    std::ostringstream what;
    what << "press key 0x" << std::hex << key << " with modifiers 0x" << modifiers;
    return then(what.str(), [key, modifiers] {
        // Keys go to the program only when no message box is in the way.
        if (open_message()) return false;
        press(key, modifiers);
        return true;
    });
}

AppDriver& AppDriver::answer(const QString& title, const QString& text, const QString& button) {
    return then("answer \"" + text.toStdString() + "\" with " + button.toStdString(), [this, title, text, button] {
        QMessageBox* box = open_message();
        if (!box || !box->isVisible()) return false;
        messages_.emplace_back(box->windowTitle(), box->text());
        EXPECT_EQ(box->windowTitle().toStdString(), title.toStdString());
        EXPECT_EQ(box->text().toStdString(), text.toStdString());
        QAbstractButton* chosen = message_button(box, button);
        EXPECT_NE(chosen, nullptr) << "no button " << button.toStdString();
        if (!chosen) return false;
        click(chosen);
        return true;
    });
}

AppDriver& AppDriver::expect_prompt(const QString& text) {
    return then("the name prompt shows \"" + text.toStdString() + "\"", [text] {
        QWidget* prompt = name_prompt();
        if (!prompt) return false;
        auto* field = qobject_cast<QLineEdit*>(prompt_field());
        EXPECT_NE(field, nullptr);
        if (field) {
            EXPECT_EQ(field->text().toStdString(), text.toStdString());
        }
        EXPECT_FALSE(main_window()->isEnabled()) << "the main window takes input while the prompt is open";
        return true;
    });
}

AppDriver& AppDriver::exit_program() {
    key(Qt::Key_X, Qt::ControlModifier);
    return answer(QStringLiteral("Confirm"), EXIT_QUESTION, QStringLiteral("Yes"));
}

AppDriver& AppDriver::pause(int milliseconds) {
    auto until = std::make_shared<qint64>(-1);
    return then("pause", [until, milliseconds] {
        if (*until < 0) *until = now_ms() + milliseconds;
        return now_ms() >= *until;
    });
}

void AppDriver::tick() {
    // A step that ran a nested event loop would otherwise be re-entered from inside itself.
    if (in_tick_) return;
    in_tick_ = true;
    struct Leave {
        bool& flag;
        ~Leave() { flag = false; }
    } leave{in_tick_};
    if (rescuing_) {
        rescue();
        return;
    }
    if (next_ >= steps_.size()) return;
    if (step_started_ < 0) step_started_ = now_ms();
    if (steps_[next_].step()) {
        ++next_;
        step_started_ = -1;
    } else if (now_ms() - step_started_ > STEP_PATIENCE_MS) {
        ADD_FAILURE() << "step " << next_ + 1 << " (" << steps_[next_].what << ") waited too long";
        rescuing_ = true;
        rescue_started_ = now_ms();
    }
}

void AppDriver::rescue() {
    if (now_ms() - rescue_started_ > RESCUE_PATIENCE_MS) {
        std::fprintf(stderr, "the application could not be brought to an end\n");
        std::_Exit(1);
    }
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            QAbstractButton* yes = message_button(box, QStringLiteral("Yes"));
            if (box->text() == EXIT_QUESTION && yes) {
                click(yes);
                return;
            }
            box->done(0);
            return;
        }
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
        return;
    }
    if (QWidget* cancel = prompt_button(QStringLiteral("Cancel"))) {
        click(cancel);
        return;
    }
    if (QWidget* window = main_window()) {
        window->activateWindow();
        QTest::keyClick(window, Qt::Key_X, Qt::ControlModifier);
    }
}

void AppDriver::run_application(const std::function<void()>& program) {
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [this] { tick(); });
    timer.start();
    program();
    timer.stop();
    EXPECT_EQ(next_, steps_.size()) << "the application ended before step " << next_ + 1 << " ("
                                    << (next_ < steps_.size() ? steps_[next_].what : "") << ")";
}
