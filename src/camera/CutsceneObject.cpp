#include "camera/CutsceneObject.h"

#include "camera/CameraManager.h"
#include "camera/CameraObject.h"
#include "camera/CameraServices.h"
#include "camera/CameraTransition.h"
#include "camera/GUICutscene.h"

#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "core/SoundManager.h"
#include "level/LevelEvents.h"
#include "level/LevelManager.h"
#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"
#include "level/SoundObject.h"
#include "physics/world/PhysicsHooks.h"
#include "player/InputEvent.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/PlayerObject.h"
#include "player/devices/KeyboardDevice.h"
#include "triggers/ConditionalTrigger.h"
#include "triggers/TriggerEventObject.h"

#include <Keycodes.h>

#include <algorithm>

using namespace irr;

const char* const CutsceneObject::transitionNames[] = {"Circle Wipe Image", "Circle Wipe Black", "Fade to Black",
                                                       "Fade to White", "None", nullptr};

namespace {
GUICutscene* cutsceneScreen() { return camera::cutsceneScreen(); }

PlayerObject* cutscenePlayer() { return playerCount() > 0 ? getPlayer(0) : nullptr; }

s32 transitionIndex(const core::stringc& name, s32 fallback) {
    for (s32 i = 0; CutsceneObject::transitionNames[i]; ++i)
        if (name.equals_ignore_case(CutsceneObject::transitionNames[i]))
            return i;
    return fallback;
}

const char* transitionName(s32 value) {
    return CutsceneObject::transitionNames[value >= 0 && value <= CutsceneObject::noTransition
                                               ? value
                                               : CutsceneObject::noTransition];
}

// Either busy flag of the loading overlay.
bool loadingOverlayBusy() { return levelManager && levelManager->loadingOverlay.isBusy(); }

void setMusicFade(f32 target, bool atOnce) {
    if (!soundManager)
        return;
    soundManager->musicFadeTarget = target;
    if (atOnce)
        soundManager->musicFadeValue = target;
}
} // namespace

CutsceneObject::CutsceneObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : LevelObject(parent, manager, id) {
    Box = core::aabbox3df(-1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f);
    skipTween.completed.addMember(this, &CutsceneObject::onSkipFadeDone);
}

CutsceneObject::~CutsceneObject() {
    // A cutscene that dies while running must not leave the cameras believing one runs.
    cutsceneRunning = false;
}

CameraObject* CutsceneObject::cameraOf(s32 id) const {
    scene::ISceneNode* node = levelManager ? levelManager->getSceneNodeFromID(id) : nullptr;
    return node && isTypeOf(node->getType(), typeId("cmro")) ? static_cast<CameraObject*>(node) : nullptr;
}

bool CutsceneObject::endsLevel() const {
    for (scene::ISceneNode* child : Children)
        if (child->getType() == typeId("trge")) {
            TriggerAction* action = static_cast<TriggerEventObject*>(child)->getAction();
            if ((action && action->getType() == endLevelAction) ||
                static_cast<TriggerEventObject*>(child)->OnTriggerEvent == endLevelAction)
                return true;
        }
    return false;
}

void CutsceneObject::startCutscene() {
    if (state != stateIdle)
        return;
    skipRequested = false;
    GUICutscene* screen = cutsceneScreen();
    if (CutsceneDuration > 0.0f && DisableControls && screen) {
        screen->setVisible(true);
        if (!TransitionBlackBarsIn)
            screen->snapBarsIn();
    }
    if (PauseActiveConversations)
        pauseConversations();
    else if (InterruptActiveConversations)
        resetAllConversations();
    const TriggerEventInfo event = makeEmptyTriggerEventInfo(this);
    for (scene::ISceneNode* child : Children) {
        if (child->getType() == typeId("trge"))
            static_cast<TriggerEventObject*>(child)->startEvent(event);
        else if (child->getType() == typeId("cond"))
            static_cast<ConditionalTrigger*>(child)->start();
    }
    elapsed = 0.0f;
    ending = false;
    skipCarriedOut = false;
    skipTimeUp = false;
    endCover = nullptr;
    if (DisableControls)
        if (PlayerObject* player = cutscenePlayer())
            player->setControlsDisabled(true);
    setMusicFade(MusicFadeVolume, !TransitionBlackBarsIn);
    CameraManager* manager = cameraManagers[0];
    if (ReturnToPreviousCam) {
        const bool known = manager && manager->transition && !manager->overridesDisabled;
        previousCamera = known ? manager->transition->camera : nullptr;
        previousSource = known ? manager->transition->source : nullptr;
    }
    if (CameraID != 0 && manager)
        if (CameraObject* camera = cameraOf(CameraID)) {
            CameraActivation activation;
            activation.camera = camera;
            activation.speed = CamTransitionSpeed;
            manager->setActiveCamera(activation);
        }
    dispatchEvent(startedListeners);
    state = stateRunning;
    cutsceneRunning = true;
}

bool CutsceneObject::anySkipHeld() const {
    if (!inputManager)
        return false;
    for (int player = 0; player < maxPlayers; ++player)
        for (int set = 0; set < inputManager->getPlayerControlsCount(player); ++set)
            if (PlayerControls* controls = inputManager->getPlayerControls(player, set))
                if (controls->isSkipCutsceneDown())
                    return true;
    return false;
}

void CutsceneObject::updateSkip(f32 dt) {
    const bool held = anySkipHeld();
    if (AllowSkipCutscene) {
        if (held && screenManager && levelManager && isGameplaySuspended())
            skipProgress += dt;
        else
            skipProgress = 0.0f;
    } else if (held && elapsed > 1.0f) {
        skipProgress = -1.0f;
    }
    GUICutscene* screen = cutsceneScreen();
    if (AllowSkipCutscene) {
        if (screen && !ending)
            screen->setSkipProgress(skipProgress);
        else if (screen && !skipCarriedOut)
            screen->setSkipProgress(0.0f);
    } else if (skipProgress != 0.0f) {
        // The refusal shows and fades within a second.
        skipProgress = core::clamp(skipProgress + dt, -1.0f, 0.0f);
        if (screen)
            screen->setSkipProgress(skipProgress);
    }
}

void CutsceneObject::OnAnimate(u32 timeMs) {
    if (animatedThisFrame())
        return; // a draw pass of a frame already animated
    const f32 dt = camera::frameSeconds();
    LevelObject::OnAnimate(timeMs);
    if (debugMode && elapsed >= 0.0f && inputManager && inputManager->getKeyboard()) {
        const KeyboardDevice* keyboard = inputManager->getKeyboard();
        if (keyboard->keyState(KEY_KEY_O) == InputState::Pressed || keyboard->keyState(KEY_KEY_P) == InputState::Pressed)
            stopCutscene();
    }
    if (elapsed >= 0.0f) {
        if (!ending && skipRequested) {
            if (soundManager)
                soundManager->playEffect(skipSoundEffect);
            beginEndTransition();
            skipTween.value = 0.0f;
            skipTween.start = 0.0f;
            skipTween.end = 1.0f;
            skipTween.duration = 1.0f;
            skipTween.elapsed = 0.0f;
            skipTween.kind = 0; // no curve: the value jumps at the end
            skipRequested = false;
            skipCarriedOut = true;
        }
        const f32 endTime = CutsceneDuration - 1.0f;
        updateSkip(dt);
        if (elapsed > 1.0f && skipProgress > 1.0f && !loadingOverlayBusy() && !ending && AllowSkipCutscene &&
            skipTween.value == skipTween.end && elapsed < endTime)
            skipRequested = true;
        const f32 before = elapsed;
        // The cutscene's length is the level script's time, as its events' delays are: it
        // goes on by the level's clock (the skip's hold and the bars by the frame).
        elapsed += levelPlaySeconds();
        if (!ending && !skipRequested && before < endTime && elapsed >= endTime)
            beginEndTransition();
        if (elapsed > CutsceneDuration)
            finishCutscene();
    }
    // The skip's second goes by the level's clock, as the fade it waits for does.
    skipTween.update(levelPlaySeconds());
    // The cut comes under the skip's cover: while its closing fade still waits in the level's
    // queue (it leaves it once the screen is covered), the cutscene holds on.
    if (endCover && !coverQueued(endCover))
        endCover = nullptr;
    if (skipTimeUp && !endCover) {
        skipTimeUp = false;
        cancelCutscene();
    }
}

bool CutsceneObject::coverQueued(const LevelEvent* cover) {
    if (!levelManager)
        return false;
    const auto& events = levelManager->getLevelEvents();
    return std::any_of(events.begin(), events.end(), [cover](const auto& event) { return event.get() == cover; });
}

void CutsceneObject::queueEndTransition(s32 type, f32 hold) {
    if (!levelManager)
        return;
    // The cover closes over the cut back at the cutscene's end, in step with it.
    endCover = levelManager->queueTransition(true, type, 1.0f, hold, 2, true);
    levelManager->queueTransition(false, type, 1.0f, hold, 2, true);
}

void CutsceneObject::beginEndTransition() {
    if (ending)
        return;
    if (EndTransitionType != noTransition)
        queueEndTransition(EndTransitionType, EndTransitionHold);
    else if (skipRequested && !endsLevel())
        queueEndTransition(2, 0.0f); // a skip fades to black
    ending = true;
}

void CutsceneObject::finishCutscene() {
    if (state == stateIdle)
        return;
    GUICutscene* screen = cutsceneScreen();
    if (!endsLevel() && screen) {
        screen->setVisible(false);
        if (!TransitionBlackBarsOut)
            screen->snapBarsOut();
    }
    if (screen)
        screen->setSkipProgress(0.0f);
    elapsed = -1.0f;
    if (DisableControls)
        if (PlayerObject* player = cutscenePlayer())
            player->setControlsDisabled(false);
    cutsceneRunning = false;
    CameraManager* manager = cameraManagers[0];
    if (manager) {
        if (CameraObject* camera = cameraOf(CameraID))
            manager->removeCamera(camera);
        CameraActivation activation;
        activation.speed = EndCamTransitionSpeed;
        if (EndCameraID != 0) {
            activation.camera = cameraOf(EndCameraID);
            if (activation.camera)
                manager->setActiveCamera(activation);
        } else if (ReturnToPreviousCam) {
            activation.camera = previousCamera;
            activation.source = previousSource;
            manager->setActiveCamera(activation);
        }
    }
    setMusicFade(1.0f, !TransitionBlackBarsOut);
    if (PauseActiveConversations)
        resumeConversations();
    dispatchEvent(finishedListeners);
    state = stateIdle;
}

void CutsceneObject::cancelCutscene() {
    if (state == stateIdle)
        return;
    elapsed = CutsceneDuration;
    GUICutscene* screen = cutsceneScreen();
    if (!endsLevel() && screen) {
        screen->setVisible(false);
        screen->snapBarsOut();
    }
    for (scene::ISceneNode* child : Children) {
        if (child->getType() == typeId("trge")) {
            auto* event = static_cast<TriggerEventObject*>(child);
            if (event->isPending()) {
                // Events due within the cutscene are dropped; later ones keep their time
                // measured from the start.
                if (event->EventDelay < CutsceneDuration)
                    event->stopPending();
                else
                    event->pending.time = elapsed;
            } else if (event->getAction()) {
                event->getAction()->cancel();
            }
        } else if (child->getType() == typeId("cond")) {
            auto* conditional = static_cast<ConditionalTrigger*>(child);
            if (conditional->Timer >= 0.0f && conditional->Timer < elapsed)
                conditional->Timer = elapsed;
            if (conditional->TimeSpan.X < CutsceneDuration) {
                conditional->Timer = -1.0f;
                conditional->conditionalCancelled = true;
                TriggerObject::stopPendingEvents(conditional);
            }
        }
    }
    dispatchEvent(cancelledListeners);
}

void CutsceneObject::stopCutscene() {
    if (state == stateIdle || loadingOverlayBusy())
        return;
    elapsed = -1.0f;
    GUICutscene* screen = cutsceneScreen();
    if (!endsLevel() && screen) {
        screen->setVisible(false);
        if (!TransitionBlackBarsOut)
            screen->snapBarsOut();
    }
    for (scene::ISceneNode* child : Children) {
        if (child->getType() == typeId("trge")) {
            auto* event = static_cast<TriggerEventObject*>(child);
            event->stopPending();
            if (event->getAction())
                event->getAction()->cancel();
        } else if (child->getType() == typeId("cond")) {
            auto* conditional = static_cast<ConditionalTrigger*>(child);
            conditional->conditionalCancelled = true;
            TriggerObject::stopPendingEvents(conditional);
        }
    }
    dispatchEvent(cancelledListeners);
    finishCutscene();
}

void CutsceneObject::pauseConversations() {
    pausedConversations.clear();
    if (!soundManager)
        return;
    for (const auto& [name, sound] : soundManager->getSoundObjects())
        if (sound && sound->conversationActive) {
            sound->pause(true);
            pausedConversations.push_back(sound);
        }
}

void CutsceneObject::resumeConversations() {
    for (u32 i = 0; i < pausedConversations.size(); ++i)
        if (pausedConversations[i] && pausedConversations[i]->pauseCount > 0)
            pausedConversations[i]->resume();
    pausedConversations.clear();
}

scene::ISceneNode* CutsceneObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new CutsceneObject(newParent, newManager, ID);
    LevelObject::cloneMembers(copy, this, newManager);
    copy->Box = Box;
    copy->CutsceneDuration = CutsceneDuration;
    copy->DisableControls = DisableControls;
    copy->CameraID = CameraID;
    copy->EndCameraID = EndCameraID;
    copy->CamTransitionSpeed = CamTransitionSpeed;
    copy->StartTransitionType = StartTransitionType;
    copy->StartTransitionHold = StartTransitionHold;
    copy->EndTransitionType = EndTransitionType;
    copy->EndTransitionHold = EndTransitionHold;
    copy->TransitionBlackBarsIn = TransitionBlackBarsIn;
    copy->TransitionBlackBarsOut = TransitionBlackBarsOut;
    copy->ReturnToPreviousCam = ReturnToPreviousCam;
    copy->MusicFadeVolume = MusicFadeVolume;
    copy->PauseActiveConversations = PauseActiveConversations;
    copy->InterruptActiveConversations = InterruptActiveConversations;
    assignUniqueObjectID(copy);
    copy->drop();
    return copy;
}

void CutsceneObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    out->addFloat("CutsceneDuration", CutsceneDuration);
    out->addBool("AllowSkipCutscene", AllowSkipCutscene);
    out->addInt("CameraID", CameraID);
    out->addFloat("CamTransitionSpeed", CamTransitionSpeed);
    out->addBool("ReturnToPreviousCam", ReturnToPreviousCam);
    if (!ReturnToPreviousCam)
        out->addInt("EndCameraID", EndCameraID);
    out->addFloat("EndCamTransitionSpeed", EndCamTransitionSpeed);
    out->addBool("DisableControls", DisableControls);
    out->addFloat("MusicFadeVolume", MusicFadeVolume);
    out->addBool("PauseActiveConversations", PauseActiveConversations);
    if (!PauseActiveConversations)
        out->addBool("InterruptActiveConversations", InterruptActiveConversations);
    out->addEnum("StartTransitionType", transitionName(StartTransitionType), transitionNames);
    out->addFloat("StartTransitionHold", StartTransitionHold);
    out->addEnum("EndTransitionType", transitionName(EndTransitionType), transitionNames);
    out->addFloat("EndTransitionHold", EndTransitionHold);
    out->addBool("TransitionBlackBarsIn", TransitionBlackBarsIn);
    out->addBool("TransitionBlackBarsOut", TransitionBlackBarsOut);
}

void CutsceneObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    if (!in)
        return;
    LevelObject::deserializeAttributes(in, options);
    auto readFloat = [in](const char* key, f32& value) {
        if (in->existsAttribute(key))
            value = in->getAttributeAsFloat(key);
    };
    auto readBool = [in](const char* key, bool& value) {
        if (in->existsAttribute(key))
            value = in->getAttributeAsBool(key);
    };
    readFloat("CutsceneDuration", CutsceneDuration);
    CameraID = in->getAttributeAsInt("CameraID");
    CamTransitionSpeed = in->getAttributeAsFloat("CamTransitionSpeed");
    readBool("ReturnToPreviousCam", ReturnToPreviousCam);
    EndCameraID = in->getAttributeAsInt("EndCameraID");
    EndCamTransitionSpeed = in->getAttributeAsFloat("EndCamTransitionSpeed");
    readBool("DisableControls", DisableControls);
    readFloat("MusicFadeVolume", MusicFadeVolume);
    readBool("PauseActiveConversations", PauseActiveConversations);
    readBool("InterruptActiveConversations", InterruptActiveConversations);
    if (in->existsAttribute("StartTransitionType"))
        StartTransitionType = transitionIndex(in->getAttributeAsString("StartTransitionType"), StartTransitionType);
    readFloat("StartTransitionHold", StartTransitionHold);
    if (in->existsAttribute("EndTransitionType"))
        EndTransitionType = transitionIndex(in->getAttributeAsString("EndTransitionType"), EndTransitionType);
    readFloat("EndTransitionHold", EndTransitionHold);
    readBool("TransitionBlackBarsIn", TransitionBlackBarsIn);
    readBool("TransitionBlackBarsOut", TransitionBlackBarsOut);
    // Older levels allow skipping exactly when they name an end camera.
    if (in->existsAttribute("AllowSkipCutscene"))
        AllowSkipCutscene = in->getAttributeAsBool("AllowSkipCutscene");
    else
        AllowSkipCutscene = EndCameraID > 0;
}

void registerCutsceneObjectType() {
    registerSceneNodeType(levelObjectRow<CutsceneObject>(typeId("cuts"), "CutsceneObject"));
    // The collectible tie starts its cutscene and hears when it ends.
    PhysicsHookTable::Cameras& physics = physicsHooks().cameras;
    physics.startCutscene = [](scene::ISceneNode* node) {
        if (node && node->getType() == typeId("cuts"))
            static_cast<CutsceneObject*>(node)->startCutscene();
    };
    physics.cutsceneFinishedListeners = [](scene::ISceneNode* node) -> DelegateList* {
        return node && node->getType() == typeId("cuts") ? &static_cast<CutsceneObject*>(node)->finishedListeners
                                                          : nullptr;
    };
}
