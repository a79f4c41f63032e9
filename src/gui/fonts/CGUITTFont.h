#pragma once

#include <IGUIFont.h>
#include <IReferenceCounted.h>
#include <SColor.h>
#include <irrArray.h>
#include <irrString.h>
#include <path.h>
#include <rect.h>
#include <vector2d.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <string>
#include <vector>

namespace irr {
namespace gui {
class IGUIEnvironment;
}
namespace video {
class IImage;
class ITexture;
class IVideoDriver;
} // namespace video
namespace scene {
class IMeshSceneNode;
class ISceneManager;
class ISceneNode;
} // namespace scene
} // namespace irr

class CGUITTFont;

// One FreeType face with the font file's bytes. Fonts of one file at different sizes share
// it; it is reference counted like an engine object and starts with one reference.
class CGUITTFontFace : public virtual irr::IReferenceCounted {
public:
    CGUITTFontFace() = default;
    ~CGUITTFontFace() override;

    FT_Face face = nullptr;
    irr::u8* fileBytes = nullptr; // null when the face was opened from disk by name
    irr::s32 fileSize = 0;
};

// A rendered glyph and where it lives in its page.
struct TTFontGlyph {
    bool loaded = false;
    irr::u32 page = 0;
    irr::core::recti sourceRect;
    irr::core::vector2di offset;  // bitmap_left, bitmap_top
    irr::core::vector2di advance; // 26.6 fixed point
    irr::video::IImage* pendingImage = nullptr; // until copied into the page texture
    CGUITTFont* owner = nullptr;
};

// A texture divided into square cells of the font's pixel size, filled with glyphs on demand.
class TTFontGlyphPage {
public:
    TTFontGlyphPage(irr::video::IVideoDriver* driver, const irr::io::path& name);
    ~TTFontGlyphPage();
    TTFontGlyphPage(const TTFontGlyphPage&) = delete;
    TTFontGlyphPage& operator=(const TTFontGlyphPage&) = delete;

    bool createPageTexture(irr::u8 pixelMode, const irr::core::dimension2du& size);
    // Copies the pending glyph images into the texture.
    void updateTexture();

    irr::video::ITexture* texture = nullptr;
    irr::core::dimension2du size; // the page as created (the texture may report otherwise)
    bool levelPage = false;       // made for a level's text, charged to its memory
    irr::u32 freeCells = 0;
    irr::u32 usedCells = 0;
    bool dirty = false;
    irr::core::array<irr::core::position2di> renderPositions;
    irr::core::array<irr::core::recti> renderSourceRects;
    std::vector<TTFontGlyph*> pendingGlyphs;
    irr::video::IVideoDriver* driver;
    irr::io::path name;
};

// The game's TrueType GUI font on FreeType. Obtained through the font cache (FontCache.h),
// never dropped by its users. Glyphs are rendered once and packed into page textures; a text
// is drawn with one batched image call per page, and its layout is kept between draws.
//
// What a level's objects ask of the fonts (3D text, text bubbles: anything asked while a
// LevelText scope lives) is charged to the level's memory (core/LoadBudget.h) as it is made:
// a font made for it (its glyph records and, for a file no font had read, the file's bytes),
// each glyph page made for it (its texture's bytes), and each glyph node of a 3D text (also
// one scene node). What the budget refuses is left out: the font is not made, a glyph without
// a page is not drawn (FreeType does not even render it), a glyph node is not made. The
// menus' and the HUD's own text charges nothing. A level's pages are let go when the level
// is unloaded (releaseLevelPages).
class CGUITTFont : public irr::gui::IGUIFont {
public:
    using KerningArray = std::vector<irr::core::vector2di>;

    // While one lives (main thread) made with `levels` on, what the fonts make is a level's.
    class LevelText {
    public:
        explicit LevelText(bool levels = true) : levels(levels) { depth += levels ? 1 : 0; }
        ~LevelText() { depth -= levels ? 1 : 0; }
        LevelText(const LevelText&) = delete;
        LevelText& operator=(const LevelText&) = delete;
        static bool active() { return depth > 0; }

    private:
        static int depth;
        bool levels;
    };
    // What one glyph node of a 3D text allocates (its node, mesh, buffer, four vertices and six
    // indices), as measured with the engine's allocations: about 2,350 bytes.
    static constexpr irr::u32 bytesPerTextGlyph = 2560;

    // A loaded font with one reference, or null.
    static CGUITTFont* createTTFont(irr::gui::IGUIEnvironment* env, const irr::io::path& fileName,
                                    irr::u32 size);
    ~CGUITTFont() override;

    bool load(const irr::io::path& fileName, irr::u32 size);

    // --- IGUIFont ---
    void draw(const irr::core::stringw& text, const irr::core::rect<irr::s32>& position,
              irr::video::SColor color, bool hcenter = false, bool vcenter = false,
              const irr::core::rect<irr::s32>* clip = nullptr) override;
    irr::core::dimension2d<irr::u32> getDimension(const wchar_t* text) const override;
    irr::s32 getCharacterFromPos(const wchar_t* text, irr::s32 pixelX) const override;
    irr::gui::EGUI_FONT_TYPE getType() const override { return irr::gui::EGFT_CUSTOM; }
    void setKerningWidth(irr::s32 kerning) override { globalKerningWidth = kerning; }
    void setKerningHeight(irr::s32 kerning) override { globalKerningHeight = kerning; }
    irr::s32 getKerningWidth(const wchar_t* thisLetter = nullptr,
                             const wchar_t* previousLetter = nullptr) const override;
    irr::s32 getKerningHeight() const override { return globalKerningHeight; }
    void setInvisibleCharacters(const wchar_t* s) override;

    // --- options ---
    void setBatchLoadSize(irr::u32 count) { batchLoadSize = count; }
    void setMaxPageTextureSize(const irr::core::dimension2du& size) { maxPageTextureSize = size; }
    irr::u32 getFontSize() const { return size; }
    bool getTransparency() const { return useTransparency; }
    bool useAutoHinting() const { return useAutoHintingOption; }
    bool useHinting() const { return useHintingOption; }
    bool useMonochrome() const { return useMonochromeOption; }
    void setTransparency(bool flag);
    void setMonochrome(bool flag);
    void setFontHinting(bool enable, bool enableAutoHinting = true);

    // --- measuring and layout ---
    irr::core::dimension2d<irr::u32> getCharDimension(irr::u32 ch) const;
    irr::core::dimension2d<irr::u32> getDimension(const std::u16string& text) const;
    void setStoredDimension(const irr::core::dimension2di& dimension) { storedDimension = dimension; }
    irr::s32 getCharacterFromPos(const std::u16string& text, irr::s32 pixelX) const;
    irr::s32 getKerningWidth(irr::u32 thisLetter, irr::u32 previousLetter) const;
    // Kerning pair between a code point and the one before it (global kerning included).
    irr::core::vector2di getKerning(irr::u32 thisLetter, irr::u32 previousLetter) const;
    void setInvisibleCharacters(const std::u16string& s);

    // Sets needs-layout and fills the array with one kerning pair per code point.
    void prepareText(const irr::core::stringw& text, KerningArray& kerning);
    // The array serves as the kerning of the next draw only.
    void setKerningCache(const KerningArray* kerning) { kerningCache = kerning; }
    void setNeedsLayout() { needsLayout = true; }
    bool getNeedsLayout() const { return needsLayout; }

    // --- glyphs and pages ---
    // The glyph index that draws the code point, loading glyphs as needed; 0 when the face
    // has neither the code point nor U+FFFD.
    irr::u32 getGlyphIndexByChar(irr::u32 ch) const;
    // A copy of the character's cell area out of its page texture; null without one.
    irr::video::IImage* createImageFromChar(irr::u32 ch);
    irr::video::ITexture* getPageTexture(irr::u32 page) const;
    irr::u32 getPageCount() const { return static_cast<irr::u32>(glyphPages.size()); }
    const TTFontGlyphPage* getGlyphPage(irr::u32 page) const {
        return page < glyphPages.size() ? glyphPages[page] : nullptr;
    }
    // The FreeType library is loaded (from the first font until the last face goes).
    static bool isFreeTypeLoaded();
    const TTFontGlyph* getGlyph(irr::u32 glyphIndex) const;
    void updateGlyphPages() const;
    void resetGlyphs();
    // Lets go of the pages made for a level (their textures; their glyphs load again when
    // next asked for, on new pages). Only once no level object draws from them.
    void releaseLevelPages();
    // The bytes of one glyph page of this font.
    std::uint64_t pageBytes() const;
    // Made for a level and asked for by nothing else since (the font cache lets it go with
    // the level).
    bool isLevelsOwn() const { return levelsOwn; }
    void setLevelsOwn(bool own) { levelsOwn = own; }
    irr::s32 getLoadFlags() const { return loadFlags; }
    // The ascender in whole pixels: the line advance.
    irr::s32 getAscender() const { return static_cast<irr::s32>(sizeMetrics.ascender / 64); }
    FT_Face getFace() const { return face; }

    // A 3D text, a level's: one mesh scene node per glyph under the parent (the scene root
    // when null), the text cut before the first glyph node the level's budget refuses;
    // `shownSize` (when given) gets the size in pixels of what is shown. `chargedGlyphs`
    // (when given) counts the glyph nodes its text was charged for before: only nodes
    // beyond them are charged, and it is raised by those.
    irr::core::array<irr::scene::ISceneNode*> addTextSceneNode(
        const wchar_t* text, irr::scene::ISceneManager* smgr, irr::scene::ISceneNode* parent,
        irr::video::SColor color, bool center, irr::core::dimension2du* shownSize = nullptr,
        irr::u32* chargedGlyphs = nullptr);

private:
    explicit CGUITTFont(irr::gui::IGUIEnvironment* env);

    void updateLoadFlags();
    void loadGlyph(irr::u32 glyphIndex, TTFontGlyph& glyph) const;
    // The size of a new page (zero when the driver cannot hold one cell).
    irr::core::dimension2du newPageSize() const;
    TTFontGlyphPage* createGlyphPage(irr::u8 pixelMode) const;
    irr::video::IImage* createGlyphImage(const FT_Bitmap& bitmap) const;
    irr::s32 advanceOf(irr::u32 ch) const;
    irr::s32 heightOf(irr::u32 ch) const;
    bool isInvisible(irr::u32 ch) const;
    template <class Text>
    irr::core::dimension2d<irr::u32> measure(const Text& text) const;
    template <class Text>
    irr::s32 characterFromPos(const Text& text, irr::s32 pixelX) const;
    void layout(const irr::core::stringw& text);

    bool useMonochromeOption = false;
    bool useTransparency = true;
    bool useHintingOption = true;
    bool useAutoHintingOption = true;
    irr::u32 size = 0;
    irr::u32 batchLoadSize = 1;
    irr::core::dimension2du maxPageTextureSize;
    irr::core::dimension2di storedDimension;
    irr::gui::IGUIEnvironment* environment;
    irr::video::IVideoDriver* driver = nullptr;
    irr::io::path fileName;
    FT_Face face = nullptr;
    CGUITTFontFace* faceRecord = nullptr;
    FT_Size_Metrics sizeMetrics{};
    irr::s32 loadFlags = 0;
    // Glyph loading happens inside measuring and drawing: the glyph state is a cache.
    mutable std::vector<TTFontGlyphPage*> glyphPages;
    mutable std::vector<TTFontGlyph> glyphs; // glyph index - 1
    const KerningArray* kerningCache = nullptr;
    irr::s32 globalKerningWidth = 0;
    irr::s32 globalKerningHeight = 0;
    std::u32string invisibleCharacters;
    bool needsLayout = true;
    bool levelsOwn = false;
    // The text the kept layout and stored dimension belong to: a different text is laid
    // out and measured again even when no caller asked for it.
    irr::core::stringw laidOutText;
};

// The dimension of the text up to its first CR, LF or end.
irr::core::dimension2d<irr::u32> getFirstLineDimension(const CGUITTFont* font, const wchar_t* text);
