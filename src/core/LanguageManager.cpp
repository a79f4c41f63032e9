#include "core/LanguageManager.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "core/Utf8.h"
#include "core/ShellHooks.h"

#include <irrlicht.h>

#include <cwchar>

namespace {

constexpr const char* defaultLanguage = "English";

irr::core::stringw attribute(irr::io::IXMLReader& xml, const wchar_t* name) {
    const wchar_t* value = xml.getAttributeValue(name);
    return value ? irr::core::stringw(value) : irr::core::stringw();
}

LanguageInfo readLanguage(irr::io::IXMLReader& xml) {
    LanguageInfo info;
    info.name = attribute(xml, L"name");
    const irr::core::stringw folder = attribute(xml, L"folder");
    info.folder = irr::core::stringc(folder.empty() ? info.name : folder);
    info.fontSubtitle = attribute(xml, L"fontSubtitle");
    info.fontObjective = attribute(xml, L"fontObjective");
    info.fontPause = attribute(xml, L"fontPause");
    info.fontMenuSmall = attribute(xml, L"fontMenuSmall");
    info.fontMenuMedium = attribute(xml, L"fontMenuMedium");
    info.fontMenuLarge = attribute(xml, L"fontMenuLarge");
    info.fontSizeSubtitle = xml.getAttributeValueAsInt(L"fontSizeSubtitle");
    info.fontSizeObjective = xml.getAttributeValueAsInt(L"fontSizeObjective");
    info.fontSizePause = xml.getAttributeValueAsInt(L"fontSizePause");
    info.fontSizeMenuSmall = xml.getAttributeValueAsInt(L"fontSizeMenuSmall");
    info.fontSizeMenuMedium = xml.getAttributeValueAsInt(L"fontSizeMenuMedium");
    info.fontSizeMenuLarge = xml.getAttributeValueAsInt(L"fontSizeMenuLarge");
    return info;
}

bool isElement(irr::io::IXMLReader& xml, const wchar_t* name) {
    return xml.getNodeType() == irr::io::EXN_ELEMENT && std::wcscmp(xml.getNodeName(), name) == 0;
}

} // namespace

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
    irr::io::IXMLReader* xml =
        device ? device->getFileSystem()->createXMLReader(languagesFile) : nullptr;
    if (!xml) {
        logMessagePair("ERROR: Could not open the language list: ", languagesFile);
    } else {
        bool rootSeen = false;
        int skipped = 0;
        while (xml->read()) {
            if (xml->getNodeType() != irr::io::EXN_ELEMENT)
                continue;
            if (!rootSeen) {
                rootSeen = isElement(*xml, L"Languages");
                if (!rootSeen)
                    break;
            } else if (isElement(*xml, L"Language")) {
                LanguageInfo info = readLanguage(*xml);
                if (info.name.empty())
                    ++skipped;
                else
                    languages.push_back(info);
            }
        }
        xml->drop();
        if (!rootSeen)
            logMessagePair("ERROR: The language list is not a <Languages> file: ", languagesFile);
        else if (skipped)
            logMessagef("Warning: Skipped %d languages without a name in %s", skipped, languagesFile);
    }
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
    irr::io::IXMLReader* xml = device ? device->getFileSystem()->createXMLReader(file) : nullptr;
    if (!xml) {
        logMessagePair("ERROR: Could not open the string table: ", file.c_str());
        return;
    }
    bool rootSeen = false;
    int skipped = 0;
    while (xml->read()) {
        if (xml->getNodeType() != irr::io::EXN_ELEMENT)
            continue;
        if (!rootSeen) {
            rootSeen = isElement(*xml, L"StringLiterals");
            if (!rootSeen)
                break;
        } else if (isElement(*xml, L"String")) {
            const wchar_t* id = xml->getAttributeValue(L"id");
            const wchar_t* text = xml->getAttributeValue(L"text");
            if (!id || !text || !*id)
                ++skipped;
            else
                texts[xml->getAttributeValueAsInt(L"id")] = text;
        }
    }
    xml->drop();
    if (!rootSeen)
        logMessagePair("ERROR: The string table is not a <StringLiterals> file: ", file.c_str());
    else if (skipped)
        logMessagef("Warning: Skipped %d strings without an id or a text in %s", skipped, file.c_str());
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
    const LanguageInfo& info = languages[current];
    const irr::core::stringw* file = nullptr;
    irr::s32 size = 0;
    switch (role) {
    case FontSubtitle:
        file = &info.fontSubtitle;
        size = info.fontSizeSubtitle;
        break;
    case FontObjective:
        file = &info.fontObjective;
        size = info.fontSizeObjective;
        break;
    case FontPause:
        file = &info.fontPause;
        size = info.fontSizePause;
        break;
    case FontMenuLarge:
        file = &info.fontMenuLarge;
        size = info.fontSizeMenuLarge;
        break;
    case FontMenuMedium:
        file = &info.fontMenuMedium;
        size = info.fontSizeMenuMedium;
        break;
    case FontMenuSmall:
        file = &info.fontMenuSmall;
        size = info.fontSizeMenuSmall;
        break;
    default:
        return nullptr;
    }
    if (file->empty())
        return nullptr;
    if (size <= 0)
        size = defaultFontSize;

    const irr::io::path path(*file);
    irr::io::path extension;
    irr::core::getFileNameExtension(extension, path);
    extension.make_lower();
    if (extension == ".ttf") {
        const auto& cachedFont = shellHooks().screens.getCachedFont;
        const irr::s32 pixels = static_cast<irr::s32>(size * (screenHeight / referenceHeight) + 0.5f);
        return cachedFont ? cachedFont(path, pixels) : nullptr;
    }
    if (!device || !device->getGUIEnvironment())
        return nullptr;
    return device->getGUIEnvironment()->getFont(path);
}

irr::io::path LanguageManager::getLocalizedPath(const irr::io::path& path) const {
    static const irr::io::path englishFolder = "Language/English/";
    const irr::s32 at = path.find(englishFolder.c_str());
    if (at < 0)
        return path;
    const irr::s32 folderStart = at + static_cast<irr::s32>(sizeof("Language/") - 1);
    irr::io::path localized = path.subString(0, folderStart);
    localized += languages[current].folder;
    localized += path.subString(folderStart + 7, path.size() - folderStart - 7);
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
