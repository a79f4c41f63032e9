// The six behaviour states of characters and the machine that runs them.
#include "characters/CharacterStates.h"

#include "characters/CharacterObject.h"
#include "characters/CharacterProfile.h"
#include "characters/SuspicionRules.h"
#include "characters/WaypointObject.h"
#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "core/Random.h"
#include "player/PlayerObject.h"

#include <cmath>

using namespace irr;

namespace {

constexpr f32 voiceCooldownSeconds = 5.0f;
constexpr f32 reactionBlendSeconds = 0.5f;

f32 stateFrameSeconds() { return objectFrameSeconds(); }

core::vector3df standingGravityStep() { return characterGravity() * std::min(stateFrameSeconds(), 0.033f) * 0.5f; }

bool tarSeenRuleRepeats(const CharacterObject& character) {
    return getSuspicionValues(character.CharacterSuspicionType, ST_TaroSeen).repeatInterval > 0.0f;
}

// The follow-up of the animation the character's node last started ("" for none).
std::string nextOfPlaying(const CharacterObject& character) {
    CharacterProfile* profile = character.getProfile();
    return profile ? profile->getNextAnimation(character.playingAnimation) : std::string();
}

PlayerObject* statePlayer() { return playerCount() > 0 ? getPlayer(0) : nullptr; }

// What Idle, Reacting, Noticing and Discovered do each frame: stand, fall, guard.
void standStill(CharacterObject& character) {
    if (physicsManager && physicsManager->getScene())
        character.moveController(standingGravityStep());
    if (character.pathBehavior == PathBehavior::Protect)
        character.updatePlayerProximity();
}

void turnToLookTarget(CharacterObject& character) {
    scene::ISceneNode* target = character.getLookTarget();
    if (!target)
        return;
    core::vector3df direction = target->getAbsolutePosition() - character.getAbsolutePosition();
    if (direction.getLengthSQ() > 0.0f)
        direction.normalize();
    character.turnTowards(&character, direction);
}

// The end of a Walking or Stopped animation: its follow-up plays on, or the animators it
// paused move again.
void chainStandingAnimation(CharacterObject& character, CharacterBehaviourState* state) {
    CharacterProfile* profile = character.getProfile();
    const std::string name = character.getStateAnimationName(state->getStateID());
    const std::string next = profile ? profile->getNextAnimation(name) : std::string();
    if (next.empty()) {
        // The animators the animation held move again.
        character.startPendingAnimator();
        return;
    }
    character.StoppedAnimName = next;
    playCharacterAnimation(next, character, state, true);
    const CharacterAnimation* record = profile->findAnimationRecord(next);
    if (record && profile->getNextAnimation(next).empty() && !record->resetAnimation.empty())
        character.StoppedAnimName = record->resetAnimation;
}

class WalkingState : public CharacterBehaviourState {
public:
    s32 getStateID() const override { return CharacterStateId::Walking; }
    void enter(CharacterObject& c) override { playCharacterAnimation(c.WalkingAnimName, c, this, true); }
    void execute(CharacterObject& c) override;
    void onAnimationEnd(CharacterObject& c) override { chainStandingAnimation(c, this); }
};

class StoppedState : public CharacterBehaviourState {
public:
    s32 getStateID() const override { return CharacterStateId::Stopped; }
    void enter(CharacterObject& c) override {
        c.stoppedTime = 0.0f;
        c.idleDelay = 10.0f + 10.0f * randomFloat();
        playCharacterAnimation(c.StoppedAnimName, c, this, true);
    }
    void execute(CharacterObject& c) override;
    void onAnimationEnd(CharacterObject& c) override { chainStandingAnimation(c, this); }
};

class IdleState : public CharacterBehaviourState {
public:
    s32 getStateID() const override { return CharacterStateId::Idle; }
    void enter(CharacterObject& c) override {
        c.stoppedTime = 0.0f;
        c.idleDelay = 10.0f + 10.0f * randomFloat();
        if (const CharacterAnimation* played =
                playCharacterAnimation(c.getStateAnimationName(CharacterStateId::Idle), c, this, false))
            playAnimationSounds(c, *played);
    }
    void execute(CharacterObject& c) override { standStill(c); }
    void onAnimationEnd(CharacterObject& c) override {
        const std::string next = nextOfPlaying(c);
        if (next.empty())
            c.stateMachine().changeState(stoppedState());
        else
            playCharacterAnimation(next, c, this, false);
    }
};

class ReactingState : public CharacterBehaviourState {
public:
    s32 getStateID() const override { return CharacterStateId::Reacting; }
    void enter(CharacterObject& c) override {
        if (const CharacterAnimation* played =
                playCharacterAnimation(c.getStateAnimationName(CharacterStateId::Reacting), c, this, false))
            playAnimationSounds(c, *played);
    }
    void execute(CharacterObject& c) override { standStill(c); }
    void onAnimationEnd(CharacterObject& c) override {
        const std::string next = nextOfPlaying(c);
        if (next.empty())
            c.stateMachine().changeState(c.stateMachine().global ? c.stateMachine().global : stoppedState());
        else
            playCharacterAnimation(next, c, this, tarSeenRuleRepeats(c));
    }
};

class NoticingState : public CharacterBehaviourState {
public:
    explicit NoticingState(s32 id) : id(id) {}
    s32 getStateID() const override { return id; }
    void enter(CharacterObject& c) override {
        c.setLookTarget(statePlayer());
        const std::string name = c.getStateAnimationName(id);
        CharacterProfile* profile = c.getProfile();
        const bool loop = id == CharacterStateId::Noticing && tarSeenRuleRepeats(c) && profile &&
                          profile->getNextAnimation(name).empty();
        const CharacterAnimation* played = playCharacterAnimation(name, c, this, loop);
        if (!played) {
            // Nothing to play: back to what the character did before at once.
            c.stateMachine().changeState(c.stateMachine().global ? c.stateMachine().global : stoppedState());
            return;
        }
        playAnimationSounds(c, *played);
    }
    void execute(CharacterObject& c) override {
        standStill(c);
        turnToLookTarget(c);
    }
    void exit(CharacterObject& c) override {
        CharacterBehaviourState::exit(c);
        c.setLookTargetID(c.getPreviousLookTargetID());
    }
    void onAnimationEnd(CharacterObject& c) override {
        CharacterProfile* profile = c.getProfile();
        const std::string next = nextOfPlaying(c);
        if (next.empty()) {
            c.stateMachine().changeState(c.stateMachine().global ? c.stateMachine().global : stoppedState());
            return;
        }
        const bool loop = id == CharacterStateId::Noticing && tarSeenRuleRepeats(c) &&
                          profile->getNextAnimation(next).empty();
        playCharacterAnimation(next, c, this, loop);
    }

private:
    s32 id;
};

void WalkingState::execute(CharacterObject& c) {
    if (!c.getController())
        return;
    ensureCharacterAnimation(c, c.WalkingAnimName, this);
    const f32 st = physicsManager ? physicsManager->getFrameStepTime() : PhysicsManager::fixedStepSize;
    const f32 arrive = 36.0f * st;
    const f32 size = 2.0f * c.body().Radius + c.body().Height;
    const f32 climb = 2.0f * size * size;

    if (c.pathBehavior == PathBehavior::Protect)
        c.updatePlayerProximity();
    core::vector3df toTarget;
    c.getDirectionToTarget(toTarget);
    if (c.stateMachine().current != this)
        return;
    const auto horizontalSq = [](const core::vector3df& v) { return v.X * v.X + v.Z * v.Z; };
    // On a curved path the goal runs ahead along the spline; arrival is then measured
    // against the waypoint itself.
    core::vector3df toPoint = toTarget;
    WaypointObject* first = c.getFirstWaypoint();
    if (c.getTargetWaypoint() && first && !first->UseLinearInterpolation) {
        for (int i = 0; i < 15 && horizontalSq(toTarget) < arrive && toTarget.Y * toTarget.Y < climb; ++i) {
            c.advanceSplineTime();
            c.getDirectionToTarget(toTarget);
            if (c.stateMachine().current != this)
                return;
        }
        if (WaypointObject* target = c.getTargetWaypoint())
            toPoint = target->getAbsolutePosition() - c.getControllerPosition();
    }
    core::vector3df horizontal(toTarget.X, 0.0f, toTarget.Z);
    const f32 remaining = horizontal.getLength();
    if (remaining > 0.0f)
        horizontal /= remaining;
    const f32 cosine = c.turnTowards(&c, horizontal);

    if (horizontalSq(toPoint) < arrive && toPoint.Y * toPoint.Y < climb) {
        c.arriveAtWaypoint();
        if (c.stateMachine().current != this)
            return;
    }
    c.Direction = horizontal;
    const f32 speed = cosine > 0.9f ? c.WalkSpeed : 0.0f;

    if (c.pathBehavior != PathBehavior::Protect && c.isBlockedByPlayer()) {
        if (c.voiceCooldown == 0.0f) {
            c.playVoice("TentaroBlocking");
            c.voiceCooldown = voiceCooldownSeconds;
        }
        c.stuckTime = 0.0f;
        c.stateMachine().changeState(stoppedState());
        return;
    }
    core::vector3df step = horizontal * std::fabs(speed) * st;
    if (std::fabs(speed) * st > remaining)
        step = core::vector3df(toTarget.X, 0.0f, toTarget.Z);
    const core::vector3df requested = step + standingGravityStep();
    const core::vector3df before = c.getControllerPosition();
    c.moveController(requested);
    if (CharacterProfile* profile = c.getProfile())
        if (const CharacterAnimation* record = profile->findAnimationRecord(c.WalkingAnimName)) {
            c.playFoley(record->foley, c.getControllerFootPosition());
            c.playVoice(record->sound);
        }
    const core::vector3df moved = c.getControllerPosition() - before;
    const f32 wanted = core::vector3df(step.X, 0.0f, step.Z).getLength();
    if (wanted > 0.0f && core::vector3df(moved.X, 0.0f, moved.Z).getLength() < 0.1f * wanted) {
        c.stuckTime += stateFrameSeconds();
        if (c.stuckTime <= 0.5f)
            return;
        c.stuckTime = 0.0f;
        c.stateMachine().changeState(stoppedState());
        return;
    }
    c.stuckTime = 0.0f;
}

void StoppedState::execute(CharacterObject& c) {
    c.stoppedTime += stateFrameSeconds();
    CharacterStateMachine& machine = c.stateMachine();
    const bool resumes =
        c.getController() && machine.global == walkingState() && c.pathBehavior != PathBehavior::Protect;
    if (resumes) {
        if (c.stoppedTime > 2.0f && !c.isBlockedByPlayer()) {
            // Probe one step along the last direction; walk on when it moves.
            const f32 st = physicsManager ? physicsManager->getFrameStepTime() : PhysicsManager::fixedStepSize;
            const core::vector3df requested = c.Direction * c.WalkSpeed * st;
            phys::Controller* controller = c.getController();
            const phys::ExtVec3 start = controller->getPosition();
            c.moveController(requested);
            const phys::ExtVec3 end = controller->getPosition();
            controller->setPosition(start);
            const f32 moved = static_cast<f32>(std::sqrt((end.x - start.x) * (end.x - start.x) +
                                                         (end.y - start.y) * (end.y - start.y) +
                                                         (end.z - start.z) * (end.z - start.z)));
            if (moved > 0.1f * requested.getLength()) {
                c.stoppedTime = 0.0f;
                machine.changeState(walkingState());
                return;
            }
        }
    } else {
        const bool justNoticed = machine.previous == noticingState() && c.stoppedTime <= 2.0f;
        if (c.getLookTarget() && !justNoticed) {
            turnToLookTarget(c);
            if (c.pathBehavior == PathBehavior::Protect)
                c.updatePlayerProximity();
        }
        if (c.hasDefaultAnimations() && c.stoppedTime > c.idleDelay &&
            !c.getStateAnimationName(CharacterStateId::Idle).empty()) {
            c.stoppedTime = 0.0f;
            machine.changeState(idleState());
            return;
        }
    }
    if (c.getController())
        c.moveController(standingGravityStep());
    if (c.voiceCooldown == 0.0f) {
        if (CharacterProfile* profile = c.getProfile())
            if (const CharacterAnimation* record = profile->findAnimationRecord(c.StoppedAnimName)) {
                c.playVoice(record->sound);
                c.playFoley(record->foley, c.getControllerFootPosition());
            }
        c.voiceCooldown = voiceCooldownSeconds;
    }
}

} // namespace

void CharacterBehaviourState::exit(CharacterObject& character) {
    if (scene::IAnimatedMeshSceneNode* node = character.getMeshNode())
        node->setAnimationEndCallback(nullptr);
}

void CharacterBehaviourState::OnAnimationEnd(scene::IAnimatedMeshSceneNode* node) {
    scene::ISceneNode* owner = node;
    while (owner && owner->getType() != typeId("crct"))
        owner = owner->getParent();
    if (CharacterObject* character = asCharacter(owner))
        onAnimationEnd(*character);
}

void CharacterStateMachine::changeState(CharacterBehaviourState* state) {
    if (!state)
        return;
    previous = current;
    if (current)
        current->exit(owner);
    current = state;
    state->enter(owner);
}

void CharacterStateMachine::update() {
    if (current)
        current->execute(owner);
}

CharacterBehaviourState* walkingState() {
    static WalkingState state;
    return &state;
}
CharacterBehaviourState* stoppedState() {
    static StoppedState state;
    return &state;
}
CharacterBehaviourState* idleState() {
    static IdleState state;
    return &state;
}
CharacterBehaviourState* reactingState() {
    static ReactingState state;
    return &state;
}
CharacterBehaviourState* noticingState() {
    static NoticingState state(CharacterStateId::Noticing);
    return &state;
}
CharacterBehaviourState* discoveredState() {
    static NoticingState state(CharacterStateId::Discovered);
    return &state;
}

CharacterBehaviourState* characterState(s32 id) {
    switch (id) {
    case CharacterStateId::Walking: return walkingState();
    case CharacterStateId::Stopped: return stoppedState();
    case CharacterStateId::Idle: return idleState();
    case CharacterStateId::Reacting: return reactingState();
    case CharacterStateId::Noticing: return noticingState();
    case CharacterStateId::Discovered: return discoveredState();
    default: return nullptr;
    }
}

const CharacterAnimation* playCharacterAnimation(const std::string& name, CharacterObject& character,
                                                 CharacterBehaviourState* state, bool loop) {
    CharacterProfile* profile = character.getProfile();
    const CharacterAnimation* record = profile ? profile->findAnimationRecord(name) : nullptr;
    if (!record)
        return nullptr;
    if (!record->nextAnimation.empty())
        loop = false;
    const f32 blend =
        character.stateMachine().previous == reactingState() ? reactionBlendSeconds : record->blendTime;
    if (scene::IAnimatedMeshSceneNode* node = character.getMeshNode()) {
        node->setAnimationEndCallback(state);
        node->setTransitionTime(blend);
        if (record->endFrame != 0) {
            node->setFrameLoop(record->startFrame, record->endFrame);
            node->setCurrentFrame(static_cast<f32>(record->startFrame));
            node->setAnimationSpeed(record->overrideFps ? record->fps : character.mesh().AnimFPS);
            if (state == walkingState())
                character.updateWalkAnimationSpeed(character.mesh().AnimFPS);
        }
        node->setLoopMode(loop);
        character.playingAnimation = record->name;
        character.previousUseNeckAnimation = character.useNeckAnimation;
        character.useNeckAnimation = record->useNeckAnimation;
    }
    return record;
}

void ensureCharacterAnimation(CharacterObject& character, const std::string& name, CharacterBehaviourState* state) {
    CharacterProfile* profile = character.getProfile();
    const CharacterAnimation* record = profile ? profile->findAnimationRecord(name) : nullptr;
    scene::IAnimatedMeshSceneNode* node = character.getMeshNode();
    if (record && node && node->getStartFrame() == record->startFrame && node->getEndFrame() == record->endFrame &&
        node->getFrameNr() >= static_cast<f32>(record->startFrame) &&
        node->getFrameNr() <= static_cast<f32>(record->endFrame))
        return;
    playCharacterAnimation(name, character, state, true);
}

void playAnimationSounds(CharacterObject& character, const CharacterAnimation& animation) {
    if (character.getMeshNode())
        character.playVoice(animation.sound);
    character.playFoley(animation.foley, character.getAbsolutePosition());
}
