#include "core/Sorting.h"

#include <algorithm>
#include <utility>

irr::s32 sortByDistance(std::span<SortPair> pairs, irr::s32 first, irr::s32 last) {
    if (first < 0 || first >= last || static_cast<std::size_t>(last) >= pairs.size())
        return first; // nothing to partition; never read outside the array
    // Hoare's scheme: equal keys meet in the middle, so a run of equal keys splits evenly.
    const irr::f32 pivot = pairs[first].key;
    irr::s32 i = first - 1;
    irr::s32 j = last + 1;
    for (;;) {
        do {
            ++i;
        } while (pairs[i].key < pivot);
        do {
            --j;
        } while (pairs[j].key > pivot);
        if (i >= j)
            return j;
        std::swap(pairs[i], pairs[j]);
    }
}

void quickSortPairs(std::span<SortPair> pairs, irr::s32 first, irr::s32 last) {
    if (pairs.empty())
        return;
    first = std::max(first, 0);
    last = static_cast<irr::s32>(
        std::min<std::size_t>(static_cast<std::size_t>(std::max(last, 0)), pairs.size() - 1));
    // Recursing into the smaller part and looping on the larger keeps the stack depth
    // logarithmic, even for sorted input where every split is lopsided.
    while (first < last) {
        const irr::s32 split = sortByDistance(pairs, first, last);
        if (split - first < last - split) {
            quickSortPairs(pairs, first, split);
            first = split + 1;
        } else {
            quickSortPairs(pairs, split + 1, last);
            last = split;
        }
    }
}
