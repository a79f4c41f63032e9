#pragma once

#include "level/SceneNodeBase.h"

// An empty child node holding a transform (type 'unkn'). It can ignore its parent's
// transformation, so that what hangs below it is placed in world space; physics objects
// make one named "IgnoreNode" and flag it as a debug object. Not made by the factory.
class TransformNode : public SceneNodeBase<irr::scene::ISceneNode> {
public:
    TransformNode(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager,
                  irr::s32 id = -1);

    irr::scene::ESCENE_NODE_TYPE getType() const override { return irr::scene::ESNT_UNKNOWN; }
    const irr::core::aabbox3df& getBoundingBox() const override { return Box; }
    void render() override {}

    bool getIgnoreParentTransform() const { return IgnoreParentTransform; }
    void setIgnoreParentTransform(bool ignore) { IgnoreParentTransform = ignore; }

    irr::core::matrix4 getParentAbsoluteTransformation() const override;

private:
    irr::core::aabbox3df Box;
    bool IgnoreParentTransform = false;
};
