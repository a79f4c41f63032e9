#pragma once

// Fills the game shell's physics slots (core/ShellHooks.h) with the physics manager: its
// creation, initialisation, the reset of its scene on every level unload, the steps of the
// frame and the render, the simulation flag and its destruction; the level subsystem's
// physics slots (frame counter, debug visualisation, the level's gravity) and the
// input's fixed step. Called once, before the game routine runs.
void registerPhysicsSubsystem();
// The level table's slots of the physics manager alone (frame counter, debug visualisation,
// the level's gravity: the movement object's unless the level brings its own).
void registerPhysicsLevelSlots();
