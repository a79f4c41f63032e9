#pragma once

#include <irrTypes.h>

// The level manager's full-screen transition overlay: it covers the screen while a level is
// unloaded and loaded, and for the fades of the pause menu, cutscenes and the end of a level.
//
// A transition in (intro) fades the overlay from 0 to 1 (fully covering) at the fade speed;
// the cover then stays until a transition out (outro), which first waits out the hold and
// then fades from 1 to 0. The intro-running flag is set from the start of the intro until
// the outro starts, the outro-running flag while the outro holds and fades: while either is
// set a transition is under way.
class LoadingOverlay {
public:
    // The transition types, which the overlay's mode takes: what the cover looks like.
    enum TransitionType {
        CircleWipeImage = 0,
        CircleWipeBlack = 1,
        FadeToBlack = 2,
        FadeToWhite = 3,
        NoTransition = 4,
    };
    static constexpr int transitionTypeCount = 5;
    // "Circle Wipe Image", "Circle Wipe Black", "Fade to Black", "Fade to White", "None".
    static const char* const transitionTypeNames[transitionTypeCount];

    // What the overlay draws: a TransitionType; 2 also shows the loading picture, 3 a
    // full-screen white fill.
    irr::s32 mode = 0;
    // The level view (1 or 2) that draws the overlay.
    irr::s32 viewId = 0;
    // 2 for the transitions of level flow; the covering test asks for it.
    irr::s32 kind = 2;
    irr::s32 subState = 0;
    // Fade units per second.
    irr::f32 fadeSpeed = 1.0f;
    // Seconds the cover stays before an outro fades, consumed at the fade speed.
    irr::f32 hold = 0.0f;
    // 0..1; 1 covers the screen.
    irr::f32 fadeValue = 0.0f;
    irr::f32 secondFadeValue = 0.0f;
    bool introRunning = false;
    bool outroRunning = false;
    // The loading bar's fraction (the scene loader's objects read / objects in the file).
    irr::f32 progress = 0.0f;
    // The cover hides a level load: from a load started under the full cover until the
    // outro after it has cleared (or the next intro starts). Meanwhile the overlay shows the
    // loading screen (the loading picture, not a white fill; the bar and the spinner while it
    // covers the screen fully).
    bool loadingScreen = false;
    // The level loaded under the cover has not yet been drawn from its own camera: an outro
    // holds at full cover, its hold not yet begun, until it has (LevelManager::noteFrameDrawn).
    bool awaitingView = false;

    // Starts a transition in: the fade goes from 0 towards 1, the loading bar from empty.
    void startIntro();
    // Starts a transition out: the fade goes from 1 towards 0 once the level's view has been
    // drawn and the hold is used up.
    void startOutro();
    // A level starts loading: under a full cover the loading screen comes up and the cover
    // waits for the level's view; the bar starts empty.
    void beginLoad();
    // Advances the running transition by the seconds; true when it has reached its end
    // (an intro at full cover, an outro clear), and at once when none runs.
    bool update(irr::f32 seconds);

    bool isBusy() const { return introRunning || outroRunning; }
    // The loading screen fills the screen: it is up and the cover is opaque.
    bool showsLoadingScreen() const { return loadingScreen && isOpaque(); }
    // Kind 2 and a fade within 1e-6 of 1: the screen is fully covered.
    bool isOpaque() const;
    // The fade while a transition is under way, else 0; always within 0..1.
    irr::f32 getTransitionValue() const;
    // The loading bar's fraction within 0..1.
    irr::f32 getProgress() const;

    // Draws the overlay for its mode (through the GUI's drawing of it; nothing until that
    // exists).
    void draw() const;

private:
    irr::f32 holdRemaining = 0.0f;
};
