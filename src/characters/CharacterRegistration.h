#pragma once

// Registers the character and waypoint types and fills the level subsystem's slots
// (registerCharacterLevelSlots).
// Called once before the game starts.
void registerCharacters();
// The level table's character slots alone (level/LevelHooks.h): the profile cache
// makes, loads and finishes CharacterProfiles; the level manager makes and resets its own
// suspicion record, runs updateSuspicion on it and asks whether a record is full; completed
// objectives run reduceSuspicion.
void registerCharacterLevelSlots();
