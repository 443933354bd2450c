// Tab order over the candidates of a window: only enabled, visible tab stops, wrap-around at both
// ends, and a start that is no stop itself.
#include <gtest/gtest.h>

#include "runtime/ui/focus_internal.h"

namespace {

int a, b, c, d, e;

class FocusOrder : public testing::Test {
protected:
    // a: stop; b: label (no tab stop); c: stop; d: disabled stop; e: stop.
    FocusCandidate candidates[5] = {
        {&a, true, true, true},  {&b, true, true, false}, {&c, true, true, true},
        {&d, false, true, true}, {&e, true, true, true},
    };
    int next(NativeHandle start) { return focus_choose(candidates, 5, start, true); }
    int previous(NativeHandle start) { return focus_choose(candidates, 5, start, false); }
};

TEST_F(FocusOrder, ForwardSkipsWhatIsNoStopAndWraps) {
    EXPECT_EQ(next(&a), 2);
    EXPECT_EQ(next(&c), 4);  // d is disabled
    EXPECT_EQ(next(&e), 0);  // last stop: wrap to the first
}

TEST_F(FocusOrder, BackwardSkipsWhatIsNoStopAndWraps) {
    EXPECT_EQ(previous(&e), 2);
    EXPECT_EQ(previous(&c), 0);
    EXPECT_EQ(previous(&a), 4);  // first stop: wrap to the last
}

TEST_F(FocusOrder, WithoutAStartForwardTakesTheFirstAndBackwardTheLast) {
    EXPECT_EQ(next(nullptr), 0);
    EXPECT_EQ(previous(nullptr), 4);
    int outside = 0;
    EXPECT_EQ(next(&outside), 0);
    EXPECT_EQ(previous(&outside), 4);
}

TEST_F(FocusOrder, AStartThatIsNoStopCountsFromItsPlace) {
    EXPECT_EQ(next(&b), 2);
    EXPECT_EQ(previous(&b), 0);
    EXPECT_EQ(next(&d), 4);
    EXPECT_EQ(previous(&d), 2);
}

TEST_F(FocusOrder, InvisibleControlsAreSkipped) {
    candidates[2].visible = false;
    EXPECT_EQ(next(&a), 4);
    EXPECT_EQ(previous(&e), 0);
}

TEST(FocusOrderEdges, NoStopsAtAllGivesNothing) {
    FocusCandidate only[2] = {{&a, true, true, false}, {&b, false, true, true}};
    EXPECT_EQ(focus_choose(only, 2, &a, true), -1);
    EXPECT_EQ(focus_choose(only, 2, nullptr, false), -1);
    EXPECT_EQ(focus_choose(nullptr, 0, nullptr, true), -1);
}

TEST(FocusOrderEdges, ASingleStopWrapsOntoItself) {
    FocusCandidate one[1] = {{&a, true, true, true}};
    EXPECT_EQ(focus_choose(one, 1, &a, true), 0);
    EXPECT_EQ(focus_choose(one, 1, &a, false), 0);
}

}  // namespace
