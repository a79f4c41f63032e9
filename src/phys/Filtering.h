#pragma once

#include <cstdint>

// Simulation filtering: per shape pair, the scene's filter shader decides from the two
// shapes' attributes and filter words whether the pair is killed, suppressed, handed to the
// filter callback, or passes with a set of pair flags. Flag values are the numbers the
// game's shader writes.
//
// Pairs in which neither actor is a (non-kinematic) dynamic body never reach the shader
// unless the scene asks for kinematic pairs; two shapes of one actor never pair.
// A pair's decision stays until the pair ends or either shape's filter inputs change
// (filter data, shape flags, shapes of the actor, kinematic flag).

namespace phys {

class Actor;
class Shape;

struct FilterData {
    uint32_t word0 = 0, word1 = 0, word2 = 0, word3 = 0;

    constexpr FilterData() = default;
    constexpr FilterData(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3)
        : word0(w0), word1(w1), word2(w2), word3(w3) {}
    constexpr bool isZero() const { return (word0 | word1 | word2 | word3) == 0; }
    constexpr bool operator==(const FilterData& o) const {
        return word0 == o.word0 && word1 == o.word1 && word2 == o.word2 && word3 == o.word3;
    }
    constexpr bool operator!=(const FilterData& o) const { return !(*this == o); }
};

// Object attributes: the actor type in the low bits, plus these flags.
using FilterObjectAttributes = uint32_t;
enum FilterObjectFlag : uint32_t {
    FilterObjectKinematic = 0x10,
    FilterObjectTrigger = 0x20,
};
// The actor type of a pair member, from its attributes.
constexpr uint32_t filterObjectType(FilterObjectAttributes a) { return a & 0xF; }

using PairFlags = uint32_t;
enum PairFlag : uint32_t {
    PairSolveContact = 0x1,
    PairModifyContacts = 0x2,
    PairNotifyTouchFound = 0x4,
    PairNotifyTouchPersists = 0x8,
    PairNotifyTouchLost = 0x10,
    PairNotifyContactPoints = 0x100,
};

using FilterFlags = uint32_t;
enum FilterFlag : uint32_t {
    FilterDefault = 0,
    FilterKill = 0x1,
    FilterSuppress = 0x2,
    FilterCallback = 0x4,
    // Callback plus pairLost when the pair ends.
    FilterNotify = 0x8 | FilterCallback,
};

using FilterShader = FilterFlags (*)(FilterObjectAttributes attributes0, FilterData filterData0,
                                     FilterObjectAttributes attributes1, FilterData filterData1,
                                     PairFlags& pairFlags, const void* constantBlock,
                                     uint32_t constantBlockSize);

// Called on the main thread inside Scene::simulate.
class SimulationFilterCallback {
public:
    virtual ~SimulationFilterCallback() = default;
    // For a pair whose shader result asked for the callback.
    virtual FilterFlags pairFound(uint32_t pairId, FilterObjectAttributes attributes0, FilterData filterData0,
                                  const Actor* actor0, const Shape* shape0, FilterObjectAttributes attributes1,
                                  FilterData filterData1, const Actor* actor1, const Shape* shape1,
                                  PairFlags& pairFlags) = 0;
    // For a pair that asked for notification (FilterNotify) when it ends.
    virtual void pairLost(uint32_t pairId, FilterObjectAttributes attributes0, FilterData filterData0,
                          FilterObjectAttributes attributes1, FilterData filterData1, bool objectRemoved) = 0;
    // Asked once per simulate, again while it answers true: lets the callback change the
    // pair flags or filter flags of a pair that went through pairFound.
    virtual bool statusChange(uint32_t& pairId, PairFlags& pairFlags, FilterFlags& filterFlags) = 0;
};

} // namespace phys
