// Every screen of the game, opened the way the game opens it, recorded as its whole GUI
// element tree at two window sizes and after each step of a short run of menu keys: what
// each element is, where it lies, what it says in which font and colours, what it shows and
// which row is chosen. The records under tests/screens/records/ are compared token by token.
#include "ScreenInputFixture.h"
#include "WorkshopZip.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/SoundManager.h"
#include "gui/GUIButton.h"
#include "gui/GUIElementFactory.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIImage.h"
#include "gui/GUIMenuItem.h"
#include "gui/GUIOptionCycle.h"
#include "gui/GUIOptionMeter.h"
#include "gui/GUIOptionRemap.h"
#include "gui/GUIOptionsList.h"
#include "gui/GUIScreen.h"
#include "gui/GUIScrollList.h"
#include "gui/GUIStaticText.h"
#include "gui/GUITextButton.h"
#include "gui/GuiCommon.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/hud/GUIHud.h"
#include "gui/hud/GUINotification.h"
#include "gui/hud/GUIObjectiveCenter.h"
#include "gui/hud/GUISubtitleManager.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"
#include "level/ResourceCaches.h"
#include "physics/world/PhysicsManager.h"
#include "platform/FakePadBackend.h"
#include "player/InputManager.h"
#include "player/devices/GamepadDevice.h"
#include "render/SpriteAnimation.h"
#include "screens/ScreenManager.h"
#include "screens/levels/GUILevelSelectScreen.h"
#include "screens/levels/GUIStoryLevelSelectScreen.h"
#include "screens/levels/LevelCatalogue.h"
#include "screens/levels/WorkshopLevels.h"
#include "screens/menus/GUIAudioOptionsScreen.h"
#include "screens/menus/GUIControlOptionsScreen.h"
#include "screens/menus/GUIControlsRemapScreen.h"
#include "screens/menus/GUIDialogScreen.h"
#include "screens/menus/GUIGraphicsOptionsScreen.h"
#include "screens/menus/GUIMainScreen.h"
#include "screens/menus/GUIOptionsScreen.h"
#include "screens/menus/GUIPauseScreen.h"
#include "screens/menus/GUISplashScreen.h"
#include "support/RecordedResult.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace irr;

namespace {

// The window sizes every screen is recorded at (each size a test of its own).
const core::dimension2du small(800, 600);
const core::dimension2du large(1920, 1080);

// --- writing an element tree ----------------------------------------------------------------------

std::string number(f32 value) {
    char buffer[32];
    std::snprintf(buffer, sizeof(buffer), "%.4g", static_cast<double>(value));
    return buffer;
}

// Text as one quoted run: line breaks and tabs written out so a record line stays one line;
// characters beyond ASCII by their code.
std::string quoted(const wchar_t* text) {
    std::string out = "\"";
    for (const wchar_t* c = text; c && *c; ++c) {
        if (*c == L'\n')
            out += "\\n";
        else if (*c == L'\r')
            out += "\\r";
        else if (*c == L'\t')
            out += "\\t";
        else if (*c >= 32 && *c < 127)
            out += static_cast<char>(*c);
        else {
            char buffer[16];
            std::snprintf(buffer, sizeof(buffer), "\\u%04x", static_cast<unsigned>(*c));
            out += buffer;
        }
    }
    return out + "\"";
}

// Paths from "Content/" on: the engine keeps textures under the full path of the checkout.
std::string contentPath(const std::string& path) {
    const std::size_t at = path.rfind("Content/");
    return at == std::string::npos ? path : path.substr(at);
}

std::string textureName(const video::ITexture* texture) {
    return texture ? contentPath(texture->getName().getPath().c_str()) : "-";
}

std::string colour(video::SColor c) {
    char buffer[16];
    std::snprintf(buffer, sizeof(buffer), "%08x", c.color);
    return buffer;
}

std::string rect(const core::recti& r) {
    return std::to_string(r.UpperLeftCorner.X) + " " + std::to_string(r.UpperLeftCorner.Y) + " " +
           std::to_string(r.LowerRightCorner.X) + " " + std::to_string(r.LowerRightCorner.Y);
}

// One element's block of lines, keyed by its place in the tree (child indices from the root).
using Block = std::pair<std::string, std::string>;

// The TrueType fonts the written elements use, by family and size.
using FontSet = std::map<std::string, CGUITTFont*>;

// A font's measures: its pages, and for a few probe characters the glyph's size, offset,
// advance and place in its page, and the kerning of a few pairs.
std::string fontBlock(const std::string& key, CGUITTFont* font) {
    std::string out = "font " + key + " ascender " + std::to_string(font->getAscender()) + " kerning " +
                      std::to_string(font->getKerningWidth()) + " " + std::to_string(font->getKerningHeight()) +
                      " pages " + std::to_string(font->getPageCount());
    for (u32 i = 0; i < font->getPageCount(); ++i)
        if (const TTFontGlyphPage* page = font->getGlyphPage(i))
            out += " " + std::to_string(page->size.Width) + "x" + std::to_string(page->size.Height) + " used " +
                   std::to_string(page->usedCells) + " free " + std::to_string(page->freeCells);
    out += "\n";
    for (const wchar_t c : std::wstring(L"AgW.j 7")) {
        const u32 index = font->getGlyphIndexByChar(static_cast<u32>(c));
        const core::dimension2du size = font->getCharDimension(static_cast<u32>(c));
        out += "  glyph " + std::to_string(static_cast<unsigned>(c)) + " index " + std::to_string(index) + " size " +
               std::to_string(size.Width) + " " + std::to_string(size.Height);
        if (const TTFontGlyph* glyph = font->getGlyph(index))
            out += " offset " + std::to_string(glyph->offset.X) + " " + std::to_string(glyph->offset.Y) + " advance " +
                   std::to_string(glyph->advance.X) + " " + std::to_string(glyph->advance.Y) + " cell " +
                   rect(glyph->sourceRect);
        out += "\n";
    }
    for (const wchar_t* pair : {L"AV", L"To", L"ff"}) {
        const core::vector2di kerning = font->getKerning(static_cast<u32>(pair[1]), static_cast<u32>(pair[0]));
        out += "  pair " + std::to_string(static_cast<unsigned>(pair[0])) + " " +
               std::to_string(static_cast<unsigned>(pair[1])) + " " + std::to_string(kerning.X) + " " +
               std::to_string(kerning.Y) + " width " + std::to_string(font->getDimension(pair).Width) + "\n";
    }
    return out;
}

std::string fontName(gui::IGUIFont* font, FontSet& fonts) {
    if (!font)
        return "none";
    if (auto* tt = dynamic_cast<CGUITTFont*>(font)) {
        const FT_Face face = tt->getFace();
        std::string family = face && face->family_name ? face->family_name : "?";
        for (char& c : family)
            if (c == ' ')
                c = '_';
        const std::string key = family + " " + std::to_string(tt->getFontSize());
        fonts.emplace(key, tt);
        return key;
    }
    const core::dimension2du size = font->getDimension(L"Ag");
    return "bitmap " + std::to_string(size.Height);
}

// The element's own attribute set: numbers split apart so that each is compared as a number.
std::string attributeLine(io::IFileSystem* files, video::IVideoDriver* driver, gui::IGUIElement* element) {
    io::IAttributes* attributes = files->createEmptyAttributes(driver);
    element->serializeAttributes(attributes);
    std::string line = "  attr";
    for (u32 i = 0; i < attributes->getAttributeCount(); ++i) {
        const std::string name = attributes->getAttributeName(i);
        // The header line has the element's place, flags and caption; of the rest only what
        // differs from an element's defaults (an unset value that becomes set shows, and a
        // set one that goes missing shows as well).
        if (name == "Rect" || name == "Caption" || name == "Text" || name == "Name" || name == "Id" ||
            name == "Visible" || name == "Enabled" || name == "TabStop" || name == "TabGroup" ||
            name == "TabOrder" || name == "NoClip")
            continue;
        std::string value = contentPath(attributes->getAttributeAsString(i).c_str());
        for (char& c : value)
            if (c == ',' || c == '\n' || c == '\r' || c == '\t')
                c = ' ';
        if (value.empty() || value == "false" || value == "upperLeft" || (name == "MinSize" && value == "1  1") ||
            (name == "MaxSize" && value == "0  0") || (name == "Color" && value == "255  255  255  255"))
            continue;
        line += " " + name + " " + value + " ;";
    }
    attributes->drop();
    return line == "  attr" ? std::string() : line + "\n";
}

void writeElement(std::vector<Block>& blocks, FontSet& fonts, io::IFileSystem* files, video::IVideoDriver* driver,
                  gui::IGUIElement* element, const std::string& path) {
    std::string out = path + " " + element->getTypeName() + " id " + std::to_string(element->getID()) +
           " name " + (element->getName() && *element->getName() ? element->getName() : "-") + " abs " +
           rect(element->getAbsolutePosition()) + " vis " + std::to_string(element->isVisible()) + " en " +
           std::to_string(element->isEnabled()) + " sub " + std::to_string(element->isSubElement()) + " tab " +
           std::to_string(element->getTabOrder()) + " " + std::to_string(element->isTabStop()) + " " +
           std::to_string(element->isTabGroup()) + " noclip " + std::to_string(element->isNotClipped()) + "\n";
    // What is hidden or lies wholly off the screen is not seen, however it moves: its place
    // and flags are enough.
    // (The objective panel raises its visible flag only while it draws itself: it is seen
    // while its owner shows it.)
    const core::recti screen(0, 0, screenWidth, screenHeight);
    auto* panel = dynamic_cast<GUIObjectiveCenter*>(element);
    const bool seen = element->isVisible() || (panel && panel->isShownByOwner());
    if (!seen || !element->getAbsolutePosition().isRectCollided(screen)) {
        blocks.emplace_back(path, std::move(out));
        return;
    }
    if (element->getText() && *element->getText())
        out += "  text " + quoted(element->getText()) + "\n";
    out += attributeLine(files, driver, element);

    if (auto* text = dynamic_cast<GUIStaticText*>(element)) {
        // Measuring breaks the text the way drawing does.
        const s32 width = text->getTextWidth();
        const s32 height = text->getTextHeight();
        out += "  font " + fontName(text->getActiveFont(), fonts) + " path " +
               (text->getFontPath().empty() ? std::string("-") : contentPath(text->getFontPath().c_str())) +
               " colour " + colour(text->getOverrideColor()) + " " + std::to_string(text->isOverrideColorEnabled()) +
               " back " + colour(text->getBackgroundColor()) + " " + std::to_string(text->isDrawBackgroundEnabled()) +
               " align " + std::to_string(text->getHorizontalAlignment()) + " " +
               std::to_string(text->getVerticalAlignment()) + " wrap " + std::to_string(text->isWordWrapEnabled()) +
               " measured " + std::to_string(width) + " " + std::to_string(height);
        if (auto* freeType = dynamic_cast<GUIFreeTypeText*>(text))
            out += " lines " + std::to_string(freeType->getLineCount()) + " missing " +
                   std::to_string(freeType->hasMissingFont());
        out += "\n";
        // The lines as broken for the element's width (one line that is the whole text is
        // not repeated).
        const auto& broken = text->getBrokenText();
        if (!(broken.size() == 1 && broken[0] == text->getOwnText()))
            for (u32 i = 0; i < broken.size(); ++i)
                out += "  line " + std::to_string(i) + " " + quoted(broken[i].c_str()) + "\n";
    }
    if (auto* image = dynamic_cast<GUIImage*>(element)) {
        // (Its colour, scaling and alpha are among the attributes.)
        if (const SpriteAnimation* frames = image->getSpriteAnimation()) {
            // A playing animation moves on every frame: only a held one is written frame and all.
            out += "  frames " + textureName(frames->texture) + " cells " + std::to_string(frames->first) + " " +
                   std::to_string(frames->last) + " playing " + std::to_string(frames->playing);
            if (!frames->playing)
                out += " cell " + std::to_string(frames->getCurrentCell()) + " at " + rect(frames->getFrameRect()) +
                       " time " + number(frames->time);
            out += "\n";
        }
        out += "  image " + textureName(image->getImage()) + " tile " + std::to_string(image->getTileImage()) + " owner " + std::to_string(image->getDrawnByOwner()) +
               " effects " + std::to_string(image->getEffectCount()) + "\n";
    }
    if (auto* button = dynamic_cast<GUIButton*>(element)) {
        out += "  button state " + std::to_string(button->getState()) + " pressed " +
               std::to_string(button->isPressed()) + " focused " + std::to_string(button->isFocused()) +
               " clickable " + std::to_string(button->isClickable()) + " hover " +
               std::to_string(button->getFocusOnHover()) + " states " + std::to_string(button->usesStateImages()) +
               " user " + quoted(button->getUserText().c_str()) + "\n";
    }
    if (auto* text = dynamic_cast<GUITextButton*>(element)) {
        out += "  statecolours";
        for (s32 state = 0; state < 4; ++state)
            out += " " + colour(text->getStateColor(state));
        out += "\n";
    }
    if (auto* cycle = dynamic_cast<GUIOptionCycle*>(element))
        out += "  cycle index " + std::to_string(cycle->getIndex()) + " of " + std::to_string(cycle->getValueCount()) +
               " selected " + std::to_string(cycle->getSelectedId()) + " kind " +
               std::to_string(cycle->getOptionType()) + "\n";
    if (auto* meter = dynamic_cast<GUIOptionMeter*>(element))
        out += "  meter value " + std::to_string(meter->getValue()) + " range " + std::to_string(meter->getMin()) + " " +
               std::to_string(meter->getMax()) + " dragging " + std::to_string(meter->isDragging()) + "\n";
    if (auto* remap = dynamic_cast<GUIOptionRemap*>(element))
        out += "  remap action " + std::to_string(remap->getActionIndex()) + " capturing " + std::to_string(remap->isCapturing()) + "\n";
    if (auto* heading = dynamic_cast<GUIRemapButton*>(element))
        out += "  heading action " + std::to_string(heading->getActionIndex()) + " adding " +
               std::to_string(heading->isAddingAllowed()) + "\n";
    if (auto* scroll = dynamic_cast<GUIScrollList*>(element))
        out += "  scroll first " + std::to_string(scroll->getFirstVisible()) + " items " +
               std::to_string(scroll->getItemCount()) + " focused " + std::to_string(scroll->getFocusedIndex()) +
               " shown " + std::to_string(scroll->getVisibleCount()) + " appear " + number(scroll->getAppear()) + "\n";
    if (auto* screen = dynamic_cast<GUIScreen*>(element)) {
        std::string focus = "-";
        if (GUIButton* focused = screen->getFocusedElement())
            focus = focused->getTypeName() + std::string(" ") + std::to_string(focused->getID()) + " " +
                    quoted(focused->getText());
        out += "  screen fade " + std::to_string(screen->getFadeState()) + " input " +
               std::to_string(screen->PassInput) + " update " + std::to_string(screen->getPassUpdate()) + " timer " +
               std::to_string(screen->getKeepTimerRunning()) + " background " +
               (screen->getBackgroundTexturePath().empty() ? std::string("-")
                                                           : contentPath(screen->getBackgroundTexturePath().c_str())) +
               " focus " + focus + "\n";
    }
    if (auto* list = dynamic_cast<GUIOptionsList*>(element)) {
        std::string focusIndex = "-1";
        for (std::size_t i = 0; i < list->getItems().size(); ++i)
            if (list->getItems()[i] == list->getFocusedElement())
                focusIndex = std::to_string(i);
        out += "  list items " + std::to_string(list->getItems().size()) + " focus " + focusIndex + " panel " +
               std::to_string(list->getPanelType()) + " right " + std::to_string(list->isPanelOnRight()) + " widths " +
               std::to_string(list->getPanelWidth()) + " " + std::to_string(list->getItemWidth()) + " " +
               std::to_string(list->getItemHeight()) + " x " + std::to_string(list->getPanelX()) + " margin " +
               std::to_string(list->getMargin()) + " covered " + std::to_string(list->isCoveredByPanel()) + "\n";
        if (const scene::ISceneNode* camera = list->getMenuCamera()) {
            const core::vector3df at = camera->getPosition();
            out += "  camera " + number(at.X) + " " + number(at.Y) + " " + number(at.Z) + "\n";
        }
        out += "  items at";
        for (u32 i = 0; i < list->getItems().size(); ++i) {
            const core::position2di at = list->getItemPosition(i);
            out += " " + std::to_string(at.X) + " " + std::to_string(at.Y);
        }
        out += "\n";
    }
    if (auto* notification = dynamic_cast<GUINotification*>(element))
        out += "  notification " + notification->getNotificationName() + " file " +
               std::to_string(notification->isBuiltFromFile()) + " dismissed " +
               std::to_string(notification->isDismissed()) + " slide " + number(notification->getSlide()) + "\n";
    if (auto* subtitles = dynamic_cast<GUISubtitleManager*>(element))
        out += "  subtitles current " + std::to_string(subtitles->getCurrentId()) + " next " +
               std::to_string(subtitles->getNextId()) + " records " + std::to_string(subtitles->getRecords().size()) +
               " blackbox " + std::to_string(subtitles->isBlackBox()) + "\n";
    if (auto* objectives = dynamic_cast<GUIObjectiveCenter*>(element))
        out += "  objectives rows " + std::to_string(objectives->getRows().size()) + " visible " +
               std::to_string(objectives->countVisibleRows()) + " shown " +
               std::to_string(objectives->isShownByOwner()) + "\n";
    if (auto* hud = dynamic_cast<GUIHud*>(element))
        out += "  hud meter " + rect(hud->getMeterRect()) + " alpha " + number(hud->getAlpha()) + " splats " +
               std::to_string(hud->getSplats().size()) + "\n";

    blocks.emplace_back(path, std::move(out));
    // A screen covered by a panel above it leaves some children undrawn: they are written
    // as hidden ones are.
    auto* owner = dynamic_cast<GUIScreen*>(element);
    int index = 0;
    for (gui::IGUIElement* child : element->getChildren()) {
        const std::string childPath = path + "." + std::to_string(index++);
        if (owner && !owner->drawsChild(child))
            blocks.emplace_back(childPath, childPath + " " + child->getTypeName() + " undrawn vis " +
                                               std::to_string(child->isVisible()) + "\n");
        else
            writeElement(blocks, fonts, files, driver, child, childPath);
    }
}

std::string joined(const std::vector<Block>& blocks) {
    std::string out;
    for (const Block& block : blocks)
        out += block.second;
    return out;
}

// The answers reach the asking screen after the fade-out; the record ends with them.
struct AnswerLog {
    std::string* text;
    void hear(s32& answer) { *text += "answer " + std::to_string(answer) + "\n"; }
};

// --- the fixture ------------------------------------------------------------------------------------

class ScreenRecordTest : public screentest::ScreenInputFixture {
protected:
    void SetUp() override {
        ScreenInputFixture::SetUp();
        startInputOnOwnSettings();
        // The game's element factory, as the game registers it: layouts name its types.
        (new GUIElementFactory(environment))->drop();
        // The level's cache reads animation files with the rendering code's loader.
        levelHooks().render.loadSpriteAnimation = [](const io::path& file) -> std::shared_ptr<const SpriteAnimation> {
            auto animation = std::make_shared<SpriteAnimation>();
            return loadTextureAnimation(*animation, file) ? animation : nullptr;
        };
        StartingUp = false;
    }
    void TearDown() override {
        if (workshopInUse) {
            unmountWorkshopArchives();
            clearWorkshopLevels();
            if (keptDataHome)
                ::setenv("XDG_DATA_HOME", keptDataHome->c_str(), 1);
            else
                ::unsetenv("XDG_DATA_HOME");
        }
        physicsManager = nullptr;
        physics.reset();
        forgetMenuPreviews();
        AllLevels.clear();
        MenuLevels.clear();
        LevelTexts.clear();
        LevelLockActive = true;
        MainScreenFade = 1.0f;
        MainScreenFadeTarget = 1.0f;
        ReopenOptionsRequested = false;
        device->getSceneManager()->clear();
        // The cached animations hold textures of the device.
        clearSpriteAnimationCache();
        resetLevelHooks();
        ScreenInputFixture::TearDown();
    }

    // The window takes the size and the standing screens are made anew for it.
    void useSize(const core::dimension2du& size) {
        screenWidth = static_cast<s32>(size.Width);
        screenHeight = static_cast<s32>(size.Height);
        driver->OnResize(size);
        root()->setRelativePosition(core::recti(0, 0, screenWidth, screenHeight));
        screenManager->createScreens();
    }
    // The game's level is running behind the GUI (an empty physics manager: the input reads
    // its fixed step).
    void runLevel() {
        if (physics)
            return;
        physics = std::make_unique<PhysicsManager>();
        physicsManager = physics.get();
        coreSlots().physics.isSimulationActive = [] { return true; };
    }

    // One frame of the game: input, the screens, the GUI's drawing and post-render.
    void frame() {
        setFrameDelta(0.05f);
        inputManager->update();
        screenManager->update();
        driver->beginScene(true, true, video::SColor(0));
        screenManager->draw();
        driver->endScene();
        postRenderAll();
        inputManager->endFrame();
    }
    std::vector<Block> blocks() {
        std::vector<Block> out;
        FontSet fonts;
        int index = 0;
        for (gui::IGUIElement* child : root()->getChildren())
            writeElement(out, fonts, device->getFileSystem(), driver, child, std::to_string(index++));
        for (const auto& [key, font] : fonts)
            out.emplace_back("font " + key, fontBlock(key, font));
        return out;
    }
    std::string tree() { return joined(blocks()); }
    // No shown screen is fading in or out.
    static bool fadesEnded() {
        for (const GUIScreen* screen : GUIScreen::allScreens())
            if (screen->isVisible() && (screen->getFadeState() == GUIScreen::FadingIn ||
                                        screen->getFadeState() == GUIScreen::FadingOut))
                return false;
        return true;
    }
    // Frames until the fades have ended and the tree stands still: slides and layouts have
    // run. Bounded (in frames of the test's clock), and the bound is a fault, not a shortcut.
    void settle() {
        std::string before = tree();
        for (int i = 0; i < 100; ++i) {
            frame();
            std::string now = tree();
            if (now == before && i > 1 && fadesEnded())
                return;
            before = std::move(now);
        }
        frame();
        ADD_FAILURE() << "the GUI never came to rest" << test::describeDifferences(before, tree(), {0, 0}, 4);
    }
    // A key pressed and let go through the engine, as the player's keyboard does, then the
    // GUI left to come to rest.
    void key(EKEY_CODE code) {
        postKeyPress(code, [this] { frame(); });
        settle();
    }
    // The tree after the step: whole at the first step of a size, else only the elements
    // whose lines changed since the step before and the places that emptied.
    // The pointer's event through the engine, then the GUI left to come to rest.
    void mouse(EMOUSE_INPUT_EVENT kind, const core::position2di& at) {
        postMouse(kind, at);
        frame();
        settle();
    }
    void record(const std::string& step) {
        text += "== " + std::to_string(screenWidth) + "x" + std::to_string(screenHeight) + " " + step + "\n";
        std::vector<Block> now = blocks();
        if (step == "open") {
            text += joined(now);
        } else {
            std::map<std::string, const std::string*> before;
            for (const Block& block : previous)
                before[block.first] = &block.second;
            for (const Block& block : now) {
                auto was = before.find(block.first);
                if (was == before.end() || *was->second != block.second)
                    text += block.second;
                if (was != before.end())
                    before.erase(was);
            }
            for (const auto& gone : before)
                text += gone.first + " gone\n";
        }
        previous = std::move(now);
        recordEffects(step == "open");
    }
    // What the step asked of the game beyond the GUI: the program's requests, the level
    // manager's queued events, and each setting it changed.
    void recordEffects(bool first) {
        text += "flags restart " + std::to_string(RestartRequested) + " quit " + std::to_string(QuitRequested) +
                " reopen " + std::to_string(ReopenOptionsRequested) + " events";
        for (const std::string& event : queuedLevelEvents())
            text += " " + event;
        // The sound effects played so far, by id.
        text += "\nsounds";
        for (s32 id = 0; id < SoundManager::effectCount; ++id)
            if (!sound->getEffectName(id).empty())
                if (const s32 count = soundCount(id))
                    text += " " + std::to_string(id) + " " + std::to_string(count);
        text += "\n";
        std::map<std::string, std::string> now;
        if (io::IAttributes* values = settings->getAttributes())
            for (u32 i = 0; i < values->getAttributeCount(); ++i)
                now[values->getAttributeName(i)] = values->getAttributeAsString(i).c_str();
        if (!first)
            for (const auto& [key, value] : now) {
                const auto was = settingsBefore.find(key);
                if (was == settingsBefore.end() || was->second != value)
                    text += "setting " + key + " " + (value.empty() ? "-" : value) + "\n";
            }
        settingsBefore = std::move(now);
    }
    struct Step {
        const char* name;
        EKEY_CODE key;
    };
    // The short run of menu keys every menu gets, recorded after each: down twice, an option
    // changed left and right, a sub-screen opened (accept) and closed (back).
    // (Right twice: a value at its end stays there.)
    static inline const std::vector<Step> defaultScript = {
        {"down", KEY_DOWN},     {"down", KEY_DOWN},  {"left", KEY_LEFT}, {"right", KEY_RIGHT},
        {"right", KEY_RIGHT},   {"accept", KEY_RETURN}, {"back", KEY_ESCAPE}};
    // The level menus: the second level chosen starts it.
    static inline const std::vector<Step> levelScript = {
        {"down", KEY_DOWN}, {"left", KEY_LEFT}, {"right", KEY_RIGHT}, {"accept", KEY_RETURN}};
    // Records the screen opened by `open` with the menu script, at a window size.
    void recordMenu(const std::string& name, const core::dimension2du& size, const std::function<void()>& open,
                    const std::vector<Step>& script = defaultScript, bool wholeOpen = true) {
        useSize(size);
        open();
        settle();
        if (wholeOpen) {
            record("open");
        } else {
            // Another record has the screen as it opens: this one begins with the changes.
            text += "== open not written\n";
            previous = blocks();
            recordEffects(true);
        }
        for (const Step& step : script) {
            key(step.key);
            record(step.name);
        }
        screenManager->closeAllScreens();
        screenManager->flushScreenRemovals();
        test::expectMatchesRecord("screens/records/" + name + "_" + std::to_string(size.Width) + "x" +
                                      std::to_string(size.Height) + ".txt",
                                  text);
    }
    template <class Screen, class... Args>
    Screen* push(Args&&... args) {
        auto* screen = new Screen(std::forward<Args>(args)...);
        screenManager->pushScreen(screen);
        screen->drop();
        return screen;
    }
    // The user's data folder (and so the Workshop folder) in the test's own folder.
    void useWorkshopFolder() {
        const char* previous = std::getenv("XDG_DATA_HOME");
        keptDataHome = previous ? std::optional<std::string>(previous) : std::nullopt;
        ::setenv("XDG_DATA_HOME", dataHome.path().c_str(), 1);
        std::filesystem::create_directories(workshopFolder());
        workshopInUse = true;
    }
    void recordPlay(const core::dimension2du& size);
    void recordNotifications(const core::dimension2du& size);
    void loadCatalogue() {
        ASSERT_TRUE(level->init());
        loadLevelList();
    }

    std::unique_ptr<PhysicsManager> physics;
    std::string text;
    std::vector<Block> previous;
    std::map<std::string, std::string> settingsBefore;
    std::unique_ptr<AnswerLog> answers;
    test::TempDir dataHome;
    std::optional<std::string> keptDataHome;
    bool workshopInUse = false;
};

// --- menus ---------------------------------------------------------------------------------------

#define SCREEN_RECORD_TESTS(Name, ...)                                                                   \
    TEST_F(ScreenRecordTest, Name##At800x600) { recordMenu(#Name, small, __VA_ARGS__); }                 \
    TEST_F(ScreenRecordTest, Name##At1920x1080) { recordMenu(#Name, large, __VA_ARGS__); }

// The title screen under the main menu: from the last entry up to the options, which open
// in its place, and back.
SCREEN_RECORD_TESTS(TitleAndMainMenu, [this] {
    loadCatalogue();
    screenManager->openMainScreen(0);
}, {{"down", KEY_DOWN}, {"down", KEY_DOWN}, {"left", KEY_LEFT}, {"right", KEY_RIGHT}, {"up", KEY_UP},
    {"accept", KEY_RETURN}, {"back", KEY_ESCAPE}})

// The pointer over the main menu's first entry takes the focus; pressed on the options entry
// and let go there, it opens them.
TEST_F(ScreenRecordTest, MainMenuByThePointer) {
    for (const core::dimension2du& size : {small, large}) {
        useSize(size);
        loadCatalogue();
        screenManager->openMainScreen(0);
        settle();
        previous = blocks();
        text += "== open not written\n";
        recordEffects(true);
        auto* play = static_cast<GUIOptionsList*>(screenManager->getScreenStack().at(0));
        const core::position2di first = play->getItems().at(0)->getAbsolutePosition().getCenter();
        const core::position2di options = play->getItems().at(1)->getAbsolutePosition().getCenter();
        mouse(EMIE_MOUSE_MOVED, first);
        record("hover");
        mouse(EMIE_MOUSE_MOVED, options);
        record("hover");
        mouse(EMIE_LMOUSE_PRESSED_DOWN, options);
        record("press");
        mouse(EMIE_LMOUSE_LEFT_UP, options);
        record("release");
        screenManager->closeAllScreens();
        screenManager->flushScreenRemovals();
    }
    test::expectMatchesRecord("screens/records/MainMenuByThePointer.txt", text);
}

SCREEN_RECORD_TESTS(OptionsFromTheMainMenu, [] { openOptionsScreen(true); })

// The options' last entry asks whether to reset every setting; the answer that does it.
SCREEN_RECORD_TESTS(OptionsReset, [] { openOptionsScreen(true); },
                    {{"down", KEY_DOWN}, {"down", KEY_DOWN}, {"down", KEY_DOWN}, {"accept", KEY_RETURN},
                     {"down", KEY_DOWN}, {"accept", KEY_RETURN}, {"back", KEY_ESCAPE}}, false)

SCREEN_RECORD_TESTS(OptionsFromThePauseMenu, [this] {
    runLevel();
    openOptionsScreen(false);
})

SCREEN_RECORD_TESTS(AudioOptions, [this] {
    openOptionsScreen(true);
    push<GUIAudioOptionsScreen>(environment, true);
})

// (Its third row is a switch that moves the whole GUI: once each way.)
SCREEN_RECORD_TESTS(GraphicsOptions, [this] {
    openOptionsScreen(true);
    push<GUIGraphicsOptionsScreen>(environment, true);
}, {{"down", KEY_DOWN}, {"down", KEY_DOWN}, {"left", KEY_LEFT}, {"right", KEY_RIGHT}, {"accept", KEY_RETURN},
    {"back", KEY_ESCAPE}})

SCREEN_RECORD_TESTS(ControlOptions, [this] {
    openOptionsScreen(true);
    push<GUIControlOptionsScreen>(environment, true);
})

// The remapping screen has many rows: the two records share its opening.
#define OPEN_REMAPPING                                                                                   \
    [this] {                                                                                             \
        openOptionsScreen(true);                                                                         \
        push<GUIControlOptionsScreen>(environment, true);                                                \
        push<GUIControlsRemapScreen>(environment, true);                                                 \
    }
SCREEN_RECORD_TESTS(ControlsRemapping, OPEN_REMAPPING,
                    {{"down", KEY_DOWN}, {"down", KEY_DOWN}, {"left", KEY_LEFT}, {"right", KEY_RIGHT}})
// With a pad plugged in, the device selector (focused as the screen opens) goes through
// the devices and back.
SCREEN_RECORD_TESTS(ControlsRemappingOtherDevices, ([this] {
                        auto& pads = static_cast<platform::FakePadBackend&>(platform::padBackend());
                        pads.setConnected(0, true);
                        inputManager->getGamepad()->enumerate();
                        openOptionsScreen(true);
                        push<GUIControlOptionsScreen>(environment, true);
                        push<GUIControlsRemapScreen>(environment, true);
                    }),
                    {{"right", KEY_RIGHT}, {"right", KEY_RIGHT}, {"left", KEY_LEFT}}, false)
// A binding added under the first heading, bound to a key and deleted again.
SCREEN_RECORD_TESTS(ControlsRemappingAddAndDelete, OPEN_REMAPPING,
                    {{"down", KEY_DOWN}, {"accept", KEY_RETURN}, {"bind", KEY_KEY_Q}, {"delete", KEY_DELETE}},
                    false)
// A binding waits for its input, back ends the wait and leaves the screen.
SCREEN_RECORD_TESTS(ControlsRemappingWaitAndLeave, OPEN_REMAPPING,
                    {{"down", KEY_DOWN}, {"down", KEY_DOWN}, {"accept", KEY_RETURN}, {"back", KEY_ESCAPE},
                     {"back", KEY_ESCAPE}},
                    false)

SCREEN_RECORD_TESTS(Dialog, [this] {
    auto* dialog = push<GUIDialogScreen>(core::stringw(L"A question that runs long enough to wrap across the panel?"),
                                         std::vector<core::stringw>{L"Yes", L"No", L"Perhaps later"}, environment,
                                         false, true);
    answers = std::make_unique<AnswerLog>(AnswerLog{&text});
    bindCallback(dialog->AnswerChosen, answers.get(), &AnswerLog::hear);
})

// The save has the second level open with a time under the developers' and its tie, the
// first with a time over theirs; the third stays locked.
SCREEN_RECORD_TESTS(StoryLevelSelect, [this] {
    loadCatalogue();
    saveManager->addUnlockedLevel(L"Content/Levels/Story_Greenhouse.irr");
    saveManager->saveLevelLength(L"Content/Levels/Story_Garden.irr", 31.5f);
    saveManager->saveLevelLength(L"Content/Levels/Story_Greenhouse.irr", 20.25f);
    level->tieTable.add({8, "Content/Models/Ties/Tie_Stripes.png", L"Content/Levels/Story_Garden.irr"});
    saveManager->saveTieCollected(7);
    push<GUIStoryLevelSelectScreen>(nullptr, environment, LevelKindStory);
}, levelScript)

// Two user levels in the Workshop folder: one with its settings, one named by its archive.
// The second one's delete button asks and deletes it; the first is started.
SCREEN_RECORD_TESTS(WorkshopLevelSelect, [this] {
    loadCatalogue();
    useWorkshopFolder();
    const std::string settings =
        "<?xml version=\"1.0\"?>\n<WorkshopSettings>\n<ZipFilePath>Good.zip</ZipFilePath>\n"
        "<WorkingDirectory>Content\\Workshop\\Good\\</WorkingDirectory>\n"
        "<LevelFilePath>Content\\Workshop\\Good\\Good_Main.irr</LevelFilePath>\n"
        "<Title>A good level with a title long enough to fill its row</Title>\n</WorkshopSettings>\n";
    workshoptest::writeBytes(workshopFolder() + "Good.zip",
                             workshoptest::makeZip({{"Good/WorkshopSettings.xml", settings},
                                                    {"Good/Good_Main.irr", workshoptest::emptyLevel()}}));
    workshoptest::writeBytes(workshopFolder() + "Castle.zip",
                             workshoptest::makeZip({{"Castle/Castle_Main.irr", workshoptest::emptyLevel()}}));
    push<GUILevelSelectScreen>(environment);
}, {{"down", KEY_DOWN}, {"right", KEY_RIGHT}, {"accept", KEY_RETURN}, {"down", KEY_DOWN}, {"accept", KEY_RETURN},
    {"accept", KEY_RETURN}})

// The pause key in a running level opens the pause menu.
SCREEN_RECORD_TESTS(PauseMenu, [this] {
    runLevel();
    key(KEY_ESCAPE);
})

// --- screens without a menu -------------------------------------------------------------------------

TEST_F(ScreenRecordTest, Splash) {
    for (const core::dimension2du& size : {small, large}) {
        useSize(size);
        auto* splash = new GUISplashScreen(environment, root(), core::recti(0, 0, screenWidth, screenHeight));
        splash->drop();
        settle();
        record("open");
    }
    test::expectMatchesRecord("screens/records/Splash.txt", text);
}

// --- the game's own overlays during play ----------------------------------------------------------

// A running level with each overlay in turn: the objective panel with an open and a
// completed row, a subtitle, a notification, the pause menu over them and back, the
// checkpoint and loading billboards.
void ScreenRecordTest::recordPlay(const core::dimension2du& size) {
    useSize(size);
    runLevel();
    settle();
    record("open");
    GUIObjectiveCenter* objectives = screenManager->getObjectiveCenter();
    // A level's settings give the panel its task icons as the level loads.
    objectives->setTaskIconAnimation(GUIObjectiveCenter::defaultTaskIcons);
    objectives->setRowText(0, L"Cross the pond on the stepping stones");
    objectives->setRowOpenLook(0, 0, true);
    objectives->setRowText(1, L"Find the watering can that somebody left behind the potting shed near the gate");
    objectives->setRowOpenLook(1, 1, true);
    objectives->setRowText(2, L"Open the gate");
    objectives->setRowCompletedLook(2, 2);
    settle();
    record("objectives");
    GUISubtitleManager* subtitles = screenManager->getSubtitleManager();
    subtitles->SubtitlesOn = true;
    subtitles->playSubtitle(3);
    settle();
    record("subtitle");
    // A longer line in the black box.
    subtitles->loadSubtitleCollection("Content/Language/English/Subtitles/PhysicsDemo.xml");
    subtitles->setBlackBox(true);
    subtitles->playSubtitle(100);
    settle();
    record("boxed subtitle");
    subtitles->clear();
    subtitles->setBlackBox(false);
    screenManager->showNotification(screenManager->getNotificationByName("Grab"), 0.0f);
    settle();
    record("notification");
    key(KEY_ESCAPE);
    record("paused");
    key(KEY_ESCAPE);
    record("resumed");
    level->checkpointSaving = true;
    settle();
    record("checkpoint");
    level->checkpointSaving = false;
    level->levelLoading = true;
    settle();
    record("loading");
    level->levelLoading = false;
    settle();
    record("loaded");
    test::expectMatchesRecord("screens/records/Play_" + std::to_string(size.Width) + "x" +
                                  std::to_string(size.Height) + ".txt",
                              text);
}

TEST_F(ScreenRecordTest, PlayAt800x600) { recordPlay(small); }
TEST_F(ScreenRecordTest, PlayAt1920x1080) { recordPlay(large); }

// The notification table's entries, each built on the game's notification layout, shown
// one after another, and the layout file read by itself.
void ScreenRecordTest::recordNotifications(const core::dimension2du& size) {
    useSize(size);
    runLevel();
    settle();
    previous = blocks();
    recordEffects(true);
    // As the screen manager's start reads it.
    GUINotification::loadNotificationTable();
    std::vector<std::string> names;
    for (const auto& record : GUINotification::getTable())
        if (!record.name.empty() && std::find(names.begin(), names.end(), record.name) == names.end())
            names.push_back(record.name);
    ASSERT_FALSE(names.empty());
    for (const std::string& name : names) {
        GUINotification* notification = screenManager->getNotificationByName(name.c_str());
        screenManager->showNotification(notification, 0.0f);
        settle();
        record(name);
        // Dismissed it slides away; the level's end then takes it from the layer.
        screenManager->dismissNotification(name.c_str(), true);
        settle();
        record(name + "-dismissed");
        screenManager->resetNotifications();
        settle();
    }
    screenManager->showNotification(screenManager->getNotificationByPath(GUINotification::blankLayout), 0.0f);
    settle();
    record("layout");
    test::expectMatchesRecord("screens/records/Notifications_" + std::to_string(size.Width) + "x" +
                                  std::to_string(size.Height) + ".txt",
                              text);
}

TEST_F(ScreenRecordTest, NotificationsAt800x600) { recordNotifications(small); }
TEST_F(ScreenRecordTest, NotificationsAt1920x1080) { recordNotifications(large); }

} // namespace
