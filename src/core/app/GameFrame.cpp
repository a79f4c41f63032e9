// One frame of the game routine: the update and the render.
//
// updateGame, in this order:
//   1. window focus; a window resized by someone else gets its size back
//   2. PhysicsManager::endStep (every pass, capped or not)
//   3. audio categories paused or resumed on focus
//   4. frame stopwatch tick; the pass ends here while the frame's 0.0167 s have not passed
//      (after waiting out the rest), or while the store overlay is up
//   5. debug statistics, while their overlay shows
//   6. PhysicsManager::updateStepCount
//   7. InputManager::update
//   8. ScreenManager::update
//   9. LevelManager::updateDebugKeys; the level's clock set to the physics steps counted in 6
//      (0 while the game may not update); LevelManager::processLevelEvents
//  10. when input is allowed or a screen keeps the game running behind it: the engine timer
//      runs, LevelManager::update (the level's time and its script's timers go on by the
//      level's clock), each viewport's CameraManager::update, the level manager's
//      end-of-update list; otherwise the engine timer stops
//  11. when the game may update: PhysicsManager::beginStep; then frameSimulatedTime = 0.0167
//  12. the sound manager
//  13. the save: written once when anything asked for it, at most once a second while
//      changes go on (SaveManager::writeRequestedWhenDue)
//  14. the restart status when a restart was requested
//
// renderGame, in this order (only after an update that got past the frame cap):
//   1. window caption
//   2. beginScene; a frame the driver refuses gets ScreenManager::postRenderGUI instead of 3-12
//   3. EffectHandler::updateCharacterTextures
//   4. EffectHandler::updateShadowCascades, then a loading frame under a level's loading screen
//   5. catch-up physics steps
//   6. EffectHandler::runRenderCallbacks, then a loading frame under a level's loading screen
//   7. catch-up physics steps
//   8. EffectHandler::update: the scene (without an effect handler the scene manager draws it)
//   9. PhysicsManager::drawDebug
//  10. ScreenManager::draw: the GUI
//  11. InputManager::updateDeviceOverlays (10 and 11 on the GUI's 2D material, ScreenQuads.h)
//  12. endScene (on a software rasterizer its swap is kept back until the next frame's first
//      clear or draw); LevelManager::noteFrameDrawn (a cover waits for a loaded level's view)
//  13. InputManager::endFrame, while the simulation runs
// A quit signal is looked at before 2, 3, 6, 8 and 9: once it is taken, nothing more is drawn.
#include "core/app/GameApplication.h"

#include "camera/CameraManager.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "core/ProcessGuards.h"
#include "core/ProfilerManager.h"
#include "core/SoundManager.h"
#include "core/SteamManager.h"
#include "core/Stopwatch.h"
#include "gui/GUIDebugStats.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "physics/world/PhysicsManager.h"
#include "platform/GraphicsCallFilter.h"
#include "platform/Wait.h"
#include "platform/Window.h"
#include "player/InputManager.h"
#include "render/EffectHandler.h"
#include "render/ScreenQuads.h"
#include "screens/ScreenManager.h"

#include <irrlicht.h>

namespace {

Stopwatch* profilerWatch(ProfilerManager::Index index) {
    return profilerManager && profilerManager->isEnabled() ? &profilerManager->stopwatch(index) : nullptr;
}

} // namespace

void GameApplication::handleWindowFocus() {
    windowFocused = gameDevice->isWindowActive();
    // The screens are laid out for the window's size at start-up: a window resized all the
    // same gets that size back.
    if (platform::keepWindowSize(gameDevice, windowSize) && !windowResizeLogged) {
        logMessagef("The window keeps its size of %u x %u.", windowSize.Width, windowSize.Height);
        windowResizeLogged = true;
    }
}

int GameApplication::updateGame() {
    frameUpdated = false;

    handleWindowFocus();
    physicsManager->endStep();
    soundManager->applyFocus(windowFocused);

    frameStopwatch->tick();
    if (!frameStopwatch->intervalComplete()) {
        platform::waitSeconds(frameStopwatch->secondsUntilTarget());
        return gameStatusNormal;
    }
    if (steamManager->isOverlayActive())
        return gameStatusNormal;
    frameUpdated = true;

    GUIDebugStats* stats = screenManager->getDebugStats();
    if (stats && stats->isVisible()) {
        stats->update();
        stats->beginFrameTiming();
    }
    physicsManager->updateStepCount();
    inputManager->update();
    screenManager->update();
    levelManager->updateDebugKeys();
    // The level plays what the physics simulates of this frame, not the frame's length: at
    // most ten steps a frame, so that on a slow frame its time, its script and its bodies
    // keep in step. What only shows it (cameras, the GUI, sound fades) goes by the frame.
    levelManager->setSimulatedSeconds(screenManager->isGameUpdateAllowed() ? physicsManager->getCountedStepTime()
                                                                           : 0.0f);
    levelManager->processLevelEvents(frameStopwatch->delta());

    irr::ITimer* timer = gameDevice->getTimer();
    if (screenManager->isInputAllowed() || screenManager->topScreenKeepsTimerRunning()) {
        if (timer->isStopped())
            timer->start();
        Stopwatch* objects = profilerWatch(ProfilerManager::Objects);
        if (objects)
            objects->reset();
        levelManager->update();
        if (objects)
            objects->tick();
        for (CameraManager* camera : cameraManagers)
            if (camera)
                camera->update(frameStopwatch->delta());
        levelManager->onEndOfUpdate.invoke();
    } else if (!timer->isStopped()) {
        timer->stop();
    }

    if (screenManager->isGameUpdateAllowed())
        physicsManager->beginStep();
    physicsManager->setFrameSimulatedTime(frameTargetInterval);

    Stopwatch* sound = profilerWatch(ProfilerManager::Sound);
    if (sound)
        sound->reset();
    soundManager->update(frameStopwatch->delta());
    if (sound)
        sound->tick();
    if (saveManager)
        saveManager->writeRequestedWhenDue();
    return RestartRequested ? gameStatusRestart : gameStatusNormal;
}

// A catch-up step between the render's passes; its time is not the render's.
void GameApplication::syncPhysics() {
    Stopwatch* rendering = profilerWatch(ProfilerManager::Rendering);
    if (rendering)
        rendering->pause();
    // A step runs the level's catch-up update: no drawing.
    const bool drawing = markDrawing(false);
    physicsManager->stepDuringRender();
    markDrawing(drawing);
    if (rendering)
        rendering->resume();
}

void GameApplication::updateWindowCaption() {
    static constexpr const wchar_t* title = L"Paddlestone";
    // Outside debug mode the caption never changes: nothing is built for it each frame.
    if (!debugMode) {
        if (caption != title) {
            caption = title;
            gameDevice->setWindowCaption(caption.c_str());
        }
        return;
    }
    irr::core::stringw wanted = title;
    wanted += L" - FPS: ";
    wanted += gameDevice->getVideoDriver()->getFPS();
    if (wanted != caption) {
        caption = wanted;
        gameDevice->setWindowCaption(caption.c_str());
    }
}

void GameApplication::renderGame() {
    irr::video::IVideoDriver* driver = gameDevice->getVideoDriver();
    Stopwatch* rendering = profilerWatch(ProfilerManager::Rendering);
    if (rendering)
        rendering->reset();

    updateWindowCaption();
    // A level's first frames under its loading screen compile its programs in the driver,
    // pass by pass: the loading screen is shown again between the passes (and between the
    // viewport's draws, LightManager).
    bool loadingScreen = false;
    // A pass of a level's first frames can take seconds of a busy machine: a quit signal is
    // taken before each pass, and the end waits for none (even the first clear waits for the
    // frame before to be shaded).
    const auto quit = [] { return quitSignalReceived(); };
    const auto loadingFrameAndPhysics = [&] {
        if (loadingScreen)
            screenManager->renderLoadingFrame();
        syncPhysics();
    };
    markDrawing(true);
    do {
        if (quit())
            break;
        if (!driver->beginScene(true, true, irr::video::SColor(sceneClearColour))) {
            screenManager->postRenderGUI(frameStopwatch->runningSum());
            break;
        }
        if (quit())
            break;
        if (effectHandler) {
            effectHandler->updateCharacterTextures(frameStopwatch->delta());
            effectHandler->updateShadowCascades();
        }
        loadingScreen = levelManager->loadingOverlay.showsLoadingScreen();
        loadingFrameAndPhysics();
        if (quit())
            break;
        if (effectHandler)
            effectHandler->runRenderCallbacks();
        loadingFrameAndPhysics();
        if (quit())
            break;
        if (effectHandler)
            effectHandler->update(nullptr);
        else
            gameDevice->getSceneManager()->drawAll();
        if (quit())
            break;
        physicsManager->drawDebug();
        beginGuiMaterial2D(driver);
        screenManager->draw();
        inputManager->updateDeviceOverlays();
        endGuiMaterial2D(driver);
        // A software rasterizer shades the frame's end while the next frame is worked out.
        platform::deferNextBufferSwap();
        driver->endScene();
        levelManager->noteFrameDrawn();
    } while (false);
    markDrawing(false);
    if (physicsManager->isSimulationActive())
        inputManager->endFrame();
    if (rendering)
        rendering->tick();
}
