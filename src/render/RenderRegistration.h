#pragma once

// Fills the level table's render slots (level/LevelHooks.h: lights per object, level
// shadows, instancing, the debug keys, the sprite-animation loader, the text of 3D texts),
// and registers the "light" level object. Called once, before the game routine runs.
void registerRenderSubsystem();
