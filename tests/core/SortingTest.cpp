#include "core/Sorting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace {

// Each item records its own key, so the tests see that whole pairs moved together.
struct Item {
    float key;
};

struct Pairs {
    std::vector<Item> items;
    std::vector<SortPair> pairs;

    explicit Pairs(const std::vector<float>& keys) : items(keys.size()) {
        for (std::size_t i = 0; i < keys.size(); ++i) {
            items[i].key = keys[i];
            pairs.push_back(SortPair{&items[i], keys[i]});
        }
    }
    int last() const { return static_cast<int>(pairs.size()) - 1; }
    std::vector<float> keys() const {
        std::vector<float> k;
        for (const SortPair& p : pairs)
            k.push_back(p.key);
        return k;
    }
    // Every item is still there exactly once, with its own key.
    bool wholePairsKept() const {
        std::vector<const void*> seen;
        for (const SortPair& p : pairs) {
            const float own = static_cast<const Item*>(p.item)->key;
            if (!(own == p.key || (std::isnan(own) && std::isnan(p.key))))
                return false;
            seen.push_back(p.item);
        }
        std::sort(seen.begin(), seen.end());
        return std::adjacent_find(seen.begin(), seen.end()) == seen.end() &&
               seen.size() == items.size();
    }
};

std::vector<float> sortedCopy(std::vector<float> keys) {
    std::sort(keys.begin(), keys.end());
    return keys;
}

TEST(SortingTest, EmptyAndSingleRangesAreUnchanged) {
    std::vector<SortPair> none;
    quickSortPairs(none, 0, -1);
    quickSortPairs(none, 0, 5);
    EXPECT_TRUE(none.empty());

    Pairs one({3.0f});
    quickSortPairs(one.pairs, 0, 0);
    EXPECT_EQ(one.keys(), std::vector<float>{3.0f});

    Pairs several({3.0f, 1.0f, 2.0f});
    quickSortPairs(several.pairs, 1, 1);
    quickSortPairs(several.pairs, 0, -1); // empty range of a filled array
    quickSortPairs(several.pairs, 2, 1);
    EXPECT_EQ(several.keys(), (std::vector<float>{3.0f, 1.0f, 2.0f}));
}

TEST(SortingTest, SortsAscendingAndMovesWholePairs) {
    Pairs p({5.0f, -1.0f, 3.5f, 3.5f, 0.0f, 12.0f, -7.25f, 2.0f});
    const std::vector<float> expected = sortedCopy(p.keys());
    quickSortPairs(p.pairs, 0, p.last());
    EXPECT_EQ(p.keys(), expected);
    EXPECT_TRUE(p.wholePairsKept());
}

TEST(SortingTest, EqualKeysSortWithoutLosingItems) {
    Pairs p(std::vector<float>(100000, 2.5f)); // a naive partition would go 100000 deep
    quickSortPairs(p.pairs, 0, p.last());
    EXPECT_EQ(p.keys(), std::vector<float>(100000, 2.5f));
    EXPECT_TRUE(p.wholePairsKept());

    Pairs twoValues({1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f});
    quickSortPairs(twoValues.pairs, 0, twoValues.last());
    EXPECT_EQ(twoValues.keys(), (std::vector<float>{0, 0, 0, 1, 1, 1, 1}));
    EXPECT_TRUE(twoValues.wholePairsKept());
}

TEST(SortingTest, SortedAndReversedInputs) {
    std::vector<float> ascending;
    for (int i = 0; i < 3000; ++i)
        ascending.push_back(static_cast<float>(i));
    Pairs sorted(ascending);
    quickSortPairs(sorted.pairs, 0, sorted.last());
    EXPECT_EQ(sorted.keys(), ascending);

    std::vector<float> descending(ascending.rbegin(), ascending.rend());
    Pairs reversed(descending);
    quickSortPairs(reversed.pairs, 0, reversed.last());
    EXPECT_EQ(reversed.keys(), ascending);
    EXPECT_TRUE(reversed.wholePairsKept());
}

TEST(SortingTest, RandomInputsMatchAReferenceSort) {
    std::mt19937 rng(42);
    std::uniform_real_distribution<float> dist(-1000.0f, 1000.0f);
    for (int size : {2, 3, 10, 257, 5000}) {
        std::vector<float> keys;
        for (int i = 0; i < size; ++i)
            keys.push_back(i % 7 == 0 ? 1.0f : dist(rng)); // with repeats
        Pairs p(keys);
        quickSortPairs(p.pairs, 0, p.last());
        EXPECT_EQ(p.keys(), sortedCopy(keys)) << "size " << size;
        EXPECT_TRUE(p.wholePairsKept());
    }
}

TEST(SortingTest, OnlyTheGivenRangeIsSorted) {
    Pairs p({9.0f, 4.0f, 3.0f, 2.0f, 1.0f, 0.0f});
    quickSortPairs(p.pairs, 1, 4);
    EXPECT_EQ(p.keys(), (std::vector<float>{9.0f, 1.0f, 2.0f, 3.0f, 4.0f, 0.0f}));
}

TEST(SortingTest, IndicesOutsideTheArrayAreClampedToIt) {
    Pairs p({3.0f, 2.0f, 1.0f});
    quickSortPairs(p.pairs, -5, 10);
    EXPECT_EQ(p.keys(), (std::vector<float>{1.0f, 2.0f, 3.0f}));

    Pairs q({3.0f, 2.0f, 1.0f});
    quickSortPairs(q.pairs, 5, 10); // wholly outside: nothing to do
    EXPECT_EQ(q.keys(), (std::vector<float>{3.0f, 2.0f, 1.0f}));
}

// A partition of a range outside the array or shorter than two pairs touches nothing.
TEST(SortingTest, APartitionOfNoProperRangeLeavesThePairsAndAnswersItsFirstIndex) {
    const struct {
        int first, last;
    } rows[] = {{-1, 2}, {1, 1}, {2, 1}, {0, 3}, {1, 2}};
    for (const auto& row : rows) {
        Pairs p({3.0f, 2.0f, 1.0f});
        const int split = sortByDistance(p.pairs, row.first, row.last);
        const bool proper = row.first >= 0 && row.first < row.last && row.last < 3;
        if (!proper) {
            EXPECT_EQ(split, row.first) << row.first << ".." << row.last;
            EXPECT_EQ(p.keys(), (std::vector<float>{3.0f, 2.0f, 1.0f})) << row.first << ".." << row.last;
        } else {
            EXPECT_EQ(p.keys(), (std::vector<float>{3.0f, 1.0f, 2.0f})) << "the last two split around 2";
        }
    }
}

TEST(SortingTest, PartitionSplitsAroundTheFirstKey) {
    Pairs p({5.0f, 8.0f, 1.0f, 9.0f, 5.0f, 2.0f, 7.0f});
    const int split = sortByDistance(p.pairs, 0, p.last());
    ASSERT_GE(split, 0);
    ASSERT_LT(split, p.last());
    for (int i = 0; i <= split; ++i)
        EXPECT_LE(p.pairs[i].key, 5.0f);
    for (int i = split + 1; i <= p.last(); ++i)
        EXPECT_GE(p.pairs[i].key, 5.0f);
    EXPECT_TRUE(p.wholePairsKept());
}

TEST(SortingTest, NotANumberKeysDoNotBreakTheSort) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Pairs p({3.0f, nan, 1.0f, nan, 2.0f, nan, 0.5f});
    quickSortPairs(p.pairs, 0, p.last());
    EXPECT_TRUE(p.wholePairsKept());
}

} // namespace
