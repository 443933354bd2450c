/** @file name_prompt.cpp
 * The extension-name prompt: a small window of our own with its own wait loop. */
#include "app/name_prompt.h"

#include <string>

#include "app/application.h"
#include "app/document.h"
#include "runtime/core/strings.h"
#include "runtime/ui/event.h"
#include "runtime/ui/gadget.h"
#include "runtime/ui/window.h"

namespace {

// Held apart from the area, in which the save builds strings of its own.
std::u16string field_text(ObjectNumber field) {
    TempScope scope;
    const char16_t* text = gadget_get_text(field, scope.start());
    return text ? text : u"";
}

}  // namespace

void ask_extension_name(void (*take_name)(const char16_t* name)) {
    ObjectNumber prompt = window_open(ANY_NUMBER, 0, 0, 400, 100, u"Enter the extension name", WINDOW_SCREEN_CENTERED);
    window_disable(WINDOW_MAIN, 1);
    window_set_topmost(prompt, 1);

    // Neither button is a default button, so Enter in the field saves nothing.
    ObjectNumber cancel_button = button_gadget_create(ANY_NUMBER, 10, 65, 100, 25, u"Cancel");
    ObjectNumber ok_button = button_gadget_create(ANY_NUMBER, 290, 65, 100, 25, u"OK");
    ObjectNumber name_field = string_gadget_create(ANY_NUMBER, 10, 10, 380, 25, current_extension_name());
    // The caret starts in the name field: whoever opens the prompt means to type a name, and a
    // prompt with no focused gadget swallows the first keys typed.
    gadget_set_focus(name_field);

    // Close requests, the main window's shortcuts and everything but the two buttons are ignored.
    for (bool done = false; !done;) {
        if (event_wait(-1) != EVENT_GADGET) continue;
        ObjectNumber gadget = event_object();
        if (gadget == ok_button) {
            take_name(field_text(name_field).c_str());
            done = true;
        } else if (gadget == cancel_button) {
            done = true;
        }
    }

    window_set_topmost(prompt, 0);
    window_disable(WINDOW_MAIN, 0);
    window_close(prompt);
    window_activate(WINDOW_MAIN);
}
