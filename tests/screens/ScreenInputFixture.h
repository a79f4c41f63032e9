#pragma once

// The screens with the real input manager in front of them: the screen registrations, a fake
// pad, a save folder, and the game's languages with their fonts.
#include "../gui/GuiFixture.h"

#include "core/CoreSlots.h"
#include "core/Globals.h"
#include "core/app/SubsystemRegistration.h"
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
    void SetUp() override {
        GuiFixture::SetUp();
        resetCoreSlots();
        resetPlayerHooks();
        registerScreens();
        fillCoreSlots();
        useLanguages();
    }
    void TearDown() override {
        resetCoreSlots();
        GuiFixture::TearDown();
    }
    // After the test's own settings and hooks: the input manager reads them as it starts.
    void startInput() { useInput(); }
};

} // namespace screentest
