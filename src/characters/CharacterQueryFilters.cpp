#include "characters/CharacterQueryFilters.h"

#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsUserData.h"

#include "level/NodeHelpers.h"
#include "triggers/ObjectIDExpression.h"

using namespace irr;

namespace {

// The physics object of a record (its physics role), or null.
PhysicsObject* filterPhysicsObjectOf(PhysicsUserData* record) {
    return record && record->physicsObject ? asPhysicsObject(record->physicsObject) : nullptr;
}

} // namespace

phys::QueryHitType CharacterQueryFilter::preFilter(const phys::FilterData&, phys::Shape* shape, phys::RigidActor*,
                                                   uint32_t&) {
    PhysicsUserData* record = shape ? userDataOf(shape) : nullptr;
    if (!record)
        return phys::QueryHitType::Block; // none, or a controller's marker
    if (record->character)
        return phys::QueryHitType::None;
    if (!filterPhysicsObjectOf(record))
        return phys::QueryHitType::Block;
    switch (record->state) {
    case PhysicsState::Kinematic:
        kinematicSeen = true;
        if (noCollide && record->node && expressionContainsID(noCollide, record->node->getID()))
            return phys::QueryHitType::None;
        return phys::QueryHitType::Block;
    case PhysicsState::Dynamic:
        return kinematicSeen ? phys::QueryHitType::None : phys::QueryHitType::Block;
    default:
        return phys::QueryHitType::Block;
    }
}

phys::QueryHitType CharacterQueryFilter::postFilter(const phys::FilterData&, const phys::QueryHit& hit) {
    PhysicsUserData* record = hit.shape ? userDataOf(hit.shape) : nullptr;
    if (!record)
        return phys::QueryHitType::Block;
    if (record->character)
        return phys::QueryHitType::None;
    if (!filterPhysicsObjectOf(record))
        return phys::QueryHitType::Block;
    if (record->state == PhysicsState::Dynamic && kinematicSeen)
        return phys::QueryHitType::None;
    return phys::QueryHitType::Block;
}

phys::QueryHitType VisionQueryFilter::preFilter(const phys::FilterData&, phys::Shape* shape, phys::RigidActor*,
                                                uint32_t&) {
    PhysicsUserData* record = shape ? userDataOf(shape) : nullptr;
    if (!record || !record->node)
        return phys::QueryHitType::None;
    if (isPhysicalNode(record->node) && !isPlayerBodyPart(record->node))
        if (PhysicsObject* object = asPhysicsObject(record->node); object && object->BlocksVision)
            return phys::QueryHitType::Block;
    return phys::QueryHitType::None;
}

phys::QueryHitType VisionQueryFilter::postFilter(const phys::FilterData&, const phys::QueryHit&) {
    return phys::QueryHitType::Block;
}

VisionQueryFilter& visionQueryFilter() {
    static VisionQueryFilter filter;
    return filter;
}
