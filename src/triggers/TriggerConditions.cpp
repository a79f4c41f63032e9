// The sixteen trigger conditions: each sets ConditionMet from the trigger's keys.
#include "triggers/TriggerObject.h"

#include "characters/CharacterObject.h"
#include "characters/SuspicionMeter.h"
#include "characters/VisionCone.h"
#include "core/Globals.h"
#include "core/SoundManager.h"
#include "level/LevelLimits.h"
#include "level/LevelManager.h"
#include "level/NodeHelpers.h"
#include "level/SaveManager.h"
#include "level/SoundObject.h"
#include "level/VariableObject.h"
#include "player/InputDevice.h"
#include "phys/RigidBody.h"
#include "physics/objects/PhysicsObject.h"
#include "player/InputManager.h"
#include "player/LimbControl.h"
#include "player/PlayerControls.h"
#include "player/PlayerObject.h"

#include <algorithm>

using namespace irr;

namespace {

bool nodeInContacts(const TriggerContactList& list, scene::ISceneNode* node) {
    for (const TriggerContact& contact : list)
        if (contact.node == node)
            return true;
    return false;
}

// Player 0's first controls, or the default controls.
PlayerControls* conditionControls() { return inputManager ? inputManager->getActiveControls() : nullptr; }

// The PlayerIndex filter: 0 any player, n the player with index n-1.
bool passesPlayerFilter(s32 playerIndex, scene::ISceneNode* playerNode) {
    if (playerIndex == 0)
        return true;
    if (!playerNode || playerNode->getType() != typeId("plr1"))
        return false;
    s32 index = 0;
    return offsetLevelValue(playerIndex, -1, index) &&
           static_cast<PlayerObject*>(playerNode)->getPlayerIndex() == index;
}

scene::ISceneNode* limbOwnerOf(scene::ISceneNode* limb) { return getLimbOwner(limb); }

// Whether the actor is a segment actor of player 0's limb on that side.
bool isSideLimbActor(bool arms, s32 side, phys::Actor* actor) {
    PlayerObject* player = getPlayer(0);
    if (!player || !actor || side < 0 || side > 1)
        return false;
    const LimbSet limbs = arms ? player->getArms() : player->getLegs();
    return limbs.sides[side] && limbHasActor(limbs.sides[side], actor);
}

// The dynamic rigid body of the physics object behind a node, or null.
phys::RigidDynamic* dynamicBodyOf(PhysicsObject* object) {
    phys::RigidActor* actor = object ? object->getActor() : nullptr;
    return actor ? actor->asRigidDynamic() : nullptr;
}

irr::core::vector3df toVector(const phys::Vec3& v) { return {v.x, v.y, v.z}; }

} // namespace

void TriggerObject::collectWatchedNodes() {
    if (watchedNodes.empty())
        collectExpressionNodes(objectsTree.get(), watchedNodes);
}

void TriggerObject::collectExcludedNodes() {
    if (excludedNodes.empty())
        collectExpressionNodes(excludedTree.get(), excludedNodes);
}

bool TriggerObject::isExcluded(scene::ISceneNode* node) const {
    return std::find(excludedNodes.begin(), excludedNodes.end(), node) != excludedNodes.end();
}

bool TriggerObject::objectsTreeValue(const TriggerContactList* contacts, bool outside, s32 playerIndex) {
    if (!objectsTree)
        return false;
    ExpressionContext& context = expressionContext();
    context.contacts = contacts;
    context.outside = outside;
    context.playerIndex = playerIndex;
    const bool value = objectsTree->evaluate();
    context.contacts = nullptr;
    context.outside = false;
    context.playerIndex = 0;
    return value;
}

void TriggerObject::evaluateObjectsTree(const TriggerContactList* contacts, bool outside, s32 playerIndex) {
    ConditionMet = objectsTreeValue(contacts, outside, playerIndex);
}

bool TriggerObject::isTriggerTargetObject(const TriggerContact& contact, bool body, s32 armsSide, s32 legsSide) const {
    scene::ISceneNode* node = contact.node;
    if (!node)
        return false;
    if (isHoldableKind(node))
        return true;
    const scene::ESCENE_NODE_TYPE type = node->getType();
    if (type == typeId("plr1"))
        return body && passesPlayerFilter(PlayerIndex, node);
    if (type == typeId("arms")) {
        if (armsSide == TriggerSide::Either)
            return true;
        if (armsSide == TriggerSide::Right || armsSide == TriggerSide::Left)
            return isSideLimbActor(true, armsSide, contact.otherActor) &&
                   passesPlayerFilter(PlayerIndex, limbOwnerOf(node));
        return false;
    }
    if (type == typeId("legs")) {
        if (legsSide == TriggerSide::Either)
            return passesPlayerFilter(PlayerIndex, limbOwnerOf(node));
        if (legsSide == TriggerSide::Right || legsSide == TriggerSide::Left)
            return isSideLimbActor(false, legsSide, contact.otherActor) &&
                   passesPlayerFilter(PlayerIndex, limbOwnerOf(node));
    }
    return false;
}

// 2 and 3: a player part (or any physics object) inside the volume.
void TriggerObject::checkPlayerCollision() {
    bool found = false;
    bool leftLeg = false, rightLeg = false, leftArm = false, rightArm = false;
    collidingPlayer = nullptr;
    for (const TriggerContact& contact : getActiveContactList()) {
        if (!contact.node)
            continue;
        bool counts = isTriggerTargetObject(contact, OnBodyCollision, OnArmsCollision, OnLegsCollision);
        if (OnLegsCollision == TriggerSide::Both) {
            leftLeg = leftLeg || isTriggerTargetObject(contact, OnBodyCollision, OnArmsCollision, TriggerSide::Left);
            rightLeg = rightLeg || isTriggerTargetObject(contact, OnBodyCollision, OnArmsCollision, TriggerSide::Right);
        }
        if (OnArmsCollision == TriggerSide::Both) {
            leftArm = leftArm || isTriggerTargetObject(contact, OnBodyCollision, TriggerSide::Left, OnLegsCollision);
            rightArm = rightArm || isTriggerTargetObject(contact, OnBodyCollision, TriggerSide::Right, OnLegsCollision);
        }
        counts = counts || (leftLeg && rightLeg) || (leftArm && rightArm);
        if (counts) {
            const scene::ESCENE_NODE_TYPE type = contact.node->getType();
            if (type == typeId("arms") || type == typeId("legs"))
                collidingPlayer = limbOwnerOf(contact.node);
            else if (type == typeId("plr1"))
                collidingPlayer = contact.node;
            found = true;
            break;
        }
    }
    ConditionMet = getCondition() == TriggerCondition::OnPlayerCollide ? found : !found;
    snapshotContacts();
}

bool TriggerObject::countsAsAnyObject(const TriggerContact& contact) const {
    return !objectsTree && isPhysicalNode(contact.node);
}

// Whether what is inside the volume now meets the object-inside condition.
bool TriggerObject::objectsInside() {
    collectExcludedNodes();
    if (objectsTree)
        return objectsTreeValue(&getActiveContactList(), false, 0);
    PlayerObject* player0 = getPlayer(0);
    const bool playerExcluded = player0 && isExcluded(player0);
    for (const TriggerContact& contact : mainContacts) {
        if (!contact.node || !contact.node->isVisible() || isExcluded(contact.node))
            continue;
        if (isPlayerBodyPart(contact.node)) {
            if (!playerExcluded && isTriggerTargetObject(contact, OnBodyCollision, OnArmsCollision, OnLegsCollision))
                return true;
        } else if (isPhysicalNode(contact.node)) {
            return true;
        }
    }
    return false;
}

bool TriggerObject::conditionHoldsNow() {
    // In its first three frames a trigger evaluates nothing; the count has moved on by one
    // since the frame's evaluation.
    if (getCondition() != TriggerCondition::OnObjectInside || (ConditionMet && OnceCondMetAlwaysMet) ||
        frameCounter <= 3)
        return ConditionMet;
    // The frame's other gates as the frame's evaluation applies them; the minimum time runs
    // only in frames, so a condition that needs one holds between them only once it has run.
    return IsActive && objectsInside() && modeConditionHolds() && deviceConditionHolds() &&
           PreCondTimer >= MinimumTimeUntilMet;
}

// 4: objects inside the volume, as a whole or one by one.
void TriggerObject::checkObjectInside() {
    bool met = objectsInside();

    if (ApplyEventPerObject && !(ConditionMet && OnceCondMetAlwaysMet)) {
        const TriggerContactList current = getActiveContactList();
        const TriggerContactList previous = getActivePreviousList();
        auto named = [&](const TriggerContact& contact) {
            return countsAsAnyObject(contact) || expressionContainsID(objectsTree.get(), contact.node->getID());
        };
        bool stop = false;
        for (const TriggerContact& contact : current) {
            if (!contact.node || !contact.node->isVisible() || isExcluded(contact.node) ||
                nodeInContacts(previous, contact.node) || !named(contact))
                continue;
            TriggerEventInfo event = makeTriggerEventInfo(contact.node, contact.entryPosition);
            event.secondVector = contact.secondVector;
            fireEvent(event);
            if (OnceCondMetAlwaysMet) {
                PrevConditionMet = met = true;
                stop = true;
                break;
            }
        }
        for (const TriggerContact& contact : previous) {
            if (stop)
                break;
            if (!contact.node || !contact.node->isVisible() || isExcluded(contact.node) ||
                nodeInContacts(current, contact.node) || !named(contact))
                continue;
            TriggerEventInfo event = makeEmptyTriggerEventInfo(contact.node);
            if (action && action->UndoOnTriggerRevert)
                action->revert(event);
            revertChildEvents(this, event);
            if (OnceCondMetAlwaysMet) {
                PrevConditionMet = met = true;
                break;
            }
        }
    }
    ConditionMet = met;
    snapshotContacts();
}

// 5: named objects outside the volume.
void TriggerObject::checkObjectOutside() {
    bool met = objectsTree ? objectsTreeValue(&getActiveContactList(), true, 0) : false;
    if (ApplyEventPerObject && !(ConditionMet && OnceCondMetAlwaysMet)) {
        const TriggerContactList current = getActiveContactList();
        const TriggerContactList previous = getActivePreviousList();
        for (const TriggerContact& contact : previous) {
            if (!contact.node || nodeInContacts(current, contact.node) ||
                !expressionContainsID(objectsTree.get(), contact.node->getID()))
                continue;
            TriggerEventInfo event = makeEmptyTriggerEventInfo(contact.node);
            fireEvent(event);
            if (OnceCondMetAlwaysMet) {
                PrevConditionMet = met = true;
                break;
            }
        }
    }
    ConditionMet = met;
    snapshotContacts();
}

// 6: a named object is held.
void TriggerObject::checkObjectGrabbed() { evaluateObjectsTree(nullptr, false, PlayerIndex); }

// 7: met for one evaluation after the last held object is let go.
void TriggerObject::checkObjectReleased() {
    const bool held = objectsTreeValue(nullptr, false, PlayerIndex);
    if (held && !releasedObject)
        releasedObject = expressionContext().lastMatched;
    if (ConditionMet)
        releasedObject = nullptr;
    ConditionMet = !held && releasedObject != nullptr;
}

// 8: a watched object moves faster or slower than the thresholds.
void TriggerObject::checkObjectVelocity() {
    collectWatchedNodes();
    bool met = false;
    for (scene::ISceneNode* node : watchedNodes) {
        if (!node || !(isHoldableKind(node) || node->getType() == typeId("plr1")))
            continue;
        phys::RigidDynamic* body = dynamicBodyOf(findPhysicsObjectOfNode(node));
        if (!body)
            continue;
        if (LinearVelocity >= 0.0f) {
            const f32 v2 = toVector(body->getLinearVelocity()).getLengthSQ();
            const f32 t2 = LinearVelocity * LinearVelocity;
            met = met || (LinearCompareMode == TriggerCompare::GreaterThan ? v2 > t2 : v2 < t2);
        }
        if (AngularVelocity >= 0.0f) {
            const f32 w2 = toVector(body->getAngularVelocity()).getLengthSQ();
            const f32 t2 = AngularVelocity * AngularVelocity;
            met = met || (AngularCompareMode == TriggerCompare::GreaterThan ? w2 > t2 : w2 < t2);
        }
    }
    ConditionMet = met;
    snapshotContacts();
}

// 9: the collision object touched something (named, not excluded, thrown).
void TriggerObject::checkObjectCollision() {
    if (!collisionObject) {
        ConditionMet = false;
        return;
    }
    // The nodes the object touched during the current frame; a null entry stands for player 0.
    std::vector<scene::ISceneNode*> touched;
    if (PhysicsObject* object = findPhysicsObjectOfNode(collisionObject))
        for (PhysicsObject* other : object->body().touchList.all())
            touched.push_back(other);
    auto isThrown = [](scene::ISceneNode* node) {
        PhysicsObject* object = findPhysicsObjectOfNode(node);
        return object && object->thrown;
    };
    auto clearThrown = [](scene::ISceneNode* node) {
        if (PhysicsObject* object = findPhysicsObjectOfNode(node))
            object->thrown = false;
    };
    auto touchedNode = [&](scene::ISceneNode* node) {
        return std::find(touched.begin(), touched.end(), node) != touched.end();
    };
    collectExcludedNodes();
    bool met = false;
    if (!objectsTree && !excludedTree) {
        if (HasToBeThrown) {
            for (scene::ISceneNode* node : touched)
                if (isThrown(node)) {
                    clearThrown(node);
                    met = true;
                    break;
                }
        } else {
            met = !touched.empty();
        }
    } else if (!objectsTree) {
        // Something other than the excluded nodes; a null entry stands for player 0.
        if (excludedNodes.empty()) {
            met = !touched.empty();
        } else {
            for (scene::ISceneNode* node : touched) {
                scene::ISceneNode* who = node ? node : static_cast<scene::ISceneNode*>(getPlayer(0));
                if (!isExcluded(who))
                    met = true;
            }
        }
    } else {
        collectWatchedNodes();
        for (scene::ISceneNode* node : watchedNodes) {
            if (HasToBeThrown && !isThrown(node))
                continue;
            if (!touchedNode(node))
                continue;
            if (met && isExcluded(node))
                continue;
            met = true;
            if (HasToBeThrown)
                clearThrown(node);
        }
    }
    ConditionMet = met;
    snapshotContacts();
}

// 10: a watched object is in the wanted physics state.
void TriggerObject::checkObjectPhysicsState() {
    collectWatchedNodes();
    bool met = false;
    const bool wantKinematic = PhysicsState == 1;
    for (scene::ISceneNode* node : watchedNodes) {
        PhysicsObject* object = node && isHoldableKind(node) ? findPhysicsObjectOfNode(node) : nullptr;
        phys::RigidDynamic* body = dynamicBodyOf(object);
        if (!body)
            continue;
        const core::vector3df position = toVector(body->getGlobalPose().p);
        const bool kinematic = object->getPhysicsState() == ::PhysicsState::Kinematic;
        if (kinematic == wantKinematic) {
            met = true;
            lastContactPosition = position;
        }
        if (ApplyEventPerObject) {
            // This frame's and the previous frame's state, as the object's update keeps them.
            const s32 wanted = wantKinematic ? 1 : 2;
            const PhysicsBodySettings& states = object->body();
            if (states.currentPhysicsState == wanted && states.lastPhysicsState != wanted) {
                TriggerEventInfo event = makeTriggerEventInfo(node, position);
                fireEvent(event);
            }
        }
    }
    ConditionMet = met;
    snapshotContacts();
}

// 11: a variable compared with a value or another variable.
void TriggerObject::checkVariableCondition() {
    if (!variable) {
        ConditionMet = false;
        return;
    }
    const f32 reference = compareVariable ? compareVariable->Value : CompareValue;
    ConditionMet = compareTriggerValue(variable->Value, reference, VariableComparison);
}

// 12, Seen by Character: a named character sees the player.
void TriggerObject::checkSeenByCharacter() {
    collectExcludedNodes();
    bool met = false;
    for (scene::ISceneNode* node : excludedNodes) {
        CharacterObject* character = asCharacter(node);
        auto* cone = character ? static_cast<VisionCone*>(character->getVisionCone()) : nullptr;
        if (cone && cone->hasNoticed())
            met = true;
    }
    ConditionMet = met;
}

// 12, Suspicion Gained: the suspicion record gained in the frame before (the meter's update,
// which runs before the level update, moves the raise flag there).
void TriggerObject::checkSuspicionGained() {
    const SuspicionMeter* record = levelManager ? levelManager->getPlayerSuspicion(0) : nullptr;
    ConditionMet = record && record->gainedLastFrame;
}

// 13: an attribute of the save compared by its stored type.
void TriggerObject::checkGameSaveAttribute() {
    io::IAttributes* group = nullptr;
    if (saveManager) {
        const bool story = !AttributeOnlyStoryMode || (levelManager && levelManager->isStoryRun());
        group = saveManager->getModeGroup(story);
    }
    const s32 index = group ? group->findAttribute(GameAttributeName.c_str()) : -1;
    if (index < 0) {
        ConditionMet = false;
        return;
    }
    const io::E_ATTRIBUTE_TYPE type = group->getAttributeType(index);
    if (type == io::EAT_STRING) {
        ConditionMet = GameAttributeValue == group->getAttributeAsString(index);
        return;
    }
    f32 value = 0.0f;
    if (type == io::EAT_INT)
        value = static_cast<f32>(group->getAttributeAsInt(index));
    else if (type == io::EAT_FLOAT)
        value = group->getAttributeAsFloat(index);
    ConditionMet = compareTriggerValue(value, CompareValue, VariableComparison);
}

// 14: the player's input.
void TriggerObject::checkPlayerInput() {
    PlayerObject* player = getPlayer(0);
    switch (PlayerInput) {
    case TriggerPlayerInput::TentaroMovement:
        ConditionMet = player && player->isMoving();
        break;
    case TriggerPlayerInput::DesiredGrabbing: {
        PlayerControls* controls = conditionControls();
        ConditionMet = controls && controls->isGrabHeld(true);
        break;
    }
    case TriggerPlayerInput::SwitchModes:
        ConditionMet = player && (player->getControlMode() != latchedMode || !player->isModeSettled());
        break;
    case TriggerPlayerInput::DesiredSwitchModes: {
        PlayerControls* controls = conditionControls();
        ConditionMet = controls && controls->isModeSwitchPressed();
        break;
    }
    case TriggerPlayerInput::DeviceInput: {
        if (!inputDevice) {
            ConditionMet = false;
            break;
        }
        ButtonMapping mapping;
        mapping.device = inputDevice;
        mapping.instance = 0;
        mapping.buttonIndex = InputButton;
        ConditionMet = InputCondition == 1 ? inputDevice->isDown(mapping) : inputDevice->wasPressed(mapping);
        break;
    }
    default:
        break;
    }
    if (player)
        latchedMode = player->getControlMode();
}

// 15: a named voice track plays (or has a line following it).
void TriggerObject::checkActiveVoice() {
    SoundObject* sound = soundManager ? soundManager->getNamedEntry(VoiceTrackID.c_str()) : nullptr;
    ConditionMet = sound && (sound->isPlaying() || sound->nextInConversation != nullptr);
}
