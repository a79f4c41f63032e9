#pragma once

#include <irrlicht.h>

#include <functional>

class CharacterObject;

// The character's way to its vision cone (characters/VisionCone.h): the character
// subsystem's registration fills these slots. Every slot is tested for emptiness where it
// is used: with an empty create slot no cone is made, and a character without a cone is
// blind, never blocked by the player it has not noticed, and keeps its head on its
// animation. Tests fill the
// slots with fakes and call resetVisionConeHooks() afterwards.
struct VisionConeHookTable {
    // VisionCone(owner, parent, scene manager, distance): a new cone under the parent (the
    // character's transform child). The parent holds the node; the caller drops nothing.
    // Empty or null: the character has no cone.
    std::function<irr::scene::ISceneNode*(CharacterObject* owner, irr::scene::ISceneNode* parent,
                                          irr::scene::ISceneManager* manager, irr::f32 distance)>
        create;
    // VisionCone::setVisionConeID: the cone's ID and its trigger's object ID (empty: the
    // node's ID only).
    std::function<void(irr::scene::ISceneNode* cone, irr::s32 id)> setID;
    // The cone's ID as level files store it ("VisionConeID"; empty: the node's ID).
    std::function<irr::s32(irr::scene::ISceneNode* cone)> getID;
    // The owner's vision-cone enabled flag and notice delay (seconds), copied into the cone.
    std::function<void(irr::scene::ISceneNode* cone, bool enabled, irr::f32 noticeDelay)> setEnabled;
    // The cone has noticed the player (its sees-player flag; empty: false). Head turning
    // follows the player while it is set, and only then does the player block the
    // character's way.
    std::function<bool(irr::scene::ISceneNode* cone)> seesPlayer;
    // The cone keeps the head on the player (empty: false).
    std::function<bool(irr::scene::ISceneNode* cone)> isTracking;
};

VisionConeHookTable& visionConeHooks();
void resetVisionConeHooks();
