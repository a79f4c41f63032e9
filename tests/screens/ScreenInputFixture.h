#pragma once

// The screens with the real input manager in front of them: the screen registrations, a fake
// pad, a save folder, a loading overlay that covers nothing, and the font at the size a test
// reads its rows with.
#include "../gui/GuiFixture.h"

#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "gui/GuiHooks.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"
#include "platform/FakePadBackend.h"
#include "player/InputManager.h"
#include "player/PlayerHooks.h"
#include "core/app/SubsystemRegistration.h"
#include "screens/ScreenRegistration.h"

#include <filesystem>
#include <memory>

namespace screentest {

class ScreenInputFixture : public guitest::GuiFixture {
protected:
    // The font size of the rows.
    virtual irr::s32 fontSize() const = 0;

    void SetUp() override {
        GuiFixture::SetUp();
        std::filesystem::create_directories(saves.path() / "save");
        platform::setPadBackend(std::make_unique<platform::FakePadBackend>());
        resetCoreSlots();
        resetPlayerHooks();
        registerScreens();
        fillCoreSlots();
        playerHooks().saves.saveFolder = [this] { return (saves.path() / "save").string(); };
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
        resetCoreSlots();
        GuiFixture::TearDown();
    }

    test::TempDir saves;
};

} // namespace screentest
