/** @file gadget.cpp
 * The pure part of the gadgets: the registry, records, data and kind queries, the cleanup when a
 * control goes, the per-window gadget lists and the brush cache. Controls are in gadget_qt.cpp. */
#include "runtime/ui/gadget.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "runtime/core/memory.h"
#include "runtime/core/registry.h"
#include "runtime/core/strings.h"
#include "runtime/ui/event_internal.h"
#include "runtime/ui/font_internal.h"
#include "runtime/ui/gadget_internal.h"

namespace {

// The parent of gadgets created next and the nesting stack of parents (empty in this program).
struct GadgetState {
    NativeHandle current;
    NativeHandle default_font;  // null: the default GUI font
    NativeHandle* stack;
    int depth;
    int capacity;
};

// Per window that has been a gadget list: the state saved while another window is current.
struct GadgetListRecord {
    NativeHandle window;
    NativeHandle saved_current;
    NativeHandle* stack;
    int depth;
    int capacity;
    void* previous_procedure;
};

constexpr const char* GADGET_LIST_PROPERTY = "QZ_GadgetStack";
constexpr int STACK_CAPACITY = 10;

ObjectRegistry* the_registry = nullptr;
GadgetState* the_state = nullptr;

std::mutex brush_lock;
std::vector<GadgetBrush*> brush_cache;

NativeHandle* new_stack() {
    return static_cast<NativeHandle*>(heap_alloc_zeroed(runtime_heap(), sizeof(NativeHandle) * STACK_CAPACITY));
}

GadgetListRecord* list_record_of(NativeHandle window) {
    const WindowHost* host = window_host();
    if (!window || !host) return nullptr;
    return reinterpret_cast<GadgetListRecord*>(host->get_prop(window, GADGET_LIST_PROPERTY));
}

// A freed font stops being the default: gadgets created afterwards get the default GUI font.
// (Gadgets given the font earlier keep their own copy of it.)
void forget_font(FontHandle font) {
    if (the_state && font && the_state->default_font == font) the_state->default_font = nullptr;
}

}  // namespace

ObjectRegistry* gadget_registry() { return the_registry; }

void gadget_start() {
    if (the_state) return;
    the_registry = registry_create(sizeof(GadgetRecord), 50, [](ObjectNumber number) {
        if (GadgetRecord* record = gadget_lookup(number)) gadget_control_destroy(record->handle);
    });
    the_state = static_cast<GadgetState*>(heap_alloc_zeroed(runtime_heap(), sizeof(GadgetState)));
    the_state->stack = new_stack();
    the_state->capacity = STACK_CAPACITY;
    font_listen_for_free(forget_font);
}

void gadget_end() {
    if (!the_state) return;
    registry_free_all(the_registry);
    registry_destroy(the_registry);
    the_registry = nullptr;
    heap_free(runtime_heap(), the_state->stack);
    heap_free(runtime_heap(), the_state);
    the_state = nullptr;
    std::lock_guard<std::mutex> hold(brush_lock);
    for (GadgetBrush* brush : brush_cache) heap_free(runtime_heap(), brush);
    brush_cache.clear();
}

GadgetRecord* gadget_lookup(ObjectNumber gadget) {
    return the_registry ? static_cast<GadgetRecord*>(registry_lookup(the_registry, gadget)) : nullptr;
}

GadgetRecord* gadget_from_control(NativeHandle control, ObjectNumber* number) {
    const WindowHost* host = window_host();
    if (!control || !host || !the_registry) return nullptr;
    // A platform that keeps a control identifier of its own (GWL_ID) must agree with the property.
    ObjectNumber id = host->control_identifier(control);
    if (id < 0 || host->get_prop(control, GADGET_ID_PROPERTY) != id) return nullptr;
    auto* record = static_cast<GadgetRecord*>(registry_lookup(the_registry, id));
    if (!record || record->handle != control) return nullptr;
    if (number) *number = id;
    return record;
}

void gadget_control_destroyed(ObjectNumber number, NativeHandle control) {
    // The number may already name a newer control: only the control's own record is cleaned up.
    GadgetRecord* record = gadget_lookup(number);
    if (!record || record->handle != control) return;
    if (record->kind_table && record->kind_table->free) record->kind_table->free(record);
    event_queue_remove_gadget(number);
    registry_release(the_registry, number);
}

void gadget_set_data(ObjectNumber gadget, std::intptr_t data) {
    if (GadgetRecord* record = gadget_lookup(gadget)) record->user_data = data;
}

std::intptr_t gadget_get_data(ObjectNumber gadget) {
    GadgetRecord* record = gadget_lookup(gadget);
    return record ? record->user_data : 0;
}

int gadget_exists(ObjectNumber gadget) { return the_registry && registry_is_object(the_registry, gadget) ? 1 : 0; }

int gadget_set_focus(ObjectNumber gadget) {
    GadgetRecord* record = gadget_lookup(gadget);
    const WindowHost* host = window_host();
    if (!record || !host) return 0;
    host->set_focus(record->handle);
    return 1;
}

ObjectNumber gadget_with_focus(ObjectNumber window) {
    const WindowHost* host = window_host();
    NativeHandle handle = window_handle(window);
    if (!host || !handle) return -1;
    // The focus may sit on a widget inside a control (a viewport, a spin box's field).
    for (NativeHandle h = host->focus_in_window(handle); h; h = host->parent(h)) {
        ObjectNumber number = -1;
        if (gadget_from_control(h, &number)) return number;
    }
    return -1;
}

std::intptr_t gadget_get_state(ObjectNumber gadget) {
    GadgetRecord* record = gadget_lookup(gadget);
    return record && record->kind_table && record->kind_table->get_state ? record->kind_table->get_state(record) : 0;
}

void gadget_set_state(ObjectNumber gadget, std::intptr_t state) {
    GadgetRecord* record = gadget_lookup(gadget);
    if (record && record->kind_table && record->kind_table->set_state) record->kind_table->set_state(record, state);
}

int gadget_edit(ObjectNumber gadget, int action) {
    GadgetRecord* record = gadget_lookup(gadget);
    if (!record || !record->kind_table || !record->kind_table->edit) return 0;
    return record->kind_table->edit(record, action, true);
}

int gadget_can_edit(ObjectNumber gadget, int action) {
    GadgetRecord* record = gadget_lookup(gadget);
    if (!record || !record->kind_table || !record->kind_table->edit) return 0;
    return record->kind_table->edit(record, action, false);
}

int gadget_kind(ObjectNumber gadget) {
    GadgetRecord* record = gadget_lookup(gadget);
    return record && record->kind_table ? int(record->kind_table->kind) : 0;
}

void gadget_set_color(ObjectNumber gadget, int color_kind, std::intptr_t color) {
    GadgetRecord* record = gadget_lookup(gadget);
    if (record && record->kind_table && record->kind_table->set_color)
        record->kind_table->set_color(record, color_kind, color);
}

std::intptr_t gadget_get_color(ObjectNumber gadget, int color_kind) {
    GadgetRecord* record = gadget_lookup(gadget);
    if (record && record->kind_table && record->kind_table->get_color)
        return record->kind_table->get_color(record, color_kind);
    return -1;
}

int list_row_after_move(int selected, int by, int count) {
    if (count <= 0) return -1;
    if (selected < 0) return by > 0 ? 0 : -1;
    const long long row = static_cast<long long>(selected) + by;
    return static_cast<int>(std::clamp<long long>(row, 0, count - 1));
}

NativeHandle gadget_default_font() { return the_state ? the_state->default_font : nullptr; }

void gadget_set_default_font(NativeHandle font) {
    if (the_state) the_state->default_font = font;
}

// ---------------------------------------------------------------------------------------------

NativeHandle gadget_list_current() {
    if (!the_state) return nullptr;
    return the_state->depth > 0 ? the_state->stack[the_state->depth - 1] : the_state->current;
}

NativeHandle gadget_list_use(NativeHandle window) {
    NativeHandle result = gadget_list_current();
    const WindowHost* host = window_host();
    if (!window || !the_state || !host) return result;
    GadgetState& state = *the_state;
    if (state.current) {
        if (GadgetListRecord* saved = list_record_of(state.current)) {
            saved->saved_current = state.current;
            saved->stack = state.stack;
            saved->depth = state.depth;
            saved->capacity = state.capacity;
            state.stack = nullptr;  // the array now belongs to that record
        }
    }
    if (GadgetListRecord* record = list_record_of(window)) {
        if (state.stack && state.stack != record->stack) heap_free(runtime_heap(), state.stack);
        state.current = record->saved_current ? record->saved_current : window;
        state.stack = record->stack;
        state.depth = record->depth;
        state.capacity = record->capacity;
        record->stack = nullptr;
        if (!state.stack) {
            state.stack = new_stack();
            state.depth = 0;
            state.capacity = STACK_CAPACITY;
        }
        return result;
    }
    if (!state.stack) {
        state.stack = new_stack();
        state.capacity = STACK_CAPACITY;
    }
    state.depth = 0;
    state.current = window;
    auto* record = static_cast<GadgetListRecord*>(heap_alloc_zeroed(runtime_heap(), sizeof(GadgetListRecord)));
    if (record) {
        record->window = window;
        host->set_prop(window, GADGET_LIST_PROPERTY, reinterpret_cast<std::intptr_t>(record));
    }
    return result;
}

void gadget_list_forget(NativeHandle window) {
    if (!the_state) return;
    if (the_state->current == window) {
        the_state->current = nullptr;
        the_state->depth = 0;
    }
    GadgetListRecord* record = list_record_of(window);
    if (!record) return;
    heap_free(runtime_heap(), record->stack);
    heap_free(runtime_heap(), record);
    window_host()->remove_prop(window, GADGET_LIST_PROPERTY);
}

// ---------------------------------------------------------------------------------------------

GadgetBrush* gadget_brush_acquire(std::intptr_t color) {
    std::lock_guard<std::mutex> hold(brush_lock);
    for (GadgetBrush* brush : brush_cache)
        if (brush->color == color) {
            ++brush->references;
            return brush;
        }
    auto* brush = static_cast<GadgetBrush*>(heap_alloc(runtime_heap(), sizeof(GadgetBrush)));
    if (!brush) return nullptr;
    *brush = GadgetBrush{color, 1};
    brush_cache.push_back(brush);
    return brush;
}

void gadget_brush_release(GadgetBrush* brush) {
    if (!brush) return;
    std::lock_guard<std::mutex> hold(brush_lock);
    if (--brush->references > 0) return;
    for (auto it = brush_cache.begin(); it != brush_cache.end(); ++it)
        if (*it == brush) {
            brush_cache.erase(it);
            break;
        }
    heap_free(runtime_heap(), brush);
}

int gadget_brush_cache_size() {
    std::lock_guard<std::mutex> hold(brush_lock);
    return int(brush_cache.size());
}

std::string gadget_text_utf8(ObjectNumber gadget) {
    TempScope scope;
    const char16_t* text = gadget_get_text(gadget, scope.start());
    if (!text) return {};
    std::string bytes(std::size_t(string_byte_length(text, TEXT_UTF8)), '\0');
    string_to_memory(bytes.data(), text, -1, TEXT_UTF8);
    return bytes;
}
