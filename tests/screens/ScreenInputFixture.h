#pragma once

// The screens with the real input manager in front of them: the screen registrations, a fake
// pad, a save folder, and the game's languages with their fonts.
#include "../gui/GuiFixture.h"

#include "core/CoreSlots.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/app/SubsystemRegistration.h"
#include "platform/FakePadBackend.h"
#include "player/InputManager.h"
#include "player/PlayerHooks.h"
#include "level/SaveManager.h"
#include "screens/ScreenRegistration.h"
#include "support/NullDevice.h"
#include "support/ScreenConnections.h"

#include <cstring>
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
        // The input manager (gone with the GUI) goes before the settings it reads.
        if (settings) {
            gameSettings = nullptr;
            settings.reset();
        }
    }
    // After the test's own settings and hooks: the input manager reads them as it starts.
    void startInput() { useInput(); }
    // The game's settings of the test's own, in the save folder, then the input manager on them.
    void startInputOnOwnSettings() {
        settings = std::make_unique<GameSettings>((saves.path() / "PaddlestoneConfig.xml").string());
        settings->load(true);
        gameSettings = settings.get();
        startInput();
    }
    // A key pressed and let go through the engine, as the player's keyboard does, with the
    // test's own frame run after each of the two events.
    template <class Frame> void postKeyPress(irr::EKEY_CODE code, Frame frame) {
        for (bool down : {true, false}) {
            postKey(code, down);
            frame();
        }
    }
    // A key going down or up through the engine.
    void postKey(irr::EKEY_CODE code, bool down) { test::postKey(device, code, down); }
    // The pointer's event at the point through the engine, the left button held on a press.
    void postMouse(irr::EMOUSE_INPUT_EVENT kind, const irr::core::position2di& at) {
        irr::SEvent event;
        std::memset(static_cast<void*>(&event), 0, sizeof(event));
        event.EventType = irr::EET_MOUSE_INPUT_EVENT;
        event.MouseInput.Event = kind;
        event.MouseInput.X = at.X;
        event.MouseInput.Y = at.Y;
        event.MouseInput.ButtonStates = kind == irr::EMIE_LMOUSE_PRESSED_DOWN ? irr::EMBSM_LEFT : 0;
        device->postEventFromUser(event);
    }

    std::unique_ptr<GameSettings> settings;
};

} // namespace screentest
