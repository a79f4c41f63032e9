#pragma once

#include <irrlicht.h>

#include <functional>

class DelegateList;
class GUICutscene;

// What the cameras and their cutscenes ask of the screens, which stand above them: the
// screens' registration fills these slots (connectGameObjectsToScreens). Each slot is tested
// for emptiness where it is used: an empty slot answers the default written beside it, which
// is what a game without a screen manager answers. Tests fill them with recorders, or the
// screens' way, and call resetCameraServices() afterwards.
struct CameraServices {
    struct Screens {
        // The camera crossfade start of the screen manager (a cut with crossfade).
        std::function<void()> startCrossfade;
        // The screens let the game's input through (empty: true).
        std::function<bool()> isInputAllowed;
        // The screen manager's cutscene screen (its bars, vignette and skip prompt; empty:
        // null).
        std::function<GUICutscene*()> cutsceneScreen;
        // The screens keep to a television's safe area (empty: false).
        std::function<bool()> overscan;
    } screens;
};

CameraServices& cameraServices();
void resetCameraServices();

// Set while a cutscene object runs; a removed override camera then activates nothing.
extern bool cutsceneRunning;
