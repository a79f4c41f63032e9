#pragma once

#include <irrlicht.h>

// The three attribute operations the level editor distinguishes from plain values. In
// files they are ordinary attributes (an int, a string), and readers use the plain
// getters; the marking only tells an editor how to offer the value.

// An object ID that names another level object ("ObjectID1", "TargetID", ...).
void addObjectReference(irr::io::IAttributes* out, const char* name, irr::s32 objectID);
// A path to a content file ("MeshFileName", "NextLevel", ...).
void addFilePath(irr::io::IAttributes* out, const char* name, const char* path);
void addFilePath(irr::io::IAttributes* out, const char* name, const wchar_t* path);
// An object-ID expression naming several objects ("ObjectIDs", "PhysicsObjectIDs", ...).
void addObjectIDList(irr::io::IAttributes* out, const char* name, const char* expression);
void addObjectIDList(irr::io::IAttributes* out, const char* name, const wchar_t* expression);
