// The per-frame life of a trigger: resolving its references once, activation, evaluating
// its condition, the minimum time, and firing and reverting on the edges of the met state.
#include "triggers/ConditionalTrigger.h"
#include "triggers/TriggerEventObject.h"
#include "triggers/TriggerObject.h"
#include "triggers/TriggerRunBudget.h"
#include "physics/objects/PhysicsObject.h"

#include "characters/SuspicionMeter.h"
#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "level/LevelManager.h"
#include "level/VariableObject.h"
#include "player/InputDevice.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/PlayerObject.h"
#include "player/devices/GamepadDevice.h"
#include "player/devices/JoystickDevice.h"

using namespace irr;

namespace {

std::vector<scene::ISceneNode*> childListOf(scene::ISceneNode* node) {
    std::vector<scene::ISceneNode*> children;
    for (scene::ISceneNode* child : node->getChildren())
        children.push_back(child);
    return children;
}

scene::ISceneNode* lookupTriggerReference(s32 id) {
    return (id != 0 && levelManager) ? levelManager->getSceneNodeFromID(id) : nullptr;
}

// The suspicion record the triggers read: player 0's, else the level run's.
SuspicionMeter* triggerSuspicionRecord() {
    return levelManager ? levelManager->getPlayerSuspicion(0) : nullptr;
}

} // namespace

void TriggerObject::OnAnimate(u32 timeMs) {
    // Every scene draw animates the tree again: a trigger acts once per level frame.
    if (animatedThisFrame())
        return;
    if (isSimulationActive()) {
        resolveObjectIDs();
        updateTrigger();
    }
    if (action)
        action->update();
    if (frameCounter < 8)
        ++frameCounter;
    LevelObject::OnAnimate(timeMs);
}

void TriggerObject::resolveObjectIDs() {
    if (!needsResolve) {
        PrevConditionMet = ConditionMet;
        return;
    }
    if (!TriggerStartExpression.empty()) {
        startTree = parseObjectIDExpression(TriggerStartExpression);
        IsActive = false;
    }
    if (!PhysicsObjectIDs.empty())
        objectsTree = parseObjectIDExpression(PhysicsObjectIDs);
    if (!ExcludedObjectIDs.empty())
        excludedTree = parseObjectIDExpression(ExcludedObjectIDs);
    scene::ISceneNode* node = lookupTriggerReference(VariableID);
    variable = node && node->getType() == typeId("vble") ? static_cast<VariableObject*>(node) : nullptr;
    node = lookupTriggerReference(CompareVariableID);
    compareVariable = node && node->getType() == typeId("vble") ? static_cast<VariableObject*>(node) : nullptr;
    revertible = action && action->canRevert();
    node = lookupTriggerReference(CollisionObjectID);
    collisionObject = isHoldableKind(node) ? node : nullptr;
    if (PhysicsObject* object = findPhysicsObjectOfNode(collisionObject))
        object->enableTouchTracking(CollisionThreshold);
    if (PlayerObject* player = getPlayer(0))
        latchedMode = player->getControlMode();
    markRevertibleFromChildren(this);
    needsResolve = false;
}

void TriggerObject::updateActivation() {
    if (!OnceActiveAlwaysActive || !IsActive) {
        IsActive = true;
        if (startTree) {
            expressionContext().contacts = nullptr;
            IsActive = startTree->evaluate();
        }
        checkSuspicionStart();
    }
    reweightConditionals();
    if (ActiveInEditorOnly)
        IsActive = false;
}

void TriggerObject::checkSuspicionStart() {
    if (!TriggerStartOnSuspicionLevel || !IsActive)
        return;
    const SuspicionMeter* record = triggerSuspicionRecord();
    const f32 suspicion = record ? record->value : 0.0f;
    IsActive = compareTriggerValue(suspicion, SuspicionAmount, ComparisonType);
}

void TriggerObject::reweightConditionals() {
    if (!ReweightConditionals)
        return;
    std::vector<ConditionalTrigger*> idle;
    for (scene::ISceneNode* child : getChildren())
        if (child->getType() == typeId("cond") && child->isVisible()) {
            auto* conditional = static_cast<ConditionalTrigger*>(child);
            if (!conditional->ConditionMet)
                idle.push_back(conditional);
        }
    const std::size_t n = idle.size();
    for (std::size_t k = 0; k < n; ++k)
        idle[k]->Randomness = 1.0f / static_cast<f32>(n - k);
}

TriggerEventInfo TriggerObject::buildEvent() const {
    scene::ISceneNode* cause = nullptr;
    if (ApplyEventPerObject && getCondition() == TriggerCondition::OnObjectGrabbed)
        cause = expressionContext().lastMatched;
    else if (ApplyEventPerObject && getCondition() == TriggerCondition::OnObjectReleased)
        cause = releasedObject;
    return makeEmptyTriggerEventInfo(cause);
}

void TriggerObject::updateTrigger() {
    updateActivation();
    const TriggerCondition condition = getCondition();
    const bool perObject = ApplyEventPerObject && (condition == TriggerCondition::OnObjectInside ||
                                                   condition == TriggerCondition::OnObjectOutside);
    if (!IsActive) {
        if (condition == TriggerCondition::OnPlayerInput)
            if (PlayerObject* player = getPlayer(0))
                latchedMode = player->getControlMode();
        if (!OnceCondMetAlwaysMet)
            ConditionMet = false;
        if (!ConditionMet && PrevConditionMet && revertible) {
            TriggerEventInfo event = buildEvent();
            if (!ApplyEventPerObject)
                revertEvent(event);
        }
        return;
    }
    syncPose();
    evaluateCondition();
    updateMinimumTime();
    if (ConditionMet && !PrevConditionMet) {
        TriggerEventInfo event = buildEvent();
        if (condition == TriggerCondition::OnPlayerCollide)
            event.secondObject = collidingPlayer;
        event.position = lastContactPosition;
        if (!perObject)
            fireEvent(event);
    } else if (!ConditionMet && PrevConditionMet && revertible) {
        TriggerEventInfo event = buildEvent();
        if (!perObject)
            revertEvent(event);
    }
}

void TriggerObject::evaluateCondition() {
    if ((ConditionMet && OnceCondMetAlwaysMet) || frameCounter <= 2)
        return;
    switch (getCondition()) {
    case TriggerCondition::Immediately:
        ConditionMet = true;
        break;
    case TriggerCondition::OnPlayerCollide:
    case TriggerCondition::OnPlayerOutside:
        checkPlayerCollision();
        break;
    case TriggerCondition::OnObjectInside:
        checkObjectInside();
        break;
    case TriggerCondition::OnObjectOutside:
        checkObjectOutside();
        break;
    case TriggerCondition::OnObjectGrabbed:
        checkObjectGrabbed();
        break;
    case TriggerCondition::OnObjectReleased:
        checkObjectReleased();
        break;
    case TriggerCondition::OnObjectVelocity:
        checkObjectVelocity();
        break;
    case TriggerCondition::OnObjectCollision:
        checkObjectCollision();
        break;
    case TriggerCondition::OnObjectPhysicsState:
        checkObjectPhysicsState();
        break;
    case TriggerCondition::OnVariableCondition:
        checkVariableCondition();
        break;
    case TriggerCondition::OnTentaroEvent:
        if (TentaroEvent == 0)
            checkSeenByCharacter();
        else if (TentaroEvent == 1)
            checkSuspicionGained();
        break;
    case TriggerCondition::OnGameSaveAttribute:
        checkGameSaveAttribute();
        break;
    case TriggerCondition::OnPlayerInput:
        checkPlayerInput();
        break;
    case TriggerCondition::OnActiveVoice:
        checkActiveVoice();
        break;
    default: // Manual Activation Only: others set ConditionMet
        break;
    }
    if (!modeConditionHolds() || !deviceConditionHolds())
        ConditionMet = false;
}

bool TriggerObject::modeConditionHolds() const {
    PlayerObject* player = getPlayer(0);
    if (!player)
        return true;
    if (ModeCondition == TriggerMode::Arms)
        return player->getControlMode() == ControlMode::Arms;
    if (ModeCondition == TriggerMode::Legs)
        return player->getControlMode() == ControlMode::Legs;
    return true;
}

bool TriggerObject::deviceConditionHolds() const {
    if (DeviceCondition.size() <= 1)
        return true;
    InputDevice* device = InputDevice::findByName(DeviceCondition.c_str());
    if (device && inputManager && device == static_cast<InputDevice*>(inputManager->getJoystick()))
        device = inputManager->getGamepad();
    bool used = false;
    if (device && inputManager) {
        auto usesDevice = [&](PlayerControls* controls) {
            return controls && controls->lastDevice &&
                   (controls->lastDevice == device || controls->lastDevice == device->getPairedDevice());
        };
        const int count = inputManager->getPlayerControlsCount(0);
        for (int i = 0; i < count && !used; ++i)
            used = usesDevice(inputManager->getPlayerControls(0, i));
        if (count == 0)
            used = usesDevice(inputManager->getDefaultControls());
    }
    return used;
}

void TriggerObject::updateMinimumTime() {
    if (!ConditionMet) {
        if (ResetTimerIfUnmet)
            PreCondTimer = 0.0f;
    } else if (PreCondTimer < MinimumTimeUntilMet) {
        PreCondTimer += levelPlaySeconds();
        ConditionMet = false;
    }
    if (PreCondTimer >= MinimumTimeUntilMet && PrevConditionMet && !ConditionMet)
        PreCondTimer = 0.0f;
}

// --- firing and the child walks ---------------------------------------------------------------

void TriggerObject::fireEvent(TriggerEventInfo& event) {
    const TriggerRun run;
    if (!run.allowed())
        return;
    if (action)
        action->execute(event);
    fireChildEvents(this, event);
}

void TriggerObject::fireChildEvents(scene::ISceneNode* node, TriggerEventInfo& event) {
    cancelled = false;
    // What a child runs may remove children: walk a copy of the list, holding each.
    std::vector<scene::ISceneNode*> children = childListOf(node);
    for (scene::ISceneNode* child : children)
        child->grab();
    for (scene::ISceneNode* child : children) {
        const scene::ESCENE_NODE_TYPE type = child->getType();
        if (type == typeId("emty"))
            fireChildEvents(child, event);
        if (type == typeId("trge"))
            static_cast<TriggerEventObject*>(child)->startEvent(event);
        else if (type == typeId("cond"))
            static_cast<ConditionalTrigger*>(child)->start();
        if (cancelled)
            break;
    }
    for (scene::ISceneNode* child : children)
        child->drop();
}

void TriggerObject::revertEvent(TriggerEventInfo& event) {
    if (action && action->UndoOnTriggerRevert)
        action->revert(event);
    revertChildEvents(this, event);
}

void TriggerObject::revertChildEvents(scene::ISceneNode* node, TriggerEventInfo& event) {
    const std::vector<scene::ISceneNode*> children = childListOf(node);
    for (scene::ISceneNode* child : children) {
        const scene::ESCENE_NODE_TYPE type = child->getType();
        if (type == typeId("emty"))
            revertChildEvents(child, event);
        if (type == typeId("trge")) {
            auto* eventObject = static_cast<TriggerEventObject*>(child);
            if (eventObject->getAction() && eventObject->getAction()->UndoOnTriggerRevert)
                eventObject->startRevert(event);
        }
    }
}

void TriggerObject::stopPendingEvents(scene::ISceneNode* node) {
    if (!node)
        return;
    for (scene::ISceneNode* child : node->getChildren()) {
        const scene::ESCENE_NODE_TYPE type = child->getType();
        if (type == typeId("emty"))
            stopPendingEvents(child);
        if (type == typeId("trge"))
            static_cast<TriggerEventObject*>(child)->stopPending();
        else if (type == typeId("cond"))
            static_cast<ConditionalTrigger*>(child)->Timer = -1.0f;
    }
}

void TriggerObject::markRevertibleFromChildren(scene::ISceneNode* node) {
    for (scene::ISceneNode* child : node->getChildren()) {
        const scene::ESCENE_NODE_TYPE type = child->getType();
        if (type == typeId("emty"))
            markRevertibleFromChildren(child);
        if (type == typeId("trge")) {
            const TriggerAction* childAction = static_cast<TriggerEventObject*>(child)->getAction();
            if (childAction && childAction->canRevert())
                revertible = true;
        }
    }
}
