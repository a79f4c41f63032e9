#pragma once

#include "core/FloatTween.h"
#include "gui/GUIImage.h"
#include "render/SpriteAnimation.h"

// The paint drop of a suspicion gain: it splats over the 3D point of the gain, then flies
// along an arc into the HUD's meter and adds its amount to the suspicion value only when it
// lands. Made and reused by GUIHud::addSplat.
class GUISplat : public GUIImage {
public:
    static constexpr irr::f32 flightSeconds = 0.7f;
    static constexpr irr::s32 meterFillSound = 37;

    GUISplat(irr::f32 amount, const SpriteAnimation& splat, const SpriteAnimation& paintDrop,
             irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent, const irr::core::recti& rectangle);

    void draw() override;
    void OnPostRender(irr::u32 timeMs) override;
    void onAnimationFinished() override;

    // Starts the splat over the world position (GUIHud::addSplat).
    void start(irr::f32 amount, const irr::core::vector3df& position);
    // The screen point of a world position through the active camera; y is -1000 without one.
    static irr::core::position2di projectToScreen(const irr::core::vector3df& position);
    // Half the side of the splat's square.
    irr::s32 halfSize() const;

    bool isFlying() const { return Flying; }
    irr::f32 getAmount() const { return Amount; }
    const FloatTween& getFlight() const { return Flight; }

private:
    void land();

    irr::core::vector3df WorldPosition;
    irr::f32 Amount;
    bool Flying = false;
    irr::core::position2di StartPosition;
    irr::core::position2di TargetPosition;
    FloatTween Flight;
    SpriteAnimation Splat;
    SpriteAnimation PaintDrop;
};
