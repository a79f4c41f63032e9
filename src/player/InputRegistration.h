#pragma once

// Fills the shell's input slots (core/ShellHooks.h) with the input manager: creation as the
// engine device's event receiver, initialisation, the per-frame update, the devices'
// overlays, the end of the frame and destruction; the movement tuning object with its
// factory type "ConfigTentMovementObject" ('move'); and the level subsystem's slots for the
// movement gravity and the keys pressed this frame. Called once before the game starts.
void registerInputSubsystem();
