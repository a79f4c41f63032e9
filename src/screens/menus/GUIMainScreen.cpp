#include "screens/menus/GUIMainScreen.h"
#include "core/FontGate.h"

#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/SoundManager.h"
#include "core/Stopwatch.h"
#include "core/Utf8.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/NoticePanel.h"
#include "gui/GUIImage.h"
#include "gui/GUIOptionsList.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/ShownPart.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "render/ShaderManager.h"
#include "screens/ScreenManager.h"

#include <IFileSystem.h>
#include <IGUIEnvironment.h>
#include <IGUIStaticText.h>
#include <IReadFile.h>
#include <IVideoDriver.h>
#include <IrrlichtDevice.h>

#include <algorithm>
#include <vector>

using namespace irr;

f32 MainScreenFade = 1.0f;
f32 MainScreenFadeTarget = 1.0f;

namespace {

// Screens wider than 16:9 fit the 1920 x 1080 pictures by width, narrower ones by height.
constexpr f32 wideAspect = 1.7777778f;
// The logo picture keeps its own proportions, a little larger than the screen.
constexpr f32 logoAspect = 1.66677f;
constexpr const char* graphicsRuntimeAddress = "https://www.khronos.org/opengl/wiki/Getting_Started#Downloading_OpenGL";

void moveElementTo(gui::IGUIElement* element, s32 x, s32 y) {
    placeElement(element, core::recti(core::position2di(x, y), element->getRelativePosition().getSize()));
}

} // namespace

GUIMainScreen::GUIMainScreen(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, s32 id,
                             const core::recti& rectangle)
    : GUIScreen(environment, parent, id, rectangle) {
    MainScreenFade = MainScreenFadeTarget = 1.0f;
    KeepTimerRunning = true;

    video::IVideoDriver* driver = environment->getVideoDriver();
    VignetteTexture = driver->getTexture(vignettePath);
    LogoBackgroundTexture = driver->getTexture(logoBackgroundPath);
    LogoShownPart = findShownPart(LogoBackgroundTexture);
    video::ITexture* logos = driver->getTexture(logoStripPath);

    const core::dimension2du logoSize = logos ? logos->getOriginalSize() : core::dimension2du(0, 0);
    LogoStrip = new GUIImage(environment, this, 0,
                             core::recti(0, 0, guiUnits(static_cast<f32>(logoSize.Width)),
                                         guiUnits(static_cast<f32>(logoSize.Height))));
    if (demoMode)
        LogoStrip->setImage(logos);
    LogoStrip->setUseAlphaChannel(true);
    LogoStrip->setScaleImage(true);
    LogoStrip->setSubElement(true);
    LogoStrip->setAlignment(gui::EGUIA_CENTER, gui::EGUIA_CENTER, gui::EGUIA_CENTER, gui::EGUIA_CENTER);
    LogoStrip->drop();
    placeLogoStrip();

    gui::IGUIFont* notesFont = getLanguageFont(5);
    for (GUIFreeTypeText** text : {&BuildNotesShadow, &BuildNotesText}) {
        const bool shadow = text == &BuildNotesShadow;
        *text = new GUIFreeTypeText(environment, this, -1, core::recti(0, 0, guiUnits(590), guiUnits(190)));
        moveElementTo(*text, guiUnits(shadow ? 12 : 10), guiUnits(shadow ? -202 : -200));
        (*text)->setOverrideFont(notesFont);
        (*text)->setOverrideColor(video::SColor(shadow ? 0xe6000000 : 0xe6ffffff));
        (*text)->setWordWrap(true);
        (*text)->setSubElement(true);
        (*text)->setAlignment(gui::EGUIA_UPPERLEFT, gui::EGUIA_LOWERRIGHT, gui::EGUIA_UPPERLEFT, gui::EGUIA_LOWERRIGHT);
        (*text)->setTextAlignment(gui::EGUIA_UPPERLEFT, gui::EGUIA_UPPERLEFT);
        (*text)->setEnabled(false);
        (*text)->setDrawBackground(false);
        (*text)->drop();
    }
    if (!demoMode)
        loadBuildNotes();
    if (shaderManager && shaderManager->shaderLevel < 3)
        showShaderModelWarning();
    if (saveManager && !saveManager->canWrite())
        showSaveFolderWarning();
    updateAbsolutePosition();
}

s32 GUIMainScreen::getFactoryTypeId() const { return GuiType::MainScreen; }

// --- showing --------------------------------------------------------------------------------------

void GUIMainScreen::onShow() {
    if (levelManager && !levelManager->initialLoad) {
        io::IFileSystem* files = Environment->getFileSystem();
        if (levelManager->getCurrentLevelPath() != core::stringw(titleBackgroundLevel) && files &&
            files->existFile(titleBackgroundLevel))
            levelManager->queueLoadLevelEvent(titleBackgroundLevel, true);
    }
    if (soundManager)
        soundManager->playSong(menuSong, false, 2.0f);
    // The objective panel stays out of the menus.
    for (gui::IGUIElement* child : Environment->getRootGUIElement()->getChildren())
        if (static_cast<s32>(child->getType()) == GuiType::ObjectiveCenter)
            child->setVisible(false);
}

void GUIMainScreen::OnPostRender(u32 timeMs) {
    if (StartingUp)
        return;
    const s32 offset = getMenuPanelOffset();
    placeElement(this, core::recti(offset, 0, screenWidth, screenHeight));
    // The build notes stay in the screen's lower left corner while the screen moves with the
    // panels (moved with it they would leave the screen), and a notice in its upper left.
    if (BuildNotesText && BuildNotesShadow) {
        moveElementTo(BuildNotesText, guiUnits(10) - offset, BuildNotesText->getRelativePosition().UpperLeftCorner.Y);
        moveElementTo(BuildNotesShadow, guiUnits(11) - offset, BuildNotesShadow->getRelativePosition().UpperLeftCorner.Y);
    }
    if (SaveFolderWarning)
        moveElementTo(SaveFolderWarning, guiUnits(10) - offset, guiUnits(10));
    const f32 d = frameStopwatch ? frameStopwatch->delta() : 0.0f;
    MainScreenFade += MainScreenFadeTarget == 1.0f ? 5.0f * d : -5.0f * d;
    MainScreenFade = std::clamp(MainScreenFade, 0.0f, 1.0f);
    GUIScreen::OnPostRender(timeMs);
}

s32 GUIMainScreen::getMenuPanelOffset() const {
    if (!screenManager)
        return 0;
    s32 offset = 0;
    for (GUIScreen* screen : screenManager->getScreenStack()) {
        if (screen == this || static_cast<s32>(screen->getType()) != GuiType::OptionsList)
            continue;
        const auto* list = static_cast<const GUIOptionsList*>(screen);
        if (list->getPanelType() != 0)
            continue;
        const s32 left = list->getRelativePosition().UpperLeftCorner.X;
        offset += list->isPanelOnRight() ? left - list->getPanelWidth() : left + list->getPanelWidth();
    }
    return offset;
}

// --- drawing --------------------------------------------------------------------------------------

core::recti GUIMainScreen::coverRect(s32 width, s32 height) {
    const f32 w = static_cast<f32>(width), h = static_cast<f32>(height);
    if (w / h <= wideAspect) {
        const s32 k = static_cast<s32>((h / 1080.0f * 1920.0f - w) * 0.5f);
        return core::recti(-k, 0, width + k, height + 1);
    }
    const s32 k = static_cast<s32>((w / 1920.0f * 1080.0f - h) * 0.5f);
    return core::recti(0, -k, width, height + k);
}

core::recti GUIMainScreen::logoRect(s32 width, s32 height, s32 x) {
    const f32 w = static_cast<f32>(width), h = static_cast<f32>(height);
    const f32 a = w / h;
    if (a <= wideAspect) {
        const f32 r = a / logoAspect;
        const s32 k = static_cast<s32>((h / 1080.0f * 1920.0f * r - w) * 0.5f);
        return core::recti(x - k, 0, x + width + k, static_cast<s32>(h * r));
    }
    const s32 k = static_cast<s32>((w / 1920.0f * 1080.0f - h) * 0.5f);
    return core::recti(x, -k, x + width, height + k);
}

core::recti GUIMainScreen::keepTitleInside(const core::recti& logo, s32 freeLeft, s32 freeRight) {
    const f32 width = static_cast<f32>(logo.getWidth());
    const f32 margin = static_cast<f32>(freeRight - freeLeft) * 0.02f;
    const f32 left = static_cast<f32>(freeLeft) + margin;
    const f32 right = static_cast<f32>(freeRight) - margin;
    const f32 titleStart = static_cast<f32>(logo.UpperLeftCorner.X) + width * titleLeft;
    const f32 titleEnd = static_cast<f32>(logo.UpperLeftCorner.X) + width * titleRight;
    if (width <= 0.0f || right <= left || (titleStart >= left && titleEnd <= right))
        return logo;
    const f32 scale = std::min(1.0f, (right - left) / (width * (titleRight - titleLeft)));
    const f32 scaledWidth = width * scale;
    const f32 x = (left + right) * 0.5f - scaledWidth * (titleLeft + titleRight) * 0.5f;
    const f32 y = static_cast<f32>(logo.UpperLeftCorner.Y) * scale;
    return core::recti(static_cast<s32>(x), static_cast<s32>(y), static_cast<s32>(x + scaledWidth),
                       static_cast<s32>(y + static_cast<f32>(logo.getHeight()) * scale));
}

void GUIMainScreen::draw() {
    // Drawn from the first frame on (its show step runs after that frame's drawing): the
    // frame before would show the scene without the title.
    if (!IsVisible)
        return;
    drawCoverImage(VignetteTexture);
    drawLogoBackground(LogoBackgroundTexture, getMenuPanelOffset() / 2);
    GUIScreen::draw();
}

void GUIMainScreen::drawCoverImage(video::ITexture* texture) {
    if (!texture)
        return;
    const core::dimension2du size = texture->getOriginalSize();
    Environment->getVideoDriver()->draw2DImage(texture, coverRect(screenWidth, screenHeight),
                                               core::recti(0, 0, size.Width, size.Height), nullptr, nullptr, true);
}

void GUIMainScreen::drawLogoBackground(video::ITexture* texture, s32 x) {
    if (!texture)
        return;
    const u32 alpha = static_cast<u32>(static_cast<s32>(MainScreenFade * 255.0f));
    const video::SColor tint((alpha << 24) | 0xffffffu);
    if (BuildNotesText && BuildNotesShadow) {
        BuildNotesText->setOverrideColor(tint);
        BuildNotesShadow->setOverrideColor(video::SColor(alpha << 24));
        GUIScreen* top = screenManager ? screenManager->getTopScreen() : nullptr;
        const bool show = alpha > 0 && (!top || std::string(top->getTypeName()) == "GUIPlayScreen");
        BuildNotesText->setVisible(show);
        BuildNotesShadow->setVisible(show);
    }
    if (alpha == 0)
        return;
    const core::dimension2du size = texture->getOriginalSize();
    const video::SColor corners[4] = {tint, tint, tint, tint};
    // The panel's side of the screen is not free for the title (x is half the panel's offset).
    const s32 offset = 2 * x;
    const core::recti logo = keepTitleInside(logoRect(screenWidth, screenHeight, x), std::max(offset, 0),
                                             screenWidth + std::min(offset, 0));
    const core::recti source(0, 0, size.Width, size.Height);
    // Drawn where it shows only: its transparent rest would leave the screen as it is.
    core::recti shown = shownPartOnScreen(LogoShownPart, source, logo);
    shown.clipAgainst(core::recti(0, 0, screenWidth, screenHeight));
    if (shown.isValid() && shown.getArea() > 0)
        Environment->getVideoDriver()->draw2DImage(texture, logo, source, &shown, corners, true);
}

// --- the pieces -------------------------------------------------------------------------------------

void GUIMainScreen::placeLogoStrip() {
    const bool overscan = screenManager && screenManager->Overscan;
    const s32 mx = overscan ? screenWidthPart(0.05f) : 0;
    const s32 my = overscan ? screenHeightPart(0.05f) : 0;
    const s32 x = screenWidth - mx - static_cast<s32>(static_cast<f32>(guiUnits(512)) * 1.33f) - getMenuPanelOffset();
    const s32 y = screenHeight - 2 * my - guiUnits(64);
    moveElementTo(LogoStrip, x, y);
}

void GUIMainScreen::loadBuildNotes() {
    const io::path path = languageManager ? languageManager->getLocalizedPath(buildNotesPath) : io::path(buildNotesPath);
    io::IFileSystem* files = Environment->getFileSystem();
    io::IReadFile* file = files ? files->createAndOpenFile(path) : nullptr;
    if (!file)
        return;
    const long size = file->getSize();
    if (size <= 0) {
        file->drop();
        return;
    }
    std::vector<char> bytes(static_cast<std::size_t>(size) + 1, '\0');
    file->read(bytes.data(), static_cast<u32>(size));
    file->drop();
    const std::wstring text = fromUtf8(bytes.data());
    for (GUIFreeTypeText* notes : {BuildNotesText, BuildNotesShadow}) {
        notes->setText(text.c_str());
        notes->setWordWrap(true);
    }
    placeBuildNotes();
}

void GUIMainScreen::placeBuildNotes() {
    const u32 lines = std::max(BuildNotesText->getLineCount(), 1u);
    const s32 lineHeight = BuildNotesText->getTextHeight() / static_cast<s32>(lines);
    moveElementTo(BuildNotesText, guiUnits(10), screenHeight - guiUnits(20) - lineHeight);
    moveElementTo(BuildNotesShadow, guiUnits(11), screenHeight - guiUnits(21) - lineHeight);
}

void GUIMainScreen::showShaderModelWarning() {
    video::IVideoDriver* driver = Environment->getVideoDriver();
    std::wstring text = L"\nWarning: We've detected install issues. A Shader Model 3 video card is needed to run the "
                        L"game properly.\n\n";
    const std::wstring address = fromUtf8(graphicsRuntimeAddress);
    if (driver->queryFeature(video::EVDF_PIXEL_SHADER_3_0))
        text += L"We detect that your video card SHOULD support this. \n\nYou likely do not have the latest DirectX "
                L"installed.\nPlease update at " +
                address + L" ";
    else
        text += L"We cannot detect that your video card supports this. \n\nAlternatively, you may not have the latest "
                L"DirectX installed.\nPlease try updating at " +
                address + L" ";
    const s32 w = screenWidth, h = screenHeight;
    ShaderWarning = addNotice(text.c_str(), core::recti(w / 2 - 400, h - 200, w / 2 + 400, h));
}

void GUIMainScreen::showSaveFolderWarning() {
    // The log names the folder. The top left corner, left of the menu panels (placed again as
    // the screen moves: OnPostRender), in the notifications' look.
    SaveFolderWarning = addNoticePanel(Environment, this, core::recti(0, 0, guiUnits(600), guiUnits(84)),
                                       L"Another Paddlestone is using your save folder.",
                                       L"This game will not save your progress.");
    moveElementTo(SaveFolderWarning, guiUnits(10), guiUnits(10));
}

gui::IGUIElement* GUIMainScreen::addNotice(const wchar_t* text, const core::recti& rect) {
    gui::IGUIStaticText* notice = Environment->addStaticText(text, rect, true, true, this, -1, true);
    notice->setOverrideFont(getCheckedFont(Environment, "Content/Font/Debug.xml"));
    notice->setBackgroundColor(video::SColor(0xffffffff));
    return notice;
}
