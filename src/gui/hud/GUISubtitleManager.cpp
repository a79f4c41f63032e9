#include "gui/hud/GUISubtitleManager.h"

#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/Log.h"
#include "core/Stopwatch.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "level/ContentXml.h"
#include "level/LevelManager.h"

#include <IFileSystem.h>
#include <IrrlichtDevice.h>
#include <ITimer.h>

#include <algorithm>

using namespace irr;

namespace {

// trunc(value x k + 0.5) with k = screen height / 720.
s32 subtitleUnits(f32 value) {
    return static_cast<s32>(value * static_cast<f32>(screenHeight) / referenceHeight + 0.5f);
}

io::path localized(const io::path& path) { return languageManager ? languageManager->getLocalizedPath(path) : path; }

GUIFreeTypeText* addSubtitleLine(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, u32 colour) {
    auto* line = new GUIFreeTypeText(L"This is a sample subtitle", environment, parent, -1, core::recti(0, 0, 100, 100));
    line->setOverrideColor(video::SColor(colour));
    line->setTextAlignment(gui::EGUIA_CENTER, gui::EGUIA_UPPERLEFT);
    line->setVisible(false);
    line->drop();
    return line;
}

} // namespace

GUISubtitleManager::GUISubtitleManager(gui::IGUIEnvironment* environment, gui::IGUIElement* parent)
    : GUIScreen(environment, parent, ScreenId::Subtitles, core::recti(0, 0, screenWidth, screenHeight)) {
    Type = toElementType(GuiType::Hud);
    bindCallback(Timer.completed, this, &GUISubtitleManager::onSubtitleFinished);
    Shadow = addSubtitleLine(environment, this, 0xFF000000);
    Text = addSubtitleLine(environment, this, 0xFFFFFFFF);
    Text->setBackgroundColor(video::SColor(0xFF000000));
    Text->setDrawBackground(false);
    Shadow->setRelativePosition(wideRect());
    Text->setRelativePosition(wideRect());

    // The current level's own collection, named after its file without the extension.
    core::stringw name = levelManager ? levelManager->getCurrentLevelPath() : core::stringw();
    const s32 slash = std::max(name.findLast(L'/'), name.findLast(L'\\'));
    name = name.subString(static_cast<u32>(slash + 1), name.size());
    const s32 dot = name.findLast(L'.');
    if (dot > 0)
        name = name.subString(0, static_cast<u32>(dot));
    io::path levelFile;
    if (!name.empty()) {
        levelFile = folder;
        levelFile += io::path(name);
        levelFile += ".xml";
    }
    loadPersistentSubtitles(levelFile);
    OnPostRender(gameDevice && gameDevice->getTimer() ? gameDevice->getTimer()->getTime() : 0);
}

GUISubtitleManager::~GUISubtitleManager() { unbindCallback(Timer.completed, this, &GUISubtitleManager::onSubtitleFinished); }

s32 GUISubtitleManager::getElementTypeId() const { return GuiType::SubtitleManager; }

core::recti GUISubtitleManager::wideRect() const {
    const s32 W = screenWidth;
    const s32 H = screenHeight;
    const s32 side = static_cast<s32>(0.05f * static_cast<f32>(W));
    const s32 y0 = subtitleUnits(25) + static_cast<s32>(0.05f * static_cast<f32>(H));
    return core::recti(side + 1, y0 + 1, W - side + 1, y0 + subtitleUnits(100) + 1);
}

void GUISubtitleManager::loadPersistentSubtitles(const io::path& path) {
    gui::IGUIFont* font = getLanguageFont(0);
    Text->setOverrideFont(font);
    Shadow->setOverrideFont(font);
    Records.clear();
    loadSubtitleCollection(persistentFile);
    if (!path.empty())
        loadSubtitleCollection(path);
}

bool GUISubtitleManager::loadSubtitleCollection(const io::path& path) {
    if (!gameDevice)
        return false;
    const io::path file = localized(path);
    io::IFileSystem* fileSystem = gameDevice->getFileSystem();
    // A level without subtitles has no file: that is no error.
    if (!fileSystem->existFile(file))
        return false;
    std::vector<SubtitleRecord> read;
    const bool ok = readContentXml(fileSystem, file.c_str(), L"SubtitleCollection", [&](const ContentElement& element) {
        if (element.name != L"Subtitle" || read.size() >= maxRecordsPerFile)
            return;
        SubtitleRecord record;
        record.text = element.text(L"text").c_str();
        element.integer(L"id", record.id);
        element.integer(L"nextSubtitle", record.nextId);
        const std::wstring duration = element.text(L"duration");
        record.duration = duration.empty() ? 0.0f : static_cast<f32>(std::wcstod(duration.c_str(), nullptr));
        read.push_back(std::move(record));
    });
    if (!ok)
        return false;
    Records.insert(Records.end(), read.begin(), read.end());
    logMessagePair("Loaded subtitle collection: ", file.c_str());
    return true;
}

void GUISubtitleManager::playSubtitle(s32 id) {
    const s32 W = screenWidth;
    for (const SubtitleRecord& record : Records) {
        if (record.id != id)
            continue;
        for (GUIFreeTypeText* line : {Text, Shadow}) {
            line->setWordWrap(false);
            line->setText(record.text.c_str());
            line->setVisible(true);
            line->setRelativePosition(wideRect());
        }
        const s32 textWidth = Text->getTextWidth();
        Text->setWordWrap(true);
        Shadow->setWordWrap(true);
        const s32 textHeight = Text->getTextHeight();
        const s32 half = std::min(textWidth / 2 + 10, W / 2 - static_cast<s32>(0.05f * static_cast<f32>(W)));
        const s32 cx = W / 2;
        const s32 top = subtitleUnits(70);
        core::recti rect(cx - half, top, cx + half, top + textHeight);
        Text->setRelativePosition(rect);
        // Narrowed to the line, the text may wrap once more: its box grows to hold it.
        rect.LowerRightCorner.Y = top + std::max(textHeight, Text->getTextHeight());
        Text->setRelativePosition(rect);
        const s32 offset = subtitleUnits(2);
        Shadow->setRelativePosition(rect + core::position2di(offset, offset));
        CurrentId = id;
        NextId = record.nextId;
        Timer.value = 0.0f;
        Timer.start = 0.0f;
        Timer.end = 1.0f;
        Timer.duration = record.duration;
        Timer.elapsed = 0.0f;
        Timer.kind = FloatTween::Linear;
    }
}

void GUISubtitleManager::onSubtitleFinished() {
    Text->setVisible(false);
    Shadow->setVisible(false);
    CurrentId = 0;
    if (NextId != 0)
        playSubtitle(NextId);
}

void GUISubtitleManager::clear() {
    Text->setVisible(false);
    Shadow->setVisible(false);
    CurrentId = 0;
    NextId = 0;
    Timer.duration = -1.0f;
}

void GUISubtitleManager::setBlackBox(bool on) {
    BlackBox = on;
    Text->setDrawBackground(on);
}

void GUISubtitleManager::OnPostRender(u32 timeMs) {
    // Behind a menu the lines wait with the game.
    if (!askHook(guiHooks().screens.isInputAllowed, true))
        return;
    const f32 delta = frameStopwatch ? frameStopwatch->delta() : 0.0f;
    Timer.update(std::clamp(delta, 0.0f, 0.2f));
    GUIScreen::OnPostRender(timeMs);
}

void GUISubtitleManager::draw() {
    if (SubtitlesOn && IsVisible)
        GUIScreen::draw();
}
