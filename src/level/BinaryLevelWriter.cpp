#include "level/BinaryLevelFormat.h"
#include "level/LevelFile.h"

#include "core/Utf8.h"

#include <array>
#include <cstring>
#include <unordered_map>
#include <vector>

// Writing the binary level format (layout in LevelFile.h).

using namespace irr;
using namespace binarylevel;

namespace {

// Tables for taking the CRC eight bytes at a time.
using CrcTables = std::array<std::array<u32, 256>, 8>;

CrcTables makeCrcTables() {
    CrcTables tables{};
    for (u32 i = 0; i < 256; ++i) {
        u32 c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        tables[0][i] = c;
    }
    for (u32 i = 0; i < 256; ++i) {
        for (int t = 1; t < 8; ++t)
            tables[t][i] = (tables[t - 1][i] >> 8) ^ tables[0][tables[t - 1][i] & 0xFF];
    }
    return tables;
}

} // namespace

u32 binarylevel::crc32(const u8* data, std::size_t size) {
    static const CrcTables t = makeCrcTables();
    u32 c = 0xFFFFFFFFu;
    while (size >= 8) {
        const u32 low = c ^ (static_cast<u32>(data[0]) | (static_cast<u32>(data[1]) << 8) |
                             (static_cast<u32>(data[2]) << 16) | (static_cast<u32>(data[3]) << 24));
        c = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^
            t[4][low >> 24] ^ t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
        data += 8;
        size -= 8;
    }
    while (size-- > 0)
        c = t[0][(c ^ *data++) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

namespace {

class Writer {
public:
    void u8v(u8 v) { out += static_cast<char>(v); }
    void u16v(u16 v) {
        u8v(static_cast<u8>(v));
        u8v(static_cast<u8>(v >> 8));
    }
    void u32v(u32 v) {
        for (int i = 0; i < 4; ++i)
            u8v(static_cast<u8>(v >> (8 * i)));
    }
    void s32v(s32 v) { u32v(static_cast<u32>(v)); }
    void f32v(f32 v) {
        u32 bits;
        std::memcpy(&bits, &v, sizeof(bits));
        u32v(bits);
    }
    void vec3(const core::vector3df& v) {
        f32v(v.X);
        f32v(v.Y);
        f32v(v.Z);
    }
    void text(const std::string& bytes) {
        u32v(static_cast<u32>(bytes.size()));
        out += bytes;
    }
    void wide(const wchar_t* value) { text(toUtf8(value)); }
    // A name from the name table, added on first use.
    void name(const c8* value) {
        const std::string key = value ? value : "";
        auto it = nameIndex.find(key);
        if (it == nameIndex.end()) {
            it = nameIndex.emplace(key, static_cast<u32>(names.size())).first;
            names.push_back(key);
        }
        u32v(it->second);
    }

    std::string out;
    std::vector<std::string> names;

private:
    std::unordered_map<std::string, u32> nameIndex;
};

void writeAttribute(Writer& w, io::IAttributes* a, s32 i) {
    io::E_ATTRIBUTE_TYPE type = a->getAttributeType(i);
    // Array types the container cannot make again travel as their text.
    if (type == io::EAT_FLOATARRAY || type == io::EAT_INTARRAY || type >= io::EAT_COUNT)
        type = io::EAT_STRING;
    w.u8v(static_cast<u8>(type));
    w.name(a->getAttributeName(i));
    switch (type) {
    case io::EAT_INT:
        w.s32v(a->getAttributeAsInt(i));
        break;
    case io::EAT_FLOAT:
        w.f32v(a->getAttributeAsFloat(i));
        break;
    case io::EAT_BOOL:
        w.u8v(a->getAttributeAsBool(i) ? 1 : 0);
        break;
    case io::EAT_ENUM: {
        w.name(a->getAttributeAsEnumeration(i));
        core::array<core::stringc> literals;
        a->getAttributeEnumerationLiteralsOfEnumeration(i, literals);
        w.u32v(literals.size());
        for (u32 k = 0; k < literals.size(); ++k)
            w.name(literals[k].c_str());
        break;
    }
    case io::EAT_COLOR:
        w.u32v(a->getAttributeAsColor(i).color);
        break;
    case io::EAT_COLORF: {
        const video::SColorf c = a->getAttributeAsColorf(i);
        for (f32 v : {c.r, c.g, c.b, c.a})
            w.f32v(v);
        break;
    }
    case io::EAT_VECTOR3D:
        w.vec3(a->getAttributeAsVector3d(i));
        break;
    case io::EAT_POSITION2D: {
        const core::position2di p = a->getAttributeAsPosition2d(i);
        w.s32v(p.X);
        w.s32v(p.Y);
        break;
    }
    case io::EAT_VECTOR2D: {
        const core::vector2df v = a->getAttributeAsVector2d(i);
        w.f32v(v.X);
        w.f32v(v.Y);
        break;
    }
    case io::EAT_RECT: {
        const core::recti r = a->getAttributeAsRect(i);
        for (s32 v :
             {r.UpperLeftCorner.X, r.UpperLeftCorner.Y, r.LowerRightCorner.X, r.LowerRightCorner.Y})
            w.s32v(v);
        break;
    }
    case io::EAT_DIMENSION2D: {
        const core::dimension2du d = a->getAttributeAsDimension2d(i);
        w.u32v(d.Width);
        w.u32v(d.Height);
        break;
    }
    case io::EAT_MATRIX: {
        const core::matrix4 m = a->getAttributeAsMatrix(i);
        for (int k = 0; k < 16; ++k)
            w.f32v(m[k]);
        break;
    }
    case io::EAT_QUATERNION: {
        const core::quaternion q = a->getAttributeAsQuaternion(i);
        for (f32 v : {q.X, q.Y, q.Z, q.W})
            w.f32v(v);
        break;
    }
    case io::EAT_BBOX: {
        const core::aabbox3df b = a->getAttributeAsBox3d(i);
        w.vec3(b.MinEdge);
        w.vec3(b.MaxEdge);
        break;
    }
    case io::EAT_PLANE: {
        const core::plane3df p = a->getAttributeAsPlane3d(i);
        w.vec3(p.Normal);
        w.f32v(p.D);
        break;
    }
    case io::EAT_TRIANGLE3D: {
        const core::triangle3df t = a->getAttributeAsTriangle3d(i);
        w.vec3(t.pointA);
        w.vec3(t.pointB);
        w.vec3(t.pointC);
        break;
    }
    case io::EAT_LINE2D: {
        const core::line2df l = a->getAttributeAsLine2d(i);
        for (f32 v : {l.start.X, l.start.Y, l.end.X, l.end.Y})
            w.f32v(v);
        break;
    }
    case io::EAT_LINE3D: {
        const core::line3df l = a->getAttributeAsLine3d(i);
        w.vec3(l.start);
        w.vec3(l.end);
        break;
    }
    case io::EAT_STRINGWARRAY: {
        const core::array<core::stringw> items = a->getAttributeAsArray(i);
        w.u32v(items.size());
        for (u32 k = 0; k < items.size(); ++k)
            w.wide(items[k].c_str());
        break;
    }
    case io::EAT_TEXTURE:
        w.wide(textureAttributeText(a, i).c_str());
        break;
    default:   // strings and binary data travel as their text
        w.wide(a->getAttributeAsStringW(i).c_str());
        break;
    }
}

// A pointer means nothing in a file: user pointers are left out. A material block (given the
// driver) leaves out what equals the default material, as the scene files do.
void writeBlock(Writer& w, io::IAttributes* a, video::IVideoDriver* material = nullptr) {
    const u32 count = a ? a->getAttributeCount() : 0;
    std::vector<s32> kept;
    for (s32 i = 0; i < static_cast<s32>(count); ++i)
        if (a->getAttributeType(i) != io::EAT_USER_POINTER &&
            !(material && isDefaultMaterialValue(material, a->getAttributeName(i), a->getAttributeAsStringW(i).c_str())))
            kept.push_back(i);
    w.u32v(static_cast<u32>(kept.size()));
    for (const s32 i : kept)
        writeAttribute(w, a, i);
}

struct EncodeContext {
    scene::ISceneManager* manager;
    io::IFileSystem* fileSystem;
    video::IVideoDriver* driver;
    io::SAttributeReadWriteOptions options;
    u32 nodes = 0;
};

std::vector<scene::ISceneNode*> savedChildren(scene::ISceneNode* node) {
    std::vector<scene::ISceneNode*> children;
    for (scene::ISceneNode* child : node->getChildren()) {
        if (!child->isDebugObject())
            children.push_back(child);
    }
    return children;
}

void writeRecord(Writer& w, EncodeContext& ctx, scene::ISceneNode* node, bool isScene,
                 const std::vector<scene::ISceneNode*>& children) {
    io::IAttributes* block = ctx.fileSystem->createEmptyAttributes(ctx.driver);
    if (!isScene) {
        w.name(ctx.manager->getSceneNodeTypeName(node->getType()));
        ++ctx.nodes;
    }
    node->serializeAttributes(block, &ctx.options);
    writeBlock(w, block);

    const u32 materials = (isScene || !ctx.driver) ? 0 : node->getMaterialCount();
    w.u32v(materials);
    for (u32 i = 0; i < materials; ++i) {
        io::IAttributes* material =
            ctx.driver->createAttributesFromMaterial(node->getMaterial(i), &ctx.options);
        writeBlock(w, material, ctx.driver);
        if (material)
            material->drop();
    }

    w.u32v(node->getAnimators().size());
    for (scene::ISceneNodeAnimator* animator : node->getAnimators()) {
        block->clear();
        block->addString("Type", ctx.manager->getAnimatorTypeName(animator->getType()));
        animator->serializeAttributes(block, &ctx.options);
        writeBlock(w, block);
    }
    block->drop();

    w.u32v(static_cast<u32>(children.size()));
    for (scene::ISceneNode* child : children)
        writeRecord(w, ctx, child, false, savedChildren(child));
}

} // namespace

u32 binaryLevelChecksum(const void* data, std::size_t size) {
    return crc32(static_cast<const u8*>(data), size);
}

bool encodeBinaryLevel(scene::ISceneManager* manager, scene::ISceneNode* start,
                       const io::path& /*fileName*/, std::string& bytes) {
    if (!manager || !manager->getFileSystem())
        return false;
    scene::ISceneNode* root = manager->getRootSceneNode();
    if (!start)
        start = root;

    EncodeContext ctx{manager, manager->getFileSystem(), manager->getVideoDriver(), {}, 0};
    // The engine makes paths relative to the folder named here: the working folder, from
    // which the loader resolves them (the file's own name would add one "../" too many).
    const io::path base = levelPathBase(ctx.fileSystem);
    ctx.options.Filename = base.c_str();
    ctx.options.Flags |= io::EARWF_USE_RELATIVE_PATHS;

    // As in the engine's scene files: the scene's own attributes, then the nodes.
    std::vector<scene::ISceneNode*> top;
    if (start == root)
        top = savedChildren(root);
    else if (!start->isDebugObject())
        top.push_back(start);

    Writer records;
    writeRecord(records, ctx, root, true, top);

    Writer payload;
    payload.u32v(static_cast<u32>(records.names.size()));
    for (const std::string& name : records.names)
        payload.text(name);
    payload.out += records.out;

    Writer file;
    for (char c : magic)
        file.u8v(static_cast<u8>(c));
    file.u16v(formatVersion);
    file.u16v(0);
    file.u32v(ctx.nodes);
    file.u32v(static_cast<u32>(payload.out.size()));
    file.u32v(crc32(reinterpret_cast<const u8*>(payload.out.data()), payload.out.size()));
    bytes = std::move(file.out);
    bytes += payload.out;
    return true;
}
