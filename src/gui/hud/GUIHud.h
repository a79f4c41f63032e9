#pragma once

#include "gui/GUIScreen.h"
#include "render/SpriteAnimation.h"

#include <utility>
#include <vector>

class GUIImage;
class GUISplat;

// The in-game heads-up display: the suspicion meter (drawn for the objective panel), two
// vignettes whose strength follows the suspicion value, and the paint splats that fly into
// the meter. It freezes while a menu or dialog holds the input and does not draw behind the
// front-end menus, while the game is not running or while a level loads.
class GUIHud : public GUIScreen {
public:
    static constexpr const char* splatAnimationPath = "Content/Billboards/Splat.xml";
    static constexpr const char* paintDropAnimationPath = "Content/Billboards/PaintDrop.xml";
    static constexpr const char* vignettePath = "Content/Screens/Backgrounds/Vignette.dds";

    GUIHud(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent);
    ~GUIHud() override;

    void draw() override;
    void OnPostRender(irr::u32 timeMs) override;
    const irr::c8* getTypeName() const override { return "GUIHud"; }
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    virtual irr::s32 getElementTypeId() const;

    // Starts a paint splat over the world position that adds the amount when it lands.
    void addSplat(irr::f32 amount, const irr::core::vector3df& position);
    // Draws the meter unless a cutscene covers the game, a menu is open or the objective
    // panel is missing or hidden.
    void drawMeterIfShown();
    void drawSuspicionMeter();

    // Where the meter is on screen (the splats' flight target); recomputed by every meter
    // computation.
    const irr::core::recti& getMeterRect() const { return MeterRect; }
    // Computes the meter rectangle from the objective panel and the pause screen's dimming.
    void updateMeterRect();
    const std::vector<GUISplat*>& getSplats() const { return Splats; }
    GUIImage* getVignette(int index) const { return index == 0 ? Vignette1 : Vignette2; }
    irr::f32 getAlpha() const { return Alpha; }
    // The objective panel the meter is anchored to (none until it is made).
    irr::gui::IGUIElement* ObjectivePanel = nullptr;

private:
    enum MeterLayer { BaseLayer, ValueFill, PreviousFill, TrailingFill, Mask, Warning, Overlay, Eye, LayerCount };

    void drawFill(irr::video::ITexture* texture, irr::f32 fill);

    irr::video::ITexture* Textures[LayerCount] = {};
    GUIImage* Vignette1 = nullptr;
    GUIImage* Vignette2 = nullptr;
    std::vector<std::pair<MeterLayer, bool>> Layers;
    std::vector<GUISplat*> Splats;
    irr::f32 TargetAlpha = 1.0f;
    irr::f32 Alpha = 1.0f;
    irr::core::recti MeterRect;
    SpriteAnimation SplatTemplate;
    SpriteAnimation PaintDropTemplate;
};
