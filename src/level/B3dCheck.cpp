#include "level/B3dCheck.h"

#include "core/ReadLimits.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// Far beyond a character of this game; the engine keeps every vertex in 16-bit buffers.
constexpr std::uint64_t maxB3dMeshVertices = 65535;
constexpr std::uint64_t maxB3dTotalVertices = 1u << 20;
constexpr int maxB3dNodeDepth = 64;
constexpr std::uint32_t maxB3dNodes = 4096;
// The engine reads at most this many texture layers of a brush; more are refused.
constexpr std::int32_t maxB3dBrushTextures = 8;
// Key frames beyond this are no animation of ours.
constexpr std::int32_t maxB3dFrame = 1000000;

class B3dWalker {
public:
    B3dWalker(const unsigned char* data, std::size_t size) : data(data), size(size) {}

    bool walk(std::string& error) {
        const bool ok = walkFile();
        if (!ok)
            error = reason.empty() ? "it is damaged" : reason;
        return ok;
    }

private:
    bool fail(const std::string& why) {
        if (reason.empty())
            reason = why;
        return false;
    }

    bool readInt(std::size_t& at, std::size_t end, std::int32_t& value) {
        if (end - at < 4)
            return fail("a value runs past the end of its chunk");
        const std::uint32_t bits = static_cast<std::uint32_t>(data[at]) |
                                   (static_cast<std::uint32_t>(data[at + 1]) << 8) |
                                   (static_cast<std::uint32_t>(data[at + 2]) << 16) |
                                   (static_cast<std::uint32_t>(data[at + 3]) << 24);
        std::memcpy(&value, &bits, 4);
        at += 4;
        return true;
    }

    bool readFloats(std::size_t& at, std::size_t end, int count) {
        for (int i = 0; i < count; ++i) {
            std::int32_t bits = 0;
            if (!readInt(at, end, bits))
                return false;
            float value = 0.0f;
            std::memcpy(&value, &bits, 4);
            if (!std::isfinite(value))
                return fail("it holds a number that is not finite");
        }
        return true;
    }

    bool readString(std::size_t& at, std::size_t end) {
        const void* nul = std::memchr(data + at, 0, end - at);
        if (!nul)
            return fail("a name runs past the end of its chunk");
        at = static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - data) + 1;
        return true;
    }

    // A chunk header at `at` inside [at, end): its tag and the end of its body.
    bool readChunk(std::size_t& at, std::size_t end, char (&tag)[5], std::size_t& bodyEnd) {
        if (end - at < 8)
            return fail("a chunk header runs past the end of its parent");
        std::memcpy(tag, data + at, 4);
        tag[4] = 0;
        at += 4;
        std::int32_t length = 0;
        readInt(at, end, length);
        if (length < 0 || !countFits(static_cast<std::uint64_t>(length), 1, end - at))
            return fail(std::string("the chunk \"") + printable(tag) + "\" is larger than its parent");
        bodyEnd = at + static_cast<std::size_t>(length);
        return true;
    }

    static std::string printable(const char* tag) {
        std::string text;
        for (int i = 0; i < 4; ++i)
            text += (tag[i] >= 0x20 && tag[i] < 0x7F) ? tag[i] : '?';
        return text;
    }

    bool walkFile() {
        std::size_t at = 0;
        char tag[5];
        std::size_t end = 0;
        if (size < 8 || std::memcmp(data, "BB3D", 4) != 0)
            return fail("it is not a B3D file");
        if (!readChunk(at, size, tag, end))
            return false;
        std::int32_t version = 0;
        if (!readInt(at, end, version))
            return false;
        bool sawBrushes = false;
        bool sawTextures = false;
        bool sawNode = false;
        while (at < end) {
            std::size_t bodyEnd = 0;
            if (!readChunk(at, end, tag, bodyEnd))
                return false;
            // Brushes point into the texture list and meshes into the brush list: each list
            // comes once, before what points into it.
            if (std::strcmp(tag, "TEXS") == 0) {
                if (sawTextures || sawBrushes || sawNode)
                    return fail("a texture chunk comes after brushes or nodes, or twice");
                sawTextures = true;
                if (!walkTextures(at, bodyEnd))
                    return false;
            } else if (std::strcmp(tag, "BRUS") == 0) {
                if (sawBrushes || sawNode)
                    return fail("a brush chunk comes after nodes, or twice");
                sawBrushes = true;
                if (!walkBrushes(at, bodyEnd))
                    return false;
            } else if (std::strcmp(tag, "NODE") == 0) {
                sawNode = true;
                if (!walkNode(at, bodyEnd, 1))
                    return false;
            } else {
                return fail(std::string("it holds an unknown chunk \"") + printable(tag) + "\"");
            }
            at = bodyEnd;
        }
        if (!sawNode)
            return fail("it holds no node");
        return true;
    }

    bool walkTextures(std::size_t at, std::size_t end) {
        while (at < end) {
            std::int32_t flags = 0;
            std::int32_t blend = 0;
            if (!readString(at, end) || !readInt(at, end, flags) || !readInt(at, end, blend) ||
                !readFloats(at, end, 5))
                return false;
            ++textureCount;
        }
        return true;
    }

    bool walkBrushes(std::size_t at, std::size_t end) {
        std::int32_t layers = 0;
        if (!readInt(at, end, layers))
            return false;
        if (layers < 0 || layers > maxB3dBrushTextures)
            return fail("a brush has more texture layers than the engine reads");
        while (at < end) {
            std::int32_t blend = 0;
            std::int32_t effects = 0;
            if (!readString(at, end) || !readFloats(at, end, 5) || !readInt(at, end, blend) ||
                !readInt(at, end, effects))
                return false;
            for (std::int32_t i = 0; i < layers; ++i) {
                std::int32_t texture = 0;
                if (!readInt(at, end, texture))
                    return false;
                if (texture != -1 && (texture < 0 || static_cast<std::uint32_t>(texture) >= textureCount))
                    return fail("a brush names a texture the file does not define");
            }
            ++brushCount;
        }
        return true;
    }

    bool isBrush(std::int32_t brush) const {
        return brush == -1 || (brush >= 0 && static_cast<std::uint32_t>(brush) < brushCount);
    }

    bool walkNode(std::size_t at, std::size_t end, int depth) {
        if (depth > maxB3dNodeDepth)
            return fail("its nodes nest too deep");
        if (++nodeCount > maxB3dNodes)
            return fail("it holds too many nodes");
        if (!readString(at, end) || !readFloats(at, end, 10))
            return false;
        bool sawMesh = false;
        bool sawBone = false;
        bool sawAnimation = false;
        while (at < end) {
            char tag[5];
            std::size_t bodyEnd = 0;
            if (!readChunk(at, end, tag, bodyEnd))
                return false;
            bool ok = true;
            if (std::strcmp(tag, "NODE") == 0) {
                ok = walkNode(at, bodyEnd, depth + 1);
            } else if (std::strcmp(tag, "MESH") == 0) {
                ok = !sawMesh ? walkMesh(at, bodyEnd) : fail("a node holds two meshes");
                sawMesh = true;
            } else if (std::strcmp(tag, "BONE") == 0) {
                ok = !sawBone ? walkBone(at, bodyEnd) : fail("a node holds two bones");
                sawBone = true;
            } else if (std::strcmp(tag, "KEYS") == 0) {
                ok = walkKeys(at, bodyEnd);
            } else if (std::strcmp(tag, "ANIM") == 0) {
                ok = !sawAnimation ? walkAnimation(at, bodyEnd) : fail("a node holds two animations");
                sawAnimation = true;
            } else {
                ok = fail(std::string("a node holds an unknown chunk \"") + printable(tag) + "\"");
            }
            if (!ok)
                return false;
            at = bodyEnd;
        }
        return true;
    }

    bool walkMesh(std::size_t at, std::size_t end) {
        std::int32_t brush = 0;
        if (!readInt(at, end, brush))
            return false;
        if (!isBrush(brush))
            return fail("a mesh names a brush the file does not define");
        bool sawVertices = false;
        std::uint64_t vertices = 0;
        while (at < end) {
            char tag[5];
            std::size_t bodyEnd = 0;
            if (!readChunk(at, end, tag, bodyEnd))
                return false;
            if (std::strcmp(tag, "VRTS") == 0) {
                if (sawVertices)
                    return fail("a mesh holds two vertex chunks");
                sawVertices = true;
                if (!walkVertices(at, bodyEnd, vertices))
                    return false;
                // Bones of the nodes that follow name the vertices of this mesh.
                meshSeen = true;
                lastMeshVertices = vertices;
            } else if (std::strcmp(tag, "TRIS") == 0) {
                if (!sawVertices)
                    return fail("triangles come before the vertices of their mesh");
                if (!walkTriangles(at, bodyEnd, vertices))
                    return false;
            } else {
                return fail(std::string("a mesh holds an unknown chunk \"") + printable(tag) + "\"");
            }
            at = bodyEnd;
        }
        if (!sawVertices)
            return fail("a mesh has no vertices");
        return true;
    }

    bool walkVertices(std::size_t at, std::size_t end, std::uint64_t& count) {
        std::int32_t flags = 0;
        std::int32_t sets = 0;
        std::int32_t setSize = 0;
        if (!readInt(at, end, flags) || !readInt(at, end, sets) || !readInt(at, end, setSize))
            return false;
        // The engine reads up to two coordinate sets of up to three values.
        if (flags < 0 || flags > 3 || sets < 0 || sets > 2 || setSize < 0 || setSize > 3)
            return fail("a vertex chunk has a layout the engine cannot read");
        const int floats = 3 + ((flags & 1) ? 3 : 0) + ((flags & 2) ? 4 : 0) + sets * setSize;
        const std::size_t stride = static_cast<std::size_t>(floats) * 4;
        if ((end - at) % stride != 0)
            return fail("a vertex chunk does not hold whole vertices");
        count = (end - at) / stride;
        if (count > maxB3dMeshVertices)
            return fail("a mesh has more vertices than the engine can index");
        totalVertices += count;
        if (totalVertices > maxB3dTotalVertices)
            return fail("it holds too many vertices");
        return readFloats(at, end, static_cast<int>(count) * floats);
    }

    bool walkTriangles(std::size_t at, std::size_t end, std::uint64_t vertices) {
        std::int32_t brush = 0;
        if (!readInt(at, end, brush))
            return false;
        if (!isBrush(brush))
            return fail("triangles name a brush the file does not define");
        if ((end - at) % 12 != 0)
            return fail("a triangle chunk does not hold whole triangles");
        while (at < end) {
            std::int32_t index = 0;
            readInt(at, end, index);
            if (index < 0 || static_cast<std::uint64_t>(index) >= vertices)
                return fail("a triangle names a vertex its mesh does not have");
        }
        return true;
    }

    bool walkBone(std::size_t at, std::size_t end) {
        if ((end - at) % 8 != 0)
            return fail("a bone chunk does not hold whole weights");
        if (at < end && !meshSeen)
            return fail("a bone weighs vertices before any mesh");
        while (at < end) {
            std::int32_t vertex = 0;
            readInt(at, end, vertex);
            if (vertex < 0 || static_cast<std::uint64_t>(vertex) >= lastMeshVertices)
                return fail("a bone names a vertex its mesh does not have");
            if (!readFloats(at, end, 1))
                return false;
        }
        return true;
    }

    bool walkKeys(std::size_t at, std::size_t end) {
        std::int32_t flags = 0;
        if (!readInt(at, end, flags))
            return false;
        if (flags < 0 || flags > 7)
            return fail("a key chunk has flags the engine does not know");
        const int floats = ((flags & 1) ? 3 : 0) + ((flags & 2) ? 3 : 0) + ((flags & 4) ? 4 : 0);
        const std::size_t stride = 4 + static_cast<std::size_t>(floats) * 4;
        if ((end - at) % stride != 0)
            return fail("a key chunk does not hold whole keys");
        while (at < end) {
            std::int32_t frame = 0;
            readInt(at, end, frame);
            if (frame < -maxB3dFrame || frame > maxB3dFrame)
                return fail("a key names a frame out of range");
            if (!readFloats(at, end, floats))
                return false;
        }
        return true;
    }

    bool walkAnimation(std::size_t at, std::size_t end) {
        if (end - at != 12)
            return fail("an animation chunk is not 12 bytes long");
        std::int32_t flags = 0;
        std::int32_t frames = 0;
        readInt(at, end, flags);
        readInt(at, end, frames);
        return readFloats(at, end, 1);
    }

    const unsigned char* data;
    std::size_t size;
    std::string reason;
    std::uint32_t textureCount = 0;
    std::uint32_t brushCount = 0;
    std::uint32_t nodeCount = 0;
    std::uint64_t totalVertices = 0;
    bool meshSeen = false;
    std::uint64_t lastMeshVertices = 0;
};

} // namespace

bool checkB3dStructure(const unsigned char* data, std::size_t size, std::string& error) {
    if (!data) {
        error = "it is empty";
        return false;
    }
    return B3dWalker(data, size).walk(error);
}
