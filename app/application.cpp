/** @file application.cpp
 * Start-up of the runtime and the main window, the event loop, and shut-down. */
#include "app/application.h"

#include <algorithm>

#include "app/code_bytes.h"
#include "app/code_check.h"
#include "app/command_line.h"
#include "app/commands.h"
#include "app/recovery.h"
#include "editor/code_editor.h"
#include "editor/scintilla.h"
#include "runtime/core/memory.h"
#include "runtime/core/strings.h"
#include "runtime/files/files.h"
#include "runtime/files/filesystem.h"
#include "runtime/ui/event.h"
#include "runtime/ui/font.h"
#include "runtime/ui/gadget.h"
#include "runtime/ui/image.h"
#include "runtime/ui/menu.h"
#include "runtime/ui/resources.h"
#include "runtime/ui/shortcut.h"
#include "runtime/ui/toolkit.h"
#include "runtime/ui/window.h"

#include <vector>

namespace {

// A window of fixed size: no sizing frame, no minimise or maximise box.
constexpr std::uint32_t MAIN_WINDOW_FLAGS = WS_CAPTION | WS_SYSMENU | WINDOW_SCREEN_CENTERED;

struct MenuEntry {
    ObjectNumber item;
    const char16_t* text;
    ObjectNumber image;
    const char* resource;        // name of the PNG in resources/
    const char* resource_twice;  // the same picture at twice the size, for screens at 200 %
    bool separator_before;
};

// The "File" menu in its order; a separator stands before Open and before Exit.
constexpr MenuEntry file_menu[] = {
    {MENU_NEW, u"New\tCtrl+N", IMAGE_NEW, "new", "new@2x", false},
    {MENU_OPEN, u"Open...\tCtrl+O", IMAGE_OPEN, "open", "open@2x", true},
    {MENU_SAVE, u"Save\tCtrl+S", IMAGE_SAVE, "save", "save@2x", false},
    {MENU_SAVE_AS, u"Save as...", IMAGE_SAVE_AS, "saveas", "saveas@2x", false},
    {MENU_EXIT, u"Exit\tCtrl+X", IMAGE_EXIT, "exit", "exit@2x", true},
};

struct ShortcutEntry {
    int value;
    ObjectNumber item;
};

// Save as has no shortcut.
constexpr ShortcutEntry main_shortcuts[] = {
    {SHORTCUT_CONTROL + VK_N, MENU_NEW},
    {SHORTCUT_CONTROL + VK_O, MENU_OPEN},
    {SHORTCUT_CONTROL + VK_S, MENU_SAVE},
    {SHORTCUT_CONTROL + VK_X, MENU_EXIT},
};

void ensure_extensions_folder() {
    // A file of that name makes the folder impossible; the program still runs and every
    // save then reports its failure.
    if (path_size(u"Extensions") != PATH_SIZE_DIRECTORY) directory_create(u"Extensions");
}

void catch_menu_images() {
    for (const MenuEntry& entry : file_menu) {
        const EmbeddedResource* png = embedded_resource(entry.resource);
        if (png) image_catch(entry.image, png->data, png->size);
        if (const EmbeddedResource* twice = embedded_resource(entry.resource_twice))
            image_catch_denser(entry.image, twice->data, twice->size);
    }
}

void build_file_menu() {
    image_menu_create(MENU_MAIN, window_handle(WINDOW_MAIN));
    menu_title(u"File");
    for (const MenuEntry& entry : file_menu) {
        if (entry.separator_before) menu_separator();
        menu_item(entry.item, entry.text, image_handle(entry.image));
    }
}

// A screen reader announces a field by the text of the label above it.
void name_after_label(ObjectNumber field, ObjectNumber label) {
    TempScope scope;
    gadget_set_accessible_name(field, gadget_get_text(label, scope.start()));
}

// The code editor's owner callback. The component announces an insertion or removal before it
// happens; either is a change of the code for its shared copy, the recovery copy and the check.
std::intptr_t code_changed(ObjectNumber, const SCNotification* notification) {
    if (notification && notification->nmhdr.code == SCN_MODIFIED &&
        (notification->modificationType & (SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE))) {
        code_bytes_changed();
        recovery_note_change();
        code_check_note_change();
    }
    return 0;
}

// The sooner of two waits in milliseconds, where -1 is none.
int sooner(int a, int b) { return a < 0 ? b : b < 0 ? a : std::min(a, b); }

}  // namespace

void application_start(int* toolkit_argc, char** toolkit_argv) {
    // Heap and string area, files, the toolkit's parts, and last the editing component.
    runtime_core_start();
    files_init();
    toolkit_start(toolkit_argc, toolkit_argv);
    scintilla_load();

    document_reset();
    ensure_extensions_folder();

    ObjectNumber code_font = font_load(ANY_NUMBER, u"Courier", 10, FONT_HIGH_QUALITY);
    ObjectNumber field_font = font_load(ANY_NUMBER, u"Arial", 10, FONT_HIGH_QUALITY);
    ObjectNumber label_font = font_load(ANY_NUMBER, u"Arial", 10, FONT_HIGH_QUALITY | FONT_BOLD);

    catch_menu_images();

    window_open(WINDOW_MAIN, 0, 0, 1024, 768, u"Quorval Extension Maker", MAIN_WINDOW_FLAGS);

    ObjectNumber name_label = text_gadget_create(ANY_NUMBER, 10, 10, 200, 22, u"Extension name");
    string_gadget_create(GADGET_NAME, 10, 35, 200, 22, u"");
    ObjectNumber author_label = text_gadget_create(ANY_NUMBER, 10, 65, 200, 22, u"Author");
    string_gadget_create(GADGET_AUTHOR, 10, 90, 200, 22, u"");
    ObjectNumber description_label = text_gadget_create(ANY_NUMBER, 10, 120, 200, 22, u"Description");
    editor_gadget_create(GADGET_DESCRIPTION, 10, 145, 200, 80);
    ObjectNumber help_label = text_gadget_create(ANY_NUMBER, 10, 245, 200, 22, u"Help");
    editor_gadget_create(GADGET_HELP, 10, 270, 200, 300);
    ObjectNumber code_label = text_gadget_create(ANY_NUMBER, 220, 10, 200, 22, u"Code");

    // Line numbers alone: keyword matching then ignores case.
    // Its notifications tell the recovery copy and the check about edits, as EN_CHANGE does for the fields.
    code_editor_create(GADGET_CODE, 220, 35, 794, 703, code_changed, EDITOR_LINE_NUMBERS);
    code_editor_configure_javascript(GADGET_CODE);
    code_editor_configure_syntax_marks(GADGET_CODE, SYNTAX_MARK_COLORS);

    // Without the Tab entries, Tab reaches the fields and the code editor instead of moving the focus.
    shortcut_remove(WINDOW_MAIN, SHORTCUT_ALL);
    code_editor_set_text(GADGET_CODE, u"", 0);

    gadget_set_font(name_label, font_handle(label_font));
    gadget_set_font(GADGET_NAME, font_handle(field_font));
    gadget_set_font(author_label, font_handle(label_font));
    gadget_set_font(GADGET_AUTHOR, font_handle(field_font));
    gadget_set_font(description_label, font_handle(label_font));
    gadget_set_font(GADGET_DESCRIPTION, font_handle(field_font));
    gadget_set_font(help_label, font_handle(label_font));
    gadget_set_font(GADGET_HELP, font_handle(field_font));
    gadget_set_font(code_label, font_handle(label_font));
    gadget_set_font(GADGET_CODE, font_handle(code_font));

    name_after_label(GADGET_NAME, name_label);
    name_after_label(GADGET_AUTHOR, author_label);
    name_after_label(GADGET_DESCRIPTION, description_label);
    name_after_label(GADGET_HELP, help_label);
    name_after_label(GADGET_CODE, code_label);

    build_file_menu();
    for (const ShortcutEntry& shortcut : main_shortcuts) shortcut_add(WINDOW_MAIN, shortcut.value, shortcut.item);
    // Last: the empty text of the start needs no check.
    code_check_start();
}

bool application_step(int longest_wait) {
    const int wait = sooner(sooner(recovery_wait_time(), code_check_wait_time()), longest_wait);
    int event = event_wait(wait);
    bool go_on = true;
    if (event == EVENT_GADGET && event_type() == EN_CHANGE) {
        recovery_note_change();
    } else if (event == EVENT_CLOSE_WINDOW) {
        go_on = !confirm_exit();
    } else if (event == EVENT_MENU) {
        switch (event_object()) {
        case MENU_NEW:
            if (confirm_new_extension()) new_extension();
            break;
        case MENU_OPEN:
            open_extension_file();
            break;
        case MENU_SAVE:
            save_extension();
            break;
        case MENU_SAVE_AS:
            save_extension_as();
            break;
        case MENU_EXIT:
            go_on = !confirm_exit();
            break;
        default:
            break;
        }
    }
    if (go_on) {
        recovery_tick();
        code_check_tick();
    }
    return go_on;
}

void application_run() {
    while (application_step()) {}
}

void application_end() {
    // The checker's thread first: it wakes the toolkit's loop when it answers.
    code_check_end();
    code_bytes_release();
    // The name lives in the string heap, which goes with the runtime.
    set_current_extension_name(nullptr);
    // Gadgets, windows, images and fonts; then the files, their pending output written; then the heaps.
    toolkit_end();
    files_end();
    runtime_core_end();
}

int application_main(int argc, char** argv) {
    // Qt's options first, so that "-style fusion" is never taken for an unknown option of ours.
    std::vector<char*> toolkit_argv(std::size_t(argc) + 1);
    int toolkit_argc = 0;
    argc = toolkit_take_options(argc, argv, toolkit_argv.data(), &toolkit_argc);
    const char* file = nullptr;
    if (int exit_code = command_line_read(argc, argv, &file); exit_code >= 0) return exit_code;
    application_start(&toolkit_argc, toolkit_argv.data());
    // Without a writable state folder the editor runs as ever, only without recovery copies.
    recovery_start();
    if (file) open_extension_argument(file);
    // After the file: a recovered text then replaces it on screen, while the file stays on disk.
    recovery_offer();
    application_run();
    recovery_end();
    application_end();
    return 0;
}
