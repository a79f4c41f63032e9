#pragma once

#include <irrlicht.h>

#include <cstdint>

// The triangles a node's mesh asks the driver to draw, charged to the level load's budget of
// them (LoadBudget::Triangles) where a mesh is attached to a node to be drawn: each node pays
// for its own, so that a thousand nodes of one mesh pay a thousand times. Past the budget the
// node is left out (the budget's one line says so).

// The triangles of the mesh's buffers (0 for none).
std::uint64_t meshTriangles(const irr::scene::IMesh* mesh);

// The triangles a mesh, animated mesh, cube or sphere node draws of its own mesh (0 for any
// other node).
std::uint64_t nodeTriangles(irr::scene::ISceneNode* node);

// Charges what nodeTriangles counts; true when it fits (or the node draws no mesh of its own).
bool chargeDrawnTriangles(irr::scene::ISceneNode* node);
