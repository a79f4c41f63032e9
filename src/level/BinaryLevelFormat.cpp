#include "level/LevelFile.h"

#include <array>
#include <cstring>

// The binary level format (see LevelFile.h for the layout).

using namespace irr;

namespace {

constexpr char magic[4] = {'P', 'S', 'L', 'V'};
constexpr u16 formatVersion = 1;
constexpr std::size_t headerSize = 20;
// Deeper nesting than any level has; it keeps a hostile file from exhausting the stack.
constexpr int maxDepth = 256;

// --- CRC-32 (IEEE) ---------------------------------------------------------------------

std::array<u32, 256> makeCrcTable() {
    std::array<u32, 256> table{};
    for (u32 i = 0; i < 256; ++i) {
        u32 c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

u32 crc32(const u8* data, std::size_t size) {
    static const std::array<u32, 256> table = makeCrcTable();
    u32 c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i)
        c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

// --- wide text as UTF-8 -------------------------------------------------------------------

void appendUtf8(std::string& out, u32 c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string toUtf8(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text)
        appendUtf8(out, static_cast<u32>(*text));
    return out;
}

bool fromUtf8(const std::string& in, core::stringw& out) {
    out = L"";
    std::size_t i = 0;
    while (i < in.size()) {
        const u8 lead = static_cast<u8>(in[i]);
        u32 c = 0;
        int extra = 0;
        if (lead < 0x80) {
            c = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            c = lead & 0x1F;
            extra = 1;
        } else if ((lead & 0xF0) == 0xE0) {
            c = lead & 0x0F;
            extra = 2;
        } else if ((lead & 0xF8) == 0xF0) {
            c = lead & 0x07;
            extra = 3;
        } else {
            return false;
        }
        if (i + extra >= in.size() && extra > 0)
            return false;
        for (int k = 1; k <= extra; ++k) {
            const u8 next = static_cast<u8>(in[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (next & 0x3F);
        }
        if (c == 0)
            return false; // a NUL would cut the text short
        out.append(static_cast<wchar_t>(c));
        i += 1 + extra;
    }
    return true;
}

// --- writing -------------------------------------------------------------------------------

class Writer {
public:
    explicit Writer(std::string& out) : out(out) {}

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
    void bytes(const std::string& text) {
        u32v(static_cast<u32>(text.size()));
        out += text;
    }
    void narrow(const c8* text) { bytes(text ? text : ""); }
    void wide(const wchar_t* text) { bytes(toUtf8(text)); }

    std::size_t position() const { return out.size(); }
    void patchU32(std::size_t at, u32 v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = static_cast<char>(static_cast<u8>(v >> (8 * i)));
    }

private:
    std::string& out;
};

void writeAttribute(Writer& w, io::IAttributes* a, s32 i) {
    io::E_ATTRIBUTE_TYPE type = a->getAttributeType(i);
    // Array types the container cannot create again travel as their text.
    if (type == io::EAT_FLOATARRAY || type == io::EAT_INTARRAY || type >= io::EAT_COUNT)
        type = io::EAT_STRING;
    w.u8v(static_cast<u8>(type));
    w.narrow(a->getAttributeName(i));
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
        w.narrow(a->getAttributeAsEnumeration(i));
        core::array<core::stringc> literals;
        a->getAttributeEnumerationLiteralsOfEnumeration(i, literals);
        w.u32v(literals.size());
        for (u32 k = 0; k < literals.size(); ++k)
            w.narrow(literals[k].c_str());
        break;
    }
    case io::EAT_COLOR:
        w.u32v(a->getAttributeAsColor(i).color);
        break;
    case io::EAT_COLORF: {
        const video::SColorf c = a->getAttributeAsColorf(i);
        w.f32v(c.r);
        w.f32v(c.g);
        w.f32v(c.b);
        w.f32v(c.a);
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
        w.s32v(r.UpperLeftCorner.X);
        w.s32v(r.UpperLeftCorner.Y);
        w.s32v(r.LowerRightCorner.X);
        w.s32v(r.LowerRightCorner.Y);
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
        w.f32v(q.X);
        w.f32v(q.Y);
        w.f32v(q.Z);
        w.f32v(q.W);
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
        w.f32v(l.start.X);
        w.f32v(l.start.Y);
        w.f32v(l.end.X);
        w.f32v(l.end.Y);
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
    case io::EAT_USER_POINTER:
        break; // a pointer means nothing in a file
    case io::EAT_STRING:
    case io::EAT_BINARY:
    case io::EAT_TEXTURE:
    default:
        w.wide(a->getAttributeAsStringW(i).c_str());
        break;
    }
}

void writeBlock(Writer& w, io::IAttributes* a) {
    const u32 count = a ? a->getAttributeCount() : 0;
    w.u32v(count);
    for (u32 i = 0; i < count; ++i)
        writeAttribute(w, a, static_cast<s32>(i));
}

struct EncodeContext {
    scene::ISceneManager* manager;
    io::IFileSystem* fileSystem;
    video::IVideoDriver* driver;
    io::SAttributeReadWriteOptions options;
    u32 nodes = 0;
};

void writeRecord(Writer& w, EncodeContext& ctx, scene::ISceneNode* node, bool isScene,
                 const std::vector<scene::ISceneNode*>& children) {
    io::IAttributes* block = ctx.fileSystem->createEmptyAttributes(ctx.driver);
    if (!isScene) {
        const c8* typeName = ctx.manager->getSceneNodeTypeName(node->getType());
        w.narrow(typeName);
        ++ctx.nodes;
    }
    node->serializeAttributes(block, &ctx.options);
    writeBlock(w, block);

    const u32 materials = (isScene || !ctx.driver) ? 0 : node->getMaterialCount();
    w.u32v(materials);
    for (u32 i = 0; i < materials; ++i) {
        io::IAttributes* material = ctx.driver->createAttributesFromMaterial(node->getMaterial(i), &ctx.options);
        writeBlock(w, material);
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
    for (scene::ISceneNode* child : children) {
        std::vector<scene::ISceneNode*> grandChildren;
        for (scene::ISceneNode* c : child->getChildren()) {
            if (!c->isDebugObject())
                grandChildren.push_back(c);
        }
        writeRecord(w, ctx, child, false, grandChildren);
    }
}

// --- reading -------------------------------------------------------------------------------

class Reader {
public:
    Reader(const u8* data, std::size_t size) : data(data), size(size) {}

    bool ok() const { return error.empty(); }
    std::size_t left() const { return size - pos; }
    void fail(const char* reason) {
        if (error.empty())
            error = reason;
    }

    bool take(std::size_t n) {
        if (!ok() || n > left()) {
            fail("the file ends too early");
            return false;
        }
        return true;
    }
    u8 u8v() {
        if (!take(1))
            return 0;
        return data[pos++];
    }
    u32 u32v() {
        if (!take(4))
            return 0;
        const u32 v = static_cast<u32>(data[pos]) | (static_cast<u32>(data[pos + 1]) << 8) |
                      (static_cast<u32>(data[pos + 2]) << 16) | (static_cast<u32>(data[pos + 3]) << 24);
        pos += 4;
        return v;
    }
    s32 s32v() { return static_cast<s32>(u32v()); }
    f32 f32v() {
        const u32 bits = u32v();
        f32 v;
        std::memcpy(&v, &bits, sizeof(v));
        return v;
    }
    core::vector3df vec3() {
        const f32 x = f32v();
        const f32 y = f32v();
        const f32 z = f32v();
        return {x, y, z};
    }
    // A count of items that take at least `minItemSize` bytes each.
    u32 count(std::size_t minItemSize) {
        const u32 n = u32v();
        if (ok() && static_cast<std::size_t>(n) * minItemSize > left())
            fail("a count exceeds the bytes left");
        return ok() ? n : 0;
    }
    std::string bytes() {
        const u32 n = u32v();
        if (!take(n))
            return {};
        std::string text(reinterpret_cast<const char*>(data + pos), n);
        pos += n;
        if (text.find('\0') != std::string::npos)
            fail("a text holds a zero byte");
        return text;
    }
    core::stringw wide() {
        core::stringw text;
        if (!fromUtf8(bytes(), text))
            fail("a text is not valid UTF-8");
        return text;
    }

    std::string error;

private:
    const u8* data;
    std::size_t size;
    std::size_t pos = 0;
};

bool readAttribute(Reader& r, io::IAttributes* a) {
    const u8 type = r.u8v();
    const std::string name = r.bytes();
    if (!r.ok())
        return false;
    if (name.empty()) {
        r.fail("an attribute has no name");
        return false;
    }
    const c8* n = name.c_str();
    switch (type) {
    case io::EAT_INT:
        a->addInt(n, r.s32v());
        break;
    case io::EAT_FLOAT:
        a->addFloat(n, r.f32v());
        break;
    case io::EAT_BOOL: {
        const u8 v = r.u8v();
        if (v > 1)
            r.fail("a bool is neither 0 nor 1");
        a->addBool(n, v != 0);
        break;
    }
    case io::EAT_ENUM: {
        const std::string value = r.bytes();
        const u32 count = r.count(4);
        std::vector<std::string> literals;
        for (u32 k = 0; k < count && r.ok(); ++k)
            literals.push_back(r.bytes());
        if (!r.ok())
            return false;
        std::vector<const c8*> table;
        for (const std::string& literal : literals)
            table.push_back(literal.c_str());
        table.push_back(nullptr);
        a->addEnum(n, value.c_str(), literals.empty() ? nullptr : table.data());
        break;
    }
    case io::EAT_COLOR:
        a->addColor(n, video::SColor(r.u32v()));
        break;
    case io::EAT_COLORF: {
        const f32 red = r.f32v(), green = r.f32v(), blue = r.f32v(), alpha = r.f32v();
        a->addColorf(n, video::SColorf(red, green, blue, alpha));
        break;
    }
    case io::EAT_VECTOR3D:
        a->addVector3d(n, r.vec3());
        break;
    case io::EAT_POSITION2D: {
        const s32 x = r.s32v(), y = r.s32v();
        a->addPosition2d(n, core::position2di(x, y));
        break;
    }
    case io::EAT_VECTOR2D: {
        const f32 x = r.f32v(), y = r.f32v();
        a->addVector2d(n, core::vector2df(x, y));
        break;
    }
    case io::EAT_RECT: {
        const s32 x1 = r.s32v(), y1 = r.s32v(), x2 = r.s32v(), y2 = r.s32v();
        a->addRect(n, core::recti(x1, y1, x2, y2));
        break;
    }
    case io::EAT_DIMENSION2D: {
        const u32 width = r.u32v(), height = r.u32v();
        a->addDimension2d(n, core::dimension2du(width, height));
        break;
    }
    case io::EAT_MATRIX: {
        core::matrix4 m(core::matrix4::EM4CONST_NOTHING);
        for (int k = 0; k < 16; ++k)
            m[k] = r.f32v();
        a->addMatrix(n, m);
        break;
    }
    case io::EAT_QUATERNION: {
        const f32 x = r.f32v(), y = r.f32v(), z = r.f32v(), w = r.f32v();
        a->addQuaternion(n, core::quaternion(x, y, z, w));
        break;
    }
    case io::EAT_BBOX: {
        const core::vector3df minEdge = r.vec3();
        const core::vector3df maxEdge = r.vec3();
        a->addBox3d(n, core::aabbox3df(minEdge, maxEdge));
        break;
    }
    case io::EAT_PLANE: {
        const core::vector3df normal = r.vec3();
        const f32 d = r.f32v();
        a->addPlane3d(n, core::plane3df(normal, d));
        break;
    }
    case io::EAT_TRIANGLE3D: {
        const core::vector3df p1 = r.vec3();
        const core::vector3df p2 = r.vec3();
        const core::vector3df p3 = r.vec3();
        a->addTriangle3d(n, core::triangle3df(p1, p2, p3));
        break;
    }
    case io::EAT_LINE2D: {
        const f32 x1 = r.f32v(), y1 = r.f32v(), x2 = r.f32v(), y2 = r.f32v();
        a->addLine2d(n, core::line2df(x1, y1, x2, y2));
        break;
    }
    case io::EAT_LINE3D: {
        const core::vector3df start = r.vec3();
        const core::vector3df end = r.vec3();
        a->addLine3d(n, core::line3df(start, end));
        break;
    }
    case io::EAT_STRINGWARRAY: {
        const u32 count = r.count(4);
        core::array<core::stringw> items;
        for (u32 k = 0; k < count && r.ok(); ++k)
            items.push_back(r.wide());
        a->addArray(n, items);
        break;
    }
    case io::EAT_USER_POINTER:
        a->addUserPointer(n, nullptr);
        break;
    case io::EAT_STRING:
        a->addString(n, r.wide().c_str());
        break;
    case io::EAT_BINARY:
    case io::EAT_TEXTURE: {
        // Created empty, then given their text, as the engine's XML reader does.
        const core::stringw text = r.wide();
        if (!r.ok())
            return false;
        if (type == io::EAT_BINARY)
            a->addBinary(n, nullptr, 0);
        else
            a->addTexture(n, nullptr);
        a->setAttribute(static_cast<s32>(a->getAttributeCount()) - 1, text.c_str());
        break;
    }
    default:
        r.fail("an attribute has an unknown type");
        return false;
    }
    return r.ok();
}

io::IAttributes* readBlock(Reader& r, io::IFileSystem* fileSystem, video::IVideoDriver* driver) {
    // Every attribute takes at least a type byte and a name length.
    const u32 count = r.count(5);
    if (!r.ok())
        return nullptr;
    io::IAttributes* block = fileSystem->createEmptyAttributes(driver);
    for (u32 i = 0; i < count && r.ok(); ++i)
        readAttribute(r, block);
    return block;
}

struct DecodeContext {
    io::IFileSystem* fileSystem;
    video::IVideoDriver* driver;
    u32 nodes = 0;
};

bool readRecord(Reader& r, DecodeContext& ctx, SceneRecord& record, bool isScene, int depth) {
    if (depth > maxDepth) {
        r.fail("the nodes are nested too deeply");
        return false;
    }
    if (!isScene) {
        record.typeName = r.bytes().c_str();
        ++ctx.nodes;
    }
    record.attributes = readBlock(r, ctx.fileSystem, ctx.driver);
    const u32 materials = r.count(4);
    for (u32 i = 0; i < materials && r.ok(); ++i) {
        if (io::IAttributes* block = readBlock(r, ctx.fileSystem, ctx.driver))
            record.materials.push_back(block);
    }
    const u32 animators = r.count(4);
    for (u32 i = 0; i < animators && r.ok(); ++i) {
        if (io::IAttributes* block = readBlock(r, ctx.fileSystem, ctx.driver))
            record.animators.push_back(block);
    }
    // A child record takes at least its type name length and four counts.
    const u32 children = r.count(20);
    for (u32 i = 0; i < children && r.ok(); ++i) {
        auto child = std::make_unique<SceneRecord>();
        readRecord(r, ctx, *child, false, depth + 1);
        record.children.push_back(std::move(child));
    }
    return r.ok();
}

} // namespace

u32 binaryLevelChecksum(const void* data, std::size_t size) { return crc32(static_cast<const u8*>(data), size); }

bool encodeBinaryLevel(scene::ISceneManager* manager, scene::ISceneNode* start, const io::path& fileName,
                       std::string& bytes) {
    if (!manager || !manager->getFileSystem())
        return false;
    scene::ISceneNode* root = manager->getRootSceneNode();
    if (!start)
        start = root;

    EncodeContext ctx{manager, manager->getFileSystem(), manager->getVideoDriver(), {}, 0};
    ctx.options.Filename = fileName.c_str();
    ctx.options.Flags |= io::EARWF_USE_RELATIVE_PATHS;

    // As in the engine's scene files: the scene's own attributes, then the nodes.
    std::vector<scene::ISceneNode*> top;
    if (start == root) {
        for (scene::ISceneNode* child : root->getChildren()) {
            if (!child->isDebugObject())
                top.push_back(child);
        }
    } else if (!start->isDebugObject()) {
        top.push_back(start);
    }

    std::string payload;
    Writer w(payload);
    writeRecord(w, ctx, root, true, top);

    bytes.clear();
    Writer header(bytes);
    for (char c : magic)
        header.u8v(static_cast<u8>(c));
    header.u16v(formatVersion);
    header.u16v(0);
    header.u32v(ctx.nodes);
    header.u32v(static_cast<u32>(payload.size()));
    header.u32v(crc32(reinterpret_cast<const u8*>(payload.data()), payload.size()));
    bytes += payload;
    return true;
}

bool decodeBinaryLevel(const void* data, std::size_t size, io::IFileSystem* fileSystem, video::IVideoDriver* driver,
                       SceneRecord& scene, std::string& error) {
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
    const u32 nodeCount = header.u32v();
    const u32 payloadSize = header.u32v();
    const u32 checksum = header.u32v();
    if (version != formatVersion) {
        error = "the binary level version is not supported";
        return false;
    }
    if (payloadSize != size - headerSize) {
        error = "the file length does not match its header (truncated or extended)";
        return false;
    }
    const u8* payload = bytes + headerSize;
    if (crc32(payload, payloadSize) != checksum) {
        error = "the checksum does not match (the file is damaged)";
        return false;
    }

    Reader r(payload, payloadSize);
    DecodeContext ctx{fileSystem, driver, 0};
    readRecord(r, ctx, scene, true, 0);
    if (r.ok() && r.left() != 0)
        r.fail("bytes follow the scene");
    if (r.ok() && ctx.nodes != nodeCount)
        r.fail("the node count does not match the header");
    if (!r.ok()) {
        error = r.error;
        return false;
    }
    return true;
}
