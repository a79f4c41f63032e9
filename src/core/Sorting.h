#pragma once

#include <irrTypes.h>

#include <span>

// An item to sort and its key (a distance, usually).
struct SortPair {
    void* item = nullptr;
    irr::f32 key = 0.0f;
};

// Sorts pairs[first..last] (inclusive) in place into ascending order of key: a quicksort
// whose partition is sortByDistance. A range of fewer than two pairs is left unchanged;
// indices outside the array are clamped to it. The order of equal keys is not kept.
void quickSortPairs(std::span<SortPair> pairs, irr::s32 first, irr::s32 last);

// The partition step: takes pairs[first] as the pivot and swaps whole pairs until every key
// of first..split is not above the pivot and every key of split+1..last not below it.
// Returns split, with first <= split < last. A range that is not inside the array or has
// fewer than two pairs is left alone and first is returned.
irr::s32 sortByDistance(std::span<SortPair> pairs, irr::s32 first, irr::s32 last);
