#include "screens/levels/LevelCatalogue.h"

#include "camera/CameraCommon.h"
#include "camera/CameraManager.h"
#include "camera/CameraObject.h"
#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/TextUtils.h"
#include "core/Utf8.h"
#include "level/ContentXml.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "level/SceneNodeTypes.h"
#include "level/SubLevelObject.h"

#include <IFileSystem.h>
#include <ISceneManager.h>
#include <IrrlichtDevice.h>
#include <fast_atof.h>

#include <functional>

using namespace irr;

std::vector<LevelRecord> AllLevels;
std::vector<LevelRecord> MenuLevels;
std::vector<LevelRecord> LevelTexts;
std::vector<scene::ISceneNode*> MenuPreviewNodes;
scene::ISceneNode* CalibrationPreview = nullptr;
scene::ISceneNode* WorkshopPreview = nullptr;
bool LevelLockActive = true;

namespace {

// Each character kept as its low 8 bits, as the catalogue's paths are read.
std::string lowBytes(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text)
        out.push_back(static_cast<char>(static_cast<unsigned char>(c & 0xFF)));
    return out;
}

bool nonZero(const ContentElement& element, const wchar_t* name) {
    s32 value = 0;
    return element.integer(name, value) && value != 0;
}

LevelRecord readLevelRecord(const ContentElement& element, bool withDevTime) {
    LevelRecord record;
    record.path = lowBytes(element.text(L"path"));
    record.menuPreview = lowBytes(element.text(L"menuPreview"));
    record.title = element.text(L"title");
    record.description = element.text(L"description");
    if (withDevTime) {
        const std::string time = lowBytes(element.text(L"devBestTime"));
        record.devBestTime = time.empty() ? 0.0f : core::fast_atof(time.c_str());
    }
    record.isFirstLevel = nonZero(element, L"isFirstLevel");
    record.isHidden = nonZero(element, L"isHidden");
    record.kind = nonZero(element, L"isShorts") ? LevelKindShorts : LevelKindStory;
    return record;
}

// Every "Level" element of a catalogue file; a missing file reads as none, silently.
void readLevelFile(const std::string& path, bool withDevTime, const std::function<void(LevelRecord&&)>& visit) {
    io::IFileSystem* fileSystem = gameDevice ? gameDevice->getFileSystem() : nullptr;
    if (!fileSystem || !fileSystem->existFile(path.c_str()))
        return;
    readContentXml(fileSystem, path, L"Levels", [&](const ContentElement& element) {
        if (element.name == L"Level")
            visit(readLevelRecord(element, withDevTime));
    });
}

bool samePath(const std::string& a, const std::string& b) { return equalsIgnoringAsciiCase(a, b); }

bool isLevelUnlockedInSave(const std::string& path) {
    return saveManager && saveManager->isLevelUnlocked(fromUtf8(path.c_str()).c_str());
}

scene::ISceneManager* previewSceneManager() { return gameDevice ? gameDevice->getSceneManager() : nullptr; }

// The first level camera at or below the node.
CameraObject* findMenuCamera(scene::ISceneNode* start) {
    scene::ISceneManager* manager = previewSceneManager();
    if (!manager || !start)
        return nullptr;
    return static_cast<CameraObject*>(manager->getSceneNodeFromType(typeId("cmro"), start));
}

void activateMenuCamera(scene::ISceneNode* start, bool crossfade) {
    CameraObject* camera = findMenuCamera(start);
    if (!camera || !cameraManagers[0])
        return;
    CameraActivation activation;
    activation.camera = camera;
    activation.speed = 0.0f;
    activation.crossfade = crossfade;
    cameraManagers[0]->setActiveCamera(activation);
}

scene::ISceneNode* createPreviewScene(const char* file, s32 id) {
    if (!levelManager)
        return nullptr;
    scene::ISceneNode* node = levelManager->setSubLevelActive(file, id);
    if (node)
        node->setVisible(false);
    return node;
}

} // namespace

void loadLevelList() {
    MenuLevels.clear();
    AllLevels.clear();
    const bool locked = LevelLockActive && !demoMode;
    readLevelFile(levelCatalogueFile, true, [locked](LevelRecord&& record) {
        AllLevels.push_back(record);
        if (!locked || isLevelUnlockedInSave(record.path) || MenuLevels.empty() ||
            record.kind == LevelKindShorts) {
            record.isHidden = false;
            MenuLevels.push_back(std::move(record));
        } else if (record.isHidden) {
            record.menuPreview = lockedPreviewScene;
            MenuLevels.push_back(std::move(record));
        }
    });

    LevelTexts.clear();
    const std::string textsPath =
        languageManager ? std::string(languageManager->getLocalizedPath(levelTextsFile).c_str()) : levelTextsFile;
    readLevelFile(textsPath, false, [](LevelRecord&& record) { LevelTexts.push_back(std::move(record)); });
    for (const LevelRecord& text : LevelTexts) {
        for (std::vector<LevelRecord>* list : {&MenuLevels, &AllLevels})
            for (LevelRecord& record : *list)
                if (samePath(record.path, text.path)) {
                    record.title = text.title;
                    record.description = text.description;
                }
    }
}

bool isListedLevel(const core::stringc& path) {
    for (const LevelRecord& record : AllLevels)
        if (samePath(record.path, path.c_str()))
            return true;
    return false;
}

f32 getDevBestTime(const std::string& path) {
    for (const LevelRecord& record : MenuLevels)
        if (samePath(record.path, path))
            return record.devBestTime;
    return 0.0f;
}

std::wstring getLevelTitle(const std::string& path) {
    for (const LevelRecord& record : LevelTexts)
        if (samePath(record.path, path))
            return record.title;
    return std::wstring();
}

u32 countUnlockedStoryLevels() {
    u32 count = 0;
    for (const LevelRecord& record : MenuLevels)
        if (record.kind == LevelKindStory && !record.isHidden)
            ++count;
    return count;
}

void getAllLevelPaths(std::vector<std::string>& out) {
    out.clear();
    for (const LevelRecord& record : AllLevels)
        out.push_back(record.path);
}

// --- preview scenes ------------------------------------------------------------------------------

void loadMenuPreviewScenes() {
    CalibrationPreview = createPreviewScene(calibrationPreviewScene, calibrationPreviewId);
    WorkshopPreview = createPreviewScene(workshopPreviewScene, workshopPreviewId);
    MenuPreviewNodes.clear();
    scene::ISceneManager* manager = previewSceneManager();
    for (std::size_t i = 0; i < MenuLevels.size(); ++i) {
        scene::ISceneNode* node = nullptr;
        const std::string& preview = MenuLevels[i].menuPreview;
        if (!preview.empty()) {
            const s32 id = firstLevelPreviewId + static_cast<s32>(i);
            node = manager ? manager->getSceneNodeFromId(id) : nullptr;
            if (!node)
                node = createPreviewScene(preview.c_str(), id);
        }
        MenuPreviewNodes.push_back(node);
    }
}

void showMenuPreview(u32 index, bool crossfade) {
    if (index < MenuPreviewNodes.size())
        activateMenuCamera(MenuPreviewNodes[index], crossfade);
    for (scene::ISceneNode* backdrop : {CalibrationPreview, WorkshopPreview})
        if (backdrop)
            backdrop->setVisible(false);
    for (std::size_t i = 0; i < MenuPreviewNodes.size(); ++i)
        if (MenuPreviewNodes[i])
            MenuPreviewNodes[i]->setVisible(i == index);
}

void showAutoSaveLevelPreview() {
    if (MenuPreviewNodes.empty())
        return;
    const std::wstring autoSave = saveManager ? saveManager->getAutoSavePath(true) : std::wstring();
    for (std::size_t i = 0; i < MenuLevels.size(); ++i) {
        if (equalsIgnoringAsciiCase(fromUtf8(MenuLevels[i].path.c_str()), autoSave)) {
            showMenuPreview(static_cast<u32>(i), false);
            return;
        }
    }
    showMenuPreview(0, false);
}

void setMenuPreviewsVisible(scene::ISceneNode* backdrop) {
    activateMenuCamera(backdrop, false);
    for (scene::ISceneNode* node : MenuPreviewNodes)
        if (node)
            node->setVisible(false);
    for (scene::ISceneNode* other : {CalibrationPreview, WorkshopPreview})
        if (other && other != backdrop)
            other->setVisible(false);
}

void showCalibrationBackdrop() {
    if (CalibrationPreview) {
        CalibrationPreview->setVisible(true);
        setMenuPreviewsVisible(CalibrationPreview);
        return;
    }
    scene::ISceneManager* manager = previewSceneManager();
    if (manager && levelManager &&
        equalsIgnoringAsciiCase(std::wstring_view(levelManager->getCurrentLevelPath().c_str()),
                                fromUtf8(calibrationPreviewScene)))
        activateMenuCamera(manager->getRootSceneNode(), false);
}

void forgetMenuPreviews() {
    MenuPreviewNodes.clear();
    CalibrationPreview = nullptr;
    WorkshopPreview = nullptr;
}
