#pragma once

// Fills the game shell's screen-manager slots (creation, init, frame update, drawing, the
// input and update gates and the queries, the element factory, the font cache) with the
// screen manager and the GUI toolkit, and the GUI's own slots for the services of the
// application core (sounds through the sound manager, texts and fonts through the language
// manager, the loading overlay's program-wide queries, the current level), the input
// manager's answers to the GUI (pointer, wheel, pause, input capture, keys) and the input
// manager's way to the focused element of the top screen. Called once before the game runs.
void registerScreens();
// Fills the slots by which the game objects below the screens (cameras, characters,
// triggers, physics and rendering) reach the screen manager, the HUD and the fonts. Part of
// registerScreens; tests that make a screen manager call it alone.
void connectGameObjectsToScreens();
