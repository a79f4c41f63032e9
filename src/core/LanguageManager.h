#pragma once

#include "core/Delegate.h"

#include <irrString.h>
#include <irrTypes.h>
#include <path.h>

#include <string>
#include <unordered_map>
#include <vector>

namespace irr {
class IrrlichtDevice;
namespace gui {
class IGUIFont;
}
} // namespace irr

// One language of "Content/Language/Languages.xml": its name (the "Game_Language" setting),
// its folder under Content/Language/, and per text role a font file with its size in pixels
// at 720 screen lines.
struct LanguageInfo {
    irr::core::stringw name;
    irr::core::stringc folder;
    irr::core::stringw fontSubtitle;
    irr::core::stringw fontObjective;
    irr::core::stringw fontPause;
    irr::core::stringw fontMenuSmall;
    irr::core::stringw fontMenuMedium;
    irr::core::stringw fontMenuLarge;
    irr::s32 fontSizeSubtitle = 0;
    irr::s32 fontSizeObjective = 0;
    irr::s32 fontSizePause = 0;
    irr::s32 fontSizeMenuSmall = 0;
    irr::s32 fontSizeMenuMedium = 0;
    irr::s32 fontSizeMenuLarge = 0;
};

// The languages and the current language's texts.
//
// "Content/Language/Languages.xml":
//   <Languages>
//     <Language name="English" folder="English" fontSubtitle="..." fontSizeSubtitle="26" .../>
//   </Languages>
// "Content/Language/<folder>/StringLiterals.xml":
//   <StringLiterals>
//     <String id="7" text="New Game"/>
//   </StringLiterals>
// A missing or broken file is logged; the game goes on with what could be read, and a text
// that is missing shows as "#<id>".
class LanguageManager {
public:
    static constexpr const char* languagesFile = "Content/Language/Languages.xml";
    static constexpr const char* stringsFileName = "StringLiterals.xml";
    // Font roles of getFont.
    enum FontRole {
        FontSubtitle = 0,
        FontObjective = 1,
        FontPause = 2,
        FontMenuLarge = 3,
        FontMenuMedium = 4,
        FontMenuSmall = 5,
    };
    // The size of a role whose language gives none.
    static constexpr irr::s32 defaultFontSize = 22;
    // Bounds of what a language or notification table gives: a larger font size is taken as
    // this one (glyphs thousands of pixels high never draw), a longer text is cut (the word
    // wrap of a screen would work for seconds); one line per file says how many.
    static constexpr irr::s32 maxFontSize = 168;
    static constexpr irr::u32 maxTextLength = 2048;

    // Reads the languages and the texts of the "Game_Language" setting's language (English
    // when that language is not listed).
    explicit LanguageManager(irr::IrrlichtDevice* device);

    // The current language's text of a string id; "#<id>" when it has none.
    const irr::core::stringw& getText(irr::s32 id);
    bool hasText(irr::s32 id) const { return texts.count(id) != 0; }

    LanguageInfo* findLanguage(const wchar_t* name);
    const LanguageInfo& getCurrentLanguage() const { return languages[current]; }

    // The current language's font of a role (FontRole): a ".ttf" file comes from the font
    // cache at (int)(size x screenHeight / 720 + 0.5) pixels, any other file from the GUI
    // environment. Null when the role has no file or the font cannot be made: the elements
    // then draw with the skin's font, and a TrueType file that cannot be read is logged
    // ("Warning: Could not read the font ... stands in.", repeats counted).
    irr::gui::IGUIFont* getFont(int role);

    // The same content path with its "English" language folder replaced by the current
    // language's folder ("Content/Language/English/Levels.xml").
    irr::io::path getLocalizedPath(const irr::io::path& path) const;

    // Makes the named language current and reads its texts; invokes languageChanged.
    // False (nothing changes) for a language the list does not hold.
    bool setLanguage(const wchar_t* name);

    // Invoked, without arguments, after the current language changed.
    DelegateList languageChanged;

private:
    void readLanguages();
    void readTexts();
    // The font elements draw with when theirs is missing: the skin's, named.
    std::string describeStandInFont() const;

    irr::IrrlichtDevice* device;
    std::vector<LanguageInfo> languages;
    std::size_t current = 0;
    std::unordered_map<irr::s32, irr::core::stringw> texts;
    std::unordered_map<irr::s32, irr::core::stringw> placeholders;
};

// Cuts a table's text to LanguageManager::maxTextLength characters; true when it was longer.
bool cutTableText(irr::core::stringw& text);
