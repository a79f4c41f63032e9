#include "triggers/actions/SetCameraAction.h"

#include "camera/CameraManager.h"
#include "camera/CameraObject.h"
#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "level/AttributeExtras.h"
#include "player/PlayerObject.h"
#include "render/EffectHandler.h"
#include "triggers/TriggerObject.h"
#include "triggers/actions/ActionSupport.h"

using namespace irr;

SetCameraAction::SetCameraAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) { canUndo = true; }

SetCameraAction* asSetCameraAction(TriggerAction* action) {
    // A level read before the class was registered holds a plain action of this type.
    return action && action->getType() == SetCameraAction::actionType &&
                   isTriggerActionClassRegistered(SetCameraAction::actionType)
               ? static_cast<SetCameraAction*>(action)
               : nullptr;
}

void SetCameraAction::resolveCamera() {
    if (camera || CameraID == 0)
        return;
    scene::ISceneNode* node = triggerActions::findObjectByID(CameraID);
    if (node && node->getType() == typeId("cmro") && node->getID() != 0) {
        camera = static_cast<CameraObject*>(node);
        return;
    }
    // In play the level is complete: an ID that names no camera never will.
    if (isSimulationActive())
        CameraID = 0;
}

CameraManager* SetCameraAction::managerFor(const TriggerEventInfo& event) const {
    s32 playerIndex = 0;
    if (event.secondObject && event.secondObject->getType() == typeId("plr1"))
        playerIndex = static_cast<PlayerObject*>(event.secondObject)->getPlayerIndex();
    if (effectHandler && effectHandler->splitScreen && playerIndex >= 0 && playerIndex < maxCameraManagers)
        return cameraManagers[playerIndex];
    return cameraManagers[0];
}

void SetCameraAction::execute(TriggerEventInfo& event) {
    logStep();
    resolveCamera();
    if (!camera) {
        // No camera: the running transition chain is dropped.
        if (cameraManagers[0])
            cameraManagers[0]->setActiveCamera(CameraActivation{});
        return;
    }
    scene::ISceneNode* source = trigger && trigger->getType() == typeId("cmrv") ? trigger : nullptr;
    CameraManager* manager = managerFor(event);
    if (!manager)
        return;
    if (UndoOnTriggerRevert) {
        manager->pushCamera(camera, source, CamTransitionSpeed, ForceCrossfade);
        return;
    }
    CameraActivation request;
    request.camera = camera;
    request.source = source;
    request.speed = CamTransitionSpeed;
    request.crossfade = ForceCrossfade;
    manager->setActiveCamera(request);
}

void SetCameraAction::revert(TriggerEventInfo& event) {
    resolveCamera();
    logStep("Reverse Event");
    CameraManager* manager = managerFor(event);
    if (camera && manager)
        manager->removeCamera(camera);
}

void SetCameraAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    TriggerAction::serializeAttributes(out, options);
    addObjectReference(out, "CameraID", CameraID);
    out->addFloat("CamTransitionSpeed", CamTransitionSpeed);
    out->addBool("ForceCrossfade", ForceCrossfade);
}

void SetCameraAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    TriggerAction::deserializeAttributes(in, options);
    readIfPresent(in, "CameraID", CameraID);
    readIfPresent(in, "CamTransitionSpeed", CamTransitionSpeed);
    // The older name of UndoOnTriggerRevert wins when both are there.
    readIfPresent(in, "DisableOnTriggerUnmet", UndoOnTriggerRevert);
    readIfPresent(in, "ForceCrossfade", ForceCrossfade);
}

TriggerAction* SetCameraAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new SetCameraAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}
