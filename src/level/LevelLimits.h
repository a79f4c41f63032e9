#pragma once

#include <irrlicht.h>

#include <string>

// What a level file may ask of the engine and the game: the engine's own node types it may
// name, and the sane range of every count, size and rate a level gives (sphere tessellation,
// particle rates, font sizes, pool and joint counts, spline divisions, render-target sizes,
// text lengths). A value outside its range would make the engine or the game work or
// allocate without bound.

// True for the engine node types the game's levels use ("cube", "sphere", "light", "camera",
// "mesh"); every other engine type (terrain, particle system, animated mesh, ...) is refused.
bool isEngineNodeTypeForLevels(const irr::c8* typeName);

// Clamps each bounded attribute of one node's (or animator's) attributes into its range,
// with one warning line per value changed. typeName names the node in the line.
void clampLevelAttributes(const irr::c8* typeName, irr::io::IAttributes* attributes);

// The longest text a text object shows (it makes one scene node per glyph).
inline constexpr irr::u32 maxLevelTextLength = 2048;

// The warning of one value clamped, as clampLevelAttributes writes it: "Warning: Level object
// \"<name>\" (<type>): <key> <was> clamped to <now> (allowed <low> to <high>)".
void logLevelClamp(const irr::c8* typeName, const irr::c8* objectName, const irr::c8* key, const std::string& was,
                   const std::string& now, irr::s64 low, irr::s64 high);
