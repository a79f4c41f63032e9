#include "level/SubLevelObject.h"

#include "level/AttributeExtras.h"
#include "level/LevelFile.h"
#include "level/LevelHooks.h"
#include "level/NodeHelpers.h"

#include <algorithm>

using namespace irr;

SubLevelObject::SubLevelObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : LevelObject(parent, manager, id) {}

void SubLevelObject::serializeAttributes(io::IAttributes* out,
                                         io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    addFilePath(out, "SubLevelFileName", SubLevelFileName.c_str());
}

void SubLevelObject::deserializeAttributes(io::IAttributes* in,
                                           io::SAttributeReadWriteOptions* options) {
    LevelObject::deserializeAttributes(in, options);
    io::path fileName;
    if (!readIfPresent(in, "SubLevelFileName", fileName) || fileName == SubLevelFileName)
        return;
    SubLevelFileName = fileName;
    load();
}

scene::ISceneNode* SubLevelObject::clone(scene::ISceneNode* newParent,
                                         scene::ISceneManager* newManager) {
    return cloneAs<SubLevelObject>(newParent, newManager);
}

void SubLevelObject::clearContent() {
    std::vector<scene::ISceneNode*> content;
    for (scene::ISceneNode* child : Children) {
        if (child->isDebugObject())
            content.push_back(child);
    }
    for (scene::ISceneNode* child : content)
        removeChild(child);
    members.clear();
    membersSorted = false;
    outliers.clear();
    hasBounds = false;
    Bounds.reset(0, 0, 0);
}

bool SubLevelObject::load() {
    clearContent();
    if (SubLevelFileName.empty() || !SceneManager)
        return false;
    std::vector<scene::ISceneNode*> before;
    for (scene::ISceneNode* child : Children)
        before.push_back(child);

    SceneLoader loader(SceneManager);
    if (!loader.load(SubLevelFileName, this))
        return false;

    updateTransformsRecursive(this);
    for (scene::ISceneNode* child : Children) {
        if (std::find(before.begin(), before.end(), child) != before.end())
            continue;
        child->setIsDebugObject(true);
        collectMembers(child);
    }
    return true;
}

void SubLevelObject::collectMembers(scene::ISceneNode* node) {
    members.push_back(node);
    const core::vector3df position = node->getAbsolutePosition();
    if (!hasBounds) {
        Bounds.reset(position);
        hasBounds = true;
    } else {
        Bounds.addInternalPoint(position);
    }
    for (scene::ISceneNode* child : node->getChildren())
        collectMembers(child);
}

void SubLevelObject::setActive(bool active) {
    setVisible(active);
    applyActivation(this, active);
}

// Walks the live sub-scene, so that objects removed meanwhile are never touched.
void SubLevelObject::applyActivation(scene::ISceneNode* node, bool active) {
    const auto& setState = levelHooks().physics.setSublevelState;
    for (scene::ISceneNode* child : node->getChildren()) {
        if (isTypeOf(child->getType(), typeId("phsx"))) {
            const bool outlier = containsOutlier(child) ||
                                 (hasBounds && !Bounds.isPointInside(child->getAbsolutePosition()));
            if (setState)
                setState(child, active || outlier, outlier);
        }
        applyActivation(child, active);
    }
}

bool SubLevelObject::containsOutlier(scene::ISceneNode* node) {
    return std::binary_search(outliers.begin(), outliers.end(), node);
}

void SubLevelObject::appendOutlier(scene::ISceneNode* node) {
    if (!node)
        return;
    auto it = std::lower_bound(outliers.begin(), outliers.end(), node);
    if (it == outliers.end() || *it != node)
        outliers.insert(it, node);
}

bool SubLevelObject::isMember(scene::ISceneNode* node) {
    if (!membersSorted) {
        std::sort(members.begin(), members.end());
        membersSorted = true;
    }
    return std::binary_search(members.begin(), members.end(), node);
}
