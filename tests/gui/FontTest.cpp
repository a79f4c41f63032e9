// The TrueType font: the cache, faces, glyph pages, and text measured against FreeType's own
// metrics of the same face.
#include "GuiFixture.h"

#include "core/FileChecks.h"
#include "core/Globals.h"
#include "core/LoadBudget.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"
#include "support/HeapBytes.h"

#include <filesystem>
#include <fstream>

using namespace irr;

namespace {

class FontTest : public guitest::GuiFixture {
protected:
    // A font of its own (not cached), so that kerning settings of other tests stay out.
    CGUITTFont* ownFont(u32 size) {
        CGUITTFont* font = CGUITTFont::createTTFont(environment, fontPath, size);
        fonts.push_back(font);
        return font;
    }
    void TearDown() override {
        for (CGUITTFont* font : fonts)
            if (font)
                font->drop();
        GuiFixture::TearDown();
    }

    // FreeType's own metrics of the face at the font's size.
    struct Metrics {
        s32 advance = 0;
        s32 top = 0;
        s32 rows = 0;
    };
    Metrics glyphMetrics(CGUITTFont* font, u32 ch) {
        FT_Face face = font->getFace();
        FT_Set_Pixel_Sizes(face, 0, font->getFontSize());
        FT_Load_Glyph(face, FT_Get_Char_Index(face, ch), FT_LOAD_RENDER);
        return {static_cast<s32>(face->glyph->advance.x / 64), face->glyph->bitmap_top,
                static_cast<s32>(face->glyph->bitmap.rows)};
    }
    s32 pairKerning(CGUITTFont* font, u32 previous, u32 ch) {
        FT_Face face = font->getFace();
        FT_Set_Pixel_Sizes(face, 0, font->getFontSize());
        FT_Vector v{0, 0};
        FT_Get_Kerning(face, FT_Get_Char_Index(face, previous), FT_Get_Char_Index(face, ch), FT_KERNING_DEFAULT, &v);
        return static_cast<s32>(v.x / 64);
    }
    s32 lineHeight(CGUITTFont* font) {
        s32 highest = 0;
        for (u32 ch : {u32('g'), u32('j'), u32('_')}) {
            const Metrics m = glyphMetrics(font, ch);
            highest = std::max(highest, font->getAscender() - m.top + m.rows);
        }
        return highest + 1;
    }

    std::vector<CGUITTFont*> fonts;
};

// A level's text against the level's memory budget (core/LoadBudget.h).
class LevelFontTest : public FontTest {
protected:
    void SetUp() override {
        FontTest::SetUp();
        forgetFileRefusals(); // a level load begins
        { LoadBudgetScope load("Level.irr", true); }
    }
    void TearDown() override {
        clearFontCache();
        FontTest::TearDown();
    }
    scene::ISceneNode* sceneRoot() const { return device->getSceneManager()->getRootSceneNode(); }
    // The world text's glyph nodes as the game makes them.
    core::array<scene::ISceneNode*> levelText(const char* file, s32 size, const wchar_t* text, u32* charged = nullptr) {
        core::array<scene::ISceneNode*> glyphs;
        core::dimension2du textSize;
        u32 own = 0;
        addLevelTextGlyphs(file, size, text, sceneRoot(), video::SColor(0xFF000000), glyphs, textSize, charged ? *charged : own);
        return glyphs;
    }
    static u32 textured(const core::array<scene::ISceneNode*>& glyphs) {
        u32 count = 0;
        for (u32 i = 0; i < glyphs.size(); ++i)
            count += glyphs[i]->getMaterial(0).getTexture(0) ? 1 : 0;
        return count;
    }
};

TEST_F(FontTest, CacheGivesOneFontPerPathAndSize) {
    CGUITTFont* a = getCachedFont(fontPath, 24);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(getCachedFont(fontPath, 24), a);
    CGUITTFont* b = getCachedFont(fontPath, 30);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    // Both sizes share one FreeType face.
    EXPECT_EQ(a->getFace(), b->getFace());
    EXPECT_EQ(cachedFontCount(), 2u);
    EXPECT_EQ(a->getFontSize(), 24u);
    // A loaded font draws its text opaque and in grey levels until told otherwise.
    EXPECT_FALSE(a->getTransparency());
    EXPECT_FALSE(a->useMonochrome());
}

TEST_F(FontTest, MissingFileGivesNoFontAndIsTriedAgain) {
    test::TempDir dir;
    const std::string path = dir.file("Later.ttf");
    EXPECT_EQ(getCachedFont(path.c_str(), 20), nullptr);
    EXPECT_EQ(cachedFontCount(), 0u);
    std::filesystem::copy_file(fontPath, path);
    EXPECT_NE(getCachedFont(path.c_str(), 20), nullptr);
    EXPECT_EQ(getCachedFont(fontPath, 0), nullptr);
    EXPECT_EQ(getCachedFont(fontPath, -4), nullptr);
}

TEST_F(FontTest, NotAFontFileGivesNoFont) {
    test::TempDir dir;
    const std::string path = dir.file("Broken.ttf");
    std::ofstream(path) << "this is not a font";
    EXPECT_EQ(getCachedFont(path.c_str(), 20), nullptr);
}

TEST_F(FontTest, FreeTypeIsReleasedWithTheLastFaceAndLoadedAgain) {
    clearFontCache();
    ASSERT_FALSE(CGUITTFont::isFreeTypeLoaded());
    CGUITTFont* font = CGUITTFont::createTTFont(environment, fontPath, 16);
    ASSERT_NE(font, nullptr);
    EXPECT_TRUE(CGUITTFont::isFreeTypeLoaded());
    font->drop();
    EXPECT_FALSE(CGUITTFont::isFreeTypeLoaded());
    CGUITTFont* again = ownFont(16);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(CGUITTFont::isFreeTypeLoaded());
    EXPECT_GT(again->getDimension(L"A").Width, 0u);
}

TEST_F(FontTest, PageSizeFollowsTheFontSize) {
    const struct {
        u32 size;
        u32 edge;
        u32 cells;
    } cases[] = {{10, 256, 625},  {21, 256, 144},   {22, 512, 529},   {24, 512, 441},
                 {42, 512, 144},  {43, 1024, 529},  {84, 1024, 144},  {85, 2048, 576},
                 {100, 2048, 400}, {168, 2048, 144}};
    for (const auto& c : cases) {
        CGUITTFont* font = ownFont(c.size);
        ASSERT_NE(font, nullptr);
        const TTFontGlyphPage* page = font->getGlyphPage(0);
        ASSERT_NE(page, nullptr) << c.size;
        EXPECT_EQ(page->size.Width, c.edge) << c.size;
        EXPECT_EQ(page->size.Height, c.edge) << c.size;
        EXPECT_EQ(page->freeCells + page->usedCells, c.cells) << c.size;
    }
}

TEST_F(FontTest, LoadingPreloadsCodesBelow127) {
    CGUITTFont* font = ownFont(18);
    FT_Face face = font->getFace();
    for (u32 ch : {u32(' '), u32('A'), u32('z'), u32('~')})
        EXPECT_TRUE(font->getGlyph(FT_Get_Char_Index(face, ch))->loaded) << ch;
    const u32 eAcute = FT_Get_Char_Index(face, 0xE9);
    ASSERT_NE(eAcute, 0u);
    EXPECT_FALSE(font->getGlyph(eAcute)->loaded);
    EXPECT_EQ(font->getGlyphIndexByChar(0xE9), eAcute);
    EXPECT_TRUE(font->getGlyph(eAcute)->loaded);
    // Glyph numbers run from 1 to the face's count.
    const u32 count = static_cast<u32>(face->num_glyphs);
    EXPECT_EQ(font->getGlyph(0), nullptr);
    EXPECT_NE(font->getGlyph(1), nullptr);
    EXPECT_NE(font->getGlyph(count), nullptr);
    EXPECT_EQ(font->getGlyph(count + 1), nullptr);
}

TEST_F(FontTest, GlyphPagesFillAndGrow) {
    CGUITTFont* font = ownFont(24);
    font->setMaxPageTextureSize(core::dimension2du(64, 64));
    font->resetGlyphs();
    EXPECT_EQ(font->getPageCount(), 0u);
    // 64 / 24 = 2 cells a row, 4 a page.
    for (u32 ch = 'A'; ch <= 'Z'; ++ch)
        font->getGlyphIndexByChar(ch);
    EXPECT_EQ(font->getPageCount(), 7u);
    for (u32 i = 0; i < 6; ++i) {
        EXPECT_EQ(font->getGlyphPage(i)->usedCells, 4u);
        EXPECT_EQ(font->getGlyphPage(i)->freeCells, 0u);
        EXPECT_NE(font->getPageTexture(i), nullptr);
    }
    EXPECT_EQ(font->getGlyphPage(6)->usedCells, 2u);
    EXPECT_EQ(font->getPageTexture(7), nullptr);
    // Cells run row by row from the top left.
    const TTFontGlyph* d = font->getGlyph(font->getGlyphIndexByChar('D'));
    EXPECT_EQ(d->page, 0u);
    EXPECT_EQ(d->sourceRect.UpperLeftCorner, core::position2di(24, 24));
    const TTFontGlyph* e = font->getGlyph(font->getGlyphIndexByChar('E'));
    EXPECT_EQ(e->page, 1u);
    EXPECT_EQ(e->sourceRect.UpperLeftCorner, core::position2di(0, 0));
}

TEST_F(FontTest, PageSmallerThanACellHoldsNoGlyph) {
    CGUITTFont* font = ownFont(40);
    // One side shorter than a cell is enough.
    for (const core::dimension2du page : {core::dimension2du(1024, 32), core::dimension2du(32, 1024)}) {
        font->setMaxPageTextureSize(page);
        font->resetGlyphs();
        EXPECT_FALSE(font->getGlyph(font->getGlyphIndexByChar('Q'))->loaded) << page.Width;
        EXPECT_EQ(font->getPageCount(), 0u);
    }
    // A side of exactly one cell holds a column of glyphs.
    font->setMaxPageTextureSize(core::dimension2du(40, 1024));
    font->resetGlyphs();
    EXPECT_TRUE(font->getGlyph(font->getGlyphIndexByChar('Q'))->loaded);
    font->setMaxPageTextureSize(core::dimension2du(32, 32));
    font->resetGlyphs();
    const u32 index = font->getGlyphIndexByChar('Q');
    EXPECT_NE(index, 0u);
    EXPECT_FALSE(font->getGlyph(index)->loaded);
    EXPECT_EQ(font->getPageCount(), 0u);
    // The glyph is not drawn, but the text still advances past it.
    EXPECT_EQ(static_cast<s32>(font->getDimension(L"Q").Width), glyphMetrics(font, 'Q').advance);
    font->draw(L"Q", core::recti(0, 0, 100, 100), video::SColor(0xFFFFFFFF));
}

TEST_F(FontTest, MissingCharacterDrawsWithTheReplacementGlyph) {
    CGUITTFont* font = ownFont(20);
    FT_Face face = font->getFace();
    ASSERT_EQ(FT_Get_Char_Index(face, 0x4E00), 0u);
    const u32 replacement = FT_Get_Char_Index(face, 0xFFFD);
    ASSERT_NE(replacement, 0u);
    EXPECT_EQ(font->getGlyphIndexByChar(0x4E00), replacement);
    EXPECT_TRUE(font->getGlyph(replacement)->loaded) << "it is drawn";
    EXPECT_EQ(font->getCharDimension(0x4E00).Width, font->getCharDimension(0xFFFD).Width);
}

// In 3D text too a missing character shows the replacement glyph in the text's colour.
TEST_F(FontTest, AMissingCharacterOfATextSceneNodeShowsTheReplacementGlyph) {
    CGUITTFont* font = ownFont(20);
    const video::SColor red(0xFFFF0000);
    const core::array<scene::ISceneNode*> nodes =
        font->addTextSceneNode(L"\x4E00", device->getSceneManager(), nullptr, red, false);
    ASSERT_EQ(nodes.size(), 1u);
    auto* node = static_cast<scene::IMeshSceneNode*>(nodes[0]);
    EXPECT_NE(node->getMaterial(0).getTexture(0), nullptr);
    scene::IMeshBuffer* buffer = node->getMesh()->getMeshBuffer(0);
    ASSERT_EQ(buffer->getVertexCount(), 4u);
    const auto* vertices = static_cast<const video::S3DVertex*>(buffer->getVertices());
    for (u32 i = 0; i < 4; ++i)
        EXPECT_EQ(vertices[i].Color, red) << i;
    node->remove();
}

TEST_F(FontTest, TextWidthIsFreeTypesAdvancesAndKerning) {
    CGUITTFont* font = ownFont(28);
    const std::u32string text = U"AVATAR To";
    s32 expected = 0;
    u32 previous = 0;
    for (char32_t ch : text) {
        if (previous)
            expected += pairKerning(font, previous, ch);
        expected += glyphMetrics(font, ch).advance;
        previous = ch;
    }
    // The face kerns "AV" and "To": the measure would be off without kerning.
    EXPECT_NE(pairKerning(font, 'A', 'V'), 0);
    const core::dimension2du size = font->getDimension(L"AVATAR To");
    EXPECT_EQ(static_cast<s32>(size.Width), expected);
    EXPECT_EQ(static_cast<s32>(size.Height), lineHeight(font));
    EXPECT_EQ(font->getAscender(), static_cast<s32>(font->getFace()->size->metrics.ascender / 64));
}

// Fonts of one file share a FreeType face; each kerns at its own size whichever font used
// the face last.
TEST_F(FontTest, FontsSharingAFaceKernAtTheirOwnSize) {
    CGUITTFont* small = ownFont(14);
    CGUITTFont* large = ownFont(64);
    ASSERT_EQ(small->getFace(), large->getFace());
    const s32 smallAV = pairKerning(small, 'A', 'V');
    const s32 largeAV = pairKerning(large, 'A', 'V');
    ASSERT_NE(smallAV, largeAV);
    const struct {
        CGUITTFont* font;
        CGUITTFont* lastUser;
        s32 kerning;
    } cases[] = {{small, large, smallAV}, {large, small, largeAV}, {small, small, smallAV}, {large, large, largeAV}};
    for (const auto& c : cases) {
        FT_Set_Pixel_Sizes(c.lastUser->getFace(), 0, c.lastUser->getFontSize());
        EXPECT_EQ(c.font->getKerning('V', 'A').X, c.kerning) << c.font->getFontSize() << " after " << c.lastUser->getFontSize();
    }
}

TEST_F(FontTest, GlobalKerningAddsToEveryPair) {
    CGUITTFont* font = ownFont(20);
    const u32 plain = font->getDimension(L"abcd").Width;
    font->setKerningWidth(-1);
    EXPECT_EQ(font->getDimension(L"abcd").Width, plain - 3);
    EXPECT_EQ(font->getKerningWidth(static_cast<const wchar_t*>(nullptr), L"a"), 0);
    EXPECT_EQ(font->getKerning('b', 0), core::vector2di(0, 0));
}

TEST_F(FontTest, LinesAndEmptyText) {
    CGUITTFont* font = ownFont(22);
    const s32 L = lineHeight(font);
    EXPECT_EQ(font->getDimension(L""), core::dimension2du(0, static_cast<u32>(L)));
    const core::dimension2du two = font->getDimension(L"AB\r\nWide line");
    EXPECT_EQ(static_cast<s32>(two.Height), 2 * L);
    EXPECT_EQ(two.Width, font->getDimension(L"Wide line").Width);
    EXPECT_EQ(static_cast<s32>(font->getDimension(L"a\nb\rc").Height), 3 * L);
}

TEST_F(FontTest, CharacterFromPosition) {
    CGUITTFont* font = ownFont(22);
    EXPECT_EQ(font->getCharacterFromPos(L"Menu", 0), 0);
    const s32 width = static_cast<s32>(font->getDimension(L"Menu").Width);
    EXPECT_EQ(font->getCharacterFromPos(L"Menu", width + 5), -1);
    const s32 firstAdvance = static_cast<s32>(font->getCharDimension('M').Width);
    EXPECT_EQ(font->getCharacterFromPos(L"Menu", firstAdvance + 1), 1);
}

TEST_F(FontTest, SurrogatePairIsOneCodePoint) {
    CGUITTFont* font = ownFont(22);
    CGUITTFont::KerningArray kerning;
    const wchar_t text[] = {L'A', 0xD83D, 0xDE00, L'B', 0};
    font->prepareText(text, kerning);
    EXPECT_EQ(kerning.size(), 3u);
    const std::u16string utf16 = u"A\U0001F600B";
    ASSERT_EQ(utf16.size(), 4u);
    EXPECT_EQ(font->getCharacterFromPos(utf16, 100000), -1);
    const s32 firstTwo = static_cast<s32>(font->getDimension(std::u16string(u"A\U0001F600")).Width);
    EXPECT_EQ(font->getCharacterFromPos(utf16, firstTwo + 1), 2);
    // A surrogate at the end ends the text.
    const wchar_t cut[] = {L'A', 0xD83D, 0};
    EXPECT_EQ(font->getDimension(cut).Width, font->getDimension(L"A").Width);
}

TEST_F(FontTest, PreparedKerningMatchesThePairs) {
    CGUITTFont* font = ownFont(30);
    CGUITTFont::KerningArray kerning;
    font->prepareText(L"AVA", kerning);
    ASSERT_EQ(kerning.size(), 3u);
    EXPECT_EQ(kerning[0], core::vector2di(0, 0));
    EXPECT_EQ(kerning[1].X, pairKerning(font, 'A', 'V'));
    EXPECT_EQ(kerning[2].X, pairKerning(font, 'V', 'A'));
    EXPECT_TRUE(font->getNeedsLayout());
}

TEST_F(FontTest, DrawingLaysOutOnceAndMeasuresEachText) {
    CGUITTFont* font = ownFont(22);
    const core::recti box(0, 0, 400, 100);
    font->draw(L"First text", box, video::SColor(0xFFFFFFFF), true, true);
    EXPECT_FALSE(font->getNeedsLayout());
    // The kept layout belongs to the text drawn; another text is measured for itself.
    font->setNeedsLayout();
    const core::dimension2du own = font->getDimension(L"Other");
    font->draw(L"First text", box, video::SColor(0xFFFFFFFF), true, true);
    EXPECT_EQ(font->getDimension(L"Other"), own);
    EXPECT_EQ(font->getDimension(L"First text"), font->getDimension(L"First text"));
    EXPECT_NE(font->getDimension(L"First text"), own);
}

// A drawn text keeps its layout on the glyph pages: a line break starts the next glyph at the
// left, one ascender lower.
TEST_F(FontTest, ALaidOutLineBreakStartsTheNextLineAtTheLeft) {
    CGUITTFont* font = ownFont(22);
    const s32 ascender = font->getAscender();
    for (const wchar_t* text : {L"A\nA", L"A\r\nA"}) {
        SCOPED_TRACE(text[1] == L'\r' ? "CR LF" : "LF");
        font->draw(text, core::recti(0, 0, 400, 100), video::SColor(0xFFFFFFFF));
        std::vector<core::position2di> placed;
        for (u32 page = 0; page < font->getPageCount(); ++page) {
            const auto& positions = font->getGlyphPage(page)->renderPositions;
            for (u32 i = 0; i < positions.size(); ++i)
                placed.push_back(positions[i]);
        }
        ASSERT_EQ(placed.size(), 2u);
        EXPECT_EQ(placed[1].X, placed[0].X);
        EXPECT_EQ(placed[1].Y, placed[0].Y + ascender);
    }
}

// A font holds the video driver while it lives and lets go of it when it goes.
TEST_F(FontTest, AFontLetsGoOfTheDriverWhenItGoes) {
    const s32 before = driver->getReferenceCount();
    CGUITTFont* font = CGUITTFont::createTTFont(environment, fontPath, 20);
    ASSERT_NE(font, nullptr);
    EXPECT_GT(driver->getReferenceCount(), before);
    font->drop();
    EXPECT_EQ(driver->getReferenceCount(), before);
}

TEST_F(FontTest, TextSceneNodesOnePerGlyph) {
    CGUITTFont* font = ownFont(20);
    scene::ISceneManager* scene = device->getSceneManager();
    const core::array<scene::ISceneNode*> nodes =
        font->addTextSceneNode(L"Hi there", scene, nullptr, video::SColor(0xFFFF0000), true);
    EXPECT_EQ(nodes.size(), 8u); // the space has a glyph too
    for (u32 i = 0; i < nodes.size(); ++i) {
        // Unlit quads in the text's colour on the glyph's page, under the scene's root.
        const video::SMaterial& material = nodes[i]->getMaterial(0);
        EXPECT_EQ(material.MaterialType, video::EMT_TRANSPARENT_ALPHA_CHANNEL);
        EXPECT_FALSE(material.Lighting);
        EXPECT_EQ(material.DiffuseColor, video::SColor(0xFFFF0000));
        EXPECT_EQ(material.AmbientColor, video::SColor(0xFFFF0000));
        EXPECT_EQ(material.EmissiveColor, video::SColor(0xFFFF0000));
        EXPECT_NE(material.getTexture(0), nullptr);
        EXPECT_EQ(nodes[i]->getParent(), scene->getRootSceneNode());
        nodes[i]->remove();
    }
    EXPECT_EQ(font->addTextSceneNode(L"x", nullptr, nullptr, video::SColor(0), false).size(), 0u);
}

// A glyph no page can hold keeps its place in a 3D text as the plain unit quad: untextured,
// opaque white.
TEST_F(FontTest, ATextSceneNodeOfAGlyphNoPageHoldsIsAPlainWhiteQuad) {
    CGUITTFont* font = ownFont(40);
    font->setMaxPageTextureSize(core::dimension2du(32, 32));
    font->resetGlyphs();
    const core::array<scene::ISceneNode*> nodes =
        font->addTextSceneNode(L"Q", device->getSceneManager(), nullptr, video::SColor(0xFFFF0000), false);
    ASSERT_EQ(nodes.size(), 1u);
    auto* node = static_cast<scene::IMeshSceneNode*>(nodes[0]);
    EXPECT_EQ(node->getMaterial(0).getTexture(0), nullptr);
    scene::IMeshBuffer* buffer = node->getMesh()->getMeshBuffer(0);
    ASSERT_EQ(buffer->getVertexCount(), 4u);
    const auto* vertices = static_cast<const video::S3DVertex*>(buffer->getVertices());
    for (u32 i = 0; i < 4; ++i)
        EXPECT_EQ(vertices[i].Color, video::SColor(0xFFFFFFFF)) << i;
    node->remove();
}

TEST_F(FontTest, TextSceneNodesStepDownALineAtEachBreakAndCentreEachLine) {
    CGUITTFont* font = ownFont(20);
    scene::ISceneManager* scene = device->getSceneManager();
    const s32 ascender = font->getAscender();
    ASSERT_GT(ascender, 0);
    const auto positions = [&](const wchar_t* text, bool center) {
        const core::array<scene::ISceneNode*> nodes =
            font->addTextSceneNode(text, scene, nullptr, video::SColor(0xFFFFFFFF), center);
        std::vector<core::vector3df> at;
        for (u32 i = 0; i < nodes.size(); ++i) {
            at.push_back(nodes[i]->getPosition());
            nodes[i]->remove();
        }
        return at;
    };
    // "\r\n" is one break, "\r" and "\n" alone one each; a line starts again at the left.
    const struct {
        const wchar_t* text;
        f32 lines;
    } breaks[] = {{L"A\r\nA", 1.0f}, {L"A\nA", 1.0f}, {L"A\rA", 1.0f}, {L"A\n\nA", 2.0f}};
    for (const auto& row : breaks) {
        const std::vector<core::vector3df> at = positions(row.text, false);
        ASSERT_EQ(at.size(), 2u);
        EXPECT_EQ(at[1].X, at[0].X);
        EXPECT_EQ(at[1].Y, at[0].Y - row.lines * static_cast<f32>(ascender));
    }
    // A glyph follows the one before by its advance and the pair's kerning.
    const std::vector<core::vector3df> pair = positions(L"AV", false);
    ASSERT_EQ(pair.size(), 2u);
    const s32 kerning = font->getKerning('V', 'A').X;
    ASSERT_NE(kerning, 0);
    const TTFontGlyph* a = font->getGlyph(font->getGlyphIndexByChar('A'));
    const TTFontGlyph* v = font->getGlyph(font->getGlyphIndexByChar('V'));
    EXPECT_EQ(pair[1].X - pair[0].X,
              static_cast<f32>(static_cast<s32>(font->getCharDimension('A').Width) + kerning + v->offset.X - a->offset.X));
    // Centred, the text stands half its height higher.
    const std::vector<core::vector3df> plain = positions(L"A", false);
    const std::vector<core::vector3df> raised = positions(L"A", true);
    ASSERT_EQ(plain.size(), 1u);
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_EQ(raised[0].Y - plain[0].Y, static_cast<f32>(static_cast<s32>(font->getDimension(L"A").Height) / 2));
    // Centred, each line stands in the middle of the widest.
    const s32 whole = static_cast<s32>(font->getDimension(L"AAAA\nA").Width);
    const s32 one = static_cast<s32>(font->getDimension(L"A").Width);
    const std::vector<core::vector3df> centred = positions(L"AAAA\nA", true);
    ASSERT_EQ(centred.size(), 5u);
    const s32 firstStart = -whole / 2;
    const s32 secondStart = -whole / 2 + (whole - one) / 2;
    EXPECT_EQ(centred[4].X - centred[0].X, static_cast<f32>(secondStart - firstStart));
    EXPECT_EQ(centred[4].Y, centred[0].Y - static_cast<f32>(ascender));
}

TEST_F(FontTest, HintingAndMonochromeSwitchesChooseTheLoadAndTheGlyphImage) {
    CGUITTFont* font = ownFont(24);
    EXPECT_EQ(font->getLoadFlags(), FT_LOAD_RENDER);
    const s32 mono = FT_LOAD_RENDER | FT_LOAD_MONOCHROME | FT_LOAD_TARGET_MONO | FT_LOAD_NO_HINTING;
    const struct {
        bool hinting, autoHinting, monochrome;
        s32 flags;
    } rows[] = {
        {true, true, false, FT_LOAD_RENDER},
        {false, true, false, FT_LOAD_RENDER | FT_LOAD_NO_HINTING},
        {true, false, false, FT_LOAD_RENDER | FT_LOAD_NO_AUTOHINT},
        {true, true, true, mono},
        {false, false, true, mono | FT_LOAD_NO_AUTOHINT},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.flags);
        font->setFontHinting(row.hinting, row.autoHinting);
        font->setMonochrome(row.monochrome);
        EXPECT_EQ(font->useHinting(), row.hinting);
        EXPECT_EQ(font->useAutoHinting(), row.autoHinting);
        EXPECT_EQ(font->useMonochrome(), row.monochrome);
        EXPECT_EQ(font->getLoadFlags(), row.flags);
        // The glyphs are rendered again with the new flags; an image waits for its page.
        const u32 n = font->getGlyphIndexByChar('A');
        const TTFontGlyph* glyph = font->getGlyph(n);
        ASSERT_NE(glyph, nullptr);
        ASSERT_TRUE(glyph->loaded);
        ASSERT_NE(glyph->pendingImage, nullptr);
        video::IImage* image = glyph->pendingImage;
        FT_Face face = font->getFace();
        FT_Set_Pixel_Sizes(face, 0, font->getFontSize());
        ASSERT_EQ(FT_Load_Glyph(face, n, row.flags), 0);
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        ASSERT_GT(bitmap.width, 0u);
        if (!row.monochrome) {
            // Eight bits a pixel: white with the bitmap's coverage as alpha (of its grey
            // levels), the margin beyond the bitmap clear.
            EXPECT_EQ(image->getColorFormat(), video::ECF_A8R8G8B8);
            const core::dimension2du size = image->getDimension();
            EXPECT_GT(size.Width, bitmap.width);
            EXPECT_GT(size.Height, bitmap.rows);
            const f32 grays = bitmap.num_grays ? static_cast<f32>(bitmap.num_grays) : 256.0f;
            u32 wrong = 0, inked = 0;
            for (u32 y = 0; y < size.Height; ++y)
                for (u32 x = 0; x < size.Width; ++x) {
                    u32 alpha = 0;
                    if (x < bitmap.width && y < bitmap.rows)
                        alpha = static_cast<u32>(
                            static_cast<f32>(bitmap.buffer[y * static_cast<u32>(bitmap.pitch) + x]) / grays * 255.0f);
                    const video::SColor pixel = image->getPixel(x, y);
                    inked += alpha > 0 ? 1 : 0;
                    if (pixel.getAlpha() != alpha || pixel.getRed() != 255u || pixel.getBlue() != 255u)
                        ++wrong;
                }
            EXPECT_GT(inked, 0u);
            EXPECT_EQ(wrong, 0u);
            continue;
        }
        // One bit a pixel: set bits are opaque white, the rest (and the margin) clear, on a
        // square of a power of two beyond the bitmap's sides.
        EXPECT_EQ(image->getColorFormat(), video::ECF_A1R5G5B5);
        u32 edge = 1;
        while (edge < std::max(bitmap.width, bitmap.rows) + 1)
            edge *= 2;
        EXPECT_EQ(image->getDimension(), core::dimension2du(edge, edge));
        u32 wrong = 0, set = 0;
        for (u32 y = 0; y < edge; ++y)
            for (u32 x = 0; x < edge; ++x) {
                const bool bit = x < bitmap.width && y < bitmap.rows &&
                                 (bitmap.buffer[y * static_cast<u32>(bitmap.pitch) + x / 8] & (0x80 >> (x % 8)));
                const video::SColor pixel = image->getPixel(x, y);
                set += bit ? 1 : 0;
                if (pixel.getAlpha() != (bit ? 255u : 0u) || (bit && pixel.getRed() != 255u))
                    ++wrong;
            }
        EXPECT_GT(set, 0u);
        EXPECT_EQ(wrong, 0u);
    }
}

TEST_F(FontTest, FirstLineDimension) {
    CGUITTFont* font = ownFont(22);
    EXPECT_EQ(getFirstLineDimension(font, L"Top\nBottom line").Width, font->getDimension(L"Top").Width);
    EXPECT_EQ(getFirstLineDimension(nullptr, L"x").Width, 0u);
}

// A line break ends the kerning: the first glyph of a line stands where it stands alone,
// whichever break ends the line before; within a line the pair keeps its kerning.
TEST_F(FontTest, TheFirstGlyphOfALineHasNoKerningWithTheLineBefore) {
    CGUITTFont* font = ownFont(30);
    font->setKerningWidth(-3);
    auto placed = [&](const wchar_t* text) {
        font->draw(text, core::recti(0, 0, 400, 200), video::SColor(0xFFFFFFFF));
        std::vector<core::position2di> at;
        for (u32 page = 0; page < font->getPageCount(); ++page) {
            const auto& positions = font->getGlyphPage(page)->renderPositions;
            for (u32 i = 0; i < positions.size(); ++i)
                at.push_back(positions[i]);
        }
        return at;
    };
    const std::vector<core::position2di> alone = placed(L"V");
    ASSERT_EQ(alone.size(), 1u);
    for (const wchar_t* text : {L"A\nV", L"A\r\nV", L"A\rV"}) {
        SCOPED_TRACE(text[1] == L'\r' ? (text[2] == L'\n' ? "CR LF" : "CR") : "LF");
        const std::vector<core::position2di> at = placed(text);
        ASSERT_EQ(at.size(), 2u);
        EXPECT_EQ(at[1].X, alone[0].X);
    }
    const std::vector<core::position2di> pair = placed(L"AV");
    ASSERT_EQ(pair.size(), 2u);
    EXPECT_EQ(pair[1].X, alone[0].X + static_cast<s32>(font->getCharDimension('A').Width) + font->getKerning('V', 'A').X);
}

} // namespace

// What the fonts make for a level's text is charged as it is made: a font made for it (its
// glyph records, and the bytes of a file no font had read), its pages, each glyph node (also a
// scene node). The menus' own text charges nothing.
TEST_F(LevelFontTest, ALevelsTextChargesWhatItsFontMakesAndTheMenusTextNothing) {
    test::TempDir dir;
    const std::string own = dir.file("Own.ttf");
    std::filesystem::copy_file(fontPath, own);
    ASSERT_GT(getCachedFont(fontPath, 20)->getDimension(L"Menu").Width, 0u);
    EXPECT_EQ(loadBudget().used(LoadBudget::Memory), 0u);

    const core::array<scene::ISceneNode*> glyphs = levelText(own.c_str(), 40, L"Hello");
    ASSERT_EQ(glyphs.size(), 5u);
    CGUITTFont* font = getCachedFont(own.c_str(), 40);
    ASSERT_EQ(font->getPageCount(), 1u) << "codes 0 to 126 and the text on one page of 512 x 512";
    EXPECT_EQ(loadBudget().used(LoadBudget::Memory),
              std::filesystem::file_size(own) + static_cast<std::uint64_t>(font->getFace()->num_glyphs) * sizeof(TTFontGlyph) +
                  512 * 512 * 4 + 5 * CGUITTFont::bytesPerTextGlyph);
    EXPECT_EQ(loadBudget().used(LoadBudget::Nodes), 5u);
    EXPECT_EQ(textured(glyphs), 5u);
    for (u32 i = 0; i < glyphs.size(); ++i)
        glyphs[i]->remove();
    // A text made again (a counter's) is charged only for glyph nodes beyond those it had.
    u32 charged = 0;
    for (const auto& [text, nodes] : {std::pair{L"12", 7u}, std::pair{L"9", 7u}, std::pair{L"100", 8u}}) {
        const core::array<scene::ISceneNode*> again = levelText(own.c_str(), 40, text, &charged);
        EXPECT_EQ(loadBudget().used(LoadBudget::Nodes), nodes) << text;
        for (u32 i = 0; i < again.size(); ++i)
            again[i]->remove();
    }
}

// A level's unload takes what its text made with it: the fonts made for it alone, and the
// pages other fonts made for it; the menus' pages and fonts stay, and the level's glyphs load
// again when next asked for.
TEST_F(LevelFontTest, TheFontsAndPagesALevelMadeGoWithIt) {
    CGUITTFont* menu = getCachedFont(fontPath, 24);
    ASSERT_NE(menu, nullptr);
    // Pages of 96 x 96 pixels: sixteen glyphs each.
    menu->setMaxPageTextureSize(core::dimension2du(96, 96));
    menu->resetGlyphs();
    menu->draw(L"ABC", core::recti(0, 0, 400, 40), video::SColor(0xFF000000));
    ASSERT_EQ(menu->getPageCount(), 1u);
    const u32 fontsBefore = cachedFontCount();
    core::array<scene::ISceneNode*> glyphs = levelText(fontPath, 24, L"abcdefghijklmnopqrst"); // fills page 0, makes page 1
    ASSERT_EQ(menu->getPageCount(), 2u);
    core::array<scene::ISceneNode*> alone = levelText(fontPath, 31, L"Only the level's");
    EXPECT_EQ(cachedFontCount(), fontsBefore + 1);
    ASSERT_NE(getCachedFont(fontPath, 33), nullptr) << "a menu's font";
    {
        // Made for a level, then asked for by a menu: the menu's.
        const CGUITTFont::LevelText levelText;
        ASSERT_NE(getCachedFont(fontPath, 35), nullptr);
    }
    ASSERT_NE(getCachedFont(fontPath, 35), nullptr);
    const u32 fontsWithLevel = cachedFontCount();
    for (u32 i = 0; i < glyphs.size(); ++i)
        glyphs[i]->remove();
    for (u32 i = 0; i < alone.size(); ++i)
        alone[i]->remove();

    releaseLevelFonts();
    EXPECT_EQ(cachedFontCount(), fontsWithLevel - 1) << "the font the level alone asked for is gone";
    EXPECT_EQ(getCachedFont(fontPath, 24), menu);
    EXPECT_NE(menu->getPageTexture(0), nullptr) << "the menu's page stays";
    EXPECT_EQ(menu->getPageTexture(1), nullptr) << "the level's page is gone";
    EXPECT_TRUE(menu->getGlyph(FT_Get_Char_Index(menu->getFace(), 'A'))->loaded);
    EXPECT_FALSE(menu->getGlyph(FT_Get_Char_Index(menu->getFace(), 't'))->loaded);
    // Asked for again, the glyph comes back on a page of its own.
    menu->draw(L"t", core::recti(0, 0, 400, 40), video::SColor(0xFF000000));
    EXPECT_TRUE(menu->getGlyph(FT_Get_Char_Index(menu->getFace(), 't'))->loaded);
    EXPECT_EQ(menu->getPageCount(), 3u);
}

// A glyph node is charged at least what it takes from the heap. (Counted by the sanitizer's
// allocator.)
TEST_F(LevelFontTest, AGlyphNodesChargeCoversWhatItAllocates) {
    if (!test::heapCounted())
        GTEST_SKIP() << "the heap is counted by the sanitizer's allocator";
    std::wstring text;
    for (wchar_t c = L'!'; c < L'~'; ++c)
        text += c;
    levelText(fontPath, 20, L"warm up"); // the font, its page and the shared quad
    const size_t before = test::heapBytesInUse();
    const core::array<scene::ISceneNode*> glyphs = levelText(fontPath, 20, text.c_str());
    const size_t grown = test::heapBytesInUse() - before;
    ASSERT_EQ(glyphs.size(), text.size());
    EXPECT_GE(static_cast<size_t>(glyphs.size()) * CGUITTFont::bytesPerTextGlyph, grown);
}
