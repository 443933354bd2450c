/** @file event_internal.h
 * Inside the toolkit's event stream: the event record (working and published halves), the
 * event queue with its node pool, raising an event from a message, and installing the platform
 * beneath the window procedure. For the toolkit's own files and their tests. */
#pragma once

#include <cstdint>

#include "runtime/core/types.h"
#include "runtime/ui/event.h"
#include "runtime/ui/window_internal.h"

using EventDataRelease = void (*)(void* data);

// One half of the event record.
struct EventFields {
    ObjectNumber object;
    ObjectNumber window;          // -1 when the message came to no toolkit window
    std::intptr_t type;           // -1 when the event has no sub-type
    std::intptr_t pending_event;  // set by the window procedure during a dispatch; 0 = none
    std::uintptr_t wparam;
    std::intptr_t lparam;
    void* data;
    EventDataRelease data_release;
};

struct EventRecord {
    EventFields working;
    EventFields published;  // what the application reads after event_wait
    WindowCallback global_callback;
    void* drop_data;  // a block whose fifth pointer-wide field points to a second block
};

// The one event record (null before window_start).
EventRecord* event_record();

// ---------------------------------------------------------------------------------------------
// The event queue.

struct EventNode {
    EventNode* next;
    int code;
    ObjectNumber object;
    ObjectNumber window;
    std::intptr_t type;
    void* data;
    EventDataRelease data_release;
};

// Appends an event unless the queue is suspended or its tail is the same event (code, object,
// window and type equal).
void event_enqueue(int code, ObjectNumber object, ObjectNumber window, std::intptr_t type, void* data = nullptr,
                   EventDataRelease data_release = nullptr);
// Raises an event during a dispatch: the result of the running event_wait. A second event raised
// in the same dispatch, or one raised outside event_wait (a widget driven directly), is queued
// instead, so that none is lost.
void event_raise(int code, ObjectNumber object, ObjectNumber window, std::intptr_t type);
void event_queue_suspend(int suspended);
int event_queue_suspended();
bool event_queue_empty();
int event_queue_length();
// Takes the head into *node (its data ownership moves to the caller); false when empty.
bool event_queue_take(EventNode* node);
// Drops every event of that window / every EVENT_GADGET event of that gadget.
void event_queue_remove_window(ObjectNumber window);
void event_queue_remove_gadget(ObjectNumber gadget);
// Drops everything queued (releasing attached data).
void event_queue_clear();

// Allocates the event record and the queue (with its node pool); frees them.
void event_start();
void event_end();

// ---------------------------------------------------------------------------------------------
// Beneath the window procedure.

void window_host_install(const WindowHost* host);
// The toolkit window at or above hwnd: its number (-1 when none) and record (may be null).
ObjectNumber window_find_toolkit(NativeHandle hwnd, WindowRecord** record);
