#pragma once

#include <SColor.h>
#include <dimension2d.h>
#include <irrArray.h>
#include <irrTypes.h>
#include <path.h>

namespace irr::scene {
class ISceneNode;
}

class CGUITTFont;

// One TrueType font per font file and pixel size for the whole run. The key is the path
// followed by the size in decimal ("Content/Font/NoMove.ttf24"). The cache holds one
// reference on each font; users never drop a cached font.

// The font of that file and pixel size, created on first use with the game device's GUI
// environment; null when it cannot be made (no device, a size of 0 or less, a missing or
// unreadable file). A failed request is not remembered: the next one tries again.
CGUITTFont* getCachedFont(const irr::io::path& path, irr::s32 size);

// A level's 3D text (the rendering's slot for the world text, render/RenderServices.h): one
// mesh scene node per glyph of the text in the cached font of the file and pixel size, under
// the parent, in the colour; `textSize` gets the text's size in pixels. What the font makes
// for it is the level's (CGUITTFont::LevelText); `chargedGlyphs` as addTextSceneNode takes it.
// False when the font cannot be had.
bool addLevelTextGlyphs(const irr::io::path& fontFile, irr::s32 pixelSize, const wchar_t* text,
                        irr::scene::ISceneNode* parent, irr::video::SColor colour,
                        irr::core::array<irr::scene::ISceneNode*>& glyphs, irr::core::dimension2du& textSize,
                        irr::u32& chargedGlyphs);

// Drops every cached font and empties the cache (at the screen manager's teardown, before
// the device goes).
void clearFontCache();

// At a level's unload, once its scene and its notifications are gone: drops the fonts made
// for the level's text and asked for by nothing else since, and lets the other fonts go of
// the glyph pages they made for it (CGUITTFont::LevelText), so that what one level's text
// made does not stay for the levels after it.
void releaseLevelFonts();

// Number of fonts in the cache.
irr::u32 cachedFontCount();
