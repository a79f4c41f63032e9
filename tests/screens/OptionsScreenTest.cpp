// The options menu and its audio and graphics pages: the rows each offers from the main
// menu and from the pause menu, the settings each change writes, and what closing asks for
// (a saved file, an in-process restart, a notice).
#include "../gui/GuiFixture.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/SoundManager.h"
#include "platform/audio/EventSystem.h"
#include "gui/GUIOptionCycle.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIMenuItem.h"
#include "gui/GUIScrollList.h"
#include "gui/GUIOptionMeter.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/hud/GUISubtitleManager.h"
#include "render/EffectHandler.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUIAudioOptionsScreen.h"
#include "screens/menus/GUIDialogScreen.h"
#include "screens/menus/GUIGraphicsOptionsScreen.h"
#include "screens/menus/GUIOptionsScreen.h"
#include "support/TempDir.h"

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace irr;

namespace {

class OptionsScreenTest : public guitest::GuiFixture {
protected:
    void SetUp() override {
        guitest::GuiFixture::SetUp();
        settings = std::make_unique<GameSettings>((dir.path() / "PaddlestoneConfig.xml").string());
        settings->load(true);
        gameSettings = settings.get();
        screenManager->createScreens();
    }
    void TearDown() override {
        gameSettings = nullptr;
        settings.reset();
        // A restart's request to reopen the options outlives the program flags' reset.
        ReopenOptionsRequested = false;
        guitest::GuiFixture::TearDown();
    }
    void runFrames(int frames) {
        for (int i = 0; i < frames; ++i) {
            setFrameDelta(0.05f);
            postRenderAll();
            screenManager->update();
        }
    }
    template <class Row>
    Row* row(GUIOptionsList* screen, std::size_t index) {
        return static_cast<Row*>(screen->getItems().at(index));
    }
    // The options and their graphics page, a new resolution chosen, then back out of the page.
    void changeResolutionAndLeave(bool fromMainMenu) {
        openOptionsScreen(fromMainMenu);
        auto* graphics = new GUIGraphicsOptionsScreen(environment, fromMainMenu);
        screenManager->pushScreen(graphics);
        graphics->drop();
        runFrames(10);
        graphics->getResolutionRow()->selectNext();
        graphics->onBack(nullptr);
        runFrames(10);
    }
    bool fileWritten() const { return std::filesystem::exists(dir.path() / "PaddlestoneConfig.xml"); }

    test::TempDir dir;
    std::unique_ptr<GameSettings> settings;
};

TEST_F(OptionsScreenTest, ThePagesOfferTheirRowsByWhereTheyWereOpened) {
    struct Case {
        bool fromMainMenu;
        std::size_t options, audio, graphics;
    };
    for (const Case& c : {Case{true, 4, 7, 10}, Case{false, 3, 6, 9}}) {
        SCOPED_TRACE(c.fromMainMenu);
        GUIOptionsScreen* options = openOptionsScreen(c.fromMainMenu);
        ASSERT_NE(options, nullptr);
        EXPECT_EQ(options->getItems().size(), c.options);
        EXPECT_EQ(options->getPassUpdate(), c.fromMainMenu);
        // The options stand on a main menu panel (the title moves aside for it); their pages
        // on the narrower page panel.
        EXPECT_EQ(options->getPanelType(), 0);
        GUIAudioOptionsScreen audio(environment, c.fromMainMenu);
        EXPECT_EQ(audio.getItems().size(), c.audio);
        EXPECT_EQ(audio.getPanelType(), 1);
        GUIGraphicsOptionsScreen graphics(environment, c.fromMainMenu);
        EXPECT_EQ(graphics.getItems().size(), c.graphics);
        EXPECT_EQ(graphics.getPanelType(), 1);
        // Rows lie one row height apart.
        EXPECT_EQ(audio.getItems()[1]->getRelativePosition().UpperLeftCorner.Y -
                      audio.getItems()[0]->getRelativePosition().UpperLeftCorner.Y,
                  guiUnits(24));
        screenManager->closeAllScreens();
        screenManager->flushScreenRemovals();
        audio.remove();
        graphics.remove();
    }
}

// Every settings page reads in its own words: its title, each row's label in order, and the
// values of each choice.
TEST_F(OptionsScreenTest, EverySettingsPageReadsInItsOwnWords) {
    const auto words = [](std::initializer_list<s32> ids) {
        std::vector<std::wstring> out;
        for (s32 id : ids)
            out.push_back(getLanguageText(id).c_str());
        return out;
    };
    // The texts of the page's title and rows, depth first.
    const auto texts = [](GUIOptionsList* page) {
        std::vector<std::wstring> out;
        const std::function<void(gui::IGUIElement*)> collect = [&](gui::IGUIElement* element) {
            if (auto* text = dynamic_cast<GUIFreeTypeText*>(element); text && !text->getOwnText().empty())
                out.push_back(text->getOwnText().c_str());
            for (gui::IGUIElement* child : element->getChildren())
                collect(child);
        };
        if (page->getTitleText())
            out.push_back(page->getTitleText()->getOwnText().c_str());
        for (GUIButton* item : page->getItems())
            collect(item);
        return out;
    };
    // The expected words come in this order among the page's texts.
    const auto inOrder = [](const std::vector<std::wstring>& all, const std::vector<std::wstring>& expected) {
        std::size_t at = 0;
        for (const std::wstring& text : all)
            if (at < expected.size() && text == expected[at])
                ++at;
        return at == expected.size();
    };
    const auto values = [](GUIOptionsList* page, std::size_t index) {
        auto* cycle = static_cast<GUIOptionCycle*>(page->getItems().at(index));
        std::vector<std::wstring> out;
        for (std::size_t i = 0; i < cycle->getValueCount(); ++i) {
            cycle->setIndex(static_cast<s32>(i));
            out.push_back(cycle->getValueText()->getOwnText().c_str());
        }
        return out;
    };
    {
        GUIGraphicsOptionsScreen graphics(environment, true);
        EXPECT_TRUE(inOrder(texts(&graphics), words({11, 50, 51, 52, 53, 54, 58, 55, 56, 59, 57}))) << "graphics";
        EXPECT_EQ(values(&graphics, 1), words({101, 100, 127}));
        EXPECT_EQ(values(&graphics, 2), words({101, 100}));
        EXPECT_EQ(values(&graphics, 4), words({108, 111}));
        EXPECT_EQ(values(&graphics, 5).front(), getLanguageText(101).c_str());
        EXPECT_EQ(values(&graphics, 7), words({110, 109, 108}));
        EXPECT_EQ(values(&graphics, 8), words({110, 108}));
        graphics.remove();
    }
    {
        GUIAudioOptionsScreen audio(environment, true);
        EXPECT_TRUE(inOrder(texts(&audio), words({15, 20, 21, 22, 26, 23, 24, 25}))) << "audio";
        // Each row explains itself in the text 10000 after its label.
        const std::vector<std::wstring> tips = words({10020, 10021, 10022, 10026, 10023, 10024, 10025});
        ASSERT_EQ(audio.getItems().size(), tips.size());
        for (std::size_t i = 0; i < tips.size(); ++i)
            EXPECT_EQ(std::wstring(audio.getItems()[i]->getToolTipText().c_str()), tips[i]) << i;
        EXPECT_EQ(values(&audio, 3), words({264, 260, 261, 262, 263}));
        audio.remove();
    }
    GUIOptionsScreen* options = openOptionsScreen(true);
    ASSERT_NE(options, nullptr);
    EXPECT_TRUE(inOrder(texts(options), words({4, 11, 12, 15, 17}))) << "options";
}

// A settings page left by back fades out and leaves the GUI; the options stay.
TEST_F(OptionsScreenTest, ALeftPageLeavesTheGui) {
    GUIOptionsScreen* options = openOptionsScreen(true);
    ASSERT_NE(options, nullptr);
    auto* page = new GUIAudioOptionsScreen(environment, true);
    screenManager->pushScreen(page);
    runFrames(10);
    ASSERT_EQ(page->getFadeState(), GUIScreen::Shown);
    for (GUIButton* row : page->getItems())
        EXPECT_TRUE(row->isEnabled()) << "faded in, the rows take clicks";
    page->grab(); // kept to look at after it has gone
    page->onBack(nullptr);
    runFrames(10);
    EXPECT_EQ(page->getParent(), nullptr);
    EXPECT_EQ(screenManager->getTopScreen(), options);
    page->drop();
    page->drop();
}

// The options slide in with their panel from its side and stand still once shown.
TEST_F(OptionsScreenTest, TheOptionsSlideInWithTheirPanel) {
    GUIOptionsScreen* options = openOptionsScreen(true);
    ASSERT_NE(options, nullptr);
    runFrames(1);
    ASSERT_EQ(options->getFadeState(), GUIScreen::FadingIn);
    const s32 during = options->getRelativePosition().UpperLeftCorner.X;
    EXPECT_NE(during, 0);
    EXPECT_EQ(during > 0, options->isPanelOnRight()) << "it comes in from its panel's side";
    runFrames(20);
    ASSERT_EQ(options->getFadeState(), GUIScreen::Shown);
    EXPECT_EQ(options->getRelativePosition().UpperLeftCorner.X, 0);
}

// The options fade in and out over a fifth of a second: with frames of 0.05 s the fade has
// run its length after four and the fifth ends it.
TEST_F(OptionsScreenTest, TheOptionsFadeInAndOutOverAFifthOfASecond) {
    GUIOptionsScreen* options = openOptionsScreen(false);
    ASSERT_NE(options, nullptr);
    options->grab(); // kept to look at after it has gone
    const auto framesUntil = [&](GUIScreen::FadeStates state) {
        int frames = 0;
        for (; frames < 40 && options->getFadeState() != state; ++frames)
            runFrames(1);
        return frames;
    };
    EXPECT_EQ(framesUntil(GUIScreen::Shown), 5);
    options->onBack(nullptr);
    ASSERT_EQ(options->getFadeState(), GUIScreen::FadingOut);
    EXPECT_EQ(framesUntil(GUIScreen::FadedOut), 5);
    options->drop();
}

// Each meter shows its own volume and gives the sound manager's own category the new one.
TEST_F(OptionsScreenTest, VolumesShowTruncatedPercentsAndStoreHundredths) {
    const struct {
        std::size_t row;
        const char* key;
        f32 SoundManager::*volume;
        const char* category;
    } meters[] = {{0, "Audio_SFXVolume", &SoundManager::sfxVolume, "sounds"},
                  {1, "Audio_VoiceoverVolume", &SoundManager::voiceoverVolume, "voiceovers"},
                  {2, "Audio_MusicVolume", &SoundManager::musicVolume, "music"}};
    // The event system's category hears the new volume at once, not a frame later.
    const auto categoryVolume = [](const char* name) {
        audio::EventCategory* category = nullptr;
        f32 volume = -1.0f;
        if (soundManager->getEventSystem()->getCategory(name, &category) == audio::Result::Ok && category)
            category->getVolume(&volume);
        return volume;
    };
    ASSERT_FALSE(soundManager->disabled);
    soundManager->musicFadeValue = 1.0f;
    for (const auto& meter : meters) {
        SCOPED_TRACE(meter.key);
        for (const auto& other : meters) {
            setSettingFloat(other.key, 0.3f);
            soundManager->*other.volume = 0.3f;
        }
        setSettingFloat(meter.key, 0.555f);
        GUIAudioOptionsScreen audio(environment, true);
        auto* row = this->row<GUIOptionMeter>(&audio, meter.row);
        EXPECT_EQ(row->getValue(), 55);
        row->setValue(56);
        EXPECT_FLOAT_EQ(getSettingFloat(meter.key), 0.56f);
        for (const auto& other : meters)
            EXPECT_FLOAT_EQ(soundManager->*other.volume, &other == &meter ? 0.56f : 0.3f) << other.key;
        EXPECT_FLOAT_EQ(categoryVolume(meter.category), 0.56f);
        audio.remove();
    }
}

TEST_F(OptionsScreenTest, TheSubtitleSwitchesReachTheSubtitleLayerAtOnce) {
    GUIAudioOptionsScreen audio(environment, false);
    GUISubtitleManager* subtitles = screenManager->getSubtitleManager();
    row<GUIOptionCycle>(&audio, 3)->selectNext();
    EXPECT_TRUE(getSettingBool("Audio_Subtitles") == subtitles->SubtitlesOn);
    EXPECT_EQ(screenManager->Subtitles, subtitles->SubtitlesOn);
    const bool box = getSettingBool("Audio_BlackBoxSubtitles");
    row<GUIOptionCycle>(&audio, 4)->selectNext();
    EXPECT_NE(getSettingBool("Audio_BlackBoxSubtitles"), box);
    EXPECT_EQ(subtitles->isBlackBox(), !box);
    audio.remove();
}

// Each switch stores what it shows: a page opened afresh shows the choice again, both ways.
TEST_F(OptionsScreenTest, TheAudioSwitchesStoreWhatTheyShow) {
    const std::pair<std::size_t, const char*> rows[] = {
        {3, "Audio_Subtitles"}, {4, "Audio_BlackBoxSubtitles"}, {5, "Audio_MuteOnFocusLost"}};
    for (const auto& [index, key] : rows) {
        for (int flip = 0; flip < 2; ++flip) {
            s32 chosen = 0;
            {
                GUIAudioOptionsScreen audio(environment, false);
                GUIOptionCycle* row = this->row<GUIOptionCycle>(&audio, index);
                row->selectNext();
                chosen = row->getSelectedId();
                audio.remove();
            }
            EXPECT_EQ(getSettingBool(key), chosen == 1) << key;
            if (index == 5) {
                EXPECT_EQ(soundManager->muteOnFocusLost, chosen == 1) << "and the sound follows at once";
            }
            GUIAudioOptionsScreen reopened(environment, false);
            EXPECT_EQ(this->row<GUIOptionCycle>(&reopened, index)->getSelectedId(), chosen) << key;
            reopened.remove();
        }
    }
}

TEST_F(OptionsScreenTest, TheResolutionListHasTheFixedSizesOnceEach) {
    GUIGraphicsOptionsScreen graphics(environment, true);
    const auto sizes = graphics.getResolutions();
    ASSERT_GE(sizes.size(), 11u);
    EXPECT_EQ(sizes.front(), core::dimension2du(800, 600));
    for (std::size_t i = 0; i < sizes.size(); ++i)
        for (std::size_t j = i + 1; j < sizes.size(); ++j)
            EXPECT_NE(sizes[i], sizes[j]);
    graphics.remove();
    // A borderless window takes the same sizes; full screen only the display's own modes.
    for (s32 mode : {2, 1}) {
        setSettingInt("Graphics_FullscreenMode", mode);
        GUIGraphicsOptionsScreen page(environment, true);
        EXPECT_EQ(page.getResolutions() == sizes, mode == 2) << "full-screen mode " << mode;
        page.remove();
    }
}

// Every choice of the graphics page is stored as what it shows and takes effect at once; a
// page opened afresh shows it again.
TEST_F(OptionsScreenTest, TheGraphicsChoicesStoreWhatTheyShowAndApplyThem) {
    EffectHandler handler(gameDevice, core::dimension2du(0, 0));
    effectHandler = &handler;
    scene::ISceneNode* cube = gameDevice->getSceneManager()->addCubeSceneNode();
    handler.shadowLights.emplace_back(512u, core::vector3df(0, 10, 0), core::vector3df(0, 0, 0), video::SColorf(1, 1, 1),
                                      0.1f, 100.0f, 60.0f);
    const struct {
        std::size_t index;
        const char* key;
        bool onOff;
    } rows[] = {{1, "Graphics_FullscreenMode", false}, {2, "Graphics_Overscan", true},
                {3, "Graphics_Vsync", true},           {4, "Graphics_Quality", false},
                {5, "Graphics_Antialiasing", false},   {6, "Graphics_Shadows", true},
                {7, "Graphics_ShadowQuality", false},  {8, "Graphics_ShadowDistance", false},
                {9, "Graphics_Reflection", true}};
    for (const auto& r : rows) {
        std::size_t count = 0;
        {
            GUIGraphicsOptionsScreen graphics(environment, true);
            count = row<GUIOptionCycle>(&graphics, r.index)->getValueCount();
            graphics.remove();
        }
        ASSERT_GE(count, 2u) << r.key;
        for (std::size_t step = 0; step < count; ++step) {
            s32 chosen = 0;
            {
                GUIGraphicsOptionsScreen graphics(environment, true);
                GUIOptionCycle* cycle = row<GUIOptionCycle>(&graphics, r.index);
                cycle->selectNext();
                chosen = cycle->getSelectedId();
                graphics.remove();
            }
            if (r.onOff)
                EXPECT_EQ(getSettingBool(r.key), chosen == 1) << r.key;
            else
                EXPECT_EQ(getSettingInt(r.key), chosen) << r.key;
            switch (r.index) {
            case 4: // the plain picture has neither shader skinning nor instancing
                EXPECT_EQ(handler.hardwareSkinning, chosen != 2);
                EXPECT_EQ(handler.instancing, chosen != 2);
                break;
            case 5:
                EXPECT_EQ(cube->getMaterial(0).AntiAliasing,
                          chosen != 0 ? static_cast<u8>(video::EAAM_FULL_BASIC) : static_cast<u8>(video::EAAM_OFF))
                    << chosen;
                break;
            case 6: EXPECT_EQ(handler.shadowsEnabled, chosen == 1); break;
            case 7: EXPECT_EQ(handler.shadowLights[0].resolution, static_cast<u32>(chosen)) << "the lights' maps follow"; break;
            case 8: EXPECT_EQ(handler.shadowDistanceMode, chosen); break;
            case 9: EXPECT_EQ(handler.renderCallbacksEnabled, chosen == 1); break;
            default: break;
            }
            GUIGraphicsOptionsScreen reopened(environment, true);
            EXPECT_EQ(row<GUIOptionCycle>(&reopened, r.index)->getSelectedId(), chosen) << r.key;
            reopened.remove();
        }
    }
    cube->remove();
    effectHandler = nullptr;
}

// The full-screen mode, vsync and anti-aliasing need a new device; choosing them back does
// not. A size chosen before the full-screen mode goes there and back still does.
TEST_F(OptionsScreenTest, DeviceChoicesAskForARestartUntilTheyAreUndone) {
    setSettingInt("Graphics_ScreenWidth", 1280);
    setSettingInt("Graphics_ScreenHeight", 720);
    deviceVsync = getSettingBool("Graphics_Vsync");
    deviceFullscreenMode = getSettingInt("Graphics_FullscreenMode");
    for (std::size_t index : {1u, 3u, 5u}) {
        GUIGraphicsOptionsScreen graphics(environment, true);
        ASSERT_FALSE(graphics.needsRestart());
        row<GUIOptionCycle>(&graphics, index)->selectNext();
        EXPECT_TRUE(graphics.needsRestart()) << "row " << index;
        row<GUIOptionCycle>(&graphics, index)->selectPrevious();
        EXPECT_FALSE(graphics.needsRestart()) << "row " << index;
        graphics.remove();
    }
    GUIGraphicsOptionsScreen graphics(environment, true);
    graphics.getResolutionRow()->selectPrevious();
    row<GUIOptionCycle>(&graphics, 1)->selectNext();
    row<GUIOptionCycle>(&graphics, 1)->selectPrevious();
    EXPECT_TRUE(graphics.needsRestart()) << "the size chosen first";
    graphics.remove();
}

// The rows beneath a stacked page do not show through its panel, from the moment it starts
// to slide in until it has gone; the menu stays open and shows them again then.
TEST_F(OptionsScreenTest, AStackedPageCoversTheRowsBeneathFromItsArrivalUntilItHasGone) {
    GUIOptionsScreen* options = openOptionsScreen(true);
    ASSERT_NE(options, nullptr);
    runFrames(10);
    EXPECT_FALSE(options->isCoveredByPanel());
    auto* graphics = new GUIGraphicsOptionsScreen(environment, true);
    graphics->grab();
    screenManager->pushScreen(graphics);
    graphics->drop();
    runFrames(1);
    ASSERT_EQ(graphics->getFadeState(), GUIScreen::FadingIn);
    EXPECT_TRUE(options->isCoveredByPanel()) << "while the page slides in";
    runFrames(10);
    ASSERT_EQ(graphics->getFadeState(), GUIScreen::Shown);
    EXPECT_TRUE(options->isCoveredByPanel());
    EXPECT_FALSE(graphics->isCoveredByPanel());
    for (const gui::IGUIElement* part : {static_cast<const gui::IGUIElement*>(options->getTitleText()),
                                         static_cast<const gui::IGUIElement*>(options->getScrollList()),
                                         static_cast<const gui::IGUIElement*>(options->getBackButton())})
        EXPECT_FALSE(options->drawsChild(part));
    EXPECT_TRUE(options->drawsChild(options->getPanel()));
    EXPECT_TRUE(graphics->drawsChild(graphics->getTitleText()));
    graphics->onBack(nullptr);
    runFrames(1);
    ASSERT_EQ(graphics->getFadeState(), GUIScreen::FadingOut);
    EXPECT_TRUE(options->isCoveredByPanel()) << "while the page slides away";
    runFrames(10);
    ASSERT_EQ(screenManager->getTopScreen(), options);
    EXPECT_FALSE(options->isCoveredByPanel()) << "once the page has gone";
    EXPECT_TRUE(options->drawsChild(options->getTitleText()));
    graphics->drop();
}

TEST_F(OptionsScreenTest, NoOfferedSizeIsLargerThanTheDisplay) {
    using Sizes = std::vector<core::dimension2du>;
    const Sizes sizes{{800, 600}, {1280, 720}, {1280, 800}, {1920, 1080}};
    struct Case {
        core::dimension2du display;
        Sizes offered;
    };
    for (const Case& c : {Case{{1280, 720}, {{800, 600}, {1280, 720}}},
                          Case{{1279, 720}, {{800, 600}}},
                          Case{{1280, 799}, {{800, 600}, {1280, 720}}},
                          Case{{0, 0}, sizes},
                          Case{{0, 720}, sizes},
                          Case{{1280, 0}, sizes}}) {
        SCOPED_TRACE(testing::Message() << c.display.Width << "x" << c.display.Height);
        EXPECT_EQ(GUIGraphicsOptionsScreen::sizesThatFit(sizes, c.display), c.offered);
    }
}

// Each value reads as what it gives: quality 2 is the plain fixed-function picture, and the
// speaker set-up -1 is the driver's own.
TEST_F(OptionsScreenTest, ValuesAreNamedForWhatTheyGive) {
    useLanguages();
    GUIGraphicsOptionsScreen graphics(environment, true);
    auto* quality = row<GUIOptionCycle>(&graphics, 4);
    std::vector<std::pair<std::wstring, s32>> qualities;
    for (std::size_t i = 0; i < quality->getValueCount(); ++i) {
        quality->setIndex(static_cast<s32>(i));
        qualities.emplace_back(quality->getValueText()->getOwnText().c_str(), quality->getSelectedId());
    }
    EXPECT_EQ(qualities, (std::vector<std::pair<std::wstring, s32>>{{L"High", 0}, {L"Basic", 2}}));
    graphics.remove();

    for (s32 output : {-1, 2}) {
        setSettingInt("Audio_AudioOutput", output);
        GUIAudioOptionsScreen audio(environment, true);
        auto* speakers = row<GUIOptionCycle>(&audio, 3);
        EXPECT_EQ(speakers->getSelectedId(), output);
        EXPECT_STREQ(speakers->getValueText()->getOwnText().c_str(), output == -1 ? L"Automatic" : L"Stereo");
        audio.remove();
    }
}

// A new speaker set-up starts a switched-off sound system again.
TEST_F(OptionsScreenTest, ANewSpeakerSetUpStartsASwitchedOffSoundSystemAgain) {
    ASSERT_NE(soundManager, nullptr);
    soundManager->releaseEventSystem();
    ASSERT_TRUE(soundManager->disabled);
    GUIAudioOptionsScreen audio(environment, true);
    row<GUIOptionCycle>(&audio, 3)->selectNext();
    EXPECT_FALSE(soundManager->disabled);
    EXPECT_NE(soundManager->getEventSystem(), nullptr);
    audio.remove();
}

// A running sound system starts again with the chosen speakers.
TEST_F(OptionsScreenTest, ARunningSoundSystemTakesTheNewSpeakerSetUp) {
    ASSERT_NE(soundManager, nullptr);
    ASSERT_FALSE(soundManager->disabled);
    setSettingInt("Audio_AudioOutput", -1);
    GUIAudioOptionsScreen audio(environment, true);
    auto* speakers = row<GUIOptionCycle>(&audio, 3);
    speakers->selectNext();
    const s32 chosen = speakers->getSelectedId();
    ASSERT_EQ(chosen, 1);
    EXPECT_EQ(getSettingInt("Audio_AudioOutput"), chosen);
    EXPECT_FALSE(soundManager->disabled);
    ASSERT_NE(soundManager->getEventSystem(), nullptr);
    audio::SpeakerMode mode = audio::outputSpeakerMode;
    ASSERT_EQ(soundManager->getEventSystem()->getSpeakerMode(&mode), audio::Result::Ok);
    EXPECT_EQ(mode, static_cast<audio::SpeakerMode>(chosen));
    audio.remove();
}

TEST_F(OptionsScreenTest, OnlyChangesNeedingANewDeviceAskForARestart) {
    setSettingInt("Graphics_ScreenWidth", 1280);
    setSettingInt("Graphics_ScreenHeight", 720);
    deviceVsync = getSettingBool("Graphics_Vsync");
    deviceFullscreenMode = getSettingInt("Graphics_FullscreenMode");
    GUIGraphicsOptionsScreen graphics(environment, true);
    EXPECT_FALSE(graphics.needsRestart());
    // Shadows, reflections and the overscan apply at once.
    for (std::size_t index : {2u, 6u, 9u})
        row<GUIOptionCycle>(&graphics, index)->selectNext();
    EXPECT_FALSE(graphics.needsRestart());
    EXPECT_TRUE(screenManager->Overscan);
    EXPECT_TRUE(getSettingBool("Graphics_Overscan")) << "and is stored";
    graphics.getResolutionRow()->selectPrevious();
    EXPECT_TRUE(graphics.needsRestart());
    EXPECT_EQ(getSettingInt("Graphics_ScreenWidth"), 1024);
    EXPECT_EQ(getSettingInt("Graphics_ScreenHeight"), 768);
    graphics.remove();
}

TEST_F(OptionsScreenTest, LeavingAfterAResolutionChangeRestartsFromTheMainMenu) {
    changeResolutionAndLeave(true);
    EXPECT_TRUE(RestartRequested);
    EXPECT_TRUE(ReopenOptionsRequested);
    EXPECT_TRUE(fileWritten());
}

TEST_F(OptionsScreenTest, FromThePauseMenuARestartWaitsBehindANotice) {
    useLanguages();
    changeResolutionAndLeave(false);
    EXPECT_FALSE(RestartRequested);
    ASSERT_FALSE(screenManager->getScreenStack().empty());
    auto* notice = dynamic_cast<GUIDialogScreen*>(screenManager->getScreenStack().front());
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->getTitleText()->getOwnText(), getLanguageText(407)) << "the restart notice";
    // Nothing restarts from here: the notice says the change waits for the next start.
    const std::wstring said = getLanguageText(407).c_str();
    EXPECT_NE(said.find(L"next time the game starts"), std::wstring::npos) << "the change takes effect later";
    EXPECT_EQ(said.find(L"restarts"), std::wstring::npos);
    EXPECT_FALSE(notice->getKeepTimerRunning()) << "the paused game stays held";
    EXPECT_TRUE(notice->isPanelOnRight());
    ASSERT_EQ(notice->getItems().size(), 1u);
    EXPECT_EQ(std::wstring(static_cast<GUIMenuItem*>(notice->getItems()[0])->getCaptionText()->getText()),
              getLanguageText(126).c_str());
    notice->onBack(nullptr);
    runFrames(10);
    EXPECT_EQ(screenManager->getScreenStack().size(), 1u) << "the notice and the page went; the options stay";
}

TEST_F(OptionsScreenTest, AConfirmedResetRestartsWithTheDefaults) {
    setSettingFloat("Audio_MusicVolume", 0.2f);
    GUIOptionsScreen* options = openOptionsScreen(true);
    runFrames(10);
    // The reset row asks first, in its own words: No, then Yes.
    options->getItems().back()->click();
    auto* question = dynamic_cast<GUIDialogScreen*>(screenManager->getScreenStack().front());
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question->getTitleText()->getOwnText(), getLanguageText(404));
    EXPECT_EQ(question->getKeepTimerRunning(), options->getKeepTimerRunning()) << "the question holds the game as its page does";
    EXPECT_TRUE(question->isPanelOnRight());
    std::vector<std::wstring> answers;
    for (GUIButton* item : question->getItems())
        answers.push_back(static_cast<GUIMenuItem*>(item)->getCaptionText()->getText());
    EXPECT_EQ(answers, (std::vector<std::wstring>{getLanguageText(103).c_str(), getLanguageText(102).c_str()}));
    screenManager->popScreen(question, true);
    runFrames(10);
    // No, and backing out (-1), change nothing.
    for (s32 kept : {0, -1}) {
        s32 answer = kept;
        options->onResetAnswer(answer);
        EXPECT_FLOAT_EQ(getSettingFloat("Audio_MusicVolume"), 0.2f) << kept;
        options->refreshFocus();
        EXPECT_FALSE(RestartRequested) << kept;
    }
    s32 yes = 1;
    options->onResetAnswer(yes);
    EXPECT_FLOAT_EQ(getSettingFloat("Audio_MusicVolume"), 1.0f);
    options->refreshFocus();
    EXPECT_TRUE(RestartRequested);
}

// The HUD is told while the page stands over the pause menu (the meter keeps to the pause
// menu itself).
TEST_F(OptionsScreenTest, ClosingOverThePauseMenuSavesAndGoes) {
    const auto pageAbove = [] { return guiHooks().screens.pausePanel()->pageAbove; };
    screenManager->setPauseScreenVisible(true);
    runFrames(10);
    EXPECT_FALSE(pageAbove());
    GUIOptionsScreen* options = openOptionsScreen(false);
    runFrames(10);
    EXPECT_TRUE(pageAbove());
    options->onBack(nullptr);
    runFrames(10);
    EXPECT_TRUE(fileWritten());
    EXPECT_TRUE(screenManager->getScreenStack().empty());
    EXPECT_FALSE(pageAbove());
}

} // namespace
