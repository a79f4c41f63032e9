#pragma once

#include <path.h>

namespace irr::gui {
class IGUIEnvironment;
class IGUIFont;
} // namespace irr::gui
namespace irr::io {
class IFileSystem;
}

// Bitmap fonts (an XML file naming its images and each character's rectangle on them) are
// checked before the engine reads them: its reader trusts every element, and a character
// without its "c" attribute, or a file cut short, takes the game down. A bitmap font is
// read only when the whole file is there (its font element closed), it names one to
// sixteen images that exist, and every character gives its character, a rectangle of four
// non-negative numbers in order and an image the font names. A refused font is logged once
// (until forgetFileRefusals) and the caller gets no font, as for a missing file. The
// engine's other kinds (a font drawn in a bare image, vector fonts) are refused too: the
// game's content has none, and a damaged image would make a font without characters.

// The GUI skin's font (the screens set it at start-up): every element without a font of its
// own draws with it, the engine's built-in font when this one could not be read.
inline constexpr const char* skinFontPath = "Content/Font/Debug.xml";

// Fonts larger than this are no bitmap font of the game.
inline constexpr unsigned maxBitmapFontFileBytes = 1024u * 1024u;
inline constexpr unsigned maxBitmapFontImages = 16;

// True when the engine may read the file as a font (also when it is missing: the engine
// then says so itself).
bool checkFontFile(irr::io::IFileSystem* fileSystem, const irr::io::path& path);

// The GUI environment's font of the file, after the check; null when refused or unreadable.
irr::gui::IGUIFont* getCheckedFont(irr::gui::IGUIEnvironment* environment, const irr::io::path& path);

// Forgets which fonts were refused (with the other file refusals).
void forgetFontRefusals();
