#pragma once

#include <irrlicht.h>

// What the renderer reads of the shape of a node's mesh. Mesh buffers are judged once and
// remembered while they stay unchanged.

// Whether a node's shading normals follow its surface: every vertex normal lies within 40
// degrees of the plane of each triangle it belongs to, and the node is scaled alike on its
// three axes. A curved surface of smoothed normals does (and a flat-shaded one); normals
// averaged over a box's corners or bent by an uneven scale do not. The shadow's edge on a
// surface whose normals follow it turns with its shading; elsewhere the triangles' planes
// decide it.
bool followsShadingNormals(irr::scene::ISceneNode* node);
bool followsShadingNormals(const irr::scene::IMeshBuffer* buffer);

// Whether a node's mesh is closed and convex: every edge (by where its ends lie) belongs to
// two triangles, and no vertex of any of its buffers lies outside the plane of any of its
// triangles (by more than a thousandth of the mesh's size). Such a mesh hides what lies
// inside it and cannot shadow itself where it faces the light. False for a mesh skinned by
// joints (its pose changes), for a mesh whose vertices have moved since it was judged (cloth,
// water: judged once, not every frame) and for node types without a mesh.
bool isClosedConvexMesh(irr::scene::ISceneNode* node);
