#pragma once

#include <irrlicht.h>

// Whether a node's shading normals follow its surface: every vertex normal lies within 40
// degrees of the plane of each triangle it belongs to, and the node is scaled alike on its
// three axes. A curved surface of smoothed normals does (and a flat-shaded one); normals
// averaged over a box's corners or bent by an uneven scale do not. The shadow's edge on a
// surface whose normals follow it turns with its shading; elsewhere the triangles' planes
// decide it. Mesh buffers are judged once and remembered while they stay unchanged.
bool followsShadingNormals(irr::scene::ISceneNode* node);
bool followsShadingNormals(const irr::scene::IMeshBuffer* buffer);
