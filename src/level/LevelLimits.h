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

// The longest text a text object shows (it makes one scene node per glyph), and the longest
// name or text a level may put into the save.
inline constexpr irr::u32 maxLevelTextLength = 2048;

// value + offset for a number a level gives that the game moves by an offset (an object ID
// plus a pool index, a player number minus one): false, and `sum` untouched, when the result
// would leave the 32-bit range. Callers refuse or clamp the value with one line.
bool offsetLevelValue(irr::s32 value, irr::s64 offset, irr::s32& sum);

// The warning of one value clamped, as clampLevelAttributes writes it: "Warning: Level object
// \"<name>\" (<type>): <key> <was> clamped to <now> (allowed <low> to <high>)".
void logLevelClamp(const irr::c8* typeName, const irr::c8* objectName, const irr::c8* key, const std::string& was,
                   const std::string& now, irr::s64 low, irr::s64 high);

// Clamps a float a level gives (a duration, a delay) into low..high with the same warning line,
// the numbers in their shortest exact form ("MoveDuration inf clamped to 0 (allowed 0 to
// 3600)"). A value that is not finite takes low: it names no length at all.
void clampLevelFloat(const irr::c8* typeName, const irr::c8* objectName, const irr::c8* key, irr::f32& value,
                     irr::f32 low, irr::f32 high);

// The longest move a Move Object makes and the longest a Run Fake Transition holds the screen
// covered, in seconds.
inline constexpr irr::f32 maxLevelMoveSeconds = 3600.0f;
inline constexpr irr::f32 maxLevelHoldSeconds = 60.0f;
