#include "render/PlanarMirror.h"

#include "render/DrawnBounds.h"
#include "render/DrawnObjects.h"

#include <cmath>

using namespace irr;

core::plane3df unitPlane(core::plane3df plane) {
    const f32 length = plane.Normal.getLength();
    if (length != 0.0f) {
        plane.Normal /= length;
        plane.D /= length;
    }
    return plane;
}

core::matrix4 obliqueProjection(const core::matrix4& projection, const core::plane3df& viewPlane) {
    core::matrix4 inverse;
    if (!projection.getInverse(inverse))
        return projection;
    const f32 plane[4] = {viewPlane.Normal.X, viewPlane.Normal.Y, viewPlane.Normal.Z, viewPlane.D};
    const f32 corner[4] = {plane[0] > 0.0f ? 1.0f : (plane[0] < 0.0f ? -1.0f : 0.0f),
                           plane[1] > 0.0f ? 1.0f : (plane[1] < 0.0f ? -1.0f : 0.0f), 1.0f, 1.0f};
    double q[4];
    for (s32 j = 0; j < 4; ++j) {
        q[j] = 0.0;
        for (s32 i = 0; i < 4; ++i)
            q[j] += static_cast<double>(corner[i]) * inverse(i, j);
    }
    double along = 0.0;
    for (s32 i = 0; i < 4; ++i)
        along += plane[i] * q[i];
    if (along <= 0.0)
        return projection;
    core::matrix4 result = projection;
    const double scale = 2.0 / along;
    for (s32 i = 0; i < 4; ++i)
        result(i, 2) = static_cast<f32>(plane[i] * scale - projection(i, 3));
    return result;
}


core::plane3df clipSpacePlane(const core::plane3df& viewPlane, const core::matrix4& projection) {
    core::matrix4 inverse;
    if (!projection.getInverse(inverse))
        inverse.makeIdentity();
    const double in[4] = {viewPlane.Normal.X, viewPlane.Normal.Y, viewPlane.Normal.Z, viewPlane.D};
    f32 result[4];
    for (s32 i = 0; i < 4; ++i) {
        double sum = 0.0;
        for (s32 j = 0; j < 4; ++j)
            sum += in[j] * static_cast<double>(inverse(i, j));
        result[i] = static_cast<f32>(sum);
    }
    core::plane3df out;
    out.Normal.set(result[0], result[1], result[2]);
    out.D = result[3];
    return out;
}

// --- culling of a mirror pass ------------------------------------------------------------------

PictureWindow windowOfBox(const core::aabbox3df& box, const core::matrix4& projection, const core::matrix4& view,
                          f32 margin) {
    const core::matrix4 m = projection * view;
    core::vector3df corners[8];
    box.getEdges(corners);
    f32 low[2] = {3.4e38f, 3.4e38f}, high[2] = {-3.4e38f, -3.4e38f};
    for (const core::vector3df& corner : corners) {
        f32 clip[4];
        m.transformVect(clip, corner);
        if (!(clip[3] > 1e-6f))
            return PictureWindow();
        for (s32 axis = 0; axis < 2; ++axis) {
            low[axis] = core::min_(low[axis], clip[axis] / clip[3]);
            high[axis] = core::max_(high[axis], clip[axis] / clip[3]);
        }
    }
    PictureWindow window;
    f32* sides[2][2] = {{&window.x0, &window.x1}, {&window.y0, &window.y1}};
    for (s32 axis = 0; axis < 2; ++axis) {
        if (low[axis] < -1.0f || high[axis] > 1.0f)
            continue;
        *sides[axis][0] = core::max_(low[axis] - margin, -1.0f);
        *sides[axis][1] = core::min_(high[axis] + margin, 1.0f);
    }
    return window;
}

void MirrorPassCulling::setClipPlanes(const core::matrix4& projection, const core::matrix4& view,
                                      const PictureWindow& window) {
    const core::matrix4 m = projection * view;
    // Clip coordinate j of a world point p is p . column j (w = 1); the rasterizer keeps
    // -w <= z <= w, and the window low.w <= x, y <= high.w.
    const f32 low[3] = {window.x0, window.y0, -1.0f}, high[3] = {window.x1, window.y1, 1.0f};
    for (s32 axis = 0; axis < 3; ++axis)
        for (s32 side = 0; side < 2; ++side) {
            const f32 sign = side == 0 ? 1.0f : -1.0f;
            const f32 bound = side == 0 ? -low[axis] : high[axis];
            for (s32 i = 0; i < 4; ++i)
                planes[axis * 2 + side][i] = bound * m[i * 4 + 3] + sign * m[i * 4 + axis];
        }
}

bool MirrorPassCulling::isOutside(const core::aabbox3df& box) const {
    for (const f32* plane : planes) {
        // The box corner furthest along the plane's normal.
        const f32 x = plane[0] >= 0.0f ? box.MaxEdge.X : box.MinEdge.X;
        const f32 y = plane[1] >= 0.0f ? box.MaxEdge.Y : box.MinEdge.Y;
        const f32 z = plane[2] >= 0.0f ? box.MaxEdge.Z : box.MinEdge.Z;
        if (static_cast<f64>(plane[0]) * x + static_cast<f64>(plane[1]) * y + static_cast<f64>(plane[2]) * z +
                plane[3] <
            0.0)
            return true;
    }
    return false;
}

void MirrorPassCulling::hideOutside(scene::ISceneNode* root, const core::matrix4& projection,
                                    const core::matrix4& view, const PictureWindow& window) {
    restore();
    if (!root)
        return;
    keptUnculled = true;
    setClipPlanes(projection, view, window);
    for (scene::ISceneNode* child : root->getChildren())
        hideSubtree(child);
}

void MirrorPassCulling::hideOutsideView(scene::ISceneNode* root, const core::matrix4& projection,
                                        const core::matrix4& view) {
    restore();
    if (!root)
        return;
    keptUnculled = false;
    setClipPlanes(projection, view);
    for (scene::ISceneNode* child : root->getChildren())
        hideSubtree(child);
}

void MirrorPassCulling::restore() {
    // The engine's own flag: a node type that does more when hidden (a physics object's
    // collisions) is never among them, and the pass leaves no trace.
    for (auto it = hidden.rbegin(); it != hidden.rend(); ++it)
        (*it)->ISceneNode::setVisible(true);
    hidden.clear();
    for (const KeptNode& entry : kept)
        entry.node->setAutomaticCulling(entry.culling);
    kept.clear();
}

namespace {

// The box around what the node draws, in world space, from its centre and half extents:
// cheaper than carrying eight corners.
core::aabbox3df worldBox(const scene::ISceneNode* node) {
    const core::aabbox3df local = drawnLocalBox(node);
    const core::matrix4& m = node->getAbsoluteTransformation();
    const core::vector3df centre = local.getCenter();
    const core::vector3df half = local.getExtent() * 0.5f;
    core::vector3df worldCentre;
    m.transformVect(worldCentre, centre);
    core::vector3df worldHalf;
    for (s32 axis = 0; axis < 3; ++axis)
        (&worldHalf.X)[axis] = std::fabs(m[axis]) * half.X + std::fabs(m[4 + axis]) * half.Y + std::fabs(m[8 + axis]) * half.Z;
    return core::aabbox3df(worldCentre - worldHalf, worldCentre + worldHalf);
}

} // namespace

bool MirrorPassCulling::hideSubtree(scene::ISceneNode* node) {
    if (!node->isVisible())
        return true;
    const scene::ESCENE_NODE_TYPE type = node->getType();
    const bool drawnByBox = type == scene::ESNT_MESH || type == scene::ESNT_ANIMATED_MESH || type == scene::ESNT_CUBE ||
                            type == scene::ESNT_SPHERE || type == scene::ESNT_OCTREE || type == scene::ESNT_BILLBOARD;
    bool inView = false;
    if (drawnByBox) {
        inView = !isOutside(worldBox(node));
        // A node that draws instances of other objects: its own box does not hold them.
        instanceScratch.clear();
        if (!inView && type == scene::ESNT_ANIMATED_MESH && readInstanceTransforms(node, instanceScratch))
            inView = true;
        // A viewport's pass leaves what hangs below an animated mesh in view to the engine:
        // walking a crowd's children would cost what it saves.
        if (inView && !keptUnculled && type == scene::ESNT_ANIMATED_MESH)
            return false;
    }
    // An animated mesh's joints go with it.
    const bool animatedMesh = type == scene::ESNT_ANIMATED_MESH;
    bool childrenGone = true;
    for (scene::ISceneNode* child : node->getChildren())
        if (!animatedMesh || !isMeshJoint(child))
            childrenGone = hideSubtree(child) && childrenGone;
    if (inView) {
        if (keptUnculled) {
            kept.push_back({node, node->getAutomaticCulling()});
            node->setAutomaticCulling(scene::EAC_OFF);
        }
        return false;
    }
    if (!childrenGone)
        return false;
    // Empty nodes draw nothing themselves: gone with their children. A viewport's pass takes
    // no other node of no type for one (a node of the game's own may draw without a material
    // of its own).
    const bool drawsNothing = type == scene::ESNT_EMPTY || type == scene::ESNT_DUMMY_TRANSFORMATION ||
                              (keptUnculled && type == scene::ESNT_UNKNOWN && node->getMaterialCount() == 0);
    if (!drawnByBox && !drawsNothing)
        return false;
    // Hidden by the engine's own flag, so that the pass neither draws nor walks it.
    node->ISceneNode::setVisible(false);
    hidden.push_back(node);
    return true;
}
