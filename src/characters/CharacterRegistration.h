#pragma once

// Fills the shell's character slots (core/ShellHooks.h: the suspicion rules are read at
// start-up and emptied at shutdown) and the level subsystem's (level/LevelHooks.h: the
// profile cache loads and finishes CharacterProfiles, the level manager runs
// updateSuspicion on its meter and completed objectives run reduceSuspicion). Called once
// before the game starts.
void registerCharacters();
