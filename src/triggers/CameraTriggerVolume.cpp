#include "triggers/CameraTriggerVolume.h"

#include "level/AttributeExtras.h"
#include "triggers/actions/ActionSupport.h"
#include "triggers/actions/SetCameraAction.h"

#include <string>

using namespace irr;

namespace {
// Rows numbered beyond this are never read.
constexpr int cameraVolumeMaxRows = 99;
} // namespace

CameraTriggerVolume::CameraTriggerVolume(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : TriggerObject(parent, manager, id) {
    TriggerConditionIndex = static_cast<s32>(TriggerCondition::OnPlayerCollide);
    CreateSkin = true;
    OnArmsCollision = TriggerSide::None;
    setScale(core::vector3df(10.0f, 10.0f, 10.0f));
    setAction(new SetCameraAction(this));
}

CameraTriggerVolume* asCameraVolume(scene::ISceneNode* node) {
    return node && node->getType() == typeId("cmrv") ? static_cast<CameraTriggerVolume*>(node) : nullptr;
}

void CameraTriggerVolume::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    addObjectIDList(out, "TriggerStartExpression", TriggerStartExpression.c_str());
    out->addBool("OnBodyCollision", OnBodyCollision);
    triggerActions::addEnumByIndex(out, "OnArmsCollision", OnArmsCollision, triggerNames::sides);
    triggerActions::addEnumByIndex(out, "OnLegsCollision", OnLegsCollision, triggerNames::sides);
    triggerActions::addEnumByIndex(out, "ModeCondition", ModeCondition, triggerNames::modes);
    writeBoundKeys(out);
    if (action) {
        // A camera volume always takes its camera back when the player leaves.
        action->UndoOnTriggerRevert = true;
        action->serializeAttributes(out, options);
    }
    out->addBool("AllowManualCamera", AllowManualCamera);
    // The editor gets one empty row to fill.
    const size_t rows = previousVolumes.size() + (isEditorWrite(options) ? 1 : 0);
    for (size_t i = 0; i < rows; ++i) {
        const bool filled = i < previousVolumes.size();
        const std::string n = std::to_string(i + 1);
        addObjectReference(out, ("PrevCamVolume" + n).c_str(), filled ? previousVolumes[i] : 0);
        out->addFloat(("TransitionSpeed" + n).c_str(), filled ? transitionSpeeds[i] : 0.0f);
        out->addBool(("UseCrossfade" + n).c_str(), filled ? bool(crossfades[i]) : false);
    }
}

void CameraTriggerVolume::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    LevelObject::deserializeAttributes(in, options);
    readTriggerKeys(in, options);
    previousVolumes.clear();
    transitionSpeeds.clear();
    crossfades.clear();
    readIfPresent(in, "AllowManualCamera", AllowManualCamera);
    for (int n = 1; n <= cameraVolumeMaxRows; ++n) {
        const std::string number = std::to_string(n);
        const std::string idKey = "PrevCamVolume" + number;
        if (!in->existsAttribute(idKey.c_str()))
            break;
        const s32 id = in->getAttributeAsInt(idKey.c_str());
        if (id == 0)
            continue; // the editor's empty row
        previousVolumes.push_back(id);
        transitionSpeeds.push_back(in->getAttributeAsFloat(("TransitionSpeed" + number).c_str()));
        crossfades.push_back(in->getAttributeAsBool(("UseCrossfade" + number).c_str()));
    }
}

scene::ISceneNode* CameraTriggerVolume::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new CameraTriggerVolume(newParent, newManager, ID);
    finishTriggerClone(copy);
    copy->previousVolumes = previousVolumes;
    copy->transitionSpeeds = transitionSpeeds;
    copy->crossfades = crossfades;
    copy->AllowManualCamera = AllowManualCamera;
    if (newParent)
        copy->drop();
    return copy;
}

int CameraTriggerVolume::rowOf(scene::ISceneNode* previous) const {
    if (!previous)
        return -1;
    for (size_t i = 0; i < previousVolumes.size(); ++i)
        if (previousVolumes[i] == previous->getID())
            return static_cast<int>(i);
    return -1;
}

f32 CameraTriggerVolume::getTransitionSpeedFrom(scene::ISceneNode* previous) const {
    const int row = rowOf(previous);
    if (row >= 0)
        return transitionSpeeds[size_t(row)];
    if (const SetCameraAction* setCamera = asSetCameraAction(action.get()))
        return setCamera->CamTransitionSpeed;
    return -1.0f;
}

bool CameraTriggerVolume::getUseCrossfadeFrom(scene::ISceneNode* previous) const {
    const int row = rowOf(previous);
    return row >= 0 && crossfades[size_t(row)];
}
