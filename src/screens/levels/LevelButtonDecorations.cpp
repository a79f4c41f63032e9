#include "screens/levels/LevelButtonDecorations.h"

#include "core/Globals.h"
#include "core/TextUtils.h"
#include "core/Utf8.h"
#include "gui/GUIButton.h"
#include "gui/GUIOptionsList.h"
#include "gui/GUITextButton.h"
#include "gui/GuiCommon.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "screens/levels/LevelCatalogue.h"

#include <IGUIEnvironment.h>
#include <IVideoDriver.h>

using namespace irr;

namespace {

constexpr const char* buttonsFolder = "Content/Screens/Buttons/";

gui::IGUIElement* decoratedRow(u32 index) {
    return index < MenuLevels.size() ? MenuLevels[index].MenuItem : nullptr;
}

std::wstring recordPath(u32 index) { return fromUtf8(MenuLevels[index].path.c_str()); }

f32 bestLevelTime(u32 index) {
    return saveManager ? saveManager->getBestLevelTime(recordPath(index).c_str()) : 0.0f;
}

video::ITexture* buttonTexture(GUIOptionsList* screen, const char* name) {
    return screen->getGuiEnvironment()->getVideoDriver()->getTexture(io::path(buttonsFolder) + name);
}

// Size and place in 720-line units, relative to the row.
core::recti decorationRect(f32 x, f32 y, f32 width, f32 height) {
    const s32 left = guiUnits(x), top = guiUnits(y);
    return core::recti(left, top, left + guiUnits(width), top + guiUnits(height));
}

template <typename Button>
Button* addDecoration(GUIOptionsList* screen, gui::IGUIElement* row, const core::recti& rect) {
    auto* button = new Button(screen->getGuiEnvironment(), row, 0, rect);
    button->setForwardFocusTarget(row);
    button->setNotClipped(true);
    button->setUseAlphaChannel(true);
    button->drop();
    return button;
}

GUIButton* addIcon(GUIOptionsList* screen, gui::IGUIElement* row, const core::recti& rect, const char* normal,
                   const char* lit) {
    GUIButton* icon = addDecoration<GUIButton>(screen, row, rect);
    icon->setScaleImage(true);
    video::ITexture* first = buttonTexture(screen, normal);
    video::ITexture* second = buttonTexture(screen, lit);
    icon->setStateImages(first, second, second, second, first);
    return icon;
}

} // namespace

void addStarIcon(GUIOptionsList* screen, u32 index) {
    gui::IGUIElement* row = decoratedRow(index);
    if (!row)
        return;
    const f32 best = bestLevelTime(index);
    const f32 dev = getDevBestTime(MenuLevels[index].path);
    const char* normal = "StarOutline1.png";
    const char* lit = "StarOutline2.png";
    if (best > 0.0f) {
        normal = "StarFilled1.png";
        lit = "StarFilled2.png";
        if (dev > 0.0f && best < dev)
            normal = lit = "StarFilled3.png";
    }
    addIcon(screen, row, decorationRect(-10, 6, 18, 18), normal, lit);
}

void addBestTimeText(GUIOptionsList* screen, u32 index) {
    gui::IGUIElement* row = decoratedRow(index);
    if (!row)
        return;
    auto* time = addDecoration<GUITextButton>(screen, row, decorationRect(15, 1, 50, 30));
    time->setCaptionFont(getCachedFont("Content/Font/NoMove.ttf", guiUnits(12)));
    time->setText(formatTimeW(bestLevelTime(index), false, true, true).c_str());
    time->setCaptionAlignment(gui::EGUIA_UPPERLEFT, gui::EGUIA_CENTER);
    // Lit with its row (white on the row's bar), dark grey on the panel otherwise.
    time->setStateColors(video::SColor(0xff5a5a5a), video::SColor(0xffffffff), video::SColor(0xffffffff),
                         video::SColor(0xffffffff));
    if (auto* rowButton = dynamic_cast<GUIButton*>(row))
        time->setStateSource(rowButton);
}

void addTieIcon(GUIOptionsList* screen, u32 index, s32 tie) {
    gui::IGUIElement* row = decoratedRow(index);
    if (!row)
        return;
    GUIButton* icon = addIcon(screen, row, decorationRect(60.0f + 10.0f * static_cast<f32>(tie), 3, 8, 25),
                              "TieIcon1.png", "TieIcon2.png");
    const bool collected = levelManager && levelManager->tieTable.isLevelTieCollected(recordPath(index).c_str(), tie);
    if (!collected)
        icon->setColor(video::SColor(0x80ffffff));
}

void addNoTieIcon(GUIOptionsList* screen, u32 index) {
    gui::IGUIElement* row = decoratedRow(index);
    if (row)
        addIcon(screen, row, decorationRect(59, 7, 30, 16), "NoTieIcon1.png", "NoTieIcon2.png");
}
