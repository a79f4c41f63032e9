#include "phys/SimulationEvents.h"

#include <algorithm>

namespace phys {

uint32_t ContactPair::extractContacts(ContactPairPoint* buffer, uint32_t capacity) const {
    if (!buffer || !points)
        return 0;
    const uint32_t n = std::min<uint32_t>(contactCount, capacity);
    std::copy(points, points + n, buffer);
    return n;
}

} // namespace phys
