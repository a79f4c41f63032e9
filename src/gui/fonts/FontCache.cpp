#include "gui/fonts/FontCache.h"

#include "core/Globals.h"
#include "gui/fonts/CGUITTFont.h"

#include <ISceneNode.h>
#include <IrrlichtDevice.h>

#include <map>
#include <string>

namespace {

std::map<std::string, CGUITTFont*>& fontCache() {
    static std::map<std::string, CGUITTFont*> cache;
    return cache;
}

} // namespace

CGUITTFont* getCachedFont(const irr::io::path& path, irr::s32 size) {
    const std::string key = std::string(path.c_str()) + std::to_string(size);
    auto& cache = fontCache();
    auto found = cache.find(key);
    if (found != cache.end()) {
        // Asked for outside a level's text: no longer the level's own.
        if (!CGUITTFont::LevelText::active())
            found->second->setLevelsOwn(false);
        return found->second;
    }
    if (!gameDevice || size <= 0)
        return nullptr;
    CGUITTFont* font = CGUITTFont::createTTFont(gameDevice->getGUIEnvironment(), path,
                                                static_cast<irr::u32>(size));
    if (font) {
        font->setLevelsOwn(CGUITTFont::LevelText::active());
        cache[key] = font;
    }
    return font;
}

bool addLevelTextGlyphs(const irr::io::path& fontFile, irr::s32 pixelSize, const wchar_t* text,
                        irr::scene::ISceneNode* parent, irr::video::SColor colour,
                        irr::core::array<irr::scene::ISceneNode*>& glyphs, irr::core::dimension2du& textSize,
                        irr::u32& chargedGlyphs) {
    const CGUITTFont::LevelText levelText;
    CGUITTFont* font = getCachedFont(fontFile, pixelSize);
    if (!font || !parent)
        return false;
    glyphs = font->addTextSceneNode(text, parent->getSceneManager(), parent, colour, false, &textSize, &chargedGlyphs);
    return true;
}

void clearFontCache() {
    auto& cache = fontCache();
    for (auto& [key, font] : cache)
        font->drop();
    cache.clear();
}

void releaseLevelFonts() {
    auto& cache = fontCache();
    for (auto it = cache.begin(); it != cache.end();) {
        if (it->second->isLevelsOwn()) {
            it->second->drop();
            it = cache.erase(it);
        } else {
            it->second->releaseLevelPages();
            ++it;
        }
    }
}

irr::u32 cachedFontCount() { return static_cast<irr::u32>(fontCache().size()); }
