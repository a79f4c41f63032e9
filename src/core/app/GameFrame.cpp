// One frame of the game routine: the update and the render.
//
// updateGame, in this order:
//   1. window focus
//   2. PhysicsManager::endStep (every pass, capped or not)
//   3. audio categories paused or resumed on focus
//   4. frame stopwatch tick; the pass ends here while the frame's 0.0167 s have not passed
//      (after waiting out the rest), while there is no input manager, or while the store
//      overlay is up
//   5. debug statistics
//   6. PhysicsManager::updateStepCount
//   7. InputManager::update
//   8. ScreenManager::update
//   9. LevelManager::processLevelEvents
//  10. when input is allowed or a screen keeps the game running behind it: the engine timer
//      runs, the level update, each viewport's camera manager, the end-of-update list;
//      otherwise the engine timer stops
//  11. when the game may update: PhysicsManager::beginStep; then frameSimulatedTime = 0.0167
//  12. the sound manager
//  13. the restart status when a restart was requested
//
// renderGame, in this order (only after an update that got past the frame cap):
//   1. window caption
//   2. beginScene; a frame the driver refuses gets ScreenManager::postRenderGUI instead of 3-12
//   3. EffectHandler::updateCharacterTextures
//   4. EffectHandler::updateShadowCascades
//   5. catch-up physics steps
//   6. EffectHandler::runRenderCallbacks
//   7. catch-up physics steps
//   8. EffectHandler::update: the scene
//   9. PhysicsManager::drawDebug
//  10. ScreenManager::draw: the GUI
//  11. the input devices' overlays
//  12. endScene
//  13. InputManager::endFrame, while the simulation runs
#include "core/app/GameApplication.h"

#include "core/Globals.h"
#include "core/ProfilerManager.h"
#include "core/ProgramQueries.h"
#include "core/ShellHooks.h"
#include "core/SoundManager.h"
#include "core/SteamManager.h"
#include "core/Stopwatch.h"
#include "platform/Wait.h"

#include <irrlicht.h>


namespace {

Stopwatch* profilerWatch(ProfilerManager::Index index) {
    return profilerManager && profilerManager->isEnabled() ? &profilerManager->stopwatch(index) : nullptr;
}

} // namespace

void GameApplication::handleWindowFocus() { windowFocused = gameDevice->isWindowActive(); }

int GameApplication::updateGame() {
    ShellHooks& hooks = shellHooks();
    frameUpdated = false;

    handleWindowFocus();
    if (physicsManager)
        callHook(hooks.physics.endStep);
    if (soundManager)
        soundManager->applyFocus(windowFocused);

    frameStopwatch->tick();
    if (!frameStopwatch->intervalComplete()) {
        platform::waitSeconds(frameStopwatch->secondsUntilTarget());
        return gameStatusNormal;
    }
    if (!eventReceiver || (steamManager && steamManager->isOverlayActive()))
        return gameStatusNormal;
    frameUpdated = true;

    if (screenManager)
        callHook(hooks.screens.updateDebugStats);
    if (physicsManager)
        callHook(hooks.physics.updateStepCount);
    callHook(hooks.input.update);
    if (screenManager)
        callHook(hooks.screens.update);
    if (levelManager)
        callHook(hooks.level.processLevelEvents);

    irr::ITimer* timer = gameDevice->getTimer();
    const bool inputAllowed = !screenManager || askHook(hooks.screens.isInputAllowed, true);
    if (inputAllowed || isGameRunningBehindScreen()) {
        if (timer->isStopped())
            timer->start();
        if (levelManager) {
            Stopwatch* objects = profilerWatch(ProfilerManager::Objects);
            if (objects)
                objects->reset();
            callHook(hooks.level.update);
            if (objects)
                objects->tick();
        }
        for (CameraManager* camera : cameraManagers)
            if (camera)
                callHook(hooks.cameras.update, camera);
        if (levelManager)
            callHook(hooks.level.runEndOfUpdateList);
    } else if (!timer->isStopped()) {
        timer->stop();
    }

    if (physicsManager) {
        const bool gameUpdateAllowed = !screenManager || askHook(hooks.screens.isGameUpdateAllowed, true);
        if (gameUpdateAllowed)
            callHook(hooks.physics.beginStep);
        callHook(hooks.physics.setFrameSimulatedTime, frameTargetInterval);
    }

    if (soundManager) {
        Stopwatch* sound = profilerWatch(ProfilerManager::Sound);
        if (sound)
            sound->reset();
        soundManager->update(frameStopwatch->delta());
        if (sound)
            sound->tick();
    }
    return RestartRequested ? gameStatusRestart : gameStatusNormal;
}

// A catch-up step between the render's passes; its time is not the render's.
void GameApplication::syncPhysics() {
    if (!physicsManager || !shellHooks().physics.stepDuringRender)
        return;
    Stopwatch* rendering = profilerWatch(ProfilerManager::Rendering);
    if (rendering)
        rendering->pause();
    shellHooks().physics.stepDuringRender();
    if (rendering)
        rendering->resume();
}

void GameApplication::updateWindowCaption() {
    irr::core::stringw wanted = L"Paddlestone";
    if (debugMode) {
        wanted += L" - FPS: ";
        wanted += gameDevice->getVideoDriver()->getFPS();
    }
    if (wanted != caption) {
        caption = wanted;
        gameDevice->setWindowCaption(caption.c_str());
    }
}

void GameApplication::renderGame() {
    ShellHooks& hooks = shellHooks();
    irr::video::IVideoDriver* driver = gameDevice->getVideoDriver();
    Stopwatch* rendering = profilerWatch(ProfilerManager::Rendering);
    if (rendering)
        rendering->reset();

    updateWindowCaption();
    if (!driver->beginScene(true, true, irr::video::SColor(sceneClearColour))) {
        if (screenManager)
            callHook(hooks.screens.postRenderGUI, frameStopwatch->runningSum());
    } else {
        if (effectHandler) {
            callHook(hooks.render.updateCharacterTextures);
            callHook(hooks.render.updateShadowCascades);
        }
        syncPhysics();
        if (effectHandler)
            callHook(hooks.render.runRenderCallbacks);
        syncPhysics();
        if (effectHandler && hooks.render.drawScene)
            hooks.render.drawScene();
        else
            gameDevice->getSceneManager()->drawAll();
        if (physicsManager)
            callHook(hooks.physics.drawDebug);
        if (screenManager && hooks.screens.draw)
            hooks.screens.draw();
        else
            gameDevice->getGUIEnvironment()->drawAll();
        callHook(hooks.input.updateDeviceOverlays);
        driver->endScene();
    }
    if (isSimulationActive())
        callHook(hooks.input.endFrame);
    if (rendering)
        rendering->tick();
}
