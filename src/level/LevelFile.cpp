#include "level/LevelFile.h"
#include "level/DrawnTriangles.h"

#include "level/LevelHooks.h"
#include "level/LevelLimits.h"
#include "level/SceneNodeTypes.h"

#include "core/FileChecks.h"
#include "core/LoadBudget.h"
#include "core/Log.h"
#include "core/RepeatedLog.h"
#include "core/ProcessGuards.h"
#include "core/SafeWrite.h"
#include "core/Utf8.h"
#include "core/XmlWriter.h"
#include "core/XmlFile.h"
#include "platform/TextureFiltering.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <unordered_map>
#include <utility>

using namespace irr;

SceneRecord::~SceneRecord() {
    if (attributes)
        attributes->drop();
    for (io::IAttributes* block : materials)
        block->drop();
    for (io::IAttributes* block : animators)
        block->drop();
}

u32 SceneRecord::countDescendants() const {
    u32 count = 0;
    for (const auto& child : children)
        count += 1 + child->countDescendants();
    return count;
}

bool isNoTextureText(const wchar_t* text) { return !text || !*text || std::wcscmp(text, L"0") == 0; }

core::stringw textureAttributeText(io::IAttributes* attributes, s32 index) {
    const core::stringw text = attributes->getAttributeAsStringW(index);
    return isNoTextureText(text.c_str()) ? core::stringw() : core::stringw(readableTextureText(text.c_str()).c_str());
}

std::wstring textureFileText(const wchar_t* text) { return bytewiseWideFromUtf8(utf8FromAttributeText(text)); }

std::wstring readableTextureText(const wchar_t* text) { return fromUtf8(utf8FromAttributeText(text).c_str()); }

bool isBinaryLevelPath(const io::path& path) {
    static const char extension[] = ".irrblvl";
    const u32 length = sizeof(extension) - 1;
    if (path.size() < length)
        return false;
    return path.subString(path.size() - length, length).equals_ignore_case(extension);
}

// --- engine scene files ---------------------------------------------------------------

namespace {

const wchar_t* const sceneElement = L"irr_scene";
const wchar_t* const nodeElement = L"node";
const wchar_t* const attributesElement = L"attributes";
const wchar_t* const materialsElement = L"materials";
const wchar_t* const animatorsElement = L"animators";

// Far beyond any level (an engine-written scene file of 5,000 objects is about 10 MB).
constexpr std::size_t maxLevelFileBytes = 512u * 1024u * 1024u;

bool isElement(io::IXMLReader* reader, const wchar_t* name) {
    return reader->getNodeType() == io::EXN_ELEMENT && core::stringw(name) == reader->getNodeName();
}

bool isElementEnd(io::IXMLReader* reader, const wchar_t* name) {
    return reader->getNodeType() == io::EXN_ELEMENT_END &&
           core::stringw(name) == reader->getNodeName();
}

// The file as the engine's attribute reader sees it: the value of a "texture" element that
// names no texture reads empty, so the engine loads none instead of a file named "0". With
// `quitting` given, a quit is looked at before each picture the engine would load (a level
// may name thousands): once the game quits, the rest name none, and `quitting` says so.
class SceneXmlView : public io::IXMLReader {
public:
    SceneXmlView(io::IXMLReader* source, bool* quitting) : source(source), quitting(quitting) {}

    bool read() override { return source->read(); }
    io::EXML_NODE getNodeType() const override { return source->getNodeType(); }
    unsigned int getAttributeCount() const override { return source->getAttributeCount(); }
    const wchar_t* getAttributeName(int idx) const override { return source->getAttributeName(idx); }
    const wchar_t* getAttributeValue(int idx) const override {
        return view(source->getAttributeName(idx), source->getAttributeValue(idx));
    }
    const wchar_t* getAttributeValue(const wchar_t* name) const override {
        return view(name, source->getAttributeValue(name));
    }
    const wchar_t* getAttributeValueSafe(const wchar_t* name) const override {
        return view(name, source->getAttributeValueSafe(name));
    }
    int getAttributeValueAsInt(const wchar_t* name) const override { return source->getAttributeValueAsInt(name); }
    int getAttributeValueAsInt(int idx) const override { return source->getAttributeValueAsInt(idx); }
    float getAttributeValueAsFloat(const wchar_t* name) const override { return source->getAttributeValueAsFloat(name); }
    float getAttributeValueAsFloat(int idx) const override { return source->getAttributeValueAsFloat(idx); }
    const wchar_t* getNodeName() const override { return source->getNodeName(); }
    const wchar_t* getNodeData() const override { return source->getNodeData(); }
    bool isEmptyElement() const override { return source->isEmptyElement(); }
    io::ETEXT_FORMAT getSourceFormat() const override { return source->getSourceFormat(); }
    io::ETEXT_FORMAT getParserFormat() const override { return source->getParserFormat(); }

private:
    const wchar_t* view(const wchar_t* name, const wchar_t* value) const {
        const wchar_t* element = source->getNodeName();
        const bool textureValue = name && element && std::wcscmp(name, L"value") == 0 && std::wcscmp(element, L"texture") == 0;
        if (!textureValue || !value)
            return value;
        if (isNoTextureText(value))
            return L"";
        if (quitting && (*quitting || (*quitting = gameQuitting())))
            return L"";
        // The engine narrows the name one character to a byte on its way to the disk.
        textureName = textureFileText(value);
        return textureName.c_str();
    }

    io::IXMLReader* source;
    bool* quitting;
    mutable std::wstring textureName;
};

// The engine's default material, each value as its attribute writer spells it (by name) and as
// the reader fills it in where a material block leaves it out.
struct DefaultMaterial {
    struct Value {
        std::string name;
        io::E_ATTRIBUTE_TYPE type;
        core::stringw text;
        video::SColor color;
        f32 number;
        s32 integer;
        bool flag;
        std::vector<core::stringc> literals; // of an enumeration
    };
    std::vector<Value> values;
    std::unordered_map<std::wstring, std::wstring> texts;
};

const DefaultMaterial& defaultMaterial(video::IVideoDriver* driver) {
    static DefaultMaterial material;
    if (material.values.empty() && driver) {
        io::IAttributes* defaults = driver->createAttributesFromMaterial(video::SMaterial());
        for (s32 i = 0; defaults && i < static_cast<s32>(defaults->getAttributeCount()); ++i) {
            DefaultMaterial::Value value{defaults->getAttributeName(i),   defaults->getAttributeType(i),
                                         defaults->getAttributeAsStringW(i), defaults->getAttributeAsColor(i),
                                         defaults->getAttributeAsFloat(i), defaults->getAttributeAsInt(i),
                                         defaults->getAttributeAsBool(i), {}};
            core::array<core::stringc> literals;
            if (value.type == io::EAT_ENUM)
                defaults->getAttributeEnumerationLiteralsOfEnumeration(i, literals);
            for (u32 k = 0; k < literals.size(); ++k)
                value.literals.push_back(literals[k]);
            material.texts.emplace(fromUtf8(value.name.c_str()), value.text.c_str());
            material.values.push_back(std::move(value));
        }
        if (defaults)
            defaults->drop();
    }
    return material;
}

} // namespace

bool isDefaultMaterialValue(video::IVideoDriver* driver, const c8* name, const wchar_t* text) {
    const auto& texts = defaultMaterial(driver).texts;
    const auto found = name && text ? texts.find(fromUtf8(name)) : texts.end();
    return found != texts.end() && found->second == text;
}

namespace {

// The game's UTF-8 writer for levels: a texture attribute naming no texture is written empty
// instead of the engine's "0", and so is one naming a render target (the shadow atlas), which
// a later read would try to open as a file; the renderer binds its targets again as the level
// draws.
class LevelXmlWriter : public Utf8XmlWriter {
public:
    explicit LevelXmlWriter(video::IVideoDriver* driver) : driver(driver) {}
    using Utf8XmlWriter::writeElement;
    void writeElement(const wchar_t* name, bool empty, const wchar_t* attr1Name, const wchar_t* attr1Value,
                      const wchar_t* attr2Name, const wchar_t* attr2Value, const wchar_t* attr3Name,
                      const wchar_t* attr3Value, const wchar_t* attr4Name, const wchar_t* attr4Value,
                      const wchar_t* attr5Name, const wchar_t* attr5Value) override {
        std::wstring readable;
        if (name && std::wcscmp(name, L"texture") == 0 && attr2Name && std::wcscmp(attr2Name, L"value") == 0) {
            readable = isNoTextureText(attr2Value) || namesRenderTarget(attr2Value) ? std::wstring()
                                                                                    : readableTextureText(attr2Value);
            attr2Value = readable.c_str();
        }
        Utf8XmlWriter::writeElement(name, empty, attr1Name, attr1Value, attr2Name, attr2Value, attr3Name, attr3Value,
                                    attr4Name, attr4Value, attr5Name, attr5Value);
    }

private:
    bool namesRenderTarget(const wchar_t* texture) const {
        video::ITexture* known = driver ? driver->findTexture(core::stringc(texture).c_str()) : nullptr;
        return known && known->isRenderTarget();
    }
    video::IVideoDriver* driver;
};

// XML nodes read or written between two looks at a quit (and loading frames): a large file
// takes seconds to read before its first object is built, and a second to write.
constexpr unsigned xmlNodesBetweenQuitChecks = 4096;

// Counts a node of a long read or write; every so many: a loading frame, and whether the game
// quits.
bool loadingFrameAndQuit(unsigned& nodes) {
    if (++nodes % xmlNodesBetweenQuitChecks != 0)
        return false;
    if (const auto& renderLoadingFrame = levelHooks().screens.renderLoadingFrame)
        renderLoadingFrame();
    return gameQuitting();
}

// Writes a scene file as the engine's scene writer does (the scene's attributes, then each
// node with its attributes, materials, animators and children, debug objects left out), but a
// material names only what differs from the default material (the reader fills in the rest,
// applyMaterial): the engine writes all 51 of its values, which made a checkpoint of small
// cubes nine times the size of their level and took most of its time. With `stopOnQuit` it
// shows loading frames as it goes and stops when the game quits.
class SceneXmlEncoder {
public:
    SceneXmlEncoder(scene::ISceneManager* manager, Utf8XmlWriter& writer, bool stopOnQuit)
        : manager(manager), driver(manager->getVideoDriver()), writer(writer), stopOnQuit(stopOnQuit),
          defaults(defaultMaterial(driver)), block(manager->getFileSystem()->createEmptyAttributes(driver)),
          base(levelPathBase(manager->getFileSystem())) {
        options.Filename = base.c_str();
        options.Flags |= io::EARWF_USE_RELATIVE_PATHS;
    }
    ~SceneXmlEncoder() { block->drop(); }
    SceneXmlEncoder(const SceneXmlEncoder&) = delete;
    SceneXmlEncoder& operator=(const SceneXmlEncoder&) = delete;

    // False when the game quit before the scene was written.
    bool write(scene::ISceneNode* start) {
        scene::ISceneNode* root = manager->getRootSceneNode();
        writer.writeXMLHeader();
        writer.writeElement(sceneElement, false);
        writer.writeLineBreak();
        writeContent(root);
        if (start && start != root)
            writeNode(start);
        else
            for (scene::ISceneNode* child : root->getChildren())
                writeNode(child);
        writer.writeClosingTag(sceneElement);
        writer.writeLineBreak();
        return !quitting;
    }

private:
    void writeNode(scene::ISceneNode* node) {
        if (node->isDebugObject() || quitAsked())
            return;
        writer.writeElement(nodeElement, false, L"type", fromUtf8(manager->getSceneNodeTypeName(node->getType())).c_str());
        writer.writeLineBreak();
        writeContent(node);
        for (scene::ISceneNode* child : node->getChildren())
            writeNode(child);
        writer.writeClosingTag(nodeElement);
        writer.writeLineBreak();
    }

    void writeContent(scene::ISceneNode* node) {
        block->clear();
        node->serializeAttributes(block, &options);
        if (block->getAttributeCount() != 0)
            block->write(&writer);
        if (node->getMaterialCount() > 0 && driver) {
            writer.writeElement(materialsElement, false);
            writer.writeLineBreak();
            for (u32 i = 0; i < node->getMaterialCount(); ++i)
                writeMaterial(node->getMaterial(i));
            writer.writeClosingTag(materialsElement);
            writer.writeLineBreak();
        }
        if (!node->getAnimators().empty()) {
            writer.writeElement(animatorsElement, false);
            writer.writeLineBreak();
            for (scene::ISceneNodeAnimator* animator : node->getAnimators()) {
                block->clear();
                block->addString("Type", manager->getAnimatorTypeName(animator->getType()));
                animator->serializeAttributes(block);
                block->write(&writer);
            }
            writer.writeClosingTag(animatorsElement);
            writer.writeLineBreak();
        }
    }

    void writeMaterial(const video::SMaterial& material) {
        writer.writeElement(attributesElement, false);
        writer.writeLineBreak();
        // Most materials are the default: nothing to spell out. (The type is looked at as a
        // number first: one a shader that could not be built leaves at -1 is no enumerator.)
        static_assert(sizeof(video::E_MATERIAL_TYPE) == sizeof(s32));
        s32 type = 0;
        std::memcpy(&type, &material.MaterialType, sizeof(type));
        if (type != video::EMT_SOLID || !(material == video::SMaterial())) {
            io::IAttributes* values = driver->createAttributesFromMaterial(material, &options);
            for (s32 i = 0; values && i < static_cast<s32>(values->getAttributeCount()); ++i) {
                const core::stringw text = values->getAttributeAsStringW(i);
                const std::wstring name = fromUtf8(values->getAttributeName(i));
                const auto found = defaults.texts.find(name);
                if (found != defaults.texts.end() && found->second == text.c_str())
                    continue;
                writer.writeElement(values->getAttributeTypeString(i), true, L"name", name.c_str(), L"value",
                                    text.c_str());
                writer.writeLineBreak();
            }
            if (values)
                values->drop();
        }
        writer.writeClosingTag(attributesElement);
        writer.writeLineBreak();
    }

    bool quitAsked() {
        quitting = quitting || (stopOnQuit && loadingFrameAndQuit(nodesWritten));
        return quitting;
    }

    scene::ISceneManager* manager;
    video::IVideoDriver* driver;
    Utf8XmlWriter& writer;
    bool stopOnQuit;
    const DefaultMaterial& defaults;
    io::IAttributes* block;
    io::path base; // content paths are written relative to it
    io::SAttributeReadWriteOptions options;
    unsigned nodesWritten = 0;
    bool quitting = false;
};


class XmlLevelReader {
public:
    // With `nodesOnly` the attribute blocks are passed over (a check that the file is whole).
    XmlLevelReader(io::IFileSystem* fileSystem, video::IVideoDriver* driver, io::IXMLReader* reader, bool stopOnQuit,
                   bool nodesOnly)
        : fileSystem(fileSystem), driver(driver), reader(reader), stopOnQuit(stopOnQuit), nodesOnly(nodesOnly) {}

    // Reads the body of the current element up to its end tag into the record; false when
    // the file ends first or nests its nodes too deeply (`tooDeep` tells).
    bool readBody(SceneRecord& record, const wchar_t* endName, int depth = 0) {
        if (depth > maxLevelNodeDepth) {
            tooDeep = true;
            return false;
        }
        if (reader->isEmptyElement())
            return true;
        while (reader->read()) {
            if (isElementEnd(reader, endName))
                return true;
            if (quitAsked())
                return false;
            if (reader->getNodeType() != io::EXN_ELEMENT)
                continue;
            const core::stringw name = reader->getNodeName();
            if (nodesOnly && name != nodeElement) {
                skipElement(name);
            } else if (name == attributesElement) {
                if (!record.attributes)
                    record.attributes = readBlock();
                else
                    readBlock()->drop();
            } else if (name == materialsElement) {
                readBlockList(record.materials, materialsElement);
            } else if (name == animatorsElement) {
                readBlockList(record.animators, animatorsElement);
            } else if (name == nodeElement) {
                auto child = std::make_unique<SceneRecord>();
                child->typeName = core::stringc(reader->getAttributeValueSafe(L"type"));
                const bool complete = readBody(*child, nodeElement, depth + 1);
                record.children.push_back(std::move(child));
                if (!complete)
                    return false;
            } else {
                skipElement(name);
            }
        }
        return false;
    }

    bool tooDeep = false;
    bool quitting = false;

private:
    // Every so many nodes while a level loads: a loading frame, and whether the game quits.
    bool quitAsked() {
        quitting = quitting || (stopOnQuit && loadingFrameAndQuit(nodesRead));
        return quitting;
    }

    io::IAttributes* readBlock() {
        io::IAttributes* block = fileSystem->createEmptyAttributes(driver);
        SceneXmlView view(reader, stopOnQuit ? &quitting : nullptr);
        if (!reader->isEmptyElement())
            block->read(&view, true);
        return block;
    }

    void readBlockList(std::vector<io::IAttributes*>& blocks, const wchar_t* endName) {
        if (reader->isEmptyElement())
            return;
        while (reader->read() && !quitAsked()) {
            if (isElementEnd(reader, endName))
                return;
            if (isElement(reader, attributesElement))
                blocks.push_back(readBlock());
        }
    }

    // Elements the level does not use ("userData", ...) are passed over whole.
    void skipElement(const core::stringw& name) {
        if (reader->isEmptyElement())
            return;
        int depth = 1;
        while (depth > 0 && reader->read() && !quitAsked()) {
            if (reader->getNodeType() == io::EXN_ELEMENT && !reader->isEmptyElement() &&
                name == reader->getNodeName())
                ++depth;
            else if (reader->getNodeType() == io::EXN_ELEMENT_END && name == reader->getNodeName())
                --depth;
        }
    }

    io::IFileSystem* fileSystem;
    video::IVideoDriver* driver;
    io::IXMLReader* reader;
    bool stopOnQuit;
    bool nodesOnly;
    unsigned nodesRead = 0;
};

} // namespace

namespace {

bool readXmlLevelFile(io::IFileSystem* fileSystem, video::IVideoDriver* driver, const io::path& path,
                      SceneRecord& scene, std::string& error, bool stopOnQuit, bool nodesOnly) {
    const EngineFileCheck found = checkEngineFileForReading(fileSystem, path.c_str(), maxLevelFileBytes);
    if (found.check != FileCheck::Readable && found.check != FileCheck::Missing) {
        error = describeFileCheck(found.check, maxLevelFileBytes);
        return false;
    }
    if (!fileSystem->existFile(path)) {
        error = "the file does not exist";
        return false;
    }
    // A file on the disk may have been cut short; files inside archives come whole. An
    // archive's entry is read before a disk file of the same name, as the engine reads it.
    io::IXMLReader* reader =
        found.check == FileCheck::Readable && !found.inArchive
            ? createGuardedXMLReader(fileSystem, path.c_str(), maxLevelFileBytes)
            : fileSystem->createXMLReader(path);
    if (!reader) {
        error = "the file cannot be opened";
        return false;
    }
    bool sawScene = false;
    bool complete = false;
    XmlLevelReader levelReader(fileSystem, driver, reader, stopOnQuit, nodesOnly);
    while (reader->read()) {
        if (isElement(reader, sceneElement)) {
            sawScene = true;
            complete = levelReader.readBody(scene, sceneElement);
            break;
        }
    }
    reader->drop();
    if (!sawScene)
        error = "the file holds no scene";
    else if (levelReader.tooDeep)
        error = levelTooDeepReason;
    else if (levelReader.quitting)
        error = levelReadQuitReason;
    else if (!complete)
        error = "the file ends before its scene does";
    return sawScene && complete;
}

} // namespace

bool readXmlLevel(io::IFileSystem* fileSystem, video::IVideoDriver* driver, const io::path& path,
                  SceneRecord& scene, std::string& error, bool stopOnQuit) {
    return readXmlLevelFile(fileSystem, driver, path, scene, error, stopOnQuit, false);
}

bool isWholeXmlLevel(io::IFileSystem* fileSystem, const io::path& path, std::string& error, bool stopOnQuit) {
    SceneRecord scene;
    return readXmlLevelFile(fileSystem, nullptr, path, scene, error, stopOnQuit, true);
}

// --- writing ------------------------------------------------------------------------------

bool encodeLevelFile(scene::ISceneManager* manager, const io::path& path, std::string& bytes,
                     scene::ISceneNode* start, bool stopOnQuit) {
    if (!manager || !manager->getFileSystem())
        return false;
    if (isBinaryLevelPath(path)) {
        if (!encodeBinaryLevel(manager, start, path, bytes)) {
            logMessagePair("ERROR: Could not encode level file: ", path.c_str());
            return false;
        }
        return true;
    }
    // Content paths are written as the loader reads them: relative to the working folder.
    LevelXmlWriter writer(manager->getVideoDriver());
    if (!SceneXmlEncoder(manager, writer, stopOnQuit).write(start))
        return false;
    bytes = writer.text();
    return true;
}

bool saveLevelFile(scene::ISceneManager* manager, const io::path& path, scene::ISceneNode* start) {
    std::string bytes;
    if (!encodeLevelFile(manager, path, bytes, start))
        return false;
    if (!writeFileSafely(path.c_str(), bytes)) {
        logMessagePair("ERROR: Could not write level file: ", path.c_str());
        return false;
    }
    return true;
}

io::path levelPathBase(io::IFileSystem* fileSystem) {
    return fileSystem ? fileSystem->getWorkingDirectory() : io::path();
}

// --- loading ------------------------------------------------------------------------------

namespace {

// The level files being read, outermost first: a sublevel that names a file of this chain
// would load itself again without end.
std::vector<std::string>& levelFilesLoading() {
    static std::vector<std::string> chain;
    return chain;
}

// One spelling per file, so that "a/../b.irr" and "b.irr" are seen as one.
std::string levelFileIdentity(const io::path& path) {
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(path.c_str(), error);
    return error ? std::string(path.c_str()) : canonical.string();
}

// Sublevel files the outermost level being read has loaded so far.
std::size_t& sublevelLoadsOfLevel() {
    static std::size_t loads = 0;
    return loads;
}

// Keeps the file on the chain while it is read.
class LevelFileChainEntry {
public:
    explicit LevelFileChainEntry(std::string identity) { levelFilesLoading().push_back(std::move(identity)); }
    ~LevelFileChainEntry() { levelFilesLoading().pop_back(); }
    LevelFileChainEntry(const LevelFileChainEntry&) = delete;
    LevelFileChainEntry& operator=(const LevelFileChainEntry&) = delete;
};

} // namespace

bool SceneLoader::load(const io::path& path, scene::ISceneNode* parent,
                       const std::function<void(scene::ISceneNode*)>& nodeCreated) {
    objectsRead = 0;
    objectsTotal = 0;
    if (!manager)
        return false;
    if (!parent)
        parent = manager->getRootSceneNode();
    onNodeCreated = nodeCreated;

    io::IFileSystem* fileSystem = manager->getFileSystem();
    const std::string identity = levelFileIdentity(path);
    const std::vector<std::string>& chain = levelFilesLoading();
    if (std::find(chain.begin(), chain.end(), identity) != chain.end()) {
        logRepeatable(std::string("ERROR: Sublevel left out, it names a level that is being loaded (a cycle): ") +
                      path.c_str());
        return false;
    }
    if (chain.size() >= maxLevelNesting) {
        logRepeatablef("ERROR: Sublevel left out, sublevels nest deeper than %u levels: %s",
                       static_cast<unsigned>(maxLevelNesting), path.c_str());
        return false;
    }
    if (chain.empty()) {
        sublevelLoadsOfLevel() = 0;
    } else if (++sublevelLoadsOfLevel() > maxSublevelLoads) {
        // One line for the level: the refusals that follow say nothing new.
        if (sublevelLoadsOfLevel() == maxSublevelLoads + 1)
            logMessagef("ERROR: Sublevels left out, the level loads more than %u sublevel files: %s",
                        static_cast<unsigned>(maxSublevelLoads), path.c_str());
        return false;
    }
    LevelFileChainEntry onChain(identity);
    // Whatever reading the file brings in (textures, meshes, sublevels) is the load's.
    LoadBudgetScope loading(path.c_str());

    std::string error;
    bool loaded = false;
    bool leftOut = false; // past the load's budget, which has said so
    // What is checked is what will be read: a mounted archive's entry before the disk.
    const EngineFileCheck found = checkEngineFileForReading(fileSystem, path.c_str(), maxLevelFileBytes);
    if (found.check != FileCheck::Readable && found.check != FileCheck::Missing) {
        error = describeFileCheck(found.check, maxLevelFileBytes);
    } else if (!fileSystem->existFile(path)) {
        error = "the file does not exist";
    } else if (found.check == FileCheck::Readable && !found.inArchive &&
               refuseReadOutsideConfinement(path.c_str())) {
        error = "a user level reads only from its archive and the game's content";
    } else if (!withinLoadBudget(path, found)) {
        leftOut = true;
    } else if (isBinaryLevelPath(path)) {
        io::IReadFile* file = fileSystem->createAndOpenFile(path);
        std::string bytes(file ? static_cast<std::size_t>(file->getSize()) : 0, '\0');
        const s32 read =
            (file && !bytes.empty()) ? file->read(bytes.data(), static_cast<u32>(bytes.size())) : 0;
        if (file)
            file->drop();
        if (!file || read != static_cast<s32>(bytes.size()))
            error = "the file cannot be read";
        else
            loaded = loadBinary(bytes, parent, error);
    } else {
        SceneRecord scene;
        if (readXmlLevel(fileSystem, manager->getVideoDriver(), path, scene, error, true)) {
            objectsTotal = scene.countDescendants();
            applySceneAttributes(parent, scene.attributes);
            for (const auto& child : scene.children)
                buildNode(*child, parent);
            loaded = true;
        }
    }
    onNodeCreated = nullptr;
    // A quit is no fault of the file: the level manager says that loading stopped.
    if (!loaded && !leftOut && !gameQuitting()) {
        core::stringc line = "ERROR: Could not read level file ";
        line += path;
        line += ": ";
        line += error.c_str();
        logMessage(line.c_str());
    }
    return loaded;
}

bool SceneLoader::withinLoadBudget(const io::path& path, const EngineFileCheck& found) {
    LoadBudget& budget = loadBudget();
    // With no node left to make, a file is not worth reading.
    if (!budget.allows(LoadBudget::Nodes, 1, path.c_str()))
        return false;
    // The file guard charges an archive's entry as the engine opens it.
    if (found.inArchive)
        return budget.allows(LoadBudget::Bytes, found.size, path.c_str());
    return budget.charge(LoadBudget::Bytes, found.size, path.c_str());
}

void SceneLoader::countRead(u32 objects) {
    objectsRead += objects;
    const LevelHookTable::Screens& screens = levelHooks().screens;
    if (screens.renderLoadingFrame)
        screens.renderLoadingFrame();
}

void SceneLoader::skipObjects(u32 count) {
    if (count > 0)
        countRead(count);
}

void SceneLoader::applySceneAttributes(scene::ISceneNode* parent, io::IAttributes* attributes) {
    // The file's scene attributes belong to the scene manager, not to a node it is read into.
    scene::ISceneNode* root = manager->getRootSceneNode();
    if (parent == root && attributes)
        root->deserializeAttributes(attributes);
}

scene::ISceneNode* SceneLoader::beginNode(const c8* typeName, scene::ISceneNode* parent,
                                          io::IAttributes* attributes) {
    // A quit asked for while a level loads is honoured between its objects: the rest of the
    // file is passed over.
    if (gameQuitting()) {
        countRead(1);
        return nullptr;
    }
    // The game's own types, and of the engine's only those the content uses: any other name
    // would fall through to every engine node type, whose values go in unchecked.
    const SceneNodeTypeRow* row = findSceneNodeType(typeName);
    const bool allowed = (row && row->create) || isEngineNodeTypeForLevels(typeName);
    // A load past its budget of nodes makes no more (the budget logs that once).
    if (allowed && !loadBudget().charge(LoadBudget::Nodes, 1)) {
        countRead(1);
        return nullptr;
    }
    scene::ISceneNode* node = allowed ? manager->addSceneNode(typeName, parent) : nullptr;
    countRead(1);
    if (!node) {
        // Each node of the type: counted.
        logRepeatable(std::string("Warning: Skipped a scene node of unknown type: ") + (typeName ? typeName : ""));
        return nullptr;
    }
    if (attributes) {
        clampLevelAttributes(typeName, attributes);
        node->deserializeAttributes(attributes);
    }
    // Past the load's triangles a mesh node is left out (the budget logs that once).
    if (!chargeDrawnTriangles(node)) {
        node->remove();
        return nullptr;
    }
    return node;
}

namespace {

// A material block names what differs from the default material (the game writes its levels
// and checkpoints so); what it leaves out is added to it with the default value, where the
// engine would read a zero (black, no depth test). A block naming every value stays as it is.
void completeMaterialBlock(video::IVideoDriver* driver, io::IAttributes* block) {
    const DefaultMaterial& defaults = defaultMaterial(driver);
    if (block->getAttributeCount() >= defaults.values.size())
        return;
    for (const DefaultMaterial::Value& value : defaults.values) {
        const c8* name = value.name.c_str();
        if (block->existsAttribute(name))
            continue;
        switch (value.type) {
        case io::EAT_COLOR: block->addColor(name, value.color); break;
        case io::EAT_FLOAT: block->addFloat(name, value.number); break;
        case io::EAT_INT: block->addInt(name, value.integer); break;
        case io::EAT_BOOL: block->addBool(name, value.flag); break;
        case io::EAT_ENUM: {
            std::vector<const c8*> literals;
            for (const core::stringc& literal : value.literals)
                literals.push_back(literal.c_str());
            literals.push_back(nullptr);
            block->addEnum(name, core::stringc(value.text).c_str(), literals.data());
            break;
        }
        default: break; // no texture: what the engine reads for none
        }
    }
}

} // namespace

void SceneLoader::applyMaterial(scene::ISceneNode* node, u32 index, io::IAttributes* attributes) {
    video::IVideoDriver* driver = manager->getVideoDriver();
    if (driver && index < node->getMaterialCount()) {
        completeMaterialBlock(driver, attributes);
        driver->fillMaterialStructureFromAttributes(node->getMaterial(index), attributes);
        platform::limitAnisotropicFilter(node->getMaterial(index));
    }
}

void SceneLoader::applyAnimator(scene::ISceneNode* node, io::IAttributes* attributes) {
    const core::stringc type = attributes->getAttributeAsString("Type");
    // Only the game's own animator types: the engine's (a "deletion" animator that frees
    // a node inside its own draw, a collision response, ...) are no level content.
    scene::ISceneNodeAnimator* animator = nullptr;
    scene::ISceneNodeAnimatorFactory* engineFactory = manager->getDefaultSceneNodeAnimatorFactory();
    // The last registered first, as the engine asks them.
    for (u32 i = manager->getRegisteredSceneNodeAnimatorFactoryCount(); i > 0 && !animator; --i) {
        scene::ISceneNodeAnimatorFactory* factory = manager->getSceneNodeAnimatorFactory(i - 1);
        if (factory && factory != engineFactory)
            animator = factory->createSceneNodeAnimator(type.c_str(), node);
    }
    if (!animator) {
        logRepeatable(std::string("Warning: Skipped an animator of unknown type: ") + type.c_str());
        return;
    }
    clampLevelAttributes(type.c_str(), attributes);
    animator->deserializeAttributes(attributes);
    animator->drop();
}

void SceneLoader::endNode(scene::ISceneNode* node) {
    if (onNodeCreated)
        onNodeCreated(node);
}

void SceneLoader::buildNode(const SceneRecord& record, scene::ISceneNode* parent) {
    scene::ISceneNode* node = beginNode(record.typeName.c_str(), parent, record.attributes);
    if (!node) {
        skipObjects(record.countDescendants());
        return;
    }
    for (u32 i = 0; i < record.materials.size(); ++i)
        applyMaterial(node, i, record.materials[i]);
    for (io::IAttributes* block : record.animators)
        applyAnimator(node, block);
    endNode(node);
    for (const auto& child : record.children)
        buildNode(*child, node);
}
