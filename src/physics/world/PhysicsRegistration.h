#pragma once

// Registers the physics object types and fills the level subsystem's physics slots (frame
// counter, debug visualisation, gravity, object activity) and the input's fixed step. Called
// once, before the game routine runs.
void registerPhysicsSubsystem();
// The level table's slots of the physics manager alone (frame counter, debug visualisation,
// the level's gravity: the movement object's unless the level brings its own).
void registerPhysicsLevelSlots();
