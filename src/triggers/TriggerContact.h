#pragma once

#include <irrlicht.h>

#include <vector>

namespace phys {
class Actor;
class Shape;
} // namespace phys

// One shape inside a trigger volume (occupancy). The trigger owns the record.
struct TriggerContact {
    irr::scene::ISceneNode* node = nullptr; // the level object of the shape
    phys::Actor* otherActor = nullptr;      // the shape's actor when it is a dynamic body
    phys::Shape* otherShape = nullptr;
    irr::core::vector3df entryPosition; // the other actor's position when the touch began
    irr::core::vector3df secondVector;  // zero
};

// Records in insertion order. A previous-frame copy keeps surplus records with a null node,
// which every reader skips.
using TriggerContactList = std::vector<TriggerContact>;
