#pragma once

#include "phys/SceneQuery.h"

class ExpressionNode;

// The scene-query filters of characters. Shapes of character controllers carry the
// controller marker (or a character's record) as user data; both filters test for it
// before reading any record.

// What a character's controller collides with while it moves: static shapes always;
// kinematic physics objects unless its NoCollideKinematicIDs expression names them; a
// dynamic object only until a kinematic one was seen in the same move (so what rides on a
// platform it passes through does not stop it); never another character.
class CharacterQueryFilter : public phys::QueryFilterCallback {
public:
    explicit CharacterQueryFilter(const ExpressionNode* noCollide) : noCollide(noCollide) {}
    phys::QueryHitType preFilter(const phys::FilterData& filterData, phys::Shape* shape, phys::RigidActor* actor,
                                 uint32_t& queryFlags) override;
    phys::QueryHitType postFilter(const phys::FilterData& filterData, const phys::QueryHit& hit) override;

    bool kinematicSeen = false;

private:
    const ExpressionNode* noCollide;
};

// The sight test of vision cones: only physics objects, advanced physics objects, ties and
// characters whose BlocksVision is set block the ray.
class VisionQueryFilter : public phys::QueryFilterCallback {
public:
    phys::QueryHitType preFilter(const phys::FilterData& filterData, phys::Shape* shape, phys::RigidActor* actor,
                                 uint32_t& queryFlags) override;
    phys::QueryHitType postFilter(const phys::FilterData& filterData, const phys::QueryHit& hit) override;
};

// The one vision filter every cone shares.
VisionQueryFilter& visionQueryFilter();
