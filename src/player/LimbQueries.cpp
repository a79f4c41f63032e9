#include "player/LimbQueries.h"

#include "core/Globals.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsManager.h"
#include "physics/world/PhysicsUserData.h"
#include "player/LimbControl.h"
#include "player/PlayerObject.h"
#include "render/EffectHandler.h"

#include <filesystem>

irr::scene::ISceneNode* PlayerSelfQueryFilter::target = nullptr;

PlayerSelfQueryFilter& PlayerSelfQueryFilter::instance() {
    static PlayerSelfQueryFilter filter;
    return filter;
}

phys::QueryHitType PlayerSelfQueryFilter::preFilter(const phys::FilterData&, phys::Shape* shape, phys::RigidActor*,
                                                    std::uint32_t&) {
    // Null and the controller marker both read as no record.
    const PhysicsUserData* record = shape ? userDataRecord(shape->userData) : nullptr;
    if (!record)
        return phys::QueryHitType::None;
    return record->node == target ? phys::QueryHitType::Block : phys::QueryHitType::None;
}

phys::QueryHitType PlayerSelfQueryFilter::postFilter(const phys::FilterData&, const phys::QueryHit&) {
    return phys::QueryHitType::Block;
}

PlayerLayerQueryFilter& PlayerLayerQueryFilter::instance() {
    static PlayerLayerQueryFilter filter;
    return filter;
}

phys::QueryHitType PlayerLayerQueryFilter::preFilter(const phys::FilterData&, phys::Shape* shape, phys::RigidActor*,
                                                     std::uint32_t&) {
    if (!shape)
        return phys::QueryHitType::None;
    return (shape->getQueryFilterData().word1 & 0x3f00u) != 0 ? phys::QueryHitType::Block : phys::QueryHitType::None;
}

phys::QueryHitType PlayerLayerQueryFilter::postFilter(const phys::FilterData&, const phys::QueryHit&) {
    return phys::QueryHitType::Block;
}

bool isPointTouchingObject(const irr::core::vector3df& point, irr::scene::ISceneNode* object, phys::RaycastHit& hit) {
    if (!object || !physicsManager || !physicsManager->getScene())
        return false;
    const irr::core::aabbox3df world = object->getTransformedBoundingBox();
    const irr::core::aabbox3df local = object->getBoundingBox();
    const irr::core::matrix4& transform = object->getAbsoluteTransformation();
    irr::core::vector3df targets[15];
    world.getEdges(targets);
    const irr::core::vector3df centre = local.getCenter();
    const irr::core::vector3df half = local.getExtent() * 0.5f;
    const irr::core::vector3df faces[6] = {centre + irr::core::vector3df(half.X, 0, 0), centre - irr::core::vector3df(half.X, 0, 0),
                                           centre + irr::core::vector3df(0, half.Y, 0), centre - irr::core::vector3df(0, half.Y, 0),
                                           centre + irr::core::vector3df(0, 0, half.Z), centre - irr::core::vector3df(0, 0, half.Z)};
    for (int face = 0; face < 6; ++face) {
        targets[8 + face] = faces[face];
        transform.transformVect(targets[8 + face]);
    }
    targets[14] = world.getCenter();

    bool found = false;
    irr::f32 nearest = 1.0e14f;
    for (const irr::core::vector3df& aim : targets) {
        irr::core::vector3df direction = aim - point;
        if (direction.getLength() <= 0.0f)
            continue;
        direction.normalize();
        PlayerSelfQueryFilter::target = object;
        phys::RaycastHit rayHit;
        const bool hitSomething = physicsManager->getScene()->raycastSingle(
            toPhys(point), toPhys(direction), 500.0f, phys::HitDefault, rayHit,
            phys::QueryFilterData(phys::QueryDynamic | phys::QueryPrefilter), &PlayerSelfQueryFilter::instance());
        if (!hitSomething)
            continue;
        const irr::f32 distance = toEngine(rayHit.position).getDistanceFromSQ(point);
        if (!found || distance < nearest) {
            hit = rayHit;
            nearest = distance;
            found = true;
        }
    }
    PlayerSelfQueryFilter::target = nullptr;
    return found;
}

void updateLimbTouchPoint(LimbState& arm) {
    arm.touchPoint = irr::core::vector3df();
    arm.touching = false;
    if (arm.links.empty() || !arm.links.back().body)
        return;
    irr::scene::ISceneNode* object = arm.touchedObject;
    phys::RaycastHit hit;
    if (!object || !isPointTouchingObject(toEngine(arm.links.back().body->getGlobalPose().p), object, hit))
        return;
    irr::core::matrix4 inverse = object->getAbsoluteTransformation();
    // The engine leaves a matrix whose determinant is not above the smallest normal float as it is.
    inverse.makeInverse();
    irr::core::vector3df local = toEngine(hit.position);
    inverse.transformVect(local);
    arm.touchPoint = local;
    arm.touching = true;
    setLimbDriveMode(arm, 2);
}

void updateLimbLinkMass(LimbState& leg) {
    irr::f32 mass = 30.0f;
    if (leg.owner) {
        const bool heavier = leg.owner->getWeightMode() == 0;
        leg.owner->getWeightModeAux();
        if (heavier)
            mass += 24.0f;
    }
    if (!leg.light)
        mass += 30.0f;
    if (leg.currentLink >= 0 && leg.currentLink < irr::s32(leg.links.size()) && leg.links[std::size_t(leg.currentLink)].body) {
        phys::RigidDynamic* body = leg.links[std::size_t(leg.currentLink)].body;
        phys::Shape* shape = nullptr;
        phys::BoxGeometry box;
        phys::Transform shapePose;
        if (body->getShapes(&shape, 1) == 1 && shape) {
            shape->getBoxGeometry(box); // half extents stay zero for other shapes
            shapePose = shape->getLocalPose();
        }
        const phys::Vec3 centre = shapePose.p + phys::Vec3(box.halfExtents.x, 0.0f, 0.0f);
        phys::setMassAndUpdateInertia(*body, mass, &centre);
        for (std::size_t link = std::size_t(leg.currentLink); link < leg.links.size(); ++link)
            if (leg.links[link].body)
                setActorMaterial(leg.links[link].body, leg.light ? 1u : 2u);
    }
    leg.linkMassDirty = false;
}

std::array<std::string, 8> limbHighlightTexturePaths(const std::string& meshPath) {
    static const char* const suffixes[8] = {"Highlight1.dds", "Highlight2.dds", "Highlight3.dds", "Highlight4.dds",
                                            "RArm.dds",       "LLeg.dds",       "RLeg.dds",       "LArm.dds"};
    const std::size_t slash = meshPath.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? std::string() : meshPath.substr(0, slash + 1);
    std::string stem = slash == std::string::npos ? meshPath : meshPath.substr(slash + 1);
    if (const std::size_t dot = stem.rfind('.'); dot != std::string::npos)
        stem.resize(dot);
    std::error_code error;
    const bool ownSet = std::filesystem::exists(folder + stem + "Highlight1." + "dds", error);
    std::array<std::string, 8> paths;
    for (int n = 0; n < 8; ++n)
        paths[std::size_t(n)] = (ownSet ? folder + stem : std::string("Content/Models/Characters/Tentaro")) + suffixes[n];
    return paths;
}

void applyLimbHighlightTextures(const std::string& meshPath) {
    if (!effectHandler || !gameDevice || !gameDevice->getVideoDriver())
        return;
    const std::array<std::string, 8> paths = limbHighlightTexturePaths(meshPath);
    // Loaded as right arm, left leg, right leg, left arm; the handler keeps right arm, left
    // arm, right leg, left leg.
    static const int slots[8] = {0, 1, 2, 3, 4, 7, 6, 5};
    for (int n = 0; n < 8; ++n)
        effectHandler->limbTextures[slots[n]] = gameDevice->getVideoDriver()->getTexture(paths[std::size_t(n)].c_str());
}
