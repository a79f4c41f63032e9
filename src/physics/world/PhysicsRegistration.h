#pragma once

// Registers the physics object types and fills the level subsystem's physics slots (frame
// counter, debug visualisation, gravity, object activity) and the input's fixed step. Called
// once, before the game routine runs.
void registerPhysicsSubsystem();
