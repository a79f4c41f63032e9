#pragma once

#include "level/LevelObject.h"

#include <irrlicht.h>

#include <string>
#include <vector>

class SoundObject;
class TextObject;

// A speech bubble ('txtb'): its text split at backslashes into lines, each line a text
// object, over a card textured with "Content/Models/UI/TextBubble.png" sized to the text.
// The letters appear one by one at "TextSpeed" characters a second, with a click for every
// letter that is not a space, and start again from the first whenever the bubble is shown
// again. It draws nothing itself: lines, card and sound are children it makes and keeps.
// A card that would reach over the top edge of the view is lowered (toward the view's
// bottom) until it stands just inside it, so the text is never cut off there.
class TextBubbleObject : public LevelObject {
public:
    static constexpr const char* bubbleTexturePath = "Content/Models/UI/TextBubble.png";
    static constexpr const char* clickEventName = "GameAudio/Audio/UI/Click";

    TextBubbleObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);
    ~TextBubbleObject() override;

    void OnAnimate(irr::u32 timeMs) override;
    void render() override {}
    const irr::core::aabbox3df& getBoundingBox() const override { return Box; }
    irr::video::SMaterial& getMaterial(irr::u32 i) override;
    irr::u32 getMaterialCount() const override;
    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("txtb"); }
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // The text-object operations on the bubble's own glyphs (kept for the text interface;
    // the bubble's letters are drawn by its lines).
    virtual void setGlyphScale(const irr::core::vector2df& scale);
    virtual irr::core::vector2df getGlyphScale() const { return glyphScale; }
    virtual void setColor(irr::video::SColor top, irr::video::SColor bottom);
    virtual void getColor(irr::video::SColor& top, irr::video::SColor& bottom) const;

    // Splits the text into lines, lays them out, sizes the card and hides every letter.
    void rebuildBubble();
    // Advances the reveal by the seconds (OnAnimate uses the frame time).
    void advanceReveal(irr::f32 seconds);

    const std::vector<std::wstring>& getLines() const { return lines; }
    const std::vector<TextObject*>& getLineObjects() const { return lineObjects; }
    irr::scene::ISceneNode* getBubbleCard() const { return bubble; }
    irr::scene::ISceneNode* getTextHolder() const { return textHolder; }
    SoundObject* getClickSound() const { return clickSound; }
    irr::s32 getGlyphCount() const { return glyphCount; }
    irr::f32 getRevealProgress() const { return revealProgress; }
    // Letters shown now, over the current lines.
    irr::s32 countRevealedGlyphs() const;
    // Lowers the card and text under the view's top edge when the active camera would cut
    // them off there (OnAnimate does this every frame); the lowering is undone first.
    void keepInView();
    // The room left between the card's top and the view's top edge, as a share of the
    // view's height.
    static constexpr irr::f32 viewTopMargin = 0.03f;
    // Clicks so far (none while the simulation is not running; heard only with a sound manager).
    irr::u32 getClickCount() const { return clickCount; }

    std::wstring Text;
    irr::core::stringc FontPath = "Content/Font/LoveYaLikeASister.ttf";
    irr::s32 FontSize = 24;
    irr::f32 LineSpacing = 1.15f;
    irr::f32 TextSpeed = 15.0f;
    bool FaceCamera = false;

private:
    void makeBubbleCard(irr::f32 width, irr::f32 height, const irr::core::vector3df& centre);
    // The character of line i shown by its glyph node k (a space counts as no click).
    bool glyphIsSpace(std::size_t line, irr::u32 k) const;

    std::vector<std::wstring> lines;
    std::vector<TextObject*> lineObjects; // children of the text holder
    irr::scene::ISceneNode* bubble = nullptr;
    SoundObject* clickSound = nullptr;
    irr::io::IAttributes* attributeCopy = nullptr;
    LevelObject* textHolder = nullptr;
    irr::scene::ISceneNode* glyphNode = nullptr;
    irr::gui::IGUIFont* font = nullptr;
    irr::core::vector2df glyphScale{1.0f, 1.0f};
    irr::video::SMaterial material;
    irr::video::SColor ColorTop{0xFF000000};
    irr::video::SColor ColorBottom{0xFF000000};
    irr::scene::SMesh* glyphMesh = nullptr;
    irr::s32 glyphCount = 0;
    // How far keepInView lowered the text holder, in the bubble's own space.
    irr::core::vector3df viewShift;
    irr::f32 revealProgress = 0.0f;
    irr::u32 clickCount = 0;
};
