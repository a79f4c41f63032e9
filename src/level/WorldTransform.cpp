#include "level/WorldTransform.h"

#include "level/SceneNodeBase.h"

using namespace irr;

namespace {

// The rotation part of a transformation: its three axes with the scale divided out.
core::matrix4 rotationPart(const core::matrix4& m) {
    core::matrix4 r;
    for (int axis = 0; axis < 3; ++axis) {
        core::vector3df v(m[axis * 4], m[axis * 4 + 1], m[axis * 4 + 2]);
        const f32 length = v.getLength();
        if (length > 0.0f)
            v /= length;
        r[axis * 4] = v.X;
        r[axis * 4 + 1] = v.Y;
        r[axis * 4 + 2] = v.Z;
    }
    return r;
}

core::matrix4 inverseOr(const core::matrix4& m, bool& ok) {
    core::matrix4 inverse;
    ok = m.getInverse(inverse);
    return inverse;
}

} // namespace

void setNodeWorldPosition(scene::ISceneNode* node, const core::vector3df& position) {
    if (!node)
        return;
    const core::matrix4 parent = parentTransformOf(node);
    core::vector3df relative = position;
    bool ok = false;
    const core::matrix4 inverse = inverseOr(parent, ok);
    if (ok)
        inverse.transformVect(relative);
    else
        relative -= parent.getTranslation(); // a parent scaled to nothing: keep the offset
    node->setPosition(relative);
    node->updateAbsolutePosition();
}

void setNodeWorldRotation(scene::ISceneNode* node, const core::vector3df& rotation) {
    if (!node)
        return;
    core::matrix4 world;
    world.setRotationDegrees(rotation);
    bool ok = false;
    const core::matrix4 parentInverse = inverseOr(rotationPart(parentTransformOf(node)), ok);
    const core::matrix4 relative = ok ? parentInverse * world : world;
    node->setRotation(relative.getRotationDegrees());
    node->updateAbsolutePosition();
}

void setNodeWorldTransform(scene::ISceneNode* node, const core::matrix4& transform) {
    if (!node)
        return;
    bool ok = false;
    const core::matrix4 parentInverse = inverseOr(parentTransformOf(node), ok);
    const core::matrix4 relative = ok ? parentInverse * transform : transform;
    node->setPosition(relative.getTranslation());
    node->setRotation(relative.getRotationDegrees());
    node->setScale(relative.getScale());
    node->updateAbsolutePosition();
}
