#pragma once

// The screens with the real input manager in front of them: the screen registrations, a fake
// pad, a save manager of a save folder (where the remapping file goes), a loading overlay
// that covers nothing, and the font at the size a test reads its rows with.
#include "../gui/GuiFixture.h"

#include "core/Globals.h"
#include "core/ShellHooks.h"
#include "gui/GuiHooks.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"
#include "platform/FakePadBackend.h"
#include "player/InputManager.h"
#include "player/PlayerHooks.h"
#include "level/SaveManager.h"
#include "screens/ScreenRegistration.h"
#include "support/ScreenConnections.h"

#include <filesystem>
#include <memory>

namespace screentest {

class ScreenInputFixture : public guitest::GuiFixture {
protected:
    // The font size of the rows.
    virtual irr::s32 fontSize() const = 0;

    void SetUp() override {
        GuiFixture::SetUp();
        save = std::make_unique<SaveManager>(device->getFileSystem(), (saves.path() / "save").string());
        saveManager = save.get();
        platform::setPadBackend(std::make_unique<platform::FakePadBackend>());
        resetShellHooks();
        resetPlayerHooks();
        registerScreens();
        const irr::s32 size = fontSize();
        guiHooks().language.getFont = [size](irr::s32) -> irr::gui::IGUIFont* { return getCachedFont(fontPath, size); };
        guiHooks().level.isLoadingOverlayOpaque = [] { return false; };
    }
    // After the test's own settings and hooks: the input manager reads them as it starts.
    void startInput() {
        inputManager = new InputManager();
        inputManager->init(device);
        inputManager->resetInputState();
    }
    void TearDown() override {
        device->setEventReceiver(nullptr);
        delete inputManager;
        inputManager = nullptr;
        platform::setPadBackend(nullptr);
        resetPlayerHooks();
        resetShellHooks();
        test::disconnectGameObjectsFromScreens();
        saveManager = nullptr;
        save.reset();
        GuiFixture::TearDown();
    }

    test::TempDir saves;
    std::unique_ptr<SaveManager> save;
};

} // namespace screentest
