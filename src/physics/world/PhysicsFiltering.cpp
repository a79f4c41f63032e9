#include "physics/world/PhysicsFiltering.h"

#include "physics/world/PhysicsManager.h"
#include "physics/world/PhysicsUserData.h"

#include <ISceneNode.h>

#include <vector>

namespace {

constexpr phys::PairFlags triggerPairFlags =
    phys::PairNotifyTouchFound | phys::PairNotifyTouchPersists | phys::PairNotifyTouchLost; // 0x1C
constexpr phys::PairFlags contactPairFlags = phys::PairSolveContact | phys::PairNotifyContactPoints; // 0x101
// The contact handlers read a touch when it begins (its points give the force and place)
// and when it ends. Only the player's limbs read touches that persist (a hand closing on
// what it holds, a foot pushing off, the step record): every other resting pair would copy
// its points every step for nobody.
constexpr phys::PairFlags passingPairFlags =
    contactPairFlags | phys::PairNotifyTouchFound | phys::PairNotifyTouchLost;          // 0x115
constexpr phys::PairFlags playerBodyPairFlags = passingPairFlags | phys::PairNotifyTouchPersists; // 0x11D
constexpr phys::PairFlags reportOnlyPairFlags = passingPairFlags & ~phys::PairSolveContact;          // 0x114
constexpr irr::u32 anyCustomGroup = collisionCategory::Custom1;

bool accepts(const phys::FilterData& a, const phys::FilterData& b) { return (a.word1 & b.word0) != 0; }

ExclusionTest exclusionTest = nullptr;

bool excludes(const PhysicsUserData& object, const PhysicsUserData& other) {
    return exclusionTest && other.physicsObject &&
           exclusionTest(object.physicsObject, other.physicsObject->getID());
}

// The shapes of an actor; the scratch array only grows, so the contact callback allocates
// nothing once warm.
const std::vector<phys::Shape*>& shapesOf(phys::RigidActor& actor) {
    static std::vector<phys::Shape*> scratch;
    const uint32_t count = actor.getNbShapes();
    if (scratch.size() < count)
        scratch.resize(count);
    actor.getShapes(scratch.data(), count);
    return scratch;
}

// Calls fn on every shape of the actor (null actor: nothing).
template <class F>
void forEachShape(phys::RigidActor* actor, F fn) {
    if (!actor)
        return;
    std::vector<phys::Shape*> shapes(actor->getNbShapes());
    actor->getShapes(shapes.data(), static_cast<uint32_t>(shapes.size()));
    for (phys::Shape* shape : shapes)
        fn(*shape);
}

} // namespace

phys::FilterFlags simulationFilterShader(phys::FilterObjectAttributes attributes0, phys::FilterData a,
                                         phys::FilterObjectAttributes attributes1, phys::FilterData b,
                                         phys::PairFlags& pairFlags, const void*, irr::u32) {
    if ((attributes0 | attributes1) & phys::FilterObjectTrigger) {
        if (accepts(a, b) && accepts(b, a)) {
            pairFlags = triggerPairFlags;
            return phys::FilterDefault;
        }
        return phys::FilterKill;
    }
    pairFlags = contactPairFlags;
    bool passes = accepts(a, b) && accepts(b, a);
    if (!passes && (a.word0 >= anyCustomGroup || b.word0 >= anyCustomGroup))
        passes = accepts(a, b) || accepts(b, a);
    if (!passes)
        passes = a.word2 != 0 && b.word2 != 0 && a.word2 != b.word2;
    if (!passes)
        return phys::FilterKill;

    pairFlags = ((a.word0 | b.word0) & collisionCategory::PlayerBody) ? playerBodyPairFlags : passingPairFlags;
    if (a.word0 == collisionCategory::TriggerVolume || b.word0 == collisionCategory::TriggerVolume) {
        pairFlags = reportOnlyPairFlags;
        return phys::FilterDefault;
    }
    if ((a.word1 & filterUseCallback) && (b.word1 & filterUseCallback))
        return phys::FilterCallback;
    return phys::FilterDefault;
}

phys::FilterFlags PhysicsFilterCallback::pairFound(uint32_t, phys::FilterObjectAttributes, phys::FilterData,
                                                   const phys::Actor*, const phys::Shape* shape0,
                                                   phys::FilterObjectAttributes, phys::FilterData,
                                                   const phys::Actor*, const phys::Shape* shape1, phys::PairFlags&) {
    const PhysicsUserData* object0 = userDataOf(shape0);
    const PhysicsUserData* object1 = userDataOf(shape1);
    if (!object0 || !object1 || !object0->physicsObject || !object1->physicsObject)
        return phys::FilterDefault;
    if (excludes(*object0, *object1) || excludes(*object1, *object0))
        return phys::FilterSuppress;
    return phys::FilterDefault;
}

PhysicsFilterCallback& physicsFilterCallback() {
    static PhysicsFilterCallback callback;
    return callback;
}

void setExclusionTest(ExclusionTest test) { exclusionTest = test; }

void setShapeFilterData(phys::Shape* shape, irr::u32 word0, irr::u32 word1) {
    if (!shape)
        return;
    const phys::FilterData data(word0, word1, 0, 0);
    shape->setSimulationFilterData(data);
    shape->setQueryFilterData(data);
}

void setActorFilterData(phys::RigidActor* actor, irr::u32 word0, irr::u32 word1) {
    forEachShape(actor, [&](phys::Shape& shape) { setShapeFilterData(&shape, word0, word1); });
}

void addActorFilterBits(phys::RigidActor* actor, irr::u32 bits) {
    forEachShape(actor, [&](phys::Shape& shape) {
        phys::FilterData data = shape.getSimulationFilterData();
        data.word1 |= bits;
        shape.setSimulationFilterData(data);
        shape.setQueryFilterData(data);
    });
}

bool actorHasFilterBits(phys::RigidActor* actor, irr::u32 bits) {
    if (!actor)
        return false;
    const std::vector<phys::Shape*>& shapes = shapesOf(*actor);
    for (uint32_t i = 0; i < actor->getNbShapes(); ++i)
        if (shapes[i]->getSimulationFilterData().word0 & bits)
            return true;
    return false;
}

void setActorShapeFlag(phys::RigidActor* actor, phys::ShapeFlag flag, bool value) {
    forEachShape(actor, [&](phys::Shape& shape) { shape.setFlag(flag, value); });
}

bool isActorSimulationShape(phys::RigidActor* actor) {
    if (!actor || actor->getNbShapes() == 0)
        return false;
    phys::Shape* first = nullptr;
    actor->getShapes(&first, 1);
    return (first->getFlags() & phys::ShapeSimulation) != 0;
}

void setActorMaterial(phys::RigidActor* actor, irr::u32 index) {
    phys::Material* material = physicsManager ? physicsManager->getMaterial(index) : nullptr;
    if (!material)
        return;
    forEachShape(actor, [&](phys::Shape& shape) { shape.setMaterials(&material, 1); });
}
