/** @file menu.cpp
 * The menus registry and building state, and the measuring rules of image-menu items. */
#include "runtime/ui/menu_internal.h"

#include "runtime/core/memory.h"
#include "runtime/core/registry.h"

#include <cstring>

namespace {

ObjectRegistry* menus = nullptr;

// The building state: the current menu record, the native menu items go to, and its parents.
struct MenuBuildState {
    MenuRecord* record;
    void* current;
    void* stack[MENU_STACK_DEPTH];
    int depth;
};
MenuBuildState* state = nullptr;

void free_callback(ObjectNumber number) { menu_free(number); }

char16_t* copy_text(Heap* heap, const char16_t* text) {
    if (!text) text = u"";
    std::size_t length = 0;
    while (text[length]) ++length;
    auto* copy = static_cast<char16_t*>(heap_alloc(heap, (length + 1) * sizeof(char16_t)));
    if (copy) std::memcpy(copy, text, (length + 1) * sizeof(char16_t));
    return copy;
}

MenuItemRecord* new_item(MenuRecord* record, const char16_t* text, bool separator, ImageHandle image) {
    auto* item = static_cast<MenuItemRecord*>(heap_alloc_zeroed(record->item_heap, sizeof(MenuItemRecord)));
    if (!item) return nullptr;
    if (!separator) {
        item->text = copy_text(record->item_heap, text);
        if (!item->text) return nullptr;
    }
    item->image = image;
    item->style = record->style;
    return item;
}

void release(MenuRecord* record, ObjectNumber id) {
    if (state && state->record == record) {
        state->record = nullptr;
        state->current = nullptr;
        state->depth = 0;
    }
    if (record->item_heap) heap_destroy(record->item_heap);
    record->item_heap = nullptr;
    registry_release(menus, id);
}

}  // namespace

// Measuring rules -------------------------------------------------------------------------

MenuSize menu_measure_item(const char16_t* text, std::int32_t style, int text_width, int text_height) {
    if (!text) return {50, 9};
    int width = text_width + 28;
    if (menu_tab_position(text) >= 0 || (style & MENU_STYLE_SUBMENU)) width += 20;
    return {width, text_height + 6};
}

MenuRect menu_separator_line(int w, int h) { return {0, 4, w, h - 4}; }

MenuPoint menu_image_position(int h) { return {2, (h - 16) / 2 + 1}; }

MenuRect menu_text_rect(int w, int h) { return {20 + 8, 0, w - 8, h}; }

int menu_tab_position(const char16_t* text) {
    if (!text) return -1;
    for (int i = 0; text[i]; ++i)
        if (text[i] == u'\t') return i;
    return -1;
}

// Operations ------------------------------------------------------------------------------

MenuRecord* menu_lookup(ObjectNumber number) {
    return menus ? static_cast<MenuRecord*>(registry_lookup(menus, number)) : nullptr;
}

ObjectNumber menu_create(ObjectNumber number, NativeHandle owner) {
    if (!menus || !state) return 0;
    ObjectNumber id = 0;
    auto* record = static_cast<MenuRecord*>(registry_obtain(menus, number, &id));
    if (!record) return 0;
    void* bar = menu_native_create_bar(id);
    if (!bar) {
        if (number == ANY_NUMBER) registry_release(menus, id);
        return 0;
    }
    record->menu = bar;
    record->owner = owner;
    state->record = record;
    state->current = bar;
    state->depth = 0;
    return number == ANY_NUMBER ? id : reinterpret_cast<ObjectNumber>(bar);
}

ObjectNumber image_menu_create(ObjectNumber number, NativeHandle owner) {
    const ObjectNumber result = menu_create(number, owner);
    if (!result) return 0;
    MenuRecord* record = state->record;
    if (!record->is_image_menu) {
        record->item_heap = heap_create();
        if (!record->item_heap) {
            menu_free(number == ANY_NUMBER ? result : number);
            return 0;
        }
        record->is_image_menu = 1;
        record->style = 0;
    }
    return result;
}

int menu_title(const char16_t* text) {
    if (!state || !state->record) return 0;
    MenuRecord* record = state->record;
    if (state->depth > 0) {
        state->depth = 0;
        state->current = record->menu;
    }
    // Titles on a window's bar are plain text; a title in a bar without a window is drawn by the
    // image menu. (The depth was reset just above, so a title never nests here.)
    MenuItemRecord* item = nullptr;
    if (record->is_image_menu && !record->owner) {
        item = new_item(record, text, false, nullptr);
        if (item) item->style |= MENU_STYLE_SUBMENU;
    }
    void* dropdown = menu_native_add_dropdown(state->current, text, record->is_image_menu != 0, item, record->owner);
    if (!dropdown) return 0;
    if (state->depth < MENU_STACK_DEPTH) state->stack[state->depth++] = state->current;
    state->current = dropdown;
    if (record->owner) menu_native_set_bar(record->owner, record->menu);
    return 1;
}

int menu_item(ObjectNumber identifier, const char16_t* text, ImageHandle image) {
    if (!state || !state->record || !state->current) return 0;
    MenuRecord* record = state->record;
    MenuItemRecord* item = nullptr;
    if (record->is_image_menu) {
        item = new_item(record, text, false, image);
        if (!item) return 0;
    }
    menu_native_add_item(state->current, identifier, text ? text : u"", item, record->owner);
    if (record->owner) menu_native_set_bar(record->owner, record->menu);
    return 1;
}

int menu_separator() {
    if (!state || !state->record || !state->current) return 0;
    MenuRecord* record = state->record;
    MenuItemRecord* item = nullptr;
    if (record->is_image_menu) {
        item = new_item(record, nullptr, true, nullptr);
        if (!item) return 0;
    }
    menu_native_add_separator(state->current, item);
    return 1;
}

int menu_item_disable(ObjectNumber menu, ObjectNumber item, int state) {
    MenuRecord* record = menu_lookup(menu);
    if (!record) return 0;
    menu_native_disable_item(record->menu, item, state != 0);
    return 1;
}

int menu_item_check(ObjectNumber menu, ObjectNumber item, int state) {
    MenuRecord* record = menu_lookup(menu);
    if (!record) return 0;
    menu_native_check_item(record->menu, item, state != 0);
    return 1;
}

int menu_free(ObjectNumber number) {
    MenuRecord* record = menu_lookup(number);
    if (!record) return 0;
    void* bar = record->menu;
    if (record->owner) menu_native_set_bar(record->owner, nullptr);
    // Release first, so that the bar's destruction finds no record to release again.
    release(record, number);
    menu_native_delete_bar(bar);
    return 1;
}

void menu_bar_destroyed(void* bar, ObjectNumber id) {
    // The validating lookup, since menu_free releases a dynamic record before its bar goes. It
    // walks no enumeration: registry_free_all may be standing in one (menu_end).
    if (!menus || !registry_is_object(menus, id)) return;
    MenuRecord* record = menu_lookup(id);
    if (record && record->menu == bar) release(record, id);
}

void menu_start() {
    if (!menus) menus = registry_create(sizeof(MenuRecord), 16, free_callback);
    // An item whose image is freed draws without one, as an item given none.
    image_listen_for_free(menu_native_forget_image);
    if (!state) state = static_cast<MenuBuildState*>(heap_alloc_zeroed(runtime_heap(), sizeof(MenuBuildState)));
}

void menu_end() {
    if (menus) {
        registry_free_all(menus);
        registry_destroy(menus);
        menus = nullptr;
    }
    if (state) heap_free(runtime_heap(), state);
    state = nullptr;
}
