/** @file event.cpp
 * The event record, the event queue and its node pool, event_wait, and the toolkit window
 * procedure over Windows message numbers. No Qt here: the platform sits behind WindowHost. */
#include "runtime/ui/event_internal.h"

#include <atomic>
#include <chrono>

#include "runtime/core/memory.h"
#include "runtime/core/registry.h"
#include "runtime/ui/gadget.h"
#include "runtime/ui/shortcut_internal.h"
#include "runtime/ui/window_internal.h"

namespace {

struct EventQueue {
    EventNode* head;
    EventNode* tail;
    int suspended;
    int length;
    BlockPool* pool;
};

EventRecord* the_record = nullptr;
EventQueue the_queue = {};
const WindowHost* the_host = nullptr;
// The host as other threads see it, for event_wake.
std::atomic<const WindowHost*> the_shared_host{nullptr};
// Set by event_wake from any thread; the running or next event_wait returns when it sees it.
std::atomic<bool> woken{false};
// True while event_wait runs the dispatcher: only then may the window procedure hand its event
// straight to the running wait.
bool dispatching = false;

void release_node(EventNode* node) {
    if (node->data && node->data_release) node->data_release(node->data);
    pool_free(the_queue.pool, node);
}

// Frees the drop record: a block whose fifth pointer-wide field points to a second block.
void free_drop_data(EventRecord* record) {
    if (!record->drop_data) return;
    void** block = static_cast<void**>(record->drop_data);
    heap_free(runtime_heap(), block[4]);
    heap_free(runtime_heap(), block);
    record->drop_data = nullptr;
}

template <typename Keep>
void remove_nodes(Keep keep) {
    EventNode* previous = nullptr;
    EventNode* node = the_queue.head;
    while (node) {
        EventNode* next = node->next;
        if (keep(node)) {
            previous = node;
        } else {
            if (previous)
                previous->next = next;
            else
                the_queue.head = next;
            if (the_queue.tail == node) the_queue.tail = previous;
            --the_queue.length;
            release_node(node);
        }
        node = next;
    }
}

}  // namespace

EventRecord* event_record() { return the_record; }

void event_start() {
    if (the_record) return;
    the_record = static_cast<EventRecord*>(heap_alloc_zeroed(runtime_heap(), sizeof(EventRecord)));
    the_queue = {};
    // Nodes come in chunks of 64 so that bursts of sizing or repaint events cost no allocation each.
    the_queue.pool = pool_create(sizeof(EventNode), 64, 64, 0);
}

void event_end() {
    if (!the_record) return;
    event_queue_clear();
    EventFields& published = the_record->published;
    if (published.data && published.data_release) published.data_release(published.data);
    free_drop_data(the_record);
    pool_destroy(the_queue.pool);
    the_queue = {};
    heap_free(runtime_heap(), the_record);
    the_record = nullptr;
}

void event_enqueue(int code, ObjectNumber object, ObjectNumber window, std::intptr_t type, void* data,
                   EventDataRelease data_release) {
    if (!the_queue.pool || the_queue.suspended) return;
    EventNode* tail = the_queue.tail;
    if (tail && tail->code == code && tail->object == object && tail->window == window && tail->type == type) return;
    auto* node = static_cast<EventNode*>(pool_alloc(the_queue.pool));
    if (!node) return;
    *node = EventNode{nullptr, code, object, window, type, data, data_release};
    if (tail)
        tail->next = node;
    else
        the_queue.head = node;
    the_queue.tail = node;
    ++the_queue.length;
}

void event_raise(int code, ObjectNumber object, ObjectNumber window, std::intptr_t type) {
    if (!the_record) return;
    EventFields& w = the_record->working;
    if (dispatching && w.pending_event == 0) {
        w.pending_event = code;
        w.object = object;
        w.window = window;
        w.type = type;
        return;
    }
    event_enqueue(code, object, window, type);
}

void event_queue_suspend(int suspended) { the_queue.suspended = suspended ? 1 : 0; }
int event_queue_suspended() { return the_queue.suspended; }
bool event_queue_empty() { return the_queue.head == nullptr; }
int event_queue_length() { return the_queue.length; }

bool event_queue_take(EventNode* out) {
    EventNode* node = the_queue.head;
    if (!node) return false;
    the_queue.head = node->next;
    if (!the_queue.head) the_queue.tail = nullptr;
    --the_queue.length;
    *out = *node;
    out->next = nullptr;
    pool_free(the_queue.pool, node);
    return true;
}

void event_queue_remove_window(ObjectNumber window) {
    remove_nodes([window](const EventNode* n) { return n->window != window; });
}

void event_queue_remove_gadget(ObjectNumber gadget) {
    remove_nodes([gadget](const EventNode* n) { return !(n->code == EVENT_GADGET && n->object == gadget); });
}

void event_queue_clear() {
    remove_nodes([](const EventNode*) { return false; });
}

// ---------------------------------------------------------------------------------------------

int event_wait(int timeout) {
    EventRecord* record = the_record;
    if (!record) return 0;
    EventFields& published = record->published;
    if (published.data && published.data_release) {
        published.data_release(published.data);
        published.data = nullptr;
        published.data_release = nullptr;
    }
    free_drop_data(record);

    EventFields& w = record->working;
    w.type = -1;
    w.pending_event = 0;
    w.data = nullptr;
    w.data_release = nullptr;

    int result = 0;
    if (event_queue_empty() && the_host && the_host->pump) {
        dispatching = true;
        if (timeout == 0) {
            the_host->pump(0);
        } else if (timeout < 0) {
            while (w.pending_event == 0 && event_queue_empty() && !woken) the_host->pump(-1);
        } else {
            using Clock = std::chrono::steady_clock;
            const auto deadline = Clock::now() + std::chrono::milliseconds(timeout);
            while (w.pending_event == 0 && event_queue_empty() && !woken) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
                if (left <= 0) break;
                the_host->pump(int(left));
            }
        }
        dispatching = false;
    }
    // Whatever woke it is looked at by the caller after this wait.
    woken = false;
    if (w.pending_event != 0) {
        result = int(w.pending_event);
        w.pending_event = 0;
    } else {
        EventNode node;
        if (event_queue_take(&node)) {
            result = node.code;
            w.object = node.object;
            w.window = node.window;
            w.type = node.type;
            w.data = node.data;
            w.data_release = node.data_release;
            w.wparam = 0;
            w.lparam = 0;
        }
    }
    published = w;
    published.pending_event = 0;
    return result;
}

ObjectNumber event_object() { return the_record ? the_record->published.object : 0; }
ObjectNumber event_menu() { return event_object(); }
ObjectNumber event_gadget() { return event_object(); }
ObjectNumber event_window() { return the_record ? the_record->published.window : -1; }
std::intptr_t event_type() { return the_record ? the_record->published.type : -1; }

// ---------------------------------------------------------------------------------------------

void window_host_install(const WindowHost* host) {
    the_host = host;
    the_shared_host = host;
}

void event_wake() {
    woken = true;
    const WindowHost* host = the_shared_host;
    if (host && host->post_message) host->post_message(nullptr, WM_NULL, 0, 0);
}
const WindowHost* window_host() { return the_host; }

ObjectNumber window_find_toolkit(NativeHandle hwnd, WindowRecord** record) {
    if (record) *record = nullptr;
    if (!the_host) return -1;
    for (NativeHandle h = hwnd; h; h = the_host->parent(h)) {
        std::intptr_t id = the_host->get_prop(h, WINDOW_ID_PROPERTY);
        if (id) {
            ObjectNumber number = ObjectNumber(id - 1);
            if (record) *record = window_lookup(number);
            return number;
        }
    }
    return -1;
}

namespace {

std::intptr_t default_processing(NativeHandle hwnd, unsigned message, std::uintptr_t wparam, std::intptr_t lparam) {
    return the_host && the_host->default_procedure ? the_host->default_procedure(hwnd, message, wparam, lparam) : 0;
}

// Offers a message to the gadget of a control; NOT_HANDLED when there is none or it declines.
std::intptr_t offer_to_gadget(NativeHandle control, NativeHandle parent, unsigned message, std::uintptr_t wparam,
                              std::intptr_t lparam) {
    if (!control) return NOT_HANDLED;
    GadgetRecord* gadget = gadget_from_control(control);
    if (!gadget || !gadget->kind_table || !gadget->kind_table->parent_message) return NOT_HANDLED;
    return gadget->kind_table->parent_message(gadget, parent, message, wparam, lparam);
}

void handle_size(WindowRecord* record, ObjectNumber number, std::uintptr_t kind) {
    if (kind == SIZE_MINIMIZED) {
        record->min_or_max = 1;
        event_enqueue(EVENT_WINDOW_MINIMIZED, 0, number, 0);
        return;
    }
    if (kind == SIZE_MAXIMIZED) {
        record->min_or_max = 1;
        event_enqueue(EVENT_WINDOW_MAXIMIZED, 0, number, 0);
    } else if (kind == SIZE_RESTORED && record->min_or_max == 1) {
        record->min_or_max = 0;
        event_enqueue(EVENT_WINDOW_RESTORED, 0, number, 0);
    }
    event_enqueue(EVENT_WINDOW_SIZED, 0, number, 0);
}

}  // namespace

std::intptr_t window_procedure(NativeHandle hwnd, unsigned message, std::uintptr_t wparam, std::intptr_t lparam) {
    // Live sizing is the window manager's on this platform, so it never takes a message first.
    WindowRecord* record = nullptr;
    ObjectNumber number = window_find_toolkit(hwnd, &record);

    WindowCallback callback = record && record->window_callback ? record->window_callback
                              : the_record                      ? the_record->global_callback
                                                                : nullptr;
    if (callback) {
        std::intptr_t answer = callback(hwnd, message, wparam, lparam);
        if (answer != CALLBACK_CONTINUE) return answer;
    }
    if (the_record) the_record->working.window = number;
    const bool itself = record && record->handle == hwnd;

    switch (message) {
    case WM_MOVE:
    case WM_CLOSE:
        // The window stays on WM_CLOSE: only the application closes it.
        if (itself) {
            event_enqueue(int(message), number, number, 0);
            return 0;
        }
        break;
    case WM_SIZE:
        if (record && !itself) return 1;
        if (!record) break;
        handle_size(record, number, wparam);
        return 0;
    case WM_ACTIVATE:
        if (!record) break;
        if (low_word(wparam) != 0) {
            NativeHandle saved =
                reinterpret_cast<NativeHandle>(the_host->get_prop(record->handle, WINDOW_FOCUS_PROPERTY));
            if (saved) the_host->set_focus(saved);
            event_enqueue(EVENT_WINDOW_ACTIVATED, number, number, 0);
        } else {
            NativeHandle focus = the_host->focus_in_window(record->handle);
            the_host->set_prop(record->handle, WINDOW_FOCUS_PROPERTY, reinterpret_cast<std::intptr_t>(focus));
        }
        return 1;
    case WM_ERASEBKGND:
        if (record && itself) {
            std::intptr_t result = 0;
            bool painted = false;
            if (record->background_brush) {
                result = 1;
                painted = true;
            } else if (record->background_painter) {
                result = record->background_painter(reinterpret_cast<void*>(wparam), hwnd);
                painted = true;
            }
            event_enqueue(EVENT_REPAINT, number, number, 0);
            if (painted) return result;
        }
        break;
    case WM_GETMINMAXINFO:
        if (record && lparam) {
            auto* info = reinterpret_cast<MinMaxInfo*>(lparam);
            if (record->min_width)
                info->min_track_size.x = record->min_width;
            else if (the_host->get_prop(record->handle, WINDOW_TOOL_PROPERTY))
                info->min_track_size.x = 1;
            if (record->min_height) info->min_track_size.y = record->min_height;
            if (record->max_width) info->max_track_size.x = record->max_width;
            if (record->max_height) info->max_track_size.y = record->max_height;
            return 0;
        }
        break;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<const NotifyHeader*>(lparam);
        std::intptr_t result = header ? offer_to_gadget(header->hwndFrom, hwnd, message, wparam, lparam) : NOT_HANDLED;
        if (result != NOT_HANDLED) return result;
        break;
    }
    case WM_COMMAND: {
        NativeHandle control = reinterpret_cast<NativeHandle>(lparam);
        if (control && offer_to_gadget(control, hwnd, message, wparam, lparam) != NOT_HANDLED) return 0;
        if (control) {
            ObjectNumber id = the_host->control_identifier(control);
            if (id == TOOLBAR_IDENTIFIER)
                event_raise(EVENT_MENU, low_word(wparam), number, -1);
            else
                event_raise(EVENT_GADGET, id, number, high_word(wparam));
        } else if (high_word(wparam) == 1) {
            unsigned command = low_word(wparam);
            if (command == COMMAND_FOCUS_NEXT)
                the_host->move_focus(true);
            else if (command == COMMAND_FOCUS_PREVIOUS)
                the_host->move_focus(false);
            else
                event_raise(EVENT_MENU, command, number, -1);
        } else {
            event_raise(EVENT_MENU, ObjectNumber(wparam), number, -1);
        }
        return 0;
    }
    case WM_TIMER:
        if (record) {
            event_raise(EVENT_TIMER, ObjectNumber(wparam), number, -1);
            return 0;
        }
        break;
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_TOOLKIT_GADGET: {
        std::intptr_t result = offer_to_gadget(reinterpret_cast<NativeHandle>(lparam), hwnd, message, wparam, lparam);
        if (result != NOT_HANDLED) return result;
        break;
    }
    case WM_TOOLKIT_TRAY: {
        int type = -1;
        switch (unsigned(lparam)) {
        case WM_LBUTTONDOWN:
            type = 0;
            break;
        case WM_LBUTTONDBLCLK:
            type = 2;
            break;
        case WM_RBUTTONDOWN:
            type = 1;
            break;
        case WM_RBUTTONDBLCLK:
            type = 3;
            break;
        }
        if (type >= 0) event_enqueue(EVENT_TRAY, ObjectNumber(wparam), number, type);
        if (the_host->post_message) the_host->post_message(hwnd, WM_NULL, 0, 0);
        return 0;
    }
    case WM_TOOLKIT_WINDOW_DROP:
        event_raise(EVENT_WINDOW_DROP, number, number, -1);
        if (the_record) the_record->drop_data = reinterpret_cast<void*>(lparam);
        return 0;
    case WM_TOOLKIT_GADGET_DROP:
        event_raise(EVENT_GADGET_DROP, ObjectNumber(wparam), number, -1);
        if (the_record) the_record->drop_data = reinterpret_cast<void*>(lparam);
        return 0;
    case WM_NCDESTROY:
        the_host->remove_prop(hwnd, WINDOW_FOCUS_PROPERTY);
        return 1;
    default:
        break;
    }
    return default_processing(hwnd, message, wparam, lparam);
}

std::intptr_t window_send_message(NativeHandle hwnd, unsigned message, std::uintptr_t wparam, std::intptr_t lparam) {
    return window_procedure(hwnd, message, wparam, lparam);
}
