#include "screens/menus/GUIControlsRemapScreen.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "gui/GUIMenuItem.h"
#include "gui/GUIOptionCycle.h"
#include "gui/GUIOptionRemap.h"
#include "gui/GUIScrollList.h"
#include "gui/GUITextButton.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/OptionRowParts.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"
#include "player/GameActions.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/devices/KeyboardDevice.h"
#include "player/devices/MouseDevice.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUIControlOptionsScreen.h"

#include <algorithm>

using namespace irr;

namespace {

constexpr f32 remapFadeSeconds = 0.2f;
constexpr s32 remapTitleText = 64;
constexpr s32 remapDeviceText = 125;
// The keyboard's "pressed this frame" key state.
constexpr s32 deleteKeyPressed = 2;

// The binding rows' text: large enough to read at a glance beside the action names.
gui::IGUIFont* bindingRowFont() {
    return getCachedFont(GUIControlsRemapScreen::bindingFontPath, guiUnits(16));
}

// The list fills the panel from just under the title to above the tooltip line, so that
// about twenty rows show at once rather than a dozen in the lower half.
constexpr f32 remapListUnits = 620.0f;

} // namespace

GUIControlsRemapScreen::GUIControlsRemapScreen(gui::IGUIEnvironment* environment, bool openedFromMainMenu)
    : GUIOptionsList(environment, openedFromMainMenu, true) {
    PassInput = true;
    PassUpdate = openedFromMainMenu;
    KeepTimerRunning = openedFromMainMenu;
    startFadeIn(remapFadeSeconds);
    buildScreen();
    ItemHeight = guiUnits(24);
}

void GUIControlsRemapScreen::buildScreen() {
    ItemHeight = guiUnits(24);
    ListHeight = guiUnits(remapListUnits);
    createPanel(0);
    createTitle(getLanguageText(remapTitleText).c_str(), getLanguageFont(4));
    buildItems();
    createBackButton();
    linkItemNeighbours();
    GUIScreen::OnPostRender(optionRowTime());
}

InputDevice* GUIControlsRemapScreen::shownDevicePointer() const {
    const auto& devices = InputDevice::deviceList();
    if (ShownDevice < 0 || ShownDevice >= static_cast<s32>(devices.size()))
        return nullptr;
    return devices[static_cast<std::size_t>(ShownDevice)];
}

void GUIControlsRemapScreen::createDeviceSelector() {
    DeviceSelector = new GUIOptionCycle(Environment, ScrollList, true, core::recti(0, 0, guiUnits(100), ItemHeight));
    placeOptionPart(DeviceSelector, getItemPosition(0).X, getItemPosition(0).Y);
    DeviceSelector->setLabel(getLanguageText(remapDeviceText).c_str());
    bindCallback(DeviceSelector->OnValueChanged, this, &GUIControlsRemapScreen::onDeviceChosen);
    const auto& devices = InputDevice::deviceList();
    for (std::size_t i = 0; i < devices.size(); ++i)
        if (devices[i]->takesPartInDetection())
            DeviceSelector->addValue(core::stringw(devices[i]->getAlternateDisplayName().c_str()), static_cast<s32>(i));
    if (ShownDevice == -1)
        ShownDevice = ChosenDevice = DeviceSelector->getSelectedId();
    DeviceSelector->selectValueById(ShownDevice);
    DeviceSelector->drop();
}

GUIOptionRemap* GUIControlsRemapScreen::addBindingRow(GUIRemapButton* heading, ButtonMapping* mapping) {
    auto* row = new GUIOptionRemap(heading, heading->getActionIndex(), mapping, Environment, ScrollList,
                                   core::recti(0, 0, guiUnits(300), ItemHeight));
    placeOptionPart(row, getItemPosition(0).X, getItemPosition(0).Y);
    row->getBindingButton()->setCaptionFont(bindingRowFont());
    bindCallback(row->Captured, this, &GUIControlsRemapScreen::onMappingCaptured);
    bindCallback(row->Deleted, this, &GUIControlsRemapScreen::onMappingDeleted);
    return row;
}

void GUIControlsRemapScreen::buildItems() {
    createDeviceSelector();
    ListHeight = guiUnits(remapListUnits) - (3 * ItemHeight) / 2;
    // As many rows as stand between the list's top and the tooltip line.
    const s32 bottomReserve = static_cast<s32>(static_cast<f32>(screenHeight) * 0.05f) + Margin;
    if (ScrollList && ItemHeight > 0)
        ScrollList->setVisibleCount(std::max(1, (ListHeight - bottomReserve) / ItemHeight));
    PlayerControls* controls = remapControls();
    InputDevice* shown = shownDevicePointer();
    InputDevice* paired = shown ? shown->getPairedDevice() : nullptr;
    gui::IGUIFont* headingFont = getLanguageFont(5);
    const s32 shift = guiUnits(-10);
    for (s32 action = 0; action < remappableActions; ++action) {
        auto* heading = new GUIRemapButton(action, core::stringw(GameAction::name(action)).c_str(), headingFont,
                                           Environment, ScrollList, core::recti(0, 0, ItemWidth, ItemHeight));
        placeOptionPart(heading, getItemPosition(0).X, getItemPosition(0).Y);
        if (GUITextButton* caption = heading->getCaptionButton()) {
            core::recti rect = caption->getRelativePosition();
            rect.UpperLeftCorner.X += shift;
            rect.LowerRightCorner.X += shift;
            caption->setRelativePosition(rect);
        }
        bindCallback(heading->AddRequested, this, &GUIControlsRemapScreen::onAddMapping);
        heading->drop();
        addItem(heading);
        if (!controls)
            continue;
        for (const auto& mapping : controls->mappings(action)) {
            if (!mapping->device || !mapping->keep)
                continue;
            if (mapping->device != shown && (!paired || mapping->device != paired))
                continue;
            GUIOptionRemap* row = addBindingRow(heading, mapping.get());
            row->drop();
            addItem(row);
        }
    }
}

void GUIControlsRemapScreen::linkItemNeighbours() {
    if (BackButton && DeviceSelector) {
        BackButton->setNeighbour(MenuKey::Down, DeviceSelector);
        DeviceSelector->setNeighbour(MenuKey::Up, BackButton);
    }
    const std::size_t count = Items.size();
    for (std::size_t i = 0; i < count; ++i) {
        GUIButton* item = Items[i];
        if (i == 0) {
            if (DeviceSelector) {
                item->setNeighbour(MenuKey::Up, DeviceSelector);
                const bool empty = !ScrollList || ScrollList->getChildren().empty();
                DeviceSelector->setNeighbour(MenuKey::Down, empty ? static_cast<GUIButton*>(ScrollList) : item);
            }
            if (count > 1)
                item->setNeighbour(MenuKey::Down, Items[1]);
        } else if (i + 1 < count) {
            item->setNeighbour(MenuKey::Up, Items[i - 1]);
            item->setNeighbour(MenuKey::Down, Items[i + 1]);
        } else {
            item->setNeighbour(MenuKey::Up, Items[i - 1]);
        }
    }
    setFocusedElement(DeviceSelector);
}

void GUIControlsRemapScreen::OnPostRender(u32 timeMs) {
    GUIOptionsList::OnPostRender(timeMs);
    // The top of the list shows while the first row under the selector has the focus.
    if (ScrollList && ScrollList->getFocusedIndex() == 1 && ScrollList->getFirstVisible() == 1)
        ScrollList->setFirstVisible(0);
    updatePanelSlide();
    if (FadeState == Shown && keyboardKeyState(KEY_DELETE) == deleteKeyPressed)
        deleteFocusedBinding();
    if (ChosenDevice != ShownDevice)
        selectDevice(ChosenDevice);
}

bool GUIControlsRemapScreen::deleteFocusedBinding() {
    gui::IGUIElement* focused = FocusedElement;
    // The delete button of a row counts as its row.
    if (focused && focused->getType() != toElementType(GuiType::OptionRemap))
        focused = focused->getParent();
    if (!focused || focused->getType() != toElementType(GuiType::OptionRemap))
        return false;
    return static_cast<GUIOptionRemap*>(focused)->deleteBinding();
}

void GUIControlsRemapScreen::onDeviceChosen(s32 deviceIndex) {
    // The list is rebuilt in the next frame, not inside the selector's own event.
    ChosenDevice = deviceIndex;
}

void GUIControlsRemapScreen::selectDevice(s32 deviceIndex) {
    if (isAnyRowCapturing() && screenManager)
        screenManager->setCaptureInput(false);
    ShownDevice = ChosenDevice = deviceIndex;
    if (PlayerControls* controls = remapControls())
        controls->removeUnboundMappings();
    Items.clear();
    Items.shrink_to_fit();
    // Everything of the old build goes; the new one is made in its place.
    grab();
    const core::list<gui::IGUIElement*> children = Children;
    for (gui::IGUIElement* child : children)
        removeChild(child);
    ScrollList = nullptr;
    DeviceSelector = nullptr;
    BackButton = nullptr;
    TitleText = nullptr;
    TitleBar = nullptr;
    TooltipText = nullptr;
    TooltipBar = nullptr;
    Panel = nullptr;
    FocusedElement = nullptr;
    buildScreen();
    if (getFadeState() == Shown)
        setItemsEnabled(true);
    drop();
}

bool GUIControlsRemapScreen::isAnyRowCapturing() const {
    for (GUIButton* item : Items)
        if (item && item->getType() == toElementType(GuiType::OptionRemap) &&
            static_cast<GUIOptionRemap*>(item)->isCapturing())
            return true;
    return false;
}

GUIOptionRemap* GUIControlsRemapScreen::findRow(const ButtonMapping* mapping) const {
    for (GUIButton* item : Items)
        if (item && item->getType() == toElementType(GuiType::OptionRemap) &&
            static_cast<GUIOptionRemap*>(item)->getMapping() == mapping)
            return static_cast<GUIOptionRemap*>(item);
    return nullptr;
}

GUIRemapButton* GUIControlsRemapScreen::findHeading(s32 action) const {
    for (GUIButton* item : Items)
        if (item && item->getType() == toElementType(GuiType::MenuItem) &&
            static_cast<GUIRemapButton*>(item)->getActionIndex() == action)
            return static_cast<GUIRemapButton*>(item);
    return nullptr;
}

void GUIControlsRemapScreen::onAddMapping(GUIButton* headingButton) {
    auto* heading = static_cast<GUIRemapButton*>(headingButton);
    PlayerControls* controls = remapControls();
    if (!heading || !controls || !ScrollList)
        return;
    const s32 index = ScrollList->getItemIndex(heading);
    ButtonMapping fresh;
    fresh.device = shownDevicePointer();
    fresh.normalise = true;
    fresh.indexFromFile = false;
    fresh.keep = false;
    ButtonMapping* mapping = controls->addMapping(heading->getActionIndex(), fresh);
    if (!mapping)
        return;
    GUIOptionRemap* row = addBindingRow(heading, mapping);
    placeOptionPart(row, -10000, 0);
    // The new row waits for its input at once.
    row->OnClick.invoke(reinterpret_cast<DelegateArg>(static_cast<GUIButton*>(row)));
    insertItem(row, static_cast<u32>(index + 1));
    setFocusedElement(row);
    row->drop();
}

void GUIControlsRemapScreen::onMappingCaptured(GUIButton* rowButton) {
    auto* row = static_cast<GUIOptionRemap*>(rowButton);
    const ButtonMapping* mapping = row ? row->getMapping() : nullptr;
    if (!mapping || !mapping->device || mapping->device == shownDevicePointer())
        return;
    const auto& devices = InputDevice::deviceList();
    const auto found = std::find(devices.begin(), devices.end(), mapping->device);
    if (found == devices.end())
        return;
    if (mapping->device->takesPartInDetection()) {
        ChosenDevice = static_cast<s32>(found - devices.begin());
    } else if (inputManager && mapping->device == static_cast<InputDevice*>(inputManager->getMouse())) {
        const auto keyboard = std::find(devices.begin(), devices.end(),
                                        static_cast<InputDevice*>(inputManager->getKeyboard()));
        if (keyboard != devices.end())
            ChosenDevice = static_cast<s32>(keyboard - devices.begin());
    }
}

void GUIControlsRemapScreen::onMappingDeleted(GUIButton* row) {
    if (ScrollList)
        ScrollList->removeItem(row);
}

void GUIControlsRemapScreen::onBack(GUIButton*) {
    if (isAnyRowCapturing())
        return;
    startFadeOut(remapFadeSeconds);
    if (PlayerControls* controls = remapControls())
        controls->writeMappings();
}

void GUIControlsRemapScreen::onFadeOutDone() {
    if (gameSettings)
        gameSettings->save();
    if (screenManager)
        screenManager->popScreen(this, true);
}

void GUIControlsRemapScreen::draw() {
    if (IsVisible)
        GUIScreen::draw();
}

void GUIControlsRemapScreen::setVisible(bool visible) {
    IsVisible = visible;
    setItemsEnabled(true);
}
