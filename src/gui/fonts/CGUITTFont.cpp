#include "gui/fonts/CGUITTFont.h"

#include "core/LoadBudget.h"
#include "gui/fonts/CodePoints.h"
#include "render/TextureMipMaps.h"

#include <IFileSystem.h>
#include <IGUIEnvironment.h>
#include <IImage.h>
#include <IMeshManipulator.h>
#include <IMeshSceneNode.h>
#include <IReadFile.h>
#include <ISceneManager.h>
#include <ITexture.h>
#include <IVideoDriver.h>
#include <SMesh.h>
#include <SMeshBuffer.h>

#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstring>
#include <map>

using namespace irr;

namespace {

// FreeType library and the faces in use, shared by every font of the process. The library
// is released with the last face.
FT_Library library = nullptr;
bool libraryExists = false;
std::map<io::path, CGUITTFontFace*> faceMap;

// The unit quad every glyph of a 3D text is copied from, built on first use.
struct SharedQuad {
    scene::SMesh* mesh = nullptr;
    ~SharedQuad() {
        if (mesh)
            mesh->drop();
    }
};
SharedQuad sharedQuad;

scene::SMesh* sharedQuadMesh() {
    if (sharedQuad.mesh)
        return sharedQuad.mesh;
    auto* buffer = new scene::SMeshBuffer();
    const video::SColor white(255, 255, 255, 255);
    buffer->Vertices.push_back(video::S3DVertex(0, -1, 0, 0, 0, -1, white, 0, 1));
    buffer->Vertices.push_back(video::S3DVertex(1, -1, 0, 0, 0, -1, white, 1, 1));
    buffer->Vertices.push_back(video::S3DVertex(0, 0, 0, 0, 0, -1, white, 0, 0));
    buffer->Vertices.push_back(video::S3DVertex(1, 0, 0, 0, 0, -1, white, 1, 0));
    for (u16 index : {0, 2, 3, 3, 1, 0})
        buffer->Indices.push_back(index);
    buffer->recalculateBoundingBox();
    sharedQuad.mesh = new scene::SMesh();
    sharedQuad.mesh->addMeshBuffer(buffer);
    sharedQuad.mesh->recalculateBoundingBox();
    buffer->drop();
    return sharedQuad.mesh;
}

u32 nextPowerOfTwo(u32 value) {
    u32 result = 1;
    while (result < value)
        result <<= 1;
    return result;
}

template <class Text>
std::size_t unitCount(const Text& text) {
    return text.size();
}

} // namespace

int CGUITTFont::LevelText::depth = 0;

// --- face record -----------------------------------------------------------------------

CGUITTFontFace::~CGUITTFontFace() {
    if (face)
        FT_Done_Face(face);
    delete[] fileBytes;
}

// --- glyph page -------------------------------------------------------------------------

TTFontGlyphPage::TTFontGlyphPage(video::IVideoDriver* driver, const io::path& name)
    : driver(driver), name(name) {}

TTFontGlyphPage::~TTFontGlyphPage() {
    if (!texture)
        return;
    if (driver)
        driver->removeTexture(texture);
    else
        texture->drop();
}

bool TTFontGlyphPage::createPageTexture(u8 pixelMode, const core::dimension2du& pageSize) {
    if (texture)
        return true;
    if (!driver)
        return false;
    const video::ECOLOR_FORMAT format =
        pixelMode == FT_PIXEL_MODE_MONO ? video::ECF_A1R5G5B5 : video::ECF_A8R8G8B8;
    {
        const TextureMipMaps flat(driver, false);
        texture = driver->addTexture(pageSize, name, format);
    }
    size = pageSize;
    return texture != nullptr;
}

void TTFontGlyphPage::updateTexture() {
    if (!dirty)
        return;
    void* pixels = texture ? texture->lock(video::ETLM_READ_WRITE, 0) : nullptr;
    video::IImage* wrapper = nullptr;
    if (pixels && driver)
        wrapper = driver->createImageFromData(texture->getColorFormat(), texture->getOriginalSize(),
                                              pixels, true, false);
    for (TTFontGlyph* glyph : pendingGlyphs) {
        if (!glyph->loaded || !glyph->pendingImage)
            continue;
        if (wrapper)
            glyph->pendingImage->copyTo(wrapper, glyph->sourceRect.UpperLeftCorner);
        glyph->pendingImage->drop();
        glyph->pendingImage = nullptr;
    }
    if (wrapper)
        wrapper->drop();
    if (pixels)
        texture->unlock();
    pendingGlyphs.clear();
    dirty = false;
}

// --- creation and loading ----------------------------------------------------------------

bool CGUITTFont::isFreeTypeLoaded() { return libraryExists; }

CGUITTFont* CGUITTFont::createTTFont(gui::IGUIEnvironment* env, const io::path& fileName, u32 size) {
    if (!libraryExists) {
        if (FT_Init_FreeType(&library))
            return nullptr;
        libraryExists = true;
    }
    auto* font = new CGUITTFont(env);
    if (font->load(fileName, size))
        return font;
    font->drop();
    return nullptr;
}

CGUITTFont::CGUITTFont(gui::IGUIEnvironment* env) : environment(env) {
    if (environment)
        driver = environment->getVideoDriver();
    if (driver)
        driver->grab();
}

CGUITTFont::~CGUITTFont() {
    resetGlyphs();
    glyphs.clear();
    if (faceRecord) {
        auto it = faceMap.find(fileName);
        // Dropping the last reference destroys the record; the map must forget it first.
        if (faceRecord->getReferenceCount() == 1 && it != faceMap.end() && it->second == faceRecord)
            faceMap.erase(it);
        faceRecord->drop();
        faceRecord = nullptr;
    }
    // Also after a file that held no face: FreeType goes with the last face.
    if (faceMap.empty() && libraryExists) {
        FT_Done_FreeType(library);
        library = nullptr;
        libraryExists = false;
    }
    if (driver)
        driver->drop();
}

bool CGUITTFont::load(const io::path& file, u32 pixelSize) {
    if (!environment || !driver || pixelSize == 0 || file.size() == 0 || !libraryExists)
        return false;
    io::IFileSystem* fileSystem = environment->getFileSystem();
    size = pixelSize;
    fileName = file;
    useMonochromeOption = false;
    useTransparency = false;
    updateLoadFlags();

    auto found = faceMap.find(fileName);
    if (found != faceMap.end()) {
        faceRecord = found->second;
        faceRecord->grab();
    } else {
        auto* record = new CGUITTFontFace();
        faceMap[fileName] = record;
        FT_Error error = 0;
        if (fileSystem) {
            io::IReadFile* in = fileSystem->createAndOpenFile(fileName);
            if (!in || in->getSize() <= 0) {
                if (in)
                    in->drop();
                faceMap.erase(fileName);
                record->drop();
                return false;
            }
            // A file no font had read, for a level's text: its bytes are the level's.
            if (LevelText::active() &&
                !loadBudget().charge(LoadBudget::Memory, static_cast<std::uint64_t>(in->getSize()))) {
                in->drop();
                faceMap.erase(fileName);
                record->drop();
                return false;
            }
            record->fileSize = static_cast<s32>(in->getSize());
            record->fileBytes = new u8[record->fileSize];
            const s32 read = in->read(record->fileBytes, record->fileSize);
            in->drop();
            if (read != record->fileSize)
                error = 1;
            else
                error = FT_New_Memory_Face(library, record->fileBytes, record->fileSize, 0,
                                           &record->face);
        } else {
            error = FT_New_Face(library, core::stringc(fileName).c_str(), 0, &record->face);
        }
        if (error) {
            faceMap.erase(fileName);
            record->drop();
            return false;
        }
        faceRecord = record;
    }

    face = faceRecord->face;
    FT_Set_Pixel_Sizes(face, size, 0);
    sizeMetrics = face->size->metrics;

    // The glyph records of a font made for a level's text are the level's (the destructor
    // lets go of the face when this fails).
    if (LevelText::active() &&
        !loadBudget().charge(LoadBudget::Memory, static_cast<std::uint64_t>(face->num_glyphs) * sizeof(TTFontGlyph)))
        return false;
    glyphs.assign(static_cast<std::size_t>(face->num_glyphs), TTFontGlyph{});
    for (TTFontGlyph& glyph : glyphs)
        glyph.owner = this;

    // Codes 0 to 126 are loaded at once.
    const u32 previousBatch = batchLoadSize;
    batchLoadSize = 127;
    getGlyphIndexByChar(0);
    batchLoadSize = previousBatch;
    return true;
}

void CGUITTFont::updateLoadFlags() {
    loadFlags = FT_LOAD_RENDER;
    if (!useHintingOption)
        loadFlags |= FT_LOAD_NO_HINTING;
    if (!useAutoHintingOption)
        loadFlags |= FT_LOAD_NO_AUTOHINT;
    if (useMonochromeOption)
        loadFlags |= FT_LOAD_MONOCHROME | FT_LOAD_TARGET_MONO | FT_LOAD_NO_HINTING;
}

void CGUITTFont::setTransparency(bool flag) {
    useTransparency = flag;
    resetGlyphs();
}

void CGUITTFont::setMonochrome(bool flag) {
    useMonochromeOption = flag;
    resetGlyphs();
}

void CGUITTFont::setFontHinting(bool enable, bool enableAutoHinting) {
    useHintingOption = enable;
    useAutoHintingOption = enableAutoHinting;
    resetGlyphs();
}

// --- glyphs and pages ----------------------------------------------------------------------

u32 CGUITTFont::getGlyphIndexByChar(u32 ch) const {
    if (!face)
        return 0;
    u32 n = FT_Get_Char_Index(face, ch);
    if (n == 0)
        n = FT_Get_Char_Index(face, 0xFFFD);
    if (n != 0 && n <= glyphs.size() && glyphs[n - 1].loaded)
        return n;

    const u32 half = batchLoadSize / 2;
    const u32 start = ch > half ? ch - half : 0;
    for (u32 code = start; code < start + batchLoadSize; ++code) {
        const u32 index = FT_Get_Char_Index(face, code);
        if (index == 0 || index > glyphs.size() || glyphs[index - 1].loaded)
            continue;
        TTFontGlyph& glyph = glyphs[index - 1];
        loadGlyph(index, glyph);
        if (glyph.loaded)
            glyphPages[glyph.page]->pendingGlyphs.push_back(&glyph);
    }
    // The replacement glyph standing in for a missing character lies outside the batch
    // around that character.
    if (n != 0 && n <= glyphs.size() && !glyphs[n - 1].loaded) {
        TTFontGlyph& glyph = glyphs[n - 1];
        loadGlyph(n, glyph);
        if (glyph.loaded)
            glyphPages[glyph.page]->pendingGlyphs.push_back(&glyph);
    }
    return n;
}

void CGUITTFont::loadGlyph(u32 glyphIndex, TTFontGlyph& glyph) const {
    if (glyph.loaded)
        return;
    TTFontGlyphPage* page = glyphPages.empty() ? nullptr : glyphPages.back();
    if (page && page->freeCells == 0) {
        // A full page takes its glyphs' images now: they would otherwise all wait for the end
        // of the layout, a whole text's worth (2,048 images of up to 257 x 257 pixels).
        if (page->dirty)
            page->updateTexture();
        page = nullptr;
    }
    // A new page for a level's text must fit the level's memory before the glyph is even
    // rendered; without one the glyph stays unloaded and is drawn as nothing.
    if (!page && LevelText::active() && !loadBudget().allows(LoadBudget::Memory, pageBytes()))
        return;
    FT_Set_Pixel_Sizes(face, 0, size);
    if (FT_Load_Glyph(face, glyphIndex, loadFlags))
        return;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.advance = core::vector2di(static_cast<s32>(slot->advance.x), static_cast<s32>(slot->advance.y));
    glyph.offset = core::vector2di(slot->bitmap_left, slot->bitmap_top);

    if (!page) {
        page = createGlyphPage(bitmap.pixel_mode);
        if (!page)
            return;
    }
    glyph.page = static_cast<u32>(glyphPages.size() - 1);
    const u32 perRow = page->size.Width / size;
    const u32 k = page->usedCells;
    const s32 x = static_cast<s32>((k % perRow) * size);
    const s32 y = static_cast<s32>((k / perRow) * size);
    glyph.sourceRect = core::recti(x, y, x + static_cast<s32>(bitmap.width), y + static_cast<s32>(bitmap.rows));
    ++page->usedCells;
    --page->freeCells;
    page->dirty = true;
    glyph.pendingImage = createGlyphImage(bitmap);
    glyph.loaded = true;
}

video::IImage* CGUITTFont::createGlyphImage(const FT_Bitmap& bitmap) const {
    if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
        const u32 edge = std::max(nextPowerOfTwo(bitmap.width + 1), nextPowerOfTwo(bitmap.rows + 1));
        video::IImage* image = driver->createImage(video::ECF_A1R5G5B5, core::dimension2du(edge, edge));
        if (!image)
            return nullptr;
        image->fill(video::SColor(0x00FFFFFF));
        auto* pixels = static_cast<u8*>(image->lock());
        const u32 pitch = image->getPitch() & ~1u;
        for (u32 y = 0; y < bitmap.rows; ++y) {
            const u8* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
            auto* out = reinterpret_cast<u16*>(pixels + y * pitch);
            for (u32 x = 0; x < bitmap.width; ++x)
                if (row[x / 8] & (0x80 >> (x % 8)))
                    out[x] = 0xFFFF;
        }
        image->unlock();
        return image;
    }
    if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
        u32 width = bitmap.width + 1;
        u32 height = bitmap.rows + 1;
        if (!driver->queryFeature(video::EVDF_TEXTURE_NPOT)) {
            width = nextPowerOfTwo(width);
            height = nextPowerOfTwo(height);
        }
        if (!driver->queryFeature(video::EVDF_TEXTURE_NSQUARE))
            width = height = std::max(width, height);
        video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(width, height));
        if (!image)
            return nullptr;
        image->fill(video::SColor(0x00FFFFFF));
        auto* pixels = static_cast<u8*>(image->lock());
        const u32 pitch = image->getPitch();
        const f32 grays = bitmap.num_grays ? static_cast<f32>(bitmap.num_grays) : 256.0f;
        for (u32 y = 0; y < bitmap.rows; ++y) {
            const u8* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
            auto* out = reinterpret_cast<u32*>(pixels + y * pitch);
            for (u32 x = 0; x < bitmap.width; ++x) {
                const u32 alpha = static_cast<u32>(static_cast<f32>(row[x]) / grays * 255.0f);
                out[x] |= alpha << 24;
            }
        }
        image->unlock();
        return image;
    }
    return nullptr;
}

core::dimension2du CGUITTFont::newPageSize() const {
    core::dimension2du maxSize = maxPageTextureSize;
    if (maxSize.Width == 0 || maxSize.Height == 0)
        maxSize = driver ? driver->getMaxTextureSize() : core::dimension2du(0, 0);
    if (maxSize.Width == 0 || maxSize.Height == 0)
        maxSize = core::dimension2du(1024, 1024);

    u32 edge = 4096;
    if (size <= 21)
        edge = 256;
    else if (size <= 42)
        edge = 512;
    else if (size <= 84)
        edge = 1024;
    else if (size <= 168)
        edge = 2048;
    const core::dimension2du pageSize =
        edge > maxSize.Width || edge > maxSize.Height ? maxSize : core::dimension2du(edge, edge);
    // A page smaller than one cell holds no glyph (and its cell count would divide by zero).
    if (pageSize.Width < size || pageSize.Height < size)
        return core::dimension2du(0, 0);
    return pageSize;
}

std::uint64_t CGUITTFont::pageBytes() const {
    const core::dimension2du pageSize = newPageSize();
    return static_cast<std::uint64_t>(pageSize.Width) * pageSize.Height * (useMonochromeOption ? 2 : 4);
}

TTFontGlyphPage* CGUITTFont::createGlyphPage(u8 pixelMode) const {
    core::stringc pageName = "TTFontGlyphPage_";
    pageName += face->family_name ? face->family_name : "";
    pageName += ".";
    pageName += face->style_name ? face->style_name : "";
    pageName += ".";
    pageName += size;
    pageName += "_";
    pageName += static_cast<u32>(glyphPages.size());

    const core::dimension2du pageSize = newPageSize();
    if (pageSize.Width == 0)
        return nullptr;
    // A level's page is charged as it is made.
    const bool levels = LevelText::active();
    const std::uint64_t bytes = static_cast<std::uint64_t>(pageSize.Width) * pageSize.Height *
                                (pixelMode == FT_PIXEL_MODE_MONO ? 2 : 4);
    if (levels && !loadBudget().charge(LoadBudget::Memory, bytes))
        return nullptr;

    auto* page = new TTFontGlyphPage(driver, io::path(pageName.c_str()));
    if (!page->createPageTexture(pixelMode, pageSize)) {
        delete page;
        return nullptr;
    }
    page->levelPage = levels;
    page->freeCells = (pageSize.Height / size) * (pageSize.Width / size);
    glyphPages.push_back(page);
    return page;
}

void CGUITTFont::updateGlyphPages() const {
    for (TTFontGlyphPage* page : glyphPages)
        if (page->dirty)
            page->updateTexture();
}

void CGUITTFont::resetGlyphs() {
    for (TTFontGlyph& glyph : glyphs) {
        if (glyph.pendingImage) {
            glyph.pendingImage->drop();
            glyph.pendingImage = nullptr;
        }
        glyph.loaded = false;
    }
    for (TTFontGlyphPage* page : glyphPages)
        delete page;
    glyphPages.clear();
    laidOutText = L"";
    needsLayout = true;
    updateLoadFlags();
}

void CGUITTFont::releaseLevelPages() {
    bool released = false;
    for (u32 p = 0; p < glyphPages.size(); ++p) {
        TTFontGlyphPage* page = glyphPages[p];
        if (!page->levelPage || !page->texture)
            continue;
        for (TTFontGlyph& glyph : glyphs) {
            if (!glyph.loaded || glyph.page != p)
                continue;
            if (glyph.pendingImage) {
                glyph.pendingImage->drop();
                glyph.pendingImage = nullptr;
            }
            glyph.loaded = false;
        }
        if (driver)
            driver->removeTexture(page->texture);
        else
            page->texture->drop();
        // The record stays (glyphs name their pages by place), full and empty.
        page->texture = nullptr;
        page->freeCells = 0;
        page->dirty = false;
        page->pendingGlyphs.clear();
        page->renderPositions.clear();
        page->renderSourceRects.clear();
        released = true;
    }
    if (released) {
        laidOutText = L"";
        needsLayout = true;
    }
}

const TTFontGlyph* CGUITTFont::getGlyph(u32 glyphIndex) const {
    if (glyphIndex == 0 || glyphIndex > glyphs.size())
        return nullptr;
    return &glyphs[glyphIndex - 1];
}

video::ITexture* CGUITTFont::getPageTexture(u32 page) const {
    return page < glyphPages.size() ? glyphPages[page]->texture : nullptr;
}

video::IImage* CGUITTFont::createImageFromChar(u32 ch) {
    const u32 n = getGlyphIndexByChar(ch);
    const TTFontGlyph* glyph = getGlyph(n);
    if (!glyph || !glyph->loaded)
        return nullptr;
    TTFontGlyphPage* page = glyphPages[glyph->page];
    if (page->dirty)
        page->updateTexture();
    if (!page->texture)
        return nullptr;
    void* pixels = page->texture->lock(video::ETLM_READ_ONLY, 0);
    if (!pixels)
        return nullptr;
    video::IImage* pageImage = driver->createImageFromData(
        page->texture->getColorFormat(), page->texture->getOriginalSize(), pixels, true, false);
    const core::recti& source = glyph->sourceRect;
    video::IImage* image = driver->createImage(
        page->texture->getColorFormat(),
        core::dimension2du(static_cast<u32>(source.getWidth()), static_cast<u32>(source.getHeight())));
    if (image && pageImage)
        pageImage->copyTo(image, core::position2di(0, 0), source);
    if (pageImage)
        pageImage->drop();
    page->texture->unlock();
    return image;
}

// --- measuring ------------------------------------------------------------------------------

s32 CGUITTFont::advanceOf(u32 ch) const {
    const u32 n = getGlyphIndexByChar(ch);
    if (n != 0) {
        const TTFontGlyph* glyph = getGlyph(n);
        return glyph ? glyph->advance.X / 64 : 0;
    }
    return ch < 0x2000 ? getAscender() / 2 : getAscender();
}

s32 CGUITTFont::heightOf(u32 ch) const {
    const u32 n = getGlyphIndexByChar(ch);
    if (n != 0) {
        const TTFontGlyph* glyph = getGlyph(n);
        return glyph ? getAscender() - glyph->offset.Y + glyph->sourceRect.getHeight() : 0;
    }
    return ch < 0x2000 ? getAscender() / 2 : getAscender();
}

bool CGUITTFont::isInvisible(u32 ch) const {
    return invisibleCharacters.find(static_cast<char32_t>(ch)) != std::u32string::npos;
}

core::dimension2d<u32> CGUITTFont::getCharDimension(u32 ch) const {
    return core::dimension2d<u32>(static_cast<u32>(std::max(advanceOf(ch), 0)),
                                  static_cast<u32>(std::max(heightOf(ch), 0)));
}

core::vector2di CGUITTFont::getKerning(u32 thisLetter, u32 previousLetter) const {
    if (!face || thisLetter == 0 || previousLetter == 0)
        return core::vector2di(0, 0);
    core::vector2di k(globalKerningWidth, globalKerningHeight);
    FT_Set_Pixel_Sizes(face, 0, size);
    if (FT_HAS_KERNING(face)) {
        FT_Vector v{0, 0};
        FT_Get_Kerning(face, getGlyphIndexByChar(previousLetter), getGlyphIndexByChar(thisLetter),
                       FT_KERNING_DEFAULT, &v);
        if (FT_IS_SCALABLE(face)) {
            k.X += static_cast<s32>(v.x / 64);
            k.Y += static_cast<s32>(v.y / 64);
        } else {
            k.X += static_cast<s32>(v.x);
            k.Y += static_cast<s32>(v.y);
        }
    }
    return k;
}

s32 CGUITTFont::getKerningWidth(const wchar_t* thisLetter, const wchar_t* previousLetter) const {
    if (!face)
        return globalKerningWidth;
    if (!thisLetter || !previousLetter)
        return 0;
    return getKerning(static_cast<u32>(*thisLetter), static_cast<u32>(*previousLetter)).X;
}

s32 CGUITTFont::getKerningWidth(u32 thisLetter, u32 previousLetter) const {
    if (!face)
        return globalKerningWidth;
    return getKerning(thisLetter, previousLetter).X;
}

void CGUITTFont::setInvisibleCharacters(const wchar_t* s) {
    invisibleCharacters.clear();
    if (!s)
        return;
    CodePointWalk<wchar_t> walk(s, std::wcslen(s));
    for (u32 ch; walk.next(ch);)
        invisibleCharacters.push_back(static_cast<char32_t>(ch));
}

void CGUITTFont::setInvisibleCharacters(const std::u16string& s) {
    invisibleCharacters.clear();
    CodePointWalk<char16_t> walk(s.data(), s.size());
    for (u32 ch; walk.next(ch);)
        invisibleCharacters.push_back(static_cast<char32_t>(ch));
}

template <class Text>
core::dimension2d<u32> CGUITTFont::measure(const Text& text) const {
    const s32 lineHeight = 1 + std::max({heightOf('g'), heightOf('j'), heightOf('_')});
    s32 widest = 0;
    s32 height = lineHeight;
    s32 lineWidth = 0;
    u32 previous = 0;
    CodePointWalk walk(text.data(), unitCount(text));
    for (u32 ch; walk.next(ch);) {
        bool lineBreak = false;
        if (ch == codeCR) {
            walk.skipIf(codeLF);
            lineBreak = true;
        } else if (ch == codeLF) {
            lineBreak = true;
        }
        lineWidth += getKerning(ch, previous).X;
        if (lineBreak) {
            height += lineHeight;
            widest = std::max(widest, lineWidth);
            lineWidth = 0;
            previous = 0;
        } else {
            lineWidth += advanceOf(ch);
            previous = ch;
        }
    }
    return core::dimension2d<u32>(static_cast<u32>(std::max(std::max(widest, lineWidth), 0)),
                                  static_cast<u32>(height));
}

core::dimension2d<u32> CGUITTFont::getDimension(const wchar_t* text) const {
    if (!text)
        text = L"";
    if (!needsLayout && storedDimension.Width != 0 && storedDimension.Height != 0 && laidOutText == text)
        return core::dimension2d<u32>(static_cast<u32>(storedDimension.Width),
                                      static_cast<u32>(storedDimension.Height));
    return measure(std::wstring_view(text));
}

core::dimension2d<u32> CGUITTFont::getDimension(const std::u16string& text) const {
    return measure(text);
}

template <class Text>
s32 CGUITTFont::characterFromPos(const Text& text, s32 pixelX) const {
    s32 pen = 0;
    u32 previous = 0;
    s32 index = 0;
    CodePointWalk walk(text.data(), unitCount(text));
    for (u32 ch; walk.next(ch); ++index) {
        pen += advanceOf(ch) + getKerning(ch, previous).X;
        if (pen >= pixelX)
            return index;
        previous = ch;
    }
    return -1;
}

s32 CGUITTFont::getCharacterFromPos(const wchar_t* text, s32 pixelX) const {
    return characterFromPos(std::wstring_view(text ? text : L""), pixelX);
}

s32 CGUITTFont::getCharacterFromPos(const std::u16string& text, s32 pixelX) const {
    return characterFromPos(text, pixelX);
}

void CGUITTFont::prepareText(const core::stringw& text, KerningArray& kerning) {
    needsLayout = true;
    kerning.clear();
    u32 previous = 0;
    CodePointWalk<wchar_t> walk(text.c_str(), text.size());
    for (u32 ch; walk.next(ch);) {
        if (getGlyphIndexByChar(ch) == 0 || isInvisible(ch))
            kerning.push_back(core::vector2di(0, 0));
        else
            kerning.push_back(getKerning(ch, previous));
        previous = ch;
    }
}

// --- drawing --------------------------------------------------------------------------------

void CGUITTFont::layout(const core::stringw& text) {
    const s32 ascender = getAscender();
    core::vector2di pen(0, 0);
    u32 previous = 0;
    std::size_t counter = 0;
    CodePointWalk<wchar_t> walk(text.c_str(), text.size());
    for (u32 ch; walk.next(ch);) {
        const u32 n = getGlyphIndexByChar(ch);
        if (n != 0 && !isInvisible(ch)) {
            if (ch == codeCR || ch == codeLF) {
                if (ch == codeCR)
                    walk.skipIf(codeLF);
                pen = core::vector2di(0, pen.Y + ascender);
                previous = 0;
                continue;
            }
            if (kerningCache && counter < kerningCache->size())
                pen += (*kerningCache)[counter];
            else
                pen += getKerning(ch, previous);
            const TTFontGlyph& glyph = glyphs[n - 1];
            if (glyph.loaded) {
                TTFontGlyphPage* page = glyphPages[glyph.page];
                page->renderPositions.push_back(
                    core::position2di(pen.X + glyph.offset.X, pen.Y + ascender - glyph.offset.Y));
                page->renderSourceRects.push_back(glyph.sourceRect);
            }
        }
        pen.X += advanceOf(ch);
        previous = ch;
        ++counter;
    }
    updateGlyphPages();
    needsLayout = false;
    laidOutText = text;
}

void CGUITTFont::draw(const core::stringw& text, const core::rect<s32>& position,
                      video::SColor color, bool hcenter, bool vcenter, const core::rect<s32>* clip) {
    if (!driver)
        return;
    // A text other than the one laid out last is laid out again: the kept batches show it.
    if (!needsLayout && laidOutText != text)
        needsLayout = true;
    if (needsLayout) {
        for (TTFontGlyphPage* page : glyphPages) {
            page->renderPositions.set_used(0);
            page->renderSourceRects.set_used(0);
        }
    }

    core::position2di origin = position.UpperLeftCorner;
    core::dimension2di d(0, 0);
    if (hcenter || vcenter) {
        const core::dimension2d<u32> measured = getDimension(text.c_str());
        d = core::dimension2di(static_cast<s32>(measured.Width), static_cast<s32>(measured.Height));
    }
    if (hcenter)
        origin.X += (position.getWidth() - d.Width) >> 1;
    if (vcenter)
        origin.Y += (position.getHeight() - d.Height) >> 1;

    if (needsLayout) {
        setStoredDimension(d);
        layout(text);
    }

    if (!useTransparency)
        color.setAlpha(255);
    // The pages the layout placed glyphs on, in page order (a draw lays out again after any
    // other text's layout emptied them).
    for (TTFontGlyphPage* page : glyphPages) {
        core::array<core::position2di>& positions = page->renderPositions;
        if (positions.size() == 0 || !page->texture)
            continue;
        for (u32 i = 0; i < positions.size(); ++i)
            positions[i] += origin;
        driver->draw2DImageBatch(page->texture, positions, page->renderSourceRects, clip, color, true);
        for (u32 i = 0; i < positions.size(); ++i)
            positions[i] -= origin;
    }
    kerningCache = nullptr;
}

core::dimension2d<u32> getFirstLineDimension(const CGUITTFont* font, const wchar_t* text) {
    if (!font || !text)
        return core::dimension2d<u32>(0, 0);
    std::size_t length = 0;
    while (text[length] && text[length] != L'\r' && text[length] != L'\n')
        ++length;
    const core::stringw line(text, static_cast<u32>(length));
    return font->getDimension(line.c_str());
}

// --- 3D text ----------------------------------------------------------------------------------

core::array<scene::ISceneNode*> CGUITTFont::addTextSceneNode(const wchar_t* text,
                                                             scene::ISceneManager* smgr,
                                                             scene::ISceneNode* parent,
                                                             video::SColor color, bool center,
                                                             core::dimension2du* shownSize, u32* chargedGlyphs) {
    core::array<scene::ISceneNode*> nodes;
    if (shownSize)
        *shownSize = core::dimension2du(0, 0);
    if (!driver || !smgr || !text)
        return nodes;
    // A 3D text is a level's: each glyph node (one scene node and its bytes) is charged to the
    // level first, and the text is cut before the first one refused; then the glyphs of what
    // is left are loaded, their pages charged as they are made (a glyph without a page keeps
    // its node, drawn as nothing).
    const LevelText levelText;
    std::wstring shownText;
    u32 glyphNodes = 0;
    for (const wchar_t* unit = text; *unit; ++unit) {
        const u32 ch = static_cast<u32>(*unit);
        const bool glyphNode = ch != codeCR && ch != codeLF && face &&
                               (FT_Get_Char_Index(face, ch) != 0 || FT_Get_Char_Index(face, 0xFFFD) != 0);
        if (glyphNode) {
            // A text made again pays only for the nodes beyond what it was charged before.
            const bool paid = chargedGlyphs && glyphNodes < *chargedGlyphs;
            if (!paid && (!loadBudget().charge(LoadBudget::Nodes, 1) ||
                          !loadBudget().charge(LoadBudget::Memory, bytesPerTextGlyph)))
                break;
            ++glyphNodes;
            if (chargedGlyphs && glyphNodes > *chargedGlyphs)
                *chargedGlyphs = glyphNodes;
        }
        shownText += *unit;
    }
    text = shownText.c_str();
    if (!parent)
        parent = smgr->getRootSceneNode();
    scene::SMesh* quad = sharedQuadMesh();
    scene::IMeshManipulator* manipulator = smgr->getMeshManipulator();
    const s32 ascender = getAscender();

    const core::dimension2d<u32> whole = getDimension(text);
    if (shownSize)
        *shownSize = whole;
    const auto lineStartX = [&](const wchar_t* lineText) {
        const s32 width = static_cast<s32>(whole.Width);
        const s32 lineWidth = static_cast<s32>(getFirstLineDimension(this, lineText).Width);
        return -width / 2 + (width - lineWidth) / 2;
    };
    core::vector2di pen(0, 0);
    if (center) {
        pen.X = lineStartX(text);
        pen.Y = static_cast<s32>(whole.Height) / 2;
    }

    struct Placed {
        scene::IMeshSceneNode* node;
        const TTFontGlyph* glyph;
    };
    std::vector<Placed> placed;
    u32 previous = 0;
    for (const wchar_t* unit = text; *unit; ++unit) {
        const u32 ch = static_cast<u32>(*unit);
        if (ch == codeCR || ch == codeLF) {
            if (ch == codeCR && unit[1] == L'\n')
                ++unit;
            pen.Y -= ascender;
            pen.X = center ? lineStartX(unit + 1) : 0;
            previous = 0;
            continue;
        }
        const u32 n = getGlyphIndexByChar(ch);
        if (n != 0) {
            pen += getKerning(ch, previous);
            const TTFontGlyph& glyph = glyphs[n - 1];
            scene::SMesh* copy = manipulator->createMeshCopy(quad);
            manipulator->scale(copy, core::vector3df(static_cast<f32>(glyph.sourceRect.getWidth()),
                                                     static_cast<f32>(glyph.sourceRect.getHeight()), 1.0f));
            const core::vector3df where(static_cast<f32>(pen.X + glyph.offset.X),
                                        static_cast<f32>(pen.Y - (ascender - glyph.offset.Y)), 0.0f);
            scene::IMeshSceneNode* node = smgr->addMeshSceneNode(copy, parent, -1, where);
            copy->drop();
            if (node) {
                nodes.push_back(node);
                placed.push_back({node, &glyph});
            }
        }
        pen.X += advanceOf(ch);
        previous = ch;
    }

    updateGlyphPages();
    for (const Placed& entry : placed) {
        const TTFontGlyph& glyph = *entry.glyph;
        if (!glyph.loaded || glyph.page >= glyphPages.size())
            continue;
        TTFontGlyphPage* page = glyphPages[glyph.page];
        const f32 w = static_cast<f32>(std::max(page->size.Width, 1u));
        const f32 h = static_cast<f32>(std::max(page->size.Height, 1u));
        const core::recti& r = glyph.sourceRect;
        const f32 left = (static_cast<f32>(r.UpperLeftCorner.X) + 0.5f) / w;
        const f32 right = (static_cast<f32>(r.LowerRightCorner.X) - 0.5f) / w;
        const f32 top = (static_cast<f32>(r.UpperLeftCorner.Y) + 0.5f) / h;
        const f32 bottom = (static_cast<f32>(r.LowerRightCorner.Y) - 0.5f) / h;
        scene::IMeshBuffer* buffer = entry.node->getMesh()->getMeshBuffer(0);
        auto* vertices = static_cast<video::S3DVertex*>(buffer->getVertices());
        const core::vector2df coords[4] = {{left, bottom}, {right, bottom}, {left, top}, {right, top}};
        for (u32 i = 0; i < 4; ++i) {
            vertices[i].TCoords = coords[i];
            vertices[i].Color = color;
        }
        video::SMaterial& material = entry.node->getMaterial(0);
        material.MaterialType = video::EMT_TRANSPARENT_ALPHA_CHANNEL;
        material.DiffuseColor = color;
        material.AmbientColor = color;
        material.EmissiveColor = color;
        material.Lighting = false;
        material.setTexture(0, page->texture);
    }
    return nodes;
}
