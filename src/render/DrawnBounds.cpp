#include "render/DrawnBounds.h"

using namespace irr;

core::aabbox3df drawnLocalBox(const scene::ISceneNode* node) {
    core::aabbox3df box = node->getBoundingBox();
    if (node->getAutomaticCulling() == scene::EAC_OFF) {
        const core::vector3df extent = box.getExtent();
        box.MinEdge -= extent;
        box.MaxEdge += extent;
    }
    return box;
}

bool isMeshJoint(scene::ISceneNode* node) {
    return dynamic_cast<scene::IBoneSceneNode*>(node) != nullptr;
}
