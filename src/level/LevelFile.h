#pragma once

#include <irrlicht.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Level files: engine scene files (".irr", XML) and the program's binary level format
// (".irrblvl"). Both are read into the same tree of scene records first, so a file that
// cannot be read leaves the scene untouched, and the loader knows how many objects the
// file holds before it builds the first one.

// One node of a level file: its factory type name and its attribute blocks. The record
// owns its attribute containers.
struct SceneRecord {
    SceneRecord() = default;
    ~SceneRecord();
    SceneRecord(const SceneRecord&) = delete;
    SceneRecord& operator=(const SceneRecord&) = delete;

    irr::core::stringc typeName;                // empty for the scene itself
    irr::io::IAttributes* attributes = nullptr; // the node's (or the scene's) own keys
    std::vector<irr::io::IAttributes*> materials;
    std::vector<irr::io::IAttributes*> animators; // each with its "Type" key
    std::vector<std::unique_ptr<SceneRecord>> children;

    // Number of node records below this one.
    irr::u32 countDescendants() const;
};

// True for a path ending in ".irrblvl" (any letter case).
bool isBinaryLevelPath(const irr::io::path& path);

// Reads an engine scene file into records. False with a reason when the file cannot be
// opened or holds no scene.
bool readXmlLevel(irr::io::IFileSystem* fileSystem, irr::video::IVideoDriver* driver, const irr::io::path& path,
                  SceneRecord& scene, std::string& error);

// The binary level format, little-endian and independent of the machine's word size:
//   header   "PSLV", u16 version (1), u16 flags (0), u32 node count, u32 payload length,
//            u32 CRC-32 of the payload
//   payload  the scene record
//   record   [type name] attribute block, u32 material count + blocks,
//            u32 animator count + blocks, u32 child count + child records
//            (the scene record has no type name)
//   block    u32 count, then per attribute: u8 type, name, value
//   string   u32 byte length + bytes (wide texts as UTF-8)
// The reader checks the checksum, every length and count against the bytes left and the
// nesting depth, and rejects a damaged file as a whole.
// The CRC-32 the header carries for its payload.
irr::u32 binaryLevelChecksum(const void* data, std::size_t size);

bool encodeBinaryLevel(irr::scene::ISceneManager* manager, irr::scene::ISceneNode* start, const irr::io::path& fileName,
                       std::string& bytes);
bool decodeBinaryLevel(const void* data, std::size_t size, irr::io::IFileSystem* fileSystem,
                       irr::video::IVideoDriver* driver, SceneRecord& scene, std::string& error);

// Writes the scene from `start` (the scene root when null) to a level file: binary for
// ".irrblvl", else an engine scene file. Debug objects are left out. False on failure,
// with a log line.
bool saveLevelFile(irr::scene::ISceneManager* manager, const irr::io::path& path,
                   irr::scene::ISceneNode* start = nullptr);

// Reads a level file and builds its nodes through the scene-node factories, counting the
// objects for the loading bar and calling the loading-frame hook for each object.
class SceneLoader {
public:
    explicit SceneLoader(irr::scene::ISceneManager* manager) : manager(manager) {}

    // Builds the file's nodes under the parent (the scene root when null). With the scene
    // root as parent the file's scene attributes go to the scene manager. A file that
    // cannot be read is logged and leaves the scene as it was.
    bool load(const irr::io::path& path, irr::scene::ISceneNode* parent = nullptr,
              const std::function<void(irr::scene::ISceneNode*)>& onNodeCreated = {});

    // Objects read so far and objects in the file being loaded.
    irr::u32 objectsRead = 0;
    irr::u32 objectsTotal = 0;

private:
    void buildNode(const SceneRecord& record, irr::scene::ISceneNode* parent,
                   const std::function<void(irr::scene::ISceneNode*)>& onNodeCreated);
    void countRead(irr::u32 objects);

    irr::scene::ISceneManager* manager;
};
