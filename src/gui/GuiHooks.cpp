#include "gui/GuiHooks.h"

GuiHooks& guiHooks() {
    static GuiHooks hooks;
    return hooks;
}

void resetGuiHooks() { guiHooks() = GuiHooks{}; }

void playSoundEffect(irr::s32 id) { callHook(guiHooks().sound.playEffect, id); }

irr::core::stringw getLanguageText(irr::s32 id) {
    const auto& slot = guiHooks().language.getText;
    if (slot)
        return slot(id);
    irr::core::stringw placeholder(L"#");
    placeholder += id;
    return placeholder;
}

irr::gui::IGUIFont* getLanguageFont(irr::s32 role) {
    return askHook(guiHooks().language.getFont, nullptr, role);
}
