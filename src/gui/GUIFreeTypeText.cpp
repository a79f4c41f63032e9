#include "gui/GUIFreeTypeText.h"

#include "core/Log.h"
#include "gui/GuiAttributes.h"
#include "gui/GuiCommon.h"
#include "gui/fonts/FontCache.h"

#include <IAttributes.h>
#include <IGUIEnvironment.h>

using namespace irr;

GUIFreeTypeText::GUIFreeTypeText(const wchar_t* text, gui::IGUIEnvironment* environment,
                                 gui::IGUIElement* parent, s32 id, const core::rect<s32>& rectangle)
    : GUIStaticText(text, environment, parent, id, rectangle) {
    initFreeType();
}

GUIFreeTypeText::GUIFreeTypeText(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, s32 id,
                                 const core::rect<s32>& rectangle)
    : GUIStaticText(L"Text", environment, parent, id, rectangle) {
    initFreeType();
}

void GUIFreeTypeText::initFreeType() {
    Type = toElementType(GuiType::FreeTypeText);
    OverrideColorEnabled = true;
    OverrideColor = video::SColor(0xFF000000);
    FontPath = defaultFontPath;
    NoClip = true;
    updateAbsolutePosition();
}

CGUITTFont* GUIFreeTypeText::getTTFont() const {
    if (OverrideFont && OverrideFont->getType() == gui::EGFT_CUSTOM)
        return static_cast<CGUITTFont*>(OverrideFont);
    return nullptr;
}

void GUIFreeTypeText::setOverrideFont(gui::IGUIFont* font) {
    if (!font || font->getType() != gui::EGFT_CUSTOM) {
        GUIStaticText::setOverrideFont(font);
        return;
    }
    font->grab();
    if (OverrideFont)
        OverrideFont->drop();
    OverrideFont = font;
    FontMissing = false;
    invalidateBrokenText();
    if (OwnText.size()) {
        CGUITTFont* ttf = getTTFont();
        ttf->setKerningWidth(KerningWidth);
        ttf->prepareText(OwnText, KerningArray);
    }
}

void GUIFreeTypeText::setMessage(const wchar_t* text) {
    setOwnText(text);
    if (CGUITTFont* ttf = getTTFont()) {
        ttf->setKerningWidth(KerningWidth);
        ttf->prepareText(OwnText, KerningArray);
    }
}

void GUIFreeTypeText::setText(const wchar_t* text) {
    setMessage(text);
    setWordWrap(WordWrap);
}

void GUIFreeTypeText::setFont(const core::stringc& path, s32 size) {
    // Also when nothing changed but no font is loaded yet (the constructor names the
    // default font without loading it).
    if (path == FontPath && size == FontSize && getTTFont())
        return;
    const core::stringc previousPath = FontPath;
    const s32 previousSize = FontSize;
    FontPath = path;
    FontSize = size;
    loadFont(previousPath, previousSize);
}

void GUIFreeTypeText::loadFont(const core::stringc& previousPath, s32 previousSize) {
    const bool keep = getTTFont() && FontPath == previousPath && FontSize == previousSize;
    if (!keep && FontPath.size() >= 2) {
        if (OverrideFont) {
            OverrideFont->drop();
            OverrideFont = nullptr;
        }
        CGUITTFont* font = getCachedFont(io::path(FontPath.c_str()), FontSize);
        if (!font) {
            FontMissing = true;
            return;
        }
        font->grab();
        font->setKerningWidth(KerningWidth);
        OverrideFont = font;
        FontMissing = false;
        invalidateBrokenText();
    }
    if (CGUITTFont* ttf = getTTFont())
        ttf->prepareText(OwnText, KerningArray);
}

u32 GUIFreeTypeText::getLineCount() const { return BrokenText.size() ? BrokenText.size() : 1; }

s32 GUIFreeTypeText::getTextWidth() const {
    gui::IGUIFont* font = getActiveFont();
    if (!font || FontMissing)
        return 0;
    if (CGUITTFont* ttf = getTTFont())
        ttf->setNeedsLayout();
    return static_cast<s32>(font->getDimension(OwnText.c_str()).Width);
}

s32 GUIFreeTypeText::getTextHeight() const {
    const s32 lines = static_cast<s32>(getLineCount());
    gui::IGUIFont* font = getActiveFont();
    if (!font || FontMissing)
        return lines;
    if (CGUITTFont* ttf = getTTFont())
        ttf->setNeedsLayout();
    return static_cast<s32>(font->getDimension(OwnText.c_str()).Height) * lines;
}

void GUIFreeTypeText::beforeMeasure(gui::IGUIFont* font) {
    if (font && font == getTTFont())
        getTTFont()->setNeedsLayout();
}

void GUIFreeTypeText::beforeDraw(gui::IGUIFont* font, bool wholeText) {
    CGUITTFont* ttf = getTTFont();
    if (!font || font != ttf)
        return;
    ttf->setNeedsLayout();
    ttf->setKerningWidth(KerningWidth);
    // The prepared kerning belongs to the whole text; a wrapped line measures its own.
    ttf->setKerningCache(wholeText ? &KerningArray : nullptr);
}

void GUIFreeTypeText::draw() {
    if (FontMissing)
        return;
    CGUITTFont* ttf = getTTFont();
    if (!ttf) {
        GUIStaticText::draw();
        return;
    }
    if (!IsVisible)
        return;
    drawBackground();
    drawText(ttf, AbsoluteRect, textColor());
}

void GUIFreeTypeText::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    gui::IGUIElement::serializeAttributes(out, options);
    out->addString("Message", OwnText.c_str());
    out->addString("FontPath", FontPath.c_str());
    out->addInt("FontSize", FontSize);
    out->addInt("KerningWidth", KerningWidth);
    out->addColor("FontColor", OverrideColor);
    out->addBool("WordWrap", WordWrap);
    out->addEnum("HTextAlign", HAlign, gui::GUIAlignmentNames);
    out->addEnum("VTextAlign", VAlign, gui::GUIAlignmentNames);
}

void GUIFreeTypeText::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    readElementAttributes(this, in, options);
    const core::stringc previousPath = FontPath;
    const s32 previousSize = FontSize;
    if (in->existsAttribute("Message"))
        OwnText = in->getAttributeAsStringW("Message");
    if (in->existsAttribute("FontPath"))
        FontPath = in->getAttributeAsString("FontPath");
    FontSize = in->getAttributeAsInt("FontSize");
    if (FontSize > maxFontSize) {
        logMessagef("Warning: GUI layout: font size %d of \"%s\" is too large; using %d.", FontSize,
                    getName(), maxFontSize);
        FontSize = maxFontSize;
    } else if (FontSize <= 0) {
        logMessagef("Warning: GUI layout: font size %d of \"%s\" is not a size; the text has no font.",
                    FontSize, getName());
    }
    OverrideColor = in->getAttributeAsColor("FontColor");
    if (in->existsAttribute("KerningWidth")) {
        KerningWidth = in->getAttributeAsInt("KerningWidth");
        if (KerningWidth < -maxFontSize || KerningWidth > maxFontSize) {
            logMessagef("Warning: GUI layout: kerning width %d of \"%s\" is out of range; using 0.", KerningWidth,
                        getName());
            KerningWidth = 0;
        }
    }
    loadFont(previousPath, previousSize);
    LastBreakFont = nullptr;
    invalidateBrokenText();
    setWordWrap(in->getAttributeAsBool("WordWrap"));
    setTextAlignment(readAlignment(in, "HTextAlign"), readAlignment(in, "VTextAlign"));
}
