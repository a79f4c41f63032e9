#pragma once

#include "core/Delegate.h"
#include "gui/GUIImage.h"

#include <map>
#include <optional>

class GUIScreen;

// The clickable image of every menu entry, option row and screen button. Besides mouse
// clicks it carries the menu navigation: each button knows its neighbour in each direction,
// the navigation codes 1000-1005 arriving as key events move the focus, click, or go on to
// the parent. Its look follows its state, from a 2 x 2 sheet of state pictures or from one
// texture per state. Owners react through the click, held, focus and unfocus lists, each
// invoked with the button.
class GUIButton : public GUIImage {
public:
    GUIButton(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent, irr::s32 id,
              const irr::core::rect<irr::s32>& rectangle);
    ~GUIButton() override;

    // --- IGUIElement and GUIImage ---
    bool OnEvent(const irr::SEvent& event) override;
    void draw() override;
    void OnPostRender(irr::u32 timeMs) override;
    void setEnabled(bool enabled) override;
    const irr::c8* getTypeName() const override { return "GUIButton"; }
    void setImage(irr::video::ITexture* image) override;

    // --- own ---
    virtual void setStateImages(irr::video::ITexture* normal, irr::video::ITexture* focused,
                                irr::video::ITexture* pressed, irr::video::ITexture* released,
                                irr::video::ITexture* disabled);
    virtual void click();
    virtual void setUserText(const irr::core::stringw& text) { UserText = text; }
    virtual const irr::core::stringw& getUserText() const { return UserText; }
    virtual void setFocusOnHover(bool focusOnHover) { FocusOnHover = focusOnHover; }
    virtual bool getFocusOnHover() const { return FocusOnHover; }
    virtual void setPressed(bool pressed);
    virtual bool isPressed() const { return Pressed; }
    virtual void setForwardFocus(bool forward) { ForwardFocus = forward; }
    virtual irr::s32 getState() const { return State; }
    virtual void setNeighbour(irr::s32 direction, GUIButton* element) { Neighbours[direction] = element; }
    virtual void setNeighbourToPrevious(irr::s32 direction) { PreviousNeighbours[direction] = true; }
    virtual GUIButton* getNeighbour(irr::s32 direction) const;
    virtual void setFocusTarget(GUIButton* element);
    virtual void onNavigationKey(irr::s32 code);
    virtual void focus();
    virtual void unfocus();
    virtual void setHoverPartner(irr::gui::IGUIElement* partner) { HoverPartner = partner; }
    virtual bool isFocused() const;
    virtual bool passFocusToPressed();
    virtual bool isInSubtree(const irr::gui::IGUIElement* element, const irr::gui::IGUIElement* root) const;
    virtual void setClickSound(bool clickSound) { ClickSound = clickSound; }

    void setStateSource(GUIButton* source) { StateSource = source; }
    // Takes the state source's state now rather than at the next post-render (which comes
    // after the frame's draw).
    void followStateSource() {
        if (StateSource)
            State = StateSource->getState();
    }
    GUIButton* getStateSource() const { return StateSource; }
    void setForwardFocusTarget(irr::gui::IGUIElement* target) { ForwardFocusTarget = target; }
    irr::gui::IGUIElement* getForwardFocusTarget() const { return ForwardFocusTarget; }
    GUIButton* getFocusTarget() const { return FocusTarget; }
    irr::gui::IGUIElement* getHoverPartner() const { return HoverPartner; }
    void setClickable(bool clickable) { Clickable = clickable; }
    bool isClickable() const { return Clickable; }
    void setIsPushButton(bool pushButton) { IsPushButton = pushButton; }
    bool getClickSound() const { return ClickSound; }
    bool usesStateImages() const { return UseStateImages; }
    // The part of the texture shown in the current state.
    irr::core::recti getStateSourceRect(irr::video::ITexture* texture) const;

    DelegateList OnClick;
    DelegateList OnHeld;
    DelegateList OnFocus;
    DelegateList OnUnfocus;

protected:
    bool passToParent(const irr::SEvent& event);
    void sendToParent(irr::gui::EGUI_EVENT_TYPE type);
    static void sendGuiEvent(irr::gui::IGUIElement* target, irr::gui::IGUIElement* caller,
                             irr::gui::IGUIElement* element, irr::gui::EGUI_EVENT_TYPE type);
    // A button with a state source hands every event to its parent; a disabled one keeps
    // every event. The answer in those cases, else none.
    std::optional<bool> answerBeforeHandling(const irr::SEvent& event);
    bool onMouseEvent(const irr::SEvent& event);
    bool onKeyEvent(const irr::SEvent& event);

    GUIButton* StateSource = nullptr;
    std::map<irr::s32, GUIButton*> Neighbours;
    std::map<irr::s32, bool> PreviousNeighbours;
    GUIButton* FocusTarget = nullptr;
    irr::gui::IGUIElement* ForwardFocusTarget = nullptr;
    GUIScreen* OwningScreen = nullptr;
    irr::s32 State = 0;
    irr::video::ITexture* StateImages[4] = {};
    irr::gui::IGUIElement* HoverPartner = nullptr;
    irr::core::stringw UserText;
    bool Clickable = true;
    bool IsPushButton = false;
    bool Pressed = false;
    bool ForwardFocus = false;
    bool FocusOnHover = true;
    bool UseStateImages = false;
    bool ClickSound = true;
};
