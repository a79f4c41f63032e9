#include "gui/fonts/FontCache.h"

#include "core/Globals.h"
#include "gui/fonts/CGUITTFont.h"

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
    if (found != cache.end())
        return found->second;
    if (!gameDevice || size <= 0)
        return nullptr;
    CGUITTFont* font = CGUITTFont::createTTFont(gameDevice->getGUIEnvironment(), path,
                                                static_cast<irr::u32>(size));
    if (font)
        cache[key] = font;
    return font;
}

void clearFontCache() {
    auto& cache = fontCache();
    for (auto& [key, font] : cache)
        font->drop();
    cache.clear();
}

irr::u32 cachedFontCount() { return static_cast<irr::u32>(fontCache().size()); }
