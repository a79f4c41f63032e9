#pragma once

#include "gui/GUIButton.h"

class GUIRemapButton;
class GUITextButton;
struct ButtonMapping;

// One binding of an input action on the controls remapping screen: the bound input's name,
// a delete button, and, while the binding has no input yet, an add button. Clicking the row
// (or accept) makes it wait for any input: the screen manager scans the devices each frame
// and the row takes the captured input over in its next frame. While it waits, it swallows
// every event, so the input that ends the wait never reaches the menu behind it; Escape
// ends the wait without a new binding.
class GUIOptionRemap : public GUIButton {
public:
    static constexpr const char* highlightTexture = "Content/Screens/Buttons/OptionCycleHighlight.png";
    static constexpr const char* captureTexture = "Content/Screens/Objects/OptionColor3.png";
    static constexpr const char* addTexture = "Content/Screens/Buttons/RemapAdd.png";
    static constexpr const char* deleteTexture = "Content/Screens/Buttons/RemapDelete.png";
    // Frames a row waits after a capture starts or ends before it acts again.
    static constexpr irr::s32 settleFrames = 5;

    GUIOptionRemap(GUIRemapButton* heading, irr::s32 actionIndex, ButtonMapping* mapping,
                   irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent,
                   const irr::core::rect<irr::s32>& rectangle);
    ~GUIOptionRemap() override;

    bool OnEvent(const irr::SEvent& event) override;
    void OnPostRender(irr::u32 timeMs) override;
    void setEnabled(bool enabled) override;
    void onNavigationKey(irr::s32 code) override;
    void focus() override;
    void unfocus() override;

    void setCapturing(bool capturing);
    // Ends a wait for an input without a new binding: the binding keeps its input, and a new
    // one that never had an input leaves (its deleted delegates fire). Escape does this.
    void cancelCapture();
    // Removes the binding as its delete button does, when the row is settled, not waiting
    // and bound; true when it did.
    bool deleteBinding();
    bool isCapturing() const { return Capturing; }
    irr::s32 getActionIndex() const { return ActionIndex; }
    ButtonMapping* getMapping() const { return Mapping; }
    GUIRemapButton* getHeading() const { return Heading; }
    GUITextButton* getBindingButton() const { return BindingButton; }
    GUIButton* getAddButton() const { return AddButton; }
    GUIButton* getDeleteButton() const { return DeleteButton; }
    GUIButton* getCaptureBar() const { return CaptureBar; }
    irr::s32 getSettleCounter() const { return SettleCounter; }

    // Fired with the row when a binding without an input received one.
    DelegateList Captured;
    // Fired with the row when its delete button cleared the binding.
    DelegateList Deleted;

private:
    void toggleCapture();
    void relayClick();
    void onDeleteClicked();
    void refreshCaption();
    void showCapturePrompt();
    void switchManagerCapture();
    bool isBound() const;

    GUIRemapButton* Heading;
    GUITextButton* BindingButton = nullptr;
    GUIButton* Highlight = nullptr;
    GUIButton* CaptureBar = nullptr;
    GUIButton* AddButton = nullptr;
    GUIButton* DeleteButton = nullptr;
    irr::s32 ActionIndex;
    irr::s32 SettleCounter = 0;
    ButtonMapping* Mapping;
    bool Capturing = false;
};
