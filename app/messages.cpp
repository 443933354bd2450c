/** @file messages.cpp
 * Shared message boxes over the requester. */
#include "app/messages.h"

#include "runtime/ui/requester.h"

namespace {

// Why a file that is there cannot be opened, in the words of the message.
const char16_t* read_failure_reason(ExtensionReadOutcome outcome) {
    switch (outcome) {
    case EXTENSION_NOT_REGULAR:
        return u"it is not a regular file.";
    case EXTENSION_TOO_LARGE:
        return u"the file is too large to edit.";
    case EXTENSION_NOT_TEXT:
        return u"it is not a UTF-8 or UTF-16 text file.";
    default:
        return u"the file cannot be read.";
    }
}

}  // namespace

bool ask_confirm(const std::u16string& question, bool no_by_default) {
    return requester_message(u"Confirm", question.c_str(), MB_YESNO | (no_by_default ? MB_DEFBUTTON2 : 0)) == IDYES;
}

void show_message(const char16_t* title, const std::u16string& text) { requester_message(title, text.c_str(), MB_OK); }

void show_cannot_open(const std::u16string& path, ExtensionReadOutcome outcome) {
    show_cannot_open(path, read_failure_reason(outcome));
}

void show_cannot_open(const std::u16string& path, const char16_t* reason) {
    show_message(u"Error", u"Cannot open \"" + path + u"\": " + reason);
}
