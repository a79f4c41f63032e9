#pragma once

#include <irrTypes.h>
#include <path.h>

class LevelManager;
namespace irr::scene {
class ISceneNode;
}

// The kinds of level event. Screens and trigger actions queue them on the level manager,
// which runs them one at a time, front first, in its per-frame event processing.
enum LevelEventType {
    LET_LoadLevel = 0,
    LET_UnloadLevel = 1,
    LET_RestartLevel = 2,
    LET_RestartFromCheckpoint = 3,
    LET_ClearCheckpoint = 4,
    LET_ReturnToMainMenu = 5,
    LET_ClearMenus = 6,
    LET_Transition = 7,
    LET_ShowSplash = 8,
    LET_SaveCheckpoint = 9,
};

// "LET_LoadLevel", "LET_RestartLevel", ...
const char* levelEventName(LevelEventType type);

class LevelEvent {
public:
    explicit LevelEvent(LevelEventType type) : type(type) {}
    virtual ~LevelEvent() = default;
    LevelEvent(const LevelEvent&) = delete;
    LevelEvent& operator=(const LevelEvent&) = delete;

    LevelEventType getType() const { return type; }
    const char* getName() const { return levelEventName(type); }

    // Runs the event for one frame of the given seconds; true when it is done. The level
    // manager then removes it, and the next event starts with the next frame.
    virtual bool run(LevelManager& manager, irr::f32 seconds) = 0;

private:
    LevelEventType type;
};

// A transition of the loading overlay: an intro covers the screen from clear, an outro
// clears it from covered after the hold. The first frame logs "Transition Intro." or
// "Transition Outro." and hands the event's settings to the overlay; the following frames
// fade until the overlay reaches its end. An intro while an earlier intro's cover is up is
// done at once, without a line, and leaves the cover as it is.
class TransitionEvent : public LevelEvent {
public:
    // Keeps the overlay's view.
    static constexpr irr::s32 keepView = -1;

    TransitionEvent(bool intro, irr::s32 mode, irr::f32 speed, irr::f32 hold, irr::s32 kind,
                    irr::s32 viewId = keepView);
    // The form the screens append directly: a fade over the seconds (0 or less: at once), on
    // the given view, with the extra value as the transition kind.
    static TransitionEvent* overDuration(bool cover, irr::s32 mode, irr::s32 viewId,
                                         irr::f32 seconds, irr::s32 extra);

    bool run(LevelManager& manager, irr::f32 seconds) override;

    const bool intro;
    const irr::s32 mode;
    const irr::f32 speed;
    const irr::f32 hold;
    const irr::s32 kind;
    const irr::s32 viewId;
    // An intro before a level load: once it covers the screen the loading screen comes up
    // (the unload of the level left may take a while).
    bool coversLoad = false;
    // A transition of the level's script (Run Fake Transition, a cutscene's closing cover)
    // fades and holds by the level's clock, in step with the script's events it covers. Every other one goes by the frame's
    // length: a load's cover must lift while nothing of the level plays under it.
    bool playsWithLevel = false;

private:
    bool started = false;
};

// Loads a level (the level shown before is unloaded first). The flag marks a load that a
// menu asked for: the level manager's menu-load flag is set until it has run.
class LoadLevelEvent : public LevelEvent {
public:
    explicit LoadLevelEvent(const irr::io::path& path, bool menuLoad = false)
        : LevelEvent(LET_LoadLevel), path(path), menuLoad(menuLoad) {}
    bool run(LevelManager& manager, irr::f32 seconds) override;

    const irr::io::path path;
    const bool menuLoad;
    // A level the player goes into (a level's end, a level chosen to play): when it cannot be
    // read the player goes back to the main menu. A menu's own scene just stays away.
    bool playerGoesIn = false;
};

// Unloads the level. The flag is carried for the screens that append the event directly.
class UnloadLevelEvent : public LevelEvent {
public:
    explicit UnloadLevelEvent(bool flag = true) : LevelEvent(LET_UnloadLevel), flag(flag) {}
    bool run(LevelManager& manager, irr::f32 seconds) override;

    const bool flag;
};

// The events that run one operation of the level manager in one frame: restart level,
// restart from checkpoint, clear checkpoint, return to the main menu, clear menus, show
// the splash screen.
class LevelCommandEvent : public LevelEvent {
public:
    explicit LevelCommandEvent(LevelEventType type) : LevelEvent(type) {}
    bool run(LevelManager& manager, irr::f32 seconds) override;
};

// Saves a checkpoint at the checkpoint object (held until the event has run; a checkpoint
// that has left the scene meanwhile is not saved).
class SaveCheckpointEvent : public LevelEvent {
public:
    explicit SaveCheckpointEvent(irr::scene::ISceneNode* checkpoint);
    ~SaveCheckpointEvent() override;
    bool run(LevelManager& manager, irr::f32 seconds) override;

    irr::scene::ISceneNode* const checkpoint;
};
