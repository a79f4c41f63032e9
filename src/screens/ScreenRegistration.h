#pragma once

struct GuiHooks;

// Fills the GUI's slots (fillGuiSlots) and the input manager's way to the focused element of
// the top screen. Called once before the game runs.
void registerScreens();

// The GUI's slots that the screens answer: the screen stack its widgets ask, the title screen
// a layout names, the calibration preview, and the suspicion record the HUD shows.
void fillGuiSlots(GuiHooks& hooks);

// A level unload takes the notifications and the menu previews along; a level load starts
// without subtitles or a cross-fade. The shell subscribes these once both the screen
// manager and the level manager exist.
void subscribeScreenLevelHandlers();

// Fills the slots by which the game objects below the screens (cameras, characters,
// triggers, physics and rendering) reach the screen manager, the HUD and the fonts. Part of
// registerScreens; tests that make a screen manager call it alone.
void connectGameObjectsToScreens();
