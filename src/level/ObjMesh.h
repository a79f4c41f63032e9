#pragma once

#include <cstddef>
#include <string>

namespace irr {
namespace io {
class IFileSystem;
}
namespace scene {
class SMesh;
}
namespace video {
class IVideoDriver;
}
} // namespace irr

// The game's own reader of Wavefront OBJ meshes, used in place of the engine's (which reads
// past its buffers on damaged files). It reads positions, texture coordinates, normals,
// faces of any corner count (as triangle fans), "usemtl" and "mtllib" (diffuse colour,
// shininess, opacity and the diffuse texture "map_Kd", found beside the file when its path
// does not lead to it); other statements are passed over. It keeps the engine's
// conventions, so that content looks the same with either: X mirrored (OBJ is
// right-handed), V flipped, faces turned to match. Every number is checked to be finite,
// every index to name an element defined before it; vertices shared by corners are
// shared in the mesh, and a buffer that reaches 65,535 vertices continues in a new one.
//
// The mesh (its bounding boxes set; normals computed where the file gives none), or null
// with the reason. Without a driver no textures are loaded.
irr::scene::SMesh* readObjMesh(const char* text, std::size_t size, const std::string& path,
                               irr::io::IFileSystem* fileSystem, irr::video::IVideoDriver* driver,
                               std::string& error);
