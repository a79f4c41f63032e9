#pragma once

#include "../core/ShellFixture.h"
#include "../gui/TestMenu.h"

#include <irrlicht.h>

#include <functional>
#include <map>

class GUIScreen;
#include <vector>

// The whole game: the real program's registrations (as main() makes them), a plain title
// menu standing in for the game's own title screen (useGameMenus brings the game's own), and
// a per-frame step of the test's own, run after the screens have updated in that frame.
class GameFixture : public ShellFixture {
protected:
    GameFixture();
    ~GameFixture() override;
    static void resetAllHooks();

    // A key goes down or up through the engine's event receiver, where the window delivers
    // it: after this frame's input frame has ended, before the next frame.
    void postKey(irr::EKEY_CODE key, bool down);
    // The "Menu Down" action went down this frame on the active controls.
    static bool menuDownPressed();
    void quitAt(int at);
    // The game's own title screen and main menu instead of the stand-in title menu.
    void useGameMenus();

    int frame = 0;
    std::map<int, std::function<void()>> steps;
    guitest::TestMenu* titleMenu = nullptr;
    std::vector<irr::SEvent> pendingEvents;
    std::function<GUIScreen*()> gameMainScreen;
    std::function<GUIScreen*(irr::s32)> gamePlayScreen;
};
