// The window procedure's message table, driven through a fake platform: every row that turns a
// message into an event, the window and global callbacks, gadget offering, and event_wait's
// choice between the event set during a dispatch and the queued ones.
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/core/registry.h"
#include "runtime/ui/event_internal.h"
#include "runtime/ui/gadget_internal.h"
#include "runtime/ui/shortcut_internal.h"
#include "runtime/ui/window.h"

namespace {

// A native window of the fake platform.
struct FakeNative {
    FakeNative* parent = nullptr;
    std::map<std::string, std::intptr_t> props;
    ObjectNumber identifier = -1;
};

struct FakePlatform {
    FakeNative* focused = nullptr;
    FakeNative* focus_set = nullptr;
    std::vector<bool> focus_moves;
    int default_calls = 0;
    int posted = 0;
    // Messages the next pump dispatches, as the real dispatcher would.
    std::vector<std::pair<FakeNative*, std::pair<unsigned, std::uintptr_t>>> to_dispatch;
};
FakePlatform fake;

FakeNative* native(NativeHandle h) { return static_cast<FakeNative*>(h); }

const WindowHost fake_host = {
    [](NativeHandle h) -> NativeHandle { return native(h)->parent; },
    [](NativeHandle h, const char* name) -> std::intptr_t {
        auto it = native(h)->props.find(name);
        return it == native(h)->props.end() ? 0 : it->second;
    },
    [](NativeHandle h, const char* name, std::intptr_t value) { native(h)->props[name] = value; },
    [](NativeHandle h, const char* name) { native(h)->props.erase(name); },
    [](NativeHandle h) -> ObjectNumber { return native(h)->identifier; },
    [](NativeHandle) -> NativeHandle { return fake.focused; },
    [](NativeHandle h) { fake.focus_set = native(h); },
    [](bool forward) { fake.focus_moves.push_back(forward); },
    [](NativeHandle, unsigned, std::uintptr_t, std::intptr_t) -> std::intptr_t {
        ++fake.default_calls;
        return 77;
    },
    [](NativeHandle, unsigned, std::uintptr_t, std::intptr_t) { ++fake.posted; },
    [](int) {
        auto messages = fake.to_dispatch;
        fake.to_dispatch.clear();
        for (auto& m : messages) window_procedure(m.first, m.second.first, m.second.second, 0);
    },
};

constexpr ObjectNumber WINDOW = 900;
constexpr ObjectNumber GADGET = 950;

// The gadget kind under test answers WM_COMMAND code 5 and every WM_NOTIFY.
struct Offered {
    GadgetRecord* gadget;
    NativeHandle parent;
    unsigned message;
    std::uintptr_t wparam;
    std::intptr_t lparam;
};
std::vector<Offered> offered;
std::intptr_t kind_handler(GadgetRecord* gadget, NativeHandle parent, unsigned message, std::uintptr_t wparam,
                           std::intptr_t lparam) {
    offered.push_back({gadget, parent, message, wparam, lparam});
    if (message == WM_NOTIFY) return 4242;
    if (message == WM_COMMAND && high_word(wparam) == 5) return 0;
    return NOT_HANDLED;
}

class WindowProcedureTest : public testing::Test {
protected:
    void SetUp() override {
        saved_host = window_host();
        window_host_install(&fake_host);
        fake = FakePlatform{};
        offered.clear();
        event_queue_clear();
        window.props[WINDOW_ID_PROPERTY] = WINDOW + 1;
        client.parent = &window;
        field.parent = &client;
        field.identifier = GADGET;
        field.props[GADGET_ID_PROPERTY] = GADGET;
        record = static_cast<WindowRecord*>(registry_obtain(window_registry(), WINDOW));
        ASSERT_NE(record, nullptr);
        record->handle = &window;
        kind = GadgetKindTable{};
        kind.kind = 99;
        kind.parent_message = kind_handler;
        gadget = static_cast<GadgetRecord*>(registry_obtain(gadget_registry(), GADGET));
        ASSERT_NE(gadget, nullptr);
        gadget->handle = &field;
        gadget->kind_table = &kind;
        event_record()->global_callback = nullptr;
    }
    void TearDown() override {
        registry_release(gadget_registry(), GADGET);
        registry_release(window_registry(), WINDOW);
        event_record()->global_callback = nullptr;
        event_queue_clear();
        window_host_install(saved_host);
    }
    std::intptr_t send(FakeNative* to, unsigned message, std::uintptr_t wparam = 0, std::intptr_t lparam = 0) {
        return window_procedure(to, message, wparam, lparam);
    }
    std::vector<EventNode> drain() {
        std::vector<EventNode> nodes;
        EventNode node{};
        while (event_queue_take(&node)) nodes.push_back(node);
        return nodes;
    }

    const WindowHost* saved_host = nullptr;
    FakeNative window, client, field, stranger;
    WindowRecord* record = nullptr;
    GadgetRecord* gadget = nullptr;
    GadgetKindTable kind{};
};

TEST_F(WindowProcedureTest, CloseAndMoveOfTheWindowItselfAreQueuedWithItsNumber) {
    EXPECT_EQ(send(&window, WM_CLOSE), 0);
    EXPECT_EQ(send(&window, WM_MOVE, 0, 0x00200010), 0);
    auto events = drain();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].code, EVENT_CLOSE_WINDOW);
    EXPECT_EQ(events[0].object, WINDOW);
    EXPECT_EQ(events[0].window, WINDOW);
    EXPECT_EQ(events[1].code, EVENT_WINDOW_MOVED);
    EXPECT_EQ(fake.default_calls, 0);
}

TEST_F(WindowProcedureTest, CloseOfADescendantGoesToDefaultProcessing) {
    EXPECT_EQ(send(&client, WM_CLOSE), 77);
    EXPECT_TRUE(drain().empty());
    EXPECT_EQ(fake.default_calls, 1);
}

TEST_F(WindowProcedureTest, SizeKindsGiveTheirEventSequences) {
    send(&window, WM_SIZE, SIZE_MINIMIZED);
    auto events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, EVENT_WINDOW_MINIMIZED);

    send(&window, WM_SIZE, SIZE_RESTORED);
    events = drain();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].code, EVENT_WINDOW_RESTORED);
    EXPECT_EQ(events[1].code, EVENT_WINDOW_SIZED);

    // A plain resize of a restored window is only sized.
    send(&window, WM_SIZE, SIZE_RESTORED);
    events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, EVENT_WINDOW_SIZED);

    send(&window, WM_SIZE, SIZE_MAXIMIZED);
    events = drain();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].code, EVENT_WINDOW_MAXIMIZED);
    EXPECT_EQ(events[1].code, EVENT_WINDOW_SIZED);
    EXPECT_EQ(events[1].window, WINDOW);
    // Restoring from maximised is announced too.
    send(&window, WM_SIZE, SIZE_RESTORED);
    events = drain();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].code, EVENT_WINDOW_RESTORED);
}

TEST_F(WindowProcedureTest, SizeOfADescendantReturnsOneAndRaisesNothing) {
    EXPECT_EQ(send(&client, WM_SIZE, SIZE_RESTORED), 1);
    EXPECT_TRUE(drain().empty());
    // No toolkit window at all: default processing.
    EXPECT_EQ(send(&stranger, WM_SIZE, SIZE_RESTORED), 77);
}

TEST_F(WindowProcedureTest, ActivationRestoresTheFocusSavedAtDeactivation) {
    fake.focused = &field;
    EXPECT_EQ(send(&window, WM_ACTIVATE, 0), 1);
    EXPECT_EQ(window.props[WINDOW_FOCUS_PROPERTY], reinterpret_cast<std::intptr_t>(&field));
    EXPECT_TRUE(drain().empty());
    fake.focused = nullptr;
    EXPECT_EQ(send(&window, WM_ACTIVATE, 1), 1);
    EXPECT_EQ(fake.focus_set, &field);
    auto events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, EVENT_WINDOW_ACTIVATED);
    EXPECT_EQ(fake.default_calls, 0);
    // WM_NCDESTROY forgets the saved focus.
    EXPECT_EQ(send(&window, WM_NCDESTROY), 1);
    EXPECT_EQ(window.props.count(WINDOW_FOCUS_PROPERTY), 0u);
}

TEST_F(WindowProcedureTest, MenuAcceleratorAndControlCommands) {
    send(&window, WM_COMMAND, make_wparam(4, 0));
    send(&window, WM_COMMAND, make_wparam(6, 1));
    send(&window, WM_COMMAND, make_wparam(GADGET, BN_CLICKED), reinterpret_cast<std::intptr_t>(&field));
    auto events = drain();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].code, EVENT_MENU);
    EXPECT_EQ(events[0].object, 4);
    EXPECT_EQ(events[1].code, EVENT_MENU);
    EXPECT_EQ(events[1].object, 6);
    EXPECT_EQ(events[2].code, EVENT_GADGET);
    EXPECT_EQ(events[2].object, GADGET);
    EXPECT_EQ(events[2].type, BN_CLICKED);
    EXPECT_EQ(events[2].window, WINDOW);
    // The control was offered the command first and declined.
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_EQ(offered[0].gadget, gadget);
}

TEST_F(WindowProcedureTest, TabCommandsMoveTheFocusWithoutAnEvent) {
    send(&window, WM_COMMAND, make_wparam(COMMAND_FOCUS_NEXT, 1));
    send(&window, WM_COMMAND, make_wparam(COMMAND_FOCUS_PREVIOUS, 1));
    EXPECT_TRUE(drain().empty());
    ASSERT_EQ(fake.focus_moves.size(), 2u);
    EXPECT_TRUE(fake.focus_moves[0]);
    EXPECT_FALSE(fake.focus_moves[1]);
}

TEST_F(WindowProcedureTest, ACommandTheGadgetKindHandlesRaisesNothing) {
    EXPECT_EQ(send(&window, WM_COMMAND, make_wparam(GADGET, 5), reinterpret_cast<std::intptr_t>(&field)), 0);
    EXPECT_TRUE(drain().empty());
}

TEST_F(WindowProcedureTest, ToolbarIdentifierGivesAMenuEvent) {
    FakeNative button;
    button.parent = &client;
    button.identifier = TOOLBAR_IDENTIFIER;
    send(&window, WM_COMMAND, make_wparam(31, 0), reinterpret_cast<std::intptr_t>(&button));
    auto events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, EVENT_MENU);
    EXPECT_EQ(events[0].object, 31);
}

TEST_F(WindowProcedureTest, NotifyReachesTheSendersKindAndReturnsItsResult) {
    NotifyHeader header{&field, std::uintptr_t(GADGET), 2001};
    EXPECT_EQ(send(&window, WM_NOTIFY, GADGET, reinterpret_cast<std::intptr_t>(&header)), 4242);
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_EQ(offered[0].gadget, gadget);
    EXPECT_EQ(offered[0].parent, static_cast<NativeHandle>(&window));
    EXPECT_EQ(offered[0].lparam, reinterpret_cast<std::intptr_t>(&header));
    EXPECT_TRUE(drain().empty());
}

TEST_F(WindowProcedureTest, AControlWhoseIdDisagreesWithItsPropertyIsNoGadget) {
    field.props[GADGET_ID_PROPERTY] = GADGET + 1;
    NotifyHeader header{&field, std::uintptr_t(GADGET), 2001};
    EXPECT_EQ(send(&window, WM_NOTIFY, GADGET, reinterpret_cast<std::intptr_t>(&header)), 77);
    EXPECT_TRUE(offered.empty());
}

TEST_F(WindowProcedureTest, TimerTrayAndDropRows) {
    send(&window, WM_TIMER, 12);
    send(&window, WM_TOOLKIT_TRAY, 3, WM_LBUTTONDOWN);
    send(&window, WM_TOOLKIT_TRAY, 3, WM_LBUTTONDBLCLK);
    send(&window, WM_TOOLKIT_TRAY, 3, WM_RBUTTONDOWN);
    send(&window, WM_TOOLKIT_TRAY, 3, WM_RBUTTONDBLCLK);
    auto events = drain();
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0].code, EVENT_TIMER);
    EXPECT_EQ(events[0].object, 12);
    const int types[] = {0, 2, 1, 3};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(events[std::size_t(i) + 1].code, EVENT_TRAY);
        EXPECT_EQ(events[std::size_t(i) + 1].type, types[i]);
    }
    EXPECT_EQ(fake.posted, 4);
}

TEST_F(WindowProcedureTest, MinMaxInfoTakesOnlyTheBoundsThatAreSet) {
    record->min_width = 200;
    record->max_height = 700;
    MinMaxInfo info{};
    info.min_track_size = {5, 6};
    info.max_track_size = {1000, 1000};
    EXPECT_EQ(send(&window, WM_GETMINMAXINFO, 0, reinterpret_cast<std::intptr_t>(&info)), 0);
    EXPECT_EQ(info.min_track_size.x, 200);
    EXPECT_EQ(info.min_track_size.y, 6);
    EXPECT_EQ(info.max_track_size.x, 1000);
    EXPECT_EQ(info.max_track_size.y, 700);
}

TEST_F(WindowProcedureTest, EraseBackgroundQueuesARepaint) {
    send(&window, WM_ERASEBKGND);
    auto events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, EVENT_REPAINT);
}

std::intptr_t answering_callback(NativeHandle, unsigned message, std::uintptr_t, std::intptr_t) {
    return message == WM_CLOSE ? 5 : CALLBACK_CONTINUE;
}

TEST_F(WindowProcedureTest, WindowCallbackAnswersFirstAndGlobalCallbackStandsIn) {
    record->window_callback = answering_callback;
    EXPECT_EQ(send(&window, WM_CLOSE), 5);
    EXPECT_TRUE(drain().empty());
    send(&window, WM_MOVE);  // the callback lets it through
    EXPECT_EQ(drain().size(), 1u);
    record->window_callback = nullptr;
    event_record()->global_callback = answering_callback;
    EXPECT_EQ(send(&window, WM_CLOSE), 5);
    EXPECT_TRUE(drain().empty());
}

TEST_F(WindowProcedureTest, WaitReturnsTheEventSetDuringTheDispatchBeforeQueuedOnes) {
    fake.to_dispatch = {{&window, {WM_SIZE, SIZE_RESTORED}},
                        {&window, {WM_COMMAND, make_wparam(3, 0)}},
                        {&window, {WM_COMMAND, make_wparam(5, 0)}}};
    EXPECT_EQ(event_wait(-1), EVENT_MENU);
    EXPECT_EQ(event_menu(), 3);
    EXPECT_EQ(event_window(), WINDOW);
    // The size event queued during the dispatch, then the second command of the same dispatch.
    EXPECT_EQ(event_wait(0), EVENT_WINDOW_SIZED);
    EXPECT_EQ(event_wait(0), EVENT_MENU);
    EXPECT_EQ(event_menu(), 5);
    EXPECT_EQ(event_wait(0), 0);
}

TEST_F(WindowProcedureTest, MessagesToNoToolkitWindowCarryWindowMinusOne) {
    send(&stranger, WM_COMMAND, make_wparam(9, 0));
    auto events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].window, -1);
}

}  // namespace
