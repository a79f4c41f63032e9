#pragma once

#include <irrlicht.h>

// Skinning on the graphics card. A skinned mesh handed to the shaders carries, per vertex,
// up to four joint numbers + 1 in its vertex colour (red, green, blue, alpha; 0 = none) and
// their weights in the binormal's x, y, z (the fourth weight is what the first three leave
// of 1: this engine passes no further vertex float). Each draw sends one skinning matrix per
// joint, packed into three float4 rows ("mJointTransform", 75 slots).

constexpr irr::u32 maxHardwareJoints = 75;
constexpr irr::u32 jointRowFloats = maxHardwareJoints * 12; // 900

// 75 slots of three float4 rows: joint matrices (skinning) or instance transforms.
struct JointRowBuffer {
    irr::f32 rows[jointRowFloats] = {};
};

// The physics object behind a node ('phsx', 'apsx', 'ties', 'crct': the node itself; an
// animated mesh node: its nearest 'phsx'-kind ancestor) and the animated mesh node itself.
// A null node or another type leaves both as they were.
void isAnimatedMeshOwnerType(irr::scene::ISceneNode* node, irr::scene::ISceneNode*& object,
                             irr::scene::ISceneNode*& meshNode);

// The hardware-skinning switch is on and the shaders run.
bool isHardwareSkinningActive();
// Writes the joint numbers and weights into the mesh's vertices (turning its buffers into
// tangent vertices, whose binormal carries the weights). Nothing unless skinning on the
// card is active. A vertex keeps its first four influences in joint order.
void prepareSkinnedMeshForShader(irr::scene::ISkinnedMesh* mesh);
// Hands the mesh's skinning to the shaders while skinning on the card is active, else back
// to the engine's processor skinning.
void updateHardwareSkinning(irr::scene::ISkinnedMesh* mesh);
// The mesh is skinned by the shaders (updateHardwareSkinning switched it on).
bool isMeshSkinnedByShaders(const irr::scene::ISkinnedMesh* mesh);
// Forgets a mesh that is about to be freed.
void forgetSkinnedMesh(const irr::scene::ISkinnedMesh* mesh);

// Joints sent to the card for a node's mesh: min(joint count, 75) when it has more than one
// joint, else 0. A mesh with more joints than fit is skinned by the engine instead (one log
// line per mesh): hardwareJointCount answers 0 for it.
irr::u32 hardwareJointCount(irr::scene::IAnimatedMeshSceneNode* node);
// Slot j (j below count) = the joint's global animated matrix x its global inverse matrix,
// packed by matrixToJointRows.
void writeJointRows(irr::scene::ISkinnedMesh* mesh, irr::u32 count, irr::f32* rows);
// The skinned mesh of a node (null when the node is no animated mesh node or its mesh is
// not skinned).
irr::scene::ISkinnedMesh* skinnedMeshOf(irr::scene::ISceneNode* node);

// Prepares an animated mesh node for skinning on the card, as a physics object does after
// loading its mesh: when its hardware joint count is above 1, prepareSkinnedMeshForShader
// then updateHardwareSkinning. Answers whether the shaders skin it.
bool prepareNodeForHardwareSkinning(irr::scene::IAnimatedMeshSceneNode* node);

// The joint rows for the node being drawn: its physics object's (through the render
// services), else, for an animated mesh node whose mesh the shaders skin, rows written from
// the mesh's current joints into `scratch`. Null when there are none; `count` gets the
// number of joints.
const irr::f32* jointRowsForDrawnNode(irr::scene::ISceneNode* drawn, irr::u32& count, JointRowBuffer& scratch);
