#pragma once

#include <irrlicht.h>

// The box, in the node's own space, that holds what the node draws: its bounding box, grown
// by its own size each way for a node the engine does not cull by its box (a mesh skinned on
// the card or bent by joint animators, a billboard), which may draw somewhat beyond it.
irr::core::aabbox3df drawnLocalBox(const irr::scene::ISceneNode* node);

// The node is a joint of an animated mesh (its parent or a joint above it). Joints draw
// nothing, and the game hangs nothing under them (what follows a joint follows it by an
// animator): a walk over the drawn nodes passes a mesh's joints by with everything below them.
bool isMeshJoint(irr::scene::ISceneNode* node);
