#pragma once

#include "phys/Phys.h"

#include <irrlicht.h>

#include <vector>

// Small services on a cloth's particles. Positions are in the cloth's frame; a particle of
// inverse weight 0 is pinned (it moves only when moved by these services).

class PhysicsManager;

// The fabric of a cloth mesh, cooked in memory; null when cooking or creation fails.
phys::ClothFabric* cookClothFabric(PhysicsManager& manager, const phys::ClothMeshDesc& desc,
                                   const phys::Vec3& gravityDirection);
// Moves every particle by the pose (rotation, then position); false when the particles
// cannot be read.
bool transformClothParticles(phys::Cloth& cloth, const phys::Transform& pose);
// Copies every particle position into the array (grown to the particle count).
bool readClothParticlePositions(phys::Cloth& cloth, std::vector<irr::core::vector3df>& positions);
// Moves the pinned particles to the given positions (one per particle); free particles
// keep theirs. False when the counts differ or the particles cannot be read.
bool updatePinnedClothParticles(phys::Cloth& cloth, const std::vector<irr::core::vector3df>& positions);
// Frees every particle, then pins those whose sphere of the radius overlaps the shape.
void pinClothParticlesInShape(phys::Cloth& cloth, const phys::Shape& shape, float radius);
