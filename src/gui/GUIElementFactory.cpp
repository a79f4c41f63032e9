#include "gui/GUIElementFactory.h"

#include "gui/GUIButton.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIImage.h"
#include "gui/GUIScreen.h"
#include "gui/GUIStaticText.h"
#include "gui/GUISubElement.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/editor/GUIEditWindow.h"
#include "gui/editor/GUIEditor.h"
#include "gui/hud/GUINotification.h"
#include "gui/hud/GUIObjectiveCenter.h"
#include "gui/hud/GUISubtitleManager.h"

#include <IGUIEnvironment.h>

#include <algorithm>
#include <cstring>
#include <vector>

using namespace irr;

namespace {

using Creator = gui::IGUIElement* (*)(gui::IGUIEnvironment*, gui::IGUIElement*);

const core::recti defaultRect(0, 0, 100, 100);

// The title screen belongs to the screens, which make it once they are registered.
gui::IGUIElement* createMainScreen(gui::IGUIEnvironment* env, gui::IGUIElement* parent) {
    return askHook(guiHooks().menus.createMainScreen, nullptr, env, parent);
}

struct TypeEntry {
    const char* name;
    Creator create; // null: made by code only, or not part of this program yet
};

// The name table; the index is the type id - 1000.
const TypeEntry typeTable[GUIElementFactory::namedTypeCount] = {
    {"GUIEditor", [](gui::IGUIEnvironment* env, gui::IGUIElement* parent) -> gui::IGUIElement* {
         return new GUIEditor(env, parent);
     }},
    {"GUIEditWindow", [](gui::IGUIEnvironment* env, gui::IGUIElement* parent) -> gui::IGUIElement* {
         return new GUIEditWindow(env, parent, defaultRect);
     }},
    {"GUIImage", [](gui::IGUIEnvironment* env, gui::IGUIElement* parent) -> gui::IGUIElement* {
         return new GUIImage(env, parent, -1, defaultRect);
     }},
    {"GUISubElement", [](gui::IGUIEnvironment* env, gui::IGUIElement* parent) -> gui::IGUIElement* {
         return new GUISubElement(env, parent, defaultRect);
     }},
    {"GUIStaticText", [](gui::IGUIEnvironment* env, gui::IGUIElement* parent) -> gui::IGUIElement* {
         return new GUIStaticText(L"", env, parent, -1, core::recti(0, 0, 400, 100));
     }},
    {"GUIFreeTypeText", [](gui::IGUIEnvironment* env, gui::IGUIElement* parent) -> gui::IGUIElement* {
         return new GUIFreeTypeText(env, parent, -1, defaultRect);
     }},
    {"GUINotification", [](gui::IGUIEnvironment* env, gui::IGUIElement* parent) -> gui::IGUIElement* {
         return new GUINotification(env, parent);
     }},
    {"GUIScreen", [](gui::IGUIEnvironment* env, gui::IGUIElement* parent) -> gui::IGUIElement* {
         return new GUIScreen(env, parent, -1, defaultRect);
     }},
    {"GUIObjectiveCenter", [](gui::IGUIEnvironment* env, gui::IGUIElement* parent) -> gui::IGUIElement* {
         return new GUIObjectiveCenter(env, parent, -1, defaultRect);
     }},
    {"GUIHud", nullptr},
    {"GUIButton", [](gui::IGUIEnvironment* env, gui::IGUIElement* parent) -> gui::IGUIElement* {
         return new GUIButton(env, parent, -1, defaultRect);
     }},
    {"GUIPauseScreen", nullptr},
    {"GUIMainScreen", &createMainScreen},
    {"GUISubtitleManager", [](gui::IGUIEnvironment* env, gui::IGUIElement* parent) -> gui::IGUIElement* {
         return new GUISubtitleManager(env, parent);
     }},
    {"GUICutscene", nullptr},
    {"GUIOptionCycle", nullptr},
    {"GUIOptionMeter", nullptr},
    {"GUIOptionRemap", nullptr},
    {"GUIDebugStats", nullptr},
    {"GUITextButton", nullptr},
    {"GUIChargeMeter", nullptr},
    {"GUIObjective", nullptr},
    {"GUIOptionsList", nullptr},
    {"GUILevelCycle", nullptr},
};

std::vector<const GUIElementFactory*>& gameFactories() {
    static std::vector<const GUIElementFactory*> factories;
    return factories;
}

const TypeEntry* findEntry(const c8* typeName) {
    if (!typeName)
        return nullptr;
    for (const TypeEntry& entry : typeTable)
        if (std::strcmp(entry.name, typeName) == 0)
            return &entry;
    return nullptr;
}

} // namespace

GUIElementFactory::GUIElementFactory(gui::IGUIEnvironment* environment) : Environment(environment) {
    gameFactories().push_back(this);
    if (Environment)
        Environment->registerGUIElementFactory(this);
}

GUIElementFactory::~GUIElementFactory() {
    auto& factories = gameFactories();
    factories.erase(std::remove(factories.begin(), factories.end(), this), factories.end());
}

bool GUIElementFactory::canCreate(const c8* typeName) {
    const TypeEntry* entry = findEntry(typeName);
    if (entry && entry->create == &createMainScreen)
        return static_cast<bool>(guiHooks().menus.createMainScreen);
    return entry && entry->create;
}

bool GUIElementFactory::isGameFactory(const gui::IGUIElementFactory* factory) {
    const auto& factories = gameFactories();
    return std::find(factories.begin(), factories.end(), factory) != factories.end();
}

gui::IGUIElement* GUIElementFactory::addGUIElement(const c8* typeName, gui::IGUIElement* parent) {
    const TypeEntry* entry = findEntry(typeName);
    if (!entry || !entry->create || !Environment)
        return nullptr;
    if (!parent)
        parent = Environment->getRootGUIElement();
    gui::IGUIElement* element = entry->create(Environment, parent);
    if (!element)
        return nullptr;
    // The parent holds the element; the factory gives up its own reference.
    element->drop();
    return element;
}

gui::IGUIElement* GUIElementFactory::addGUIElement(gui::EGUI_ELEMENT_TYPE type, gui::IGUIElement* parent) {
    return addGUIElement(getCreateableGUIElementTypeName(static_cast<s32>(type) - firstTypeId), parent);
}

gui::EGUI_ELEMENT_TYPE GUIElementFactory::getCreateableGUIElementType(s32 index) const {
    return toElementType(index + firstTypeId);
}

const c8* GUIElementFactory::getCreateableGUIElementTypeName(s32 index) const {
    if (index < 0 || index >= namedTypeCount)
        return nullptr;
    return typeTable[index].name;
}

const c8* GUIElementFactory::getCreateableGUIElementTypeName(gui::EGUI_ELEMENT_TYPE type) const {
    const c8* name = getCreateableGUIElementTypeName(static_cast<s32>(type) - firstTypeId);
    if (name)
        return name;
    gui::IGUIElementFactory* fallback = Environment ? Environment->getDefaultGUIElementFactory() : nullptr;
    return fallback ? fallback->getCreateableGUIElementTypeName(type) : nullptr;
}
