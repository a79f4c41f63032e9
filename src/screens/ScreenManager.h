#pragma once

#include "core/Delegate.h"
#include "core/FontGate.h"
#include "gui/GuiCommon.h"

#include <irrTypes.h>
#include <path.h>
#include <position2d.h>
#include <rect.h>

#include <string>
#include <vector>

namespace irr::gui {
class IGUIElement;
class IGUIEnvironment;
} // namespace irr::gui
namespace irr::video {
class ITexture;
} // namespace irr::video

class GUIButton;
class GUICutscene;
class GUIDebugStats;
class GUINotification;
class GUIObjectiveCenter;
class GUIFreeTypeText;
class GUIHud;
class GUIImage;
class GUILevelElement;
class LoadingOverlay;
class GUIPauseScreen;
class GUISubtitleManager;
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
    static constexpr irr::s32 menuScreenId = ScreenId::Menu;
    static constexpr irr::s32 mainScreenId = 10;
    static constexpr irr::s32 splashScreenId = 19965;
    static constexpr irr::s32 pauseScreenId = 1234;
    static constexpr irr::s32 hudId = ScreenId::Hud;
    static constexpr irr::s32 subtitleScreenId = ScreenId::Subtitles;
    static constexpr irr::s32 overlayId = -400;
    // Screens with this type never block input (the HUD and the subtitle layer).
    static constexpr irr::s32 passingType = 1009;
    static constexpr const wchar_t* endingCreditsLevel = L"Content/Levels/EndingCredits_Screen.irr";
    static constexpr const char* debugFontPath = skinFontPath;

    explicit ScreenManager(irr::gui::IGUIEnvironment* environment);
    ~ScreenManager();
    ScreenManager(const ScreenManager&) = delete;
    ScreenManager& operator=(const ScreenManager&) = delete;

    // Reads the settings that switch GUI behaviour, opens the main menu unless a level was
    // named on the command line, and marks the manager initialised.
    void init();
    // Makes the standing screens (the HUD, the cutscene overlay, hidden, the notification
    // layer, the level timer, the subtitle layer, the pause menu, the objective panel, the
    // loading billboards, the debug overlay and the message layer) over an emptied GUI tree.
    void createScreens();
    // Once per frame: pause toggle, input capture, notification timing, removal of closed
    // screens.
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
    // Every stacked panel screen under a panel screen that has come in fully stops drawing
    // its rows and title (they would show through the upper panel); the others draw them.
    void coverScreensUnderPanels();
    void setPauseScreenVisible(bool show);
    // The title screen with the main menu's entry list above it.
    void openMainScreen(irr::s32 playMode);
    // (x, y) margins of 5 % of the screen while overscan is on, else (0, 0).
    irr::core::position2di getOverscanMargin() const;

    // --- loading frames, billboards, the level timer and the camera cross-fade -------------
    // (ScreenOverlays.cpp)
    // During a level load or shader build, while the loading overlay covers the screen: pumps
    // the window and, at most every 0.1 s (0.3 s with vsync), draws a GUI-only frame so the
    // loading billboard keeps moving; `atOnce` draws the frame now (a load's first). Nothing
    // before init has finished.
    void renderLoadingFrame(bool atOnce = false);
    // A camera cut asked for a cross-fade: the last frame shown is kept and fades out over
    // the next half second (only with the game's shaders on).
    void captureCrossfade();
    // The level manager's loading overlay, drawn for its mode by the overlay view it names.
    static void drawLoadingOverlay(const LoadingOverlay& overlay);
    GUIImage* getLoadingIcon() const { return LoadingIcon; }
    GUIImage* getCheckpointIcon() const { return CheckpointIcon; }
    GUIImage* getLoadingBarFill() const { return LoadingBarFill; }
    GUIImage* getLoadingBarBack() const { return LoadingBarBack; }
    const irr::core::recti& getLoadingBarRect() const { return LoadingBarRect; }
    GUIImage* getTimerBox() const { return TimerBox; }
    GUIImage* getTotalRow() const { return TotalRow; }
    GUIFreeTypeText* getLevelTimeText() const { return LevelTimeText; }
    GUIFreeTypeText* getLevelBestText() const { return LevelBestText; }
    GUIFreeTypeText* getTotalTimeText() const { return TotalTimeText; }
    GUIFreeTypeText* getTotalBestText() const { return TotalBestText; }
    GUILevelElement* getOverlayView(irr::s32 view) const { return view == 1 ? OverlayView1 : OverlayView2; }
    // The message layer: a centred text with its shadow under the top edge, in the
    // objective font. Nothing writes into it yet.
    GUIImage* getMessageLayer() const { return MessageLayer; }
    GUIFreeTypeText* getMessageText() const { return MessageText; }
    GUIFreeTypeText* getMessageShadow() const { return MessageShadow; }
    irr::video::ITexture* getCrossfadeTarget() const { return CrossfadeTarget; }
    irr::f32 CrossfadeAlpha = 0.0f;
    // Textures other parts draw with.
    irr::video::ITexture* WhiteTexture = nullptr;
    irr::video::ITexture* GradientTexture = nullptr;

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
    // The pause menu holds the game: it is open and none of its commands has faded it out.
    bool isGamePaused() const;
    GUIPauseScreen* getPauseScreen() const { return PauseScreen; }
    GUIHud* getHud() const { return Hud; }
    // The cutscene overlay's bar amount (0 while there is none).
    irr::f32 getOverlayBlend() const;
    GUICutscene* getCutsceneScreen() const { return Cutscene; }
    // The debug statistics overlay (hidden until F6 in debug mode).
    GUIDebugStats* getDebugStats() const { return DebugStats; }
    GUIObjectiveCenter* getObjectiveCenter() const { return ObjectiveCenter; }
    GUISubtitleManager* getSubtitleManager() const { return SubtitleManager; }

    // --- subtitles ---
    // The level's subtitle collection (after the shared one) replaces the lines.
    void loadSubtitles(const irr::io::path& name);
    // Hides the line on screen and forgets the chained one.
    void clearSubtitles();
    // A level starts loading: no subtitle, cross-fade, notification or cutscene frame
    // carries over.
    void resetSubtitlesAndCutscene();

    // --- notifications ---
    // The notification of that layout path or table name, made (hidden, off screen) when the
    // layer has none yet; it lives until the next level unload.
    GUINotification* getNotificationByPath(const irr::core::stringc& path);
    GUINotification* getNotificationByName(const char* name);
    // Queues the notification for the seconds (0: until dismissed); nothing with pop-ups
    // off, for a dismissed or an already queued one.
    void showNotification(GUINotification* notification, irr::f32 durationSeconds);
    // Dismisses every notification of the name; a name nobody has yet waits for one.
    void dismissNotification(const char* name, bool immediately);
    void dismissAllNotifications();
    // Each frame while the game runs: ends at most one finished notification and applies
    // the waiting dismissals.
    void updateNotifications();
    // The level unloaded: every notification goes (and leaves the queue).
    void resetNotifications();
    const std::vector<GUINotification*>& getActiveNotifications() const { return ActiveNotifications; }
    const std::vector<std::string>& getPendingDismissals() const { return PendingDismissals; }
    irr::gui::IGUIElement* getNotificationLayer() const { return NotificationLayer; }
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
    GUINotification* addHiddenNotification();
    void addPendingDismissal(const std::string& name);
    void createLevelTimer();
    void createLoadingBillboards();
    void createMessageLayer();
    void layoutOverlays();
    void drawCrossfade();
    void drawLevelTimer();
    bool crossfadeAllowed() const;

    irr::gui::IGUIEnvironment* Environment;
    // Standing screens, owned by the GUI tree.
    GUIHud* Hud = nullptr;
    GUICutscene* Cutscene = nullptr;
    GUIPauseScreen* PauseScreen = nullptr;
    GUIObjectiveCenter* ObjectiveCenter = nullptr;
    GUISubtitleManager* SubtitleManager = nullptr;
    irr::gui::IGUIElement* NotificationLayer = nullptr;
    std::vector<std::string> PendingDismissals;
    std::vector<GUINotification*> ActiveNotifications;
    std::vector<GUIScreen*> ScreenStack;
    std::vector<GUIScreen*> RemovalList;
    bool StackActive = false;
    // Loading billboards and bar, overlay views, level timer (ScreenOverlays.cpp).
    GUIImage* CheckpointIcon = nullptr;
    GUIImage* LoadingIcon = nullptr;
    GUIImage* LoadingBarBack = nullptr;
    GUIImage* LoadingBarFill = nullptr;
    irr::core::recti LoadingBarRect;
    GUILevelElement* OverlayView1 = nullptr;
    GUILevelElement* OverlayView2 = nullptr;
    GUIDebugStats* DebugStats = nullptr;
    GUIImage* MessageLayer = nullptr;
    GUIFreeTypeText* MessageText = nullptr;
    GUIFreeTypeText* MessageShadow = nullptr;
    GUIImage* TimerBox = nullptr;
    GUIImage* LevelRow = nullptr;
    GUIImage* TotalRow = nullptr;
    GUIFreeTypeText* LevelTimeText = nullptr;
    GUIFreeTypeText* LevelBestText = nullptr;
    GUIFreeTypeText* LevelBestLabel = nullptr;
    GUIFreeTypeText* TotalTimeText = nullptr;
    GUIFreeTypeText* TotalBestText = nullptr;
    GUIFreeTypeText* TotalBestLabel = nullptr;
    irr::video::ITexture* CrossfadeTarget = nullptr;
    irr::f32 LoadingFrameSeconds = 0.0f;
};
