#pragma once

// The screens with the real input manager in front of them: the screen registrations, a fake
// pad, a save folder, and the game's languages with their fonts.
#include "../gui/GuiFixture.h"

#include "core/Globals.h"
#include "core/ShellHooks.h"
#include "platform/FakePadBackend.h"
#include "player/InputManager.h"
#include "player/PlayerHooks.h"
#include "screens/ScreenRegistration.h"

#include <filesystem>
#include <memory>

namespace screentest {

class ScreenInputFixture : public guitest::GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        resetShellHooks();
        resetPlayerHooks();
        registerScreens();
        useLanguages();
    }
    // After the test's own settings and hooks: the input manager reads them as it starts.
    void startInput() { useInput(); }
};

} // namespace screentest
