#include "level/LevelEvents.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/RepeatedLog.h"
#include "core/ProcessGuards.h"
#include "core/SoundManager.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"

#include <algorithm>

using namespace irr;

const char* levelEventName(LevelEventType type) {
    switch (type) {
    case LET_LoadLevel:
        return "LET_LoadLevel";
    case LET_UnloadLevel:
        return "LET_UnloadLevel";
    case LET_RestartLevel:
        return "LET_RestartLevel";
    case LET_RestartFromCheckpoint:
        return "LET_RestartFromCheckpoint";
    case LET_ClearCheckpoint:
        return "LET_ClearCheckpoint";
    case LET_ReturnToMainMenu:
        return "LET_ReturnToMainMenu";
    case LET_ClearMenus:
        return "LET_ClearMenus";
    case LET_Transition:
        return "LET_Transition";
    case LET_ShowSplash:
        return "LET_ShowSplash";
    case LET_SaveCheckpoint:
        return "LET_SaveCheckpoint";
    }
    return "LET_Unknown";
}

// --- the events --------------------------------------------------------------------------------

TransitionEvent::TransitionEvent(bool intro, s32 mode, f32 speed, f32 hold, s32 kind, s32 viewId)
    : LevelEvent(LET_Transition), intro(intro), mode(mode), speed(speed), hold(hold), kind(kind),
      viewId(viewId) {}

TransitionEvent* TransitionEvent::overDuration(bool cover, s32 mode, s32 viewId, f32 seconds,
                                               s32 extra) {
    // A fade of one whole unit over the duration; no duration fades at once.
    const f32 speed = seconds > 0.0f ? 1.0f / seconds : 0.0f;
    return new TransitionEvent(cover, mode, speed, 0.0f, extra, viewId);
}

bool TransitionEvent::run(LevelManager& manager, f32 seconds) {
    LoadingOverlay& overlay = manager.loadingOverlay;
    if (!started) {
        started = true;
        // A cover already up stays as it is: fading it in again from clear would show for a
        // moment what is behind it (the menu just opened over the level being left).
        if (intro && overlay.introRunning && overlay.fadeValue >= 1.0f) {
            overlay.loadingScreen = overlay.loadingScreen || coversLoad;
            return true;
        }
        logMessage(intro ? "Transition Intro." : "Transition Outro.");
        overlay.mode = mode;
        if (viewId != keepView)
            overlay.viewId = viewId;
        overlay.fadeSpeed = speed;
        overlay.hold = hold;
        overlay.kind = kind;
        if (intro)
            overlay.startIntro();
        else
            overlay.startOutro();
        return false;
    }
    const bool done = overlay.update(playsWithLevel ? manager.getPlaySeconds() : seconds);
    if (done && intro && coversLoad)
        overlay.loadingScreen = true;
    return done;
}

bool LoadLevelEvent::run(LevelManager& manager, f32) {
    if (menuLoad)
        manager.menuLoad = true;
    manager.loadLevelFromEvent(path);
    manager.menuLoad = false;
    // A level that is there but cannot be read leaves nothing to play: the player goes back to
    // the main menu, as from an end into a missing level.
    if (playerGoesIn && manager.getCurrentLevelPath().empty() && !gameQuitting())
        manager.returnAfterFailedLoad(this);
    // The load that was waiting has run; another one may still be queued behind it.
    manager.loadPending = manager.isEventQueued(LET_LoadLevel, this);
    return true;
}

bool UnloadLevelEvent::run(LevelManager& manager, f32) {
    manager.unloadLevel();
    return true;
}

bool LevelCommandEvent::run(LevelManager& manager, f32) {
    switch (getType()) {
    case LET_RestartLevel:
        manager.restartLevel();
        break;
    case LET_RestartFromCheckpoint:
        manager.restartFromCheckpoint();
        break;
    case LET_ClearCheckpoint:
        manager.clearCheckpoint();
        break;
    case LET_ReturnToMainMenu:
        manager.returnToMainMenu();
        break;
    case LET_ClearMenus:
        logMessage("Clearing Menus.");
        if (const auto& close = levelHooks().screens.closeAllScreens)
            close();
        break;
    case LET_ShowSplash:
        if (const auto& show = levelHooks().screens.showSplash)
            show();
        break;
    default:
        break;
    }
    return true;
}

SaveCheckpointEvent::SaveCheckpointEvent(scene::ISceneNode* checkpoint)
    : LevelEvent(LET_SaveCheckpoint), checkpoint(checkpoint) {
    if (checkpoint)
        checkpoint->grab();
}

SaveCheckpointEvent::~SaveCheckpointEvent() {
    if (checkpoint)
        checkpoint->drop();
}

bool SaveCheckpointEvent::run(LevelManager& manager, f32) {
    // A checkpoint of a level unloaded meanwhile (a quit while its save was queued) has no
    // parent any more: the level left is not saved, which is what the player asked for.
    if (checkpoint && checkpoint->getParent())
        manager.saveCheckpointAt(checkpoint);
    else
        logMessage("Skipped a checkpoint save: its level was unloaded.");
    return true;
}

// --- the queue -------------------------------------------------------------------------------------

void LevelManager::queueEvent(LevelEvent* event) {
    if (event)
        levelEvents.emplace_back(event);
}

void LevelManager::dropQueuedEvents() {
    levelEvents.clear();
    loadPending = false;
    menuLoad = false;
}

bool LevelManager::isEventQueued(LevelEventType type, const LevelEvent* except) const {
    return std::any_of(levelEvents.begin(), levelEvents.end(), [&](const auto& event) {
        return event.get() != except && event->getType() == type;
    });
}

bool LevelManager::queueUnlessQueued(LevelEvent* event) {
    std::unique_ptr<LevelEvent> owned(event);
    if (isEventQueued(owned->getType())) {
        // A level may ask for the same event hundreds of times a frame: counted.
        logRepeatable(std::string(logErrorPrefix) + "Failed to queue additional level event: " + owned->getName() +
                      ".");
        return false;
    }
    levelEvents.push_back(std::move(owned));
    return true;
}

const LevelEvent* LevelManager::queueTransition(bool intro, s32 transitionType, f32 speed, f32 hold, s32 kind,
                                                bool playsWithLevel) {
    auto* transition = new TransitionEvent(intro, transitionType, speed, hold, kind);
    transition->playsWithLevel = playsWithLevel;
    queueEvent(transition);
    return transition;
}

void LevelManager::queueLoadCover() {
    const LoadingOverlay& overlay = loadingOverlay;
    auto* intro = new TransitionEvent(true, overlay.mode, overlay.fadeSpeed, overlay.hold, overlay.kind);
    intro->coversLoad = true;
    queueEvent(intro);
}

bool LevelManager::queueLoadLevel(const io::path& path, bool clearMenus) {
    // A load or a return to the main menu still waiting would be undone by this one.
    if (isEventQueued(LET_LoadLevel) || isEventQueued(LET_ReturnToMainMenu)) {
        logRepeatable("ERROR: Attempting to queue a 2nd load level event");
        return false;
    }
    const LoadingOverlay& overlay = loadingOverlay;
    queueLoadCover();
    queueEvent(new UnloadLevelEvent());
    queueEvent(new LevelCommandEvent(LET_ClearCheckpoint));
    if (clearMenus)
        queueEvent(new LevelCommandEvent(LET_ClearMenus));
    auto* load = new LoadLevelEvent(path);
    load->playerGoesIn = true;
    queueEvent(load);
    queueTransition(false, overlay.mode, overlay.fadeSpeed, overlay.hold, overlay.kind);
    loadPending = true;
    return true;
}

void LevelManager::queueLoadLevelEvent(const io::path& path, bool menuLoadFlag) {
    const LoadingOverlay& overlay = loadingOverlay;
    if (menuLoadFlag)
        menuLoad = true;
    queueLoadCover();
    queueEvent(new LoadLevelEvent(path, menuLoadFlag));
    queueTransition(false, overlay.mode, overlay.fadeSpeed, overlay.hold, overlay.kind);
    loadPending = true;
}

bool LevelManager::queueRestartFromCheckpoint() {
    return queueUnlessQueued(new LevelCommandEvent(LET_RestartFromCheckpoint));
}

bool LevelManager::queueRestartLevel() {
    return queueUnlessQueued(new LevelCommandEvent(LET_RestartLevel));
}

bool LevelManager::queueClearCheckpoint() {
    return queueUnlessQueued(new LevelCommandEvent(LET_ClearCheckpoint));
}

bool LevelManager::queueReturnToMainMenu() {
    if (!queueUnlessQueued(new LevelCommandEvent(LET_ReturnToMainMenu)))
        return false;
    // The main menu loads the title level: the cover queued before the return brings the
    // loading screen up (the menu is made while it covers the screen).
    for (auto event = levelEvents.rbegin(); event != levelEvents.rend(); ++event)
        if ((*event)->getType() == LET_Transition) {
            auto* transition = static_cast<TransitionEvent*>(event->get());
            transition->coversLoad = transition->intro;
            break;
        }
    return true;
}

void LevelManager::returnAfterFailedLoad(const LevelEvent* failed) {
    // What waits behind the load was for the level that did not come: its cover's outro would
    // lift onto an empty scene. The cover stays up for the main menu's own load.
    std::erase_if(levelEvents, [failed](const auto& event) { return event.get() != failed; });
    queueReturnToMainMenu();
}

void LevelManager::queueClearMenus() {
    queueEvent(new LevelCommandEvent(LET_ClearMenus));
}

void LevelManager::queueShowSplash() {
    queueEvent(new LevelCommandEvent(LET_ShowSplash));
}

bool LevelManager::queueSaveCheckpoint(scene::ISceneNode* checkpoint) {
    if (!checkpoint)
        return false;
    // A full meter is a lost level: nothing to save.
    const SuspicionMeter* meter = getPlayerSuspicion(0);
    const auto& isFull = levelHooks().characters.isSuspicionFull;
    if (meter && isFull && isFull(*meter, true))
        return false;
    return queueUnlessQueued(new SaveCheckpointEvent(checkpoint));
}

// --- per frame ---------------------------------------------------------------------------------------

void LevelManager::processLevelEvents(f32 frameSeconds) {
    // A paused game stands still: a level end queued just before the pause waits for it to
    // be left (by Resume; Restart and Quit drop it).
    if (const auto& paused = levelHooks().screens.isGamePaused; paused && paused())
        return;
    // A game that is quitting starts no further step (a transition's next step, a load).
    if (!levelEvents.empty() && !gameQuitting()) {
        // The event stays owned by the queue while it runs; it may queue more behind it.
        LevelEvent* front = levelEvents.front().get();
        if (front->run(*this, frameSeconds) && !levelEvents.empty() &&
            levelEvents.front().get() == front)
            levelEvents.pop_front();
    }
    updateSuspicionAndGameOver(frameSeconds);
}

void LevelManager::updateSuspicionAndGameOver(f32 frameSeconds) {
    const LevelHookTable& hooks = levelHooks();
    if (!getPlayer(0) && suspicionMeter && hooks.characters.updateSuspicion)
        hooks.characters.updateSuspicion(*suspicionMeter, frameSeconds);

    gameOverTimer += std::clamp(frameSeconds, 0.0f, maxGameOverStep);
    if (gameOverTimer <= gameOverDelay)
        return;
    const SuspicionMeter* meter = getPlayerSuspicion(0);
    if (!meter || !hooks.characters.isSuspicionFull ||
        !hooks.characters.isSuspicionFull(*meter, false))
        return;
    for (LevelEventType type : {LET_RestartLevel, LET_RestartFromCheckpoint, LET_LoadLevel, LET_ReturnToMainMenu})
        if (isEventQueued(type))
            return;
    startGameOver();
}

void LevelManager::startGameOver() {
    ++levelRun.losses;
    const LevelHookTable& hooks = levelHooks();
    if (soundManager)
        soundManager->playEffect(gameOverEffect);
    if (hooks.input.gameOverRumble)
        hooks.input.gameOverRumble();
    // Cover the screen, start again from the last checkpoint (or the level's start), and
    // uncover it.
    queueTransition(true, LoadingOverlay::FadeToBlack, 1.0f, 0.0f, 2);
    if (checkpointList.empty())
        queueRestartLevel();
    else
        queueRestartFromCheckpoint();
    queueTransition(false, LoadingOverlay::FadeToBlack, 1.0f, 0.5f, 2);
}

void LevelManager::returnToMainMenu() {
    logMessage("Return to Main Menu.");
    const LevelHookTable& hooks = levelHooks();
    if (hooks.screens.closeAllScreens)
        hooks.screens.closeAllScreens();
    if (hooks.screens.openMainScreen)
        hooks.screens.openMainScreen(PlayMode);
    if (suspicionMeter && hooks.characters.resetSuspicion)
        hooks.characters.resetSuspicion(suspicionMeter);
}
