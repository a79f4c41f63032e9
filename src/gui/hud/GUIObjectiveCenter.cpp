#include "gui/hud/GUIObjectiveCenter.h"

#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/ProgramQueries.h"
#include "core/Stopwatch.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GuiAttributes.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/hud/GUIHud.h"
#include "level/LevelManager.h"
#include "level/ObjectiveList.h"
#include "level/ResourceCaches.h"

#include <IGUIEnvironment.h>
#include <IVideoDriver.h>
#include <IrrlichtDevice.h>

#include <algorithm>

using namespace irr;

namespace {

constexpr u32 objectiveOpenColour = 0xFFFFFFFF;
constexpr u32 objectiveShadowColour = 0xFF000000;
constexpr u32 objectiveDoneColour = 0xFFC8C8C8;

// The panel's scale: 0.6 of the screen's 720-line units.
f32 panelScale() { return static_cast<f32>(screenHeight) / referenceHeight * 0.6f; }

GUIImage* addRowImage(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, const char* texture, u32 colour) {
    auto* image = new GUIImage(environment, parent, -1, core::recti(0, 0, 1, 1));
    if (texture)
        image->setImage(environment->getVideoDriver()->getTexture(texture));
    image->setScaleImage(true);
    image->setUseAlphaChannel(true);
    image->setColor(video::SColor(colour));
    image->setVisible(false);
    image->drop();
    return image;
}

GUIFreeTypeText* addRowText(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, u32 colour) {
    auto* text = new GUIFreeTypeText(L"", environment, parent, -1, core::recti(0, 0, 1, 1));
    text->setOverrideColor(video::SColor(colour));
    text->setTextAlignment(gui::EGUIA_CENTER, gui::EGUIA_CENTER);
    text->setVisible(false);
    text->drop();
    return text;
}

// The objective texts of the current language are read again and the level's rows refreshed.
void reloadObjectiveTexts() {
    if (!levelManager || !gameDevice)
        return;
    ObjectiveList& list = levelManager->objectives;
    if (languageManager)
        list.setCollectionFile(languageManager->getLocalizedPath(ObjectiveList::defaultCollectionFile).c_str());
    list.loadCollection(gameDevice->getFileSystem());
    list.refreshRequested = true;
}

} // namespace

GUIObjectiveCenter::GUIObjectiveCenter(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, s32 id,
                                       const core::recti& rectangle)
    : GUIImage(environment, parent, id, rectangle) {
    Type = toElementType(GuiType::ObjectiveCenter);
    DrawnByOwner = true;
    Header = addRowImage(environment, this, barTexture, 0xFFFFFFFF);
    EmptyList = addRowImage(environment, this, nullptr, 0xFFFFFFFF);
    if (levelManager)
        levelManager->objectives.setDisplay(this);
    if (languageManager)
        bindCallback(languageManager->languageChanged, this, &GUIObjectiveCenter::onLanguageChanged);
}

GUIObjectiveCenter::~GUIObjectiveCenter() {
    if (levelManager && levelManager->objectives.getDisplay() == this)
        levelManager->objectives.setDisplay(nullptr);
    if (languageManager)
        unbindCallback(languageManager->languageChanged, this, &GUIObjectiveCenter::onLanguageChanged);
}

void GUIObjectiveCenter::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    gui::IGUIElement::serializeAttributes(out, options);
}

void GUIObjectiveCenter::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    readElementAttributes(this, in, options);
}

// --- rows ----------------------------------------------------------------------------------------------

void GUIObjectiveCenter::applyFont(GUIFreeTypeText* text) {
    if (gui::IGUIFont* font = getLanguageFont(1))
        text->setOverrideFont(font);
}

GUIObjectiveCenter::Row& GUIObjectiveCenter::rowAt(int index) {
    while (static_cast<int>(Rows.size()) <= index) {
        Row row;
        auto* element = new GUIImage(Environment, this, -1, core::recti(0, 0, 1, 1));
        element->drop();
        row.element = element;
        row.highlight = addRowImage(Environment, element, highlightTexture, 0xFFFFFFFF);
        row.shadow = addRowText(Environment, element, objectiveShadowColour);
        row.title = addRowText(Environment, element, objectiveOpenColour);
        applyFont(row.shadow);
        applyFont(row.title);
        row.icon = addRowImage(Environment, element, nullptr, 0xFFFFFFFF);
        if (IconTemplateLoaded)
            row.icon->setSpriteAnimation(IconTemplate);
        row.openMarker = addRowImage(Environment, element, lineTexture, 0xFFE0B040);
        row.decorations[0] = addRowImage(Environment, element, lineTexture, 0xFFC8C8C8);
        row.decorations[1] = addRowImage(Environment, element, barTexture, 0xFFFFFFFF);
        row.decorations[2] = addRowImage(Environment, element, lineTexture, 0xFF50B050);
        Rows.push_back(row);
    }
    return Rows[static_cast<std::size_t>(index)];
}

void GUIObjectiveCenter::setIconFrame(Row& row, s32 frame) {
    row.iconFrame = frame;
    SpriteAnimation* animation = row.icon->getSpriteAnimation();
    if (!animation)
        return;
    const s32 span = std::max(animation->last - animation->first + 1, 1);
    // The middle of the frame: its start would read as the frame before it. The icon holds
    // its frame (it does not play on).
    animation->time = (static_cast<f32>(frame - animation->first) + 0.5f) / static_cast<f32>(span) * animation->duration;
    animation->playing = false;
}

void GUIObjectiveCenter::setRowText(int index, const wchar_t* text) {
    if (index < 0)
        return;
    Row& row = rowAt(index);
    row.title->setText(text);
    row.shadow->setText(text);
    layoutRows();
}

void GUIObjectiveCenter::setRowOpenLook(int index, s32 iconFrame, bool visible) {
    if (index < 0)
        return;
    Row& row = rowAt(index);
    row.iconFrame = iconFrame;
    row.icon->setVisible(visible);
    row.openMarker->setVisible(visible);
    row.title->setVisible(visible);
    row.shadow->setVisible(visible);
    for (GUIImage* decoration : row.decorations)
        decoration->setVisible(false);
    row.title->setOverrideColor(video::SColor(objectiveOpenColour));
    row.shadow->setOverrideColor(video::SColor(objectiveShadowColour));
    setIconFrame(row, iconFrame);
    layoutRows();
}

void GUIObjectiveCenter::showCompletionHighlight(int index) {
    if (index < 0)
        return;
    Row& row = rowAt(index);
    row.highlight->setRelativePosition(core::recti(core::position2di(0, 0), row.highlight->getRelativePosition().getSize()));
    row.highlight->setVisible(true);
    row.element->setVisible(true);
    // The tick comes with the strike line, not only with the completed look after the
    // highlight.
    row.icon->setVisible(true);
    row.openMarker->setVisible(false);
    setIconFrame(row, ObjectiveList::completedIconFrame);
    for (GUIImage* decoration : row.decorations)
        decoration->setVisible(true);
    row.title->setOverrideColor(video::SColor(objectiveOpenColour));
    row.highlightTimer = highlightSeconds;
    row.highlighted = true;
}

void GUIObjectiveCenter::setRowCompletedLook(int index, s32 iconFrame) {
    if (index < 0)
        return;
    Row& row = rowAt(index);
    row.title->setVisible(true);
    // Grey and struck through, over the open look's black shadow: grey alone is lost on a
    // bright floor.
    row.shadow->setVisible(true);
    row.shadow->setOverrideColor(video::SColor(objectiveShadowColour));
    row.icon->setVisible(true);
    row.openMarker->setVisible(false);
    setIconFrame(row, iconFrame);
    for (GUIImage* decoration : row.decorations)
        decoration->setVisible(true);
    row.title->setOverrideColor(video::SColor(objectiveDoneColour));
    row.highlight->setVisible(false);
    row.highlighted = false;
    layoutRows();
}

void GUIObjectiveCenter::hideAll() {
    Header->setVisible(false);
    for (Row& row : Rows) {
        row.highlightTimer = 0.0f;
        row.highlighted = false;
        row.title->setVisible(false);
        row.shadow->setVisible(false);
        row.icon->setVisible(false);
        row.openMarker->setVisible(false);
        row.highlight->setVisible(false);
        for (GUIImage* decoration : row.decorations)
            decoration->setVisible(false);
    }
}

int GUIObjectiveCenter::countVisibleRows() const {
    return static_cast<int>(std::count_if(Rows.begin(), Rows.end(), [](const Row& row) { return row.title->isVisible(); }));
}

void GUIObjectiveCenter::setTaskIconAnimation(const io::path& path) {
    IconTemplate = SpriteAnimation();
    ::getSpriteAnimation(IconTemplate, path);
    IconTemplateLoaded = true;
    for (Row& row : Rows) {
        row.icon->setSpriteAnimation(IconTemplate);
        setIconFrame(row, row.iconFrame);
    }
}

void GUIObjectiveCenter::onLanguageChanged() {
    reloadObjectiveTexts();
    for (Row& row : Rows) {
        applyFont(row.title);
        applyFont(row.shadow);
    }
}

void GUIObjectiveCenter::resetForLevel() { setVisible(true); }

// Rows whose title shows stack upward from just above the meter, the first on top; the
// header bar lies above them.
void GUIObjectiveCenter::layoutRows() {
    const f32 f = panelScale();
    const s32 w = RelativeRect.getWidth();
    const s32 h = RelativeRect.getHeight();
    const s32 rowHeight = std::max(static_cast<s32>(44.0f * f), 1);
    const s32 bottom = h - static_cast<s32>(210.0f * f);
    const s32 shown = countVisibleRows();
    s32 place = 0;
    for (Row& row : Rows) {
        const s32 top = bottom - (shown - place) * rowHeight;
        if (row.title->isVisible())
            ++place;
        row.element->setRelativePosition(core::recti(0, top, w, top + rowHeight));
        const core::recti title(rowHeight + 8, 0, w - rowHeight - 8, rowHeight);
        row.title->setRelativePosition(title);
        row.shadow->setRelativePosition(title + core::position2di(2, 2));
        row.highlight->setRelativePosition(core::recti(0, 0, w, rowHeight));
        const s32 textLeft = title.getCenter().X - row.title->getTextWidth() / 2;
        const s32 icon = rowHeight - 4;
        row.icon->setRelativePosition(core::recti(textLeft - icon - 8, 2, textLeft - 8, 2 + icon));
        row.openMarker->setRelativePosition(core::recti(textLeft - icon - 16, rowHeight / 2 - 2, textLeft - icon - 12, rowHeight / 2 + 2));
        // The strike line over the title's middle, 7 pixels wider on each side; laid out with
        // the rest, so it stays over the title when the panel changes its size.
        const core::position2di centre = title.getCenter();
        const s32 half = row.title->getTextWidth() / 2;
        row.decorations[0]->setRelativePosition(core::recti(centre.X - half - 7, centre.Y, centre.X + half + 7, centre.Y + 3));
        row.decorations[1]->setRelativePosition(core::recti(title.getCenter().X - row.title->getTextWidth() / 2, rowHeight - 3,
                                                            title.getCenter().X + row.title->getTextWidth() / 2, rowHeight - 1));
        // The green part of the underline, under the icon: one line with the title's, not a
        // mark of its own beside the icon.
        row.decorations[2]->setRelativePosition(core::recti(textLeft - icon - 8, rowHeight - 3, textLeft - 8, rowHeight - 1));
    }
    const s32 headerTop = bottom - shown * rowHeight - 6;
    Header->setRelativePosition(core::recti(w / 4, headerTop, w - w / 4, headerTop + 3));
    EmptyList->setRelativePosition(core::recti(0, bottom - rowHeight, w, bottom));
}

// --- frames ------------------------------------------------------------------------------------------

void GUIObjectiveCenter::draw() {
    IsVisible = StoredVisible;
    const bool running = isSimulationActive() && !(levelManager && levelManager->levelLoading);
    if (IsVisible && !Rows.empty()) {
        const s32 W = screenWidth;
        const s32 H = screenHeight;
        const f32 f = panelScale();
        const s32 w = static_cast<s32>(static_cast<f32>(W) * f);
        const s32 h = static_cast<s32>(static_cast<f32>(H) * f);
        s32 lift = 0;
        s32 aside = 0;
        const std::optional<PausePanelSlide> pause = askHook(guiHooks().screens.pausePanel, std::nullopt);
        if (pause) {
            const f32 d = pause->dimAmount;
            const f32 s = 3.0f * d * d - 2.0f * d * d * d;
            const f32 share = static_cast<f32>(countVisibleRows()) / static_cast<f32>(Rows.size());
            lift = static_cast<s32>(share * 800.0f * f * s);
            aside = std::max(0, static_cast<s32>(static_cast<f32>(static_cast<s32>(800.0f * f) - pause->panelWidth) * s));
        }
        const s32 marginY = askHook(guiHooks().screens.overscanMargin, core::position2di(0, 0)).Y;
        lift += std::max(0, marginY - static_cast<s32>(40.0f * f));
        EmptyList->setVisible(false);
        // An options page over the pause menu has its hint line where the meter of an empty
        // list would stand: the meter keeps to the pause menu itself.
        const bool menuOpen = isMenuOpen() || (pause && pause->pageAbove);
        if (menuOpen)
            Header->setVisible(false);
        lift -= static_cast<s32>(40.0f * f);
        const s32 bottom = H - lift;
        const s32 x = (W - w) / 2 - aside;
        const core::recti placed(x, bottom - h, x + w, bottom);
        if (placed != RelativeRect) {
            setRelativePosition(placed);
            layoutRows();
        }
        const bool covered = askHook(guiHooks().screens.overlayBlend, 0.0f) != 0.0f;
        if (!covered && !menuOpen) {
            updateAbsolutePosition();
            GUIHud* hud = askHook(guiHooks().screens.hud, nullptr);
            if (running && hud) {
                EmptyList->setVisible(countVisibleRows() == 0);
                hud->drawMeterIfShown();
            }
        }
    }
    if (running && IsVisible)
        drawChildren();
    IsVisible = false;
}

void GUIObjectiveCenter::OnPostRender(u32 timeMs) {
    if (!isSimulationActive())
        return;
    for (Row& row : Rows) {
        if (row.highlightTimer <= 0.0f)
            continue;
        row.highlightTimer = std::max(0.0f, row.highlightTimer - (frameStopwatch ? frameStopwatch->delta() : 0.0f));
        const u32 alpha = static_cast<u32>(255.0f * row.highlightTimer / highlightSeconds);
        row.highlight->setColor(video::SColor((alpha << 24) | 0xFFFFFFu));
    }
    if (StoredVisible)
        postRenderChildren(timeMs);
}
