#include "gui/GUIStaticText.h"
#include "core/FontGate.h"

#include "gui/GuiAttributes.h"
#include "gui/GuiCommon.h"

#include <IAttributes.h>
#include <IGUIEnvironment.h>
#include <IGUIFont.h>
#include <IGUISkin.h>
#include <IVideoDriver.h>

using namespace irr;

GUIStaticText::GUIStaticText(const wchar_t* text, gui::IGUIEnvironment* environment,
                             gui::IGUIElement* parent, s32 id, const core::rect<s32>& rectangle)
    : gui::IGUIStaticText(environment, parent, id, rectangle), OwnText(text ? text : L"") {
    Type = toElementType(GuiType::StaticText);
    Text = OwnText;
    if (environment && environment->getSkin())
        BGColor = environment->getSkin()->getColor(gui::EGDC_3D_FACE);
}

GUIStaticText::~GUIStaticText() {
    if (OverrideFont)
        OverrideFont->drop();
}

void GUIStaticText::setText(const wchar_t* text) {
    setOwnText(text);
    breakText();
}

void GUIStaticText::setOwnText(const wchar_t* text) {
    if (!text)
        text = L"";
    if (OwnText != text) {
        OwnText = text;
        BrokenTextValid = false;
    }
    // The engine's caption follows, so that a layout reads back as it was written.
    if (Text != OwnText)
        Text = OwnText;
}

void GUIStaticText::updateAbsolutePosition() {
    gui::IGUIElement::updateAbsolutePosition();
    breakText();
}

void GUIStaticText::setOverrideFont(gui::IGUIFont* font) {
    if (font == OverrideFont)
        return;
    if (font)
        font->grab();
    if (OverrideFont)
        OverrideFont->drop();
    OverrideFont = font;
    BrokenTextValid = false;
    breakText();
}

gui::IGUIFont* GUIStaticText::getActiveFont() const {
    if (OverrideFont)
        return OverrideFont;
    gui::IGUISkin* skin = Environment ? Environment->getSkin() : nullptr;
    return skin ? skin->getFont(gui::EGDF_DEFAULT) : nullptr;
}

void GUIStaticText::setOverrideColor(video::SColor color) {
    OverrideColor = color;
    OverrideColorEnabled = true;
}

void GUIStaticText::setBackgroundColor(video::SColor color) {
    BGColor = color;
    Background = true;
}

void GUIStaticText::setTextAlignment(gui::EGUI_ALIGNMENT horizontal, gui::EGUI_ALIGNMENT vertical) {
    HAlign = horizontal;
    VAlign = vertical;
}

void GUIStaticText::setWordWrap(bool enable) {
    WordWrap = enable;
    breakText();
}

s32 GUIStaticText::getTextHeight() const {
    gui::IGUIFont* font = getActiveFont();
    if (!font)
        return 0;
    const s32 height = static_cast<s32>(font->getDimension(L"A").Height) + font->getKerningHeight();
    return WordWrap ? height * static_cast<s32>(BrokenText.size()) : height;
}

s32 GUIStaticText::getTextWidth() const {
    gui::IGUIFont* font = getActiveFont();
    if (!font)
        return 0;
    if (!WordWrap)
        return static_cast<s32>(font->getDimension(OwnText.c_str()).Width);
    s32 widest = 0;
    for (u32 i = 0; i < BrokenText.size(); ++i)
        widest = core::max_(widest, static_cast<s32>(font->getDimension(BrokenText[i].c_str()).Width));
    return widest;
}

void GUIStaticText::breakText() { breakTextWith(getActiveFont()); }

void GUIStaticText::breakTextWith(gui::IGUIFont* font) {
    if (!WordWrap)
        return;
    const s32 wrapWidth = RelativeRect.getWidth() - 6;
    // The lines already belong to this text, font and width: a layout pass changes nothing.
    if (BrokenTextValid && font == LastBreakFont && wrapWidth == LastBreakWidth)
        return;
    LastBreakFont = font;
    LastBreakWidth = wrapWidth;
    BrokenTextValid = true;
    if (!font) {
        BrokenText.clear();
        return;
    }

    // The lines, words and the array's strings are kept between wraps, so that wrapping a
    // text of a length seen before allocates nothing.
    u32 lines = 0;
    const auto closeLine = [&](const core::stringw& text) {
        if (lines < BrokenText.size())
            BrokenText[lines] = text;
        else
            BrokenText.push_back(text);
        ++lines;
    };
    core::stringw& line = WrapLine;
    core::stringw& word = WrapWord;
    core::stringw& whitespace = WrapSpace;
    line = L"";
    word = L"";
    whitespace = L"";
    s32 length = 0;
    const auto measure = [&](const core::stringw& part) {
        beforeMeasure(font);
        return static_cast<s32>(font->getDimension(part.c_str()).Width);
    };
    for (u32 i = 0; i < OwnText.size(); ++i) {
        wchar_t c = OwnText[i];
        bool lineBreak = false;
        if (c == L'\r') {
            lineBreak = true;
            if (i + 1 < OwnText.size() && OwnText[i + 1] == L'\n')
                OwnText.erase(i + 1);
        } else if (c == L'\n') {
            lineBreak = true;
        }
        const bool isWhitespace = c == L' ' || lineBreak;
        if (!isWhitespace)
            word.append(c);
        if (isWhitespace || i + 1 == OwnText.size()) {
            if (word.size()) {
                const s32 whiteLength = measure(whitespace);
                const s32 wordLength = measure(word);
                if (length + wordLength + whiteLength > wrapWidth) {
                    closeLine(line);
                    length = wordLength;
                    line = word;
                } else {
                    line += whitespace;
                    line += word;
                    length += whiteLength + wordLength;
                }
                word = L"";
                whitespace = L"";
            }
            if (c == L' ')
                whitespace.append(c);
            if (lineBreak) {
                line += whitespace;
                line += word;
                closeLine(line);
                line = L"";
                word = L"";
                whitespace = L"";
                length = 0;
            }
        }
    }
    line += whitespace;
    line += word;
    closeLine(line);
    if (BrokenText.size() > lines)
        BrokenText.erase(lines, BrokenText.size() - lines);
}

video::SColor GUIStaticText::textColor() const {
    if (OverrideColorEnabled)
        return OverrideColor;
    gui::IGUISkin* skin = Environment->getSkin();
    return skin ? skin->getColor(isEnabled() ? gui::EGDC_BUTTON_TEXT : gui::EGDC_GRAY_TEXT)
                : video::SColor(0xFF000000);
}

void GUIStaticText::drawBackground() const {
    if (Background)
        Environment->getVideoDriver()->draw2DRectangle(BGColor, AbsoluteRect, &AbsoluteClippingRect);
}

void GUIStaticText::drawText(gui::IGUIFont* font, core::recti frame, video::SColor color) {
    if (OwnText.size() == 0 || !font)
        return;
    const bool hcenter = HAlign == gui::EGUIA_CENTER;
    if (!WordWrap) {
        if (VAlign == gui::EGUIA_LOWERRIGHT) {
            beforeMeasure(font);
            frame.UpperLeftCorner.Y = frame.LowerRightCorner.Y -
                                      static_cast<s32>(font->getDimension(L"A").Height) -
                                      font->getKerningHeight();
        }
        if (HAlign == gui::EGUIA_LOWERRIGHT) {
            beforeMeasure(font);
            frame.UpperLeftCorner.X = frame.LowerRightCorner.X -
                                      static_cast<s32>(font->getDimension(OwnText.c_str()).Width);
        }
        beforeDraw(font, true);
        font->draw(OwnText, frame, color, hcenter, VAlign == gui::EGUIA_CENTER, &AbsoluteClippingRect);
        return;
    }

    if (font != LastBreakFont)
        breakText();
    beforeMeasure(font);
    const s32 height = static_cast<s32>(font->getDimension(L"A").Height) + font->getKerningHeight();
    const s32 lines = static_cast<s32>(BrokenText.size());
    core::recti r = frame;
    if (VAlign == gui::EGUIA_CENTER) {
        r.UpperLeftCorner.Y = r.getCenter().Y - lines * height / 2;
        r.LowerRightCorner.Y = r.UpperLeftCorner.Y + height;
    } else if (VAlign == gui::EGUIA_LOWERRIGHT) {
        r.UpperLeftCorner.Y = frame.LowerRightCorner.Y - lines * height;
        r.LowerRightCorner.Y = r.UpperLeftCorner.Y + height;
    }
    for (u32 i = 0; i < BrokenText.size(); ++i) {
        if (HAlign == gui::EGUIA_LOWERRIGHT) {
            beforeMeasure(font);
            r.UpperLeftCorner.X = frame.LowerRightCorner.X -
                                  static_cast<s32>(font->getDimension(BrokenText[i].c_str()).Width);
        }
        beforeDraw(font, false);
        font->draw(BrokenText[i], r, color, hcenter, false, &AbsoluteClippingRect);
        r.UpperLeftCorner.Y += height;
        r.LowerRightCorner.Y += height;
    }
}

void GUIStaticText::draw() {
    if (!IsVisible)
        return;
    gui::IGUISkin* skin = Environment->getSkin();
    if (!skin)
        return;
    core::recti frame = AbsoluteRect;
    drawBackground();
    if (Border) {
        skin->draw3DSunkenPane(this, 0, true, false, frame, &AbsoluteClippingRect);
        frame.UpperLeftCorner.X += skin->getSize(gui::EGDS_TEXT_DISTANCE_X);
    }
    drawText(getActiveFont(), frame, textColor());
    if (isVisible())
        for (gui::IGUIElement* child : Children)
            child->draw();
}

gui::EGUI_ALIGNMENT GUIStaticText::readAlignment(io::IAttributes* in, const char* key) {
    const s32 value = in->getAttributeAsEnumeration(key, gui::GUIAlignmentNames);
    if (value < gui::EGUIA_UPPERLEFT || value > gui::EGUIA_SCALE)
        return gui::EGUIA_UPPERLEFT;
    return static_cast<gui::EGUI_ALIGNMENT>(value);
}

void GUIStaticText::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    gui::IGUIStaticText::serializeAttributes(out, options);
    out->addString("Text", OwnText.c_str());
    out->addString("FontPath", FontPath.c_str());
    out->addBool("Border", Border);
    out->addBool("OverrideColorEnabled", OverrideColorEnabled);
    out->addBool("WordWrap", WordWrap);
    out->addBool("Background", Background);
    out->addColor("OverrideColor", OverrideColor);
    out->addEnum("HTextAlign", HAlign, gui::GUIAlignmentNames);
    out->addEnum("VTextAlign", VAlign, gui::GUIAlignmentNames);
}

void GUIStaticText::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    readElementAttributes(this, in, options);
    const core::stringw text = in->getAttributeAsStringW("Text");
    if (OwnText != text) {
        OwnText = text;
        BrokenTextValid = false;
    }
    FontPath = in->getAttributeAsString("FontPath");
    Border = in->getAttributeAsBool("Border");
    OverrideColor = in->getAttributeAsColor("OverrideColor");
    enableOverrideColor(in->getAttributeAsBool("OverrideColorEnabled"));
    if (OverrideColorEnabled)
        setOverrideColor(OverrideColor);
    setWordWrap(in->getAttributeAsBool("WordWrap"));
    Background = in->getAttributeAsBool("Background");
    setTextAlignment(readAlignment(in, "HTextAlign"), readAlignment(in, "VTextAlign"));
    if (FontPath.size())
        setOverrideFont(getCheckedFont(Environment, io::path(FontPath.c_str())));
}
