#include "triggers/actions/ChangeMaterialMeshActions.h"

#include "core/Globals.h"
#include "level/AttributeExtras.h"
#include "level/LevelInfo.h"
#include "level/LevelManager.h"
#include "level/LevelObject.h"
#include "level/MeshGate.h"
#include "physics/objects/PhysicsObject.h"
#include "player/LimbQueries.h"
#include "player/PlayerObject.h"
#include "triggers/actions/ActionSupport.h"

using namespace irr;

namespace {

bool isPlayerBody(scene::ISceneNode* node) { return node && node->getType() == typeId("plr1"); }

} // namespace

// --- Change Material --------------------------------------------------------------------------------

const char* const ChangeMaterialAction::materialActionNames[6] = {
    "Set Texture", "Set Diffuse Color", "Set Emissive Color", "Toggle Lighting", "Toggle ZWrite", nullptr};

void ChangeMaterialAction::update() {
    if (collectPending && targets.empty())
        triggerActions::appendExpressionTargets(ObjectIDs, targets);
    collectPending = false;
}

void ChangeMaterialAction::applyTo(scene::ISceneNode* node) const {
    const u32 count = node->getMaterialCount();
    u32 first = 0;
    u32 end = count;
    if (!ApplyToAllMaterials) {
        // An index the object does not have changes nothing.
        if (MaterialIndex >= count)
            return;
        first = MaterialIndex;
        end = MaterialIndex + 1;
    }
    for (u32 i = first; i < end; ++i) {
        if (MaterialAction == SetTexture && isPlayerBody(node)) {
            static_cast<PlayerObject*>(node)->setPlayerTexture(texture);
            continue;
        }
        video::SMaterial& material = node->getMaterial(i);
        switch (MaterialAction) {
        case SetTexture:
            material.setTexture(0, texture);
            break;
        case SetDiffuseColor:
            material.DiffuseColor = NewColor;
            break;
        case SetEmissiveColor:
            material.EmissiveColor = NewColor;
            break;
        case ToggleLighting:
            material.Lighting = NewValue;
            break;
        case ToggleZWrite:
            material.ZWriteEnable = NewValue;
            break;
        default:
            break;
        }
    }
}

void ChangeMaterialAction::execute(TriggerEventInfo& event) {
    logStep();
    scene::ISceneNode* node = triggerActions::findObjectByID(ObjectID);
    if (event.object)
        node = event.object;
    if (node)
        applyTo(node);
    for (scene::ISceneNode* target : targets)
        if (target)
            applyTo(target);
}

void ChangeMaterialAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    addObjectReference(out, "ObjectID", ObjectID);
    if (isEditorWrite(options) || !ObjectIDs.empty())
        addObjectIDList(out, "ObjectIDs", ObjectIDs.c_str());
    out->addBool("ApplyToAllMaterials", ApplyToAllMaterials);
    if (!ApplyToAllMaterials)
        out->addInt("MaterialIndex", static_cast<s32>(MaterialIndex));
    triggerActions::addEnumByIndex(out, "MaterialAction", MaterialAction, materialActionNames);
    if (MaterialAction == ToggleLighting || MaterialAction == ToggleZWrite)
        out->addBool("NewValue", NewValue);
    if (MaterialAction == SetDiffuseColor || MaterialAction == SetEmissiveColor)
        out->addColor("NewColor", NewColor);
    if (MaterialAction == SetTexture)
        addFilePath(out, "NewTextureFileName", NewTextureFileName.c_str());
}

void ChangeMaterialAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    targets.clear();
    readIfPresent(in, "ObjectID", ObjectID);
    readIfPresent(in, "ObjectIDs", ObjectIDs);
    readIfPresent(in, "ApplyToAllMaterials", ApplyToAllMaterials);
    s32 index = static_cast<s32>(MaterialIndex);
    if (readIfPresent(in, "MaterialIndex", index))
        MaterialIndex = index < 0 ? 0u : static_cast<u32>(index);
    triggerActions::readKnownEnum(in, "MaterialAction", materialActionNames, MaterialAction);
    readIfPresent(in, "NewValue", NewValue);
    if (in->existsAttribute("NewColor"))
        NewColor = in->getAttributeAsColor("NewColor");
    readIfPresent(in, "NewTextureFileName", NewTextureFileName);
    if (!NewTextureFileName.empty() && gameDevice)
        texture = gameDevice->getVideoDriver()->getTexture(NewTextureFileName.c_str());
    collectPending = !ObjectIDs.empty();
}

TriggerAction* ChangeMaterialAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new ChangeMaterialAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}

// --- Change Mesh ------------------------------------------------------------------------------------

void ChangeMeshAction::execute(TriggerEventInfo&) {
    logStep();
    scene::ISceneNode* node = triggerActions::findObjectByID(ObjectID);
    if (PhysicsObject* object = triggerActions::physicsKind(node))
        object->reloadMesh(NewMeshFileName);
    else if (isPlayerBody(node))
        static_cast<PlayerObject*>(node)->setPlayerMesh(NewMeshFileName.c_str());
}

void ChangeMeshAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    addFilePath(out, "NewMeshFileName", NewMeshFileName.c_str());
    addObjectReference(out, "ObjectID", ObjectID);
}

void ChangeMeshAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    readIfPresent(in, "ObjectID", ObjectID);
    readIfPresent(in, "NewMeshFileName", NewMeshFileName);
    if (NewMeshFileName.empty())
        return;
    if (gameDevice)
        getGameMesh(gameDevice->getSceneManager(), NewMeshFileName.c_str());
    // The level information stands for the player: its limbs' highlight textures follow.
    const LevelInfo* info = levelManager ? levelManager->currentLevelInfo : nullptr;
    if (info && info->getID() == ObjectID)
        applyLimbHighlightTextures(NewMeshFileName.c_str());
}

TriggerAction* ChangeMeshAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new ChangeMeshAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}
