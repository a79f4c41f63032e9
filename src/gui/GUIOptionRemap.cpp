#include "gui/GUIOptionRemap.h"

#include "gui/ButtonCaptions.h"

#include "core/Globals.h"
#include "gui/GUIMenuItem.h"
#include "gui/GUIScreen.h"
#include "gui/GUITextButton.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/OptionRowParts.h"
#include "player/InputDevice.h"
#include "player/InputEvent.h"
#include "player/InputManager.h"
#include "player/devices/MouseDevice.h"

#include <IGUIEnvironment.h>
#include <IVideoDriver.h>

using namespace irr;

namespace {

// The first mouse button is going down or held (a click still in progress).
bool remapMouseButtonDown() {
    if (!inputManager || !inputManager->getMouse())
        return false;
    const u32 left = inputManager->getMouse()->systemMouse().left;
    return left == InputState::Pressed || left == InputState::Down;
}

GUIButton* addRemapPart(gui::IGUIEnvironment* environment, GUIButton* row, s32 x, s32 y, const char* picture) {
    const s32 size = guiUnits(20);
    return addOptionPart(environment, row, core::recti(x, y, x + size, y + size), picture);
}

// The key that, while a row waits for an input, cancels the wait instead of becoming the
// binding: the fixed menu-back key of the keyboard, bound to none of the listed actions.
constexpr s32 cancelCaptureKey = KEY_ESCAPE;
constexpr s32 keyPressedThisFrame = 2;

} // namespace

GUIOptionRemap::GUIOptionRemap(GUIRemapButton* heading, s32 actionIndex, ButtonMapping* mapping,
                               gui::IGUIEnvironment* environment, gui::IGUIElement* parent,
                               const core::rect<s32>& rectangle)
    : GUIButton(environment, parent, 0, rectangle), Heading(heading), ActionIndex(actionIndex), Mapping(mapping) {
    Type = toElementType(GuiType::OptionRemap);
    const core::recti local(0, 0, rectangle.getWidth(), rectangle.getHeight());
    video::IVideoDriver* driver = environment->getVideoDriver();

    Highlight = new GUIButton(environment, this, -1, local);
    Highlight->setImage(driver->getTexture(highlightTexture));
    Highlight->setUseAlphaChannel(true);
    Highlight->setAlignment(gui::EGUIA_SCALE, gui::EGUIA_SCALE, gui::EGUIA_SCALE, gui::EGUIA_SCALE);
    Highlight->setScaleImage(true);
    Highlight->setNotClipped(true);
    Highlight->drop();

    video::ITexture* bar = driver->getTexture(captureTexture);
    CaptureBar = new GUIButton(environment, this, -1, local);
    CaptureBar->setStateImages(bar, bar, bar, bar, bar);
    CaptureBar->setUseAlphaChannel(true);
    CaptureBar->setAlignment(gui::EGUIA_SCALE, gui::EGUIA_SCALE, gui::EGUIA_SCALE, gui::EGUIA_SCALE);
    CaptureBar->setScaleImage(true);
    CaptureBar->setNotClipped(true);
    CaptureBar->setVisible(false);
    CaptureBar->drop();

    BindingButton = new GUITextButton(environment, this, -1, local);
    BindingButton->setStateColors(video::SColor(0xFF4D537D), video::SColor(0xFF000000), video::SColor(0xFF323296),
                                  video::SColor(0xFF000000));
    BindingButton->setCaptionAlignment(gui::EGUIA_UPPERLEFT, gui::EGUIA_CENTER);
    BindingButton->setAlignment(gui::EGUIA_SCALE, gui::EGUIA_SCALE, gui::EGUIA_SCALE, gui::EGUIA_SCALE);
    bindCallback(BindingButton->OnClick, this, &GUIOptionRemap::relayClick);
    BindingButton->setStateSource(this);
    BindingButton->setNotClipped(true);
    BindingButton->drop();

    const s32 y0 = ((rectangle.LowerRightCorner.Y - guiUnits(20)) - rectangle.UpperLeftCorner.Y) / 2;
    AddButton = addRemapPart(environment, this, 0, y0, addTexture);
    AddButton->setStateSource(this);
    // The delete button takes its own clicks and focus (a click on it must not reach the
    // row, where it would start a capture) and shows its own state when it has the focus.
    DeleteButton = addRemapPart(environment, this, guiUnits(250), y0, deleteTexture);
    bindCallback(DeleteButton->OnClick, this, &GUIOptionRemap::onDeleteClicked);

    refreshCaption();
    bindCallback(OnClick, this, &GUIOptionRemap::toggleCapture);

    // The bar runs from just left of the binding text to past the panel's screen edge (the
    // rows stand in a sub panel on the right).
    const core::recti barRect = menuRowHighlightRect(BindingButton->getRelativePosition(), 1, true, 8);
    CaptureBar->setRelativePosition(barRect);
    Highlight->setRelativePosition(barRect);
    Highlight->setStateSource(this);
    ForwardFocusTarget = BindingButton;

    setNeighbour(MenuKey::Right, DeleteButton);
    DeleteButton->setNeighbour(MenuKey::Left, this);
    OnPostRender(optionRowTime());
}

GUIOptionRemap::~GUIOptionRemap() {
    Captured.clear();
    Deleted.clear();
}

bool GUIOptionRemap::isBound() const { return Mapping && Mapping->keep; }

void GUIOptionRemap::relayClick() { OnClick.invoke(reinterpret_cast<DelegateArg>(static_cast<GUIButton*>(this))); }

void GUIOptionRemap::switchManagerCapture() {
    SettleCounter = 0;
    callHook(guiHooks().screens.setCaptureInput, Capturing);
}

void GUIOptionRemap::toggleCapture() {
    Capturing = !Capturing;
    switchManagerCapture();
    if (!Capturing)
        return;
    if (Heading) {
        if (GUIButton* add = Heading->getAddButton())
            add->setVisible(false);
        Heading->setAddingAllowed(false);
    }
    showCapturePrompt();
    if (AddButton->isVisible())
        AddButton->setVisible(false);
}

void GUIOptionRemap::setCapturing(bool capturing) {
    if (capturing == Capturing)
        return;
    Capturing = capturing;
    switchManagerCapture();
}

void GUIOptionRemap::showCapturePrompt() { BindingButton->setText(L"[Press a button]"); }

void GUIOptionRemap::refreshCaption() {
    if (!isBound() || !Mapping->device)
        return;
    const std::wstring name = readableButtonName(Mapping->device->getButtonName(Mapping->buttonIndex));
    BindingButton->setText(name.c_str());
}

void GUIOptionRemap::OnPostRender(u32 timeMs) {
    GUIButton::OnPostRender(timeMs);
    const bool bound = isBound();
    CaptureBar->setVisible(Capturing);
    AddButton->setVisible(!bound && !Capturing);
    AddButton->setEnabled(!bound && !Capturing);
    DeleteButton->setVisible(bound);
    DeleteButton->setEnabled(bound);
    BindingButton->setVisible(bound || Capturing);

    // The click that started a capture must be over before the row listens again.
    if (SettleCounter <= settleFrames && !remapMouseButtonDown())
        ++SettleCounter;
    if (Capturing && keyboardKeyState(cancelCaptureKey) == keyPressedThisFrame) {
        cancelCapture();
        return;
    }
    if (!Capturing) {
        if (SettleCounter == settleFrames && Heading) {
            if (GUIButton* add = Heading->getAddButton())
                add->setVisible(true);
            Heading->setAddingAllowed(true);
        }
        return;
    }
    if (SettleCounter <= settleFrames || !Mapping)
        return;
    ButtonMapping captured;
    captured.normalise = true;
    captured.indexFromFile = false;
    captured.keep = true;
    if (!askHook(guiHooks().screens.capturedInput, false, captured))
        return;
    const bool wasBound = Mapping->keep;
    *Mapping = captured;
    Mapping->keep = wasBound;
    if (!wasBound) {
        Mapping->keep = true;
        Captured.invoke(reinterpret_cast<DelegateArg>(static_cast<GUIButton*>(this)));
    }
    SettleCounter = 0;
    if (GUIScreen* screen = askHook(guiHooks().screens.findScreenOf, nullptr, this))
        screen->setFocusedElement(this);
    refreshCaption();
    setCapturing(false);
}

bool GUIOptionRemap::OnEvent(const SEvent& event) {
    if (Capturing || SettleCounter <= settleFrames)
        return false;
    return GUIButton::OnEvent(event);
}

void GUIOptionRemap::cancelCapture() {
    setCapturing(false);
    refreshCaption();
    // A binding that never had an input leaves with its row, as a deleted one does.
    if (!isBound())
        Deleted.invoke(reinterpret_cast<DelegateArg>(static_cast<GUIButton*>(this)));
}

void GUIOptionRemap::onDeleteClicked() {
    if (!Mapping)
        return;
    setCapturing(false);
    Mapping->keep = false;
    Deleted.invoke(reinterpret_cast<DelegateArg>(static_cast<GUIButton*>(this)));
}

bool GUIOptionRemap::deleteBinding() {
    if (Capturing || SettleCounter <= settleFrames || !isBound())
        return false;
    onDeleteClicked();
    return true;
}

void GUIOptionRemap::onNavigationKey(s32 code) {
    if (code == MenuKey::Accept && isFocused())
        click();
}

void GUIOptionRemap::focus() {
    GUIButton::focus();
    State = ButtonState::Focused;
}

void GUIOptionRemap::unfocus() {
    State = ButtonState::Normal;
    BindingButton->unfocus();
}

void GUIOptionRemap::setEnabled(bool enabled) {
    if (!enabled)
        State = ButtonState::Disabled;
    else if (State == ButtonState::Disabled)
        State = ButtonState::Normal;
    IsEnabled = enabled;
    BindingButton->setEnabled(enabled);
    Highlight->setEnabled(enabled);
}
