/** @file focus.cpp
 * Tab order: the next or previous enabled, visible tab stop, wrapping at either end. */
#include "runtime/ui/focus_internal.h"

namespace {

bool is_stop(const FocusCandidate& c) { return c.enabled && c.visible && c.tab_stop; }

}  // namespace

int focus_choose(const FocusCandidate* candidates, int count, NativeHandle start, bool forward) {
    // The start may itself be no stop (a label, a disabled field): the order still runs from its place.
    int position = -1;
    if (start)
        for (int i = 0; i < count; ++i)
            if (candidates[i].handle == start) {
                position = i;
                break;
            }
    if (forward) {
        for (int i = position + 1; i < count; ++i)
            if (is_stop(candidates[i])) return i;
        for (int i = 0; i < count; ++i)
            if (is_stop(candidates[i])) return i;
        return -1;
    }
    if (position > 0)
        for (int i = position - 1; i >= 0; --i)
            if (is_stop(candidates[i])) return i;
    for (int i = count - 1; i >= 0; --i)
        if (is_stop(candidates[i])) return i;
    return -1;
}
