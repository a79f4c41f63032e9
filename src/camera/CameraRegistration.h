#pragma once

// Fills the shell's camera slots (one camera manager per viewport, its frame update and its
// level events), the level table's (default far value, initial camera), the GUI's (menu
// camera, camera offset) and the renderer's viewport camera, and registers the camera
// object type. Called once, before the game routine runs.
void registerCameraSubsystem();
