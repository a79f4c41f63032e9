#pragma once

#include <irrlicht.h>

#include <functional>

// What the characters ask of the screens, which stand above them: the screens' registration
// fills these slots (connectGameObjectsToScreens). Each slot is tested for emptiness where it
// is used: an empty slot answers the default written beside it, which is what a game without
// a screen manager answers. Tests fill them with recorders and call resetCharacterServices()
// afterwards.
struct CharacterServiceTable {
    struct Screens {
        // The HUD flies a paint splat of the amount from the world position to the meter,
        // which adds the amount to the meter's value on arrival. Answers whether a HUD
        // exists to take it (empty: false, no HUD).
        std::function<bool(irr::f32 amount, const irr::core::vector3df& position)> addSplat;
        // The screens draw the GUI (their debug switch; empty: true).
        std::function<bool()> drawsGui;
        // The cutscene bars cover the game (empty: false).
        std::function<bool()> cutsceneBarsShown;
    } screens;
};

CharacterServiceTable& characterServices();
// Empties every slot.
void resetCharacterServices();
