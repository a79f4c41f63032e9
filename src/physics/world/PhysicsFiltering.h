#pragma once

#include "phys/Phys.h"

#include <irrTypes.h>

namespace irr::scene {
class ISceneNode;
}

// Which pairs of shapes collide, only report, trigger or ignore each other. Every shape
// carries the same four filter words as simulation and query filter data:
//   word0  the categories it belongs to (bits below)
//   word1  the categories it accepts, plus filterUseCallback: ask the filter callback,
//          which suppresses pairs named in either object's "NoCollideIDs"
//   word2  an exclusion tag (0 everywhere); word3 0.
// A pair passes when each side accepts the other; when either is in a Custom group one
// side's acceptance is enough. A passing pair reports where its touches begin (with their
// contact points) and end; a pair with a player body part also every step its touch
// persists. A pair with a trigger volume (word0 == 8) reports where its touches begin and
// end and is never resolved.

namespace collisionCategory {
constexpr irr::u32 Dynamic = 0x1;          // dynamic or kinematic objects; particle systems
constexpr irr::u32 Static = 0x2;
constexpr irr::u32 BlockerTarget = 0x4;    // what blocker shapes accept; nothing has it
constexpr irr::u32 TriggerVolume = 0x8;
constexpr irr::u32 PlayerOnly = 0x10;      // collides only with the player ("CollideOnlyTentaro")
constexpr irr::u32 DoorBlocker = 0x20;
constexpr irr::u32 Character = 0x80;
constexpr irr::u32 PlayerBody = 0x3F00;    // the six body-part categories of the player
constexpr irr::u32 Custom1 = 0x10000000;
constexpr irr::u32 Custom2 = 0x20000000;
constexpr irr::u32 Custom3 = 0x40000000;
constexpr irr::u32 Custom4 = 0x80000000;
} // namespace collisionCategory

// word1 flag: consult the exclusion lists.
constexpr irr::u32 filterUseCallback = 0x40;

// The scene's filter shader.
phys::FilterFlags simulationFilterShader(phys::FilterObjectAttributes attributes0, phys::FilterData filterData0,
                                         phys::FilterObjectAttributes attributes1, phys::FilterData filterData1,
                                         phys::PairFlags& pairFlags, const void* constantBlock,
                                         irr::u32 constantBlockSize);

// Suppresses a pair when either physics object names the other in its exclusion list.
class PhysicsFilterCallback : public phys::SimulationFilterCallback {
public:
    phys::FilterFlags pairFound(uint32_t pairId, phys::FilterObjectAttributes attributes0,
                                phys::FilterData filterData0, const phys::Actor* actor0, const phys::Shape* shape0,
                                phys::FilterObjectAttributes attributes1, phys::FilterData filterData1,
                                const phys::Actor* actor1, const phys::Shape* shape1,
                                phys::PairFlags& pairFlags) override;
    void pairLost(uint32_t, phys::FilterObjectAttributes, phys::FilterData, phys::FilterObjectAttributes,
                  phys::FilterData, bool) override {}
    bool statusChange(uint32_t&, phys::PairFlags&, phys::FilterFlags&) override { return false; }
};

// The one filter callback, shared by every scene of the run.
PhysicsFilterCallback& physicsFilterCallback();

// Whether a physics object's exclusion list names an object ID. The physics objects answer
// it once they exist; until then nothing is excluded.
using ExclusionTest = bool (*)(irr::scene::ISceneNode* physicsObject, irr::s32 otherID);
void setExclusionTest(ExclusionTest test);

// Filter words and shape flags on every shape of an actor.
void setActorFilterData(phys::RigidActor* actor, irr::u32 word0, irr::u32 word1);
void addActorFilterBits(phys::RigidActor* actor, irr::u32 bits);
void setShapeFilterData(phys::Shape* shape, irr::u32 word0, irr::u32 word1);
// True when any shape's simulation word0 has any of the bits.
bool actorHasFilterBits(phys::RigidActor* actor, irr::u32 bits);
void setActorShapeFlag(phys::RigidActor* actor, phys::ShapeFlag flag, bool value);
// False without shapes; else whether the first shape is a simulation shape.
bool isActorSimulationShape(phys::RigidActor* actor);
// Every shape gets the manager's standard material of that index.
void setActorMaterial(phys::RigidActor* actor, irr::u32 index);
