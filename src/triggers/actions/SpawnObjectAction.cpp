#include "triggers/actions/SpawnObjectAction.h"

#include "core/Globals.h"
#include "core/LoadBudget.h"
#include "core/Log.h"
#include "core/Utf8.h"
#include "core/ProgramQueries.h"
#include "level/AttributeExtras.h"
#include "level/InstancedObject.h"
#include "level/LevelLimits.h"
#include "level/LevelManager.h"
#include "level/NodeHelpers.h"
#include "level/WorldTransform.h"
#include "physics/bodies/BuildSteps.h"
#include "physics/objects/PhysicsObject.h"
#include "triggers/TriggerObject.h"
#include "triggers/actions/ActionSupport.h"

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

using namespace irr;

const char* const SpawnObjectAction::spawnModeNames[4] = {"Reference Node", "Manual", "Contact Point", nullptr};

namespace {
// Where unused copies wait, out of sight below the level.
const core::vector3df spawnParkingPlace(0.0f, -200.0f, 0.0f);

bool isCopyVisible(scene::ISceneNode* node) {
    if (PhysicsObject* object = triggerActions::physicsKind(node))
        return object->isTrulyVisible();
    return node->isVisible();
}

// Rotation in degrees through a quaternion and back, so that equal rotations compare equal.
core::vector3df normalisedRotation(const core::vector3df& degrees) {
    const core::quaternion q(degrees * core::DEGTORAD);
    return triggerActions::quaternionToDegrees(q, 57.295776f);
}

// The instance whose copy the node is, or null.
scene::ISceneNode* holdingInstance(scene::ISceneNode* node) {
    scene::ISceneNode* parent = node ? node->getParent() : nullptr;
    return parent && parent->getType() == typeId("inst") ? parent : nullptr;
}

// The node and everything below it.
u32 subtreeSize(scene::ISceneNode* node) {
    u32 count = 0;
    std::vector<scene::ISceneNode*> open = {node};
    while (!open.empty()) {
        scene::ISceneNode* next = open.back();
        open.pop_back();
        ++count;
        for (scene::ISceneNode* child : next->getChildren())
            open.push_back(child);
    }
    return count;
}

// Takes the nodes of one more copy from the level load's budget of scene nodes (copies of a
// large template in many pools would otherwise make millions of nodes); false, with one line
// per level, when they no longer fit.
bool takeSpawnedNodes(u32 nodes) {
    return loadBudget().charge(LoadBudget::Nodes, nodes, {}, "the Spawn Object pools are cut short");
}

// Whether a charge of the level's budget was refused since it was made: a copy made
// meanwhile was cut short (a cloth, particles or glyphs of it left out, its nodes, or its
// mesh past the triangles) and goes again.
class CopyRefusals {
public:
    CopyRefusals() {
        for (std::size_t i = 0; i < kinds.size(); ++i)
            counts[i] = loadBudget().refusals(kinds[i]);
    }
    bool grew() const {
        for (std::size_t i = 0; i < kinds.size(); ++i)
            if (loadBudget().refusals(kinds[i]) != counts[i])
                return true;
        return false;
    }

private:
    static constexpr std::array<LoadBudget::Kind, 3> kinds = {LoadBudget::Memory, LoadBudget::Nodes,
                                                               LoadBudget::Triangles};
    std::array<std::uint64_t, kinds.size()> counts{};
};

// A copy waiting for its turn: hidden, out of sight below the level.
void parkCopy(PhysicsObject* copy) {
    if (copy->getMeshNode())
        copy->getMeshNode()->setVisible(false);
    copy->teleport(spawnParkingPlace);
    copy->setVisible(false);
}
} // namespace

SpawnObjectAction::SpawnObjectAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {
    if (isSimulationActive() && levelManager) {
        levelManager->onLevelLoaded.addMember(this, &SpawnObjectAction::buildPool);
        joinedLevelLoaded = true;
    }
}

SpawnObjectAction::~SpawnObjectAction() {
    if (joinedLevelLoaded && levelManager)
        levelManager->onLevelLoaded.removeMember(this, &SpawnObjectAction::buildPool);
}

scene::ISceneNode* SpawnObjectAction::makeCopy(io::IAttributes* templateKeys) {
    scene::ISceneManager* scene = templateNode->getSceneManager();
    scene::ISceneNode* copy = templateNode->clone(scene->getRootSceneNode(), scene);
    if (!copy)
        return nullptr;
    copy->deserializeAttributes(templateKeys);
    copy->setIsDebugObject(true); // kept out of level files
    copy->setVisible(false);
    return copy;
}

InstancedObject* SpawnObjectAction::makeInstance(s32 id) {
    scene::ISceneManager* scene = templateNode->getSceneManager();
    auto* instance = new InstancedObject(scene->getRootSceneNode(), scene, id);
    instance->drop();
    io::IAttributes* keys = gameDevice->getFileSystem()->createEmptyAttributes();
    keys->addInt("Id", id);
    keys->addInt("ObjectID", instancingSource->getID());
    keys->addVector3d("Scale", core::vector3df(1.0f, 1.0f, 1.0f));
    instance->deserializeAttributes(keys);
    keys->drop();
    instance->rebuild();
    return instance;
}

void SpawnObjectAction::buildPool() {
    if (!poolPending || !isSimulationActive() || !levelManager)
        return;
    templateNode = triggerActions::findObjectByID(ObjectID);
    if (!templateNode) {
        ObjectID = 0;
        return;
    }
    // The copies are numbered from BaseID: the last of them must still be an ID.
    s32 lastID = 0;
    if (BaseID > 0 && PoolSize > 0 && !offsetLevelValue(BaseID, PoolSize - 1, lastID)) {
        const s32 highest = std::numeric_limits<s32>::max() - (PoolSize - 1);
        logLevelClamp(getName(), trigger ? trigger->getName() : "", "BaseID", std::to_string(BaseID),
                      std::to_string(highest), 0, highest);
        BaseID = highest;
    }
    // Instancing merges copies of one mesh buffer; a template already drawn merged keeps
    // its own instances.
    PhysicsObject* physicsTemplate = asPhysicsObject(templateNode);
    const bool instanced = templateNode->getType() == typeId("phsx") && physicsTemplate && BaseID > 0 &&
                           !physicsTemplate->getInstancedMeshNode() && physicsTemplate->getMaterialCount() <= 1;
    instancingSource = nullptr;
    pool.clear();
    io::IAttributes* keys = gameDevice->getFileSystem()->createEmptyAttributes();
    templateNode->serializeAttributes(keys);
    keys->setAttribute("Id", 0);
    // Copies made from the template must not take its ID.
    const s32 templateID = templateNode->getID();
    templateNode->setID(0);
    levelManager->rebuildNodeIDs();

    const u32 copyNodes = subtreeSize(templateNode);
    bool quitting = false;
    for (s32 i = 0; i < PoolSize; ++i) {
        // A large pool takes as long as a level file to build: loading frames go on, and a
        // quit ends the pool with the copies made.
        if ((quitting = quitBeforeBuildStep()))
            break;
        scene::ISceneNode* copy = nullptr;
        if (FindExistingNodes && BaseID > 0)
            copy = levelManager->getSceneNodeFromID(BaseID + i);
        if (copy && instanced) {
            if (i == 0) {
                instancingSource = asPhysicsObject(copy);
            } else if (copy->getType() == typeId("inst")) {
                // A saved instance holds no copy: it makes one from the source. In a hidden
                // instance that copy waits like a new one, not as an unseen body where the
                // source stands.
                auto* instance = static_cast<InstancedObject*>(copy);
                instance->rebuild();
                copy = instance->getCopy();
                if (!copy)
                    continue;
                PhysicsObject* inner = asPhysicsObject(copy);
                if (inner && !instance->isVisible())
                    parkCopy(inner);
            }
        }
        if (!copy && !takeSpawnedNodes(instanced && i > 0 && instancingSource ? copyNodes + 1 : copyNodes))
            break;
        // Each copy charges what it makes as it is made (a cloth, particles, glyphs, shapes);
        // a copy the budget or the quit cut short is not kept, and the pool ends with the
        // copies before it.
        const CopyRefusals refusals;
        if (!copy && instanced && i > 0 && instancingSource) {
            InstancedObject* instance = makeInstance(BaseID + i);
            if (refusals.grew() || (quitting = gameQuitting())) {
                instance->remove();
                break;
            }
            instance->setVisible(false); // shown with its copy's first placing
            copy = instance->getCopy();
            if (PhysicsObject* inner = asPhysicsObject(copy))
                parkCopy(inner);
        } else if (!copy) {
            copy = makeCopy(keys);
            if (copy && (refusals.grew() || (quitting = gameQuitting()))) {
                copy->remove();
                break;
            }
            if (copy && instanced && i == 0) {
                copy->setID(BaseID);
                levelManager->registerNodeIDs(copy);
                instancingSource = asPhysicsObject(copy);
                if (instancingSource)
                    instancingSource->updateMesh();
            }
        }
        if (!copy)
            continue;
        if (BaseID > 0) {
            copy->setID(BaseID + i);
            // Level saves keep the copy; a copy inside an instance is kept by its instance,
            // which makes it again on load (saved too, it would come back twice).
            if (!holdingInstance(copy))
                copy->setIsDebugObject(false);
        } else {
            copy->setID(0);
        }
        // Hidden copies found in a saved level are used first.
        if (FindExistingNodes && !isCopyVisible(copy))
            pool.push_front(copy);
        else
            pool.push_back(copy);
    }

    if (quitting) {
        logMessagePair("Loading stopped, the game is quitting: ",
                       levelManager ? toUtf8(levelManager->getCurrentLevelPath().c_str()).c_str() : "");
    } else if (instancingSource) {
        if (takeSpawnedNodes(copyNodes + 1)) {
            const CopyRefusals refusals;
            InstancedObject* instance = makeInstance(0);
            if (refusals.grew()) {
                instance->remove();
            } else {
                instance->setIsDebugObject(true);
                leftover = instance->getCopy();
            }
        }
    } else if (triggerActions::physicsKind(templateNode) && takeSpawnedNodes(copyNodes)) {
        const CopyRefusals refusals;
        leftover = makeCopy(keys);
        if (leftover && refusals.grew()) {
            leftover->remove();
            leftover = nullptr;
        }
    }
    if (PhysicsObject* ghost = triggerActions::physicsKind(leftover)) {
        ghost->setIsDebugObject(true);
        parkCopy(ghost);
        ghost->setKinematic(true);
    }
    keys->drop();
    templateNode->setID(templateID);
    levelManager->rebuildNodeIDs();
    poolPending = false;
    if (instancingSource)
        instancingSource->buildInstancedMesh();
}

void SpawnObjectAction::execute(TriggerEventInfo& event) {
    logStep();
    if (!templateNode)
        return;
    core::vector3df position = TargetPosition;
    core::vector3df rotation = TargetRotation;
    if (SpawnMode == ReferenceNode) {
        scene::ISceneNode* reference = triggerActions::findObjectByID(TargetID);
        if (!reference)
            return;
        position = reference->getAbsolutePosition();
        rotation = reference->getAbsoluteTransformation().getRotationDegrees();
        referenceRotation = rotation;
    } else if (SpawnMode == ContactPoint) {
        if (!event.object && event.position.equals(core::vector3df(), 1e-6f))
            return;
        position = event.position;
    }
    rotation = normalisedRotation(rotation);

    if (pool.empty())
        return;
    auto chosenAt = pool.begin();
    PhysicsObject* first = triggerActions::physicsKind(*chosenAt);
    if (first && first->holdCount > 0) {
        // The copy in the player's hand stays where it is.
        if (pool.size() == 1)
            return;
        ++chosenAt;
    }
    scene::ISceneNode* chosen = *chosenAt;
    pool.erase(chosenAt);
    pool.push_back(chosen);

    if (leftover && chosen->isVisible())
        placeLeftover(chosen);
    chosen->setVisible(true);
    PhysicsObject* physics = triggerActions::physicsKind(chosen);
    if (physics && physics->getBodyActor()) {
        if (scene::ISceneNode* instance = holdingInstance(chosen))
            instance->setVisible(true);
        physics->teleport(position);
        physics->setBodyRotation(eulerDegreesToQuat(rotation), rotation);
        physics->beginRespawnScale();
        setNodeWorldPosition(chosen, position);
        setNodeWorldRotation(chosen, rotation);
        updateTransformsRecursive(chosen);
    } else {
        chosen->setPosition(position);
        chosen->setRotation(rotation);
    }
    if (physics) {
        physics->reset().RespawnOverridePosition = position;
        physics->reset().respawnPosition = position;
    }
}

void SpawnObjectAction::placeLeftover(scene::ISceneNode* chosen) {
    PhysicsObject* ghost = triggerActions::physicsKind(leftover);
    if (!ghost)
        return;
    // The copy's old place keeps a ghost of it that cannot be touched and shrinks away.
    ghost->body().collisionForcedOff = true;
    ghost->setVisible(true);
    const core::vector3df position = chosen->getAbsolutePosition();
    const core::vector3df rotation = chosen->getAbsoluteTransformation().getRotationDegrees();
    ghost->teleport(position);
    ghost->setBodyRotation(eulerDegreesToQuat(rotation), rotation);
    setNodeWorldPosition(ghost, position);
    setNodeWorldRotation(ghost, rotation);
    updateTransformsRecursive(ghost);
    ghost->requestReset();
}

void SpawnObjectAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    TriggerAction::serializeAttributes(out, options);
    out->addInt("PoolSize", PoolSize);
    out->addInt("BaseID", BaseID);
    triggerActions::addEnumByIndex(out, "SpawnMode", SpawnMode, spawnModeNames);
    addObjectReference(out, "ObjectID", ObjectID);
    if (SpawnMode == ReferenceNode) {
        addObjectReference(out, "TargetID", TargetID);
    } else if (SpawnMode == Manual) {
        out->addVector3d("TargetPosition", TargetPosition);
        out->addVector3d("TargetRotation", TargetRotation);
    }
    // A save made in play holds the copies: its reload finds them.
    if (isSimulationActive())
        out->addBool("FindExistingNodes", true);
}

void SpawnObjectAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    TriggerAction::deserializeAttributes(in, options);
    PoolSize = in->getAttributeAsInt("PoolSize");
    ObjectID = in->getAttributeAsInt("ObjectID");
    BaseID = in->getAttributeAsInt("BaseID");
    triggerActions::readEnumByName(in, "SpawnMode", spawnModeNames, SpawnMode);
    if (SpawnMode == ReferenceNode) {
        TargetID = in->getAttributeAsInt("TargetID");
    } else if (SpawnMode == Manual) {
        TargetPosition = in->getAttributeAsVector3d("TargetPosition");
        TargetRotation = in->getAttributeAsVector3d("TargetRotation");
    }
    if (isSimulationActive())
        FindExistingNodes = in->existsAttribute("FindExistingNodes") && in->getAttributeAsBool("FindExistingNodes");
}

TriggerAction* SpawnObjectAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new SpawnObjectAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}
