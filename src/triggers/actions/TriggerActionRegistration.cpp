#include "triggers/actions/TriggerActionRegistration.h"

#include "level/SceneNodeTypes.h"
#include "triggers/CameraTriggerVolume.h"
#include "triggers/ForceVolume.h"
#include "triggers/actions/AddForceAction.h"
#include "triggers/actions/ChangeAnimationAction.h"
#include "triggers/actions/ChangeCharacterStateAction.h"
#include "triggers/actions/ChangeMaterialMeshActions.h"
#include "triggers/actions/ChangeMusicParamAction.h"
#include "triggers/actions/ChangeObjectiveActions.h"
#include "triggers/actions/ChangeVariableActions.h"
#include "triggers/actions/LevelFlowActions.h"
#include "triggers/actions/MoveObjectAction.h"
#include "triggers/actions/PlaySoundAction.h"
#include "triggers/actions/SetCameraAction.h"
#include "triggers/actions/SetObjectPropertyAction.h"
#include "triggers/actions/SpawnObjectAction.h"
#include "triggers/actions/PopupActions.h"
#include "triggers/actions/SuspicionCancelActions.h"
#include "triggers/actions/TentaroControlActions.h"
#include "triggers/actions/TriggerControlActions.h"
#include "triggers/actions/UnlockAchievementAction.h"

#include <utility>

using namespace irr;

namespace {

template <class Action> TriggerAction* makeTriggerAction(TriggerObject* trigger) { return new Action(trigger); }

template <class Action> void registerActionClass() {
    registerTriggerActionClass(Action::actionType, &makeTriggerAction<Action>);
}

// Triggers, suspicion, the player, characters, animation, the level flow; materials and
// meshes, music, objectives, suspicion zones, the HUD, pop-ups, variables, the save's
// attributes and achievements.
template <class Action> constexpr std::pair<s32, TriggerActionCreator> actionRow() {
    return {Action::actionType, &makeTriggerAction<Action>};
}
const std::pair<s32, TriggerActionCreator> triggerFlowActionRows[] = {
    actionRow<RunTriggerAction>(),      actionRow<ResetTriggerAction>(),         actionRow<RunFakeTransitionAction>(),
    actionRow<AddSuspicionAction>(),    actionRow<CancelTriggerAction>(),        actionRow<TentaroControlsAction>(),
    actionRow<TentaroLimpAction>(),     actionRow<ChangeAnimationAction>(),      actionRow<ChangeCharacterStateAction>(),
    actionRow<EndLevelAction>(),        actionRow<LevelCheckPointAction>(),
    actionRow<ChangeMaterialAction>(),  actionRow<ChangeMeshAction>(),           actionRow<ChangeMusicParamAction>(),
    actionRow<ChangeObjectiveAction>(), actionRow<ChangeSuspicionZoneAction>(),  actionRow<ChangeVariableAction>(),
    actionRow<ChangeGameAttributeAction>(), actionRow<ChangeUIAction>(),         actionRow<PopupScreenAction>(),
    actionRow<RemovePopupAction>(),     actionRow<UnlockAchievementAction>(),
};

} // namespace

void registerTriggerActions() {
    registerActionClass<SetObjectPropertyAction>();
    registerActionClass<PlaySoundAction>();
    registerActionClass<MoveObjectAction>();
    registerActionClass<SpawnObjectAction>();
    registerActionClass<AddForceAction>();
    registerActionClass<SetCameraAction>();
    for (const auto& [type, create] : triggerFlowActionRows)
        registerTriggerActionClass(type, create);
    registerSceneNodeType(levelObjectRow<CameraTriggerVolume>(typeId("cmrv"), "CameraTriggerVolume"));
    registerSceneNodeType(levelObjectRow<ForceVolume>(typeId("frce"), "ForceVolume"));
}

void unregisterTriggerActions() {
    for (s32 type : {SetObjectPropertyAction::actionType, PlaySoundAction::actionType, MoveObjectAction::actionType,
                     SpawnObjectAction::actionType, AddForceAction::actionType, SetCameraAction::actionType})
        registerTriggerActionClass(type, nullptr);
    for (const auto& row : triggerFlowActionRows)
        registerTriggerActionClass(row.first, nullptr);
}
