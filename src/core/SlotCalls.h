#pragma once

#include <functional>
#include <type_traits>

// How a lower layer calls through a slot of its tables: an empty slot does nothing, or
// answers the fallback written at the call.

// Calls a slot when it is filled.
template <class... A>
void callHook(const std::function<void(A...)>& slot, std::type_identity_t<A>... args) {
    if (slot)
        slot(args...);
}

// A slot's answer, or the fallback when the slot is empty.
template <class R, class... A>
R askHook(const std::function<R(A...)>& slot, std::type_identity_t<R> fallback,
          std::type_identity_t<A>... args) {
    return slot ? slot(args...) : fallback;
}
