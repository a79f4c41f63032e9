#pragma once

class CameraManager;

// Fills the level table's camera slots (default far value, initial camera), the GUI's (menu
// camera, camera offset) and the renderer's viewport camera, and registers the camera
// object type. Called once, before the game routine runs.
void registerCameraSubsystem();

// The camera manager of a viewport, bound to the level manager's level-load-started and
// level-unloaded lists when the level manager exists; logs "Creating CameraManager.".
CameraManager* createCameraManager(int viewport);
// Unbinds the manager from the level manager's lists and the screen manager's PauseOpened
// list, then deletes it. Null does nothing.
void destroyCameraManager(CameraManager* manager);
