/** @file application.cpp
 * Start-up of the runtime and the main window, the event loop, and shut-down. */
#include "app/application.h"

#include <algorithm>
#include <new>

#include "app/code_bytes.h"
#include "app/code_check.h"
#include "app/command_line.h"
#include "app/commands.h"
#include "app/edit_menu.h"
#include "app/find_bar.h"
#include "app/symbol_bar.h"
#include "app/layout.h"
#include "app/messages.h"
#include "app/recovery.h"
#include "app/settings.h"
#include "app/status_line.h"
#include "editor/code_editor.h"
#include "editor/names/names.h"
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

// A window that can be sized, minimised and maximised; it opens centred.
constexpr std::uint32_t MAIN_WINDOW_FLAGS =
    WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WINDOW_SCREEN_CENTERED;

// What the program remembers between runs; kept up to date while it runs.
Settings the_settings;

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

// The shorter of two waits, -1 standing for none.
int shorter_wait(int a, int b) { return a < 0 ? b : b < 0 ? a : std::min(a, b); }

// The fields that "Modified" and the recovery copy compare.
bool is_text_field(ObjectNumber gadget) {
    return gadget == GADGET_NAME || gadget == GADGET_AUTHOR || gadget == GADGET_DESCRIPTION || gadget == GADGET_HELP;
}

// The code editor's owner callback. The component announces an insertion or removal before it
// happens; either is a change of the code for its shared copy, the recovery copy and the check.
// Moves of the caret and changes reach the status line and the bracket highlight.
std::intptr_t code_notification(ObjectNumber gadget, const SCNotification* notification) {
    if (!notification) return 0;
    if (notification->nmhdr.code == SCN_MODIFIED &&
        (notification->modificationType & (SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE))) {
        code_bytes_changed();
        recovery_note_change();
        code_check_note_change();
    } else if (notification->nmhdr.code == SCN_UPDATEUI &&
               (notification->updated & (SC_UPDATE_CONTENT | SC_UPDATE_SELECTION))) {
        status_line_code_notification(notification);
        code_editor_highlight_braces(gadget);
    }
    return 0;
}

// What a command that ran out of memory says, in an "Error".
constexpr char16_t OUT_OF_MEMORY_TEXT[] = u"Memory ran out, so the last command was not carried out.";

// Hands an event to the part of the program it is for; false when the program is to end.
bool dispatch(int event);

// A sized window: the gadgets follow, and the size is remembered unless it is maximised.
void window_sized() {
    main_window_lay_out();
    const int state = window_get_state(WINDOW_MAIN);
    if (state == WINDOW_STATE_MINIMIZED) return;
    the_settings.maximized = state == WINDOW_STATE_MAXIMIZED;
    if (!the_settings.maximized) {
        the_settings.width = window_width(WINDOW_MAIN);
        the_settings.height = window_height(WINDOW_MAIN);
    }
}

}  // namespace

void application_start(int* toolkit_argc, char** toolkit_argv) {
    // Heap and string area, files, the toolkit's parts, and last the editing component.
    // A size given with -qwindowgeometry (or -geometry) stands for the remembered one, and is
    // fitted to the screen as that is; Qt places the window where the option says. Read before
    // the toolkit starts, which takes its options out.
    int given_width = 0, given_height = 0;
    const bool sized = toolkit_argc && toolkit_window_size(*toolkit_argc, toolkit_argv, &given_width, &given_height);
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

    the_settings = settings_load();
    int width = the_settings.width, height = the_settings.height;
    if (sized) width = given_width, height = given_height;
    const bool maximized = the_settings.maximized && !sized;
    window_open(WINDOW_MAIN, 0, 0, width, height, u"Quorval Extension Maker",
                MAIN_WINDOW_FLAGS | (maximized ? WINDOW_MAXIMIZE : 0));

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
    // Its notifications tell the recovery copy and the check about edits, as EN_CHANGE does for the
    // fields, and the status line about the caret.
    code_editor_create(GADGET_CODE, 220, 35, 794, 703, code_notification, EDITOR_LINE_NUMBERS);
    code_editor_configure_javascript(GADGET_CODE);
    code_editor_configure_syntax_marks(GADGET_CODE, SYNTAX_MARK_COLORS);
    names_start(GADGET_CODE, the_settings.highlight_occurrences);

    // Tab leaves the one-line fields, which never take a tab character; the code editor and the
    // multi-line fields keep Tab for themselves and are left with Ctrl+Tab, as in Qt and GTK
    // programs. The order is the order of creation: name, author, description, help, code, bar.
    shortcut_add_focus_keys(WINDOW_MAIN);
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
    edit_menus_build();
    window_set_callback(WINDOW_MAIN, edit_menus_message);
    set_code_zoom(the_settings.zoom);

    // In the margin under the fields, and under the code editor, closed.
    const MainLayout layout = main_layout(MAIN_WIDTH, MAIN_HEIGHT, 0);
    status_line_create(layout.status, layout.message);
    find_bar_create(the_settings);
    symbol_bar_create();

    // With its menu bar the window may no longer fit the screen; the gadgets then follow its size.
    window_set_bounds(WINDOW_MAIN, MAIN_MIN_WIDTH, MAIN_MIN_HEIGHT, 0, 0);
    window_fit_screen(WINDOW_MAIN);
    main_window_lay_out();
    // Last: the empty text of the start needs no check.
    code_check_start();
}

void main_window_lay_out() {
    const int width = window_width(WINDOW_MAIN), height = window_height(WINDOW_MAIN);
    const MainLayout unbarred = main_layout(width, height, 0);
    const int bar = find_bar_height(unbarred.code.width);
    const int symbols = symbol_bar_height(unbarred.code.height - bar);
    // Under the code editor: the find bar, then the Go to Symbol bar.
    const MainLayout layout = main_layout(width, height, bar + symbols);
    gadget_resize(GADGET_HELP, layout.help.x, layout.help.y, layout.help.width, layout.help.height);
    gadget_resize(GADGET_CODE, layout.code.x, layout.code.y, layout.code.width, layout.code.height);
    const GadgetPlace& under = layout.find_bar;
    find_bar_place({under.x, under.y, under.width, bar});
    symbol_bar_place({under.x, under.y + bar, under.width, symbols});
    status_line_place(layout.status, layout.message);
}

bool application_step(int longest_wait) {
    // Never past the moment the recovery copy, the check, the find count or the code's names are due.
    int wait = shorter_wait(recovery_wait_time(), code_check_wait_time());
    wait = shorter_wait(shorter_wait(wait, find_bar_wait_time()), names_wait_time(GADGET_CODE));
    wait = shorter_wait(wait, longest_wait);
    int event = event_wait(wait);
    bool go_on = true;
    // A command that runs out of memory stops where it stands: each builds what it needs before it
    // changes the texts, so they, their undo history and the recovery copy stay as they were.
    try {
        go_on = dispatch(event);
        if (go_on) {
            recovery_tick();
            code_check_tick();
            find_bar_tick();
            symbol_bar_tick();
            names_tick(GADGET_CODE);
        }
    } catch (const std::bad_alloc&) {
        show_message(u"Error", OUT_OF_MEMORY_TEXT);
    }
    return go_on;
}

namespace {

bool dispatch(int event) {
    bool go_on = true;
    if (event == EVENT_GADGET && find_bar_event(event_gadget(), event_type())) {
        // The find bar's own.
    } else if (event == EVENT_GADGET && symbol_bar_event(event_gadget(), event_type())) {
        // The Go to Symbol bar's own.
    } else if (event == EVENT_GADGET && event_type() == EN_CHANGE) {
        recovery_note_change();
        if (is_text_field(event_gadget())) status_line_field_changed(event_gadget());
    } else if (event == EVENT_WINDOW_SIZED && event_window() == WINDOW_MAIN) {
        window_sized();
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
            edit_menus_command(event_object());
            break;
        }
    }
    return go_on;
}

}  // namespace

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
    if (file) {
        try {
            open_extension_argument(file);
        } catch (const std::bad_alloc&) {
            show_message(u"Error", OUT_OF_MEMORY_TEXT);
        }
    }
    // After the file: a recovered text then replaces it on screen, while the file stays on disk.
    recovery_offer();
    application_run();
    recovery_end();
    the_settings.zoom = code_zoom();
    the_settings.highlight_occurrences = code_editor_occurrences_on(GADGET_CODE);
    find_bar_store_settings(&the_settings);
    settings_save(the_settings);
    application_end();
    return 0;
}
