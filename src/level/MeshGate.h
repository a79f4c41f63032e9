#pragma once

#include <path.h>

#include <cstdint>

namespace irr::scene {
class IAnimatedMesh;
class IMesh;
class ISceneManager;
} // namespace irr::scene

// The mesh formats a level may use, and the only ones the game loads: Wavefront OBJ for
// static meshes (read by the game's own reader, level/ObjMesh.h) and B3D for skinned ones
// (walked whole by level/B3dCheck.h before the engine's loader reads it). Levels are
// content players share, and the engine's loaders of the other formats crash or hang on
// damaged files, so every other format is refused with one log line.
//
// The gate is the scene manager's mesh loader of first resort, for every file name: a mesh
// it refuses or cannot read becomes an empty mesh (one empty frame, no buffers) instead of
// reaching another loader, and the engine caches it under its name, so that the refusal is
// logged once. getGameMesh answers null for it.
//
// A mesh is the level's (core/LoadBudget.h): its file's bytes are charged to the bytes read,
// and the mesh as it is built to the memory, its vertices and indices in bytes. Past either
// it is left out as a refused file is, with the budget's one line. The engine keeps a mesh
// until it is given back (releaseLevelMeshes): one read before and used again costs nothing.

inline constexpr unsigned long long maxMeshFileBytes = 64ull * 1024 * 1024;

// Registers the gate with the scene manager (once; later calls do nothing).
void registerMeshGate(irr::scene::ISceneManager* manager);

// The scene manager's mesh for the file, or null when it is refused, damaged or missing.
irr::scene::IAnimatedMesh* getGameMesh(irr::scene::ISceneManager* manager, const irr::io::path& file);

// True for the empty mesh that stands for a refused or damaged file.
bool isRefusedMesh(irr::scene::IAnimatedMesh* mesh);

// The bytes of the mesh's vertices and indices: what a level's memory is charged for a mesh
// (0 for none).
std::uint64_t meshBytes(const irr::scene::IMesh* mesh);

// Whether the file's mesh was left out past a load's budget (which logged why).
bool wasMeshLeftOut(irr::scene::ISceneManager* manager, const irr::io::path& file);

// The empty meshes that stand for meshes past a budget leave the engine's cache when a new
// level load begins: a level with room in its budget reads the files again.
void forgetMeshesLeftOut(irr::scene::ISceneManager* manager);

// A level's meshes are given back in two steps around the next level's load, as its pictures
// are (core/ImageGate.h). The meshes the gate built for levels (as they load, wherever their
// files lie, or as they play, outside Content/) that nothing holds any more beside the engine's
// cache are set aside as the next load begins: out of the cache, not freed; one of them the next
// level (or the menus) asks for comes back unread. Once the load ends, what no one took back
// is freed, the driver's copy of its buffers with it. A mesh something still holds, or that a mesh
// staying in the cache animates from, stays and goes at a later give-back.
void setLevelMeshesAside(irr::scene::ISceneManager* manager);
void releaseMeshesSetAside(irr::scene::ISceneManager* manager);
// Both steps at once.
void releaseLevelMeshes(irr::scene::ISceneManager* manager);
