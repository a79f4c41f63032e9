#include "phys/detail/DebugLines.h"

#include "phys/Meshes.h"
#include "phys/detail/Backs.h"
#include "phys/RigidBody.h"
#include "phys/Shape.h"

#include <cmath>

namespace phys::detail {

namespace {

constexpr uint32_t StaticColor = 0xFFFFFFFF;
constexpr uint32_t DynamicColor = 0xFF00FF00;
constexpr uint32_t SleepingColor = 0xFF007F00;
constexpr uint32_t KinematicColor = 0xFFFF00FF;
constexpr uint32_t TriggerColor = 0xFFFFFF00;
constexpr int CircleSegments = 16;

class LineWriter {
public:
    LineWriter(RenderBuffer& out_, const Transform& pose_, uint32_t color_) : out(out_), pose(pose_), color(color_) {}
    // A segment given in the shape's frame.
    void line(const Vec3& a, const Vec3& b) {
        out.lines.push_back({pose.transform(a), color, pose.transform(b), color});
    }
    // A circle around the origin spanned by two unit axes, or an arc of it.
    void arc(const Vec3& center, const Vec3& u, const Vec3& v, float radius, float from, float to) {
        const float step = (to - from) / CircleSegments;
        Vec3 prev = center + (u * std::cos(from) + v * std::sin(from)) * radius;
        for (int i = 1; i <= CircleSegments; ++i) {
            const float a = from + step * i;
            const Vec3 next = center + (u * std::cos(a) + v * std::sin(a)) * radius;
            line(prev, next);
            prev = next;
        }
    }

private:
    RenderBuffer& out;
    Transform pose;
    uint32_t color;
};


void drawShape(const Shape& shape, const Transform& pose, uint32_t color, const Bounds3* cull, RenderBuffer& out) {
    LineWriter w(out, pose, color);
    const GeometryHolder& g = shape.getGeometry();
    const Vec3 X(1, 0, 0), Y(0, 1, 0), Z(0, 0, 1);
    switch (g.getType()) {
    case GeometryType::Box: {
        const Vec3 h = g.box().halfExtents;
        for (int axis = 0; axis < 3; ++axis) {
            for (int s1 = -1; s1 <= 1; s1 += 2) {
                for (int s2 = -1; s2 <= 1; s2 += 2) {
                    Vec3 a, b;
                    if (axis == 0) { a = {-h.x, s1 * h.y, s2 * h.z}; b = {h.x, s1 * h.y, s2 * h.z}; }
                    if (axis == 1) { a = {s1 * h.x, -h.y, s2 * h.z}; b = {s1 * h.x, h.y, s2 * h.z}; }
                    if (axis == 2) { a = {s1 * h.x, s2 * h.y, -h.z}; b = {s1 * h.x, s2 * h.y, h.z}; }
                    w.line(a, b);
                }
            }
        }
        break;
    }
    case GeometryType::Sphere: {
        const float r = g.sphere().radius;
        w.arc(Vec3(), X, Y, r, 0, 2 * Pi);
        w.arc(Vec3(), Y, Z, r, 0, 2 * Pi);
        w.arc(Vec3(), Z, X, r, 0, 2 * Pi);
        break;
    }
    case GeometryType::Capsule: {
        const float r = g.capsule().radius, h = g.capsule().halfHeight;
        for (float end : {-h, h}) {
            w.arc(Vec3(end, 0, 0), Y, Z, r, 0, 2 * Pi);
            // Half circles bulging away from the cylinder: X of the same sign as the end.
            const float from = end > 0 ? 0.0f : -Pi;
            w.arc(Vec3(end, 0, 0), Y, X, r, from, from + Pi);
            w.arc(Vec3(end, 0, 0), Z, X, r, from, from + Pi);
        }
        for (const Vec3& side : {Y * r, Y * -r, Z * r, Z * -r})
            w.line(Vec3(-h, 0, 0) + side, Vec3(h, 0, 0) + side);
        break;
    }
    case GeometryType::ConvexMesh: {
        const ConvexMesh* mesh = g.convexMesh().convexMesh;
        const std::vector<uint32_t>& edges = mesh->data().cooked.hullEdges;
        const Vec3* v = mesh->getVertices();
        for (size_t i = 0; i + 1 < edges.size(); i += 2)
            w.line(v[edges[i]], v[edges[i + 1]]);
        break;
    }
    case GeometryType::TriangleMesh: {
        const TriangleMesh* mesh = g.triangleMesh().triangleMesh;
        const Vec3* v = mesh->getVertices();
        const uint32_t* t = mesh->getTriangles();
        for (uint32_t i = 0; i < mesh->getNbTriangles(); ++i) {
            const Vec3 a = v[t[3 * i]], b = v[t[3 * i + 1]], c = v[t[3 * i + 2]];
            if (cull) {
                Bounds3 tri;
                tri.include(pose.transform(a));
                tri.include(pose.transform(b));
                tri.include(pose.transform(c));
                if (!tri.intersects(*cull))
                    continue;
            }
            w.line(a, b);
            w.line(b, c);
            w.line(c, a);
        }
        break;
    }
    default: break;
    }
}

uint32_t actorColor(const RigidActor& actor) {
    if (actor.getType() == ActorType::RigidStatic)
        return StaticColor;
    const RigidDynamic& body = *actor.asRigidDynamic();
    if (body.isKinematic())
        return KinematicColor;
    return body.isSleeping() ? SleepingColor : DynamicColor;
}

} // namespace

void buildDebugLines(const std::vector<RigidActor*>& actors, const float* parameters, const Bounds3& cullingBox,
                     RenderBuffer& out) {
    out.lines.clear();
    if (parameters[static_cast<int>(VisualizationParameter::Scale)] == 0.0f ||
        parameters[static_cast<int>(VisualizationParameter::CollisionShapes)] == 0.0f)
        return;
    const bool culling = parameters[static_cast<int>(VisualizationParameter::CullBox)] != 0.0f && !cullingBox.isEmpty();
    const Bounds3* cull = culling ? &cullingBox : nullptr;
    for (const RigidActor* actor : actors) {
        if (!actor->getActorFlag(ActorFlag::Visualization))
            continue;
        const uint32_t color = actorColor(*actor);
        const Transform pose = actor->getGlobalPose();
        Shape* shapes[64];
        for (uint32_t start = 0; start < actor->getNbShapes(); start += 64) {
            const uint32_t n = actor->getShapes(shapes, 64, start);
            for (uint32_t i = 0; i < n; ++i) {
                const Shape& shape = *shapes[i];
                if (cull && !shape.getWorldBounds().intersects(*cull))
                    continue;
                const uint32_t c = (shape.getFlags() & ShapeTrigger) ? TriggerColor : color;
                drawShape(shape, pose * shape.getLocalPose(), c, cull, out);
            }
        }
    }
}

} // namespace phys::detail
