#include "render/ShadingNormals.h"

#include <cmath>
#include <unordered_map>

using namespace irr;

namespace {

// The most a vertex normal may turn from its triangle's plane normal: cos 40 degrees.
constexpr f32 leastNormalCosine = 0.766f;

// What tells a judged buffer from another made later at its address.
struct BufferPrint {
    u32 vertices = 0;
    u32 indices = 0;
    u32 changed = 0;
    core::vector3df first, last; // a position and a normal of the first and last vertices
    bool operator==(const BufferPrint& other) const {
        return vertices == other.vertices && indices == other.indices && changed == other.changed &&
               first == other.first && last == other.last;
    }
};

BufferPrint printOf(const scene::IMeshBuffer* buffer) {
    BufferPrint print{buffer->getVertexCount(), buffer->getIndexCount(), buffer->getChangedID_Vertex(), {}, {}};
    if (print.vertices > 0) {
        print.first = buffer->getPosition(0) + buffer->getNormal(0) * 3.0f;
        print.last = buffer->getPosition(print.vertices - 1) + buffer->getNormal(print.vertices - 1) * 3.0f;
    }
    return print;
}

struct JudgedBuffer {
    BufferPrint print;
    bool follows = false;
};

bool judge(const scene::IMeshBuffer* buffer) {
    const u32 indexCount = buffer->getIndexCount();
    const u32 vertexCount = buffer->getVertexCount();
    const bool wide = buffer->getIndexType() == video::EIT_32BIT;
    const void* indices = buffer->getIndices();
    auto index = [&](u32 i) {
        return wide ? static_cast<const u32*>(indices)[i] : static_cast<u32>(static_cast<const u16*>(indices)[i]);
    };
    for (u32 i = 0; i + 2 < indexCount; i += 3) {
        const u32 corner[3] = {index(i), index(i + 1), index(i + 2)};
        if (corner[0] >= vertexCount || corner[1] >= vertexCount || corner[2] >= vertexCount)
            return false;
        const core::vector3df& a = buffer->getPosition(corner[0]);
        core::vector3df plane = (buffer->getPosition(corner[1]) - a).crossProduct(buffer->getPosition(corner[2]) - a);
        if (plane.getLengthSQ() <= 0.0f)
            continue; // a degenerate triangle has no plane to follow
        plane.normalize();
        for (u32 c : corner) {
            core::vector3df normal = buffer->getNormal(c);
            if (normal.getLengthSQ() <= 0.0f)
                return false;
            normal.normalize();
            // The winding order decides which way the plane normal points: either will do.
            if (std::fabs(normal.dotProduct(plane)) < leastNormalCosine)
                return false;
        }
    }
    return true;
}

const scene::IMesh* meshOf(scene::ISceneNode* node) {
    switch (node->getType()) {
    case scene::ESNT_MESH:
    case scene::ESNT_CUBE:
    case scene::ESNT_SPHERE:
        return static_cast<scene::IMeshSceneNode*>(node)->getMesh();
    case scene::ESNT_ANIMATED_MESH:
        // The animated mesh is itself the mesh drawn (a skinned one in its current pose).
        return static_cast<scene::IAnimatedMeshSceneNode*>(node)->getMesh();
    default:
        return nullptr;
    }
}

} // namespace

bool followsShadingNormals(const scene::IMeshBuffer* buffer) {
    if (!buffer)
        return false;
    // Keyed by the buffer's address: a buffer made later at the same address is told apart
    // by its print, and the list is emptied when it grows long.
    static std::unordered_map<const scene::IMeshBuffer*, JudgedBuffer> judged;
    const BufferPrint print = printOf(buffer);
    auto found = judged.find(buffer);
    if (found != judged.end() && found->second.print == print)
        return found->second.follows;
    if (judged.size() >= 4096)
        judged.clear();
    const bool follows = judge(buffer);
    judged[buffer] = JudgedBuffer{print, follows};
    return follows;
}

bool followsShadingNormals(scene::ISceneNode* node) {
    if (!node)
        return false;
    const core::vector3df scale = node->getAbsoluteTransformation().getScale();
    const f32 least = core::min_(scale.X, core::min_(scale.Y, scale.Z));
    const f32 most = core::max_(scale.X, core::max_(scale.Y, scale.Z));
    if (least <= 0.0f || most > least * 1.1f)
        return false;
    const scene::IMesh* mesh = meshOf(node);
    if (!mesh || mesh->getMeshBufferCount() == 0)
        return false;
    for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i)
        if (!followsShadingNormals(mesh->getMeshBuffer(i)))
            return false;
    return true;
}
