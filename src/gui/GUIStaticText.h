#pragma once

#include <IGUIStaticText.h>
#include <SColor.h>
#include <irrArray.h>
#include <irrString.h>

// A static text in the manner of the engine's own (skin font or an engine font file,
// border, background, override colour, alignment, word wrap) that keeps its own copy of the
// text and that layout files can create.
class GUIStaticText : public irr::gui::IGUIStaticText {
public:
    GUIStaticText(const wchar_t* text, irr::gui::IGUIEnvironment* environment,
                  irr::gui::IGUIElement* parent, irr::s32 id, const irr::core::rect<irr::s32>& rectangle);
    ~GUIStaticText() override;

    // --- IGUIElement ---
    void updateAbsolutePosition() override;
    void draw() override;
    void setText(const wchar_t* text) override;
    const irr::c8* getTypeName() const override { return "GUIStaticText"; }
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // --- IGUIStaticText ---
    void setOverrideFont(irr::gui::IGUIFont* font = nullptr) override;
    irr::gui::IGUIFont* getOverrideFont() const override { return OverrideFont; }
    irr::gui::IGUIFont* getActiveFont() const override;
    void setOverrideColor(irr::video::SColor color) override;
    irr::video::SColor getOverrideColor() const override { return OverrideColor; }
    void enableOverrideColor(bool enable) override { OverrideColorEnabled = enable; }
    bool isOverrideColorEnabled() const override { return OverrideColorEnabled; }
    void setBackgroundColor(irr::video::SColor color) override;
    void setDrawBackground(bool draw) override { Background = draw; }
    irr::video::SColor getBackgroundColor() const override { return BGColor; }
    bool isDrawBackgroundEnabled() const override { return Background; }
    void setDrawBorder(bool draw) override { Border = draw; }
    bool isDrawBorderEnabled() const override { return Border; }
    void setTextAlignment(irr::gui::EGUI_ALIGNMENT horizontal, irr::gui::EGUI_ALIGNMENT vertical) override;
    void setWordWrap(bool enable) override;
    bool isWordWrapEnabled() const override { return WordWrap; }
    irr::s32 getTextHeight() const override;
    irr::s32 getTextWidth() const override;
    void setTextRestrainedInside(bool) override {}
    bool isTextRestrainedInside() const override { return true; }
    void setRightToLeft(bool) override {}
    bool isRightToLeft() const override { return false; }

    // --- own ---
    virtual void breakText();

    const irr::core::stringw& getOwnText() const { return OwnText; }
    const irr::core::array<irr::core::stringw>& getBrokenText() const { return BrokenText; }
    irr::gui::EGUI_ALIGNMENT getHorizontalAlignment() const { return HAlign; }
    irr::gui::EGUI_ALIGNMENT getVerticalAlignment() const { return VAlign; }
    const irr::core::stringc& getFontPath() const { return FontPath; }

protected:
    // Breaks the own text into lines no wider than the element, measured with the font; does
    // nothing while the text, the font and the width are those of the last break.
    void breakTextWith(irr::gui::IGUIFont* font);
    // Sets the own text and the engine's caption; a different text is broken again.
    void setOwnText(const wchar_t* text);
    // The lines no longer belong to the text (a font's spacing changed, a layout was read).
    void invalidateBrokenText() { BrokenTextValid = false; }
    // Draws the own text into the frame as the alignment and word wrap say.
    void drawText(irr::gui::IGUIFont* font, irr::core::recti frame, irr::video::SColor color);
    // Called before the font measures or draws a text (the TrueType text prepares its font).
    virtual void beforeMeasure(irr::gui::IGUIFont*) {}
    virtual void beforeDraw(irr::gui::IGUIFont*, bool /*wholeText*/) {}
    irr::video::SColor textColor() const;
    void drawBackground() const;
    // An alignment read from a layout; an unknown name reads as upper-left.
    static irr::gui::EGUI_ALIGNMENT readAlignment(irr::io::IAttributes* in, const char* key);

    irr::core::stringw OwnText;
    irr::core::stringc FontPath;
    irr::gui::EGUI_ALIGNMENT HAlign = irr::gui::EGUIA_UPPERLEFT;
    irr::gui::EGUI_ALIGNMENT VAlign = irr::gui::EGUIA_UPPERLEFT;
    bool Border = false;
    bool OverrideColorEnabled = false;
    bool WordWrap = false;
    bool Background = false;
    irr::video::SColor OverrideColor{0x65FFFFFF};
    irr::video::SColor BGColor{0x65D2D2D2};
    irr::gui::IGUIFont* OverrideFont = nullptr;
    irr::gui::IGUIFont* LastBreakFont = nullptr;
    irr::core::array<irr::core::stringw> BrokenText;

private:
    irr::s32 LastBreakWidth = 0;
    bool BrokenTextValid = false;
    // The break's working strings, kept for their capacity.
    irr::core::stringw WrapLine;
    irr::core::stringw WrapWord;
    irr::core::stringw WrapSpace;
};
