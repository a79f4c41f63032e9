#pragma once

// Fills the shell's input slots (core/ShellHooks.h) with the input manager: creation as the
// engine device's event receiver, initialisation, the per-frame update, the devices'
// overlays, the end of the frame and destruction; and the movement tuning object. Called
// once before the game starts.
void registerInputSubsystem();
