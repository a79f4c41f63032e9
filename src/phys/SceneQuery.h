#pragma once

#include "phys/Filtering.h"
#include "phys/MathTypes.h"

#include <cstdint>

// Scene queries. They see the last fetched state plus every change made since, also while a
// step is in flight. Candidate shapes are tried nearest first (shapes whose bounds the query
// enters at the same distance in the order they joined the scene's queries): once a blocking
// hit is known, shapes whose bounds begin beyond it are not looked at (nor offered to the
// pre-filter).
//
// Per candidate shape: only shapes with the scene-query flag; static actors only with
// QueryStatic, dynamic and kinematic ones only with QueryDynamic; when the query's filter
// data is not all zero, a shape whose query filter data shares no bit with it in any word
// is skipped; QueryPrefilter asks preFilter first, QueryPostfilter asks postFilter about the
// exact hit. Touch hits do not end a single query.

namespace phys {

class RigidActor;
class Shape;

enum QueryFlag : uint32_t {
    QueryStatic = 1,
    QueryDynamic = 2,
    QueryPrefilter = 4,
    QueryPostfilter = 8,
};

enum class QueryHitType : int {
    None = 0,
    Touch = 1,
    Block = 2,
};

enum HitFlag : uint32_t {
    HitImpact = 1,
    HitNormal = 2,
    HitDistance = 4,
    HitUV = 8,
    HitDefault = HitImpact | HitNormal | HitDistance,
};

struct QueryFilterData {
    FilterData data;
    uint32_t flags = QueryStatic | QueryDynamic;

    constexpr QueryFilterData() = default;
    constexpr QueryFilterData(const FilterData& d, uint32_t f) : data(d), flags(f) {}
    explicit constexpr QueryFilterData(uint32_t f) : flags(f) {}
};

struct QueryHit {
    Shape* shape = nullptr;
    RigidActor* actor = nullptr;
    uint32_t faceIndex = 0xFFFFFFFF; // triangle of a mesh (original numbering), else 0xFFFFFFFF
};

struct RaycastHit : QueryHit {
    uint32_t flags = 0; // HitFlag bits that are filled in
    Vec3 position;
    Vec3 normal;
    float distance = 0.0f;
    float u = 0.0f, v = 0.0f;
};

struct SweepHit : QueryHit {
    uint32_t flags = 0;
    Vec3 position;
    Vec3 normal;
    float distance = 0.0f;
};

// Called on the main thread during the query.
class QueryFilterCallback {
public:
    virtual ~QueryFilterCallback() = default;
    virtual QueryHitType preFilter(const FilterData& filterData, Shape* shape, RigidActor* actor,
                                   uint32_t& queryFlags) = 0;
    virtual QueryHitType postFilter(const FilterData& filterData, const QueryHit& hit) = 0;
};

} // namespace phys
