#include "player/ConfigTentMovementObject.h"

#include "core/Globals.h"
#include "level/SceneNodeTypes.h"

namespace {

const irr::core::aabbox3df sharedBox(-1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f);

} // namespace

ConfigTentMovementObject::ConfigTentMovementObject(irr::scene::ISceneNode* parent,
                                                   irr::scene::ISceneManager* manager, irr::s32 id)
    : LevelObject(parent, manager, id) {
    loadConfig();
}

ConfigTentMovementObject::~ConfigTentMovementObject() {
    if (tuningAttributes)
        tuningAttributes->drop();
}

const irr::core::aabbox3df& ConfigTentMovementObject::getBoundingBox() const { return sharedBox; }

irr::scene::ESCENE_NODE_TYPE ConfigTentMovementObject::getType() const {
    return typeId("move");
}

void ConfigTentMovementObject::loadConfig() {
    tuningPath = MovementTuning::filePath;
    if (tuningAttributes) {
        tuningAttributes->drop();
        tuningAttributes = nullptr;
    }
    irr::io::IFileSystem* fileSystem = SceneManager ? SceneManager->getFileSystem() : nullptr;
    tuningAttributes = loadMovementTuning(fileSystem, *this, tuningPath.c_str());
}

irr::scene::ISceneNode* ConfigTentMovementObject::clone(irr::scene::ISceneNode* newParent,
                                                        irr::scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new ConfigTentMovementObject(newParent, newManager, ID);
    LevelObject::cloneMembers(copy, this, newManager);
    // The parent holds the copy; without one the caller takes the creation reference.
    if (newParent)
        copy->drop();
    return copy;
}

bool getMovementGravity(irr::core::vector3df& gravity) {
    if (!movementObject)
        return false;
    gravity = movementObject->Gravity;
    return true;
}
