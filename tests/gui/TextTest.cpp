// Static and TrueType text elements: fonts, word wrap, measuring and their attributes.
#include "GuiFixture.h"

#include "gui/GUIFreeTypeText.h"
#include "gui/GUIStaticText.h"
#include "gui/GuiCommon.h"
#include "gui/fonts/FontCache.h"

#include <cwchar>
#include <functional>
#include <string>
#include <vector>

using namespace irr;

namespace {

// An engine font of 10 x 10 pixels a character that counts its measurements.
class MeasuringFont : public gui::IGUIFont {
public:
    struct Drawn {
        std::wstring text;
        core::recti frame;
        bool hcenter, vcenter;
        bool operator==(const Drawn&) const = default;
    };
    void draw(const core::stringw& text, const core::recti& frame, video::SColor, bool hcenter, bool vcenter,
              const core::recti*) override {
        drawn.push_back({text.c_str(), frame, hcenter, vcenter});
    }
    std::vector<Drawn> drawn;
    core::dimension2du getDimension(const wchar_t* text) const override {
        ++measures;
        return core::dimension2du(10 * static_cast<u32>(std::wcslen(text)), 10);
    }
    s32 getCharacterFromPos(const wchar_t*, s32) const override { return -1; }
    gui::EGUI_FONT_TYPE getType() const override { return gui::EGFT_BITMAP; }
    void setKerningWidth(s32) override {}
    void setKerningHeight(s32) override {}
    s32 getKerningWidth(const wchar_t*, const wchar_t*) const override { return 0; }
    s32 getKerningHeight() const override { return kerningHeight; }
    void setInvisibleCharacters(const wchar_t*) override {}
    mutable int measures = 0;
    s32 kerningHeight = 0;
};

class TextTest : public guitest::GuiFixture {
protected:
    GUIFreeTypeText* makeText(const wchar_t* text, s32 width = 300, s32 height = 40) {
        auto* element = new GUIFreeTypeText(text, environment, root(), -1, core::recti(0, 0, width, height));
        element->drop();
        return element;
    }
};

TEST_F(TextTest, FactoryTextUsesTheSkinFontUntilAFontLoads) {
    auto* text = new GUIFreeTypeText(environment, root(), -1, core::recti(0, 0, 100, 100));
    text->drop();
    EXPECT_STREQ(text->getOwnText().c_str(), L"Text");
    EXPECT_EQ(static_cast<s32>(text->getType()), GuiType::FreeTypeText);
    EXPECT_STREQ(text->getTypeName(), "GUIFreeTypeText");
    EXPECT_EQ(text->getTTFont(), nullptr);
    EXPECT_EQ(text->getActiveFont(), environment->getSkin()->getFont());
    EXPECT_TRUE(text->isOverrideColorEnabled());
    EXPECT_EQ(text->getOverrideColor(), video::SColor(0xFF000000));
    EXPECT_TRUE(text->isNotClipped());
    EXPECT_STREQ(text->getFontPath().c_str(), GUIFreeTypeText::defaultFontPath);
    EXPECT_EQ(text->getFontSize(), 22);
    EXPECT_EQ(text->getKerningWidth(), -1);
    text->draw();

    // Naming the default font loads it.
    text->setFont(GUIFreeTypeText::defaultFontPath, 22);
    EXPECT_EQ(text->getTTFont(), getCachedFont(fontPath, 22));
}

TEST_F(TextTest, FontComesFromTheCacheWithTheKerningWidth) {
    GUIFreeTypeText* text = makeText(L"AVATAR");
    text->setFont(fontPath, 30);
    CGUITTFont* font = getCachedFont(fontPath, 30);
    ASSERT_EQ(text->getTTFont(), font);
    EXPECT_EQ(font->getKerningWidth(L"B", L"A"), -1 + font->getKerning('B', 'A').X + 1);
    EXPECT_EQ(text->getKerningArray().size(), 6u);
    EXPECT_EQ(font->getReferenceCount(), 2);
    text->setFont(fontPath, 24);
    EXPECT_EQ(font->getReferenceCount(), 1);
    EXPECT_EQ(text->getTTFont(), getCachedFont(fontPath, 24));
}

TEST_F(TextTest, ReadingUnchangedFontKeepsTheFontObject) {
    GUIFreeTypeText* text = makeText(L"Title");
    text->setFont(fontPath, 26);
    CGUITTFont* font = text->getTTFont();
    io::IAttributes* attr = attributes();
    text->serializeAttributes(attr);
    text->deserializeAttributes(attr);
    EXPECT_EQ(text->getTTFont(), font);
    EXPECT_EQ(font->getReferenceCount(), 2);
    attr->setAttribute("FontSize", 27);
    text->deserializeAttributes(attr);
    EXPECT_NE(text->getTTFont(), font);
    EXPECT_EQ(text->getFontSize(), 27);
}

TEST_F(TextTest, FirstWordWiderThanTheLineGivesAnEmptyFirstLine) {
    GUIFreeTypeText* text = makeText(L"", 60);
    text->setFont(fontPath, 22);
    text->setWordWrap(true);
    text->setText(L"Extraordinarily long");
    ASSERT_GE(text->getBrokenText().size(), 2u);
    EXPECT_STREQ(text->getBrokenText()[0].c_str(), L"");
    EXPECT_STREQ(text->getBrokenText()[1].c_str(), L"Extraordinarily");
}

TEST_F(TextTest, CarriageReturnLineFeedIsOneBreak) {
    GUIFreeTypeText* text = makeText(L"", 400);
    text->setFont(fontPath, 22);
    text->setWordWrap(true);
    text->setText(L"One\r\nTwo");
    ASSERT_EQ(text->getLineCount(), 2u);
    EXPECT_STREQ(text->getBrokenText()[0].c_str(), L"One");
    EXPECT_STREQ(text->getBrokenText()[1].c_str(), L"Two");
    EXPECT_EQ(text->getOwnText().size(), 7u);
}

TEST_F(TextTest, WrapsWordsToTheWidth) {
    GUIFreeTypeText* text = makeText(L"", 200);
    text->setFont(fontPath, 22);
    text->setWordWrap(true);
    text->setText(L"one two three four five six seven eight");
    EXPECT_GT(text->getLineCount(), 1u);
    CGUITTFont* font = text->getTTFont();
    for (u32 i = 0; i < text->getBrokenText().size(); ++i)
        EXPECT_LE(static_cast<s32>(font->getDimension(text->getBrokenText()[i].c_str()).Width), 194) << i;
    const s32 lineHeight = static_cast<s32>(font->getDimension(L"one").Height);
    EXPECT_EQ(text->getTextHeight(), lineHeight * static_cast<s32>(text->getLineCount()));
    text->draw();
}

// A layout pass measures nothing when the text, the font and the width are those of the last
// wrap; a change of any of them wraps again, and the lines are those of the new wrap only.
TEST_F(TextTest, WrapsAgainOnlyWhenItsTextFontOrWidthChanged) {
    auto* font = new MeasuringFont;
    auto* other = new MeasuringFont;
    auto* text = new GUIStaticText(L"aa bb cc dd ee ff", environment, root(), -1, core::recti(0, 0, 100, 20));
    text->drop();
    text->setOverrideFont(font);
    text->setWordWrap(true);
    using Lines = std::vector<std::wstring>;
    const struct {
        const char* step;
        std::function<void()> act;
        bool wraps;
        Lines lines;
    } steps[] = {
        {"a layout pass", [&] { text->updateAbsolutePosition(); }, false, {L"aa bb cc", L"dd ee ff"}},
        {"the same text", [&] { text->setText(L"aa bb cc dd ee ff"); }, false, {L"aa bb cc", L"dd ee ff"}},
        {"moved, as wide", [&] { text->setRelativePosition(core::recti(5, 5, 105, 25)); }, false,
         {L"aa bb cc", L"dd ee ff"}},
        {"word wrap set again", [&] { text->setWordWrap(true); }, false, {L"aa bb cc", L"dd ee ff"}},
        {"a shorter text", [&] { text->setText(L"aa bb"); }, true, {L"aa bb"}},
        {"narrower", [&] { text->setRelativePosition(core::recti(5, 5, 45, 25)); }, true, {L"aa", L"bb"}},
        {"another font", [&] { text->setOverrideFont(other); }, true, {L"aa", L"bb"}},
    };
    for (const auto& s : steps) {
        const int measured = font->measures + other->measures;
        s.act();
        EXPECT_EQ(font->measures + other->measures > measured, s.wraps) << s.step;
        Lines lines;
        for (u32 i = 0; i < text->getBrokenText().size(); ++i)
            lines.emplace_back(text->getBrokenText()[i].c_str());
        EXPECT_EQ(lines, s.lines) << s.step;
    }
    font->drop();
    other->drop();
}

// Words are measured one by one; the line's width is the element's less 6 for the border. A
// second word that ends on the width stays on the line, one pixel less breaks it.
TEST_F(TextTest, AWordThatEndsOnTheWidthStaysOnTheLine) {
    GUIFreeTypeText* probe = makeText(L"");
    probe->setFont(fontPath, 22);
    CGUITTFont* font = probe->getTTFont();
    ASSERT_NE(font, nullptr);
    const s32 width = static_cast<s32>(font->getDimension(L"one").Width + font->getDimension(L" ").Width +
                                       font->getDimension(L"two").Width);
    for (const auto& [lineWidth, lines] : {std::pair{width, 1u}, std::pair{width - 1, 2u}}) {
        GUIFreeTypeText* text = makeText(L"", lineWidth + 6);
        text->setFont(fontPath, 22);
        text->setWordWrap(true);
        text->setText(L"one two");
        EXPECT_EQ(text->getLineCount(), lines) << lineWidth;
    }
}

TEST_F(TextTest, LineCountAndShortFontPath) {
    GUIFreeTypeText* text = makeText(L"Never broken");
    EXPECT_EQ(text->getLineCount(), 1u);
    text->setFont("x", 22);
    EXPECT_EQ(text->getTTFont(), nullptr);
    EXPECT_FALSE(text->hasMissingFont());
}

TEST_F(TextTest, MissingFontDrawsNothing) {
    GUIFreeTypeText* text = makeText(L"Lost");
    text->setFont("Content/Font/Missing.ttf", 22);
    EXPECT_TRUE(text->hasMissingFont());
    EXPECT_EQ(text->getTTFont(), nullptr);
    EXPECT_EQ(text->getTextWidth(), 0);
    EXPECT_EQ(text->getTextHeight(), 1);
    text->draw();
    environment->drawAll();
    text->setFont(fontPath, 22);
    EXPECT_FALSE(text->hasMissingFont());
    EXPECT_GT(text->getTextWidth(), 0);
}

TEST_F(TextTest, WidthIsTheFontsWidthOfTheText) {
    GUIFreeTypeText* text = makeText(L"Options");
    text->setFont(fontPath, 28);
    CGUITTFont* font = text->getTTFont();
    font->setKerningWidth(0);
    text->setKerningWidth(0);
    EXPECT_EQ(text->getTextWidth(), static_cast<s32>(font->getDimension(L"Options").Width));
}

TEST_F(TextTest, TrueTypeTextAttributes) {
    GUIFreeTypeText* text = makeText(L"Hello");
    text->setFont(fontPath, 24);
    text->setTextAlignment(gui::EGUIA_CENTER, gui::EGUIA_LOWERRIGHT);
    text->setOverrideColor(video::SColor(0xFF102030));
    io::IAttributes* out = attributes();
    text->serializeAttributes(out);
    for (const char* key : {"Message", "FontPath", "FontSize", "KerningWidth", "FontColor", "WordWrap",
                            "HTextAlign", "VTextAlign", "Rect", "Visible"})
        EXPECT_TRUE(out->existsAttribute(key)) << key;
    for (const char* key : {"Text", "Border", "Background", "OverrideColor"})
        EXPECT_FALSE(out->existsAttribute(key)) << key;
    EXPECT_STREQ(out->getAttributeAsStringW("Message").c_str(), L"Hello");
    EXPECT_EQ(out->getAttributeAsInt("FontSize"), 24);
    EXPECT_STREQ(out->getAttributeAsEnumeration("HTextAlign"), "center");

    GUIFreeTypeText* copy = makeText(L"");
    copy->deserializeAttributes(out);
    EXPECT_STREQ(copy->getOwnText().c_str(), L"Hello");
    EXPECT_EQ(copy->getTTFont(), text->getTTFont());
    EXPECT_EQ(copy->getOverrideColor(), video::SColor(0xFF102030));
    EXPECT_EQ(copy->getHorizontalAlignment(), gui::EGUIA_CENTER);
    EXPECT_EQ(copy->getVerticalAlignment(), gui::EGUIA_LOWERRIGHT);
    // A layout without a font path keeps the element's.
    GUIFreeTypeText* kept = makeText(L"Kept");
    kept->setFont(fontPath, 24);
    out->clear();
    out->addInt("FontSize", 24);
    kept->deserializeAttributes(out);
    EXPECT_STREQ(kept->getFontPath().c_str(), fontPath);
}

TEST_F(TextTest, OutOfRangeValuesFromALayout) {
    GUIFreeTypeText* text = makeText(L"x");
    io::IAttributes* in = attributes();
    text->serializeAttributes(in);
    in->setAttribute("FontSize", 99999);
    in->setAttribute("HTextAlign", "sideways");
    text->deserializeAttributes(in);
    EXPECT_EQ(text->getFontSize(), GUIFreeTypeText::maxFontSize);
    EXPECT_TRUE(log.contains("font size 99999"));
    EXPECT_EQ(text->getHorizontalAlignment(), gui::EGUIA_UPPERLEFT);
    in->setAttribute("HTextAlign", "scale");
    text->deserializeAttributes(in);
    EXPECT_EQ(text->getHorizontalAlignment(), gui::EGUIA_SCALE) << "the last alignment is in range";
    in->setAttribute("KerningWidth", 2000000000);
    text->deserializeAttributes(in);
    EXPECT_EQ(text->getKerningWidth(), 0);
    EXPECT_TRUE(log.contains("kerning width 2000000000"));
    EXPECT_GT(text->getTextWidth(), 0);
    in->setAttribute("FontSize", -3);
    text->deserializeAttributes(in);
    EXPECT_TRUE(text->hasMissingFont());
    EXPECT_TRUE(log.contains("font size -3"));
    text->draw();
}

// Without a colour of its own a text takes the skin's text colour, greyed while disabled.
TEST_F(TextTest, ATextWithoutItsOwnColourIsGreyWhileDisabled) {
    struct ColourProbe : GUIFreeTypeText {
        using GUIFreeTypeText::GUIFreeTypeText;
        using GUIFreeTypeText::textColor;
    };
    auto* text = new ColourProbe(L"x", environment, root(), -1, core::recti(0, 0, 100, 40));
    text->drop();
    text->enableOverrideColor(false);
    gui::IGUISkin* skin = environment->getSkin();
    ASSERT_NE(skin, nullptr);
    ASSERT_NE(skin->getColor(gui::EGDC_BUTTON_TEXT), skin->getColor(gui::EGDC_GRAY_TEXT));
    EXPECT_EQ(text->textColor(), skin->getColor(gui::EGDC_BUTTON_TEXT));
    text->setEnabled(false);
    EXPECT_EQ(text->textColor(), skin->getColor(gui::EGDC_GRAY_TEXT));
}

// A line is drawn against the side it is aligned to: the right edge less its width, the
// bottom less one line (with word wrap, less all lines), or centred by the font.
TEST_F(TextTest, StaticTextIsDrawnAgainstTheSidesItIsAlignedTo) {
    auto* font = new MeasuringFont;
    font->kerningHeight = 2;
    auto* text = new GUIStaticText(L"abc", environment, root(), -1, core::recti(0, 0, 100, 40));
    text->drop();
    text->setOverrideFont(font);
    using A = gui::EGUI_ALIGNMENT;
    using Drawn = std::vector<MeasuringFont::Drawn>;
    const struct {
        A horizontal, vertical;
        bool wrap;
        Drawn drawn;
    } rows[] = {
        {gui::EGUIA_UPPERLEFT, gui::EGUIA_UPPERLEFT, false, {{L"abc", {0, 0, 100, 40}, false, false}}},
        {gui::EGUIA_LOWERRIGHT, gui::EGUIA_UPPERLEFT, false, {{L"abc", {70, 0, 100, 40}, false, false}}},
        {gui::EGUIA_UPPERLEFT, gui::EGUIA_LOWERRIGHT, false, {{L"abc", {0, 28, 100, 40}, false, false}}},
        {gui::EGUIA_CENTER, gui::EGUIA_CENTER, false, {{L"abc", {0, 0, 100, 40}, true, true}}},
        // Wrapped to 100 pixels (less 6): two lines of ten pixels and two of kerning.
        {gui::EGUIA_UPPERLEFT, gui::EGUIA_UPPERLEFT, true,
         {{L"abcd efgh", {0, 0, 100, 40}, false, false}, {L"ij", {0, 12, 100, 52}, false, false}}},
        {gui::EGUIA_LOWERRIGHT, gui::EGUIA_LOWERRIGHT, true,
         {{L"abcd efgh", {10, 16, 100, 28}, false, false}, {L"ij", {80, 28, 100, 40}, false, false}}},
        {gui::EGUIA_CENTER, gui::EGUIA_CENTER, true,
         {{L"abcd efgh", {0, 8, 100, 20}, true, false}, {L"ij", {0, 20, 100, 32}, true, false}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.horizontal) + " " + std::to_string(row.vertical) + (row.wrap ? " wrapped" : ""));
        text->setWordWrap(row.wrap);
        text->setText(row.wrap ? L"abcd efgh ij" : L"abc");
        text->setTextAlignment(row.horizontal, row.vertical);
        font->drawn.clear();
        text->draw();
        ASSERT_EQ(font->drawn.size(), row.drawn.size());
        for (std::size_t i = 0; i < row.drawn.size(); ++i) {
            EXPECT_EQ(font->drawn[i].text, row.drawn[i].text) << i;
            EXPECT_EQ(font->drawn[i].frame, row.drawn[i].frame) << i;
            EXPECT_EQ(font->drawn[i].hcenter, row.drawn[i].hcenter) << i;
            EXPECT_EQ(font->drawn[i].vcenter, row.drawn[i].vcenter) << i;
        }
        // The width is the widest line's, the height one line or all the wrapped ones.
        EXPECT_EQ(text->getTextWidth(), row.wrap ? 90 : 30);
        EXPECT_EQ(text->getTextHeight(), row.wrap ? 24 : 12);
    }
    // A border moves the text in by the skin's distance.
    text->setWordWrap(false);
    text->setText(L"abc");
    text->setTextAlignment(gui::EGUIA_UPPERLEFT, gui::EGUIA_UPPERLEFT);
    text->setDrawBorder(true);
    font->drawn.clear();
    text->draw();
    ASSERT_EQ(font->drawn.size(), 1u);
    EXPECT_EQ(font->drawn[0].frame.UpperLeftCorner.X, environment->getSkin()->getSize(gui::EGDS_TEXT_DISTANCE_X));
    font->drop();
}

// A wrapped text without its own font follows the skin's: a new skin font wraps it again when
// it is next drawn.
TEST_F(TextTest, AWrappedTextWrapsAgainWhenTheSkinFontChanges) {
    auto* narrow = new MeasuringFont;
    auto* text = new GUIStaticText(L"aa bb cc dd", environment, root(), -1, core::recti(0, 0, 100, 40));
    text->drop();
    gui::IGUISkin* skin = environment->getSkin();
    gui::IGUIFont* before = skin->getFont();
    before->grab();
    skin->setFont(narrow);
    text->setWordWrap(true);
    ASSERT_EQ(text->getBrokenText().size(), 2u); // 94 pixels hold "aa bb cc" of 80
    struct WideFont : MeasuringFont {
        core::dimension2du getDimension(const wchar_t* t) const override {
            return core::dimension2du(20 * static_cast<u32>(std::wcslen(t)), 10);
        }
    };
    auto* wider = new WideFont;
    skin->setFont(wider);
    text->draw();
    EXPECT_EQ(text->getBrokenText().size(), 4u);
    skin->setFont(before);
    before->drop();
    narrow->drop();
    wider->drop();
}

TEST_F(TextTest, StaticTextKeepsItsTextAndAttributes) {
    auto* text = new GUIStaticText(L"Static", environment, root(), 3, core::recti(0, 0, 60, 40));
    text->drop();
    EXPECT_EQ(static_cast<s32>(text->getType()), GuiType::StaticText);
    EXPECT_STREQ(text->getText(), L"Static");
    EXPECT_EQ(text->getActiveFont(), environment->getSkin()->getFont());
    EXPECT_EQ(text->getTextWidth(), static_cast<s32>(text->getActiveFont()->getDimension(L"Static").Width));
    EXPECT_EQ(text->getOverrideColor(), video::SColor(0x65FFFFFF));
    EXPECT_FALSE(text->isOverrideColorEnabled());
    text->setDrawBorder(true);
    text->setBackgroundColor(video::SColor(0xFF00FF00));
    EXPECT_TRUE(text->isDrawBackgroundEnabled());
    text->draw();

    text->setWordWrap(true);
    text->setText(L"a few words that wrap");
    EXPECT_GT(text->getBrokenText().size(), 1u);
    const s32 line = static_cast<s32>(text->getActiveFont()->getDimension(L"A").Height);
    EXPECT_EQ(text->getTextHeight(), line * static_cast<s32>(text->getBrokenText().size()));

    io::IAttributes* out = attributes();
    text->serializeAttributes(out);
    for (const char* key : {"Text", "FontPath", "Border", "OverrideColorEnabled", "WordWrap", "Background",
                            "OverrideColor", "HTextAlign", "VTextAlign"})
        EXPECT_TRUE(out->existsAttribute(key)) << key;
    auto* copy = new GUIStaticText(L"", environment, root(), -1, core::recti(0, 0, 120, 40));
    copy->drop();
    out->setAttribute("OverrideColorEnabled", true);
    copy->deserializeAttributes(out);
    EXPECT_STREQ(copy->getOwnText().c_str(), L"a few words that wrap");
    EXPECT_TRUE(copy->isWordWrapEnabled());
    EXPECT_TRUE(copy->isDrawBorderEnabled());
    EXPECT_TRUE(copy->isOverrideColorEnabled());
}

} // namespace
