// The character's frame: path following along waypoint chains, walking speed, turning,
// looking at a target, guarding a path segment, stopping for the player, hit side, the
// profile's voice and foley cues, head turning and the lip-sync overlay.
#include "characters/CharacterObject.h"

#include "characters/CharacterProfile.h"
#include "characters/CharacterStates.h"
#include "characters/SuspicionRules.h"
#include "characters/WaypointObject.h"
#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "core/Random.h"
#include "core/SoundManager.h"
#include "level/LevelManager.h"
#include "level/NodeHelpers.h"
#include "level/SoundObject.h"
#include "level/WorldTransform.h"
#include "platform/audio/EventSystem.h"
#include "player/PlayerObject.h"
#include "triggers/ObjectIDExpression.h"

#include <cmath>
#include <utility>

using namespace irr;

namespace {

constexpr f32 fixedCharacterStep = 0.0167f;
constexpr f32 characterRadiansToDegrees = 57.29578f;

PlayerObject* firstPlayer() { return playerCount() > 0 ? getPlayer(0) : nullptr; }

// The node's -Z axis in world space, flattened.
core::vector3df facingOf(const scene::ISceneNode* node) {
    core::vector3df facing(0.0f, 0.0f, -1.0f);
    node->getAbsoluteTransformation().rotateVect(facing);
    return facing;
}

core::quaternion yawQuaternion(f32 yaw) {
    core::quaternion q;
    q.fromAngleAxis(yaw, core::vector3df(0.0f, 1.0f, 0.0f));
    return q;
}

} // namespace

f32 characterFrameStep() {
    f32 step = objectFrameSeconds();
    if (physicsManager) {
        const f32 length = physicsManager->getStepSize();
        if (step > length)
            step = static_cast<f32>(physicsManager->getStepsDue()) * fixedCharacterStep;
        if (step <= length)
            step = fixedCharacterStep;
    }
    return step;
}

core::vector3df characterGravity() {
    phys::Vec3 gravity(0.0f, 0.0f, 0.0f);
    if (physicsManager && physicsManager->getScene())
        physicsManager->getGravity(gravity);
    return toEngine(gravity);
}

bool CharacterObject::hasActiveMovementAnimator() const {
    for (scene::ISceneNodeAnimator* animator : Animators) {
        if (!animator || animator->hasFinished())
            continue;
        switch (static_cast<s32>(animator->getType())) {
        case 0: case 3: case 1000: case 1001: case 1006: case 1008: case 1009: case 1011: case 1012: return true;
        default: break;
        }
    }
    return false;
}

void CharacterObject::OnAnimate(u32 timeMs) {
    if (animatedThisFrame())
        return;
    markAnimatedThisFrame();
    if (noCollideChanged) {
        noCollideExpression = parseObjectIDExpression(NoCollideKinematicIDs);
        noCollideChanged = false;
    }
    const f32 seconds = objectFrameSeconds();
    if (voiceCooldown > 0.0f)
        voiceCooldown = std::max(0.0f, voiceCooldown - seconds);
    updatePhysics();
    if (lipLoopNode)
        lipLoopNode->setVisible(talkingCount > 0);
    syncBodyWithNode(timeMs);
    if (!IsVisible)
        return;

    if (physicsManager && isSimulationRunning()) {
        if (hasActiveMovementAnimator() && controller) {
            // An animator moves the node: the controller follows it.
            core::vector3df displacement = getAbsolutePosition() - (getControllerPosition() - MeshOffset);
            if (ApplyGravityToAnimators) {
                displacement.Y = 0.0f;
                displacement += characterGravity() * std::min(seconds, 0.033f) * 0.5f;
            }
            moveController(displacement);
            setNodeWorldPosition(this, getControllerPosition() + MeshOffset);
        } else {
            setPathStart();
            if (turnBlend < 1.0f)
                turnBlend = std::min(1.0f, turnBlend + turnBlendRate * seconds);
            if (lookingAtPlayer)
                setLookTargetID(LookTargetID);
            machine->update();
            if (meshNode)
                lastMeshFrame = meshNode->getFrameNr();
            if (controller)
                setNodeWorldPosition(this, getControllerPosition() + MeshOffset);
        }
    }
    updateAbsolutePosition();
    updateTransformsRecursive(this);
    updateAnimation(false);
}

WaypointObject* CharacterObject::waypointAlongChain(WaypointObject* first, s32 steps) const {
    WaypointObject* point = first;
    for (s32 i = 0; i < steps && point; ++i)
        point = WaypointObject::getNextWaypoint(point);
    return point;
}

void CharacterObject::setPathStart() {
    if (!pathStarted && firstWaypoint && !firstWaypoint->isNotReady() && !firstWaypoint->UseLinearInterpolation &&
        pathBehavior != PathBehavior::Protect) {
        targetPosition = firstWaypoint->getPosition(TargetSplineTime);
        pathStarted = true;
    }
    if (firstWaypoint)
        return;
    if (ParentWaypointID == 0 || ParentWaypointID == -1 || !levelManager)
        return;
    auto* parent = static_cast<WaypointObject*>(findLevelObjectOfType(ParentWaypointID, typeId("wayp")));
    if (!parent)
        return;
    firstWaypoint = WaypointObject::getNextWaypoint(parent);
    if (!firstWaypoint)
        return;
    if (pathBehavior == PathBehavior::Protect)
        updatePlayerProximity();
    if (firstWaypoint->UseLinearInterpolation)
        pathStarted = true;
    WaypointObject* indexed = WaypointIndex != 0 ? waypointAlongChain(firstWaypoint, WaypointIndex) : nullptr;
    targetWaypoint = indexed ? indexed : firstWaypoint;
    if (controller && controller->getActor())
        setActorFilterData(controller->getActor(), 0x80, 0x0fffff8f);
    lastWaypoint = targetWaypoint;
    updateWaypointTarget();
}

void CharacterObject::updateWaypointTarget() {
    if (!targetWaypoint) {
        if (machine->currentID() == CharacterStateId::Walking) {
            machine->changeState(stoppedState());
            machine->global = stoppedState();
        }
        return;
    }
    const bool backForth = pathBehavior == PathBehavior::BackForth;
    if (lastWaypoint && WaypointObject::getPreviousWaypoint(lastWaypoint) == targetWaypoint && backForth) {
        IsGoingBack = true;
    } else if (lastWaypoint && !WaypointObject::getPreviousWaypoint(lastWaypoint) &&
               (IsGoingBack || (WalkSpeed < 0.0f && backForth))) {
        IsGoingBack = false;
        WalkSpeed = std::fabs(WalkSpeed);
    }
    WaypointObject* next = nullptr;
    if (IsGoingBack || WalkSpeed < 0.0f) {
        if (WaypointObject* previous = WaypointObject::getPreviousWaypoint(targetWaypoint))
            next = previous;
        else if (IsGoingBack || backForth)
            next = WaypointObject::getNextWaypoint(targetWaypoint);
        else if (pathBehavior == PathBehavior::Loop)
            next = WaypointObject::getLastWaypoint(targetWaypoint);
    } else {
        if (WaypointObject* following = WaypointObject::getNextWaypoint(targetWaypoint))
            next = following;
        else if (pathBehavior == PathBehavior::Loop)
            next = targetWaypoint == firstWaypoint ? nullptr : firstWaypoint;
        else if (backForth)
            next = WaypointObject::getPreviousWaypoint(targetWaypoint);
    }
    if (pathBehavior == PathBehavior::OneWay && !WaypointObject::getNextWaypoint(targetWaypoint))
        next = nullptr;
    nextTarget = next;
}

void CharacterObject::arriveAtWaypoint() {
    if (!targetWaypoint)
        return;
    WaypointObject* reached = targetWaypoint;
    targetWaypoint = nullptr;
    reached->runWaypointEvents();
    previousWaypoint = lastWaypoint;
    lastWaypoint = reached;
    targetWaypoint = nextTarget;
    // Keep the saved index in step with the target along the chain.
    WaypointIndex = 0;
    for (WaypointObject* point = firstWaypoint; point && point != targetWaypoint;
         point = WaypointObject::getNextWaypoint(point))
        ++WaypointIndex;
    updateWaypointTarget();
}

void CharacterObject::advanceSplineTime() {
    if (!firstWaypoint)
        return;
    const f32 length = firstWaypoint->getLength();
    const f32 delta = length > 0.0f ? WalkSpeed * characterFrameStep() / length : 0.0f;
    if ((!IsGoingBack && WalkSpeed >= 0.0f) || TargetSplineTime < 0.0f) {
        if (TargetSplineTime <= 1.0f) {
            TargetSplineTime += delta;
            if (pathBehavior == PathBehavior::Loop) {
                if (TargetSplineTime > 1.0f) {
                    TargetSplineTime -= 1.0f;
                    if (targetWaypoint != firstWaypoint)
                        arriveAtWaypoint();
                }
            } else if (pathBehavior == PathBehavior::BackForth || pathBehavior == PathBehavior::OneWay) {
                TargetSplineTime = std::min(TargetSplineTime, 1.0f);
            }
        }
    } else {
        TargetSplineTime -= delta;
        if (pathBehavior == PathBehavior::Loop && TargetSplineTime < 0.0f)
            TargetSplineTime += 1.0f;
        else if (pathBehavior == PathBehavior::BackForth)
            TargetSplineTime = std::max(TargetSplineTime, 0.0f);
    }
    targetPosition = firstWaypoint->getPosition(TargetSplineTime);
}

bool CharacterObject::getDirectionToTarget(core::vector3df& out) {
    if (!targetWaypoint) {
        if (machine->currentID() == CharacterStateId::Walking) {
            machine->changeState(stoppedState());
            machine->global = stoppedState();
        }
        return false;
    }
    if (!controller)
        return false;
    core::vector3df goal = targetWaypoint->getAbsolutePosition();
    if ((firstWaypoint && !firstWaypoint->UseLinearInterpolation) || pathBehavior == PathBehavior::Protect)
        goal = targetPosition;
    out = goal - getControllerPosition();
    if (WalkSpeed < 0.0f)
        out = -out;
    return true;
}

void CharacterObject::updatePlayerProximity() {
    PlayerObject* player = firstPlayer();
    WaypointObject* second = firstWaypoint ? WaypointObject::getNextWaypoint(firstWaypoint) : nullptr;
    if (!firstWaypoint || !second || !player)
        return;
    const auto flat = [](core::vector3df v) {
        v.Y = 0.0f;
        return v;
    };
    const core::vector3df a = flat(firstWaypoint->getAbsolutePosition());
    const core::vector3df b = flat(second->getAbsolutePosition());
    const core::vector3df p = flat(player->getAbsolutePosition());
    const core::vector3df s = flat(getAbsolutePosition());
    const core::vector3df ab = b - a;
    const f32 lengthSq = ab.getLengthSQ();
    const f32 t = lengthSq > 0.0f ? core::clamp((p - a).dotProduct(ab) / lengthSq, 0.0f, 1.0f) : 0.0f;
    const core::vector3df guard = a + ab * t;
    const f32 distanceSq = (s - guard).getLengthSQ();
    const s32 state = machine->currentID();
    if (distanceSq > 1.0f && state != CharacterStateId::Walking) {
        targetPosition = guard;
        machine->changeState(walkingState());
    } else if (state != CharacterStateId::Reacting && state != CharacterStateId::Stopped && distanceSq < 0.5f) {
        machine->changeState(stoppedState());
        if (LookTargetID != lookTargetPlayerID)
            previousLookTargetID = LookTargetID;
        lookingAtPlayer = false;
        LookTargetID = 0;
        lookTarget = nullptr;
        setLookTarget(player);
    } else {
        targetPosition = guard;
    }
}

void CharacterObject::setWalkSpeed(f32 speed) {
    const bool signChanged = (speed < 0.0f) != (WalkSpeed < 0.0f);
    WalkSpeed = speed;
    updateWalkAnimationSpeed(meshSettings->AnimFPS);
    if (signChanged) {
        // Turning round: back to the waypoint last reached.
        targetWaypoint = lastWaypoint;
        nextTarget = targetWaypoint;
        updateWaypointTarget();
    }
}

void CharacterObject::updateWalkAnimationSpeed(f32 otherSpeed) {
    if (!meshNode)
        return;
    if (machine->currentID() == CharacterStateId::Walking)
        meshNode->setAnimationSpeed((std::max((6.0f - WalkSpeed) * 0.5f, 0.0f) + 4.5f) * WalkSpeed);
    else
        meshNode->setAnimationSpeed(otherSpeed);
}

f32 CharacterObject::turnTowards(scene::ISceneNode* node, const core::vector3df& direction) {
    if (!node)
        return 0.0f;
    const auto cosineNow = [&] {
        core::vector3df facing = facingOf(node);
        facing.Y = 0.0f;
        core::vector3df wanted(direction.X, 0.0f, direction.Z);
        if (facing.getLengthSQ() == 0.0f || wanted.getLengthSQ() == 0.0f)
            return 1.0f;
        return facing.normalize().dotProduct(wanted.normalize());
    };
    if (node == this && hasActiveMovementAnimator())
        return cosineNow();
    if (direction.X == 0.0f && direction.Z == 0.0f)
        return cosineNow();
    // The node's +Z axis points away from the direction it faces.
    core::vector3df target(-direction.X, 0.0f, -direction.Z);
    target.normalize();
    const f32 yaw = std::atan2(target.X, target.Z);
    core::quaternion targetQ = yawQuaternion(yaw);
    if (std::fabs(yaw - turnTargetYaw) > 0.01f) {
        core::vector3df back = -facingOf(node);
        turnStart = yawQuaternion(std::atan2(back.X, back.Z));
        f32 dot = turnStart.dotProduct(targetQ);
        if (dot < 0.0f) {
            turnStart = core::quaternion(-turnStart.X, -turnStart.Y, -turnStart.Z, -turnStart.W);
            dot = -dot;
        }
        turnLength = turnRemaining = std::acos(std::min(dot, 1.0f));
        turnTargetYaw = yaw;
    } else {
        targetQ = yawQuaternion(turnTargetYaw);
        if (turnStart.dotProduct(targetQ) < 0.0f)
            targetQ = core::quaternion(-targetQ.X, -targetQ.Y, -targetQ.Z, -targetQ.W);
    }
    turnRemaining = std::max(0.0f, turnRemaining - RotateSpeed * characterFrameStep());
    const f32 u = turnLength > 0.0f ? core::clamp(1.0f - turnRemaining / turnLength, 0.0f, 1.0f) : 1.0f;
    const f32 s = (3.0f - 2.0f * u) * u * u;
    core::quaternion blend(turnStart.X * (1.0f - s) + targetQ.X * s, turnStart.Y * (1.0f - s) + targetQ.Y * s,
                           turnStart.Z * (1.0f - s) + targetQ.Z * s, turnStart.W * (1.0f - s) + targetQ.W * s);
    blend.normalize();
    core::vector3df euler;
    blend.toEuler(euler);
    setNodeWorldRotation(node, euler * characterRadiansToDegrees);
    node->updateAbsolutePosition();
    return cosineNow();
}

bool CharacterObject::isBlockedByPlayer() {
    PlayerObject* player = firstPlayer();
    const bool coneAllows =
        !visionCone || visionCone->hasNoticed();
    if (!StopForTentaro || !controller || !player || !coneAllows) {
        blockedByPlayer = false;
        return false;
    }
    core::vector3df p = player->getAbsolutePosition();
    if (auto* body = static_cast<phys::RigidActor*>(player->getSegmentActor(2)))
        p = toEngine(body->getGlobalPose().p);
    const core::vector3df k = getControllerPosition();
    const f32 d = (p - k).getLength();
    const f32 threshold = blockedByPlayer ? 0.0f : d * 0.14f;
    bool blocked = false;
    if (d < 7.0f && d > 0.0f) {
        const core::vector3df toPlayer((p.X - k.X) / d, 0.0f, (p.Z - k.Z) / d);
        blocked = threshold < toPlayer.dotProduct(facingOf(this));
    }
    blockedByPlayer = blocked;
    return blocked;
}

void CharacterObject::setLookTargetID(s32 id) {
    if (id == -1 || !(!lookTarget || id != LookTargetID || id == lookTargetPlayerID))
        return;
    if (LookTargetID != lookTargetPlayerID)
        previousLookTargetID = LookTargetID;
    lookingAtPlayer = false;
    LookTargetID = 0;
    lookTarget = nullptr;
    if (id == lookTargetPlayerID)
        setLookTarget(firstPlayer());
    else if (id != 0 && levelManager)
        setLookTarget(levelManager->getSceneNodeFromID(id));
}

void CharacterObject::setLookTarget(scene::ISceneNode* node) {
    if (lookTarget && lookTarget->getID() != lookTargetPlayerID)
        previousLookTargetID = lookTarget->getID();
    const bool player = node && node == firstPlayer();
    LookTargetID = player ? lookTargetPlayerID : (node ? node->getID() : 0);
    lookingAtPlayer = LookTargetID == lookTargetPlayerID;
    lookTarget = node;
    if (!node && !lookingAtPlayer)
        LookTargetID = 0;
}

void CharacterObject::lookAtPlayer() {
    setLookTarget(firstPlayer());
    previousUseNeckAnimation = useNeckAnimation;
    useNeckAnimation = false;
}

void CharacterObject::restoreLookTarget() {
    setLookTargetID(previousLookTargetID);
    std::swap(useNeckAnimation, previousUseNeckAnimation);
}

void CharacterObject::changeVisionState(s32 state) { machine->changeState(characterState(state)); }

s32 CharacterObject::getVisionGlobalState() {
    return machine->global ? machine->globalID() : static_cast<s32>(CharacterStateId::Stopped);
}

void CharacterObject::setParentWaypointID(s32 id) {
    if (id == 0 || id == -1)
        return;
    firstWaypoint = nullptr;
    pathStarted = false;
    WaypointIndex = 0;
    ParentWaypointID = id;
    TargetSplineTime = 0.0f;
    setPathStart();
}

void CharacterObject::setWaypoint(s32 id) {
    auto* waypoint = static_cast<WaypointObject*>(findLevelObjectOfType(id, typeId("wayp")));
    if (!waypoint)
        return;
    if (scene::ISceneNode* parent = waypoint->getParent(); parent && parent->getType() == typeId("wayp"))
        setParentWaypointID(parent->getID());
    targetWaypoint = nextTarget = waypoint;
    TargetSplineTime = waypoint->Time;
    if (firstWaypoint)
        targetPosition = firstWaypoint->getPosition(TargetSplineTime);
}

void CharacterObject::resumePathFromLastWaypoint() {
    if (targetWaypoint)
        return;
    targetWaypoint = lastWaypoint;
    updateWaypointTarget();
    targetWaypoint = nextTarget;
    updateWaypointTarget();
}

void CharacterObject::setSuspicionType(s32 type) {
    if (type == SCT_None)
        return;
    CharacterSuspicionType = type;
    if (type >= SCT_Scientist && type <= SCT_Chef) {
        visionConeEnabled = true;
        visionNoticeDelay = getSuspicionValues(type, ST_TaroSeen).speedThreshold;
    } else {
        visionConeEnabled = false;
        visionNoticeDelay = 0.0f;
    }
    applyVisionSettings();
}

void CharacterObject::updateHitSide(const core::vector3df& hitPosition) {
    core::vector3df toHit = hitPosition - getAbsolutePosition();
    toHit.Y = 0.0f;
    toHit.normalize();
    core::vector3df back(0.0f, 0.0f, 1.0f);
    getAbsoluteTransformation().rotateVect(back);
    hitFromBehind = toHit.dotProduct(back) > 0.0f;
}

std::string CharacterObject::getStateAnimationName(s32 state) const {
    switch (state) {
    case CharacterStateId::Walking: return WalkingAnimName;
    case CharacterStateId::Stopped: return StoppedAnimName;
    case CharacterStateId::Idle:
    case CharacterStateId::Noticing:
    case CharacterStateId::Discovered: {
        const auto& list = stateAnimations(state);
        if (list.empty())
            return "";
        return list[static_cast<std::size_t>(randomInt(static_cast<s32>(list.size()) - 1))]->name;
    }
    case CharacterStateId::Reacting: return hitFromBehind ? ReactingAnimName : reactingBackwardName;
    default: return "";
    }
}

void CharacterObject::setStateAnimationName(s32 state, const std::string& name) {
    if (name.empty() || !profile || !profile->findAnimationRecord(name))
        return;
    if (state == CharacterStateId::Walking || state == CharacterStateId::Stopped) {
        std::string& slot = state == CharacterStateId::Walking ? WalkingAnimName : StoppedAnimName;
        const bool changed = slot != name;
        slot = name;
        if (changed && machine->currentID() == state)
            machine->current->enter(*this);
    } else if (state == CharacterStateId::Reacting) {
        ReactingAnimName = name;
        rebuildReactingBackwardName();
    }
}

core::vector3df CharacterObject::getConeBonePosition() const {
    if (meshNode)
        if (scene::IBoneSceneNode* joint = meshNode->getJointNode(ConeBoneName.c_str()))
            return joint->getAbsolutePosition();
    return getAbsolutePosition();
}

bool CharacterObject::isSoundDue(const std::string& name, std::wstring& path, std::string* behavior,
                                 s32* subtitle) const {
    if (!profile)
        return false;
    const CharacterSound sound = profile->findSound(name, constructionLevelName);
    if (sound.path.empty())
        return false;
    if (sound.repeatFrameOffset != 0) {
        const u32 repeat = static_cast<u32>(sound.repeatFrameOffset);
        const u32 start = static_cast<u32>(sound.startFrameOffset);
        const u32 frame = static_cast<u32>(static_cast<s32>(std::lround(meshNode ? meshNode->getFrameNr() : 0.0f)));
        const u32 last = static_cast<u32>(static_cast<s32>(std::lround(lastMeshFrame)));
        const s32 sinceStart = static_cast<s32>(frame) - static_cast<s32>(start);
        if (!(sinceStart > 0 && (frame - start) % repeat < (last - start) % repeat))
            return false;
    }
    if (sound.frequentness < 0.99f && randomFloat() > sound.frequentness)
        return false;
    path = sound.path;
    if (behavior)
        *behavior = sound.behavior;
    if (subtitle)
        *subtitle = sound.subtitleID;
    return true;
}

void CharacterObject::playFoley(const std::string& name, const core::vector3df& position) {
    if (!meshNode || !soundManager)
        return;
    std::wstring path;
    if (!isSoundDue(name, path, nullptr, nullptr))
        return;
    audio::Event* event = soundManager->getEvent(core::stringc(path.c_str()).c_str());
    if (!event || soundManager->muted)
        return;
    const audio::Vector3 at{position.X, position.Y, position.Z};
    const audio::Vector3 still{0.0f, 0.0f, 0.0f};
    event->set3DAttributes(&at, &still);
    soundManager->startEvent(event);
}

void CharacterObject::playVoice(const std::string& name) {
    if (!voice)
        return;
    if (levelManager && levelManager->loadPending)
        return;
    std::wstring path;
    std::string behavior;
    s32 subtitle = 0;
    if (!isSoundDue(name, path, &behavior, &subtitle))
        return;
    s32 mode = SoundObject::Other;
    if (behavior == "Interrupt")
        mode = SoundObject::Interrupt;
    else if (behavior == "InterruptAndQueue")
        mode = SoundObject::InterruptAndQueue;
    else if (behavior == "Queue")
        mode = SoundObject::Queue;
    SoundObject* named = soundManager ? soundManager->getNamedEntry(voice->getOwnerName().c_str()) : nullptr;
    if (!named || !named->isPlaying())
        voice->appendToConversation(nullptr);
    voice->VoiceMode = mode;
    voice->SubtitleID = subtitle;
    voice->HasSubtitle = subtitle > 0;
    voice->EventName = core::stringc(path.c_str()).c_str();
    voice->play();
}

void CharacterObject::updateAnimation(bool force) {
    const u32 stamp = levelAnimateFrame;
    if (force || stamp != lastAnimationStamp) {
        if (IsVisible && hardwareJointCount > 1 && meshNode && meshSettings->AnimFPS > 0.0f)
            meshNode->animateJoints(false);
        turnHead(objectFrameSeconds());
        overlayLipSync();
        lastAnimationStamp = stamp;
    }
    animationUpdatedEvent.invoke();
}

void CharacterObject::turnHead(f32 frameSeconds) {
    if (!meshNode || !visionCone || headTurningOff || !gameDevice)
        return;
    const u32 now = gameDevice->getTimer()->getTime();
    const f32 step = now != lastHeadTimerMs ? frameSeconds : 0.0f;
    lastHeadTimerMs = now;
    scene::IBoneSceneNode* joint = meshNode->getJointNode("headBaseJt");
    if (!joint)
        return;
    const bool coneTracking = visionCone->isInSight();
    bool tracking = false;
    core::vector3df target = joint->getRotation();
    PlayerObject* player = firstPlayer();
    if (player && visionCone->hasNoticed() && joint->getParent()) {
        core::matrix4 toParent;
        joint->getParent()->getAbsoluteTransformation().getInverse(toParent);
        core::vector3df local = player->getAbsolutePosition();
        toParent.transformVect(local);
        const core::vector3df angles = (joint->getPosition() - local).normalize().getHorizontalAngle();
        const f32 pitchLimit = CharacterSuspicionType == SCT_Chef ? 80.0f : 50.0f;
        const f32 yawLimit = CharacterSuspicionType == SCT_Chef ? 80.0f : 40.0f;
        const auto limit = [](f32 angle, f32 bound) {
            return angle < 180.0f ? core::clamp(angle, 0.0f, bound) : core::clamp(angle, 360.0f - bound, 360.0f);
        };
        const f32 pitch = limit(angles.X, pitchLimit);
        const f32 yaw = limit(angles.Y, yawLimit);
        if (std::fabs(pitch - angles.X) < 0.000001f && std::fabs(yaw - angles.Y) < 0.000001f) {
            target = core::vector3df(pitch, yaw, 0.0f);
            tracking = true;
        }
    }
    // Out of reach while the cone still tracks: the head holds its last target.
    if (tracking || !coneTracking)
        headTarget.set(target * core::DEGTORAD);
    headTracking = tracking;
    if (!tracking && std::fabs(headCurrent.X - headTarget.X) < 0.001f && std::fabs(headCurrent.Y - headTarget.Y) < 0.001f &&
        std::fabs(headCurrent.Z - headTarget.Z) < 0.001f && std::fabs(headCurrent.W - headTarget.W) < 0.001f)
        return;
    headCurrent.slerp(headCurrent, headTarget, core::clamp(2.0f * step, 0.0f, 1.0f), 0.05f);
    core::vector3df euler;
    headCurrent.toEuler(euler);
    joint->setRotation(euler * core::RADTODEG);
    joint->updateAbsolutePositionOfAllChildren();
}

void CharacterObject::overlayLipSync() {
    if (!meshNode || !lipLoopNode || talkingCount <= 0)
        return;
    lipLoopNode->animateJoints(false);
    auto* lipMesh = lipLoopNode->getMesh() && lipLoopNode->getMesh()->getMeshType() == scene::EAMT_SKINNED
                        ? static_cast<scene::ISkinnedMesh*>(lipLoopNode->getMesh())
                        : nullptr;
    if (!lipMesh)
        return;
    for (u32 i = 0; i < lipMesh->getJointCount(); ++i) {
        if (lipMesh->getAllJoints()[i]->PositionKeys.empty())
            continue;
        const c8* name = lipMesh->getJointName(i);
        scene::IBoneSceneNode* from = lipLoopNode->getJointNode(i);
        scene::IBoneSceneNode* to = name ? meshNode->getJointNode(name) : nullptr;
        if (!from || !to)
            continue;
        to->setScale(from->getScale());
        to->setRotation(from->getRotation());
        to->setPosition(from->getPosition());
        to->updateAbsolutePositionOfAllChildren();
    }
}
