#include "core/ReadLimits.h"

#include <algorithm>
#include <limits>

bool countFits(std::uint64_t count, std::uint64_t elementBytes, std::uint64_t bytesLeft) {
    // Divided rather than multiplied: a claimed count times a size can pass 64 bits.
    return count <= bytesLeft / std::max<std::uint64_t>(elementBytes, 1);
}

bool expansionFits(std::uint64_t madeBytes, std::uint64_t bytesRead) {
    constexpr std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
    if (bytesRead >= (most - readExpansionAllowance) / readExpansionFactor)
        return true;
    return madeBytes <= bytesRead * readExpansionFactor + readExpansionAllowance;
}
