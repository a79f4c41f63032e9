#pragma once

#include <irrlicht.h>

#include <vector>

// What the renderer reads of the physics object behind a drawn node. Each answers what a
// node without such an object would when the node is not a physics object ('phsx', 'apsx',
// 'ties', 'crct').

// What the shader constants read of the physics object (or player object) behind a drawn
// node; the defaults are those of a node without such an object.
struct ShadedObjectState {
    irr::f32 alpha = 1.0f;              // AlphaOverride x run-time fade
    irr::f32 pulsePhase = 0.0f;         // 0..1, run down and wrapped by the object
    irr::s32 highlightMode = 0;         // 0 none, 1..6
    irr::f32 highlightFlashTime = 0.0f; // seconds left of the suspicion flash (mode 5)
    bool receiveShadow = true;
    bool rimShading = false;
    bool hasReflectionView = false; // reflective objects only
    irr::core::matrix4 reflectionView;
};

// What the shader constants read of the object; false (and the defaults) for any other node.
bool readShadedObjectState(irr::scene::ISceneNode* object, ShadedObjectState& state);
// The object's physics state is not Static.
bool isMovingObject(irr::scene::ISceneNode* object);
// The point of the object's instance record while it is drawn instanced (its instance count
// is not 0).
bool readInstancePoint(irr::scene::ISceneNode* object, irr::core::vector3df& point);
// The object tracks its skinning joints (joint-tracking flag set and more than one skinning
// joint).
bool tracksSkinningJoints(irr::scene::ISceneNode* object);
// The object's listeners after its animated mesh was drawn.
void notifyMeshRendered(irr::scene::ISceneNode* object);
// The instance transforms of the object owning a drawn node: the mesh node's absolute
// transformation first, then one per registered instance (zero for an invisible one). False
// when the node is not the instanced node of an object with instances.
bool readInstanceTransforms(irr::scene::ISceneNode* drawn, std::vector<irr::core::matrix4>& out);
// The joint rows (75 slots of three float4 rows) of the object after its forced animation
// update, and its hardware joint count; null when it keeps none (a character moving its
// joints itself): the drawn mesh's joints are read instead.
const irr::f32* readObjectJointRows(irr::scene::ISceneNode* object, irr::u32& hardwareJoints);
// The object is drawn as an instance of another physics object (its own mesh node is drawn
// by the other's instanced node).
bool isDrawnAsInstance(irr::scene::ISceneNode* object);
