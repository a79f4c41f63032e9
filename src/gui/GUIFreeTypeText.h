#pragma once

#include "gui/GUIStaticText.h"
#include "gui/fonts/CGUITTFont.h"

// The static text drawn with a TrueType font of a file and pixel size from the font cache,
// with a kerning width and the per-character kerning the font prepares for the text. Every
// menu caption, option label and title of the game is one.
class GUIFreeTypeText : public GUIStaticText {
public:
    static constexpr irr::s32 defaultFontSize = 22;
    // A font size a layout may ask for; larger ones are reduced to it.
    static constexpr irr::s32 maxFontSize = 168;
    static constexpr const char* defaultFontPath = "Content/Font/NoMove.ttf";

    GUIFreeTypeText(const wchar_t* text, irr::gui::IGUIEnvironment* environment,
                    irr::gui::IGUIElement* parent, irr::s32 id, const irr::core::rect<irr::s32>& rectangle);
    // The factory's: the text "Text".
    GUIFreeTypeText(irr::gui::IGUIEnvironment* environment, irr::gui::IGUIElement* parent, irr::s32 id,
                    const irr::core::rect<irr::s32>& rectangle);

    // --- overrides ---
    void draw() override;
    void setText(const wchar_t* text) override;
    const irr::c8* getTypeName() const override { return "GUIFreeTypeText"; }
    void setOverrideFont(irr::gui::IGUIFont* font = nullptr) override;
    irr::s32 getTextHeight() const override;
    irr::s32 getTextWidth() const override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // --- own ---
    virtual void setMessage(const wchar_t* text);
    virtual void setFont(const irr::core::stringc& path, irr::s32 size);
    virtual irr::u32 getLineCount() const;

    // The TrueType override font, or null.
    CGUITTFont* getTTFont() const;
    irr::s32 getFontSize() const { return FontSize; }
    irr::s32 getKerningWidth() const { return KerningWidth; }
    void setKerningWidth(irr::s32 width) {
        if (width != KerningWidth)
            invalidateBrokenText();
        KerningWidth = width;
    }
    const CGUITTFont::KerningArray& getKerningArray() const { return KerningArray; }
    // The last font load failed: the text draws nothing until a font loads.
    bool hasMissingFont() const { return FontMissing; }

protected:
    void beforeMeasure(irr::gui::IGUIFont* font) override;
    void beforeDraw(irr::gui::IGUIFont* font, bool wholeText) override;
    void loadFont(const irr::core::stringc& previousPath, irr::s32 previousSize);

    irr::s32 FontSize = defaultFontSize;
    irr::s32 KerningWidth = -1;
    CGUITTFont::KerningArray KerningArray;
    bool FontMissing = false;

private:
    void initFreeType();
};
