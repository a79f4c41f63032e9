#pragma once

#include <irrlicht.h>

#include <map>

class CharacterObject;

// How close the player is to being found out, as one record: the level manager keeps one,
// made and deleted with it (every user takes player 0's record when a local player exists).
// Raises come through addSuspicion, reductions through reduceSuspicion, and the level
// manager runs updateSuspicion once a frame; the HUD draws value, pendingValue and
// drainValue as the meter's three layers and raises value when a paint splat arrives.
struct SuspicionMeter {
    // The level shown in the meter; the level ends when it reaches 100. 0..100.
    irr::f32 value = 0.0f;
    // value plus the raises whose splat is still flying; raised at once by addSuspicion.
    irr::f32 pendingValue = 0.0f;
    // After a reduction, the level before it, eased down to value (the meter's third layer).
    irr::f32 drainValue = 0.0f;
    // Seconds left of the drain display; -1 while idle.
    irr::f32 drainTimer = -1.0f;
    // Characters that see the player plus suspicious zones the player is in.
    irr::s32 watcherCount = 0;
    // The watching characters (zones add to the count only).
    std::map<CharacterObject*, CharacterObject*> watchers;
    // Seconds since the repeat gate of a hit raise last let one through.
    irr::f32 repeatTimer = 0.0f;
    // Seconds since the record was made, grown only while below 3.
    irr::f32 age = 0.0f;
    // Suspicious zones of the second and third kind; every vision cone is blind while > 0.
    irr::s32 zoneCount = 0;
    // gainedThisFrame of the frame before (the "Suspicion Gained" trigger condition).
    bool gainedLastFrame = false;
    // Set by every accepted raise; moved to gainedLastFrame by the next update.
    bool gainedThisFrame = false;

    // A level unload or a return to the main menu: watchers, levels, counts and both gained
    // flags are cleared; age and drainTimer keep their values, so the start-up guard of
    // addSuspicion only covers the record's first two seconds.
    void resetForLevel() {
        watchers.clear();
        value = pendingValue = drainValue = repeatTimer = 0.0f;
        watcherCount = zoneCount = 0;
        gainedLastFrame = gainedThisFrame = false;
    }
};

// The kind of a suspicious event (the rule table's second key). Names as in the rules file.
enum SuspicionType : irr::s32 {
    ST_Default = 0,
    ST_Touch,
    ST_Grab,
    ST_HitGround,
    ST_Velocity,
    ST_AtRest,
    ST_Reset,
    ST_HitByThrown,
    ST_HitByTaro,
    ST_HitByGrabbed,
    ST_TaroSeen,
    ST_IgnoreRadius,
    ST_Debug,
    ST_Count
};

// Raises the meter by amount (points of 0..100) for an event of the kind at a world
// position. Nothing happens in the record's first 2 seconds; difficulty 2 doubles the
// amount; hit kinds pass a repeat gate of 0.5 s (HitByThrown only while someone watches);
// other kinds need a watcher (Debug needs nothing, IgnoreRadius ignores the distance to
// the player). An accepted raise flies a paint splat to the HUD, makes the default-animated
// watchers Noticing (when their type's TaroSeen rule does not repeat), raises pendingValue,
// and at 100 plays the losing sound and makes them Discovered. True only when the raise
// went through and a HUD took the splat. Callers skip the call on difficulty 0.
bool addSuspicion(const irr::core::vector3df& position, SuspicionMeter& meter, irr::f32 amount,
                  SuspicionType kind);
// Lowers value and pendingValue (clamped to 0..100) and starts the drain display; only on
// difficulty 0 or 1 and while pendingValue is below 100.
void reduceSuspicion(SuspicionMeter& meter, irr::f32 amount);
// The frame step: age, the gained flags, clamping to 0..100, the drain display (held for a
// second, then closing over the next) and the repeat timer.
void updateSuspicion(SuspicionMeter& meter, irr::f32 seconds);
// A character (or, with null, a suspicious zone) starts or stops watching the player; the
// first watcher and the last to leave play their sounds.
void addSuspicionWatcher(SuspicionMeter& meter, CharacterObject* character);
void removeSuspicionWatcher(SuspicionMeter& meter, CharacterObject* character);
