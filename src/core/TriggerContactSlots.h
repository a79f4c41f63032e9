#pragma once

#include <irrlicht.h>

#include <functional>

namespace phys {
class Actor;
class Shape;
} // namespace phys

// The entry points through which the physics contact dispatch reports shapes entering and
// leaving trigger volumes, on the main thread after the step's results are fetched. The
// triggers subsystem fills them when it registers; the physics code calls them without
// knowing the trigger classes. `trigger` is the level object named by the trigger actor's
// user data (a trigger kind), `node` the level object of the other shape; the other actor
// is passed only when it is a dynamic body, else null.
struct TriggerContactSlots {
    // A touch found: true when the trigger made a record for it.
    std::function<bool(irr::scene::ISceneNode* trigger, irr::scene::ISceneNode* node,
                       const irr::core::vector3df& entryPosition, phys::Actor* triggerActor,
                       phys::Actor* otherActor, phys::Shape* otherShape)>
        objectEnter;
    // A touch lost.
    std::function<void(irr::scene::ISceneNode* trigger, irr::scene::ISceneNode* node,
                       phys::Actor* triggerActor, phys::Actor* otherActor, phys::Shape* otherShape)>
        objectLeave;
};

inline TriggerContactSlots& triggerContactSlots() {
    static TriggerContactSlots slots;
    return slots;
}
