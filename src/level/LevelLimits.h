#pragma once

#include <irrlicht.h>

// What a level file may ask of the engine and the game: the engine's own node types it may
// name, and the sane range of every count, size and rate a level gives (sphere tessellation,
// particle rates, font sizes, pool and joint counts, render-target sizes). A value outside
// its range would make the engine or the game work or allocate without bound.

// True for the engine node types the game's levels use ("cube", "sphere", "light", "camera",
// "mesh"); every other engine type (terrain, particle system, animated mesh, ...) is refused.
bool isEngineNodeTypeForLevels(const irr::c8* typeName);

// Clamps each bounded attribute of one node's (or animator's) attributes into its range,
// with one warning line per value changed. typeName names the node in the line.
void clampLevelAttributes(const irr::c8* typeName, irr::io::IAttributes* attributes);
