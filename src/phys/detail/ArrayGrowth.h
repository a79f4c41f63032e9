#pragma once

#include <cstdint>

namespace phys::detail {

// Bullet's arrays and the standard vectors grow by doubling: what one of `count` elements
// holds at most, for estimates of what a thing takes from the heap.
inline uint64_t grownCapacity(uint64_t count) {
    uint64_t capacity = 1;
    while (capacity < count)
        capacity *= 2;
    return count == 0 ? 0 : capacity;
}

} // namespace phys::detail
