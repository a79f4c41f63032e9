// The controls, user-level and debug screens in the whole game: a key bound in the
// remapping screen drives its action and is still bound after a restart until the bindings
// are reset; a user level from the Workshop folder is chosen and played; the debug overlay
// shows the physics scene's and the profiler's own figures.
#include "GameFixture.h"
#include "RemapSteps.h"
#include "../screens/WorkshopZip.h"

#include "core/app/GameApplication.h"
#include "core/Globals.h"
#include "core/ProfilerManager.h"
#include "core/Stopwatch.h"
#include "gui/GUIDebugStats.h"
#include "gui/GUIMenuItem.h"
#include "gui/GUIOptionRemap.h"
#include "gui/GUIScreen.h"
#include "level/LevelManager.h"
#include "phys/Scene.h"
#include "phys/Visualization.h"
#include "physics/world/PhysicsManager.h"
#include "player/GameActions.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/devices/KeyboardDevice.h"
#include "screens/ScreenManager.h"
#include "screens/levels/GUILevelSelectScreen.h"
#include "screens/levels/LevelCatalogue.h"
#include "screens/levels/WorkshopLevels.h"
#include "screens/menus/GUIControlOptionsScreen.h"
#include "screens/menus/GUIControlsRemapScreen.h"
#include "screens/menus/GUIOptionsScreen.h"

#include <IFileSystem.h>
#include <IGUIStaticText.h>
#include <IrrlichtDevice.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <regex>

namespace {

using UserScreensGameTest = remaptest::RemapFixture;
constexpr const char* storyLevelPath = "Content/Levels/Story_Garden.irr";

TEST_F(UserScreensGameTest, ARemappedKeyDrivesItsActionAfterARestartUntilTheReset) {
    remaptest::RemapRun run;
    addRemapSteps(run, {});
    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_TRUE(run.drivesAction) << "the new key drives the action";

    // The next start reads the binding back; the reset takes it away again.
    checkSecondStart();
}

TEST_F(UserScreensGameTest, AUserLevelIsListedChosenAndPlayed) {
    using namespace workshoptest;
    const std::filesystem::path folder = dir.path() / "data" / "Paddlestone" / "Workshop";
    std::filesystem::create_directories(folder);
    writeBytes((folder / "Meadow.zip").string(), makeZip({{"Meadow/Meadow_Main.irr", emptyLevel()}}));
    writeBytes((folder / "Broken.zip").string(), "PK\x03\x04 not really");
    GUILevelSelectScreen* select = nullptr;
    waitFor("the title", titleShown, [&] {
        screenManager->closeAllScreens();
        select = new GUILevelSelectScreen(gameDevice->getGUIEnvironment());
        screenManager->pushScreen(select);
        select->drop();
        ASSERT_EQ(select->getRows().size(), 1u);
    });
    // A level put into the folder while the menu shows gets its row within a second or so.
    waitFor("the level select shown", [&] { return shownOnTop(select); }, [&] {
        writeBytes((folder / "Alps.zip").string(), makeZip({{"Alps/Alps_Main.irr", emptyLevel()}}));
    });
    waitFor("the new level's row", [&] { return select->getRows().size() == 2u; }, [&] {
        EXPECT_EQ(select->getFadeState(), GUIScreen::Shown);
        EXPECT_TRUE(gameDevice->getFileSystem()->existFile("Content/Workshop/Meadow/Meadow_Main.irr"));
        // The level manager's title lookup: the user level's own title, else the level list's.
        EXPECT_EQ(levelManager->getLevelTitle("Content/Workshop/Meadow/Meadow_Main.irr"), irr::core::stringw(L"Meadow"));
        EXPECT_EQ(levelManager->getLevelTitle(storyLevelPath), irr::core::stringw(getLevelTitle(storyLevelPath).c_str()));
        EXPECT_FALSE(levelManager->getLevelTitle(storyLevelPath).empty());
        EXPECT_TRUE(levelManager->getLevelTitle("Content/Levels/NoSuchLevel.irr").empty());
        for (GUIButton* row : select->getRows())
            if (row->getUserText() == irr::core::stringw(L"Content/Workshop/Meadow/Meadow_Main.irr"))
                select->onLevelClicked(row);
    }, 5.0);
    waitFor("the user level plays", [] {
        return levelManager->getCurrentLevelPath() == irr::core::stringw(L"Content/Workshop/Meadow/Meadow_Main.irr");
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
}

// Shown, the overlay's first frame gives its time lines no figure (the profiler was off for
// part of the frame before); the next gives the whole frame as the Total and each part of
// the profiler within it: the parts the main thread runs one after another add up to no more
// than the Total, and neither do their averages.
TEST_F(UserScreensGameTest, TheDebugOverlayShowsThePhysicsAndProfilerFigures) {
    std::vector<std::wstring> firstShown, timed;
    std::wstring dynamicBodies, staticBodies;
    const auto lines = [] {
        std::vector<std::wstring> text;
        for (irr::gui::IGUIStaticText* line : screenManager->getDebugStats()->getLines())
            text.emplace_back(line->getText());
        return text;
    };
    waitFor("the title", titleShown, [&] {
        GUIDebugStats* stats = screenManager->getDebugStats();
        ASSERT_NE(stats, nullptr);
        EXPECT_FALSE(stats->isVisible());
        stats->setVisible(true);
    });
    const auto physicsShown = [] {
        const auto& shown = screenManager->getDebugStats()->getLines();
        return shown.size() > 6 && std::wstring(shown[6]->getText()).rfind(L"   Active Dynamic Bodies: ", 0) == 0;
    };
    waitFor("the overlay's first frame", physicsShown, [&] {
        firstShown = lines();
        // The lines and the scene are read at the same moment: the frame's update wrote both.
        phys::SimulationStatistics physics;
        physicsManager->getScene()->getSimulationStatistics(physics);
        dynamicBodies = L"   Active Dynamic Bodies: " + std::to_wstring(physics.nbActiveDynamicBodies);
        staticBodies = L"   Static Bodies: " + std::to_wstring(physics.nbStaticBodies);
        EXPECT_TRUE(profilerManager->isEnabled());
    });
    waitFor("a frame timed whole", [] { return screenManager->getDebugStats()->getTimedFrames() > 0; },
            [&] { timed = lines(); });
    ASSERT_NO_FATAL_FAILURE(playGame());
    ASSERT_EQ(firstShown.size(), 18u);
    EXPECT_EQ(firstShown[6], dynamicBodies);
    EXPECT_EQ(firstShown[8], staticBodies);
    const wchar_t* const names[] = {L" Total", L" Objects", L" Rendering", L" Physics", L" Sound"};
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(firstShown[13 + i], names[i]) << "no figure in the first frame shown";
    ASSERT_EQ(timed.size(), 18u);
    const std::wregex figures(L" [A-Za-z]+: ([0-9]+\\.[0-9]{2}) ms Avg: ([0-9]+\\.[0-9]{2}) ms");
    double frame[5] = {}, average[5] = {};
    for (std::size_t i = 0; i < 5; ++i) {
        std::wsmatch match;
        ASSERT_TRUE(std::regex_match(timed[13 + i], match, figures)) << "line " << 13 + i;
        EXPECT_EQ(timed[13 + i].rfind(names[i], 0), 0u);
        frame[i] = std::stod(match[1].str());
        average[i] = std::stod(match[2].str());
    }
    // Objects, Rendering and Sound run one after another on the main thread within the frame
    // (the physics step may overlap the render); each part lies within the frame.
    EXPECT_GT(frame[0], 0.0);
    EXPECT_LE(frame[1] + frame[2] + frame[4], frame[0] + 0.02);
    EXPECT_LE(average[1] + average[2] + average[4], average[0] + 0.02);
    for (std::size_t i = 1; i < 5; ++i)
        EXPECT_LE(frame[i], frame[0] + 0.01) << "line " << 13 + i;
}

} // namespace
