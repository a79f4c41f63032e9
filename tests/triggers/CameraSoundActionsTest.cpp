// Set Camera, the camera volume, the force volume's files and Play Sound.
#include "ActionTestSupport.h"

#include "camera/CameraServices.h"
#include "camera/CameraTransition.h"
#include "core/Globals.h"
#include "level/LevelHooks.h"
#include "level/SoundObject.h"
#include "platform/audio/EventSystem.h"
#include "triggers/CameraTriggerVolume.h"
#include "triggers/ForceVolume.h"
#include "triggers/actions/PlaySoundAction.h"
#include "triggers/actions/SetCameraAction.h"

using namespace irr;

namespace {

class CameraSoundActionsTest : public test::ActionFixture {
protected:
    SetCameraAction* setCamera(s32 cameraID, bool undo) {
        TriggerObject* trigger = addActionTrigger(50, SetCameraAction::actionType, [&](io::IAttributes* keys) {
            keys->addInt("CameraID", cameraID);
            keys->addBool("UndoOnTriggerRevert", undo);
            keys->addFloat("CamTransitionSpeed", 2.0f);
        });
        return static_cast<SetCameraAction*>(trigger->getAction());
    }
    SoundObject* addSound(s32 id, const char* eventName = "GameAudio/Audio/Collisions/Drag") {
        auto* object = new SoundObject(root(), smgr(), id);
        object->drop();
        object->EventName = eventName;
        manager->registerNodeIDs(object);
        return object;
    }
    PlaySoundAction* playSound(TriggerObject* trigger, const char* what, s32 soundID = 40) {
        io::IAttributes* keys = attributes();
        keys->addEnum("OnTriggerEvent", "Play Sound", triggerActionNames);
        keys->addInt("ObjectID", soundID);
        keys->addString("SoundAction", what);
        keys->addBool("PauseTriggerWhilePlaying", true);
        keys->addBool("UndoOnTriggerRevert", true);
        trigger->deserializeAttributes(keys);
        return static_cast<PlaySoundAction*>(trigger->getAction());
    }
    TriggerEventInfo event;
};

TEST_F(CameraSoundActionsTest, AnUndoableCameraIsPushedAndTakenBackAOneOffSwitchIsNot) {
    CameraObject* camera = addCameraObject(20, {0, 5, -10});
    SetCameraAction* pushed = setCamera(20, true);
    pushed->execute(event);
    ASSERT_FALSE(cameras->overrideCameras.empty());
    EXPECT_EQ(cameras->overrideCameras.begin()->camera, camera);
    EXPECT_FLOAT_EQ(camera->transitionSpeed, 2.0f);
    pushed->revert(event);
    EXPECT_TRUE(cameras->overrideCameras.empty());

    SetCameraAction* oneOff = setCamera(20, false);
    oneOff->execute(event);
    EXPECT_TRUE(cameras->overrideCameras.empty());
    ASSERT_NE(cameras->transition, nullptr);
    EXPECT_EQ(cameras->transition->camera, camera);
    CameraTransition* chain = cameras->transition;
    oneOff->revert(event);
    EXPECT_EQ(cameras->transition, chain) << "a one-off switch is not undone";
}

TEST_F(CameraSoundActionsTest, WithoutACameraExecuteDropsTheTransitionAndAMissingIDIsForgotten) {
    addCameraObject(20, {0, 5, -10});
    setCamera(20, false)->execute(event);
    ASSERT_NE(cameras->transition, nullptr);
    SetCameraAction* none = setCamera(0, false);
    none->update();
    none->execute(event);
    EXPECT_EQ(cameras->transition, nullptr);
    EXPECT_EQ(log.countStartingWith("ERROR: Could not find SceneNode ID"), 0u);

    SetCameraAction* missing = setCamera(77, true);
    missing->update();
    EXPECT_EQ(missing->CameraID, 0) << "in play an ID that names no camera is dropped";
    EXPECT_EQ(log.countStartingWith("ERROR: Could not find SceneNode ID: 77"), 1u);
    missing->update();
    missing->revert(event);
    EXPECT_EQ(log.countStartingWith("ERROR: Could not find SceneNode ID: 77"), 1u);
}

TEST_F(CameraSoundActionsTest, TheOlderUndoKeyWinsAndIsSavedUnderTheNewName) {
    TriggerObject* trigger = addActionTrigger(50, SetCameraAction::actionType, [](io::IAttributes* keys) {
        keys->addBool("UndoOnTriggerRevert", false);
        keys->addBool("DisableOnTriggerUnmet", true);
        keys->addInt("CameraID", 20);
        keys->addBool("ForceCrossfade", true);
    });
    EXPECT_TRUE(trigger->getAction()->UndoOnTriggerRevert);
    EXPECT_EQ(keysOf(*trigger->getAction()),
              "UndoOnTriggerRevert=true;CameraID=20;CamTransitionSpeed=1.000000;ForceCrossfade=true;");
    std::unique_ptr<TriggerAction> copy(trigger->getAction()->clone(trigger));
    EXPECT_EQ(keysOf(*copy), keysOf(*trigger->getAction()));
}

TEST_F(CameraSoundActionsTest, ACameraVolumeReadsItsTableUpToTheFirstMissingRow) {
    struct Case {
        std::vector<std::pair<int, s32>> rows; // row number, volume ID
        std::vector<s32> kept;
    };
    const Case cases[] = {{{{1, 7}, {2, 0}, {3, 9}}, {7, 9}}, {{{2, 7}, {3, 9}}, {}}, {{{1, 7}, {100, 9}}, {7}}};
    for (const Case& c : cases) {
        auto* volume = new CameraTriggerVolume(root(), smgr(), 60);
        volume->drop();
        io::IAttributes* keys = attributes();
        for (const auto& [row, id] : c.rows) {
            keys->addInt(("PrevCamVolume" + std::to_string(row)).c_str(), id);
            keys->addFloat(("TransitionSpeed" + std::to_string(row)).c_str(), 0.5f * float(row));
            keys->addBool(("UseCrossfade" + std::to_string(row)).c_str(), row == 3);
        }
        volume->deserializeAttributes(keys);
        EXPECT_EQ(volume->previousVolumes, c.kept);
        EXPECT_EQ(volume->transitionSpeeds.size(), c.kept.size());
        volume->remove();
    }
    // Ninety-nine rows are read, the hundredth is not.
    auto* full = new CameraTriggerVolume(root(), smgr(), 60);
    full->drop();
    io::IAttributes* rows = attributes();
    for (int row = 1; row <= 100; ++row)
        rows->addInt(("PrevCamVolume" + std::to_string(row)).c_str(), 1000 + row);
    full->deserializeAttributes(rows);
    ASSERT_EQ(full->previousVolumes.size(), 99u);
    EXPECT_EQ(full->previousVolumes.back(), 1099);
}

TEST_F(CameraSoundActionsTest, ACameraVolumeAnswersTheCameraManagersQuestions) {
    auto* volume = static_cast<CameraTriggerVolume*>(smgr()->addSceneNode("CameraTriggerVolume", root()));
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(volume->getCondition(), TriggerCondition::OnPlayerCollide);
    EXPECT_TRUE(volume->CreateSkin);
    EXPECT_EQ(volume->getScale(), core::vector3df(10, 10, 10));
    ASSERT_EQ(volume->getAction()->getType(), SetCameraAction::actionType);
    EXPECT_FALSE(volume->getAction()->UndoOnTriggerRevert);
    test::FakeObject* from = addObject(7, "emty");
    test::FakeObject* stranger = addObject(8, "emty");
    test::FakeObject* cut = addObject(9, "emty");
    volume->previousVolumes = {7, 9};
    volume->transitionSpeeds = {0.25f, 0.5f};
    volume->crossfades = {true, false};
    volume->AllowManualCamera = true;

    EXPECT_EQ(asCameraVolume(volume), volume);
    EXPECT_EQ(asCameraVolume(stranger), nullptr);
    EXPECT_FLOAT_EQ(volume->getTransitionSpeedFrom(from), 0.25f);
    EXPECT_TRUE(volume->getUseCrossfadeFrom(from));
    EXPECT_FALSE(volume->getUseCrossfadeFrom(cut)) << "its row says no crossfade";
    EXPECT_FLOAT_EQ(volume->getTransitionSpeedFrom(stranger), 1.0f) << "the Set Camera action's speed";
    EXPECT_FALSE(volume->getUseCrossfadeFrom(stranger));
    EXPECT_FALSE(volume->getUseCrossfadeFrom(nullptr));
    volume->setAction(new TriggerAction(0, volume));
    EXPECT_FLOAT_EQ(volume->getTransitionSpeedFrom(stranger), -1.0f);
}

TEST_F(CameraSoundActionsTest, VolumesSaveTheirReducedKeysAndReadThemBack) {
    auto* volume = new CameraTriggerVolume(root(), smgr(), 60);
    volume->drop();
    volume->previousVolumes = {7};
    volume->transitionSpeeds = {0.25f};
    volume->crossfades = {true};
    io::SAttributeReadWriteOptions editor;
    editor.Flags = io::EARWF_FOR_EDITOR;
    io::IAttributes* saved = attributes();
    volume->serializeAttributes(saved, &editor);
    EXPECT_TRUE(saved->getAttributeAsBool("UndoOnTriggerRevert")) << "a camera volume always takes its camera back";
    EXPECT_EQ(saved->getAttributeAsInt("PrevCamVolume2"), 0) << "the editor's empty row";
    EXPECT_FALSE(saved->existsAttribute("TriggerCondition"));
    EXPECT_FALSE(saved->existsAttribute("PrevCamVolume3"));
    auto* copy = new CameraTriggerVolume(root(), smgr(), 61);
    copy->drop();
    copy->deserializeAttributes(saved);
    EXPECT_EQ(copy->previousVolumes, std::vector<s32>{7});
    EXPECT_TRUE(copy->getAction()->UndoOnTriggerRevert);
    copy->AllowManualCamera = true;
    auto* clone = static_cast<CameraTriggerVolume*>(copy->clone());
    EXPECT_EQ(clone->crossfades, std::vector<bool>{true});
    EXPECT_TRUE(clone->AllowManualCamera);
    EXPECT_EQ(clone->getAction()->trigger, clone) << "a cloned volume takes its camera for itself";

    auto* force = static_cast<ForceVolume*>(smgr()->addSceneNode("ForceVolume", root()));
    ASSERT_NE(force, nullptr);
    force->TriggerConditionIndex = static_cast<s32>(TriggerCondition::Immediately);
    force->DeviceCondition = "K";
    io::IAttributes* forceKeys = attributes();
    force->serializeAttributes(forceKeys);
    EXPECT_FALSE(forceKeys->existsAttribute("DeviceCondition"));
    force->DeviceCondition = "Gamepad";
    io::IAttributes* deviceKeys = attributes();
    force->serializeAttributes(deviceKeys);
    EXPECT_STREQ(deviceKeys->getAttributeAsString("DeviceCondition").c_str(), "Gamepad");
    EXPECT_FALSE(forceKeys->existsAttribute("TriggerCondition"));
    EXPECT_TRUE(forceKeys->getAttributeAsBool("AddContinuously"));
    auto* reloaded = new ForceVolume(root(), smgr(), 62);
    reloaded->drop();
    reloaded->deserializeAttributes(forceKeys);
    EXPECT_EQ(reloaded->getCondition(), TriggerCondition::OnObjectInside);
    EXPECT_EQ(reloaded->OnLegsCollision, TriggerSide::Either);
}

TEST_F(CameraSoundActionsTest, PlaySoundPlaysStopsAndPausesAndRevertsEachOnce) {
    SoundObject* sound = addSound(40);
    TriggerObject* trigger = addTrigger(50, TriggerCondition::ManualActivationOnly);
    trigger->setName("Door1");
    PlaySoundAction* play = playSound(trigger, "Play");
    logTriggers = true;
    play->execute(event);
    EXPECT_TRUE(log.contains("[Trigger] Door1_50 - Play Sound - Play Sound"));
    step();
    EXPECT_TRUE(sound->isPlaying());
    play->revert(event);
    EXPECT_EQ(sound->pauseCount, 1) << "reverting a play pauses";

    PlaySoundAction* stop = playSound(addTrigger(51, TriggerCondition::ManualActivationOnly), "Stop");
    sound->resume();
    step();
    ASSERT_TRUE(sound->isPlaying());
    stop->execute(event);
    EXPECT_FALSE(sound->isPlaying());
    stop->cancel();
    stop->revert(event);
    step();
    EXPECT_TRUE(sound->isPlaying()) << "reverting a stop plays";
    play->cancel();
    EXPECT_FALSE(sound->isPlaying()) << "cancelling a play stops";

    // Only a play is stopped by a cancel; a pause also takes the sound's subtitle down.
    std::vector<SoundObject*> subtitlesCleared;
    levelHooks().screens.clearSubtitleOf = [&](SoundObject* of) { subtitlesCleared.push_back(of); };
    play->execute(event);
    step();
    ASSERT_TRUE(sound->isPlaying());
    PlaySoundAction* pause = playSound(addTrigger(52, TriggerCondition::ManualActivationOnly), "Pause");
    pause->cancel();
    stop->cancel();
    EXPECT_TRUE(sound->isPlaying());
    pause->execute(event);
    EXPECT_EQ(sound->pauseCount, 1);
    EXPECT_EQ(subtitlesCleared, std::vector<SoundObject*>{sound});
    levelHooks().screens.clearSubtitleOf = nullptr;
}

TEST_F(CameraSoundActionsTest, AnIDThatNamesNoSoundIsPassedOverAtEveryStep) {
    SoundObject* sound = addSound(40);
    ConditionalTrigger* conditional = addConditional(root(), 70, TriggerCondition::ManualActivationOnly);
    for (const char* what : {"Play", "Stop", "Fade Out", "Pause", "Change Variable"}) {
        for (s32 id : {70, 99}) { // a node of another kind, an ID nobody has
            SCOPED_TRACE(std::string(what) + " " + std::to_string(id));
            PlaySoundAction* action = playSound(conditional, what, id);
            action->execute(event);
            action->update();
            action->revert(event);
            action->cancel();
            EXPECT_EQ(conditional->pauseCount, 0);
        }
    }
    step();
    EXPECT_FALSE(sound->isPlaying());
    EXPECT_EQ(sound->pauseCount, 0);
}

TEST_F(CameraSoundActionsTest, PlaySoundReadsItsKeysByTheRulesOfItsFile) {
    struct Case {
        std::function<void(io::IAttributes*)> keys;
        s32 action;
        f32 fade;
    };
    const Case cases[] = {
        {[](io::IAttributes* k) { k->addString("SoundAction", "Fade Out"); }, PlaySoundAction::FadeOut, 0.0f},
        {[](io::IAttributes* k) { k->addString("PlaySound", "Stop"); }, PlaySoundAction::Stop, 1.0f},
        {[](io::IAttributes* k) {
             k->addString("PlaySound", "Stop");
             k->addString("SoundAction", "Pause");
         },
         PlaySoundAction::Pause, 1.0f},
        {[](io::IAttributes* k) { k->addString("SoundAction", "Shout"); }, -1, 1.0f},
    };
    for (const Case& c : cases) {
        PlaySoundAction action(nullptr);
        io::IAttributes* keys = attributes();
        c.keys(keys);
        action.deserializeAttributes(keys);
        EXPECT_EQ(action.SoundAction, c.action);
        EXPECT_FLOAT_EQ(action.FadeOutDuration, c.fade);
    }
    PlaySoundAction plain(addTrigger(51));
    EXPECT_EQ(keysOf(plain), "UndoOnTriggerRevert=false;ObjectID=0;SoundAction=Play;");
}

// "Change Variable" sets a named parameter of the sound's playing event; its name and value
// keys are read and written only for that sound action, and a clone keeps them.
TEST_F(CameraSoundActionsTest, ChangeVariableSetsTheParameterOfThePlayingEventByItsKeys) {
    SoundObject* sound = addSound(40, "GameAudio/Audio/Collisions/Wicker");
    sound->play();
    ASSERT_NE(sound->event, nullptr);
    TriggerObject* trigger = addTrigger(51);
    io::IAttributes* keys = attributes();
    keys->addEnum("OnTriggerEvent", "Play Sound", triggerActionNames);
    keys->addInt("ObjectID", 40);
    keys->addString("SoundAction", "Change Variable");
    keys->addString("SndVariableName", "Velocity");
    keys->addFloat("SndVariableValue", 60.0f);
    trigger->deserializeAttributes(keys);
    auto* change = static_cast<PlaySoundAction*>(trigger->getAction());
    EXPECT_EQ(change->SndVariableName, "Velocity");
    EXPECT_FLOAT_EQ(change->SndVariableValue, 60.0f);
    change->execute(event);
    audio::EventParameter* velocity = nullptr;
    ASSERT_EQ(sound->event->getParameter("Velocity", &velocity), audio::Result::Ok);
    f32 value = 0.0f;
    velocity->getValue(&value);
    EXPECT_FLOAT_EQ(value, 60.0f);
    EXPECT_EQ(keysOf(*change),
              "UndoOnTriggerRevert=false;ObjectID=40;SoundAction=Change Variable;SndVariableName=Velocity;"
              "SndVariableValue=60.000000;");
    TriggerObject* owner = addTrigger(52);
    std::unique_ptr<TriggerAction> copy(change->clone(owner));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->trigger, owner);
    EXPECT_EQ(keysOf(*copy), keysOf(*change));

    PlaySoundAction play(nullptr);
    keys->setAttribute("SoundAction", "Play");
    play.deserializeAttributes(keys);
    EXPECT_TRUE(play.SndVariableName.empty()) << "read only for Change Variable";
    EXPECT_FLOAT_EQ(play.SndVariableValue, 0.0f);
    sound->stop();
}

TEST_F(CameraSoundActionsTest, SoundsHoldTheirConditionalTriggerWhileTheyPlay) {
    SoundObject* first = addSound(40);
    SoundObject* second = addSound(41);
    ConditionalTrigger* conditional = addConditional(root(), 70, TriggerCondition::ManualActivationOnly);
    PlaySoundAction* a = playSound(conditional, "Play", 40);
    PlaySoundAction other(conditional);
    io::IAttributes* keys = attributes();
    a->serializeAttributes(keys);
    EXPECT_TRUE(keys->existsAttribute("PauseTriggerWhilePlaying"));
    keys->setAttribute("ObjectID", 41);
    other.deserializeAttributes(keys);
    a->update();
    EXPECT_EQ(conditional->pauseCount, 0) << "the hold starts with the first execute";
    a->execute(event);
    other.execute(event);
    step();
    a->update();
    other.update();
    EXPECT_EQ(conditional->pauseCount, 2);
    first->stop();
    a->update();
    other.update();
    EXPECT_EQ(conditional->pauseCount, 1);
    second->stop();
    other.update();
    EXPECT_EQ(conditional->pauseCount, 0);

    PlaySoundAction plain(addTrigger(52));
    plain.PauseTriggerWhilePlaying = true;
    io::IAttributes* plainKeys = attributes();
    plain.serializeAttributes(plainKeys);
    EXPECT_FALSE(plainKeys->existsAttribute("PauseTriggerWhilePlaying"));
}

} // namespace
