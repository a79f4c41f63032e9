#include "gui/hud/GUINotification.h"

#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/Log.h"
#include "core/RepeatedLog.h"
#include "core/ProgramQueries.h"
#include "core/Stopwatch.h"
#include "core/Utf8.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIImage.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/GuiLayout.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"
#include "level/ContentXml.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/devices/GamepadDevice.h"
#include "player/devices/JoystickDevice.h"
#include "player/devices/KeyboardDevice.h"
#include "player/devices/MouseDevice.h"
#include "player/devices/TouchDevice.h"
#include "render/SpriteAnimation.h"

#include <IGUIEnvironment.h>
#include <IFileSystem.h>
#include <IrrlichtDevice.h>
#include <ITexture.h>

#include <algorithm>
#include <cmath>

using namespace irr;

namespace {

constexpr s32 soundNotificationIn = 28;
constexpr s32 soundNotificationOut = 29;

std::vector<NotificationRecord>& notificationTable() {
    static std::vector<NotificationRecord> table;
    return table;
}

std::string narrowText(const std::wstring& text) { return std::string(core::stringc(text.c_str()).c_str()); }

// Pixels of a length in units of a 720-line screen: trunc(value x k + 0.5).
s32 notificationUnits(f32 value) {
    const f32 k = static_cast<f32>(screenHeight) / referenceHeight;
    return static_cast<s32>(value * k + 0.5f);
}

bool textureNameContains(gui::IGUIElement* element, const char* part) {
    if (static_cast<s32>(element->getType()) != GuiType::Image)
        return false;
    video::ITexture* texture = static_cast<GUIImage*>(element)->getImage();
    return texture && core::stringc(texture->getName().getPath().c_str()).find(part) >= 0;
}

gui::IGUIFont* notificationFont(const std::string& file, s32 sizeUnits) {
    if (file.empty())
        return nullptr;
    return getCachedFont(io::path(file.c_str()), notificationUnits(static_cast<f32>(sizeUnits)));
}

// The layout's child of that id when it is of the type (a layout may hold anything).
template <class T>
T* layoutChild(gui::IGUIElement* root, s32 id, s32 type) {
    gui::IGUIElement* element = root->getElementFromId(id, true);
    return element && static_cast<s32>(element->getType()) == type ? static_cast<T*>(element) : nullptr;
}

} // namespace

// --- the table ---------------------------------------------------------------------------------------

const std::vector<NotificationRecord>& GUINotification::getTable() { return notificationTable(); }

void GUINotification::loadNotificationTable() {
    std::vector<NotificationRecord>& table = notificationTable();
    table.clear();
    table.emplace_back();
    if (!gameDevice)
        return;
    const io::path path = languageManager ? languageManager->getLocalizedPath(tablePath) : io::path(tablePath);
    int clamped = 0;
    const auto boundSize = [&clamped](s32& size) {
        if (size > LanguageManager::maxFontSize) {
            size = LanguageManager::maxFontSize;
            ++clamped;
        }
    };
    const auto boundText = [&clamped](core::stringw& text) { clamped += cutTableText(text) ? 1 : 0; };
    readContentXml(gameDevice->getFileSystem(), path.c_str(), L"Notifications", [&](const ContentElement& element) {
        if (element.name != L"Notification")
            return;
        NotificationRecord record;
        record.name = narrowText(element.text(L"name"));
        record.device = narrowText(element.text(L"device"));
        record.title = element.text(L"title").c_str();
        record.text = element.text(L"text").c_str();
        record.titleFont = narrowText(element.text(L"titleFont"));
        record.textFont = narrowText(element.text(L"textFont"));
        element.integer(L"titleFontSize", record.titleFontSize);
        element.integer(L"textFontSize", record.textFontSize);
        boundSize(record.titleFontSize);
        boundSize(record.textFontSize);
        boundText(record.title);
        boundText(record.text);
        record.textureAnimPath = element.text(L"textureAnimPath").c_str();
        element.integer(L"textureFPS", record.textureFPS);
        element.integer(L"scheme", record.scheme);
        s32 x = 0, y = 0, width = 0, height = 0;
        element.integer(L"x", x);
        element.integer(L"y", y);
        element.integer(L"width", width);
        element.integer(L"height", height);
        record.picture = core::recti(x, y, x + width, y + height);
        table.push_back(std::move(record));
    });
    if (clamped)
        logMessagef("Warning: Clamped %d values (font sizes to %d, texts to %u characters) in %s", clamped,
                    LanguageManager::maxFontSize, LanguageManager::maxTextLength, path.c_str());
}

void GUINotification::currentDevice(std::string& device, s32& scheme) {
    device = "Mouse";
    scheme = 0;
    if (!inputManager)
        return;
    // The player list is never filled here: the default controls stand for the player.
    PlayerControls* controls = inputManager->getDefaultControls();
    if (!controls)
        return;
    const InputDevice* last = controls->lastDevice;
    const InputDevice* mapping = inputManager->getMouse();
    if (last && last == inputManager->getGamepad()) {
        device = "Gamepad";
        mapping = last;
    } else if (last && last == inputManager->getJoystick()) {
        device = "Joystick";
        mapping = last;
    } else if (InputDevice* touch = inputManager->getTouch();
               touch && (last == touch || ((last == inputManager->getKeyboard() || last == inputManager->getMouse()) &&
                                           controls->touchMode))) {
        device = touch->usesModeSwitching() ? "MultitouchSwitchModes" : "Multitouch";
        mapping = touch;
    }
    scheme = controls->getDeviceScheme(mapping);
}

const NotificationRecord& GUINotification::findNotification(const char* name) {
    std::string device;
    s32 scheme = 0;
    currentDevice(device, scheme);
    return findNotification(name, device, scheme);
}

const NotificationRecord& GUINotification::findNotification(const char* name, const std::string& device, s32 scheme) {
    if (notificationTable().empty())
        loadNotificationTable();
    const std::vector<NotificationRecord>& table = notificationTable();
    const std::string key = name ? name : "";
    const auto first = [&](auto&& matches) -> const NotificationRecord* {
        const auto found = std::find_if(table.begin() + 1, table.end(), matches);
        return found != table.end() ? &*found : nullptr;
    };
    if (const auto* r = first([&](const NotificationRecord& n) { return n.name == key && n.device == device && n.scheme == scheme; }))
        return *r;
    if (const auto* r = first([&](const NotificationRecord& n) { return n.name == key && n.device == device; }))
        return *r;
    if (const auto* r = first([&](const NotificationRecord& n) { return n.name == key; }))
        return *r;
    return table.front();
}

// --- the element -----------------------------------------------------------------------------------

GUINotification::GUINotification(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, s32 id)
    : GUISubElement(environment, parent, core::recti(0, 0, 100, 100)) {
    Type = toElementType(GuiType::Notification);
    setID(id);
    if (languageManager)
        bindCallback(languageManager->languageChanged, this, &GUINotification::onInputChanged);
    if (inputManager)
        bindCallback(inputManager->deviceChanged, this, &GUINotification::onInputChanged);
}

GUINotification::~GUINotification() {
    if (languageManager)
        unbindCallback(languageManager->languageChanged, this, &GUINotification::onInputChanged);
    if (inputManager)
        unbindCallback(inputManager->deviceChanged, this, &GUINotification::onInputChanged);
}

void GUINotification::loadGUIFile(const core::stringc& path) {
    if (path.size() < 2)
        return;
    setGUIPath(path);
    BuiltFromFile = true;
    while (!Children.empty())
        removeChild(*Children.begin());
    loadGuiLayout(Environment, io::path(path.c_str()), this);

    bool hasPanel = false;
    for (gui::IGUIElement* child : Children)
        hasPanel = hasPanel || textureNameContains(child, "NotificationPanel.png");
    if (ContentSize.Width == 0 && ContentSize.Height == 0) {
        core::dimension2di size = measureLayout();
        if (hasPanel)
            size = core::dimension2di(notificationUnits(static_cast<f32>(size.Width)),
                                      notificationUnits(static_cast<f32>(size.Height)));
        ContentSize = size;
    } else {
        measureLayout();
    }
    const core::position2di corner = RelativeRect.UpperLeftCorner;
    core::recti own(corner, core::dimension2di(ContentSize.Width, ContentSize.Height));

    const s32 widen = static_cast<s32>(0.1f * static_cast<f32>(screenWidth));
    for (gui::IGUIElement* child : Children) {
        const bool panel = textureNameContains(child, "NotificationPanel.png");
        if (!panel && !textureNameContains(child, "NotificationColor.png"))
            continue;
        core::recti rect = child->getRelativePosition();
        rect.UpperLeftCorner.X -= widen;
        if (panel) {
            rect.LowerRightCorner.Y = screenHeight - own.UpperLeftCorner.Y;
            static_cast<GUIImage*>(child)->setScaleImage(true);
        }
        child->setRelativePosition(rect);
        child->setNotClipped(true);
    }
    if (hasPanel)
        own.LowerRightCorner.Y = screenHeight;
    setRelativePosition(own);
    // Shown without restarting its timing.
    IsVisible = true;
}

void GUINotification::setNotification(const char* name) {
    loadGUIFile(blankLayout);
    BuiltFromFile = false;
    Name = name ? name : "";
    const NotificationRecord& record = findNotification(name);
    const f32 k = static_cast<f32>(screenHeight) / referenceHeight;

    s32 growth = 0;
    s32 contentBottom = 0;
    if (auto* title = layoutChild<GUIFreeTypeText>(this, titleId, GuiType::FreeTypeText)) {
        title->setTextAlignment(gui::EGUIA_UPPERLEFT, gui::EGUIA_LOWERRIGHT);
        if (gui::IGUIFont* font = notificationFont(record.titleFont, record.titleFontSize))
            title->setOverrideFont(font);
        title->setText(record.title.c_str());
        const core::recti layout = title->getRelativePosition();
        const s32 scaled = static_cast<s32>(static_cast<f32>(layout.getHeight()) * k);
        const s32 height = std::max(layout.getHeight(), scaled);
        growth = height - layout.getHeight();
        title->setRelativePosition(core::recti(layout.UpperLeftCorner.X, layout.UpperLeftCorner.Y,
                                               layout.UpperLeftCorner.X + notificationUnits(280),
                                               layout.UpperLeftCorner.Y + height));
        title->setNotClipped(true);
        title->setWordWrap(true);
    }
    if (auto* body = layoutChild<GUIFreeTypeText>(this, textId, GuiType::FreeTypeText)) {
        if (gui::IGUIFont* font = notificationFont(record.textFont, record.textFontSize))
            body->setOverrideFont(font);
        body->setText(record.text.c_str());
        core::recti rect = body->getRelativePosition() + core::position2di(0, growth);
        rect.LowerRightCorner.X = rect.UpperLeftCorner.X + notificationUnits(280);
        body->setRelativePosition(rect);
        body->setNotClipped(true);
        body->setWordWrap(true);
        rect.LowerRightCorner.Y = rect.UpperLeftCorner.Y + body->getTextHeight();
        body->setRelativePosition(rect);
        contentBottom = rect.LowerRightCorner.Y + notificationUnits(8);
    }
    if (auto* picture = layoutChild<GUIImage>(this, pictureId, GuiType::Image)) {
        picture->setTextureAnimPath(core::stringc(record.textureAnimPath.c_str()));
        // Without a frame rate the picture shows its first frame.
        if (record.textureFPS > 0 && picture->getSpriteAnimation())
            picture->getSpriteAnimation()->setFramesPerSecond(static_cast<f32>(record.textureFPS),
                                                              toUtf8(record.textureAnimPath.c_str()).c_str(),
                                                              "textureFPS");
        const s32 left = record.picture.UpperLeftCorner.X + notificationUnits(25);
        const s32 top = contentBottom + record.picture.UpperLeftCorner.Y;
        picture->setRelativePosition(core::recti(left, top, left + static_cast<s32>(static_cast<f32>(record.picture.getWidth()) * k),
                                                 top + static_cast<s32>(static_cast<f32>(record.picture.getHeight()) * k)));
    }
    if (gui::IGUIElement* decoration = getElementFromId(decorationId, true)) {
        const core::recti layout = decoration->getRelativePosition();
        decoration->setRelativePosition(core::recti(layout.UpperLeftCorner.X, layout.UpperLeftCorner.Y + growth,
                                                    static_cast<s32>(static_cast<f32>(layout.LowerRightCorner.X) * k),
                                                    contentBottom));
    }
    if (gui::IGUIElement* frame = getElementFromId(frameId, true)) {
        core::recti layout = frame->getRelativePosition();
        layout.LowerRightCorner.X = static_cast<s32>(static_cast<f32>(layout.LowerRightCorner.X) * k);
        frame->setRelativePosition(layout);
    }
    updateAbsolutePosition();
}

void GUINotification::rebuild() {
    const CGUITTFont::LevelText levelText(LevelsOwn);
    if (BuiltFromFile)
        loadGUIFile(getGUIPath());
    else
        setNotification(Name.c_str());
}

void GUINotification::onInputChanged() {
    rebuild();
    if (isQueueHead())
        rebuild();
}

bool GUINotification::isQueueHead() const {
    return askHook(guiHooks().screens.notificationQueueHead, nullptr) == this;
}

void GUINotification::setDuration(f32 seconds) {
    if (Elapsed < 0.0f)
        Elapsed = 0.0f;
    if (seconds > 0.0f && seconds < minimumDuration) {
        Duration = minimumDuration;
        logRepeatable("ERROR: Notification duration less than minimum, setting to 3.");
        return;
    }
    Duration = seconds;
}

void GUINotification::setVisible(bool visible) {
    IsVisible = visible;
    if (!visible) {
        Duration = -1.0f;
        Elapsed = 0.0f;
    }
}

void GUINotification::dismiss(bool immediately) {
    if (Dismissed)
        return;
    if (Elapsed == 0.0f) {
        Duration = 100.0f;
        Elapsed = 101.0f;
    } else if ((Elapsed < Duration && Duration >= 0.0f) || Duration == 0.0f) {
        // A notification shown until dismissed counts as running (it would never end else).
        if (immediately) {
            Duration = 1.0f;
            Elapsed = 1.0f;
        } else if (Elapsed >= minimumDuration) {
            Elapsed = 10.0f;
            Duration = 11.0f;
        } else {
            Duration = 4.0f;
        }
    }
    Dismissed = true;
}

void GUINotification::draw() {
    const CGUITTFont::LevelText levelText(LevelsOwn);
    GUISubElement::draw();
}

void GUINotification::OnPostRender(u32 timeMs) {
    const CGUITTFont::LevelText levelText(LevelsOwn);
    const bool running = isSimulationActive() && askHook(guiHooks().screens.isInputAllowed, true);
    if (running)
        IsVisible = Duration >= 0.0f;
    if (!isQueueHead())
        return;
    if (running) {
        if (Elapsed == 0.0f)
            playSoundEffect(soundNotificationIn);
        const f32 before = Elapsed;
        Elapsed += frameStopwatch ? frameStopwatch->delta() : 0.0f;
        if (before <= Duration - 1.0f && Elapsed > Duration - 1.0f)
            playSoundEffect(soundNotificationOut);
        f32 t = 1.0f;
        if (Duration == 0.0f) {
            if (Elapsed < 1.0f)
                t = Elapsed;
        } else if (Elapsed < 1.0f) {
            t = Elapsed;
        } else if (Elapsed >= Duration) {
            t = 0.0f;
        } else if (Elapsed > Duration - 1.0f) {
            t = Duration - Elapsed;
        }
        t = std::clamp(t, 0.0f, 1.0f);
        Slide = 3.0f * t * t - 2.0f * t * t * t;
    }
    const f32 start = static_cast<f32>(-RelativeRect.getWidth());
    const f32 end = static_cast<f32>(askHook(guiHooks().screens.overscanMargin, core::position2di(0, 0)).X);
    const s32 x = static_cast<s32>((end - start) * Slide + start);
    const core::dimension2di size = RelativeRect.getSize();
    setRelativePosition(core::recti(core::position2di(x, 0), size));
    if (running)
        for (gui::IGUIElement* child : Children)
            child->OnPostRender(timeMs);
}
