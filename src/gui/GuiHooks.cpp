#include "gui/GuiHooks.h"

#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/SoundManager.h"
#include "player/InputManager.h"
#include "player/devices/KeyboardDevice.h"
#include "player/devices/MouseDevice.h"

GuiHooks& guiHooks() {
    static GuiHooks hooks;
    return hooks;
}

void resetGuiHooks() { guiHooks() = GuiHooks{}; }

void playSoundEffect(irr::s32 id) {
    if (soundManager)
        soundManager->playEffect(id);
}

irr::core::stringw getLanguageText(irr::s32 id) {
    if (languageManager)
        return languageManager->getText(id);
    irr::core::stringw placeholder(L"#");
    placeholder += id;
    return placeholder;
}

irr::gui::IGUIFont* getLanguageFont(irr::s32 role) { return languageManager ? languageManager->getFont(role) : nullptr; }

irr::s32 keyboardKeyState(irr::s32 key) {
    if (!inputManager || !inputManager->getKeyboard())
        return 0;
    return static_cast<irr::s32>(inputManager->getKeyboard()->keyState(key));
}

bool isMousePointerActive() {
    // Keys and clicks switch the mouse mode on, touches switch it off.
    return !inputManager || !inputManager->getMouse() || inputManager->getMouse()->mouseModeActive;
}

irr::f32 mouseWheelSteps() {
    return inputManager && inputManager->getMouse() ? inputManager->getMouse()->systemMouse().wheel : 0.0f;
}
