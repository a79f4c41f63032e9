#include "characters/CharacterRegistration.h"

#include "characters/CharacterProfile.h"
#include "characters/SuspicionMeter.h"
#include "characters/SuspicionRules.h"
#include "core/ShellHooks.h"
#include "level/LevelHooks.h"

void registerCharacters() {
    CharacterHooks& shell = shellHooks().characters;
    shell.loadSuspicionConfig = [] { return loadSuspicionConfig(); };
    shell.unloadSuspicionConfig = unloadSuspicionConfig;

    LevelHookTable::Characters& level = levelHooks().characters;
    level.loadProfile = [](CharacterProfile& profile, const std::string& file) {
        return profile.load(file) == 0;
    };
    level.finishProfile = [](CharacterProfile& profile) { profile.finishLoad(); };
    level.updateSuspicion = updateSuspicion;
    level.reduceSuspicion = reduceSuspicion;
}
