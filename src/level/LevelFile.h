#pragma once

#include "core/FileChecks.h"

#include <irrlicht.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Level files: engine scene files (".irr", XML) and the program's binary level format
// (".irrblvl"). Either is read and checked whole before the first node is built (a scene
// file into a tree of scene records, a binary file by a checking pass), so a file that
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

// The engine's text for a texture attribute without a texture is "0" (its scene writer and
// attribute copies spell "none" so). Level files write such a layer empty and read either
// spelling as no texture, so that no file named "0" is ever looked for.
bool isNoTextureText(const wchar_t* text);
// The text a level file stores for a texture attribute: empty when it names no texture.
irr::core::stringw textureAttributeText(irr::io::IAttributes* attributes, irr::s32 index);
// Texture names in level files are Unicode ("Flöor.png"); the engine narrows a texture
// attribute's text one character to a byte to open the file, and widens its file name back
// so. The text to hand the engine, whose bytes are the name in UTF-8, and the text a file
// stores, made readable again.
std::wstring textureFileText(const wchar_t* text);
std::wstring readableTextureText(const wchar_t* text);

// Deeper nesting of nodes than any level has, in either format: it keeps a hostile file from
// exhausting the stack. A deeper file is refused whole with this reason.
inline constexpr int maxLevelNodeDepth = 256;
inline constexpr const char* levelTooDeepReason = "the nodes are nested too deeply";

// True for a path ending in ".irrblvl" (any letter case).
bool isBinaryLevelPath(const irr::io::path& path);

// Reads an engine scene file into records. False with a reason when the file cannot be
// opened, holds no scene or ends before its scene does. With `stopOnQuit` (a level load) it
// shows loading frames as it reads and stops when the game quits (levelReadQuitReason).
inline constexpr const char* levelReadQuitReason = "the game is quitting";
bool readXmlLevel(irr::io::IFileSystem* fileSystem, irr::video::IVideoDriver* driver,
                  const irr::io::path& path, SceneRecord& scene, std::string& error, bool stopOnQuit = false);
// The same reading without the attribute blocks: whether the file holds a whole level (the
// check a level file just written passes before it replaces the old one).
bool isWholeXmlLevel(irr::io::IFileSystem* fileSystem, const irr::io::path& path, std::string& error,
                     bool stopOnQuit = false);

// The binary level format, little-endian and independent of the machine's word size:
//   header   "PSLV", u16 version (1), u16 flags (0), u32 node count, u32 payload length,
//            u32 CRC-32 of the payload
//   payload  u32 name count + names (attribute names, type names, enumeration values and
//            literals), then the scene record
//   record   [u32 type name] attribute block, u32 material count + blocks,
//            u32 animator count + blocks, u32 child count + child records
//            (the scene record has no type name)
//   block    u32 count, then per attribute: u8 type (the engine's E_ATTRIBUTE_TYPE, any
//            but the array types and the user pointer), u32 name, value
//   text     u32 byte length + bytes (wide texts as UTF-8)
// Names are indices into the name table. The reader checks the checksum, then every
// length, count, name and text against the bytes left and the nesting depth, before it
// builds anything: a damaged file is rejected as a whole.

// The CRC-32 the header carries for its payload.
irr::u32 binaryLevelChecksum(const void* data, std::size_t size);

bool encodeBinaryLevel(irr::scene::ISceneManager* manager, irr::scene::ISceneNode* start,
                       const irr::io::path& fileName, std::string& bytes);
// Reads a binary level into records (fresh attribute containers for every block).
bool decodeBinaryLevel(const void* data, std::size_t size, irr::io::IFileSystem* fileSystem,
                       irr::video::IVideoDriver* driver, SceneRecord& scene, std::string& error);

// Whether a material's value (by name, in the text the engine's attribute writer gives it) is
// the default material's: level files leave such values out, and their reader fills them in.
bool isDefaultMaterialValue(irr::video::IVideoDriver* driver, const irr::c8* name, const wchar_t* text);

// The bytes of a level file of the scene from `start` (the scene root when null): binary for
// ".irrblvl", else an engine scene file (UTF-8); either names of a material only what differs
// from the default material. False on failure, with a log line. With `stopOnQuit` a scene file
// shows loading frames as it is written and is given up, without a line, when the game quits.
bool encodeLevelFile(irr::scene::ISceneManager* manager, const irr::io::path& path, std::string& bytes,
                     irr::scene::ISceneNode* start = nullptr, bool stopOnQuit = false);

// Writes the scene from `start` (the scene root when null) to a level file: binary for
// ".irrblvl", else an engine scene file (UTF-8), by one safe write. Debug objects are left
// out. Paths of meshes and textures are written relative to the working folder, as the
// loader resolves them, wherever the file goes. False on failure, with a log line.
bool saveLevelFile(irr::scene::ISceneManager* manager, const irr::io::path& path,
                   irr::scene::ISceneNode* start = nullptr);

// The folder that content paths in written levels are relative to: the working folder.
irr::io::path levelPathBase(irr::io::IFileSystem* fileSystem);

// Reads a level file and builds its nodes through the scene-node factories, counting the
// objects for the loading bar and calling the loading-frame hook for each object.
class SceneLoader {
public:
    // A level and the sublevels inside one another; a deeper sublevel is left out (logged),
    // as is one that names a level already being loaded.
    static constexpr std::size_t maxLevelNesting = 8;
    // Sublevel files one level loads in all, at every depth: files that each name the next
    // several times would otherwise multiply into millions of loads. Further ones are left
    // out with one log line.
    static constexpr std::size_t maxSublevelLoads = 100;

    explicit SceneLoader(irr::scene::ISceneManager* manager) : manager(manager) {}

    // Builds the file's nodes under the parent (the scene root when null). With the scene
    // root as parent the file's scene attributes go to the scene manager. A file that
    // cannot be read is logged and leaves the scene as it was.
    bool load(const irr::io::path& path, irr::scene::ISceneNode* parent = nullptr,
              const std::function<void(irr::scene::ISceneNode*)>& onNodeCreated = {});

    // Objects read so far and objects in the file being loaded.
    irr::u32 objectsRead = 0;
    irr::u32 objectsTotal = 0;

    // The steps of building one node, shared by both formats: the node is made through the
    // factories and given its attributes (null, logged, for a type nobody knows), then its
    // materials and animators; `endNode` reports it.
    irr::scene::ISceneNode* beginNode(const irr::c8* typeName, irr::scene::ISceneNode* parent,
                                      irr::io::IAttributes* attributes);
    // A material block that leaves out values is completed with the default material's first.
    void applyMaterial(irr::scene::ISceneNode* node, irr::u32 index,
                       irr::io::IAttributes* attributes);
    void applyAnimator(irr::scene::ISceneNode* node, irr::io::IAttributes* attributes);
    void applySceneAttributes(irr::scene::ISceneNode* parent, irr::io::IAttributes* attributes);
    void endNode(irr::scene::ISceneNode* node);
    // Objects below a node that could not be made, passed over.
    void skipObjects(irr::u32 count);

private:
    void buildNode(const SceneRecord& record, irr::scene::ISceneNode* parent);
    // Whether the load's budget leaves room for the file (its bytes, a node to make); the
    // budget logs when it does not.
    bool withinLoadBudget(const irr::io::path& path, const EngineFileCheck& found);
    // Validates and builds a binary level (BinaryLevelFormat.cpp).
    bool loadBinary(const std::string& bytes, irr::scene::ISceneNode* parent, std::string& error);
    void countRead(irr::u32 objects);

    irr::scene::ISceneManager* manager;
    std::function<void(irr::scene::ISceneNode*)> onNodeCreated;
};
