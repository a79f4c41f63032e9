#pragma once

#include "phys/Phys.h"

#include <irrlicht.h>

class CharacterObject;
class PhysicsObject;

// A physics object struck a character (the contact dispatch calls it through its slot).
// Player 0's suspicion record takes the raise: a thrown object at the speed threshold of
// the character type's HitByThrown rule or faster, or a held object faster than its
// HitByGrabbed threshold, raises suspicion by the rule's amount at the contact point
// (never on difficulty 0, never while the character reacts), and the character turns its
// hit side toward the point and becomes Reacting. A kinematic object that turns dynamic on
// touch turns dynamic. Whether it handled the contact (false without player 0).
bool onCharacterStruck(PhysicsObject* object, irr::scene::ISceneNode* character, phys::RigidActor* objectActor,
                       const phys::ContactPair& pair);

// The character's controller ran into a shape while it moved (its hit report): a thrown or
// held physics object it met counts as striking it at the object's speed, at the point where
// they met. Anything else it touches, a kinematic object too, is no strike.
void onCharacterRanInto(CharacterObject* character, phys::Shape* shape, phys::RigidActor* actor,
                        const irr::core::vector3df& position);

// Whether the character walks (its current state is Walking), with the walk vector its
// walking keeps and its push value: a walking character's controller pushes the free
// objects it meets aside (the physics dispatch applies the push).
bool walkingPush(const CharacterObject* character, irr::core::vector3df& walkVector, irr::f32& pushValue);

// Two characters' controllers met: when both stand Stopped, the one whose global state is
// not Stopped (this one first) walks on; its current state becomes Walking directly.
void onCharactersMet(CharacterObject* own, CharacterObject* other);
