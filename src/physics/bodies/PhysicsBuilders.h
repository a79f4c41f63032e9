#pragma once

#include <irrlicht.h>

// The half extents of a physics object's box. Explicit "BoxExtents" (full edge lengths) are
// taken as they are, unscaled, when the object has a mesh node; zero extents take the size
// of the mesh node's bounds, scaled by its relative and absolute scales. Without a mesh node
// zero extents are a unit cube, and the object's own absolute scale applies in both cases.
irr::core::vector3df boxHalfExtents(irr::scene::ISceneNode* object, irr::scene::ISceneNode* meshNode,
                                    const irr::core::vector3df& boxExtents);
