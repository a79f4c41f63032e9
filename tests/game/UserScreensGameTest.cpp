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

TEST_F(UserScreensGameTest, TheDebugOverlayShowsThePhysicsAndProfilerFigures) {
    std::vector<std::wstring> lines;
    std::vector<std::wstring> expected;
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
    waitFor("the overlay's figures", physicsShown, [&] {
        // The frame has filled the overlay (its figures are there); filled once more now, its
        // lines and the stopwatches are read at the same moment (the road's step comes after
        // the frame's sound and physics have moved the stopwatches on).
        screenManager->getDebugStats()->update();
        for (irr::gui::IGUIStaticText* line : screenManager->getDebugStats()->getLines())
            lines.emplace_back(line->getText());
        phys::SimulationStatistics physics;
        physicsManager->getScene()->getSimulationStatistics(physics);
        expected.push_back(L"   Active Dynamic Bodies: " + std::to_wstring(physics.nbActiveDynamicBodies));
        expected.push_back(L"   Static Bodies: " + std::to_wstring(physics.nbStaticBodies));
        for (int i = 0; i < ProfilerManager::stopwatchCount; ++i) {
            const Stopwatch& watch = *profilerManager->getStopwatch(i);
            char text[96];
            std::snprintf(text, sizeof(text), ": %.2f ms Avg: %.2f ms", watch.delta() * 1000.0,
                          watch.averageSeconds() * 1000.0);
            expected.push_back(L" " + watch.name() + std::wstring(text, text + std::strlen(text)));
        }
        EXPECT_TRUE(profilerManager->isEnabled());
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[6], expected[0]);
    EXPECT_EQ(lines[8], expected[1]);
    // The physics stopwatch runs on the step's thread while the road's step reads it: its
    // figures move between the two reads, so only its line's form is checked.
    const std::wregex runningFigures(L" Physics: [0-9]+\\.[0-9]{2} ms Avg: [0-9]+\\.[0-9]{2} ms");
    for (std::size_t i = 0; i < 4; ++i) {
        if (expected[2 + i].rfind(L" Physics: ", 0) == 0)
            EXPECT_TRUE(std::regex_match(lines[14 + i], runningFigures)) << "line " << 14 + i;
        else
            EXPECT_EQ(lines[14 + i], expected[2 + i]);
    }
}

} // namespace
