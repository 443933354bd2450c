/** @file edit_menu.cpp
 * The Edit and View menus as tables: an item's text, shortcuts, command, the test of whether it
 * can act and, for an item with a check mark, whether it shows. A new item is one more row. */
#include "app/edit_menu.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "app/application.h"
#include "app/code_check.h"
#include "app/find_bar.h"
#include "app/settings.h"
#include "app/symbol_bar.h"
#include "editor/code_editor.h"
#include "editor/names/names.h"
#include "editor/names/symbols.h"
#include "runtime/ui/event.h"
#include "runtime/ui/gadget.h"
#include "runtime/ui/menu.h"
#include "runtime/ui/shortcut.h"

namespace {

constexpr int CTRL = SHORTCUT_CONTROL;
constexpr int SHIFT = SHORTCUT_SHIFT;

// The field the clipboard items (and undo) act in: the one with the focus when it holds text,
// else the code editor.
ObjectNumber edit_target() {
    const ObjectNumber focused = gadget_with_focus(WINDOW_MAIN);
    switch (gadget_kind(focused)) {
    case GADGET_KIND_STRING:
    case GADGET_KIND_EDITOR:
    case GADGET_KIND_CODE_EDITOR:
        return focused;
    default:
        return GADGET_CODE;
    }
}

template <int ACTION>
void edit() {
    gadget_edit(edit_target(), ACTION);
}

template <int ACTION>
bool can_edit() {
    return gadget_can_edit(edit_target(), ACTION) != 0;
}

template <FindBarMode MODE>
void open_bar() {
    find_bar_open(MODE);
}

void find_next() { find_bar_step(true); }
void find_previous() { find_bar_step(false); }
void toggle_comment() { code_editor_toggle_comment(GADGET_CODE); }
void go_to_error() { code_check_go_to_error(); }
bool error_marked() { return !code_check_status_text().empty(); }
void zoom_in() { set_code_zoom(code_zoom() + 1); }
void zoom_out() { set_code_zoom(code_zoom() - 1); }
void zoom_normal() { set_code_zoom(0); }
bool can_zoom_in() { return code_zoom() < ZOOM_MOST; }
bool can_zoom_out() { return code_zoom() > ZOOM_LEAST; }
bool zoomed() { return code_zoom() != 0; }
bool code_has_focus() { return gadget_with_focus(WINDOW_MAIN) == GADGET_CODE; }

// The declared names come first in the list: those of the index as last checked.
void complete_word() {
    const std::shared_ptr<const SymbolIndex> symbols = code_check_symbols();
    std::vector<std::string_view> declared;
    if (symbols)
        for (std::size_t i = 0; i < symbols->size(); ++i) declared.push_back(symbols->at(i).name);
    code_editor_complete_word(GADGET_CODE, declared);
}

bool occurrences_on() { return code_editor_occurrences_on(GADGET_CODE); }
void toggle_occurrences() { code_editor_set_occurrences(GADGET_CODE, !occurrences_on()); }

struct MenuCommand {
    ObjectNumber item;
    const char16_t* text;  // the shortcut shown after the tab is the first of `shortcuts`
    bool separator_before;
    int shortcuts[3];  // 0 ends the list
    void (*run)();
    bool (*can_act)();            // null: always
    bool (*checked)() = nullptr;  // an item with a check mark: whether it shows; null: none
};

const MenuCommand edit_commands[] = {
    {MENU_UNDO, u"Undo\tCtrl+Z", false, {CTRL + VK_Z}, edit<EDIT_UNDO>, can_edit<EDIT_UNDO>},
    {MENU_REDO, u"Redo\tCtrl+Y", false, {CTRL + VK_Y, CTRL + SHIFT + VK_Z}, edit<EDIT_REDO>, can_edit<EDIT_REDO>},
    // Ctrl+X stays Exit.
    {MENU_CUT, u"Cut\tShift+Delete", true, {SHIFT + VK_DELETE}, edit<EDIT_CUT>, can_edit<EDIT_CUT>},
    {MENU_COPY, u"Copy\tCtrl+C", false, {CTRL + VK_C}, edit<EDIT_COPY>, can_edit<EDIT_COPY>},
    {MENU_PASTE, u"Paste\tCtrl+V", false, {CTRL + VK_V}, edit<EDIT_PASTE>, can_edit<EDIT_PASTE>},
    {MENU_SELECT_ALL, u"Select All\tCtrl+A", false, {CTRL + VK_A}, edit<EDIT_SELECT_ALL>, can_edit<EDIT_SELECT_ALL>},
    {MENU_FIND, u"Find...\tCtrl+F", true, {CTRL + VK_F}, open_bar<FIND_BAR_FIND>, nullptr},
    {MENU_FIND_NEXT, u"Find Next\tF3", false, {VK_F3}, find_next, find_bar_has_pattern},
    {MENU_FIND_PREVIOUS, u"Find Previous\tShift+F3", false, {SHIFT + VK_F3}, find_previous, find_bar_has_pattern},
    {MENU_REPLACE, u"Replace...\tCtrl+H", false, {CTRL + VK_H}, open_bar<FIND_BAR_REPLACE>, nullptr},
    {MENU_GO_TO_LINE, u"Go to Line...\tCtrl+G", false, {CTRL + VK_G}, open_bar<FIND_BAR_GO_TO>, nullptr},
    {MENU_GO_TO_SYMBOL, u"Go to Symbol...\tCtrl+Shift+O", false, {CTRL + SHIFT + VK_O}, symbol_bar_open, nullptr},
    {MENU_GO_TO_ERROR, u"Go to Error\tF8", false, {VK_F8}, go_to_error, error_marked},
    {MENU_TOGGLE_COMMENT, u"Toggle Comment\tCtrl+/", true, {CTRL + VK_OEM_2}, toggle_comment, nullptr},
    {MENU_COMPLETE_WORD, u"Complete Word\tCtrl+Space", false, {CTRL + VK_SPACE}, complete_word, code_has_focus},
};

// Ctrl++ is Ctrl+Shift+= on most keyboards; the keypad's keys do the same.
const MenuCommand view_commands[] = {
    {MENU_ZOOM_IN,
     u"Zoom In\tCtrl+=",
     false,
     {CTRL + VK_OEM_PLUS, CTRL + SHIFT + VK_OEM_PLUS, CTRL + VK_ADD},
     zoom_in,
     can_zoom_in},
    {MENU_ZOOM_OUT, u"Zoom Out\tCtrl+-", false, {CTRL + VK_OEM_MINUS, CTRL + VK_SUBTRACT}, zoom_out, can_zoom_out},
    {MENU_ZOOM_NORMAL, u"Normal Size\tCtrl+0", false, {CTRL + '0', CTRL + VK_NUMPAD0}, zoom_normal, zoomed},
    {MENU_HIGHLIGHT_OCCURRENCES, u"Highlight Occurrences", true, {}, toggle_occurrences, nullptr, occurrences_on},
};

struct Menu {
    const char16_t* title;
    const MenuCommand* commands;
    std::size_t count;
};

// After "File", at places 1 and 2 of the bar.
const Menu menus[] = {
    {u"Edit", edit_commands, std::size(edit_commands)},
    {u"View", view_commands, std::size(view_commands)},
};
constexpr std::intptr_t FIRST_PLACE = 1;

}  // namespace

void edit_menus_build() {
    for (const Menu& menu : menus) {
        menu_title(menu.title);
        for (std::size_t i = 0; i < menu.count; ++i) {
            const MenuCommand& command = menu.commands[i];
            if (command.separator_before) menu_separator();
            menu_item(command.item, command.text, nullptr);
            if (command.checked) menu_item_check(MENU_MAIN, command.item, command.checked() ? 1 : 0);
            for (int shortcut : command.shortcuts)
                if (shortcut) shortcut_add(WINDOW_MAIN, shortcut, command.item);
        }
    }
}

bool edit_menus_command(ObjectNumber item) {
    for (const Menu& menu : menus)
        for (std::size_t i = 0; i < menu.count; ++i) {
            const MenuCommand& command = menu.commands[i];
            if (command.item != item) continue;
            // A shortcut acts only when its item could.
            if (!command.can_act || command.can_act()) command.run();
            if (command.checked) menu_item_check(MENU_MAIN, command.item, command.checked() ? 1 : 0);
            return true;
        }
    return false;
}

std::intptr_t edit_menus_message(NativeHandle, unsigned message, std::uintptr_t, std::intptr_t lparam) {
    if (message != WM_INITMENUPOPUP) return CALLBACK_CONTINUE;
    const std::intptr_t place = lparam & 0xFFFF;
    if (place < FIRST_PLACE || place >= FIRST_PLACE + std::intptr_t(std::size(menus))) return CALLBACK_CONTINUE;
    const Menu& menu = menus[place - FIRST_PLACE];
    for (std::size_t i = 0; i < menu.count; ++i) {
        const MenuCommand& command = menu.commands[i];
        menu_item_disable(MENU_MAIN, command.item, command.can_act && !command.can_act() ? 1 : 0);
        if (command.checked) menu_item_check(MENU_MAIN, command.item, command.checked() ? 1 : 0);
    }
    return CALLBACK_CONTINUE;
}

int code_zoom() { return int(scintilla_send(GADGET_CODE, SCI_GETZOOM)); }

void set_code_zoom(int zoom) {
    scintilla_send(GADGET_CODE, SCI_SETZOOM, std::uintptr_t(std::clamp(zoom, ZOOM_LEAST, ZOOM_MOST)));
}
