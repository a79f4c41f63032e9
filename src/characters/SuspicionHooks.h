#pragma once

#include <irrlicht.h>

#include <functional>

class CharacterObject;

// Behaviour states of a character, as the state machine numbers them.
namespace CharacterStateId {
constexpr irr::s32 Walking = 0;
constexpr irr::s32 Stopped = 1;
constexpr irr::s32 Idle = 2;
constexpr irr::s32 Reacting = 3;
constexpr irr::s32 Noticing = 4;
constexpr irr::s32 Discovered = 5;
} // namespace CharacterStateId

// Calls from the suspicion rules into parts of the game that arrive later: the HUD's paint
// splat and the watching characters. Each slot is tested for emptiness where it is used;
// an empty slot answers the default written beside it. Tests fill them with recording
// lambdas and call resetSuspicionHooks() afterwards.
struct SuspicionHookTable {
    // GUIHud::addSplat: flies a splat of the amount from the world position to the meter,
    // which adds the amount to the meter's value on arrival. Answers whether a HUD exists
    // to take it (empty: false, no HUD).
    std::function<bool(irr::f32 amount, const irr::core::vector3df& position)> addSplat;

    // CharacterObject::hasDefaultAnimations: WalkingAnimName is "WalkingDefault" and
    // StoppedAnimName "StoppedDefault" (empty: false).
    std::function<bool(CharacterObject* character)> hasDefaultAnimations;
    // The character's CharacterSuspicionType (empty: None).
    std::function<irr::s32(CharacterObject* character)> suspicionType;
    // CharacterStateMachine::changeState to the state of that CharacterStateId; a character
    // already in the state leaves and enters it again.
    std::function<void(CharacterObject* character, irr::s32 state)> changeState;
};

SuspicionHookTable& suspicionHooks();
// Empties every slot.
void resetSuspicionHooks();
