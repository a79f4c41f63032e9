#pragma once

// Program-wide questions about the state of the game, asked all over the program. Each
// answers from the managers that exist (through core/CoreSlots.h); the answer without a
// manager is given beside it.

// The physics manager's simulation flag (set by its constructor, never cleared); false
// without a physics manager.
bool isSimulationActive();
bool isSimulationRunning(); // the same question under the rendering code's name
// There is no level editor in this program.
bool isEditorActive();

// The cutscene screen covers the game (non-zero bar amount), else the level manager's
// suspend flag; false when the screen manager or the level manager is missing.
bool isGameplaySuspended();
// The cutscene screen covers the game, or a loading-overlay transition runs; false when
// the screen manager or the level manager is missing.
bool isGameplaySuspendedOrLoading();
// The screen stack is active and the pause screen is missing or hidden; false without a
// screen manager.
bool isMenuOpen();
// A level is loading, or the screen manager does not allow input; false without either.
bool isGameInputBlocked();
// The loading overlay fully covers the screen (transition kind 2, fade value within 1e-6
// of 1.0); true without a level manager.
bool isLoadingOverlayOpaque();
// The top stacked screen keeps the game running behind it; false without a screen manager.
bool isGameRunningBehindScreen();
// The screen manager's input gate; true without a screen manager.
bool screensAllowInput();
// The screen manager's game-update gate (the physics step); true without a screen manager.
bool screensAllowGameUpdate();
