#pragma once

// Fills the slot tables the lower layers call up through: core's own (fillCoreSlots) and
// those every subsystem's registration fills, in the order their registrations expect. The
// game's entry point and the whole-game tests both call it, so the tests run exactly the
// registrations the program runs.
void registerGameSubsystems();

// Fills core's slot table (core/CoreSlots.h): the program-wide queries answer from the
// screen manager, the level manager and the physics manager, the language manager's
// TrueType fonts come from the GUI's font cache, and the sound manager reaches the level's
// sound objects. Part of registerGameSubsystems; a test of one subsystem may call it alone.
void fillCoreSlots();

// Empties every slot table registerGameSubsystems fills (between runs of the game in one
// process, and after tests).
void resetGameSubsystemSlots();
