#pragma once

// Fills the GUI's level-event and sprite-animation slots with the level manager and the
// caches, and the save folder the input code keeps its remapping file in. Called once,
// before the game routine runs.
void registerLevelShellHooks();
