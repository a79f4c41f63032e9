#include "screens/ScreenRegistration.h"

#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/ProgramQueries.h"
#include "core/ShellHooks.h"
#include "core/SoundManager.h"
#include "gui/GUIElementFactory.h"
#include "gui/GuiHooks.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"
#include "screens/ScreenManager.h"

#include <IrrlichtDevice.h>

using namespace irr;

namespace {

// The factory the GUI environment reads layout files through; the environment holds it too.
GUIElementFactory* elementFactory = nullptr;

void fillShellSlots(ScreenHooks& screens) {
    screens.create = [](IrrlichtDevice* device) { return new ScreenManager(device->getGUIEnvironment()); };
    screens.init = [] {
        if (screenManager)
            screenManager->init();
    };
    screens.update = [] {
        if (screenManager)
            screenManager->update();
    };
    screens.draw = [] {
        if (screenManager)
            screenManager->draw();
    };
    screens.postRenderGUI = [](f32 runningSeconds) {
        if (screenManager)
            screenManager->postRenderGUI(runningSeconds);
    };
    screens.destroy = [] { delete screenManager; };

    screens.isInputAllowed = [] { return !screenManager || screenManager->isInputAllowed(); };
    screens.isGameUpdateAllowed = [] { return !screenManager || screenManager->isGameUpdateAllowed(); };
    screens.topScreenKeepsTimerRunning = [] { return screenManager && screenManager->topScreenKeepsTimerRunning(); };
    screens.overlayBlend = [] { return screenManager ? screenManager->getOverlayBlend() : 0.0f; };
    screens.isStackActive = [] { return screenManager && screenManager->isStackActive(); };
    screens.isPauseScreenVisible = [] { return screenManager && screenManager->isPauseScreenVisible(); };

    screens.registerElementFactory = [](gui::IGUIEnvironment* environment) {
        if (elementFactory)
            elementFactory->drop();
        elementFactory = new GUIElementFactory(environment);
    };
    screens.releaseElementFactory = [] {
        if (elementFactory)
            elementFactory->drop();
        elementFactory = nullptr;
    };
    screens.getCachedFont = [](const io::path& path, s32 size) -> gui::IGUIFont* {
        return getCachedFont(path, size);
    };
}

void fillGuiSlots(GuiHooks& hooks) {
    hooks.sound.playEffect = [](s32 id) {
        if (soundManager)
            soundManager->playEffect(id);
    };
    hooks.language.getText = [](s32 id) {
        if (languageManager)
            return languageManager->getText(id);
        core::stringw placeholder(L"#");
        placeholder += id;
        return placeholder;
    };
    hooks.language.getFont = [](s32 role) -> gui::IGUIFont* {
        return languageManager ? languageManager->getFont(role) : nullptr;
    };
    hooks.language.languageChanged = []() -> DelegateList* {
        return languageManager ? &languageManager->languageChanged : nullptr;
    };
    // The level subsystem answers these through the shell's level slots.
    hooks.level.isLevelLoading = [] { return levelManager && askHook(shellHooks().level.isLevelLoading, false); };
    hooks.level.isLoadingOverlayBusy = [] {
        return levelManager && askHook(shellHooks().level.isLoadingOverlayBusy, false);
    };
    hooks.level.isLoadingOverlayOpaque = [] { return isLoadingOverlayOpaque(); };
    hooks.level.isGameplaySuspendedOrLoading = [] { return isGameplaySuspendedOrLoading(); };
}

} // namespace

void registerScreens() {
    fillShellSlots(shellHooks().screens);
    fillGuiSlots(guiHooks());
}
