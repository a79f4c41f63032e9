#pragma once

// Registers the movement tuning object's factory type "ConfigTentMovementObject" ('move') and
// fills the level subsystem's slots for the movement gravity, a player's suspicion record, the
// keys pressed this frame and the game-over rumble. Called once before the game starts.
void registerInputSubsystem();
