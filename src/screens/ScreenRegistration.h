#pragma once

// Fills the GUI's own slots for the services of the application core (sounds through the
// sound manager, texts and fonts through the language manager, the loading overlay's
// program-wide queries, the current level), the input manager's answers to the GUI
// (pointer, wheel, pause, input capture, keys) and the input manager's way to the focused
// element of the top screen. Called once before the game runs.
void registerScreens();

// A level unload takes the notifications and the menu previews along; a level load starts
// without subtitles or a cross-fade. The shell subscribes these once both the screen
// manager and the level manager exist.
void subscribeScreenLevelHandlers();
