#pragma once

#include <irrlicht.h>

#include <map>

class CharacterObject;

// Stand-in for the suspicion record of the characters subsystem, which completes it (the
// rules that raise, reduce and drain it). The level manager keeps one of its own, made and
// deleted with it; this holds the fields and the level reset it performs.
struct SuspicionMeter {
    irr::f32 value = 0.0f;
    irr::f32 pendingValue = 0.0f;
    irr::f32 drainValue = 0.0f;
    irr::f32 drainTimer = -1.0f;
    irr::s32 watcherCount = 0;
    std::map<CharacterObject*, CharacterObject*> watchers;
    irr::f32 repeatTimer = 0.0f;
    irr::f32 age = 0.0f;
    irr::s32 zoneCount = 0;
    bool gainedLastFrame = false;
    bool gainedThisFrame = false;

    // A level unload or a return to the main menu: watchers, levels, counts and both gained
    // flags are cleared; age and drainTimer keep their values.
    void resetForLevel() {
        watchers.clear();
        value = pendingValue = drainValue = repeatTimer = 0.0f;
        watcherCount = zoneCount = 0;
        gainedLastFrame = gainedThisFrame = false;
    }
};
