#pragma once

// Registers the movement tuning object's factory type "ConfigTentMovementObject" ('move') and
// fills the level subsystem's slots for the movement gravity and the keys pressed this frame.
// Called once before the game starts.
void registerInputSubsystem();
