#pragma once

#include "core/Delegate.h"
#include "core/FloatTween.h"
#include "level/LevelObject.h"

class CameraObject;
class LevelEvent;
class SoundObject;

// A scripted sequence of fixed length (type 'cuts', "CutsceneObject"). Started by a trigger
// action or a collected tie, it shows the cutscene overlay, takes control from the player,
// lowers the music, pauses or interrupts conversations, hands the view to its camera and
// starts its child trigger events and conditional triggers. Held skip input ends it early;
// one second before its end it starts its end transition; at the end it undoes all of that
// and returns the view to its end camera or to the camera active before it.
class CutsceneObject : public LevelObject {
public:
    // Transition types (shared with the loading overlay's).
    static const char* const transitionNames[];
    static constexpr irr::s32 noTransition = 4;
    static constexpr irr::s32 stateIdle = 1;
    static constexpr irr::s32 stateRunning = 0;
    // The "Skip Cutscene" sound effect and the "End Level" trigger action.
    static constexpr int skipSoundEffect = 41;
    static constexpr irr::s32 endLevelAction = 27;

    CutsceneObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);
    ~CutsceneObject() override;

    void OnAnimate(irr::u32 timeMs) override;
    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("cuts"); }
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    void startCutscene();
    // The debug stop: ends at once, cancelling every child event.
    void stopCutscene();
    void finishCutscene();
    // Jumps to the end; child events not yet due are dropped.
    void cancelCutscene();
    void beginEndTransition();
    void pauseConversations();
    void resumeConversations();
    // A child trigger event carries an End Level action.
    bool endsLevel() const;
    bool isRunning() const { return state == stateRunning; }

    DelegateList startedListeners;
    DelegateList cancelledListeners;
    DelegateList finishedListeners;
    irr::core::array<SoundObject*> pausedConversations;
    irr::s32 state = stateIdle;
    FloatTween skipTween;
    irr::s32 StartTransitionType = noTransition;
    irr::f32 StartTransitionHold = 0.0f;
    irr::s32 EndTransitionType = noTransition;
    irr::f32 EndTransitionHold = 0.0f;
    irr::f32 CutsceneDuration = 1.0f;
    irr::f32 elapsed = -1.0f;
    irr::f32 skipProgress = 0.0f;
    irr::s32 CameraID = 0;
    irr::s32 EndCameraID = 0;
    irr::f32 CamTransitionSpeed = 0.0f;
    irr::f32 EndCamTransitionSpeed = 0.0f;
    bool DisableControls = true;
    bool skipRequested = false;
    bool skipCarriedOut = false;
    irr::f32 MusicFadeVolume = 1.0f;
    CameraObject* previousCamera = nullptr;
    irr::scene::ISceneNode* previousSource = nullptr;
    bool TransitionBlackBarsIn = true;
    bool TransitionBlackBarsOut = true;
    bool ReturnToPreviousCam = false;
    bool ending = false;
    bool AllowSkipCutscene = false;
    bool PauseActiveConversations = false;
    bool InterruptActiveConversations = false;
    // The skip's second has run out and waits for its cover.
    bool skipTimeUp = false;
    // The closing cover's intro while it waits in the level's queue, else null.
    const LevelEvent* endCover = nullptr;

private:
    // The skip's second is over; the cutscene ends once its cover has closed.
    void onSkipFadeDone() { skipTimeUp = true; }
    // Whether the event (compared, never used) still waits in the level's queue.
    static bool coverQueued(const LevelEvent* cover);
    // The camera object of the ID, or null.
    CameraObject* cameraOf(irr::s32 id) const;
    bool anySkipHeld() const;
    void updateSkip(irr::f32 dt);
    void queueEndTransition(irr::s32 type, irr::f32 hold);
};

// Registers 'cuts' ("CutsceneObject") with the scene-node factory.
void registerCutsceneObjectType();
