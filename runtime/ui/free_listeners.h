/** @file free_listeners.h
 * A short list of functions told when an object of a kind goes, so that those keeping its
 * handle let go of it first (menu items of an image, the gadgets' default font). */
#pragma once

template <typename Handle>
class FreeListeners {
public:
    using Listener = void (*)(Handle);

    // Non-zero when the listener is on the list (it is added once); 0 when the list is full.
    int add(Listener listener) {
        for (Listener& slot : slots_) {
            if (slot == listener) return 1;
            if (!slot) {
                slot = listener;
                return 1;
            }
        }
        return 0;
    }

    void tell(Handle handle) const {
        for (Listener listener : slots_)
            if (listener) listener(handle);
    }

private:
    Listener slots_[4] = {};
};
