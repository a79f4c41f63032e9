#include "characters/animators/SwimSplineAnimator.h"

#include "characters/CharacterProfile.h"
#include "characters/animators/BoneAnimators.h"
#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "core/SoundManager.h"
#include "level/AttributeExtras.h"
#include "level/LevelManager.h"
#include "level/NodeHelpers.h"
#include "level/SplineObject.h"
#include "level/VariableObject.h"
#include "level/WorldTransform.h"
#include "physics/objects/PhysicsObject.h"
#include "platform/audio/EventSystem.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "render/EffectHandler.h"
#include "characters/CharacterServices.h"

#include <cmath>

using namespace irr;

namespace {

constexpr bool swimStateLoops[SwimSplineAnimator::StateCount] = {false, true, false, false, true,
                                                                 false, true, false, false};

// Player 0's controls (or the default ones) hold action 0.
bool playerHoldsCharge() {
    if (!inputManager)
        return false;
    const int count = inputManager->getPlayerControlsCount(0);
    for (int i = 0; i < count; ++i)
        if (PlayerControls* controls = inputManager->getPlayerControls(0, i))
            if (controls->getActionValue(0) != 0.0f)
                return true;
    if (count == 0)
        if (PlayerControls* controls = inputManager->getActiveControls())
            return controls->getActionValue(0) != 0.0f;
    return false;
}

} // namespace

const char* const SwimSplineAnimator::stateAnimationNames[StateCount] = {
    "SwimmerCoastToCharge", "SwimmerChargedIdle", "SwimmerMidBlast",     "SwimmerBlast",  "SwimmerCoastIdle",
    "SwimmerCoastToIdle",   "SwimmerIdle",        "SwimmerIdleToCharge", "SwimmerFlinch"};

SwimSplineAnimator::SwimState SwimSplineAnimator::shared;
bool (*SwimSplineAnimator::chargeInput)() = playerHoldsCharge;

SwimSplineAnimator::SwimSplineAnimator(scene::ISceneNode* node) : targetNode(node) {
    jointTurn.setRotationDegrees(core::vector3df(0, 180, 0));
    const CharacterProfile* profile = levelManager ? levelManager->profileCache.get(profileFile) : nullptr;
    for (int i = 0; i < StateCount; ++i)
        animationRanges[i] = profile ? profile->findAnimation(stateAnimationNames[i]) : std::make_pair(0, 0);
}

SwimSplineAnimator::~SwimSplineAnimator() {
    shared = SwimState();
    if (joinedOwner && isMeshOwnerAlive(joinedOwner))
        if (PhysicsObject* owner = asPhysicsObject(joinedOwner))
            owner->animationUpdatedEvent.removeMember(this, &SwimSplineAnimator::bendTail);
}

scene::ESCENE_NODE_ANIMATOR_TYPE SwimSplineAnimator::getType() const {
    return static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(AnimatorType::SwimSpline);
}

void SwimSplineAnimator::setEnabled(bool enabled) {
    if (enabled && targetNode)
        for (scene::ISceneNodeAnimator* animator : targetNode->getAnimators())
            if (animator->getType() == AnimatorType::SwimSpline)
                static_cast<SwimSplineAnimator*>(animator)->setEnabled(false);
    Enabled = enabled;
}

void SwimSplineAnimator::setReversed(bool reversed) {
    Reversed = reversed;
    if (inputManager)
        inputManager->addRumble(1.0f, 1.0f, 0.1f, 0.0f);
}

f32 SwimSplineAnimator::maxTargetSpeed() const { return gameDifficulty == 0 ? 2.4f : 2.0f; }

bool SwimSplineAnimator::currentAnimationEnded() const {
    return meshNode && static_cast<s32>(meshNode->getFrameNr()) == meshNode->getEndFrame();
}

void SwimSplineAnimator::animateNode(scene::ISceneNode* node, u32 timeMs) {
    scene::ISceneNode* spline = findAnimatorObject(splineObjectID);
    splineNode = spline && spline->getType() == typeId("slne") ? static_cast<SplineObject*>(spline) : nullptr;
    if (!splineNode)
        return;
    if (!previousSpline && prevSplineObjectID != 0)
        previousSpline = static_cast<SplineObject*>(findLevelObjectOfType(prevSplineObjectID, typeId("slne")));
    if (!speedVariable && speedVariableObjectID != 0)
        speedVariable = static_cast<VariableObject*>(findLevelObjectOfType(speedVariableObjectID, typeId("vble")));
    if (splineLength == 0.0f)
        splineNode->OnAnimate(gameDevice ? gameDevice->getTimer()->getTime() : timeMs);
    // A path without two points yet has no curve: its position would be the path node's
    // own, off the swimmer's path. The swimmer waits where it is and measures later.
    if (splineNode->getControlPointCount() < 2)
        return;
    if (splineLength == 0.0f)
        splineLength = splineNode->computeLength();
    if (splineSpeed == 0.0f && timeToComplete != 0.0f)
        splineSpeed = splineLength / timeToComplete;
    // Without a speed either, no time can be derived: the swimmer keeps a zero time, which
    // the charge update treats as its smallest.
    if (timeToComplete == 0.0f && splineSpeed != 0.0f)
        timeToComplete = splineLength / splineSpeed;
    if (meshObjectID == 0) {
        meshOwner = isMeshOwner(node) ? node : nullptr;
    } else {
        scene::ISceneNode* object = findAnimatorObject(meshObjectID);
        meshOwner = isMeshOwner(object) ? object : nullptr;
    }
    if (!Enabled && resetOnDisable)
        currentTime = 0.0f;
    if (!isSimulationRunning() && !Enabled) {
        currentTime = 0.0f;
        wasEnabled = false;
        return;
    }
    if (!readyToRun(node, wasEnabled))
        return;
    meshNode = ownerMeshNode(meshOwner);
    updateCharge(animatorFrameSeconds());
    updateAnimation();
}

void SwimSplineAnimator::updateCharge(f32 dt) {
    const f32 time = timeToComplete == 0.0f ? 0.0001f : timeToComplete;
    f32 step = 0.0f;
    SwimState& s = shared;
    if (!isSimulationRunning()) {
        step = dt / time;
    } else {
        const auto& barsShown = characterServices().screens.cutsceneBarsShown;
        const bool overlay = barsShown && barsShown();
        const bool input = chargeInput && chargeInput() && !overlay && !isGameInputBlocked();
        if (meshOwner && meshOwner->getMaterialCount() > 0) {
            video::SMaterial& material = meshOwner->getMaterial(0);
            material.EmissiveColor = video::SColor(0xFF000000);
            if (!Reversed && s.charge > 0.8f * maxChargeTime) {
                flashTimer += dt;
                if (flashTimer < 0.5f && static_cast<s32>(flashTimer * 10.0f) % 2 == 0)
                    material.EmissiveColor = video::SColor(0xFFC8C8C8);
            } else {
                flashTimer = 0.0f;
            }
        }
        if (Reversed) {
            s.state = Flinch;
            if (flinchTimer == 0.0f) {
                s.speed = core::max_(s.speed, 1.0f);
                flinchStartSpeed = s.speed;
            } else {
                s.speed = (1.0f - flinchTimer / flinchDuration) * flinchStartSpeed;
            }
            s.targetSpeed = s.speed;
            flinchTimer += dt;
            if (flinchTimer > flinchDuration) {
                flinchTimer = 0.0f;
                s.state = Idle;
                Reversed = false;
            }
        } else if (input) {
            s.charge += chargeRate * dt;
            s.charge += std::pow(s.holdTime, compoundExponent) * dt;
            s.holdTime += dt;
            s.charge = core::clamp(s.charge, 0.0f, maxChargeTime);
            charging = true;
            if (inputManager) {
                const f32 motor = s.charge / maxChargeTime * 0.2f + 0.05f;
                inputManager->addVibration(motor, motor);
            }
            if (s.state == MidBlast || s.state == Blast || s.state == CoastIdle || s.state == CoastToIdle)
                s.state = CoastToCharge;
            else if (s.state == Idle)
                s.state = IdleToCharge;
            else if ((s.state == IdleToCharge || s.state == CoastToCharge) && currentAnimationEnded())
                s.state = ChargedIdle;
        } else {
            if (charging) {
                s.targetSpeed = core::clamp(s.targetSpeed + s.charge / maxChargeTime * 2.0f, 0.0f, 2.0f);
                if (gameDifficulty == 0)
                    s.targetSpeed *= 1.2f;
                s.holdTime = 0.0f;
                f32 rumble = 0.0f;
                if (s.charge > 0.6f * maxChargeTime) {
                    s.state = Blast;
                    rumble = 0.7f;
                } else if (s.charge > 0.3f * maxChargeTime) {
                    s.state = MidBlast;
                    rumble = 0.3f;
                } else {
                    s.state = CoastIdle;
                }
                if (rumble > 0.0f) {
                    audio::Event* event = soundManager ? soundManager->playEffect(swimSoundEffect) : nullptr;
                    if (event && !soundManager->muted) {
                        const core::vector3df at = targetNode ? targetNode->getAbsolutePosition() : core::vector3df();
                        const audio::Vector3 position{at.X, at.Y, at.Z}, zero{};
                        event->set3DAttributes(&position, &zero, &zero);
                    }
                    if (inputManager)
                        inputManager->addRumble(rumble, rumble, 0.2f, 0.0f);
                }
                s.charge = 0.0f;
                charging = false;
            }
            if ((s.state == Blast || s.state == MidBlast) && currentAnimationEnded())
                s.state = CoastIdle;
        }
        s.targetSpeed = core::clamp(s.targetSpeed - windDownRate * dt, 0.0f, maxTargetSpeed());
        const f32 k = core::clamp(windDownDamping * dt, 0.0f, 1.0f);
        s.speed += k * (s.targetSpeed - s.speed);
        if (s.speed > 0.1f)
            step = dt / time * (speedVariable ? speedVariable->Value : 1.0f) * s.speed;
        if (s.speed < 1.0f) {
            if (s.state == CoastIdle)
                s.state = CoastToIdle;
            if (s.state == CoastToIdle && currentAnimationEnded())
                s.state = Idle;
        }
    }
    if (Reversed)
        step = -step;
    currentTime = core::clamp(currentTime + step, 0.0f, 1.0f);
    setNodeWorldPosition(targetNode, splineNode->getPosition(currentTime));
    if (affectRotation)
        setNodeWorldRotation(targetNode, splineNode->getOrientation(currentTime));
    if (!jointCallbackAdded && meshOwner && meshNode) {
        if (PhysicsObject* owner = asPhysicsObject(meshOwner)) {
            owner->animationUpdatedEvent.addMember(this, &SwimSplineAnimator::bendTail);
            joinedOwner = meshOwner;
        }
        jointCallbackAdded = true;
    }
}

void SwimSplineAnimator::updateAnimation() {
    SwimState& s = shared;
    if (!meshNode || s.state == s.lastPlayed || s.state < 0 || s.state >= StateCount)
        return;
    const std::pair<s32, s32>& range = animationRanges[s.state];
    f32 fps = 30.0f;
    if (s.state == IdleToCharge || s.state == CoastToCharge)
        fps = static_cast<f32>(range.second - range.first) / maxChargeTime;
    meshNode->setTransitionTime(0.1f);
    meshNode->setFrameLoop(range.first, range.second);
    meshNode->setLoopMode(swimStateLoops[s.state]);
    meshNode->setAnimationSpeed(fps);
    s.lastPlayed = s.state;
}

void SwimSplineAnimator::bendTail() {
    if (!Enabled || !isSimulationRunning() || !meshOwner || !meshNode || !splineNode)
        return;
    scene::IAnimatedMesh* mesh = meshNode->getMesh();
    if (!mesh || mesh->getMeshType() != scene::EAMT_SKINNED || !effectHandler || !effectHandler->hardwareSkinning)
        return;
    scene::ISkinnedMesh* skinned = static_cast<scene::ISkinnedMesh*>(mesh);
    if (skinned->getJointNumber("Curve2") < 0)
        return;
    meshNode->setJointMode(scene::EJUOR_CONTROL);
    const f32 spacing = splineLength > 0.0f ? 0.25f / splineLength : 0.0f;
    core::matrix4 inverse;
    meshNode->getAbsoluteTransformation().getInverse(inverse);
    for (s32 k = 1; k <= 5; ++k) {
        const core::stringc name = core::stringc("Curve") + core::stringc(k + 1);
        if (skinned->getJointNumber(name.c_str()) < 0)
            continue;
        scene::IBoneSceneNode* joint = meshNode->getJointNode(name.c_str());
        if (!joint)
            continue;
        core::vector3df position, orientation;
        tailPlace(currentTime - k * spacing, position, orientation);
        inverse.transformVect(position);
        joint->setPosition(core::vector3df(position.X, -position.Z, position.Y));
        core::matrix4 rotation;
        rotation.setRotationDegrees(orientation);
        joint->setRotation((inverse * rotation * jointTurn).getRotationDegrees());
    }
}

void SwimSplineAnimator::tailPlace(f32 progress, core::vector3df& position, core::vector3df& orientation) const {
    const SplineObject* along = splineNode;
    if (progress < 0.0f) {
        const core::vector3df start = splineNode->getPosition(0.0f);
        const bool loop = start.getDistanceFrom(splineNode->getPosition(1.0f)) <= closedPathGap;
        if (previousSpline || loop) {
            // Behind the start the tail lies on the path before, or on a loop's own end.
            along = previousSpline ? previousSpline : splineNode;
            progress += 1.0f;
        } else {
            // A path that begins here: the tail goes on straight back from its start, as far
            // as it would have gone along the path (a joint left where it was would come
            // apart from the body as the swimmer moves on).
            core::vector3df ahead = splineNode->getPosition(0.01f) - start;
            ahead.normalize();
            position = start + ahead * (progress * splineLength);
            orientation = splineNode->getOrientation(0.0f);
            return;
        }
    }
    position = along->getPosition(progress);
    orientation = along->getOrientation(progress);
}

scene::ISceneNodeAnimator* SwimSplineAnimator::createClone(scene::ISceneNode* node, scene::ISceneManager* manager) {
    return cloneInto(new SwimSplineAnimator(node), manager);
}

void SwimSplineAnimator::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    AnimatorBase::serializeAttributes(out, options);
    writeEditorFlag(out);
    out->addBool("ResetOnDisable", resetOnDisable);
    out->addBool("AffectRotation", affectRotation);
    addObjectReference(out, "SplineObjectID", splineObjectID);
    addObjectReference(out, "PrevSplineObjectID", prevSplineObjectID);
    addObjectReference(out, "MeshObjectID", meshObjectID);
    out->addFloat("SplineSpeed", splineSpeed);
    addObjectReference(out, "SpeedVariableObjectID", speedVariableObjectID);
    out->addFloat("MaxChargeTime", maxChargeTime);
    out->addFloat("ChargeDeltaTimeMultiplier", chargeRate);
    out->addFloat("CompoundChargeMultiplier", compoundExponent);
    out->addFloat("WindDownRate", windDownRate);
    out->addFloat("WindDownDamping", windDownDamping);
    out->addFloat("FlinchDuration", flinchDuration);
    if (isSimulationRunning())
        out->addFloat("CurrentTime", currentTime);
}

void SwimSplineAnimator::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    AnimatorBase::deserializeAttributes(in, options);
    readEditorFlag(in);
    splineObjectID = in->getAttributeAsInt("SplineObjectID");
    prevSplineObjectID = in->getAttributeAsInt("PrevSplineObjectID");
    meshObjectID = in->getAttributeAsInt("MeshObjectID");
    speedVariableObjectID = in->getAttributeAsInt("SpeedVariableObjectID");
    timeToComplete = in->getAttributeAsFloat("TimeToComplete");
    splineSpeed = in->getAttributeAsFloat("SplineSpeed");
    affectRotation = in->getAttributeAsBool("AffectRotation");
    resetOnDisable = in->getAttributeAsBool("ResetOnDisable");
    readIfPresent(in, "MaxChargeAmount", maxChargeTime);
    readIfPresent(in, "MaxChargeTime", maxChargeTime);
    readIfPresent(in, "ChargeRate", chargeRate);
    readIfPresent(in, "ChargeDeltaTimeMultiplier", chargeRate);
    readIfPresent(in, "TimeBonusChargeRate", compoundExponent);
    readIfPresent(in, "CompoundChargeMultiplier", compoundExponent);
    readIfPresent(in, "WindDownRate", windDownRate);
    readIfPresent(in, "WindDownDamping", windDownDamping);
    readIfPresent(in, "FlinchDuration", flinchDuration);
    splineNode = nullptr;
    if (isSimulationRunning())
        readIfPresent(in, "CurrentTime", currentTime);
}
