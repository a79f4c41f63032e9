#include "level/BinaryLevelFormat.h"
#include "level/LevelFile.h"

#include "core/ReadLimits.h"
#include "core/Utf8.h"

#include <cstring>
#include <unordered_map>

// Reading the binary level format (layout in LevelFile.h).
//
// Reading is done in two walks over the payload: the first checks everything and counts
// the nodes without making anything, the second builds. Attribute blocks are decoded into
// a scratch block first; building then reuses one engine attribute container per layout
// (the same names and types in the same order), setting its values in place, because
// making and freeing tens of thousands of engine attributes is what a level load would
// otherwise spend its time on.

using namespace irr;
using namespace binarylevel;

namespace {

class Reader {
public:
    Reader(const u8* data, std::size_t size) : data(data), size(size) {}

    bool ok() const { return error == nullptr; }
    std::size_t left() const { return size - pos; }
    std::size_t position() const { return pos; }
    void fail(const char* reason) {
        if (!error)
            error = reason;
    }

    bool take(std::size_t n) {
        if (!ok() || n > left()) {
            fail("the file ends too early");
            return false;
        }
        return true;
    }
    u8 u8v() { return take(1) ? data[pos++] : 0; }
    u32 u32v() {
        if (!take(4))
            return 0;
        const u32 v = static_cast<u32>(data[pos]) | (static_cast<u32>(data[pos + 1]) << 8) |
                      (static_cast<u32>(data[pos + 2]) << 16) |
                      (static_cast<u32>(data[pos + 3]) << 24);
        pos += 4;
        return v;
    }
    f32 f32v() {
        const u32 bits = u32v();
        f32 v;
        std::memcpy(&v, &bits, sizeof(v));
        return v;
    }
    // A count of items that take at least `minItemSize` bytes each, refused unless they fit in
    // the bytes left (the readers' rule, core/ReadLimits.h).
    u32 count(std::size_t minItemSize) {
        const u32 n = u32v();
        if (ok() && !countFits(n, minItemSize, left()))
            fail("a count exceeds the bytes left");
        return ok() ? n : 0;
    }
    // The bytes of a text, checked against the bytes left.
    const u8* text(u32& length) {
        length = u32v();
        if (!take(length))
            return nullptr;
        const u8* start = data + pos;
        pos += length;
        return start;
    }
    void wide(core::stringw& out) {
        u32 length = 0;
        const u8* bytes = text(length);
        if (!bytes)
            return;
        if (std::memchr(bytes, 0, length)) {
            fail("a text holds a zero byte"); // it would cut the text short
            return;
        }
        scratch.assign(reinterpret_cast<const char*>(bytes), length);
        out = fromUtf8(scratch.c_str()).c_str();
    }

    const char* error = nullptr;

private:
    std::string scratch;
    const u8* data;
    std::size_t size;
    std::size_t pos = 0;
};

// The name table of a file.
class Names {
public:
    bool read(Reader& r) {
        const u32 count = r.count(4);
        names.reserve(count);
        for (u32 i = 0; i < count && r.ok(); ++i) {
            u32 length = 0;
            const u8* bytes = r.text(length);
            if (!bytes)
                break;
            if (std::memchr(bytes, 0, length)) {
                r.fail("a name holds a zero byte");
                break;
            }
            names.emplace_back(reinterpret_cast<const char*>(bytes), length);
        }
        return r.ok();
    }
    // The index of a name, checked against the table.
    u32 index(Reader& r) const {
        const u32 i = r.u32v();
        if (r.ok() && i >= names.size())
            r.fail("a name is not in the name table");
        return r.ok() ? i : 0;
    }
    const c8* operator[](u32 i) const { return names[i].c_str(); }
    std::size_t length(u32 i) const { return names[i].size(); }

private:
    std::vector<std::string> names;
};

// One attribute as read from the file, before it reaches an engine container.
struct DecodedAttribute {
    u8 type = 0;
    u32 name = 0;
    f32 f[16] = {};
    s32 i[4] = {};
    bool flag = false;
    u32 enumValue = 0;
    std::vector<u32> literals;
    std::vector<const c8*> literalTable;
    core::stringw text;
    core::array<core::stringw> items;
};

struct DecodedBlock {
    std::vector<DecodedAttribute> entries;
    u32 count = 0;
    // What decoding the block and filling an engine container with it make beyond the
    // block's own bytes: copies of the names its attributes refer to (their own, enumeration
    // values and literals) and a string for every item of its text arrays.
    std::uint64_t madeBytes = 0;
};

// More attributes in one block than any object of the game has (the largest have about a
// hundred): the decoded block and the engine's container cost far more per attribute than
// the file does.
constexpr u32 maxBlockAttributes = 4096;
// A text array's item as a string in the decoded block and again in the container.
constexpr std::uint64_t madeBytesPerArrayItem = 128;

void readFloats(Reader& r, f32* out, int n) {
    for (int k = 0; k < n; ++k)
        out[k] = r.f32v();
}

void decodeAttribute(Reader& r, const Names& names, DecodedAttribute& a, std::uint64_t& madeBytes) {
    a.type = r.u8v();
    a.name = names.index(r);
    if (!r.ok())
        return;
    madeBytes += names.length(a.name);
    switch (a.type) {
    case io::EAT_INT:
    case io::EAT_COLOR:
        a.i[0] = static_cast<s32>(r.u32v());
        break;
    case io::EAT_FLOAT:
        a.f[0] = r.f32v();
        break;
    case io::EAT_BOOL: {
        const u8 v = r.u8v();
        if (v > 1)
            r.fail("a bool is neither 0 nor 1");
        a.flag = v != 0;
        break;
    }
    case io::EAT_ENUM: {
        a.enumValue = names.index(r);
        const u32 count = r.count(4);
        a.literals.clear();
        for (u32 k = 0; k < count && r.ok(); ++k)
            a.literals.push_back(names.index(r));
        a.literalTable.clear();
        madeBytes += names.length(a.enumValue);
        for (u32 literal : a.literals) {
            a.literalTable.push_back(names[literal]);
            madeBytes += names.length(literal);
        }
        a.literalTable.push_back(nullptr);
        break;
    }
    case io::EAT_POSITION2D:
    case io::EAT_DIMENSION2D:
        a.i[0] = static_cast<s32>(r.u32v());
        a.i[1] = static_cast<s32>(r.u32v());
        break;
    case io::EAT_RECT:
        for (int k = 0; k < 4; ++k)
            a.i[k] = static_cast<s32>(r.u32v());
        break;
    case io::EAT_VECTOR2D:
        readFloats(r, a.f, 2);
        break;
    case io::EAT_VECTOR3D:
        readFloats(r, a.f, 3);
        break;
    case io::EAT_COLORF:
    case io::EAT_QUATERNION:
    case io::EAT_PLANE:
    case io::EAT_LINE2D:
        readFloats(r, a.f, 4);
        break;
    case io::EAT_BBOX:
    case io::EAT_LINE3D:
        readFloats(r, a.f, 6);
        break;
    case io::EAT_TRIANGLE3D:
        readFloats(r, a.f, 9);
        break;
    case io::EAT_MATRIX:
        readFloats(r, a.f, 16);
        break;
    case io::EAT_STRINGWARRAY: {
        const u32 count = r.count(4);
        a.items.clear(); // set_used would leave the old texts undestroyed
        madeBytes += count * madeBytesPerArrayItem;
        for (u32 k = 0; k < count && r.ok(); ++k) {
            a.items.push_back(core::stringw());
            r.wide(a.items.getLast());
        }
        break;
    }
    case io::EAT_STRING:
    case io::EAT_BINARY:
    case io::EAT_TEXTURE:
        r.wide(a.text);
        break;
    default: // also the user pointer, which the writer leaves out: it means nothing in a file
        r.fail("an attribute has an unknown type");
        break;
    }
}

void decodeBlock(Reader& r, const Names& names, DecodedBlock& block) {
    const std::size_t start = r.position();
    // Every attribute takes at least a type byte and a name.
    const u32 count = r.count(5);
    static_assert(maxBlockAttributes == 4096, "the reason below names the bound");
    if (r.ok() && count > maxBlockAttributes)
        r.fail("an attribute block holds more than 4096 attributes");
    block.count = r.ok() ? count : 0;
    if (block.entries.size() < block.count)
        block.entries.resize(block.count);
    block.madeBytes = 0;
    for (u32 i = 0; i < block.count && r.ok(); ++i)
        decodeAttribute(r, names, block.entries[i], block.madeBytes);
    // A name is stored once and referred to by four bytes: a block that refers to long names
    // over and over would have the engine copy them without end.
    if (r.ok() && !expansionFits(block.madeBytes, r.position() - start))
        r.fail("an attribute block would take more than 16 times its size");
}

// The engine's containers ignore a new value for these types once the attribute exists.
bool settableInPlace(u8 type) {
    return type != io::EAT_BBOX && type != io::EAT_TRIANGLE3D && type != io::EAT_LINE3D;
}

// Adds an attribute of the decoded type: with a neutral value that setValue replaces, or
// with its value for the types that cannot change in place.
void addPlaceholder(io::IAttributes* c, const DecodedAttribute& a, const Names& names) {
    const c8* name = names[a.name];
    const f32* f = a.f;
    switch (a.type) {
    case io::EAT_INT:
        c->addInt(name, 0);
        break;
    case io::EAT_FLOAT:
        c->addFloat(name, 0);
        break;
    case io::EAT_BOOL:
        c->addBool(name, false);
        break;
    case io::EAT_ENUM:
        c->addEnum(name, names[a.enumValue], a.literals.empty() ? nullptr : a.literalTable.data());
        break;
    case io::EAT_COLOR:
        c->addColor(name, video::SColor());
        break;
    case io::EAT_COLORF:
        c->addColorf(name, video::SColorf());
        break;
    case io::EAT_VECTOR3D:
        c->addVector3d(name, core::vector3df());
        break;
    case io::EAT_POSITION2D:
        c->addPosition2d(name, core::position2di());
        break;
    case io::EAT_VECTOR2D:
        c->addVector2d(name, core::vector2df());
        break;
    case io::EAT_RECT:
        c->addRect(name, core::recti());
        break;
    case io::EAT_DIMENSION2D:
        c->addDimension2d(name, core::dimension2du());
        break;
    case io::EAT_MATRIX:
        c->addMatrix(name, core::matrix4());
        break;
    case io::EAT_QUATERNION:
        c->addQuaternion(name, core::quaternion());
        break;
    case io::EAT_BBOX:
        c->addBox3d(name, core::aabbox3df(f[0], f[1], f[2], f[3], f[4], f[5]));
        break;
    case io::EAT_PLANE:
        c->addPlane3d(name, core::plane3df());
        break;
    case io::EAT_TRIANGLE3D:
        c->addTriangle3d(
            name, core::triangle3df({f[0], f[1], f[2]}, {f[3], f[4], f[5]}, {f[6], f[7], f[8]}));
        break;
    case io::EAT_LINE2D:
        c->addLine2d(name, core::line2df());
        break;
    case io::EAT_LINE3D:
        c->addLine3d(name, core::line3df(f[0], f[1], f[2], f[3], f[4], f[5]));
        break;
    case io::EAT_STRINGWARRAY:
        c->addArray(name, core::array<core::stringw>());
        break;
    case io::EAT_BINARY:
        c->addBinary(name, nullptr, 0);
        break;
    case io::EAT_TEXTURE:
        c->addTexture(name, nullptr);
        break;
    default:
        c->addString(name, L"");
        break;
    }
}

// Sets the value of attribute `index`, which has the decoded type (the types that cannot
// change in place got theirs from addPlaceholder).
void setValue(io::IAttributes* c, s32 index, const DecodedAttribute& a, const Names& names) {
    const f32* f = a.f;
    switch (a.type) {
    case io::EAT_INT:
        c->setAttribute(index, a.i[0]);
        break;
    case io::EAT_FLOAT:
        c->setAttribute(index, f[0]);
        break;
    case io::EAT_BOOL:
        c->setAttribute(index, a.flag);
        break;
    case io::EAT_ENUM:
        c->setAttribute(index, names[a.enumValue]);
        break;
    case io::EAT_COLOR:
        c->setAttribute(index, video::SColor(static_cast<u32>(a.i[0])));
        break;
    case io::EAT_COLORF:
        c->setAttribute(index, video::SColorf(f[0], f[1], f[2], f[3]));
        break;
    case io::EAT_VECTOR3D:
        c->setAttribute(index, core::vector3df(f[0], f[1], f[2]));
        break;
    case io::EAT_POSITION2D:
        c->setAttribute(index, core::position2di(a.i[0], a.i[1]));
        break;
    case io::EAT_VECTOR2D:
        c->setAttribute(index, core::vector2df(f[0], f[1]));
        break;
    case io::EAT_RECT:
        c->setAttribute(index, core::recti(a.i[0], a.i[1], a.i[2], a.i[3]));
        break;
    case io::EAT_DIMENSION2D:
        c->setAttribute(index,
                        core::dimension2du(static_cast<u32>(a.i[0]), static_cast<u32>(a.i[1])));
        break;
    case io::EAT_MATRIX: {
        core::matrix4 m(core::matrix4::EM4CONST_NOTHING);
        for (int k = 0; k < 16; ++k)
            m[k] = f[k];
        c->setAttribute(index, m);
        break;
    }
    case io::EAT_QUATERNION:
        c->setAttribute(index, core::quaternion(f[0], f[1], f[2], f[3]));
        break;
    case io::EAT_PLANE:
        c->setAttribute(index, core::plane3df(core::vector3df(f[0], f[1], f[2]), f[3]));
        break;
    case io::EAT_LINE2D:
        c->setAttribute(index, core::line2df(f[0], f[1], f[2], f[3]));
        break;
    case io::EAT_STRINGWARRAY:
        c->setAttribute(index, a.items);
        break;
    case io::EAT_BBOX:
    case io::EAT_TRIANGLE3D:
    case io::EAT_LINE3D:
        break;
    case io::EAT_TEXTURE:
        // A refilled container may still hold the texture of the block before; the engine's
        // texture attribute lets go of it for an empty name (not for a null texture).
        if (isNoTextureText(a.text.c_str()))
            c->setAttribute(index, L"");
        else
            c->setAttribute(index, textureFileText(a.text.c_str()).c_str());
        break;
    default:
        c->setAttribute(index, a.text.c_str());
        break; // strings, binary data
    }
}

io::IAttributes* makeContainer(io::IFileSystem* fileSystem, video::IVideoDriver* driver,
                               const DecodedBlock& block, const Names& names) {
    io::IAttributes* c = fileSystem->createEmptyAttributes(driver);
    for (u32 i = 0; i < block.count; ++i) {
        addPlaceholder(c, block.entries[i], names);
        setValue(c, static_cast<s32>(i), block.entries[i], names);
    }
    return c;
}

// Attribute containers by layout, refilled in place for every block of that layout.
class ContainerCache {
public:
    ContainerCache(io::IFileSystem* fileSystem, video::IVideoDriver* driver)
        : fileSystem(fileSystem), driver(driver) {}
    ~ContainerCache() {
        clear();
        if (transient)
            transient->drop();
    }
    ContainerCache(const ContainerCache&) = delete;
    ContainerCache& operator=(const ContainerCache&) = delete;

    io::IAttributes* fill(const DecodedBlock& block, const Names& names) {
        if (transient) {
            transient->drop();
            transient = nullptr;
        }
        key.clear();
        for (u32 i = 0; i < block.count; ++i) {
            const DecodedAttribute& a = block.entries[i];
            if (!settableInPlace(a.type)) {
                transient = makeContainer(fileSystem, driver, block, names);
                return transient;
            }
            key.push_back(a.type);
            key.push_back(a.name);
            if (a.type == io::EAT_ENUM) {
                key.push_back(static_cast<u32>(a.literals.size()));
                key.insert(key.end(), a.literals.begin(), a.literals.end());
            }
        }
        std::string hashKey(reinterpret_cast<const char*>(key.data()), key.size() * sizeof(u32));
        auto it = entries.find(hashKey);
        // A reader that kept the container may not see it change under its hands.
        if (it != entries.end() && it->second.container->getReferenceCount() != 1) {
            it->second.container->drop();
            cachedBytes -= it->second.cost;
            entries.erase(it);
            it = entries.end();
        }
        if (it == entries.end()) {
            // A file of ever new layouts would fill the cache without end: past its bound it
            // starts afresh (readers that kept a container keep it).
            const std::uint64_t cost = block.count * madeBytesPerAttribute + block.madeBytes;
            if (cachedBytes + cost > maxCachedBytes)
                clear();
            io::IAttributes* c = makeContainer(fileSystem, driver, block, names);
            entries.emplace(std::move(hashKey), Entry{c, cost});
            cachedBytes += cost;
            return c;
        }
        io::IAttributes* c = it->second.container;
        for (u32 i = 0; i < block.count; ++i)
            setValue(c, static_cast<s32>(i), block.entries[i], names);
        return c;
    }

private:
    // An engine attribute object with its name, beside the copies the block counts itself.
    static constexpr std::uint64_t madeBytesPerAttribute = 128;
    static constexpr std::uint64_t maxCachedBytes = 16u * 1024u * 1024u;

    void clear() {
        for (auto& entry : entries)
            entry.second.container->drop();
        entries.clear();
        cachedBytes = 0;
    }

    struct Entry {
        io::IAttributes* container;
        std::uint64_t cost;
    };
    io::IFileSystem* fileSystem;
    video::IVideoDriver* driver;
    std::unordered_map<std::string, Entry> entries;
    std::vector<u32> key;
    std::uint64_t cachedBytes = 0;
    io::IAttributes* transient =
        nullptr; // a container that cannot be refilled, kept until the next block
};

// Walks the records of a payload, handing each block to a visitor:
//   Handle scene(block)                    the scene's own attributes
//   Handle node(parent, typeName, block)   a node below `parent`
//   void material(handle, index, block)
//   void animator(handle, block)
//   void endNode(handle)                   before its children
template <class Visitor>
void walkRecord(Reader& r, Names& names, DecodedBlock& block, Visitor& v,
                typename Visitor::Handle parent, bool isScene, int depth) {
    if (depth > maxLevelNodeDepth) {
        r.fail(levelTooDeepReason);
        return;
    }
    const u32 typeName = isScene ? 0 : names.index(r);
    decodeBlock(r, names, block);
    if (!r.ok())
        return;
    typename Visitor::Handle handle =
        isScene ? v.scene(block) : v.node(parent, names[typeName], block);
    const u32 materials = r.count(4);
    for (u32 i = 0; i < materials && r.ok(); ++i) {
        decodeBlock(r, names, block);
        if (r.ok())
            v.material(handle, i, block);
    }
    const u32 animators = r.count(4);
    for (u32 i = 0; i < animators && r.ok(); ++i) {
        decodeBlock(r, names, block);
        if (r.ok())
            v.animator(handle, block);
    }
    if (!r.ok())
        return;
    v.endNode(handle);
    // A child record takes at least its type name and four counts.
    const u32 children = r.count(20);
    for (u32 i = 0; i < children && r.ok(); ++i)
        walkRecord(r, names, block, v, handle, false, depth + 1);
}

// Checks a whole payload and counts its nodes; makes nothing.
struct CheckVisitor {
    using Handle = int;
    Handle scene(const DecodedBlock&) { return 0; }
    Handle node(Handle, const c8*, const DecodedBlock&) {
        ++nodes;
        return 0;
    }
    void material(Handle, u32, const DecodedBlock&) {}
    void animator(Handle, const DecodedBlock&) {}
    void endNode(Handle) {}
    u32 nodes = 0;
};

// Fills scene records with fresh containers.
struct RecordVisitor {
    using Handle = SceneRecord*;
    io::IAttributes* make(const DecodedBlock& block) {
        return makeContainer(fileSystem, driver, block, names);
    }
    Handle scene(const DecodedBlock& block) {
        root->attributes = make(block);
        return root;
    }
    Handle node(Handle parent, const c8* typeName, const DecodedBlock& block) {
        auto child = std::make_unique<SceneRecord>();
        child->typeName = typeName;
        child->attributes = make(block);
        parent->children.push_back(std::move(child));
        return parent->children.back().get();
    }
    void material(Handle record, u32, const DecodedBlock& block) {
        record->materials.push_back(make(block));
    }
    void animator(Handle record, const DecodedBlock& block) {
        record->animators.push_back(make(block));
    }
    void endNode(Handle) {}

    io::IFileSystem* fileSystem;
    video::IVideoDriver* driver;
    const Names& names;
    SceneRecord* root;
};

// Builds nodes through a scene loader; the nodes below one that cannot be made are passed
// over and counted.
struct BuildVisitor {
    struct Handle {
        scene::ISceneNode* node = nullptr;
        bool skipped = false;
    };
    Handle scene(const DecodedBlock& block) {
        loader.applySceneAttributes(target, cache.fill(block, names));
        return {target, false};
    }
    Handle node(Handle parent, const c8* typeName, const DecodedBlock& block) {
        if (parent.skipped) {
            loader.skipObjects(1);
            return {nullptr, true};
        }
        scene::ISceneNode* node = loader.beginNode(typeName, parent.node, cache.fill(block, names));
        return {node, node == nullptr};
    }
    void material(Handle handle, u32 index, const DecodedBlock& block) {
        if (!handle.skipped)
            loader.applyMaterial(handle.node, index, cache.fill(block, names));
    }
    void animator(Handle handle, const DecodedBlock& block) {
        if (!handle.skipped)
            loader.applyAnimator(handle.node, cache.fill(block, names));
    }
    void endNode(Handle handle) {
        if (!handle.skipped)
            loader.endNode(handle.node);
    }

    SceneLoader& loader;
    ContainerCache& cache;
    const Names& names;
    scene::ISceneNode* target;
};

// Checks the header and the checksum; on success `payload` and `payloadSize` describe the
// payload and `nodeCount` is the header's node count.
bool openPayload(const void* data, std::size_t size, const u8*& payload, u32& payloadSize,
                 u32& nodeCount, std::string& error) {
    const u8* bytes = static_cast<const u8*>(data);
    if (!bytes || size < headerSize) {
        error = "the file is too short to be a binary level";
        return false;
    }
    if (std::memcmp(bytes, magic, sizeof(magic)) != 0) {
        error = "the file is not a binary level";
        return false;
    }
    Reader header(bytes + 4, headerSize - 4);
    const u32 versionLow = header.u8v();
    const u32 version = versionLow | (static_cast<u32>(header.u8v()) << 8);
    header.u8v();
    header.u8v();
    nodeCount = header.u32v();
    payloadSize = header.u32v();
    const u32 checksum = header.u32v();
    if (version != formatVersion) {
        error = "the binary level version is not supported";
        return false;
    }
    if (payloadSize != size - headerSize) {
        error = "the file length does not match its header (truncated or extended)";
        return false;
    }
    payload = bytes + headerSize;
    if (crc32(payload, payloadSize) != checksum) {
        error = "the checksum does not match (the file is damaged)";
        return false;
    }
    return true;
}

// Walks the payload with the visitor; checks that it ends where the scene ends and that it
// held as many nodes as the header says (when `expectedNodes` is given).
template <class Visitor>
bool walkPayload(const u8* payload, u32 payloadSize, Visitor& v, typename Visitor::Handle root,
                 Names& names, std::string& error) {
    Reader r(payload, payloadSize);
    DecodedBlock block;
    if (names.read(r))
        walkRecord(r, names, block, v, root, true, 0);
    if (r.ok() && r.left() != 0)
        r.fail("bytes follow the scene");
    if (!r.ok())
        error = r.error;
    return r.ok();
}

// The checking walk: the whole payload is valid and holds the header's number of nodes.
bool checkPayload(const u8* payload, u32 payloadSize, u32 nodeCount, std::string& error) {
    Names names;
    CheckVisitor check;
    if (!walkPayload(payload, payloadSize, check, 0, names, error))
        return false;
    if (check.nodes != nodeCount) {
        error = "the node count does not match the header";
        return false;
    }
    return true;
}

} // namespace

bool decodeBinaryLevel(const void* data, std::size_t size, io::IFileSystem* fileSystem,
                       video::IVideoDriver* driver, SceneRecord& scene, std::string& error) {
    const u8* payload = nullptr;
    u32 payloadSize = 0, nodeCount = 0;
    if (!openPayload(data, size, payload, payloadSize, nodeCount, error) ||
        !checkPayload(payload, payloadSize, nodeCount, error))
        return false;
    Names names;
    RecordVisitor records{fileSystem, driver, names, &scene};
    return walkPayload(payload, payloadSize, records, &scene, names, error);
}

bool SceneLoader::loadBinary(const std::string& bytes, scene::ISceneNode* parent,
                             std::string& error) {
    const u8* payload = nullptr;
    u32 payloadSize = 0, nodeCount = 0;
    if (!openPayload(bytes.data(), bytes.size(), payload, payloadSize, nodeCount, error) ||
        !checkPayload(payload, payloadSize, nodeCount, error))
        return false;
    objectsTotal = nodeCount;
    Names names;
    ContainerCache cache(manager->getFileSystem(), manager->getVideoDriver());
    BuildVisitor build{*this, cache, names, parent};
    return walkPayload(payload, payloadSize, build, BuildVisitor::Handle{parent, false}, names,
                       error);
}
