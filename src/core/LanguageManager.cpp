#include "core/LanguageManager.h"
#include "core/FontGate.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "core/RepeatedLog.h"
#include "core/Utf8.h"
#include "core/CoreSlots.h"
#include "core/SlotCalls.h"
#include "core/XmlFile.h"

#include <irrlicht.h>

#include <cwchar>

namespace {

constexpr const char* defaultLanguage = "English";

irr::core::stringw attribute(irr::io::IXMLReader& xml, const wchar_t* name) {
    const wchar_t* value = xml.getAttributeValue(name);
    return value ? irr::core::stringw(value) : irr::core::stringw();
}

// The font of each text role in the language list, in the order of LanguageManager::FontRole.
struct FontField {
    const wchar_t* fileKey;
    const wchar_t* sizeKey;
    irr::core::stringw LanguageInfo::*file;
    irr::s32 LanguageInfo::*size;
};
constexpr FontField fontFields[] = {
    {L"fontSubtitle", L"fontSizeSubtitle", &LanguageInfo::fontSubtitle, &LanguageInfo::fontSizeSubtitle},
    {L"fontObjective", L"fontSizeObjective", &LanguageInfo::fontObjective, &LanguageInfo::fontSizeObjective},
    {L"fontPause", L"fontSizePause", &LanguageInfo::fontPause, &LanguageInfo::fontSizePause},
    {L"fontMenuLarge", L"fontSizeMenuLarge", &LanguageInfo::fontMenuLarge, &LanguageInfo::fontSizeMenuLarge},
    {L"fontMenuMedium", L"fontSizeMenuMedium", &LanguageInfo::fontMenuMedium, &LanguageInfo::fontSizeMenuMedium},
    {L"fontMenuSmall", L"fontSizeMenuSmall", &LanguageInfo::fontMenuSmall, &LanguageInfo::fontSizeMenuSmall},
};
constexpr int fontRoleCount = static_cast<int>(sizeof(fontFields) / sizeof(fontFields[0]));

// Counts the font sizes taken down to the bound.
LanguageInfo readLanguage(irr::io::IXMLReader& xml, int& clamped) {
    LanguageInfo info;
    info.name = attribute(xml, L"name");
    const irr::core::stringw folder = attribute(xml, L"folder");
    info.folder = irr::core::stringc(folder.empty() ? info.name : folder);
    for (const FontField& field : fontFields) {
        info.*field.file = attribute(xml, field.fileKey);
        info.*field.size = xml.getAttributeValueAsInt(field.sizeKey);
        if (info.*field.size > LanguageManager::maxFontSize) {
            info.*field.size = LanguageManager::maxFontSize;
            ++clamped;
        }
    }
    return info;
}

// Opens the file through the guarded reader (a file cut short is read as far as it goes)
// and hands every <element> below the <root> element to the reader; false, with a log
// line, when the file cannot be opened or its root is another.
template <class ReadElement>
bool readList(irr::IrrlichtDevice* device, const irr::io::path& file, const wchar_t* root,
              const wchar_t* element, const char* what, ReadElement readElement) {
    irr::io::IXMLReader* xml = device ? createGuardedXMLReader(device->getFileSystem(), file.c_str()) : nullptr;
    if (!xml) {
        logMessagef("ERROR: Could not open the %s: %s", what, file.c_str());
        return false;
    }
    bool rootSeen = false;
    while (xml->read()) {
        if (xml->getNodeType() != irr::io::EXN_ELEMENT)
            continue;
        if (!rootSeen) {
            rootSeen = std::wcscmp(xml->getNodeName(), root) == 0;
            if (!rootSeen)
                break;
        } else if (std::wcscmp(xml->getNodeName(), element) == 0) {
            readElement(*xml);
        }
    }
    xml->drop();
    if (!rootSeen)
        logMessagef("ERROR: The %s is not a <%s> file: %s", what, toUtf8(root).c_str(), file.c_str());
    return rootSeen;
}

} // namespace

bool cutTableText(irr::core::stringw& text) {
    if (text.size() <= LanguageManager::maxTextLength)
        return false;
    text = text.subString(0, LanguageManager::maxTextLength);
    return true;
}

LanguageManager::LanguageManager(irr::IrrlichtDevice* gameDevice) : device(gameDevice) {
    readLanguages();
    const std::wstring wanted = getSettingStringW("Game_Language");
    current = 0;
    bool found = false;
    for (std::size_t i = 0; i < languages.size(); ++i) {
        if (languages[i].name == wanted.c_str()) {
            current = i;
            found = true;
        }
    }
    if (!found) {
        logMessagePair("Warning: Unknown language, using English: ", toUtf8(wanted.c_str()).c_str());
        for (std::size_t i = 0; i < languages.size(); ++i)
            if (languages[i].name == defaultLanguage)
                current = i;
    }
    readTexts();
}

void LanguageManager::readLanguages() {
    languages.clear();
    int skipped = 0;
    int clamped = 0;
    readList(device, languagesFile, L"Languages", L"Language", "language list", [&](irr::io::IXMLReader& xml) {
        LanguageInfo info = readLanguage(xml, clamped);
        if (info.name.empty())
            ++skipped;
        else
            languages.push_back(info);
    });
    if (skipped)
        logMessagef("Warning: Skipped %d languages without a name in %s", skipped, languagesFile);
    if (clamped)
        logMessagef("Warning: Clamped %d font sizes to %d in %s", clamped, maxFontSize, languagesFile);
    // Without a usable list the game still runs in English, with the engine's fonts.
    if (languages.empty()) {
        LanguageInfo english;
        english.name = defaultLanguage;
        english.folder = defaultLanguage;
        languages.push_back(english);
    }
}

void LanguageManager::readTexts() {
    texts.clear();
    placeholders.clear();
    const irr::io::path file =
        irr::io::path("Content/Language/") + languages[current].folder + "/" + stringsFileName;
    int skipped = 0;
    int cut = 0;
    readList(device, file, L"StringLiterals", L"String", "string table", [&](irr::io::IXMLReader& xml) {
        const wchar_t* id = xml.getAttributeValue(L"id");
        const wchar_t* text = xml.getAttributeValue(L"text");
        if (!id || !text || !*id) {
            ++skipped;
            return;
        }
        irr::core::stringw& kept = texts[xml.getAttributeValueAsInt(L"id")];
        kept = text;
        if (cutTableText(kept))
            ++cut;
    });
    if (skipped)
        logMessagef("Warning: Skipped %d strings without an id or a text in %s", skipped, file.c_str());
    if (cut)
        logMessagef("Warning: Cut %d strings longer than %u characters in %s", cut, maxTextLength, file.c_str());
}

const irr::core::stringw& LanguageManager::getText(irr::s32 id) {
    auto it = texts.find(id);
    if (it != texts.end())
        return it->second;
    irr::core::stringw& placeholder = placeholders[id];
    if (placeholder.empty()) {
        placeholder = L"#";
        placeholder += id;
    }
    return placeholder;
}

LanguageInfo* LanguageManager::findLanguage(const wchar_t* name) {
    if (!name)
        return nullptr;
    for (LanguageInfo& info : languages)
        if (info.name == name)
            return &info;
    return nullptr;
}

irr::gui::IGUIFont* LanguageManager::getFont(int role) {
    if (role < 0 || role >= fontRoleCount)
        return nullptr;
    const LanguageInfo& info = languages[current];
    const irr::core::stringw& file = info.*fontFields[role].file;
    irr::s32 size = info.*fontFields[role].size;
    if (file.empty())
        return nullptr;
    if (size <= 0)
        size = defaultFontSize;

    const irr::io::path path(file);
    irr::io::path extension;
    irr::core::getFileNameExtension(extension, path);
    extension.make_lower();
    if (extension == ".ttf") {
        const irr::s32 pixels = static_cast<irr::s32>(size * (screenHeight / referenceHeight) + 0.5f);
        const auto& cachedFont = coreSlots().fonts.getCachedFont;
        if (!cachedFont || pixels <= 0)
            return nullptr;
        irr::gui::IGUIFont* font = cachedFont(path, pixels);
        // An empty, cut or foreign file: the elements draw with the skin's font instead, which
        // the player should not have to guess at (each element asks again: counted).
        if (!font)
            logRepeatable(std::string(logWarningPrefix) + "Could not read the font \"" + path.c_str() + "\" of " +
                              languagesFile + "; " + describeStandInFont() + " stands in.",
                          irr::ELL_WARNING);
        return font;
    }
    if (!device || !device->getGUIEnvironment())
        return nullptr;
    return getCheckedFont(device->getGUIEnvironment(), path);
}

std::string LanguageManager::describeStandInFont() const {
    irr::gui::IGUIEnvironment* environment = device ? device->getGUIEnvironment() : nullptr;
    irr::gui::IGUISkin* skin = environment ? environment->getSkin() : nullptr;
    irr::gui::IGUIFont* font = skin ? skin->getFont() : nullptr;
    if (font && font != environment->getBuiltInFont())
        return std::string("the skin's font \"") + skinFontPath + "\"";
    return "the engine's built-in font";
}

irr::io::path LanguageManager::getLocalizedPath(const irr::io::path& path) const {
    static const irr::io::path englishFolder = "Language/English/";
    const irr::s32 at = path.find(englishFolder.c_str());
    if (at < 0)
        return path;
    const irr::s32 folderStart = at + static_cast<irr::s32>(sizeof("Language/") - 1);
    irr::io::path localized = path.subString(0, folderStart);
    localized += languages[current].folder;
    const irr::s32 folderEnd = folderStart + static_cast<irr::s32>(sizeof("English") - 1);
    localized += path.subString(folderEnd, path.size() - folderEnd);
    return localized;
}

bool LanguageManager::setLanguage(const wchar_t* name) {
    LanguageInfo* info = findLanguage(name);
    if (!info)
        return false;
    current = static_cast<std::size_t>(info - languages.data());
    readTexts();
    languageChanged.invoke();
    return true;
}
