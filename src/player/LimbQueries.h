#pragma once

#include "phys/Phys.h"

#include <array>
#include <irrlicht.h>
#include <string>

struct LimbState;

// Scene-query filter that lets a query hit only the shapes of one object (the target, set
// just before each query; main thread only).
class PlayerSelfQueryFilter : public phys::QueryFilterCallback {
public:
    phys::QueryHitType preFilter(const phys::FilterData& filterData, phys::Shape* shape, phys::RigidActor* actor,
                                 std::uint32_t& queryFlags) override;
    phys::QueryHitType postFilter(const phys::FilterData& filterData, const phys::QueryHit& hit) override;

    static PlayerSelfQueryFilter& instance();
    static irr::scene::ISceneNode* target;
};

// Scene-query filter that lets a query hit only shapes on the layers 0x3f00 of their query
// data's second word.
class PlayerLayerQueryFilter : public phys::QueryFilterCallback {
public:
    phys::QueryHitType preFilter(const phys::FilterData& filterData, phys::Shape* shape, phys::RigidActor* actor,
                                 std::uint32_t& queryFlags) override;
    phys::QueryHitType postFilter(const phys::FilterData& filterData, const phys::QueryHit& hit) override;

    static PlayerLayerQueryFilter& instance();
};

// True when one of fifteen rays from the point (to the corners and centre of the object's
// world box and the centres of its local box's faces) hits the object; the hit record gets
// the nearest such hit.
bool isPointTouchingObject(const irr::core::vector3df& point, irr::scene::ISceneNode* object, phys::RaycastHit& hit);
// Where the arm's tip touches its touched object, in the object's space (softens the links
// when it does).
void updateLimbTouchPoint(LimbState& arm);
// A leg's link mass (30, plus 24 in the heavier weight mode, plus 30 unless light) and the
// links' surface material from the current link on.
void updateLimbLinkMass(LimbState& leg);
// The four highlight and four limb textures for the player's mesh: the mesh's own set when
// its folder holds <stem>Highlight1.dds, else the default set.
std::array<std::string, 8> limbHighlightTexturePaths(const std::string& meshPath);
// Loads them into the effect handler's slots.
void applyLimbHighlightTextures(const std::string& meshPath);
