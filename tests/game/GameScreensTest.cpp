// The screens the whole game makes once and what reaches them while it runs: the
// notification queue (worded for the device in use, gone with the level), a level's
// subtitles at their times, and the audio options' volumes in the sound categories, kept
// across a restart.
#include "GameFixture.h"

#include "camera/CameraManager.h"
#include "camera/CameraObject.h"
#include "camera/CameraTransition.h"
#include "core/app/GameApplication.h"
#include "core/GameSettings.h"
#include "core/LanguageManager.h"
#include "core/Globals.h"
#include "core/SoundManager.h"
#include "core/Stopwatch.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIOptionMeter.h"
#include "camera/GUICutscene.h"
#include "gui/hud/GUIHud.h"
#include "gui/hud/GUINotification.h"
#include "gui/hud/GUIObjectiveCenter.h"
#include "gui/hud/GUISubtitleManager.h"
#include "level/LevelHooks.h"
#include "level/LevelInfo.h"
#include "level/LevelManager.h"
#include "level/SoundObject.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/devices/GamepadDevice.h"
#include "screens/ScreenManager.h"
#include "screens/levels/LevelCatalogue.h"
#include "screens/menus/GUIAudioOptionsScreen.h"
#include "screens/menus/GUIDialogScreen.h"
#include "screens/menus/GUIGraphicsOptionsScreen.h"
#include "screens/menus/GUIOptionsScreen.h"
#include "screens/menus/GUIPlayScreen.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>

namespace {

class GameScreensTest : public GameFixture {
protected:
    // A game started with a level path: the step that waits for that level, then acts.
    void waitForTheNamedLevel(const char* path, std::function<void()> act) {
        commandLineLevel = path;
        const irr::core::stringw name(std::filesystem::path(path).filename().c_str());
        waitFor("the named level", [name] {
            return !levelManager->levelLoading && levelManager->getCurrentLevelPath().find(name.c_str()) >= 0;
        }, std::move(act));
    }
    // After a restart from the main menu's options: the options again over the main menu and
    // its title level, the request to reopen them served.
    void waitForTheOptionsOverTheMainMenu(std::function<void()> more = {}) {
        waitFor("the options over the main menu", [] {
            auto* options = dynamic_cast<GUIOptionsScreen*>(screenManager->getTopScreen());
            return options && shownOnTop(options);
        }, [more] {
            EXPECT_EQ(levelManager->getCurrentLevelPath(), irr::core::stringw(titleBackgroundLevel));
            EXPECT_FALSE(ReopenOptionsRequested);
            if (more)
                more();
        });
    }
};

std::string bodyText(GUINotification* notification) {
    irr::gui::IGUIElement* body = notification->getElementFromId(GUINotification::textId, true);
    return body ? std::string(irr::core::stringc(body->getText()).c_str()) : std::string();
}

TEST_F(GameScreensTest, TheStandingScreensAreMadeOnceAtStartUp) {
    nextFrame("the first frame", [] {
        ASSERT_NE(screenManager->getSubtitleManager(), nullptr);
        ASSERT_NE(screenManager->getObjectiveCenter(), nullptr);
        ASSERT_NE(screenManager->getNotificationLayer(), nullptr);
        EXPECT_EQ(levelManager->objectives.getDisplay(), screenManager->getObjectiveCenter());
        EXPECT_EQ(screenManager->getHud()->ObjectivePanel, screenManager->getObjectiveCenter());
        EXPECT_EQ(screenManager->getSubtitleManager()->SubtitlesOn, getSettingBool("Audio_Subtitles"));
        // The message layer's texts, empty, in the language's objective font.
        irr::gui::IGUIFont* objectiveFont = languageManager->getFont(LanguageManager::FontObjective);
        ASSERT_NE(objectiveFont, nullptr);
        for (GUIFreeTypeText* text : {screenManager->getMessageText(), screenManager->getMessageShadow()}) {
            ASSERT_NE(text, nullptr);
            EXPECT_EQ(text->getOverrideFont(), objectiveFont);
            EXPECT_STREQ(text->getText(), L"");
        }
        EXPECT_EQ(screenManager->getCutsceneScreen()->getBarGoal(), 0.0f);
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
}

// The graphics page opened over the main menu: each quality change loads the scene behind it
// again (the title level, or the calibration level for the plain renderer), and the
// calibration scene stays the backdrop, seen through its own camera; back in the main menu
// the title level's preview returns.
TEST_F(GameScreensTest, TheOptionsBackdropStaysThroughQualityChanges) {
    const auto settledOn = [](const wchar_t* level) {
        return levelManager->getCurrentLevelPath() == irr::core::stringw(level) &&
               levelManager->getLevelEvents().empty() && !levelManager->levelLoading;
    };
    // The main camera goes to the calibration scene's camera, which is shown.
    const auto calibrationInView = [] {
        const CameraTransition* view = cameraManagers[0] ? cameraManagers[0]->transition : nullptr;
        if (!view || !view->camera || std::string(view->camera->getName()) != "CalibrationLevelCamera")
            return false;
        for (const irr::scene::ISceneNode* node = view->camera; node; node = node->getParent())
            if (!node->isVisible())
                return false;
        return true;
    };
    GUIGraphicsOptionsScreen* graphics = nullptr;
    waitFor("the title", titleShown, [] {
        screenManager->closeAllScreens();
        openOptionsScreen(true)->onGraphics(nullptr);
    });
    waitFor("the graphics page over the calibration scene", [&] {
        graphics = dynamic_cast<GUIGraphicsOptionsScreen*>(screenManager->getTopScreen());
        return graphics && graphics->getFadeState() == GUIScreen::Shown && calibrationInView();
    });
    struct Change {
        irr::s32 quality;
        const wchar_t* levelBehind;
    };
    for (const Change& change : {Change{0, L"Content/Levels/MainScreen_Background.irr"},
                                 Change{2, L"Content/Levels/CalibrationLevel.irr"},
                                 Change{0, L"Content/Levels/CalibrationLevel.irr"}}) {
        nextFrame("quality " + std::to_string(change.quality), [&, change] {
            graphics->onQuality(change.quality);
            ASSERT_FALSE(levelManager->getLevelEvents().empty()) << "the scene behind loads again";
        });
        waitFor("the calibration scene again", [&, change] {
            return settledOn(change.levelBehind) && stableFor(calibrationInView(), 3);
        });
    }
    nextFrame("back", [&] { graphics->onBack(nullptr); });
    waitFor("the options page", [] {
        auto* options = dynamic_cast<GUIOptionsScreen*>(screenManager->getTopScreen());
        return options && options->getFadeState() == GUIScreen::Shown;
    }, [] { dynamic_cast<GUIOptionsScreen*>(screenManager->getTopScreen())->onBack(nullptr); });
    waitFor("the main menu over the title level's preview", [&] {
        return titleShown() && settledOn(L"Content/Levels/MainScreen_Background.irr") &&
               stableFor(!calibrationInView() && CalibrationPreview && !CalibrationPreview->isVisible(), 3);
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
}

TEST_F(GameScreensTest, NotificationsQueueSpeakOfTheDeviceInUseAndGoWithTheLevel) {
    GUINotification* pause = nullptr;
    GUINotification* camera = nullptr;
    nextFrame("two notifications", [&] {
        screenManager->closeAllScreens();
        pause = screenManager->getNotificationByName("Pause");
        camera = screenManager->getNotificationByName("Camera");
        EXPECT_EQ(bodyText(pause), "Press P to pause the game.");
        screenManager->showNotification(pause, 3.0f);
        screenManager->showNotification(camera, 3.0f);
    });
    waitFor("the first notification shows", [&] { return pause->getElapsed() > 0.0f; }, [&] {
        EXPECT_EQ(camera->getElapsed(), 0.0f) << "the second waits for the first";
        // The pad takes over: the wording follows at once.
        inputManager->getDefaultControls()->lastDevice = inputManager->getGamepad();
        inputManager->deviceChanged.invoke();
        EXPECT_EQ(bodyText(pause), "Press Start to pause the game.");
        screenManager->dismissNotification("Pause", true);
    });
    waitFor("the second notification shows", [&] { return camera->getElapsed() > 0.0f; }, [&] {
        EXPECT_EQ(screenManager->getActiveNotifications(), std::vector<GUINotification*>{camera});
        levelManager->unloadLevel();
        EXPECT_TRUE(screenManager->getActiveNotifications().empty());
        EXPECT_TRUE(screenManager->getNotificationLayer()->getChildren().empty());
        screenManager->dismissNotification("Grab", false);
        EXPECT_TRUE(levelManager->loadLevel("Content/Levels/PhysicsDemo.irr"));
        EXPECT_TRUE(screenManager->getPendingDismissals().empty()) << "a level load forgets waiting dismissals";
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
}

TEST_F(GameScreensTest, ALevelsSubtitlesShowAtTheirTimes) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point start;
    std::vector<std::pair<double, irr::s32>> shown; // seconds since the line started, id on screen
    bool started = false;
    nextFrame("a voice line", [&] {
        screenManager->closeAllScreens();
        // As the level's settings and a voice line do it.
        LevelSettings settings;
        settings.SubtitleFile = "Content/Language/English/Subtitles/PhysicsDemo.xml";
        levelHooks().screens.applyLevelSettings(settings);
        levelHooks().gui.playSubtitle(100);
        start = Clock::now();
        started = true;
        // Another voice line's pause leaves the subtitle on screen.
        auto* voice = new SoundObject(nullptr, gameDevice->getSceneManager());
        voice->HasSubtitle = true;
        voice->SubtitleID = 101;
        voice->pause(true);
        voice->drop();
        EXPECT_EQ(screenManager->getSubtitleManager()->getCurrentId(), 100);
    });
    const auto seconds = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    everyFrame = [&] {
        if (!started)
            return;
        GUISubtitleManager* subtitles = screenManager->getSubtitleManager();
        shown.emplace_back(seconds(), subtitles->getTextLine()->isVisible() ? subtitles->getCurrentId() : 0);
    };
    // The lines are timed in seconds.
    waitFor("six seconds of subtitles", [&] { return seconds() > 6.0; });
    // A voice line paused while its subtitle shows takes the subtitle away, unless the pause
    // keeps it.
    nextFrame("a paused voice line", [&] {
        started = false;
        GUISubtitleManager* subtitles = screenManager->getSubtitleManager();
        subtitles->playSubtitle(100);
        auto* voice = new SoundObject(nullptr, gameDevice->getSceneManager());
        voice->HasSubtitle = true;
        voice->SubtitleID = 100;
        voice->pause(false);
        EXPECT_EQ(subtitles->getCurrentId(), 100);
        voice->pause(true);
        EXPECT_EQ(subtitles->getCurrentId(), 0);
        EXPECT_FALSE(subtitles->getTextLine()->isVisible());
        voice->drop();
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
    // Line 100 for 3 s, then line 101 for 2 s, then nothing (frames may run late: 0.5 s slack).
    for (const auto& [seconds, id] : shown) {
        if (seconds < 2.5) {
            EXPECT_EQ(id, 100) << seconds;
        } else if (seconds > 3.5 && seconds < 4.5) {
            EXPECT_EQ(id, 101) << seconds;
        } else if (seconds > 5.8) {
            EXPECT_EQ(id, 0) << seconds;
        }
    }
}

TEST_F(GameScreensTest, AudioVolumesReachTheCategoriesAtOnceAndSurviveARestart) {
    auto categoryVolume = [](const char* name) {
        audio::EventCategory* category = nullptr;
        soundManager->getEventSystem()->getCategory(name, &category);
        float volume = -1.0f;
        if (category)
            category->getVolume(&volume);
        return volume;
    };
    GUIAudioOptionsScreen* audio = nullptr;
    waitFor("the title", titleShown, [&] {
        GUIOptionsScreen* options = openOptionsScreen(true);
        ASSERT_NE(options, nullptr);
        options->onAudio(nullptr);
        audio = dynamic_cast<GUIAudioOptionsScreen*>(screenManager->getScreenStack().front());
        ASSERT_NE(audio, nullptr);
    });
    waitFor("the audio page shown", [&] { return shownOnTop(audio); }, [&] {
        static_cast<GUIOptionMeter*>(audio->getItems().at(0))->setValue(40);
        static_cast<GUIOptionMeter*>(audio->getItems().at(2))->setValue(25);
        EXPECT_FLOAT_EQ(categoryVolume("sounds"), 0.4f);
        EXPECT_FLOAT_EQ(categoryVolume("music"), 0.25f * soundManager->musicFadeValue);
        audio->onBack(nullptr);
    });
    waitFor("the audio page closed", [&] {
        const std::vector<GUIScreen*>& stack = screenManager->getScreenStack();
        return std::find(stack.begin(), stack.end(), audio) == stack.end();
    }, [] { RestartRequested = true; });
    ASSERT_NO_FATAL_FAILURE(playGame(gameStatusRestart));

    clearRoad();
    nextFrame("the first frame after the restart", [&] {
        EXPECT_FLOAT_EQ(soundManager->sfxVolume, 0.4f);
        EXPECT_FLOAT_EQ(categoryVolume("sounds"), 0.4f);
        EXPECT_FLOAT_EQ(soundManager->musicVolume, 0.25f);
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
}

// A graphics restart from the main menu of a game started with a level path comes back to the
// main menu with the options open, not into that level.
TEST_F(GameScreensTest, AGraphicsRestartOfAGameStartedWithALevelReopensTheOptions) {
    waitForTheNamedLevel("Content/Levels/PhysicsDemo.irr", [] {
        ReopenOptionsRequested = true; // as the graphics page asks when left
        RestartRequested = true;
    });
    ASSERT_NO_FATAL_FAILURE(playGame(gameStatusRestart));

    clearRoad();
    waitForTheOptionsOverTheMainMenu();
    ASSERT_NO_FATAL_FAILURE(playGame());
}

// Reset All Settings from the main menu of a game started with a level path: the restart comes
// back to the main menu with the options open and every setting at its default, not into that
// level.
TEST_F(GameScreensTest, AResetOfAGameStartedWithALevelReopensTheOptionsWithTheDefaults) {
    writeSettings([] { setSettingFloat("Audio_MusicVolume", 0.2f); });
    waitForTheNamedLevel("Content/Levels/PhysicsDemo.irr", [] { ASSERT_TRUE(levelManager->queueReturnToMainMenu()); });
    waitFor("the main menu", [] { return shownOnTop(mainMenu()); }, [] { mainMenu()->openOptions(nullptr); });
    waitFor("the options", [] { return shownOnTop(dynamic_cast<GUIOptionsScreen*>(screenManager->getTopScreen())); },
            [] { static_cast<GUIOptionsScreen*>(screenManager->getTopScreen())->onReset(nullptr); });
    waitFor("the reset question", [] { return shownOnTop(dynamic_cast<GUIDialogScreen*>(screenManager->getTopScreen())); },
            [] {
                auto* question = static_cast<GUIDialogScreen*>(screenManager->getTopScreen());
                question->onOptionChosen(question->getItems().at(1)); // Yes
            });
    waitForTheEnd("the restart");
    ASSERT_NO_FATAL_FAILURE(playGame(gameStatusRestart));
    {
        // The reset wrote every setting's default, the driver's too: the restart of this test
        // draws on the null driver all the same.
        GameSettings written(dir.file("PaddlestoneConfig.xml"));
        written.load();
        GameSettings* running = gameSettings;
        gameSettings = &written;
        EXPECT_FLOAT_EQ(getSettingFloat("Audio_MusicVolume"), 1.0f);
        setSettingString("Graphics_Driver", "Null");
        setSettingBool("Graphics_Vsync", false);
        written.save();
        gameSettings = running;
    }

    clearRoad();
    waitForTheOptionsOverTheMainMenu([] { EXPECT_FLOAT_EQ(getSettingFloat("Audio_MusicVolume"), 1.0f); });
    ASSERT_NO_FATAL_FAILURE(playGame());
}

} // namespace
