#include "level/TransformNode.h"

using namespace irr;

TransformNode::TransformNode(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : SceneNodeBase<scene::ISceneNode>(parent, manager, id) {
    Box.reset(0, 0, 0);
}

core::matrix4 TransformNode::getParentAbsoluteTransformation() const {
    if (IgnoreParentTransform)
        return core::IdentityMatrix;
    return SceneNodeBase<scene::ISceneNode>::getParentAbsoluteTransformation();
}
