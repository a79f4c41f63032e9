#pragma once

#include "phys/Filtering.h"
#include "phys/MathTypes.h"

#include <cstdint>

// Contact and trigger reports. They are delivered on the main thread inside
// Scene::fetchResults, never on the worker. Each transition of a shape pair (touch found,
// touch lost) is reported exactly once; touch persists is reported each step while awake,
// never while both actors sleep, and never for triggers. A pair that ends because a shape or
// actor was released reports its lost with the deleted flags set; such shapes and actors may
// be compared but not used.

namespace phys {

class Joint;
class RigidActor;
class Shape;
class Actor;

struct ContactPairPoint {
    Vec3 position;             // world position of the contact
    float separation = 0.0f;   // negative when penetrating
    Vec3 normal;               // world normal, from shape 1 towards shape 0
    uint32_t internalFaceIndex0 = 0xFFFFFFFF; // triangle of a mesh shape 0, else 0xFFFFFFFF
    Vec3 impulse;              // impulse applied at the point during the step (not a force)
    uint32_t internalFaceIndex1 = 0xFFFFFFFF;
};

enum ContactPairHeaderFlag : uint16_t {
    DeletedActor0 = 1,
    DeletedActor1 = 2,
};

struct ContactPairHeader {
    RigidActor* actors[2] = {nullptr, nullptr};
    uint16_t flags = 0;
};

enum ContactPairFlag : uint16_t {
    DeletedShape0 = 1,
    DeletedShape1 = 2,
};

struct ContactPair {
    Shape* shapes[2] = {nullptr, nullptr};
    uint16_t contactCount = 0;
    uint16_t flags = 0;  // ContactPairFlag
    PairFlags events = 0; // PairNotifyTouchFound / Persists / Lost

    // Copies at most capacity points; returns how many were written.
    uint32_t extractContacts(ContactPairPoint* buffer, uint32_t capacity) const;

    const ContactPairPoint* points = nullptr; // internal: the points of this pair
};

enum TriggerPairFlag : uint8_t {
    DeletedTriggerShape = 1,
    DeletedOtherShape = 2,
};

struct TriggerPair {
    Shape* triggerShape = nullptr;
    Shape* otherShape = nullptr;
    PairFlags status = 0; // PairNotifyTouchFound or PairNotifyTouchLost
    uint8_t flags = 0;    // TriggerPairFlag
};

struct ConstraintInfo {
    Joint* joint = nullptr;
    void* externalReference = nullptr;
};

class SimulationEventCallback {
public:
    virtual ~SimulationEventCallback() = default;
    virtual void onConstraintBreak(ConstraintInfo* constraints, uint32_t count) = 0;
    virtual void onWake(Actor** actors, uint32_t count) = 0;
    virtual void onSleep(Actor** actors, uint32_t count) = 0;
    // One call per actor pair with at least one reported shape pair.
    virtual void onContact(const ContactPairHeader& header, const ContactPair* pairs, uint32_t count) = 0;
    // One call per step with every trigger transition.
    virtual void onTrigger(TriggerPair* pairs, uint32_t count) = 0;
};

} // namespace phys
