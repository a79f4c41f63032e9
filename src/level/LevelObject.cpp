#include "level/LevelObject.h"

#include "level/NodeHelpers.h"

using namespace irr;

bool isEditorWrite(const io::SAttributeReadWriteOptions* options) {
    return options && (options->Flags & io::EARWF_FOR_EDITOR);
}

void writeLevelObjectKeys(const scene::ISceneNode* node, io::IAttributes* out,
                          const io::SAttributeReadWriteOptions* options) {
    if (!node || !out)
        return;
    const bool all = isEditorWrite(options);
    const core::vector3df zero(0, 0, 0);
    if (all || node->getName()[0] != 0)
        out->addString("Name", node->getName());
    if (all || node->getID() != -1)
        out->addInt("Id", node->getID());
    if (all || node->getPosition() != zero)
        out->addVector3d("Position", node->getPosition());
    if (all || node->getRotation() != zero)
        out->addVector3d("Rotation", node->getRotation());
    if (all || node->getScale() != core::vector3df(1, 1, 1))
        out->addVector3d("Scale", node->getScale());
    if (all || !node->isVisible())
        out->addBool("Visible", node->isVisible());
    if (all || node->getAutomaticCulling() != scene::EAC_OFF)
        addCullingAttribute(out, "AutomaticCulling", node->getAutomaticCulling());
}

void readLevelObjectKeys(scene::ISceneNode* node, io::IAttributes* in) {
    if (!node || !in)
        return;
    readNodeTransformKeys(node, in);
    u32 culling = 0;
    if (readCullingAttribute(in, "AutomaticCulling", culling))
        node->setAutomaticCulling(culling);
}

LevelObject::LevelObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : SceneNodeBase<scene::ISceneNode>(parent, manager, id) {
    setAutomaticCulling(scene::EAC_OFF);
    Box.reset(0, 0, 0);
}

void LevelObject::serializeAttributes(io::IAttributes* out,
                                      io::SAttributeReadWriteOptions* options) const {
    writeLevelObjectKeys(this, out, options);
}

void LevelObject::deserializeAttributes(io::IAttributes* in,
                                        io::SAttributeReadWriteOptions* options) {
    (void)options;
    readLevelObjectKeys(this, in);
    updateAbsolutePosition();
}

scene::ISceneNode* LevelObject::clone(scene::ISceneNode* newParent,
                                      scene::ISceneManager* newManager) {
    return cloneAs<LevelObject>(newParent, newManager);
}

scene::ISceneNode* LevelObject::finishClone(LevelObject* copy, scene::ISceneNode* newParent,
                                            scene::ISceneManager* newManager) {
    if (io::IFileSystem* fs = newManager ? newManager->getFileSystem() : nullptr) {
        io::IAttributes* attributes = fs->createEmptyAttributes(newManager->getVideoDriver());
        io::SAttributeReadWriteOptions options;
        options.Flags = io::EARWF_FOR_EDITOR;
        serializeAttributes(attributes, &options);
        copy->deserializeAttributes(attributes, &options);
        attributes->drop();
    }
    cloneMembers(copy, this, newManager);
    copy->setID(assignUniqueObjectID(copy));
    if (newParent)
        copy->drop();
    return copy;
}

void LevelObject::removeDebugChildren() {
    std::vector<scene::ISceneNode*> detached;
    auto it = Children.begin();
    while (it != Children.end()) {
        if ((*it)->isDebugObject()) {
            detached.push_back(*it);
            it = Children.erase(it);
        } else {
            ++it;
        }
    }
    // No longer in the list, so setParent finds nothing to drop and only clears the link.
    for (scene::ISceneNode* child : detached)
        child->setParent(nullptr);
}

void LevelObject::cloneMembers(scene::ISceneNode* copy, scene::ISceneNode* source,
                               scene::ISceneManager* manager) {
    cloneSceneNodeMembers(copy, source, manager);
}
