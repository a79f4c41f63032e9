#include "render/MeshShape.h"

#include <array>
#include <cmath>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

using namespace irr;

namespace {

// The most a vertex normal may turn from its triangle's plane normal: cos 40 degrees.
constexpr f32 leastNormalCosine = 0.766f;
// Meshes larger than this many triangle-vertex pairs are not judged convex (the test would
// cost too long).
constexpr u64 convexityWork = 4000000;
// A cache is emptied when it holds this many meshes.
constexpr std::size_t cacheLimit = 4096;

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

// Calls `triangle(a, b, c)` with the corner indices of each triangle of the buffer until it
// answers false; false then, or when an index lies past the vertices.
template <class Triangle> bool forEachTriangle(const scene::IMeshBuffer* buffer, Triangle triangle) {
    const u32 indexCount = buffer->getIndexCount();
    const u32 vertexCount = buffer->getVertexCount();
    const bool wide = buffer->getIndexType() == video::EIT_32BIT;
    const void* indices = buffer->getIndices();
    auto index = [&](u32 i) {
        return wide ? static_cast<const u32*>(indices)[i] : static_cast<u32>(static_cast<const u16*>(indices)[i]);
    };
    for (u32 i = 0; i + 2 < indexCount; i += 3) {
        const u32 a = index(i), b = index(i + 1), c = index(i + 2);
        if (a >= vertexCount || b >= vertexCount || c >= vertexCount || !triangle(a, b, c))
            return false;
    }
    return true;
}

// The triangle's unit plane normal (of either winding); false for a degenerate triangle.
bool planeNormal(const scene::IMeshBuffer* buffer, u32 a, u32 b, u32 c, core::vector3df& normal) {
    const core::vector3df& at = buffer->getPosition(a);
    normal = (buffer->getPosition(b) - at).crossProduct(buffer->getPosition(c) - at);
    if (normal.getLengthSQ() <= 0.0f)
        return false;
    normal.normalize();
    return true;
}

bool judgeNormals(const scene::IMeshBuffer* buffer) {
    return forEachTriangle(buffer, [buffer](u32 a, u32 b, u32 c) {
        core::vector3df plane;
        if (!planeNormal(buffer, a, b, c, plane))
            return true; // a degenerate triangle has no plane to follow
        for (u32 corner : {a, b, c}) {
            core::vector3df normal = buffer->getNormal(corner);
            if (normal.getLengthSQ() <= 0.0f)
                return false;
            normal.normalize();
            if (std::fabs(normal.dotProduct(plane)) < leastNormalCosine)
                return false;
        }
        return true;
    });
}

// Every edge of a non-degenerate triangle, by where its ends lie (to the tolerance), belongs to
// an even number of triangles: the surface has no open border.
bool judgeClosed(const scene::IMesh* mesh, f32 tolerance) {
    using Point = std::array<s64, 3>;
    auto at = [tolerance](const core::vector3df& p) {
        return Point{std::llround(p.X / tolerance), std::llround(p.Y / tolerance), std::llround(p.Z / tolerance)};
    };
    std::map<std::pair<Point, Point>, u32> edges;
    for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
        const scene::IMeshBuffer* buffer = mesh->getMeshBuffer(i);
        const bool whole = forEachTriangle(buffer, [&](u32 a, u32 b, u32 c) {
            const Point corners[3] = {at(buffer->getPosition(a)), at(buffer->getPosition(b)), at(buffer->getPosition(c))};
            if (corners[0] == corners[1] || corners[1] == corners[2] || corners[0] == corners[2])
                return true; // degenerate: no surface
            for (int e = 0; e < 3; ++e) {
                const Point& from = corners[e];
                const Point& to = corners[(e + 1) % 3];
                ++edges[from < to ? std::make_pair(from, to) : std::make_pair(to, from)];
            }
            return true;
        });
        if (!whole)
            return false;
    }
    for (const auto& edge : edges)
        if (edge.second % 2 != 0)
            return false;
    return !edges.empty();
}

bool judgeConvex(const scene::IMesh* mesh) {
    u64 vertices = 0, triangles = 0;
    for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
        vertices += mesh->getMeshBuffer(i)->getVertexCount();
        triangles += mesh->getMeshBuffer(i)->getIndexCount() / 3;
    }
    if (vertices == 0 || vertices * triangles > convexityWork)
        return false;
    const f32 tolerance = 0.001f * mesh->getBoundingBox().getExtent().getLength();
    if (tolerance <= 0.0f || !judgeClosed(mesh, tolerance))
        return false;
    for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
        const scene::IMeshBuffer* buffer = mesh->getMeshBuffer(i);
        const bool convex = forEachTriangle(buffer, [&](u32 a, u32 b, u32 c) {
            core::vector3df plane;
            if (!planeNormal(buffer, a, b, c, plane))
                return true;
            const core::vector3df& at = buffer->getPosition(a);
            // Every vertex clearly off the plane lies on the side of the first such one.
            f32 side = 0.0f;
            for (u32 j = 0; j < mesh->getMeshBufferCount(); ++j) {
                const scene::IMeshBuffer* other = mesh->getMeshBuffer(j);
                for (u32 v = 0; v < other->getVertexCount(); ++v) {
                    const f32 distance = plane.dotProduct(other->getPosition(v) - at);
                    if (std::fabs(distance) <= tolerance)
                        continue;
                    if (side == 0.0f)
                        side = distance;
                    else if ((side > 0.0f) != (distance > 0.0f))
                        return false;
                }
            }
            return true;
        });
        if (!convex)
            return false;
    }
    return true;
}

// Whether two meshes' buffers hold as many vertices and indices, buffer by buffer.
bool sameCounts(const std::vector<BufferPrint>& a, const std::vector<BufferPrint>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].vertices != b[i].vertices || a[i].indices != b[i].indices)
            return false;
    return true;
}

const scene::IMesh* meshOf(scene::ISceneNode* node) {
    if (!node)
        return nullptr;
    switch (node->getType()) {
    case scene::ESNT_MESH:
    case scene::ESNT_CUBE:
    case scene::ESNT_SPHERE:
    case scene::ESNT_OCTREE:
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
    // Keyed by the buffer's address, told apart from a later buffer there by its print.
    struct JudgedBuffer {
        BufferPrint print;
        bool follows = false;
    };
    static std::unordered_map<const scene::IMeshBuffer*, JudgedBuffer> judged;
    const BufferPrint print = printOf(buffer);
    auto found = judged.find(buffer);
    if (found != judged.end() && found->second.print == print)
        return found->second.follows;
    if (judged.size() >= cacheLimit)
        judged.clear();
    const bool follows = judgeNormals(buffer);
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

bool isClosedConvexMesh(scene::ISceneNode* node) {
    const scene::IMesh* mesh = meshOf(node);
    if (!mesh || mesh->getMeshBufferCount() == 0)
        return false;
    if (node->getType() == scene::ESNT_ANIMATED_MESH &&
        static_cast<scene::IAnimatedMeshSceneNode*>(node)->getJointCount() > 0)
        return false;
    // Keyed by the mesh's address, told apart from a later mesh there by its buffers' prints.
    struct JudgedMesh {
        std::vector<BufferPrint> prints;
        bool convex = false;
    };
    static std::unordered_map<const scene::IMesh*, JudgedMesh> judged;
    static std::vector<BufferPrint> prints;
    prints.clear();
    for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i)
        prints.push_back(printOf(mesh->getMeshBuffer(i)));
    auto found = judged.find(mesh);
    if (found != judged.end() && found->second.prints == prints)
        return found->second.convex;
    // The same buffers with their vertices moved: a mesh that changes its shape as it plays
    // (cloth, a water surface). It is taken as not convex from then on, without judging it
    // again each frame.
    if (found != judged.end() && sameCounts(found->second.prints, prints)) {
        found->second = JudgedMesh{prints, false};
        return false;
    }
    if (judged.size() >= cacheLimit)
        judged.clear();
    const bool convex = judgeConvex(mesh);
    judged[mesh] = JudgedMesh{prints, convex};
    return convex;
}
