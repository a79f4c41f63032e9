#pragma once

// Fills the game shell's level slots (core/ShellHooks.h) with the level manager: its
// creation and start-up, the initial level, the level update, the end-of-update list, the
// debug keys, the level state the program-wide queries read, the scene-node factory, and
// its unloading at shutdown; the level events and the loading overlay, the save manager and
// the sound objects; and the save folder the input code keeps its remapping file in.
// Called once, before the game routine runs.
void registerLevelShellHooks();
