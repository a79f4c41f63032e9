#pragma once

#include "core/FloatTween.h"

#include <IGUIElement.h>
#include <irrString.h>

#include <vector>

class GUIButton;

// The full-screen container of every menu, the HUD, the subtitle layer and the dialogs: an
// optional background picture fitted to the screen, a fade-in / fade-out state machine with
// hooks for subclasses, the element that has the keyboard and gamepad focus, and the flags
// that tell the screen manager what may run behind it.
class GUIScreen : public irr::gui::IGUIElement {
public:
    enum FadeStates { FadingIn = 0, Shown = 1, FadingOut = 2, FadedOut = 3 };

    GUIScreen(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent, irr::s32 id,
              const irr::core::rect<irr::s32>& rectangle);
    ~GUIScreen() override;

    // --- IGUIElement ---
    void draw() override;
    void OnPostRender(irr::u32 timeMs) override;
    const irr::c8* getTypeName() const override { return "GUIScreen"; }
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // --- own ---
    virtual void setBackgroundTexture(const irr::core::stringc& path);
    virtual GUIButton* getFocusedElement() const { return FocusedElement; }
    virtual void setFocusedElement(GUIButton* element);
    virtual bool getKeepTimerRunning() const { return KeepTimerRunning; }
    virtual void setKeepTimerRunning(bool keep) { KeepTimerRunning = keep; }
    virtual bool getPassUpdate() const { return PassUpdate; }
    virtual void refreshFocus() { setFocusedElement(FocusedElement); }
    virtual void reservedHook() {}
    virtual void onShow() {}
    virtual void onFadingIn() {}
    virtual void onFadingOut() {}
    virtual void startFadeIn(irr::f32 seconds);
    virtual void startFadeOut(irr::f32 seconds);
    virtual void onFadeInDone() {}
    virtual void onFadeOutDone() {}

    // The first screen on the parent chain of the element (the element itself first); null
    // when the chain ends without one.
    static GUIScreen* findOwningScreen(const irr::gui::IGUIElement* element);
    // Every screen alive, in construction order.
    static const std::vector<GUIScreen*>& allScreens();

    // Where a background picture of that size goes on the screen: fitted to the longer axis,
    // centred and cropped equally on both sides of it.
    static irr::core::recti backgroundRect(const irr::core::dimension2du& pictureSize, irr::s32 width,
                                           irr::s32 height);
    // Whether draw draws that child (every child, unless a screen says otherwise).
    virtual bool drawsChild(const irr::gui::IGUIElement* child) const {
        (void)child;
        return true;
    }
    // Lays the screen and its elements out again (so that the screen follows a change of the
    // screen size), when it is visible and the screen size, the area of its parent or the
    // focus changed since the last time; true when it did. Elements that move or change their
    // text lay themselves out; a steady frame lays out nothing.
    bool layOutIfChanged();
    // The next visible frame lays the screen out again.
    void requestLayout() { LayoutPending = true; }
    // Hides the screen without the reaction of setVisible (the pause screen's).
    void clearVisibleFlag() { IsVisible = false; }

    irr::gui::IGUIEnvironment* getGuiEnvironment() const { return Environment; }
    irr::s32 getFadeState() const { return FadeState; }
    const FloatTween& getFadeInTween() const { return FadeInTween; }
    const FloatTween& getFadeOutTween() const { return FadeOutTween; }
    irr::video::ITexture* getBackgroundTexture() const { return BackgroundTexture; }
    const irr::core::stringc& getBackgroundTexturePath() const { return BackgroundTexturePath; }

    // The command a menu runs when its fade-out ends.
    irr::core::stringc PendingCommand;
    // Game input reaches the player while this screen is on top.
    bool PassInput = false;
    // The game keeps updating while this screen is on top.
    bool PassUpdate = false;

protected:
    // Runs the tween from 0 to 1 over the seconds (smoothstep); 0 seconds puts it at its end.
    void startFade(FloatTween& tween, irr::f32 seconds, FadeStates state);
    // Advances one fade by the frame's delta; runs the done hook one frame after the end.
    void advanceFade(FloatTween& tween, FadeStates doneState, void (GUIScreen::*done)(),
                     void (GUIScreen::*perFrame)());

    irr::core::stringc BackgroundTexturePath;
    irr::video::ITexture* BackgroundTexture = nullptr;
    GUIButton* FocusedElement = nullptr;
    bool KeepTimerRunning = false;
    FloatTween FadeInTween;
    FloatTween FadeOutTween;
    irr::s32 FadeState = Shown;
    bool ShowPending = true;

private:
    // What the last layout was made for.
    bool LayoutPending = true;
    irr::core::recti LaidOutArea;
    irr::core::dimension2di LaidOutSize;
};
