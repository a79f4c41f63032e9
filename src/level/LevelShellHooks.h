#pragma once

// Fills the save folder the input code keeps its remapping file in. Called once, before the
// game routine runs.
void registerLevelShellHooks();
