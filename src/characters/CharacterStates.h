#pragma once

#include <irrlicht.h>

#include <string>

// Behaviour states of a character, as the state machine numbers them.
namespace CharacterStateId {
constexpr irr::s32 Walking = 0;
constexpr irr::s32 Stopped = 1;
constexpr irr::s32 Idle = 2;
constexpr irr::s32 Reacting = 3;
constexpr irr::s32 Noticing = 4;
constexpr irr::s32 Discovered = 5;
} // namespace CharacterStateId

// A character's behaviour: six shared states (Walking, Stopped, Idle, Reacting, Noticing,
// Discovered) and a small machine per character that runs the current one. The states keep
// nothing per character; what they need (stopped time, idle delay, stuck time, voice
// cooldown, look target, animation names) lives in the CharacterObject. Each state is also
// the animation-end callback of the character's mesh node while its animation plays once.

class CharacterObject;
struct CharacterAnimation;

class CharacterBehaviourState : public irr::scene::IAnimationEndCallBack {
public:
    virtual void enter(CharacterObject& character) = 0;
    virtual void execute(CharacterObject& character) = 0;
    virtual void exit(CharacterObject& character);
    virtual bool onMessage(CharacterObject&, irr::s32) { return false; }
    virtual irr::s32 getStateID() const = 0;
    // The engine's call when a once-played animation of a character's mesh node ends.
    void OnAnimationEnd(irr::scene::IAnimatedMeshSceneNode* node) override;
    virtual void onAnimationEnd(CharacterObject& character) = 0;
};

class CharacterStateMachine {
public:
    explicit CharacterStateMachine(CharacterObject& owner) : owner(owner) {}
    virtual ~CharacterStateMachine() = default;

    // previous = current; current's exit; current = state; state's enter. Changing to the
    // running state leaves and enters it again. Nothing without a current state to leave
    // from but the enter.
    void changeState(CharacterBehaviourState* state);
    // Runs the current state's execute (nothing while there is none).
    void update();

    CharacterBehaviourState* current = nullptr;
    CharacterBehaviourState* previous = nullptr;
    CharacterBehaviourState* global = nullptr;

    irr::s32 currentID() const { return current ? current->getStateID() : -1; }
    irr::s32 previousID() const { return previous ? previous->getStateID() : -1; }
    irr::s32 globalID() const { return global ? global->getStateID() : -1; }

private:
    CharacterObject& owner;
};

// The shared instance of a state by its CharacterStateId (null for other numbers).
CharacterBehaviourState* characterState(irr::s32 id);
CharacterBehaviourState* walkingState();
CharacterBehaviourState* stoppedState();
CharacterBehaviourState* idleState();
CharacterBehaviourState* reactingState();
CharacterBehaviourState* noticingState();
CharacterBehaviourState* discoveredState();

// Plays the profile's animation of that name on the character's mesh node with the state as
// its end callback (a follow-up animation makes it play once); null, changing nothing, when
// the profile has no such animation.
const CharacterAnimation* playCharacterAnimation(const std::string& name, CharacterObject& character,
                                                 CharacterBehaviourState* state, bool loop);
// The animation plays unless the node already plays its range.
void ensureCharacterAnimation(CharacterObject& character, const std::string& name, CharacterBehaviourState* state);
// The animation's voice line at the head joint and its foley at the character.
void playAnimationSounds(CharacterObject& character, const CharacterAnimation& animation);
