// The event queue and event_wait without any window: coalescing, suspension, the two removal
// helpers, attached data, and the published half of the event record.
#include <chrono>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/ui/event_internal.h"

namespace {

class EventQueueTest : public testing::Test {
protected:
    void SetUp() override {
        event_queue_clear();
        event_queue_suspend(0);
        released.clear();
    }
    void TearDown() override {
        event_queue_suspend(0);
        event_queue_clear();
    }
    static void release(void* data) { released.push_back(data); }
    static std::vector<void*> released;
};
std::vector<void*> EventQueueTest::released;

TEST_F(EventQueueTest, ConsecutiveIdenticalEventsAreMergedButNotOthers) {
    event_enqueue(EVENT_WINDOW_SIZED, 0, 4, 0);
    event_enqueue(EVENT_WINDOW_SIZED, 0, 4, 0);
    EXPECT_EQ(event_queue_length(), 1);
    // Another object, window or type is another event.
    event_enqueue(EVENT_WINDOW_SIZED, 1, 4, 0);
    event_enqueue(EVENT_WINDOW_SIZED, 1, 5, 0);
    event_enqueue(EVENT_WINDOW_SIZED, 1, 5, 1);
    EXPECT_EQ(event_queue_length(), 4);
    // Only the tail is compared: an event equal to an earlier, non-tail one is queued again.
    event_enqueue(EVENT_WINDOW_SIZED, 0, 4, 0);
    EXPECT_EQ(event_queue_length(), 5);
}

TEST_F(EventQueueTest, DataIsNotComparedWhenMerging) {
    int a = 0, b = 0;
    event_enqueue(EVENT_GADGET, 7, 0, 0, &a, release);
    event_enqueue(EVENT_GADGET, 7, 0, 0, &b, release);
    EXPECT_EQ(event_queue_length(), 1);
    EventNode node{};
    ASSERT_TRUE(event_queue_take(&node));
    EXPECT_EQ(node.data, &a);
}

TEST_F(EventQueueTest, SuspendedQueueTakesNothing) {
    event_queue_suspend(1);
    event_enqueue(EVENT_REPAINT, 0, 0, 0);
    EXPECT_TRUE(event_queue_empty());
    event_queue_suspend(0);
    event_enqueue(EVENT_REPAINT, 0, 0, 0);
    EXPECT_EQ(event_queue_length(), 1);
}

TEST_F(EventQueueTest, EventsComeOutInQueueOrder) {
    event_enqueue(EVENT_WINDOW_RESTORED, 0, 2, 0);
    event_enqueue(EVENT_WINDOW_SIZED, 0, 2, 0);
    event_enqueue(EVENT_CLOSE_WINDOW, 2, 2, 0);
    EXPECT_EQ(event_wait(0), EVENT_WINDOW_RESTORED);
    EXPECT_EQ(event_wait(0), EVENT_WINDOW_SIZED);
    EXPECT_EQ(event_wait(0), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(event_object(), 2);
    EXPECT_EQ(event_window(), 2);
    EXPECT_TRUE(event_queue_empty());
}

TEST_F(EventQueueTest, RemovingAWindowKeepsOtherWindowsEventsInOrder) {
    event_enqueue(EVENT_WINDOW_MOVED, 1, 1, 0);
    event_enqueue(EVENT_WINDOW_MOVED, 2, 2, 0);
    event_enqueue(EVENT_GADGET, 9, 1, 0);
    event_enqueue(EVENT_CLOSE_WINDOW, 2, 2, 0);
    event_enqueue(EVENT_CLOSE_WINDOW, 1, 1, 0);
    event_queue_remove_window(1);
    ASSERT_EQ(event_queue_length(), 2);
    EventNode node{};
    ASSERT_TRUE(event_queue_take(&node));
    EXPECT_EQ(node.code, EVENT_WINDOW_MOVED);
    EXPECT_EQ(node.window, 2);
    ASSERT_TRUE(event_queue_take(&node));
    EXPECT_EQ(node.code, EVENT_CLOSE_WINDOW);
    // The tail was removed: appending after the removal must still work.
    event_enqueue(EVENT_REPAINT, 3, 3, 0);
    ASSERT_TRUE(event_queue_take(&node));
    EXPECT_EQ(node.code, EVENT_REPAINT);
    EXPECT_TRUE(event_queue_empty());
}

TEST_F(EventQueueTest, RemovingAGadgetDropsOnlyItsGadgetEvents) {
    event_enqueue(EVENT_GADGET, 7, 0, 0x300);
    event_enqueue(EVENT_MENU, 7, 0, 0);        // same object, another code: stays
    event_enqueue(EVENT_GADGET, 8, 0, 0x300);  // another gadget: stays
    event_enqueue(EVENT_GADGET, 7, 0, 0x400);
    event_queue_remove_gadget(7);
    ASSERT_EQ(event_queue_length(), 2);
    EventNode node{};
    ASSERT_TRUE(event_queue_take(&node));
    EXPECT_EQ(node.code, EVENT_MENU);
    ASSERT_TRUE(event_queue_take(&node));
    EXPECT_EQ(node.object, 8);
}

TEST_F(EventQueueTest, RemovedEventsReleaseTheirData) {
    int a = 0, b = 0;
    event_enqueue(EVENT_GADGET, 7, 0, 0, &a, release);
    event_enqueue(EVENT_GADGET, 8, 0, 0, &b, release);
    event_queue_remove_gadget(7);
    ASSERT_EQ(released.size(), 1u);
    EXPECT_EQ(released[0], &a);
    event_queue_clear();
    ASSERT_EQ(released.size(), 2u);
    EXPECT_EQ(released[1], &b);
}

TEST_F(EventQueueTest, PublishedDataIsReleasedAtTheNextWait) {
    int a = 0;
    event_enqueue(EVENT_WINDOW_DROP, 0, 0, 0, &a, release);
    EXPECT_EQ(event_wait(0), EVENT_WINDOW_DROP);
    EXPECT_EQ(event_record()->published.data, &a);
    EXPECT_TRUE(released.empty());
    event_wait(0);
    ASSERT_EQ(released.size(), 1u);
    EXPECT_EQ(released[0], &a);
    EXPECT_EQ(event_record()->published.data, nullptr);
}

TEST_F(EventQueueTest, ManyEventsReuseThePool) {
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 500; ++i) event_enqueue(EVENT_GADGET, i, 0, 0);
        EXPECT_EQ(event_queue_length(), 500);
        for (int i = 0; i < 500; ++i) {
            ASSERT_EQ(event_wait(0), EVENT_GADGET);
            ASSERT_EQ(event_gadget(), i);
        }
        EXPECT_TRUE(event_queue_empty());
    }
}

TEST_F(EventQueueTest, WaitWithoutTimeOutReturnsZeroAtOnceWhenNothingHappened) {
    EXPECT_EQ(event_wait(0), 0);
    EXPECT_EQ(event_type(), -1);
}

TEST_F(EventQueueTest, FiniteWaitReturnsZeroOnlyAfterItsTimeOut) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(event_wait(60), 0);
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(waited.count(), 55);
}

TEST_F(EventQueueTest, EventRaisedOutsideAWaitIsQueuedNotLost) {
    event_raise(EVENT_MENU, 4, 0, -1);
    event_raise(EVENT_MENU, 6, 0, -1);
    EXPECT_EQ(event_wait(0), EVENT_MENU);
    EXPECT_EQ(event_menu(), 4);
    EXPECT_EQ(event_wait(0), EVENT_MENU);
    EXPECT_EQ(event_menu(), 6);
}

}  // namespace
