/** @file app_driver.h
 * Plays a person at the running application: steps run from a timer while the application's
 * own loop (and the modal waits inside its commands) dispatch events. */
#pragma once

#include <QString>

#include "app/application.h"

#include <functional>
#include <string>
#include <vector>

class QMessageBox;
class QWidget;

// A fresh current directory for one test (so Extensions/ starts absent), removed afterwards.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;  // owns a folder on disk
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
};

// Widgets of the running program.
QWidget* main_window();
QWidget* gadget_widget(long long number);
// The name prompt when it is shown, else null; the count of shown prompts.
QWidget* name_prompt();
int name_prompt_count();
QWidget* prompt_button(const QString& text);
QWidget* prompt_field();
// The message box that is open now, or null.
QMessageBox* open_message();

// Input as a person gives it.
void click(QWidget* widget);
// A click into a field, which takes the keyboard focus.
void focus_on(QWidget* field);
// A click into a field, then the keys of the text.
void type_into(QWidget* field, const QString& text);
// One key (with modifiers) to the widget that has the keyboard focus in the active window.
void press(int key, int modifiers = 0);
// Opens the main window's "File" menu and clicks the item with this text.
bool choose_menu_item(const QString& text);

// The texts of the program's fields as the runtime reads them.
std::u16string field_text(long long gadget);
std::u16string code_text();

// Bytes of a file; "<missing>" when it cannot be read.
// The bytes the program writes for five texts: each section's marker, its text and a blank line,
// all ending in CR LF.
std::string extension_file(const std::string& name, const std::string& author, const std::string& description,
                           const std::string& help, const std::string& code);
std::string file_bytes(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);

// Steps played from a 5 ms timer. A step returns true when it is done, false to be tried again on
// the next tick (it waits for something). A step that waits longer than the patience fails the test,
// and the driver then closes what is open and answers Exit with Yes so the loop ends.
class AppDriver {
public:
    using Step = std::function<bool()>;

    AppDriver& then(const std::string& what, Step step);
    // A key press as a step.
    AppDriver& key(int key, int modifiers = 0);
    // Waits for the message box, checks its title and text, and clicks the button with that text.
    AppDriver& answer(const QString& title, const QString& text, const QString& button);
    // Waits for the name prompt, checks its text and that the main window is disabled.
    AppDriver& expect_prompt(const QString& text);
    // Ctrl+X in the main window, then Yes to the question: the application's loop ends.
    AppDriver& exit_program();
    // Waits the given time with nothing to do, so that a wrong reaction would show.
    AppDriver& pause(int milliseconds);
    // Ctrl+O, the requester taken to the folder (the current one unless given), the path typed, then Enter
    // until it closes (the first Enter may only take the completion that typing offered).
    AppDriver& open_through_requester(const QString& path, const QString& folder = {});

    // Runs the program (application_run() unless another is given) until it returns; the steps are
    // played meanwhile. Fails the test when it ends with steps left or a step waited too long.
    void run_application(const std::function<void()>& program = application_run);

    // What the driver saw: every message box's title and text, in order.
    const std::vector<std::pair<QString, QString>>& messages_seen() const { return messages_; }

private:
    void tick();
    void rescue();

    struct Entry {
        std::string what;
        Step step;
    };
    std::vector<Entry> steps_;
    std::size_t next_ = 0;
    qint64 step_started_ = -1;
    bool in_tick_ = false;
    bool rescuing_ = false;
    qint64 rescue_started_ = -1;
    std::vector<std::pair<QString, QString>> messages_;
};
