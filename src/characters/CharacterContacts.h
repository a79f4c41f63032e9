#pragma once

#include "phys/Phys.h"

#include <irrlicht.h>

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
