#pragma once

#include "gui/GUIOptionsList.h"

class GUIOptionCycle;
class GUIOptionRemap;
class GUIRemapButton;
class InputDevice;

// The bindings of the remappable actions (0-29) for one input device at a time: a device
// selector on top, then per action a heading with an add button followed by one row per
// binding of that action on the shown device (the keyboard's list shows the mouse's bindings
// too, and the other way round). Bindings are edited in player 0's controls; the remapping
// file is written when the screen is left. Back does nothing while a row waits for an input.
// Delete removes the focused binding, as its delete button does.
class GUIControlsRemapScreen : public GUIOptionsList {
public:
    static constexpr irr::s32 remappableActions = 30;
    static constexpr const char* bindingFontPath = "Content/Font/NoMove.ttf";

    GUIControlsRemapScreen(irr::gui::IGUIEnvironment* environment, bool openedFromMainMenu);

    void draw() override;
    void OnPostRender(irr::u32 timeMs) override;
    void setVisible(bool visible) override;
    void onFadeInDone() override { setItemsEnabled(true); }
    void onFadeOutDone() override;
    void buildScreen() override;
    void buildItems() override;
    void linkItemNeighbours() override;
    void onBack(GUIButton* element) override;

    bool isAnyRowCapturing() const;
    void onAddMapping(GUIButton* heading);
    void onMappingCaptured(GUIButton* row);
    void onMappingDeleted(GUIButton* row);
    // Removes the binding whose row or delete button has the focus; true when one went.
    bool deleteFocusedBinding();
    // Shows the bindings of the device at that index of the device list (rebuilds the list).
    void selectDevice(irr::s32 deviceIndex);

    GUIOptionCycle* getDeviceSelector() const { return DeviceSelector; }
    irr::s32 getShownDevice() const { return ShownDevice; }
    irr::s32 getChosenDevice() const { return ChosenDevice; }
    // The row of a binding, null when it is not listed.
    GUIOptionRemap* findRow(const struct ButtonMapping* mapping) const;
    GUIRemapButton* findHeading(irr::s32 action) const;

private:
    void onDeviceChosen(irr::s32 deviceIndex);
    void createDeviceSelector();
    GUIOptionRemap* addBindingRow(GUIRemapButton* heading, ButtonMapping* mapping);
    InputDevice* shownDevicePointer() const;

    GUIOptionCycle* DeviceSelector = nullptr;
    irr::s32 ShownDevice = -1;
    irr::s32 ChosenDevice = -1;
};
