#include "triggers/TriggerObject.h"

#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "level/AttributeExtras.h"
#include "level/NodeHelpers.h"
#include "phys/Actor.h"
#include "phys/RigidBody.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsManager.h"
#include "physics/world/PhysicsUserData.h"
#include "player/InputDevice.h"

#include <cmath>

using namespace irr;

namespace triggerNames {
const char* const conditions[17] = {"Manual Activation Only", "Immediately", "On Player Collide",
                                    "On Player Outside", "On Object Inside", "On Object Outside",
                                    "On Object Grabbed", "On Object Released", "On Object Velocity",
                                    "On Object Collision", "On Object Physics State", "On Variable Condition",
                                    "On Tentaro Event", "On Game Save Attribute", "On Player Input",
                                    "On Active Voice", nullptr};
const char* const comparisons[4] = {"Greater Than", "Less Than", "Equal To", nullptr};
const char* const velocityModes[3] = {"Greater Than", "Less Than", nullptr};
const char* const modes[4] = {"Arms", "Legs", "Default", nullptr};
const char* const physicsStates[3] = {"Dynamic", "Kinematic", nullptr};
const char* const sides[6] = {"Right", "Left", "None", "Either", "Both", nullptr};
const char* const boundTypes[6] = {"Box", "Sphere", "Cylinder", "Capsule", "Convex", nullptr};
const char* const playerInputs[6] = {"Tentaro Movement", "Desired Grabbing", "Switch Modes",
                                     "Desired Switch Modes", "Device Input", nullptr};
const char* const inputConditions[3] = {"On Pressed", "Is Pressed", nullptr};
const char* const tentaroEvents[3] = {"Seen by Character", "Suspicion Gained", nullptr};
const char* const attributeTypes[4] = {"INT", "FLOAT", "STRING", nullptr};
} // namespace triggerNames

namespace {

// An enumeration value written by its name; a value outside the table writes the first name.
void addTriggerEnum(io::IAttributes* out, const char* key, s32 value, const char* const* names, s32 count) {
    out->addEnum(key, names[value >= 0 && value < count ? value : 0], names);
}

void readTriggerEnum(io::IAttributes* in, const char* key, const char* const* names, s32& value) {
    readEnumIfPresent(in, key, names, value);
}

bool readTriggerText(io::IAttributes* in, const char* key, core::stringc& value) {
    return readIfPresent(in, key, value);
}

// An older bool side key: true is Either, false None.
void readOlderSideKey(io::IAttributes* in, const char* key, s32& side) {
    bool value = false;
    if (readIfPresent(in, key, value))
        side = value ? TriggerSide::Either : TriggerSide::None;
}

bool isTriggerKindType(scene::ESCENE_NODE_TYPE type) {
    return type == typeId("trgr") || type == typeId("cmrv") || type == typeId("cond") || type == typeId("frce") ||
           type == typeId("chck");
}

} // namespace

bool isTriggerKind(scene::ISceneNode* node) { return node && isTriggerKindType(node->getType()); }

bool isHoldableKind(scene::ISceneNode* node) {
    if (!node)
        return false;
    const scene::ESCENE_NODE_TYPE type = node->getType();
    return type == typeId("phsx") || type == typeId("apsx") || type == typeId("ties") || type == typeId("crct");
}

TriggerObject* asTrigger(scene::ISceneNode* node) {
    return isTriggerKind(node) ? static_cast<TriggerObject*>(node) : nullptr;
}

bool compareTriggerValue(f32 value, f32 reference, s32 mode) {
    switch (mode) {
    case TriggerCompare::GreaterThan:
        return value > reference;
    case TriggerCompare::LessThan:
        return value < reference;
    case TriggerCompare::EqualTo:
        return reference - 1e-6f <= value && value <= reference + 1e-6f;
    default:
        return false;
    }
}

TriggerObject::TriggerObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : LevelObject(parent, manager, id), action(new TriggerAction(0, this)),
      userData(std::make_unique<PhysicsUserData>(this)) {}

TriggerObject::~TriggerObject() {
    if (convexMesh)
        convexMesh->drop();
    releaseVolume();
    userData.reset();
    // The evaluation context may still point at this trigger's contacts.
    resetExpressionContext();
}

const core::aabbox3df& TriggerObject::getBoundingBox() const { return triggerBox; }

void TriggerObject::updateAbsolutePosition() {
    // A trigger without a volume keeps the transformation of its first frame, unless an
    // action reads it (a volume follows its node and is synced to it every active frame).
    if (!mainActor && frameCounter > 0 && !keepUpdatingTransform)
        return;
    LevelObject::updateAbsolutePosition();
}

bool TriggerObject::usesVolume() const {
    const auto condition = getCondition();
    return condition == TriggerCondition::OnPlayerCollide || condition == TriggerCondition::OnPlayerOutside ||
           condition == TriggerCondition::OnObjectInside || condition == TriggerCondition::OnObjectOutside;
}

void TriggerObject::setAction(TriggerAction* newAction) { action.reset(newAction); }

void TriggerObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    writeTriggerKeys(out, options);
}

void TriggerObject::writeTriggerKeys(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    const bool editor = isEditorWrite(options);
    if (usesVolume())
        writeBoundKeys(out);
    addObjectIDList(out, "TriggerStartExpression", TriggerStartExpression.c_str());
    out->addBool("TriggerStartOnSuspicionLevel", TriggerStartOnSuspicionLevel);
    if (TriggerStartOnSuspicionLevel) {
        addTriggerEnum(out, "ComparisonType", ComparisonType, triggerNames::comparisons, 3);
        out->addFloat("SuspicionAmount", SuspicionAmount);
    }
    if (ActiveInEditorOnly || editor)
        out->addBool("ActiveInEditorOnly", ActiveInEditorOnly);
    out->addBool("OnceActiveAlwaysActive", OnceActiveAlwaysActive);
    addTriggerEnum(out, "TriggerCondition", TriggerConditionIndex, triggerNames::conditions, 16);

    auto writeSides = [&] {
        out->addBool("OnBodyCollision", OnBodyCollision);
        addTriggerEnum(out, "OnArmsCollision", OnArmsCollision, triggerNames::sides, 5);
        addTriggerEnum(out, "OnLegsCollision", OnLegsCollision, triggerNames::sides, 5);
    };
    auto writePlayerIndex = [&] {
        if (PlayerIndex != 0 || editor)
            out->addInt("PlayerIndex", PlayerIndex);
    };
    switch (getCondition()) {
    case TriggerCondition::OnPlayerCollide:
    case TriggerCondition::OnPlayerOutside:
        writeSides();
        writePlayerIndex();
        break;
    case TriggerCondition::OnObjectInside:
        addObjectIDList(out, "PhysicsObjectIDs", PhysicsObjectIDs.c_str());
        if (ApplyEventPerObject || PhysicsObjectIDs.empty())
            addObjectIDList(out, "ExcludedObjectIDs", ExcludedObjectIDs.c_str());
        out->addBool("ApplyEventPerObject", ApplyEventPerObject);
        if (!ApplyEventPerObject && PhysicsObjectIDs.empty())
            writeSides();
        break;
    case TriggerCondition::OnObjectOutside:
        addObjectIDList(out, "PhysicsObjectIDs", PhysicsObjectIDs.c_str());
        out->addBool("ApplyEventPerObject", ApplyEventPerObject);
        break;
    case TriggerCondition::OnObjectGrabbed:
    case TriggerCondition::OnObjectReleased:
        addObjectIDList(out, "PhysicsObjectIDs", PhysicsObjectIDs.c_str());
        out->addBool("ApplyEventPerObject", ApplyEventPerObject);
        writePlayerIndex();
        break;
    case TriggerCondition::OnObjectVelocity:
        addObjectIDList(out, "PhysicsObjectIDs", PhysicsObjectIDs.c_str());
        addTriggerEnum(out, "LinearCompareMode", LinearCompareMode, triggerNames::velocityModes, 2);
        out->addFloat("LinearVelocity", LinearVelocity);
        addTriggerEnum(out, "AngularCompareMode", AngularCompareMode, triggerNames::velocityModes, 2);
        out->addFloat("AngularVelocity", AngularVelocity);
        break;
    case TriggerCondition::OnObjectCollision:
        addObjectReference(out, "CollisionObjectID", CollisionObjectID);
        addObjectIDList(out, "PhysicsObjectIDs", PhysicsObjectIDs.c_str());
        addObjectIDList(out, "ExcludedObjectIDs", ExcludedObjectIDs.c_str());
        out->addFloat("CollisionThreshold", CollisionThreshold);
        out->addBool("HasToBeThrown", HasToBeThrown);
        break;
    case TriggerCondition::OnObjectPhysicsState:
        addObjectIDList(out, "PhysicsObjectIDs", PhysicsObjectIDs.c_str());
        addTriggerEnum(out, "PhysicsState", PhysicsState, triggerNames::physicsStates, 2);
        out->addBool("ApplyEventPerObject", ApplyEventPerObject);
        break;
    case TriggerCondition::OnVariableCondition:
        addObjectReference(out, "VariableID", VariableID);
        addTriggerEnum(out, "VariableComparison", VariableComparison, triggerNames::comparisons, 3);
        out->addFloat("CompareValue", CompareValue);
        addObjectReference(out, "CompareVariableID", CompareVariableID);
        break;
    case TriggerCondition::OnTentaroEvent:
        addTriggerEnum(out, "TentaroEvent", TentaroEvent, triggerNames::tentaroEvents, 2);
        if (TentaroEvent == 0)
            addObjectIDList(out, "CharacterObjectIDs", ExcludedObjectIDs.c_str());
        break;
    case TriggerCondition::OnGameSaveAttribute:
        addTriggerEnum(out, "GameAttributeType", GameAttributeType, triggerNames::attributeTypes, 3);
        out->addString("GameAttributeName", GameAttributeName.c_str());
        addTriggerEnum(out, "VariableComparison", VariableComparison, triggerNames::comparisons, 3);
        if (GameAttributeType == TriggerAttributeType::String)
            out->addString("GameAttributeValue", GameAttributeValue.c_str());
        else
            out->addFloat("GameAttributeValue", CompareValue);
        out->addBool("AttributeOnlyStoryMode", AttributeOnlyStoryMode);
        break;
    case TriggerCondition::OnPlayerInput:
        addTriggerEnum(out, "PlayerInput", PlayerInput, triggerNames::playerInputs, 5);
        if (PlayerInput == TriggerPlayerInput::DeviceInput) {
            out->addString("InputDevice", GameAttributeName.c_str());
            out->addInt("InputButton", InputButton);
            addTriggerEnum(out, "InputCondition", InputCondition, triggerNames::inputConditions, 2);
        }
        break;
    case TriggerCondition::OnActiveVoice:
        out->addString("VoiceTrackID", VoiceTrackID.c_str());
        break;
    default:
        break;
    }

    addTriggerEnum(out, "ModeCondition", ModeCondition, triggerNames::modes, 3);
    if (editor || DeviceCondition.size() > 1)
        out->addString("DeviceCondition", DeviceCondition.c_str());
    out->addFloat("MinimumTimeUntilMet", MinimumTimeUntilMet);
    if (MinimumTimeUntilMet > 0.0f)
        out->addBool("ResetTimerIfUnmet", ResetTimerIfUnmet);
    const s32 actionType = action ? action->getType() : 0;
    addTriggerEnum(out, "OnTriggerEvent", actionType, triggerActionNames, triggerActionCount);
    if (action)
        action->serializeAttributes(out, options);
    out->addBool("OnceCondMetAlwaysMet", OnceCondMetAlwaysMet);
    out->addBool("CreateSkin", CreateSkin);
    out->addBool("GetAccurateContacts", GetAccurateContacts);
    if (getType() == typeId("trgr"))
        out->addBool("ReweightConditionals", ReweightConditionals);
    if (ApplyEventPerObject && !CreateSkin) {
        out->addBool("LimitPerObject", LimitPerObject);
        if (LimitPerObject)
            out->addInt("LimitPerObjectCount", LimitPerObjectCount);
    }

    // The run-time state goes into checkpoints written during play. A met Immediately
    // trigger that does not latch is saved unmet, so that it fires again after the reload.
    if (isSimulationActive()) {
        const bool refires = getCondition() == TriggerCondition::Immediately && ConditionMet && !OnceCondMetAlwaysMet;
        out->addBool("ConditionMet", refires ? false : ConditionMet);
        out->addBool("IsActive", IsActive);
        out->addFloat("PreCondTimer", PreCondTimer);
        out->addInt("ValidObjectCount", 0);
    }
}

void TriggerObject::writeBoundKeys(io::IAttributes* out) const {
    addTriggerEnum(out, "BoundType", BoundType, triggerNames::boundTypes, 5);
    if (BoundType == TriggerBound::Sphere) {
        out->addFloat("Radius", Radius);
    } else if (BoundType == TriggerBound::Cylinder || BoundType == TriggerBound::Capsule) {
        out->addFloat("Radius", Radius);
        out->addFloat("Height", Height);
    } else if (BoundType == TriggerBound::Convex) {
        addFilePath(out, "ColMeshFileName", ColMeshFileName.c_str());
    }
}

void TriggerObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    LevelObject::deserializeAttributes(in, options);
    readTriggerKeys(in, options);
}

void TriggerObject::readTriggerKeys(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    readTriggerEnum(in, "BoundType", triggerNames::boundTypes, BoundType);
    readTriggerText(in, "ColMeshFileName", ColMeshFileName);
    readIfPresent(in, "Radius", Radius);
    readIfPresent(in, "Height", Height);
    readIfPresent(in, "ActiveInEditorOnly", ActiveInEditorOnly);
    readIfPresent(in, "OnceActiveAlwaysActive", OnceActiveAlwaysActive);
    readTriggerText(in, "TriggerStartExpression", TriggerStartExpression);
    readIfPresent(in, "TriggerStartOnSuspicionLevel", TriggerStartOnSuspicionLevel);
    readTriggerEnum(in, "ComparisonType", triggerNames::comparisons, ComparisonType);
    readIfPresent(in, "SuspicionAmount", SuspicionAmount);
    readTriggerEnum(in, "TriggerCondition", triggerNames::conditions, TriggerConditionIndex);
    readTriggerEnum(in, "ModeCondition", triggerNames::modes, ModeCondition);
    readTriggerText(in, "DeviceCondition", DeviceCondition);
    readIfPresent(in, "ApplyEventPerObject", ApplyEventPerObject);
    readIfPresent(in, "CollisionObjectID", CollisionObjectID);
    readTriggerText(in, "PhysicsObjectIDs", PhysicsObjectIDs);
    readTriggerText(in, "ExcludedObjectIDs", ExcludedObjectIDs);
    readTriggerText(in, "CharacterObjectIDs", ExcludedObjectIDs);
    readIfPresent(in, "CollisionThreshold", CollisionThreshold);
    readIfPresent(in, "HasToBeThrown", HasToBeThrown);
    readIfPresent(in, "VelocityValue", LinearVelocity);
    readIfPresent(in, "LinearVelocity", LinearVelocity);
    readIfPresent(in, "AngularVelocity", AngularVelocity);
    readTriggerEnum(in, "LinearCompareMode", triggerNames::velocityModes, LinearCompareMode);
    readTriggerEnum(in, "AngularCompareMode", triggerNames::velocityModes, AngularCompareMode);
    readTriggerEnum(in, "PhysicsState", triggerNames::physicsStates, PhysicsState);
    readIfPresent(in, "DelayTimerSeconds", MinimumTimeUntilMet);
    readIfPresent(in, "MinimumTimeUntilMet", MinimumTimeUntilMet);
    readIfPresent(in, "ResetTimerIfUnmet", ResetTimerIfUnmet);
    readIfPresent(in, "OnceCondMetAlwaysMet", OnceCondMetAlwaysMet);
    readIfPresent(in, "ReweightConditionals", ReweightConditionals);
    if (readIfPresent(in, "ConditionMet", ConditionMet))
        PrevConditionMet = ConditionMet;
    readIfPresent(in, "PreCondTimer", PreCondTimer);
    readIfPresent(in, "IsActive", IsActive);
    readIfPresent(in, "OnBodyCollision", OnBodyCollision);
    readOlderSideKey(in, "OnArmCollision", OnArmsCollision);
    readTriggerEnum(in, "OnArmsCollision", triggerNames::sides, OnArmsCollision);
    readOlderSideKey(in, "OnFootCollision", OnLegsCollision);
    if (!in->existsAttribute("OnLegsCollision") && getCondition() == TriggerCondition::OnObjectInside)
        OnLegsCollision = TriggerSide::Either;
    readTriggerEnum(in, "OnLegsCollision", triggerNames::sides, OnLegsCollision);
    readIfPresent(in, "PlayerIndex", PlayerIndex);
    readIfPresent(in, "VariableID", VariableID);
    readIfPresent(in, "CompareVariableID", CompareVariableID);
    readTriggerEnum(in, "VariableComparison", triggerNames::comparisons, VariableComparison);
    readIfPresent(in, "CompareValue", CompareValue);
    readTriggerEnum(in, "GameAttributeType", triggerNames::attributeTypes, GameAttributeType);
    readTriggerText(in, "GameAttributeName", GameAttributeName);
    if (GameAttributeType == TriggerAttributeType::String)
        readTriggerText(in, "GameAttributeValue", GameAttributeValue);
    else
        readIfPresent(in, "GameAttributeValue", CompareValue);
    readIfPresent(in, "AttributeOnlyStoryMode", AttributeOnlyStoryMode);
    if (getCondition() == TriggerCondition::OnGameSaveAttribute && GameAttributeType == TriggerAttributeType::String)
        VariableComparison = TriggerCompare::EqualTo;
    readTriggerEnum(in, "PlayerInput", triggerNames::playerInputs, PlayerInput);
    if (PlayerInput == TriggerPlayerInput::DeviceInput) {
        GameAttributeName = in->getAttributeAsString("InputDevice");
        InputButton = in->getAttributeAsInt("InputButton");
        InputCondition = 0;
        readTriggerEnum(in, "InputCondition", triggerNames::inputConditions, InputCondition);
        inputDevice = InputDevice::findByName(GameAttributeName.c_str());
    }
    readTriggerEnum(in, "TentaroEvent", triggerNames::tentaroEvents, TentaroEvent);
    readTriggerText(in, "VoiceTrackID", VoiceTrackID);
    readIfPresent(in, "CreateSkin", CreateSkin);
    readIfPresent(in, "GetAccurateContacts", GetAccurateContacts);
    readIfPresent(in, "LimitPerObject", LimitPerObject);
    readIfPresent(in, "LimitPerObjectCount", LimitPerObjectCount);
    s32 actionType = action ? action->getType() : 0;
    readTriggerEnum(in, "OnTriggerEvent", triggerActionNames, actionType);
    if (!action || actionType != action->getType())
        action.reset(createTriggerAction(actionType, this));
    action->deserializeAttributes(in, options);
    buildVolume();
}

void TriggerObject::copyFrom(const TriggerObject& other) {
    triggerBox = other.triggerBox;
    TriggerConditionIndex = other.TriggerConditionIndex;
    ComparisonType = other.ComparisonType;
    SuspicionAmount = other.SuspicionAmount;
    OnceActiveAlwaysActive = other.OnceActiveAlwaysActive;
    OnceCondMetAlwaysMet = other.OnceCondMetAlwaysMet;
    OnLegsCollision = other.OnLegsCollision;
    OnArmsCollision = other.OnArmsCollision;
    OnBodyCollision = other.OnBodyCollision;
    PlayerIndex = other.PlayerIndex;
    VariableID = other.VariableID;
    VariableComparison = other.VariableComparison;
    CompareVariableID = other.CompareVariableID;
    CompareValue = other.CompareValue;
    LinearVelocity = other.LinearVelocity;
    AngularVelocity = other.AngularVelocity;
    LinearCompareMode = other.LinearCompareMode;
    AngularCompareMode = other.AngularCompareMode;
    PhysicsState = other.PhysicsState;
    GameAttributeType = other.GameAttributeType;
    GameAttributeName = other.GameAttributeName;
    GameAttributeValue = other.GameAttributeValue;
    AttributeOnlyStoryMode = other.AttributeOnlyStoryMode;
    PlayerInput = other.PlayerInput;
    TentaroEvent = other.TentaroEvent;
    InputButton = other.InputButton;
    InputCondition = other.InputCondition;
    ResetTimerIfUnmet = other.ResetTimerIfUnmet;
    TriggerStartOnSuspicionLevel = other.TriggerStartOnSuspicionLevel;
    PhysicsObjectIDs = other.PhysicsObjectIDs;
    ExcludedObjectIDs = other.ExcludedObjectIDs;
    TriggerStartExpression = other.TriggerStartExpression;
    MinimumTimeUntilMet = other.MinimumTimeUntilMet;
    ApplyEventPerObject = other.ApplyEventPerObject;
    ModeCondition = other.ModeCondition;
    DeviceCondition = other.DeviceCondition;
    CreateSkin = other.CreateSkin;
    GetAccurateContacts = other.GetAccurateContacts;
    BoundType = other.BoundType;
    ColMeshFileName = other.ColMeshFileName;
    Radius = other.Radius;
    Height = other.Height;
    CollisionObjectID = other.CollisionObjectID;
    CollisionThreshold = other.CollisionThreshold;
    LimitPerObject = other.LimitPerObject;
    LimitPerObjectCount = other.LimitPerObjectCount;
    ReweightConditionals = other.ReweightConditionals;
    VoiceTrackID = other.VoiceTrackID;
    inputDevice = other.inputDevice;
}

void TriggerObject::finishTriggerClone(TriggerObject* copy) const {
    LevelObject::cloneMembers(copy, const_cast<TriggerObject*>(this), copy->getSceneManager());
    copy->copyFrom(*this);
    if (action)
        copy->action.reset(action->clone(copy));
    copy->removeDebugChildren();
    copy->buildVolume();
    copy->setID(assignUniqueObjectID(copy));
}

scene::ISceneNode* TriggerObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new TriggerObject(newParent, newManager, ID);
    finishTriggerClone(copy);
    if (newParent)
        copy->drop();
    return copy;
}

// --- the volume ----------------------------------------------------------------------------

namespace {

// The actor's global pose (rotation in degrees); an invalid rotation leaves the actor.
void setVolumePose(phys::Actor* actor, const core::vector3df& position, const core::vector3df& rotationDegrees) {
    phys::RigidActor* rigid = actor ? actor->asRigidActor() : nullptr;
    const phys::Quat rotation = eulerDegreesToQuat(rotationDegrees);
    if (rigid && isPoseValid(rotation))
        rigid->setGlobalPose(phys::Transform(toPhys(position), rotation));
}

// Volumes that only the player sets off accept the player's body parts alone.
void setVolumeFilter(phys::Actor* actor, TriggerCondition condition) {
    phys::RigidActor* rigid = actor ? actor->asRigidActor() : nullptr;
    if (!rigid)
        return;
    const bool playerOnly =
        condition == TriggerCondition::OnPlayerCollide || condition == TriggerCondition::OnPlayerOutside;
    setActorFilterData(rigid, collisionCategory::TriggerVolume, playerOnly ? 0x3F00u : 0x0FFFFF87u);
}

} // namespace

void TriggerObject::releaseVolume() {
    for (phys::Actor** actor : {&mainActor, &skinActor}) {
        if (*actor && physicsManager)
            physicsManager->releaseActor(*actor, false);
        *actor = nullptr;
    }
}

phys::Actor* TriggerObject::createVolumeActor(const core::vector3df& halfExtents, scene::IMesh* mesh, bool simpleShape) {
    // Simple volumes report through trigger shapes; accurate ones collide and report their
    // contact points.
    phys::RigidDynamic* actor =
        physicsManager->createTriggerActor(BoundType, core::vector3df(), halfExtents, mesh, simpleShape);
    if (actor)
        actor->userData = getPhysicsUserData();
    return actor;
}

void TriggerObject::buildVolume() {
    if (!isSimulationActive())
        return;
    releaseVolume();
    if (!usesVolume())
        return;
    if (!physicsManager)
        return;
    LevelObject::updateAbsolutePosition();
    const core::matrix4& m = AbsoluteTransformation;
    core::vector3df scale;
    const bool axisAligned = std::fabs(m[1]) < 1e-6f && std::fabs(m[2]) < 1e-6f && std::fabs(m[4]) < 1e-6f &&
                             std::fabs(m[6]) < 1e-6f && std::fabs(m[8]) < 1e-6f && std::fabs(m[9]) < 1e-6f &&
                             m[0] > 0.0f && m[5] > 0.0f && m[10] > 0.0f;
    if (axisAligned)
        scale.set(m[0], m[5], m[10]);
    else
        scale.set(core::vector3df(m[0], m[1], m[2]).getLength(), core::vector3df(m[4], m[5], m[6]).getLength(),
                  core::vector3df(m[8], m[9], m[10]).getLength());
    core::vector3df half = scale * 0.5f;
    scene::IMesh* mesh = nullptr;
    switch (BoundType) {
    case TriggerBound::Sphere:
        half.set(Radius, Radius, Radius);
        break;
    case TriggerBound::Cylinder:
        half.set(Radius, Height, Radius);
        if (SceneManager)
            if (scene::IAnimatedMesh* cylinder = SceneManager->getMesh("Content/Models/Editor/Cylinder.obj"))
                mesh = cylinder->getMesh(0);
        break;
    case TriggerBound::Capsule:
        half.set(Radius, Height * 0.5f, Radius);
        break;
    case TriggerBound::Convex:
        if (!ColMeshFileName.empty() && SceneManager)
            if (scene::IAnimatedMesh* convex = SceneManager->getMesh(ColMeshFileName.c_str()))
                mesh = convex->getMesh(0);
        if (convexMesh)
            mesh = convexMesh;
        half = scale;
        break;
    default:
        break;
    }
    half.set(std::fabs(half.X), std::fabs(half.Y), std::fabs(half.Z));
    const bool simple = BoundType != TriggerBound::Convex && !GetAccurateContacts;
    const core::vector3df position = getAbsolutePosition();
    const core::vector3df rotation = m.getRotationDegrees();
    mainActor = createVolumeActor(half, mesh, simple);
    if (mainActor)
        setVolumePose(mainActor, position, rotation);
    if (CreateSkin) {
        skinActor = createVolumeActor(half + core::vector3df(2.5f), mesh, simple);
        if (skinActor)
            setVolumePose(skinActor, position, rotation);
    }
    setVolumeFilter(mainActor, getCondition());
    setVolumeFilter(skinActor, getCondition());
    lastSyncedTransform = m;
    transformSynced = true;
}

void TriggerObject::setConvexMeshBound(scene::IMesh* mesh) {
    if (convexMesh) {
        if (SceneManager) {
            if (video::IVideoDriver* driver = SceneManager->getVideoDriver())
                for (u32 i = 0; i < convexMesh->getMeshBufferCount(); ++i)
                    driver->removeHardwareBuffer(convexMesh->getMeshBuffer(i));
            SceneManager->getMeshCache()->removeMesh(convexMesh);
        }
        convexMesh->drop();
        convexMesh = nullptr;
    }
    BoundType = TriggerBound::Convex;
    ColMeshFileName = "";
    if (mesh && SceneManager)
        convexMesh = SceneManager->getMeshManipulator()->createMeshCopy(mesh);
}

void TriggerObject::syncPose() {
    if (!mainActor && !skinActor)
        return;
    const core::matrix4& m = AbsoluteTransformation;
    bool changed = !transformSynced;
    for (int i = 0; i < 16 && !changed; ++i)
        changed = std::fabs(m[i] - lastSyncedTransform[i]) > 1e-8f;
    if (!changed)
        return;
    const core::vector3df position = getAbsolutePosition();
    const core::vector3df rotation = m.getRotationDegrees();
    const bool finite = std::isfinite(position.X) && std::isfinite(position.Y) && std::isfinite(position.Z) &&
                        std::isfinite(rotation.X) && std::isfinite(rotation.Y) && std::isfinite(rotation.Z);
    if (finite) {
        if (mainActor)
            setVolumePose(mainActor, position, rotation);
        if (skinActor)
            setVolumePose(skinActor, position, rotation);
    }
    lastSyncedTransform = m;
    transformSynced = true;
}
