#pragma once

#include "core/Delegate.h"

#include <irrTypes.h>
#include <position2d.h>

#include <vector>

namespace irr::gui {
class IGUIElement;
class IGUIEnvironment;
} // namespace irr::gui

class GUIButton;
class GUICutscene;
class GUIHud;
class GUIPauseScreen;
class GUIScreen;
struct ButtonMapping;

// Owns every game screen and decides whether the game behind the menus may run. It keeps
// the stack of open menu screens (index 0 is the top), finds the pause screen, and removes
// closed screens from the GUI tree at the end of the next update. Screens are owned by the
// engine's GUI tree; the manager holds plain pointers. The frame loop asks its two gates,
// isInputAllowed and isGameUpdateAllowed, every frame, and so do about thirty other places.
class ScreenManager {
public:
    // Element ids of the screens.
    static constexpr irr::s32 menuScreenId = 11;
    static constexpr irr::s32 mainScreenId = 10;
    static constexpr irr::s32 splashScreenId = 19965;
    static constexpr irr::s32 pauseScreenId = 1234;
    static constexpr irr::s32 hudId = 1235;
    static constexpr irr::s32 subtitleScreenId = 1236;
    static constexpr irr::s32 overlayId = -400;
    // Screens with this type never block input (the HUD and the subtitle layer).
    static constexpr irr::s32 passingType = 1009;
    static constexpr const wchar_t* endingCreditsLevel = L"Content/Levels/EndingCredits_Screen.irr";

    explicit ScreenManager(irr::gui::IGUIEnvironment* environment);
    ~ScreenManager();
    ScreenManager(const ScreenManager&) = delete;
    ScreenManager& operator=(const ScreenManager&) = delete;

    // Reads the settings that switch GUI behaviour, opens the main menu unless a level was
    // named on the command line, and marks the manager initialised.
    void init();
    // Makes the standing screens (the HUD, the pause menu) over an emptied GUI tree.
    void createScreens();
    // Once per frame: pause toggle, input capture, removal of closed screens.
    void update();
    // Once per drawn frame, last inside the scene: the HUD shows only in a running game
    // that is not loading, then the GUI tree.
    void draw();
    // When a frame is not drawn: the GUI root's post-render, so elements still advance.
    void postRenderGUI(irr::f32 runningSeconds);
    // Debug keys (debug mode only): F7 toggles drawing the GUI, Escape and F8 switch it on.
    void handleDebugKeys();

    // The input gate: game input may reach the player.
    bool isInputAllowed() const;
    // The update gate: the game world may step.
    bool isGameUpdateAllowed() const;

    // The top screen: the stack's index 0 while the stack is active, else the visible pause
    // screen, else none.
    GUIScreen* getTopScreen() const;
    GUIButton* getTopScreenFocus() const;
    // The first child of the GUI root with the pause screen's id, when it is a screen.
    GUIScreen* findPauseScreen() const;
    // The stacked screen (from the top) that is the element or one of its ancestors below the
    // GUI root, else the pause screen when it is, else null.
    GUIScreen* findScreenOf(const irr::gui::IGUIElement* element) const;

    void pushScreen(GUIScreen* screen);
    void popScreen(GUIScreen* screen, bool close);
    void queueScreenRemoval(GUIScreen* screen);
    void closeAllScreens();
    void flushScreenRemovals();
    void setPauseScreenVisible(bool show);
    // The title screen with the main menu's entry list above it.
    void openMainScreen(irr::s32 playMode);
    // (x, y) margins of 5 % of the screen while overscan is on, else (0, 0).
    irr::core::position2di getOverscanMargin() const;

    // Switches the input capture of the remapping widgets on or off.
    void setCaptureInput(bool capture);
    // Copies the captured input when one was captured.
    bool getCapturedControllerState(ButtonMapping& out) const;

    const std::vector<GUIScreen*>& getScreenStack() const { return ScreenStack; }
    const std::vector<GUIScreen*>& getRemovalList() const { return RemovalList; }
    // The stack is not empty and its index-0 screen keeps the game running behind it.
    bool topScreenKeepsTimerRunning() const;
    bool isStackActive() const { return StackActive; }
    bool isPauseScreenVisible() const;
    GUIPauseScreen* getPauseScreen() const { return PauseScreen; }
    GUIHud* getHud() const { return Hud; }
    // The cutscene overlay's bar amount (0 while there is none).
    irr::f32 getOverlayBlend() const;
    GUICutscene* getCutsceneScreen() const { return Cutscene; }
    irr::gui::IGUIEnvironment* getEnvironment() const { return Environment; }

    // Invoked each time the pause screen opens.
    DelegateList PauseOpened;

    bool DrawGUI = true;
    bool EnablePopups = true;
    bool ShowLevelTimer = false;
    bool Overscan = false;
    bool Subtitles = false;
    bool BlackBoxSubtitles = false;
    bool CaptureInput = false;
    irr::s32 CaptureFrames = 0;
    bool InputCaptured = false;
    bool Initialised = false;

private:
    void togglePause();

    irr::gui::IGUIEnvironment* Environment;
    // Standing screens, owned by the GUI tree.
    GUIHud* Hud = nullptr;
    GUICutscene* Cutscene = nullptr;
    GUIPauseScreen* PauseScreen = nullptr;
    std::vector<GUIScreen*> ScreenStack;
    std::vector<GUIScreen*> RemovalList;
    bool StackActive = false;
};
