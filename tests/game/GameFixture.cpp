#include "GameFixture.h"

#include "camera/CameraServices.h"
#include "core/Globals.h"
#include "gui/GUIScrollList.h"
#include "core/ShellHooks.h"
#include "core/SubsystemRegistration.h"
#include "gui/GuiHooks.h"
#include "level/LevelHooks.h"
#include "player/GameActions.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/PlayerHooks.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

GameFixture::GameFixture() {
    // The player's files go into the test's folder.
    std::filesystem::create_directories(dir.path() / "data");
    setenv("XDG_DATA_HOME", (dir.path() / "data").c_str(), 1);
    resetAllHooks();
    registerGameSubsystems();
    gameMainScreen = guiHooks().menus.createMainScreen;
    gamePlayScreen = guiHooks().menus.createPlayScreen;
    guiHooks().menus.createPlayScreen = nullptr;
    guiHooks().menus.createMainScreen = [this]() -> GUIScreen* {
        titleMenu = new guitest::TestMenu(gameDevice->getGUIEnvironment(), true, L"Title",
                                          guitest::TestMenu::numberedRows(3));
        // The title screen keeps the background level running.
        titleMenu->PassUpdate = true;
        titleMenu->getScrollList()->setAppear(1.0f);
        return titleMenu;
    };
    InputHooks& input = shellHooks().input;
    input.endFrame = [endFrame = input.endFrame, this] {
        endFrame();
        for (irr::SEvent& event : pendingEvents)
            gameDevice->postEventFromUser(event);
        pendingEvents.clear();
    };
    ScreenHooks& screens = shellHooks().screens;
    screens.update = [update = screens.update, this] {
        update();
        ++frame;
        if (const auto step = steps.find(frame); step != steps.end())
            step->second();
    };
}

GameFixture::~GameFixture() {
    resetAllHooks();
    unsetenv("XDG_DATA_HOME");
}

void GameFixture::resetAllHooks() {
    resetShellHooks();
    resetLevelHooks();
    resetPlayerHooks();
    resetGuiHooks();
    resetCameraServices();
}

void GameFixture::postKey(irr::EKEY_CODE key, bool down) {
    irr::SEvent event;
    std::memset(static_cast<void*>(&event), 0, sizeof(event));
    event.EventType = irr::EET_KEY_INPUT_EVENT;
    event.KeyInput.Key = key;
    event.KeyInput.PressedDown = down;
    pendingEvents.push_back(event);
}

bool GameFixture::menuDownPressed() {
    PlayerControls* controls = inputManager->getActiveControls();
    return controls && controls->wasActionPressed(GameAction::MenuDown);
}

void GameFixture::useGameMenus() {
    guiHooks().menus.createMainScreen = gameMainScreen;
    guiHooks().menus.createPlayScreen = gamePlayScreen;
}

void GameFixture::quitAt(int at) {
    steps[at] = [] { QuitRequested = true; };
}
