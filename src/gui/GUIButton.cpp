#include "gui/GUIButton.h"

#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "gui/GUIScreen.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"

#include <ICursorControl.h>
#include <IGUIEnvironment.h>
#include <ITexture.h>
#include <IrrlichtDevice.h>

#include <optional>
#include <set>

using namespace irr;

GUIButton::GUIButton(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, s32 id,
                     const core::rect<s32>& rectangle)
    : GUIImage(environment, parent, id, rectangle) {
    Type = toElementType(GuiType::Button);
    DrawnByOwner = false;
    TileImage = false;
}

GUIButton::~GUIButton() {
    OnClick.clear();
    OnHeld.clear();
    OnFocus.clear();
    OnUnfocus.clear();
    for (video::ITexture*& image : StateImages)
        if (image) {
            image->drop();
            image = nullptr;
        }
}

void GUIButton::setImage(video::ITexture* image) {
    GUIImage::setImage(image);
    UseStateImages = false;
}

void GUIButton::setStateImages(video::ITexture* normal, video::ITexture* focused, video::ITexture* pressed,
                               video::ITexture* released, video::ITexture* disabled) {
    setImage(normal);
    video::ITexture* images[4] = {focused, pressed, released, disabled};
    for (int i = 0; i < 4; ++i) {
        if (images[i] == StateImages[i])
            continue;
        if (images[i])
            images[i]->grab();
        if (StateImages[i])
            StateImages[i]->drop();
        StateImages[i] = images[i];
    }
    UseStateImages = true;
}

// --- events ---------------------------------------------------------------------------------

bool GUIButton::passToParent(const SEvent& event) { return Parent ? Parent->OnEvent(event) : false; }

void GUIButton::sendGuiEvent(gui::IGUIElement* target, gui::IGUIElement* caller, gui::IGUIElement* element,
                             gui::EGUI_EVENT_TYPE type) {
    if (!target)
        return;
    SEvent event;
    event.EventType = EET_GUI_EVENT;
    event.GUIEvent.Caller = caller;
    event.GUIEvent.Element = element;
    event.GUIEvent.EventType = type;
    target->OnEvent(event);
}

void GUIButton::sendToParent(gui::EGUI_EVENT_TYPE type) { sendGuiEvent(Parent, this, nullptr, type); }

std::optional<bool> GUIButton::answerBeforeHandling(const SEvent& event) {
    if (StateSource)
        return passToParent(event);
    if (!IsEnabled) {
        State = ButtonState::Disabled;
        return true;
    }
    return std::nullopt;
}

bool GUIButton::OnEvent(const SEvent& event) {
    if (const std::optional<bool> answer = answerBeforeHandling(event))
        return *answer;
    if (isLoadingOverlayOpaque())
        return true;

    switch (event.EventType) {
    case EET_GUI_EVENT:
        if (event.GUIEvent.EventType == gui::EGET_ELEMENT_FOCUSED ||
            (event.GUIEvent.EventType == gui::EGET_ELEMENT_HOVERED && FocusOnHover)) {
            focus();
            return false;
        }
        return passToParent(event);
    case EET_MOUSE_INPUT_EVENT:
        return onMouseEvent(event);
    case EET_KEY_INPUT_EVENT:
        return onKeyEvent(event);
    default:
        return passToParent(event);
    }
}

bool GUIButton::onMouseEvent(const SEvent& event) {
    const core::position2di point(event.MouseInput.X, event.MouseInput.Y);
    if (event.MouseInput.Event == EMIE_LMOUSE_PRESSED_DOWN) {
        if (Environment->hasFocus(this) && !isPointInside(point)) {
            Environment->removeFocus(this);
            return false;
        }
        if (!IsPushButton) {
            setPressed(true);
            State = ButtonState::Pressed;
        }
        Environment->setFocus(this);
        return true;
    }
    if (event.MouseInput.Event == EMIE_LMOUSE_LEFT_UP) {
        const bool wasPressed = Pressed;
        Environment->removeFocus(this);
        if (!isPointInside(point)) {
            if (State == ButtonState::Pressed)
                State = ButtonState::Released;
            if (!IsPushButton)
                setPressed(false);
            return true;
        }
        // A click may take the button out of the tree; it stays alive until the end.
        grab();
        if (!IsPushButton)
            click();
        else
            setPressed(!Pressed);
        const bool ends = IsPushButton ? Pressed == wasPressed : (!wasPressed || !Parent);
        if (!ends)
            sendToParent(gui::EGET_BUTTON_CLICKED);
        drop();
        return true;
    }
    return passToParent(event);
}

bool GUIButton::onKeyEvent(const SEvent& event) {
    const s32 code = eventKeyCode(event);
    if (event.KeyInput.PressedDown) {
        if (MenuKey::isNavigation(code)) {
            grab();
            onNavigationKey(code);
            GUIButton* neighbour = getNeighbour(code);
            if (neighbour)
                neighbour->focus();
            const bool handled = neighbour != nullptr;
            const bool result = handled ? false : passToParent(event);
            drop();
            return result;
        }
        if (code == KEY_RETURN || code == KEY_SPACE) {
            if (IsPushButton)
                setPressed(!Pressed);
            else
                setPressed(true);
            return true;
        }
        if (code == KEY_ESCAPE && !IsPushButton && Pressed) {
            setPressed(false);
            return true;
        }
        return passToParent(event);
    }
    if ((code == KEY_RETURN || code == KEY_SPACE) && Pressed) {
        grab();
        Environment->removeFocus(this);
        if (!IsPushButton)
            click();
        sendToParent(gui::EGET_BUTTON_CLICKED);
        drop();
        return true;
    }
    return passToParent(event);
}

// --- state -------------------------------------------------------------------------------------

void GUIButton::setPressed(bool pressed) {
    if (!isGameplaySuspendedOrLoading())
        Pressed = pressed;
}

void GUIButton::click() {
    if (!IsEnabled || !Clickable)
        return;
    if (!OwningScreen)
        OwningScreen = askHook(guiHooks().screens.findScreenOf, nullptr, this);
    if (OwningScreen && OwningScreen->getFadeState() != GUIScreen::Shown)
        return;
    setPressed(false);
    if (State != ButtonState::Released) {
        if (ClickSound)
            playSoundEffect(soundClick);
        grab();
        OnClick.invoke(reinterpret_cast<DelegateArg>(this));
        State = ButtonState::Released;
        drop();
        return;
    }
    State = ButtonState::Released;
}

void GUIButton::setEnabled(bool enabled) {
    if (!enabled) {
        State = ButtonState::Disabled;
        IsEnabled = false;
    } else {
        IsEnabled = true;
        if (State == ButtonState::Disabled)
            State = ButtonState::Normal;
    }
}

void GUIButton::onNavigationKey(s32 code) {
    if (code == MenuKey::Accept)
        click();
}

GUIButton* GUIButton::getNeighbour(s32 direction) const {
    // Disabled buttons are skipped; a ring of disabled buttons ends the walk.
    std::set<const GUIButton*> visited;
    const GUIButton* at = this;
    while (at && visited.insert(at).second) {
        GUIButton* candidate = nullptr;
        if (at->PreviousNeighbours.count(direction)) {
            candidate = at->FocusTarget;
        } else {
            auto found = at->Neighbours.find(direction);
            candidate = found != at->Neighbours.end() ? found->second : nullptr;
        }
        if (!candidate || candidate->isEnabled())
            return candidate;
        at = candidate;
    }
    return nullptr;
}

void GUIButton::setFocusTarget(GUIButton* element) {
    if (!element) {
        FocusTarget = nullptr;
        return;
    }
    const auto& findScreenOf = guiHooks().screens.findScreenOf;
    if (screenManager && askHook(findScreenOf, nullptr, element) == askHook(findScreenOf, nullptr, this))
        FocusTarget = element;
}

void GUIButton::focus() {
    if (ForwardFocus) {
        sendGuiEvent(ForwardFocusTarget, this, ForwardFocusTarget, gui::EGET_ELEMENT_FOCUSED);
        return;
    }
    if (passFocusToPressed() || State == ButtonState::Focused)
        return;
    State = ButtonState::Focused;
    if (askHook(guiHooks().screens.topScreen, nullptr)) {
        GUIScreen* screen = GUIScreen::findOwningScreen(this);
        if (screen && screen->getFocusedElement() != this) {
            playSoundEffect(soundMenuHover);
            setFocusTarget(screen->getFocusedElement());
            screen->setFocusedElement(this);
        }
    }
    OnFocus.invoke(reinterpret_cast<DelegateArg>(this));
}

void GUIButton::unfocus() {
    if (State == ButtonState::Pressed)
        return;
    OnUnfocus.invoke(reinterpret_cast<DelegateArg>(this));
    State = ButtonState::Normal;
}

bool GUIButton::isFocused() const { return askHook(guiHooks().screens.topScreenFocus, nullptr) == this; }

bool GUIButton::passFocusToPressed() {
    GUIButton* focused = askHook(guiHooks().screens.topScreenFocus, nullptr);
    if (!focused || focused->getState() != ButtonState::Pressed)
        return false;
    focused->setHoverPartner(StateSource ? static_cast<gui::IGUIElement*>(StateSource) : this);
    return true;
}

bool GUIButton::isInSubtree(const gui::IGUIElement* element, const gui::IGUIElement* root) const {
    if (!root)
        return false;
    if (root == element)
        return true;
    for (const gui::IGUIElement* child : root->getChildren())
        if (isInSubtree(element, child))
            return true;
    return false;
}

// --- frame ---------------------------------------------------------------------------------------

void GUIButton::OnPostRender(u32 timeMs) {
    if (StateSource)
        State = StateSource->getState();
    else if (!isEnabled())
        State = ButtonState::Disabled;
    if (State == ButtonState::Released)
        State = isFocused() ? ButtonState::Focused : ButtonState::Normal;
    if (State == ButtonState::Pressed)
        OnHeld.invoke(reinterpret_cast<DelegateArg>(this));

    const s32 shown = getState();
    if ((shown == ButtonState::Pressed || shown == ButtonState::Released) && HoverPartner && gameDevice &&
        isMousePointerActive()) {
        gui::ICursorControl* cursor = gameDevice->getCursorControl();
        if (cursor) {
            const core::position2di point = cursor->getPosition();
            if (!AbsoluteClippingRect.isPointInside(point) &&
                HoverPartner->getAbsoluteClippingRect().isPointInside(point))
                sendGuiEvent(HoverPartner, HoverPartner, HoverPartner, gui::EGET_ELEMENT_HOVERED);
        }
    }
    GUIImage::OnPostRender(timeMs);
}

core::recti GUIButton::getStateSourceRect(video::ITexture* texture) const {
    if (!texture)
        return core::recti(0, 0, 0, 0);
    const core::dimension2du size = texture->getOriginalSize();
    const s32 w = static_cast<s32>(size.Width);
    const s32 h = static_cast<s32>(size.Height);
    if (UseStateImages)
        return core::recti(0, 0, w, h);
    switch (State) {
    case ButtonState::Focused:
    case ButtonState::Released:
        return core::recti(w / 2, 0, w, h / 2);
    case ButtonState::Pressed:
        return core::recti(0, h / 2, w / 2, h);
    case ButtonState::Disabled:
        return core::recti(w / 2, h / 2, w, h);
    default:
        return core::recti(0, 0, w / 2, h / 2);
    }
}

void GUIButton::draw() {
    if (!IsVisible)
        return;
    video::ITexture* texture = Texture;
    if (UseStateImages && State >= ButtonState::Focused && State <= ButtonState::Disabled)
        texture = StateImages[State - 1];
    if (texture)
        drawTexture(texture, getStateSourceRect(texture));
    if (isVisible())
        drawChildren();
}
