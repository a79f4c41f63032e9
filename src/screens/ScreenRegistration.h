#pragma once

struct GuiHooks;

// Fills the game shell's screen-manager slots (creation, init, frame update, drawing, the
// input and update gates and the queries, the element factory, the font cache) with the
// screen manager and the GUI toolkit, the GUI's slots (fillGuiSlots) and the input manager's
// way to the focused element of the top screen. Called once before the game runs.
void registerScreens();

// The GUI's slots that the screens answer: the screen stack its widgets ask, the title screen
// a layout names, the calibration preview, and the suspicion record the HUD shows.
void fillGuiSlots(GuiHooks& hooks);
