#pragma once

#include <string>

// Writes the game's generated meshes into Content/Models/ under the root (ending in "/" or
// empty): the cylinder template of cylinder bounds, a textured crate (OBJ and MTL), a small
// skinned mannequin (B3D), the default character (B3D, skinned and animated) with its
// talking loop, the waypoint marker (OBJ) and the swimmer (B3D, skinned and animated). False when a file could not be written.
bool writeContentMeshes(const std::string& root);
