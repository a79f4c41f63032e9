#pragma once

#include <irrlicht.h>

// Placing a node in world space: each helper sets the node's relative transform so that
// its world transform becomes the given one, through the parent-transform query (a node
// that ignores its parent's transformation is placed directly). The node's absolute
// transformation is updated; the parent's is taken as it stands.

void setNodeWorldPosition(irr::scene::ISceneNode* node, const irr::core::vector3df& position);
// Euler angles in degrees.
void setNodeWorldRotation(irr::scene::ISceneNode* node, const irr::core::vector3df& rotation);
// Relative translation, rotation and scale so that the absolute transformation becomes the
// matrix (as far as a translation-rotation-scale transform can express it).
void setNodeWorldTransform(irr::scene::ISceneNode* node, const irr::core::matrix4& transform);
