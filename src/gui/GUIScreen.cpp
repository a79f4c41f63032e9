#include "gui/GUIScreen.h"

#include "core/Globals.h"
#include "core/Stopwatch.h"
#include "gui/GUIButton.h"
#include "gui/GuiAttributes.h"
#include "gui/GuiCommon.h"

#include <IAttributes.h>
#include <IGUIEnvironment.h>
#include <ITexture.h>
#include <IVideoDriver.h>

#include <algorithm>

using namespace irr;

namespace {

std::vector<GUIScreen*>& screenList() {
    static std::vector<GUIScreen*> screens;
    return screens;
}

// A fade never jumps by more than this in one frame.
constexpr f32 maxFadeStep = 0.066f;

} // namespace

GUIScreen::GUIScreen(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, s32 id,
                     const core::rect<s32>& rectangle)
    : gui::IGUIElement(toElementType(GuiType::Screen), environment, parent, id, rectangle) {
    screenList().push_back(this);
    const core::recti full(0, 0, screenWidth, screenHeight);
    RelativeRect = full;
    DesiredRect = full;
    setAlignment(gui::EGUIA_SCALE, gui::EGUIA_SCALE, gui::EGUIA_SCALE, gui::EGUIA_SCALE);
    updateAbsolutePosition();
}

GUIScreen::~GUIScreen() {
    auto& screens = screenList();
    auto found = std::find(screens.begin(), screens.end(), this);
    if (found != screens.end())
        screens.erase(found);
}

const std::vector<GUIScreen*>& GUIScreen::allScreens() { return screenList(); }

GUIScreen* GUIScreen::findOwningScreen(const gui::IGUIElement* element) {
    const auto& screens = screenList();
    for (const gui::IGUIElement* at = element; at; at = at->getParent()) {
        auto found = std::find(screens.begin(), screens.end(), at);
        if (found != screens.end())
            return *found;
    }
    return nullptr;
}

void GUIScreen::setBackgroundTexture(const core::stringc& path) {
    BackgroundTexturePath = path;
    if (path.size() < 2)
        BackgroundTexture = nullptr;
    else
        BackgroundTexture = Environment->getVideoDriver()->getTexture(io::path(path.c_str()));
}

void GUIScreen::setFocusedElement(GUIButton* element) {
    LayoutPending = true;
    GUIButton* previous = FocusedElement;
    if (element == previous)
        previous = nullptr;
    else if (previous)
        previous->unfocus();
    FocusedElement = element;
    if (element) {
        element->setFocusTarget(previous);
        element->focus();
    }
}

void GUIScreen::startFade(FloatTween& tween, f32 seconds, FadeStates state) {
    tween.start = 0.0f;
    tween.end = 1.0f;
    tween.duration = seconds;
    tween.elapsed = 0.0f;
    tween.value = seconds > 0.0f ? 0.0f : 1.0f;
    tween.kind = FloatTween::Smoothstep;
    FadeState = state;
}

void GUIScreen::startFadeIn(f32 seconds) { startFade(FadeInTween, seconds, FadingIn); }

void GUIScreen::startFadeOut(f32 seconds) { startFade(FadeOutTween, seconds, FadingOut); }

void GUIScreen::advanceFade(FloatTween& tween, FadeStates doneState, void (GUIScreen::*done)(),
                            void (GUIScreen::*perFrame)()) {
    if (tween.value == tween.end) {
        // The state changes first, so that a done hook may start the next fade.
        FadeState = doneState;
        (this->*done)();
    }
    const f32 delta = frameStopwatch ? frameStopwatch->delta() : 0.0f;
    tween.update(std::clamp(delta, 0.0f, maxFadeStep));
    (this->*perFrame)();
}

void GUIScreen::OnPostRender(u32 timeMs) {
    if (ShowPending) {
        onShow();
        ShowPending = false;
    }
    layOutIfChanged();
    if (FadeState == FadingIn)
        advanceFade(FadeInTween, Shown, &GUIScreen::onFadeInDone, &GUIScreen::onFadingIn);
    else if (FadeState == FadingOut)
        advanceFade(FadeOutTween, FadedOut, &GUIScreen::onFadeOutDone, &GUIScreen::onFadingOut);
    if (isVisible())
        for (gui::IGUIElement* child : Children)
            child->OnPostRender(timeMs);
}

bool GUIScreen::layOutIfChanged() {
    if (!IsVisible)
        return false;
    const core::recti area = Parent ? Parent->getAbsolutePosition() : core::recti(0, 0, screenWidth, screenHeight);
    const core::dimension2di size(screenWidth, screenHeight);
    if (!LayoutPending && area == LaidOutArea && size == LaidOutSize)
        return false;
    LayoutPending = false;
    LaidOutArea = area;
    LaidOutSize = size;
    updateAbsolutePosition();
    return true;
}

core::recti GUIScreen::backgroundRect(const core::dimension2du& pictureSize, s32 width, s32 height) {
    const f32 w = static_cast<f32>(pictureSize.Width);
    const f32 h = static_cast<f32>(pictureSize.Height);
    const f32 W = static_cast<f32>(width);
    const f32 H = static_cast<f32>(height);
    if (w <= 0.0f || h <= 0.0f || H <= 0.0f)
        return core::recti(0, 0, width, height);
    if (W / H > 1.7777778f) {
        const s32 k = static_cast<s32>((h * W / w - H) * 0.5f);
        return core::recti(0, -k, width, height + k);
    }
    const s32 k = static_cast<s32>((w * H / h - W) * 0.5f);
    return core::recti(-k, 0, width + k, height);
}

void GUIScreen::draw() {
    if (!IsVisible)
        return;
    if (BackgroundTexture) {
        const core::dimension2du size = BackgroundTexture->getOriginalSize();
        if (size.Width > 0 && size.Height > 0) {
            const core::recti source(0, 0, static_cast<s32>(size.Width), static_cast<s32>(size.Height));
            Environment->getVideoDriver()->draw2DImage(BackgroundTexture,
                                                       backgroundRect(size, screenWidth, screenHeight),
                                                       source, nullptr, nullptr, true);
        }
    }
    if (isVisible())
        for (gui::IGUIElement* child : Children)
            if (drawsChild(child))
                child->draw();
}

void GUIScreen::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    gui::IGUIElement::serializeAttributes(out, options);
    out->addString("BackgroundTexturePath", BackgroundTexturePath.c_str());
}

void GUIScreen::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    readElementAttributes(this, in, options);
    core::stringc path = BackgroundTexturePath;
    if (in->existsAttribute("BackgroundTexturePath"))
        path = in->getAttributeAsString("BackgroundTexturePath");
    setBackgroundTexture(path);
}
