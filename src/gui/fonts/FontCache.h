#pragma once

#include <irrTypes.h>
#include <path.h>

class CGUITTFont;

// One TrueType font per font file and pixel size for the whole run. The key is the path
// followed by the size in decimal ("Content/Font/NoMove.ttf24"). The cache holds one
// reference on each font; users never drop a cached font.

// The font of that file and pixel size, created on first use with the game device's GUI
// environment; null when it cannot be made (no device, a size of 0 or less, a missing or
// unreadable file). A failed request is not remembered: the next one tries again.
CGUITTFont* getCachedFont(const irr::io::path& path, irr::s32 size);

// Drops every cached font and empties the cache (at the screen manager's teardown, before
// the device goes).
void clearFontCache();

// Number of fonts in the cache.
irr::u32 cachedFontCount();
