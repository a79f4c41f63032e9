#pragma once

// Fills the shell's input slots (core/ShellHooks.h) with the input manager: creation as the
// engine device's event receiver, initialisation, the per-frame update, the devices'
// overlays, the end of the frame and destruction; the movement tuning object with its
// factory type "ConfigTentMovementObject" ('move'); and the level subsystem's slots for a
// player's suspicion record, the keys pressed this frame and the game-over rumble. Called
// once before the game starts.
void registerInputSubsystem();
