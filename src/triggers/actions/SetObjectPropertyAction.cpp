#include "triggers/actions/SetObjectPropertyAction.h"

#include "camera/CameraModes.h"
#include "camera/CameraObject.h"
#include "core/Globals.h"
#include "level/AttributeExtras.h"
#include "level/NodeHelpers.h"
#include "physics/joints/JointObject.h"
#include "physics/objects/PhysicsObject.h"
#include "phys/RigidBody.h"
#include "player/PlayerObject.h"
#include "render/TextObject.h"
#include "triggers/CameraTriggerVolume.h"
#include "triggers/ObjectIDExpression.h"
#include "triggers/actions/ActionSupport.h"
#include "triggers/actions/SetCameraAction.h"

using namespace irr;

const char* const SetObjectPropertyAction::propertyNames[15] = {
    "Visible",       "Gold",          "Suspicious",    "Kinematic",     "Grabbable",
    "Button",        "Left Grab ID",  "Physics Property", "Reflective", "Lighting",
    "Camera Object", "Camera Volume", "Physics Joint", "TextObject",    nullptr};

const char* const SetObjectPropertyAction::physicsPropertyNames[9] = {
    "Mass", "Friction", "Restitution", "Can Hang From", "Dynamic on Touch", "Blocks Vision",
    "Respawn Position", "Clone Velocity", nullptr};

namespace {

// The physics object that stands for a part sharing another object's body.
scene::ISceneNode* linkedPhysicsObject(scene::ISceneNode* node) {
    PhysicsUserData* record = findUserDataOfNode(node);
    if (record && record->sharedBody && record->parent && record->parent->physicsObject)
        return record->parent->physicsObject;
    return node;
}

// The velocities of one rigid dynamic body onto another's.
void copyBodyVelocity(PhysicsObject* target, PhysicsObject* source) {
    phys::RigidActor* to = target->getBodyActor();
    phys::RigidActor* from = source->getBodyActor();
    phys::RigidDynamic* toBody = to ? to->asRigidDynamic() : nullptr;
    phys::RigidDynamic* fromBody = from ? from->asRigidDynamic() : nullptr;
    if (!toBody || !fromBody)
        return;
    toBody->setLinearVelocity(fromBody->getLinearVelocity());
    toBody->setAngularVelocity(fromBody->getAngularVelocity());
}

// The suspicion amount of the object: a grabbable object's grab amount, else its touch
// amount (the split the object's own older "SuspiciousAmount" key makes).
f32& suspicionValueOf(PhysicsObject* object) {
    return object->IsGrabbable ? object->suspicion().SuspGrabAmount : object->suspicion().SuspTouchAmount;
}

// A joint object builds its joint (true) or releases it (false).
void switchJoint(scene::ISceneNode* object, bool on) {
    if (!object || object->getType() != typeId("jont"))
        return;
    auto* joint = static_cast<JointObject*>(object);
    on ? joint->createJoint() : joint->releaseJoint();
}

} // namespace

SetObjectPropertyAction::SetObjectPropertyAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {
    canUndo = true;
}

SetObjectPropertyAction::~SetObjectPropertyAction() = default;

void SetObjectPropertyAction::prepareTargets() {
    if (!hasExpression || expression || !targets.empty())
        return;
    expression = parseObjectIDExpression(ObjectIDs);
    if (expression)
        collectExpressionNodes(expression.get(), targets);
}

void SetObjectPropertyAction::execute(TriggerEventInfo& event) {
    logStep();
    prepareTargets();
    scene::ISceneNode* single = event.object;
    if (PropertyName == PropVisible && single)
        single = linkedPhysicsObject(single);
    if (ObjectID != 0 || single) {
        if (!single)
            single = triggerActions::findObjectByID(ObjectID);
        if (single)
            apply(single);
    }
    for (scene::ISceneNode* target : targets)
        apply(target);
}

void SetObjectPropertyAction::revert(TriggerEventInfo& event) {
    logStep("Reversing Property");
    prepareTargets();
    scene::ISceneNode* single = event.object;
    // Undone on the object the action changed: a part sharing its owner's body hid the owner.
    if (PropertyName == PropVisible && single)
        single = linkedPhysicsObject(single);
    if (ObjectID != 0 && !single)
        single = triggerActions::findObjectByID(ObjectID);
    if (single)
        restore(single);
    for (scene::ISceneNode* target : targets)
        restore(target);
}

void SetObjectPropertyAction::apply(scene::ISceneNode* object) {
    if (PropertyName == PropVisible)
        object->setVisible(boolValue);
    if (PropertyName == PropTextObject && object->getType() == typeId("text"))
        static_cast<::TextObject*>(object)->rebuildMesh(TextValue.c_str());
    PlayerObject* player = getPlayer(0);
    if (PropertyName == PropKinematic && player && ObjectID == player->getID())
        player->setKinematic(boolValue);
    if (PhysicsObject* physics = triggerActions::physicsKind(object))
        setPhysicsProperty(physics, false);
    if (PropertyName == PropCameraObject) {
        scene::ISceneNode* node = triggerActions::findObjectByID(CameraID);
        if (node && node->getType() == typeId("cmro") && ObjectID > 0) {
            auto* camera = static_cast<::CameraObject*>(node);
            if (camera->targetMode)
                camera->targetMode->objectID = ObjectID;
        }
    }
    if (PropertyName == PropCameraVolume)
        setCameraVolume(object);
    if (PropertyName == PropPhysicsJoint)
        switchJoint(object, boolValue);
}

void SetObjectPropertyAction::restore(scene::ISceneNode* object) {
    if (PropertyName == PropVisible)
        object->setVisible(!boolValue);
    PlayerObject* player = getPlayer(0);
    if (PropertyName == PropKinematic && player && ObjectID == player->getID())
        player->setKinematic(!boolValue);
    if (PhysicsObject* physics = triggerActions::physicsKind(object))
        setPhysicsProperty(physics, true);
    if (PropertyName == PropPhysicsJoint)
        switchJoint(object, !boolValue);
}

void SetObjectPropertyAction::setPhysicsProperty(PhysicsObject* object, bool undo) {
    const bool value = undo ? !boolValue : boolValue;
    switch (PropertyName) {
    case PropGold:
        object->IsGold = value;
        break;
    case PropSuspicious:
        suspicionValueOf(object) = undo ? 0.0f : floatValue;
        break;
    case PropKinematic:
        object->setKinematic(value);
        break;
    case PropGrabbable:
        if (!value && object->holdCount > 0)
            if (PlayerObject* player = getPlayer(0))
                player->releaseGrabbed(object, LimbSide::Both, false);
        object->IsGrabbable = value;
        break;
    case PropButton:
        object->IsButton = value;
        break;
    case PropLeftGrabID:
        object->body().LeftArmGrabID = undo ? 0 : LeftGrabObjectID;
        break;
    case PropPhysics:
        setPhysicsQuantity(object, undo);
        break;
    case PropReflective:
        object->setReflective(value);
        break;
    case PropLighting:
        object->setLighting(value);
        break;
    default:
        break;
    }
}

void SetObjectPropertyAction::setPhysicsQuantity(PhysicsObject* object, bool undo) {
    const bool value = undo ? !boolValue : boolValue;
    PhysicsBodySettings& body = object->body();
    switch (PhysicsPropertyName) {
    case QuantityMass:
        if (!undo)
            savedValue = body.Mass;
        object->setMass(undo ? savedValue : floatValue);
        break;
    case QuantityFriction:
    case QuantityRestitution: {
        f32& quantity = PhysicsPropertyName == QuantityFriction ? body.Friction : body.Restitution;
        if (!undo)
            savedValue = quantity;
        quantity = undo ? savedValue : floatValue;
        if (object->getBodyActor())
            object->updatePhysicsMaterial();
        break;
    }
    case QuantityCanHangFrom:
        object->setGrabEnabled(value);
        break;
    case QuantityDynamicOnTouch:
        object->TurnDynamicOnTouch = value;
        break;
    case QuantityBlocksVision:
        object->ChangeBlocksVision = true;
        object->BlocksVision = value;
        break;
    case QuantityRespawnPosition:
        if (undo)
            break;
        if (scene::ISceneNode* place = triggerActions::findObjectByID(RespawnPosObjectID)) {
            object->reset().RespawnOverridePosition = place->getAbsolutePosition();
            object->reset().respawnPosition = place->getAbsolutePosition();
        }
        break;
    case QuantityCloneVelocity:
        if (undo)
            break;
        if (auto* source = asPhysicsObject(findLevelObjectOfType(SourceObjectID, typeId("phsx"))))
            copyBodyVelocity(object, source);
        break;
    default:
        break;
    }
}

void SetObjectPropertyAction::setCameraVolume(scene::ISceneNode* object) {
    CameraTriggerVolume* volume = asCameraVolume(object);
    SetCameraAction* setCamera = volume ? asSetCameraAction(volume->getAction()) : nullptr;
    if (!setCamera)
        return;
    if (CameraID >= 0) {
        setCamera->CameraID = CameraID;
        setCamera->clearCamera();
        setCamera->resolveCamera();
    }
    if (CamTransitionSpeed >= 0.0f) {
        setCamera->CamTransitionSpeed = CamTransitionSpeed;
        if (::CameraObject* camera = setCamera->getCamera())
            camera->transitionSpeed = CamTransitionSpeed;
    }
}

void SetObjectPropertyAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    TriggerAction::serializeAttributes(out, options);
    addObjectReference(out, "ObjectID", ObjectID);
    addObjectIDList(out, "ObjectIDs", ObjectIDs.c_str());
    triggerActions::addEnumByIndex(out, "PropertyName", PropertyName, propertyNames);
    if (PropertyName == PropPhysics)
        triggerActions::addEnumByIndex(out, "PhysicsPropertyName", PhysicsPropertyName, physicsPropertyNames);
    const bool physicsQuantity = PropertyName == PropPhysics && PhysicsPropertyName >= QuantityMass &&
                                 PhysicsPropertyName <= QuantityRestitution;
    if (PropertyName == PropSuspicious || physicsQuantity) {
        out->addFloat("PropertyValue", floatValue);
    } else if (PropertyName == PropCameraObject) {
        addObjectReference(out, "CameraID", CameraID);
        addObjectReference(out, "CameraTarget", ObjectID);
    } else if (PropertyName == PropCameraVolume) {
        addObjectReference(out, "CameraID", CameraID);
        out->addFloat("CamTransitionSpeed", CamTransitionSpeed);
    } else if (PropertyName == PropTextObject) {
        out->addString("TextValue", TextValue.c_str());
    } else if (PropertyName == PropLeftGrabID) {
        addObjectReference(out, "LeftGrabObjectID", LeftGrabObjectID);
    } else if (PhysicsPropertyName == QuantityRespawnPosition) {
        addObjectReference(out, "RespawnPosObjectID", RespawnPosObjectID);
    } else if (PhysicsPropertyName == QuantityCloneVelocity) {
        addObjectReference(out, "SourceObjectID", SourceObjectID);
    } else {
        out->addBool("PropertyValue", boolValue);
    }
}

void SetObjectPropertyAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    TriggerAction::deserializeAttributes(in, options);
    readIfPresent(in, "ObjectID", ObjectID);
    readIfPresent(in, "ObjectIDs", ObjectIDs);
    if (ObjectIDs.empty())
        hasExpression = false;
    triggerActions::readEnumByName(in, "PropertyName", propertyNames, PropertyName);
    if (PropertyName == PropPhysics) {
        // Read without a presence test: a missing name is no physics change.
        PhysicsPropertyName = -1;
        triggerActions::readEnumByName(in, "PhysicsPropertyName", physicsPropertyNames, PhysicsPropertyName);
        SourceObjectID = in->getAttributeAsInt("SourceObjectID");
    }
    const bool hasValue = in->existsAttribute("PropertyValue");
    if (hasValue)
        boolValue = in->getAttributeAsBool("PropertyValue");
    if ((PropertyName == PropSuspicious || PropertyName == PropPhysics) && hasValue)
        floatValue = in->getAttributeAsFloat("PropertyValue");
    if (PropertyName == PropTextObject && in->existsAttribute("TextValue"))
        TextValue = in->getAttributeAsStringW("TextValue");
    if (PropertyName == PropLeftGrabID)
        readIfPresent(in, "LeftGrabObjectID", LeftGrabObjectID);
    if (PropertyName == PropCameraObject) {
        readIfPresent(in, "CameraID", CameraID);
        readIfPresent(in, "CameraTarget", ObjectID);
    }
    if (PropertyName == PropCameraVolume) {
        readIfPresent(in, "CameraID", CameraID);
        readIfPresent(in, "CamTransitionSpeed", CamTransitionSpeed);
    }
    if (PhysicsPropertyName == QuantityRespawnPosition)
        readIfPresent(in, "RespawnPosObjectID", RespawnPosObjectID);
    const bool settingOnly = PropertyName == PropCameraObject || PropertyName == PropCameraVolume ||
                             PropertyName == PropPhysicsJoint || PropertyName == PropTextObject ||
                             PhysicsPropertyName == QuantityRespawnPosition ||
                             PhysicsPropertyName == QuantityCloneVelocity;
    canUndo = !settingOnly;
}

TriggerAction* SetObjectPropertyAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new SetObjectPropertyAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}
