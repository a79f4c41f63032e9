#pragma once

#include <irrTypes.h>

#include <vector>

namespace irr::scene {
class ISceneNode;
}
namespace phys {
class Actor;
class Shape;
} // namespace phys

// What every physics actor and shape carries as user data: its owner and the roles in which
// the contact dispatch, the filter callback and the controllers treat it, taken once from
// the owner's type when the record is made. Character-controller shapes carry the marker
// controllerShapeMarker instead; readers treat it like a missing record.

enum class PhysicsState : irr::s32 { Static = 0, Kinematic = 1, Dynamic = 2 };

// "CCTS" packed like a type identifier.
constexpr irr::u32 controllerShapeMarker = 0x53544343;

struct PhysicsUserData {
    // A record with an owner can be found by it (findUserDataOfNode) while it lives.
    explicit PhysicsUserData(irr::scene::ISceneNode* owner);
    ~PhysicsUserData();
    PhysicsUserData(const PhysicsUserData&) = delete;
    PhysicsUserData& operator=(const PhysicsUserData&) = delete;

    irr::scene::ISceneNode* node = nullptr;
    // The owner in each of its roles (null when it has not that role): a physics kind
    // ('phsx', 'apsx', 'ties', 'crct'), a trigger ('trgr', 'cmrv', 'cond', 'frce', 'chck'),
    // a character ('crct'), the player's legs ('legs'), arms ('arms') and body ('plr1').
    irr::scene::ISceneNode* physicsObject = nullptr;
    irr::scene::ISceneNode* trigger = nullptr;
    irr::scene::ISceneNode* character = nullptr;
    irr::scene::ISceneNode* legs = nullptr;
    irr::scene::ISceneNode* arms = nullptr;
    irr::scene::ISceneNode* player = nullptr;
    // Compound bodies: the children whose shapes sit on this record's actor, and the
    // parent whose actor carries this one's shapes.
    std::vector<PhysicsUserData*> children;
    PhysicsUserData* parent = nullptr;
    PhysicsState state = PhysicsState::Static;
    bool compound = false;
    bool active = true; // contacts are reported for it
    bool sharedBody = false;
};

// The record behind a user-data pointer: null for none and for the controller marker.
PhysicsUserData* userDataRecord(void* userData);
PhysicsUserData* userDataOf(const phys::Actor* actor);
PhysicsUserData* userDataOf(const phys::Shape* shape);
// The live record whose owner is the node, or null.
PhysicsUserData* findUserDataOfNode(const irr::scene::ISceneNode* node);
