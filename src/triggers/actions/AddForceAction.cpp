#include "triggers/actions/AddForceAction.h"

#include "core/Globals.h"
#include "level/AttributeExtras.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsManager.h"
#include "phys/RigidBody.h"
#include "player/InputManager.h"
#include "player/LimbQueries.h"
#include "player/PlayerObject.h"
#include "player/devices/MouseDevice.h"
#include "core/Random.h"
#include "triggers/TriggerServices.h"
#include "triggers/TriggerObject.h"
#include "triggers/actions/ActionSupport.h"

#include <algorithm>

using namespace irr;

const char* const AddForceAction::targetNames[4] = {"Objects", "Tentaro", "Objects and Tentaro", nullptr};
const char* const AddForceAction::forceModeNames[5] = {"Force", "Impulse", "Velocity Change", "Acceleration",
                                                       nullptr};

namespace {

bool isZeroForce(const core::vector3df& v) {
    return std::fabs(v.X) <= 1e-6f && std::fabs(v.Y) <= 1e-6f && std::fabs(v.Z) <= 1e-6f;
}

// One component drawn between its two ends when they differ.
void drawInRange(f32& value, f32 other) {
    if (value == other)
        return;
    const f32 lo = std::min(value, other), hi = std::max(value, other);
    value = lo + (hi - lo) * randomFloat();
}

phys::ForceMode asForceMode(s32 mode) { return static_cast<phys::ForceMode>(core::clamp(mode, 0, 3)); }

phys::RigidDynamic* freeDynamic(phys::Actor* actor) {
    phys::RigidActor* rigid = actor ? actor->asRigidActor() : nullptr;
    return rigid ? rigid->asRigidDynamic() : nullptr;
}

// Limbs push harder to move the body they carry.
f32 limbForceScale(phys::Actor* actor) {
    phys::RigidActor* rigid = actor ? actor->asRigidActor() : nullptr;
    if (!rigid)
        return 1.0f;
    if (actorHasFilterBits(rigid, 0xc00u) || actorHasFilterBits(rigid, 0x200u))
        return 4.0f;
    if (actorHasFilterBits(rigid, 0x100u)) {
        phys::RigidDynamic* body = rigid->asRigidDynamic();
        const f32 mass = body ? body->getMass() : 0.0f;
        return mass > 0.0f ? ((mass + 24.0f) / mass) * 2.0f : 1.0f;
    }
    if (actorHasFilterBits(rigid, 0x1000u))
        return 2.625f;
    return 1.0f;
}

} // namespace

AddForceAction::AddForceAction(TriggerObject* trigger) : TriggerAction(actionType, trigger) {}

AddForceAction::~AddForceAction() = default;

bool AddForceAction::ownedByVolume() const { return triggerActions::ownerType(*this) == typeId("frce"); }

bool AddForceAction::isContactCounted(const TriggerContact& contact) const {
    return trigger &&
           trigger->isTriggerTargetObject(contact, trigger->OnBodyCollision, trigger->OnArmsCollision,
                                          trigger->OnLegsCollision);
}

void AddForceAction::resolveTargets() {
    if (idsPending && targets.empty() && !ObjectIDs.empty())
        triggerActions::appendExpressionTargets(ObjectIDs, targets);
    if (idPending && !objectNode && ObjectID != 0) {
        objectNode = triggerActions::findObjectByID(ObjectID);
        if (objectNode)
            targets.push_back(objectNode);
        idPending = false; // looked up once
    }
    idsPending = false;
}

void AddForceAction::cacheOwnerRotation() {
    if (!ApplyLocally || !trigger)
        return;
    trigger->keepUpdatingTransform = true;
    ownerRotation = trigger->getAbsoluteTransformation().getRotationDegrees();
}

core::vector3df AddForceAction::localizeForce(const core::vector3df& force) const {
    if (!ApplyLocally)
        return force;
    const f32 length = force.getLength();
    core::vector3df turned = force;
    core::matrix4 rotation;
    rotation.setRotationDegrees(ownerRotation);
    rotation.rotateVect(turned);
    return turned.normalize() * length;
}

core::vector3df AddForceAction::repel(const core::vector3df& force, const core::vector3df& position) const {
    core::vector3df direction;
    if (trigger) {
        direction = position - trigger->getAbsolutePosition();
        if (direction.getLength() != 0.0f)
            direction.normalize();
    }
    return force * direction;
}

void AddForceAction::applyToObject(scene::ISceneNode* node) {
    PhysicsObject* object = triggerActions::physicsKind(node);
    if (ForceMode == Tentaro || !object)
        return;
    core::vector3df linear = LinearForce, angular = AngularForce;
    if (AllowRange) {
        drawInRange(linear.X, LinearForceMax.X);
        drawInRange(linear.Y, LinearForceMax.Y);
        drawInRange(linear.Z, LinearForceMax.Z);
        drawInRange(angular.X, AngularForceMax.X);
        drawInRange(angular.Y, AngularForceMax.Y);
        drawInRange(angular.Z, AngularForceMax.Z);
    }
    if (ApplyMouseMovement && inputManager && inputManager->getMouse()) {
        const MouseState& mouse = inputManager->getMouse()->systemMouse();
        linear.X *= core::clamp(mouse.deltaX, -150.0f, 150.0f);
        linear.Y *= core::clamp(-mouse.deltaY, -150.0f, 150.0f);
    }
    linear = localizeForce(linear);
    if (RepelObjects)
        linear = repel(linear, node->getAbsolutePosition());
    object->addForceAndTorque(linear, angular, asForceMode(LinearForceMode), asForceMode(AngularForceMode),
                              AddContinuously);
    if (VelocityMultiplier != 1.0f)
        object->scaleLinearVelocity(VelocityMultiplier);
    if (AngVelocityMultiplier != 1.0f)
        object->scaleLinearVelocity(AngVelocityMultiplier);
}

void AddForceAction::applyToTargets() {
    for (scene::ISceneNode* target : targets)
        applyToObject(target);
}

void AddForceAction::applyToPlayer() {
    PlayerObject* player = getPlayer(0);
    if (ownedByVolume() || ForceMode == Objects || !player)
        return;
    const LimbSet legs = player->getLegs();
    const LimbSet arms = player->getArms();
    // The legs' link masses follow the weight mode the push may meet: left leg, then right.
    for (PlayerLimb* leg : {legs.sides[1], legs.sides[0]})
        if (LimbState* state = leg ? leg->getLimbState() : nullptr)
            updateLimbLinkMass(*state);
    const bool whole = !isZeroForce(WholeBodyForce);
    auto partForce = [&](const core::vector3df& own, core::vector3df& out) {
        if (isZeroForce(own) && !whole)
            return false;
        out = localizeForce(isZeroForce(own) ? WholeBodyForce : own);
        if (RepelTentaro)
            out = repel(out, player->getAbsolutePosition());
        return true;
    };
    core::vector3df force;
    if (partForce(HeadForce, force))
        player->addHeadForce(force, TentaroForceMode, AddContinuously);
    if (partForce(ChestForce, force))
        player->addChestForce(force, TentaroForceMode, AddContinuously);
    const std::pair<const core::vector3df*, PlayerLimb*> limbs[] = {{&LeftArmForce, arms.sides[1]},
                                                                    {&RightArmForce, arms.sides[0]},
                                                                    {&LeftLegForce, legs.sides[1]},
                                                                    {&RightLegForce, legs.sides[0]}};
    for (const auto& [own, limb] : limbs)
        if (partForce(*own, force) && limb && limb->getChain())
            limb->getChain()->addChainForce(force, TentaroForceMode, AddContinuously);
}

void AddForceAction::applyToPlayerPart(const TriggerContact& contact) {
    PlayerObject* player = getPlayer(0);
    phys::RigidDynamic* body = freeDynamic(contact.otherActor);
    if (ForceMode == Objects || !body || triggerActions::physicsKind(contact.node) || !player ||
        !isContactCounted(contact))
        return;
    core::vector3df linear = localizeForce(LinearForce);
    if (RepelTentaro)
        linear = repel(linear, player->getAbsolutePosition());
    core::vector3df angular = AngularForce;
    const s32 weightMode = player->getWeightMode();
    player->getWeightModeAux();
    if (weightMode == 0) {
        const f32 scale = limbForceScale(contact.otherActor);
        if (LinearForceMode == 0)
            linear *= scale;
        if (AngularForceMode == 0)
            angular *= scale;
    }
    if (physicsManager) {
        physicsManager->addForce(toPhys(linear), asForceMode(LinearForceMode), body, true);
        physicsManager->addTorque(toPhys(angular), asForceMode(AngularForceMode), body, true);
    }
}

void AddForceAction::applyBuoyancy(phys::Actor* actor) {
    phys::RigidDynamic* body = freeDynamic(actor);
    phys::RigidActor* volume = trigger && trigger->getMainActor() ? trigger->getMainActor()->asRigidActor() : nullptr;
    if (!ApplyBuoyancy || !body || !volume || !physicsManager || ObjectDensity == 0.0f)
        return;
    const phys::Bounds3 volumeBounds = volume->getWorldBounds();
    const f32 surface = (volumeBounds.maximum.y + volumeBounds.minimum.y) * 0.5f +
                        0.5f * (volumeBounds.maximum.y - volumeBounds.minimum.y);
    const phys::Bounds3 bounds = body->getWorldBounds();
    const f32 height = bounds.maximum.y - bounds.minimum.y;
    const f32 y = body->getGlobalPose().p.y;
    const f32 depth = (y - 0.5f * height) - surface;
    // A bottom above the surface is out of the liquid (its touch ends a step late): lifting it
    // the more the higher it is would throw it.
    if (depth > 0.0f)
        return;
    const phys::Vec3 v = body->getLinearVelocity();
    const f32 mass = body->getMass();
    const f32 displaced = mass / ObjectDensity;
    phys::Vec3 gravity;
    physicsManager->getGravity(gravity);
    const f32 lift = core::clamp(std::fabs(depth) + 0.3f, 0.0f, 1.0f);
    const f32 drag = -0.1f * mass * mass;
    const phys::Vec3 force(drag * v.x, lift * -gravity.y * 1000.0f * displaced + drag * v.y, drag * v.z);
    const auto& isGameHeld = triggerServices().screens.isGameHeld;
    if (isGameHeld && isGameHeld())
        return;
    if (body->isKinematic())
        return;
    // This runs just before a step: the force goes to the body for that step only.
    body->addForce(force, phys::ForceMode::Force, true);
}

void AddForceAction::applyBuoyancyToAll() {
    // Decided by what is inside at this step, not by the frame's verdict, which may be ten steps
    // old: a body that fell in since would sink unlifted for the rest of the frame and then be
    // thrown up the higher.
    if (!trigger->conditionHoldsNow())
        return;
    if (!targets.empty()) {
        if (ForceMode != Tentaro)
            for (scene::ISceneNode* target : targets)
                if (PhysicsObject* object = triggerActions::physicsKind(target))
                    applyBuoyancy(object->getBodyActor());
        return;
    }
    for (const TriggerContact& contact : trigger->mainContacts) {
        if (!contact.node)
            continue;
        if (PhysicsObject* object = triggerActions::physicsKind(contact.node))
            applyBuoyancy(object->getBodyActor());
        if (ForceMode != Objects && contact.otherActor && !triggerActions::physicsKind(contact.node) &&
            isContactCounted(contact))
            applyBuoyancy(contact.otherActor);
    }
}

void AddForceAction::buoyancyStep(scene::ISceneNode& owner) {
    // The trigger may have left the scene or changed its action since the frame queued it.
    auto& volume = static_cast<TriggerObject&>(owner);
    TriggerAction* action = volume.getAction();
    if (volume.getParent() && action && action->getType() == actionType)
        static_cast<AddForceAction*>(action)->applyBuoyancyToAll();
}

void AddForceAction::update() {
    resolveTargets();
    if (!AddContinuously || !trigger || !trigger->isVisible() || !trigger->IsActive)
        return;
    // A liquid pushes before every step of the frame, by where its bodies are at that step and
    // what is inside it then (also in a frame that began with nothing inside): worked out
    // once for a frame of several steps, it lags behind them and throws them out.
    if (ApplyBuoyancy && physicsManager)
        physicsManager->addStepWork(trigger, buoyancyStep);
    if (!trigger->ConditionMet)
        return;
    cacheOwnerRotation();
    if (!ownedByVolume())
        applyToPlayer();
    if (!targets.empty()) {
        applyToTargets();
        return;
    }
    // The contacts may change under the pushes' callbacks: walk a copy.
    const TriggerContactList contacts = trigger->mainContacts;
    for (const TriggerContact& contact : contacts) {
        if (!contact.node)
            continue;
        applyToObject(contact.node);
        if (ownedByVolume())
            applyToPlayerPart(contact);
    }
}

void AddForceAction::execute(TriggerEventInfo& event) {
    logStep();
    if (AddContinuously)
        return;
    cacheOwnerRotation();
    applyToObject(event.object);
    applyToTargets();
    applyToPlayer();
    PhysicsObject* object = triggerActions::physicsKind(event.object);
    phys::RigidDynamic* body = object ? freeDynamic(object->getBodyActor()) : nullptr;
    if (ReflectObject && body) {
        // Mirror the velocity on the plane of the contact normal.
        const phys::Vec3 v = body->getLinearVelocity();
        const core::vector3df n = event.secondVector;
        const f32 s = v.x * n.X + v.y * n.Y + v.z * n.Z;
        if (s < 0.0f) {
            body->setLinearVelocity(phys::Vec3(v.x + n.X * (-2.0f * s), v.y + n.Y * (-2.0f * s), v.z + n.Z * (-2.0f * s)));
            body->wakeUp();
        }
    }
}

void AddForceAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    TriggerAction::serializeAttributes(out, options);
    const bool volume = ownedByVolume();
    triggerActions::addEnumByIndex(out, "ForceMode", ForceMode, targetNames);
    if (ForceMode != Tentaro && !volume) {
        addObjectReference(out, "ObjectID", ObjectID);
        addObjectIDList(out, "ObjectIDs", ObjectIDs.c_str());
    }
    if (volume || ForceMode != Tentaro) {
        triggerActions::addEnumByIndex(out, "LinearForceMode", LinearForceMode, forceModeNames);
        out->addVector3d("LinearForce", LinearForce);
        if (AllowRange)
            out->addVector3d("LinearForceMax", LinearForceMax);
        triggerActions::addEnumByIndex(out, "AngularForceMode", AngularForceMode, forceModeNames);
        out->addVector3d("AngularForce", AngularForce);
        if (AllowRange)
            out->addVector3d("AngularForceMax", AngularForceMax);
    }
    if (!volume) {
        out->addFloat("VelocityMultiplier", VelocityMultiplier);
        out->addFloat("AngVelocityMultiplier", AngVelocityMultiplier);
    }
    if (ForceMode != Objects && !volume) {
        triggerActions::addEnumByIndex(out, "TentaroForceMode", TentaroForceMode, forceModeNames);
        out->addVector3d("WholeBodyForce", WholeBodyForce);
        if (isZeroForce(WholeBodyForce)) {
            out->addVector3d("LeftLegForce", LeftLegForce);
            out->addVector3d("RightLegForce", RightLegForce);
            out->addVector3d("LeftArmForce", LeftArmForce);
            out->addVector3d("RightArmForce", RightArmForce);
            out->addVector3d("ChestForce", ChestForce);
            out->addVector3d("HeadForce", HeadForce);
        }
    }
    if (trigger) {
        if (ForceMode != Objects)
            out->addBool("RepelTentaro", RepelTentaro);
        if (ForceMode != Tentaro)
            out->addBool("RepelObjects", RepelObjects);
        out->addBool("ApplyBuoyancy", ApplyBuoyancy);
        if (ApplyBuoyancy)
            out->addFloat("ObjectDensity", ObjectDensity);
    }
    if (ForceMode == Objects && !AddContinuously && trigger && trigger->GetAccurateContacts)
        out->addBool("ReflectObject", ReflectObject);
    out->addBool("AddContinuously", AddContinuously);
    out->addBool("ApplyLocally", ApplyLocally);
    out->addBool("AllowRange", AllowRange);
    out->addBool("ApplyMouseMovement", ApplyMouseMovement);
}

void AddForceAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    TriggerAction::deserializeAttributes(in, options);
    triggerActions::readEnumByName(in, "ForceMode", targetNames, ForceMode);
    readIfPresent(in, "ObjectID", ObjectID);
    readIfPresent(in, "ObjectIDs", ObjectIDs);
    bool toTentaro = false;
    if (readIfPresent(in, "ApplyToTentaro", toTentaro)) {
        ForceMode = toTentaro ? ObjectsAndTentaro : Objects;
        if (toTentaro && (ObjectID == 0 || ObjectID == -1) && ObjectIDs.empty())
            ForceMode = Tentaro;
    }
    idsPending = !ObjectIDs.empty();
    idPending = true;
    objectNode = nullptr;
    std::vector<scene::ISceneNode*>().swap(targets);
    auto readMode = [&](const char* key, s32& mode) {
        s32 value = mode;
        if (triggerActions::readEnumByName(in, key, forceModeNames, value))
            mode = value;
    };
    readMode("LinearForceMode", LinearForceMode);
    readMode("AngularForceMode", AngularForceMode);
    readMode("TentaroForceMode", TentaroForceMode);
    LinearForce = in->getAttributeAsVector3d("LinearForce");
    LinearForceMax = in->getAttributeAsVector3d("LinearForceMax");
    AngularForce = in->getAttributeAsVector3d("AngularForce");
    AngularForceMax = in->getAttributeAsVector3d("AngularForceMax");
    // Older levels gave velocity changes under their own keys.
    const core::vector3df linearVelocity = in->getAttributeAsVector3d("LinearVelocity");
    if (!isZeroForce(linearVelocity)) {
        LinearForce = linearVelocity;
        LinearForceMode = 2;
    }
    const core::vector3df angularVelocity = in->getAttributeAsVector3d("AngularVelocity");
    if (!isZeroForce(angularVelocity)) {
        AngularForce = angularVelocity;
        AngularForceMode = 2;
    }
    readIfPresent(in, "VelocityMultiplier", VelocityMultiplier);
    readIfPresent(in, "AngVelocityMultiplier", AngVelocityMultiplier);
    readIfPresent(in, "RepelTentaro", RepelTentaro);
    readIfPresent(in, "RepelObjects", RepelObjects);
    WholeBodyForce = in->getAttributeAsVector3d("WholeBodyForce");
    LeftLegForce = in->getAttributeAsVector3d("LeftLegForce");
    RightLegForce = in->getAttributeAsVector3d("RightLegForce");
    LeftArmForce = in->getAttributeAsVector3d("LeftArmForce");
    RightArmForce = in->getAttributeAsVector3d("RightArmForce");
    ChestForce = in->getAttributeAsVector3d("ChestForce");
    HeadForce = in->getAttributeAsVector3d("HeadForce");
    AddContinuously = in->getAttributeAsBool("AddContinuously");
    ApplyLocally = in->getAttributeAsBool("ApplyLocally");
    AllowRange = in->getAttributeAsBool("AllowRange");
    readIfPresent(in, "ApplyBuoyancy", ApplyBuoyancy);
    ReflectObject = in->getAttributeAsBool("ReflectObject");
    if (ApplyBuoyancy)
        readIfPresent(in, "ObjectDensity", ObjectDensity);
    ApplyMouseMovement = in->getAttributeAsBool("ApplyMouseMovement");
}

TriggerAction* AddForceAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new AddForceAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}
