#include "triggers/actions/TriggerActionRegistration.h"

#include "camera/CameraServices.h"
#include "level/SceneNodeTypes.h"
#include "triggers/CameraTriggerVolume.h"
#include "triggers/ForceVolume.h"
#include "triggers/actions/AddForceAction.h"
#include "triggers/actions/ChangeMaterialMeshActions.h"
#include "triggers/actions/ChangeMusicParamAction.h"
#include "triggers/actions/ChangeObjectiveActions.h"
#include "triggers/actions/ChangeVariableActions.h"
#include "triggers/actions/MoveObjectAction.h"
#include "triggers/actions/PlaySoundAction.h"
#include "triggers/actions/SetCameraAction.h"
#include "triggers/actions/SetObjectPropertyAction.h"
#include "triggers/actions/SpawnObjectAction.h"
#include "triggers/actions/UnlockAchievementAction.h"
#include "triggers/actions/PopupActions.h"

using namespace irr;

namespace {

template <class Action> TriggerAction* makeTriggerAction(TriggerObject* trigger) { return new Action(trigger); }

template <class Action> void registerActionClass() {
    registerTriggerActionClass(Action::actionType, &makeTriggerAction<Action>);
}

// Materials and meshes, music, objectives, suspicion zones, the HUD, pop-ups, variables, the
// save's attributes and achievements.
template <class... Actions> void registerActionClasses() { (registerActionClass<Actions>(), ...); }
constexpr s32 lookAndProgressActionTypes[] = {
    ChangeMaterialAction::actionType,      ChangeMeshAction::actionType,      ChangeMusicParamAction::actionType,
    ChangeObjectiveAction::actionType,     ChangeSuspicionZoneAction::actionType, ChangeVariableAction::actionType,
    ChangeGameAttributeAction::actionType, ChangeUIAction::actionType,        PopupScreenAction::actionType,
    RemovePopupAction::actionType,         UnlockAchievementAction::actionType};

} // namespace

void registerTriggerActions() {
    registerActionClass<SetObjectPropertyAction>();
    registerActionClass<PlaySoundAction>();
    registerActionClass<MoveObjectAction>();
    registerActionClass<SpawnObjectAction>();
    registerActionClass<AddForceAction>();
    registerActionClass<SetCameraAction>();
    registerActionClasses<ChangeMaterialAction, ChangeMeshAction, ChangeMusicParamAction, ChangeObjectiveAction,
                          ChangeSuspicionZoneAction, ChangeVariableAction, ChangeGameAttributeAction, ChangeUIAction,
                          PopupScreenAction, RemovePopupAction, UnlockAchievementAction>();
    registerSceneNodeType(levelObjectRow<CameraTriggerVolume>(typeId("cmrv"), "CameraTriggerVolume"));
    registerSceneNodeType(levelObjectRow<ForceVolume>(typeId("frce"), "ForceVolume"));

    CameraServices::Volumes& volumes = cameraServices().volumes;
    volumes.transitionSpeedFrom = [](scene::ISceneNode* volume, scene::ISceneNode* previous) {
        CameraTriggerVolume* cameraVolume = asCameraVolume(volume);
        return cameraVolume ? cameraVolume->getTransitionSpeedFrom(previous) : -1.0f;
    };
    volumes.crossfadeFrom = [](scene::ISceneNode* volume, scene::ISceneNode* previous) {
        CameraTriggerVolume* cameraVolume = asCameraVolume(volume);
        return cameraVolume && cameraVolume->getUseCrossfadeFrom(previous);
    };
    volumes.allowManualCamera = [](scene::ISceneNode* volume) {
        CameraTriggerVolume* cameraVolume = asCameraVolume(volume);
        return cameraVolume && cameraVolume->AllowManualCamera;
    };
}

void unregisterTriggerActions() {
    for (s32 type : {SetObjectPropertyAction::actionType, PlaySoundAction::actionType, MoveObjectAction::actionType,
                     SpawnObjectAction::actionType, AddForceAction::actionType, SetCameraAction::actionType})
        registerTriggerActionClass(type, nullptr);
    for (s32 type : lookAndProgressActionTypes)
        registerTriggerActionClass(type, nullptr);
}
