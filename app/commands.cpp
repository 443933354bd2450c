/** @file commands.cpp
 * New, Open, Save and the outcome message of a save; the current extension name. */
#include "app/commands.h"

#include "app/code_check.h"

#include "app/application.h"
#include "app/extension_file.h"
#include "app/name_prompt.h"
#include "app/recovery.h"
#include "editor/code_editor.h"
#include "runtime/core/strings.h"
#include "runtime/ui/gadget.h"
#include "runtime/ui/requester.h"

namespace {

StringVar current_name = nullptr;  // null is the empty string

bool confirm(const char16_t* question) { return requester_message(u"Confirm", question, MB_YESNO) == IDYES; }

// Why a file that is there cannot be opened, in the words of the message.
const char16_t* open_failure_reason(ExtensionReadOutcome outcome) {
    switch (outcome) {
    case EXTENSION_NOT_REGULAR:
        return u"\": it is not a regular file.";
    case EXTENSION_TOO_LARGE:
        return u"\": the file is too large to edit.";
    default:
        return u"\": the file cannot be read.";
    }
}

// Shows the text built in the scope, with an OK button. The text is held in a variable first:
// the message box may build strings of its own in the area.
void show_built_message(const char16_t* title, const TempScope& built) {
    StringVar message = nullptr;
    built.take(&message);
    requester_message(title, message, MB_OK);
    string_var_free(message);
}

void show_open_error(const char16_t* path, ExtensionReadOutcome outcome) {
    TempScope scope;
    temp_append(u"Cannot open \"");
    temp_append(path);
    temp_append(open_failure_reason(outcome));
    show_built_message(u"Error", scope);
}

void show_saved(const char16_t* name) {
    TempScope scope;
    temp_append(u"Extension: ");
    temp_append(name);
    temp_append(u" successfully saved.");
    show_built_message(u"Quorval Extension Maker", scope);
}

// The current name becomes the file part of the path, without ".qex".
void take_name_from_path(const char16_t* path) {
    TempScope scope;
    extension_name_from_path(path, scope.start());
    scope.take(&current_name);
}

// The four fields and the code, each taken into its own variable: the next read reuses the area.
ExtensionTexts gather_texts() {
    ExtensionTexts texts{};
    TempScope scope;
    gadget_get_text(GADGET_NAME, scope.start());
    scope.take(&texts.extension);
    gadget_get_text(GADGET_AUTHOR, scope.start());
    scope.take(&texts.author);
    gadget_get_text(GADGET_DESCRIPTION, scope.start());
    scope.take(&texts.description);
    gadget_get_text(GADGET_HELP, scope.start());
    scope.take(&texts.help);
    code_editor_get_text(GADGET_CODE);
    scope.take(&texts.code);
    return texts;
}

// "Extensions/" + the current name + ".qex", in a variable of its own.
StringVar current_file_path() {
    TempScope scope;
    extension_file_path(current_extension_name(), scope.start());
    StringVar path = nullptr;
    scope.take(&path);
    return path;
}

void clear_fields() {
    gadget_set_text(GADGET_NAME, u"");
    gadget_set_text(GADGET_AUTHOR, u"");
    gadget_set_text(GADGET_DESCRIPTION, u"");
    gadget_set_text(GADGET_HELP, u"");
    // The undo history is kept, so the editor's own undo can bring the old code back.
    code_editor_set_text(GADGET_CODE, u"", 0);
}

}  // namespace

const char16_t* current_extension_name() { return current_name ? current_name : u""; }

void set_current_extension_name(const char16_t* name) { string_var_assign(&current_name, name); }

bool confirm_new_extension() { return confirm(u"Create a new extension?"); }

bool confirm_exit() { return confirm(u"Exit from Quorval Extension Maker?"); }

void new_extension() {
    set_current_extension_name(u"");
    clear_fields();
    recovery_texts_settled();
    code_check_texts_settled();
}

void open_extension_file() {
    TempScope scope;
    const char16_t* path = requester_open_file(u"Select a Quorval Extension...", nullptr,
                                               u"Quorval Extensions (*.qex)|*.qex", 0, scope.start());
    if (!path || !*path) return;
    StringVar chosen = nullptr;
    scope.take(&chosen);
    if (open_extension_path(chosen)) {
        recovery_texts_settled();
        code_check_texts_settled();
    }
    string_var_free(chosen);
}

bool open_extension_path(const char16_t* path) {
    // Held apart: the path may lie in the temporary area, which reading moves.
    StringVar held = nullptr;
    string_var_assign(&held, path ? path : u"");
    ExtensionReadOutcome outcome = EXTENSION_READ;
    ExtensionTexts texts = read_extension_texts(held, &outcome);
    bool opened = outcome == EXTENSION_READ || outcome == EXTENSION_MISSING;
    if (opened) {
        take_name_from_path(held);
        clear_fields();
        gadget_set_text(GADGET_NAME, texts.extension);
        gadget_set_text(GADGET_AUTHOR, texts.author);
        gadget_set_text(GADGET_DESCRIPTION, texts.description);
        gadget_set_text(GADGET_HELP, texts.help);
        code_editor_set_text(GADGET_CODE, texts.code, 0);
    } else {
        show_open_error(held, outcome);
    }
    extension_texts_free(&texts);
    string_var_free(held);
    return opened;
}

void save_extension() {
    if (*current_extension_name() == u'\0')
        ask_extension_name();
    else
        write_extension_file();
}

void write_extension_file() {
    ExtensionTexts texts = gather_texts();
    StringVar path = current_file_path();
    int saved = write_extension_texts(path, texts);
    if (saved) recovery_texts_settled();
    string_var_free(path);
    extension_texts_free(&texts);

    if (saved)
        show_saved(current_extension_name());
    else
        requester_message(u"Error", u"Failed. Please try again.", MB_OK);
}
