#pragma once

#include <irrlicht.h>

// The three attribute operations the level editor distinguishes from plain values. In
// files they are ordinary attributes (an int, a string), and readers use the plain
// getters; the marking only tells an editor how to offer the value.

// An object ID that names another level object ("ObjectID1", "TargetID", ...).
void addObjectReference(irr::io::IAttributes* out, const char* name, irr::s32 objectID);
// A path to a content file ("MeshFileName", "NextLevel", ...); a narrow path is UTF-8.
void addFilePath(irr::io::IAttributes* out, const char* name, const char* path);
void addFilePath(irr::io::IAttributes* out, const char* name, const wchar_t* path);
// An object-ID expression naming several objects ("ObjectIDs", "PhysicsObjectIDs", ...).
void addObjectIDList(irr::io::IAttributes* out, const char* name, const char* expression);
void addObjectIDList(irr::io::IAttributes* out, const char* name, const wchar_t* expression);

// Reads an attribute only when the container holds it, looking it up once; answers
// whether it was there. Absent keys leave the value as it is. Texts are read as UTF-8 (paths
// reach the file system so).
bool readIfPresent(irr::io::IAttributes* in, const char* name, irr::s32& value);
bool readIfPresent(irr::io::IAttributes* in, const char* name, irr::f32& value);
bool readIfPresent(irr::io::IAttributes* in, const char* name, bool& value);
bool readIfPresent(irr::io::IAttributes* in, const char* name, irr::core::vector3df& value);
bool readIfPresent(irr::io::IAttributes* in, const char* name, irr::core::vector2df& value);
bool readIfPresent(irr::io::IAttributes* in, const char* name, irr::core::stringc& value);
// An enumeration by its name in the table; false when absent or not one of the names.
bool readEnumIfPresent(irr::io::IAttributes* in, const char* name, const char* const* literals,
                       irr::s32& value);
