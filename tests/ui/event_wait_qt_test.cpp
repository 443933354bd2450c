// event_wait over Qt's dispatcher: waiting without limit and with a time-out ends with the event
// that a message raised during the wait, and a wait that times out reports 0.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include "runtime/ui/event.h"
#include "runtime/ui/window.h"
#include "runtime/ui/window_qt.h"

namespace {

constexpr ObjectNumber WINDOW = 90;

class EventWaitQt : public testing::Test {
protected:
    void SetUp() override {
        window_open(WINDOW, 0, 0, 200, 100, u"Wait", 0xC80001);
        drain();
    }
    void TearDown() override {
        window_close(WINDOW);
        drain();
    }
    static void drain() {
        QCoreApplication::processEvents();
        while (event_wait(0)) {}
    }
    // A menu choice that arrives while the loop waits.
    static void choose_later(int milliseconds, unsigned item) {
        QTimer::singleShot(milliseconds, qApp,
                           [item] { window_send_message(window_handle(WINDOW), WM_COMMAND, make_wparam(item, 0), 0); });
    }
};

TEST_F(EventWaitQt, WaitWithoutLimitEndsWithTheEventRaisedDuringTheDispatch) {
    choose_later(30, 5);
    ASSERT_EQ(event_wait(-1), EVENT_MENU);
    EXPECT_EQ(event_menu(), 5);
    EXPECT_EQ(event_window(), WINDOW);
}

TEST_F(EventWaitQt, FiniteWaitEndsEarlyWithTheEvent) {
    choose_later(20, 3);
    ASSERT_EQ(event_wait(5000), EVENT_MENU);
    EXPECT_EQ(event_object(), 3);
}

TEST_F(EventWaitQt, FiniteWaitTimesOutWithZeroAndTheLaterEventStillComes) {
    choose_later(400, 6);
    EXPECT_EQ(event_wait(30), 0);
    ASSERT_EQ(event_wait(-1), EVENT_MENU);
    EXPECT_EQ(event_object(), 6);
}

TEST_F(EventWaitQt, CloseBoxDuringTheWaitIsQueuedAndReturned) {
    QTimer::singleShot(20, qApp, [] { window_widget(window_handle(WINDOW))->close(); });
    int code = 0;
    // Moves and repaints may come first; the close request must come and the window stay.
    for (int i = 0; i < 50 && code != EVENT_CLOSE_WINDOW; ++i) code = event_wait(2000);
    EXPECT_EQ(code, EVENT_CLOSE_WINDOW);
    EXPECT_EQ(event_object(), WINDOW);
    EXPECT_NE(window_handle(WINDOW), nullptr);
}

}  // namespace
