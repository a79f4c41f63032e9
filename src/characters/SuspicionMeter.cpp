#include "characters/SuspicionMeter.h"

#include "characters/CharacterObject.h"
#include "characters/CharacterServices.h"
#include "characters/CharacterStates.h"
#include "characters/SuspicionRules.h"
#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "core/SoundManager.h"
#include "player/PlayerObject.h"

#include <algorithm>
#include <vector>

using namespace irr;

namespace {

// Sound effects of the meter.
constexpr int loseEffect = 9;
constexpr int splatEffect = 19;
constexpr int suspiciousAreaEffect = 35;
constexpr int outOfSuspiciousAreaEffect = 36;

// What the player is told after a hit raise.
constexpr s32 hitNotice = 12;

// The meter's record is too young to take raises before this (seconds), and stops
// counting its age at ageLimit.
constexpr f32 minimumAge = 2.0f;
constexpr f32 ageLimit = 3.0f;
// Hit raises closer together than this (seconds) count once.
constexpr f32 repeatGateSeconds = 0.5f;
// A raise farther from the player than this (squared units) is not seen.
constexpr f32 maxRaiseDistanceSq = 100.0f;
constexpr f32 fullMeter = 100.0f;
// Seconds the drain layer is shown after a reduction.
constexpr f32 drainSeconds = 2.0f;

void playMeterEffect(int index) {
    if (soundManager)
        soundManager->playEffect(index);
}

bool isHitKind(SuspicionType kind) {
    return kind == ST_HitByThrown || kind == ST_HitByTaro || kind == ST_HitByGrabbed;
}

// The watchers that play the default walking and stopped animations; a scripted character
// keeps its own. Taken as a list first: a state change may move a watcher in or out.
std::vector<CharacterObject*> defaultAnimatedWatchers(const SuspicionMeter& meter) {
    std::vector<CharacterObject*> found;
    for (const auto& entry : meter.watchers)
        if (entry.first && entry.first->hasDefaultAnimations())
            found.push_back(entry.first);
    return found;
}

// A watcher already in the state leaves and enters it again.
void changeWatcherState(CharacterObject* character, s32 state) {
    if (character)
        character->stateMachine().changeState(characterState(state));
}

s32 watcherSuspicionType(CharacterObject* character) {
    return character ? character->CharacterSuspicionType : static_cast<s32>(SCT_None);
}

f32 clampMeterLevel(f32 level) {
    return std::clamp(level, 0.0f, fullMeter);
}

} // namespace

bool addSuspicion(const core::vector3df& position, SuspicionMeter& meter, f32 amount, SuspicionType kind) {
    if (meter.age < minimumAge)
        return false;
    if (gameDifficulty >= 2)
        amount *= 2.0f;

    bool repeatGatePassed = false;
    const bool gated = kind == ST_HitByGrabbed || kind == ST_HitByTaro ||
                       (kind == ST_HitByThrown && meter.watcherCount > 0);
    if (gated && meter.repeatTimer > repeatGateSeconds) {
        repeatGatePassed = true;
        meter.repeatTimer = 0.0f;
    }

    PlayerObject* player = getPlayer(0);
    bool near = true;
    if (player && player->getAbsolutePosition().getDistanceFromSQ(position) > maxRaiseDistanceSq)
        near = false;

    switch (kind) {
    case ST_IgnoreRadius:
        near = true;
        if (meter.watcherCount <= 0)
            return false;
        break;
    case ST_Debug:
        break;
    case ST_HitByThrown:
    case ST_HitByTaro:
    case ST_HitByGrabbed:
        if (!repeatGatePassed)
            return false;
        break;
    default:
        if (meter.watcherCount <= 0)
            return false;
        break;
    }

    if (amount <= 0.0f || meter.pendingValue >= fullMeter || !near)
        return false;

    bool result = false;
    meter.gainedThisFrame = true;
    const auto& addSplat = characterServices().screens.addSplat;
    if (addSplat && addSplat(amount, position)) {
        result = true;
        for (CharacterObject* watcher : defaultAnimatedWatchers(meter))
            if (getSuspicionValues(watcherSuspicionType(watcher), ST_TaroSeen).repeatInterval == 0.0f)
                changeWatcherState(watcher, CharacterStateId::Noticing);
    }
    playMeterEffect(splatEffect);
    meter.pendingValue += amount;
    if (meter.pendingValue >= fullMeter) {
        playMeterEffect(loseEffect);
        for (CharacterObject* watcher : defaultAnimatedWatchers(meter))
            changeWatcherState(watcher, CharacterStateId::Discovered);
    }
    if (result && isHitKind(kind) && player)
        player->notify(hitNotice, 1.0f);
    return result;
}

void reduceSuspicion(SuspicionMeter& meter, f32 amount) {
    if (gameDifficulty < 0 || gameDifficulty > 1 || meter.pendingValue >= fullMeter)
        return;
    meter.drainTimer = drainSeconds;
    meter.drainValue = meter.value;
    meter.value = clampMeterLevel(meter.value - amount);
    meter.pendingValue = clampMeterLevel(meter.pendingValue - amount);
}

void updateSuspicion(SuspicionMeter& meter, f32 seconds) {
    if (meter.age < ageLimit)
        meter.age += seconds;
    meter.gainedLastFrame = meter.gainedThisFrame;
    meter.gainedThisFrame = false;
    meter.value = clampMeterLevel(meter.value);
    meter.pendingValue = clampMeterLevel(meter.pendingValue);
    meter.drainValue = clampMeterLevel(meter.drainValue);

    if (meter.drainTimer < 0.0f) {
        meter.drainValue = 0.0f;
    } else {
        if (!isGameplaySuspended())
            meter.drainTimer -= seconds;
        const f32 t = std::clamp(meter.drainTimer, 0.0f, 1.0f);
        const f32 s = (3.0f * t - 2.0f * t * t) * t;
        meter.drainValue = meter.value + s * (meter.drainValue - meter.value);
    }
    meter.repeatTimer += seconds;
}

void addSuspicionWatcher(SuspicionMeter& meter, CharacterObject* character) {
    if (meter.watcherCount <= 0)
        playMeterEffect(suspiciousAreaEffect);
    ++meter.watcherCount;
    if (character)
        meter.watchers[character] = character;
}

void removeSuspicionWatcher(SuspicionMeter& meter, CharacterObject* character) {
    --meter.watcherCount;
    if (meter.watcherCount <= 0)
        playMeterEffect(outOfSuspiciousAreaEffect);
    if (character)
        meter.watchers.erase(character);
}
