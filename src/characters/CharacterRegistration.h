#pragma once

// Registers the character and waypoint types and fills the level subsystem's slots
// (level/LevelHooks.h: the profile cache loads and finishes CharacterProfiles, the level
// manager runs updateSuspicion on its meter and completed objectives run reduceSuspicion).
// Called once before the game starts.
void registerCharacters();
