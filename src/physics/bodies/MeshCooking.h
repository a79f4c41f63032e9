#pragma once

#include "phys/Phys.h"

#include <irrlicht.h>

#include <vector>

// Convex and triangle meshes cooked in memory from one engine mesh buffer, every time a body
// is built. The vertex scale is applied to the positions here: the shapes made from the
// meshes use the identity mesh scale. Failures are printed to standard output ("Failed
// convex mesh cooking", "Failed to create convex mesh", and the same for triangle meshes)
// and answer null. The caller owns the returned reference.

class PhysicsManager;

phys::ConvexMesh* cookConvexMesh(PhysicsManager* manager, const irr::scene::IMeshBuffer* buffer,
                                 const irr::core::vector3df& vertexScale);
phys::TriangleMesh* cookTriangleMesh(PhysicsManager* manager, const irr::scene::IMeshBuffer* buffer,
                                     const irr::core::vector3df& vertexScale);

// The buffer's vertex positions multiplied by the scale, component by component. The
// position is the first three floats of every vertex layout; the stride is the engine's own
// vertex size of the buffer's layout.
std::vector<phys::Vec3> scaledBufferPositions(const irr::scene::IMeshBuffer& buffer,
                                              const irr::core::vector3df& vertexScale);
