// The element base: GUIImage and GUIScreen.
#include "GuiFixture.h"

#include "core/Globals.h"
#include "gui/GUIButton.h"
#include "gui/GUIImage.h"
#include "gui/GUIScreen.h"
#include "gui/GuiCommon.h"
#include "level/LevelHooks.h"
#include "level/ResourceCaches.h"
#include "render/SpriteAnimation.h"
#include "screens/ScreenManager.h"

#include <functional>

using namespace irr;

namespace {

// Counts how often the tree draws it.
class DrawCounter : public gui::IGUIElement {
public:
    DrawCounter(gui::IGUIEnvironment* env, gui::IGUIElement* parent)
        : gui::IGUIElement(gui::EGUIET_ELEMENT, env, parent, -1, core::recti(0, 0, 10, 10)) {}
    void draw() override { ++draws; }
    int draws = 0;
};

// Counts how often it is laid out.
class LayoutCounter : public gui::IGUIElement {
public:
    LayoutCounter(gui::IGUIEnvironment* env, gui::IGUIElement* parent)
        : gui::IGUIElement(gui::EGUIET_ELEMENT, env, parent, -1, core::recti(0, 0, 10, 10)) {}
    void updateAbsolutePosition() override {
        ++layouts;
        gui::IGUIElement::updateAbsolutePosition();
    }
    int layouts = 0;
};

class CountingEffect : public GUIImageEffect {
public:
    explicit CountingEffect(int life) : life(life) {}
    void update(gui::IGUIElement*, u32) override { ++updates; }
    bool isFinished() const override { return updates >= life; }
    int life;
    int updates = 0;
};

class FinishingImage : public GUIImage {
public:
    using GUIImage::GUIImage;
    void onAnimationFinished() override { ++finished; }
    int finished = 0;
};

class HookScreen : public GUIScreen {
public:
    using GUIScreen::GUIScreen;
    void onShow() override { ++shows; }
    void onFadeInDone() override { ++fadeInDone; }
    void onFadeOutDone() override { ++fadeOutDone; }
    void onFadingIn() override { ++fadingIn; }
    int shows = 0;
    int fadeInDone = 0;
    int fadeOutDone = 0;
    int fadingIn = 0;
};

class ImageScreenTest : public guitest::GuiFixture {
protected:
    GUIImage* makeImage() {
        auto* image = new GUIImage(environment, root(), -1, core::recti(0, 0, 64, 64));
        image->drop();
        return image;
    }
    HookScreen* makeScreen() {
        auto* screen = new HookScreen(environment, root(), 11, core::recti(0, 0, 5, 5));
        screen->drop();
        return screen;
    }
    void SetUp() override {
        GuiFixture::SetUp();
        // The level's cache reads animation files with the rendering code's loader.
        levelHooks().render.loadSpriteAnimation =
            [](const io::path& file) -> std::shared_ptr<const SpriteAnimation> {
            auto animation = std::make_shared<SpriteAnimation>();
            return loadTextureAnimation(*animation, file) ? animation : nullptr;
        };
    }
    void TearDown() override {
        resetLevelHooks();
        GuiFixture::TearDown();
    }
    // Its animation of four frames, played at 10 frames a second.
    GUIImage* makeAnimatedImage() {
        GUIImage* image = makeImage();
        image->setTextureAnimPath(animationFile);
        if (SpriteAnimation* animation = image->getSpriteAnimation())
            animation->setFrameTime(0.1f);
        return image;
    }
    // Four 32 x 32 frames.
    static constexpr const char* animationFile = "Content/Screens/HUD/TaskIcons.xml";
};

TEST_F(ImageScreenTest, ImageTypeAndDefaults) {
    GUIImage* image = makeImage();
    EXPECT_EQ(static_cast<s32>(image->getType()), GuiType::Image);
    EXPECT_STREQ(image->getTypeName(), "GUIImage");
    EXPECT_EQ(image->getColor(), video::SColor(0xFFFFFFFF));
    EXPECT_TRUE(image->getTileImage());
    EXPECT_FALSE(image->isImageScaled());
    EXPECT_FALSE(image->isAlphaChannelUsed());
}

// A tiled picture repeats its texture for its own draw only: the GUI's 2D material keeps the
// wrap modes it had on every layer.
TEST_F(ImageScreenTest, DrawingATiledImageLeavesThe2DMaterialAsItWas) {
    GUIImage* image = makeImage();
    ASSERT_TRUE(image->getTileImage());
    image->setImage(driver->addTexture(core::dimension2du(8, 8), "tile"));
    video::SMaterial& material = driver->getMaterial2D();
    for (u32 layer = 0; layer < video::MATERIAL_MAX_TEXTURES; ++layer) {
        material.TextureLayer[layer].TextureWrapU = video::ETC_MIRROR;
        material.TextureLayer[layer].TextureWrapV = video::ETC_MIRROR_CLAMP;
    }
    image->draw();
    for (u32 layer = 0; layer < video::MATERIAL_MAX_TEXTURES; ++layer) {
        EXPECT_EQ(material.TextureLayer[layer].TextureWrapU, video::ETC_MIRROR) << layer;
        EXPECT_EQ(material.TextureLayer[layer].TextureWrapV, video::ETC_MIRROR_CLAMP) << layer;
    }
}

TEST_F(ImageScreenTest, ImageHoldsItsTexture) {
    auto* texture = new guitest::SizedTexture("t", 4, 4);
    GUIImage* image = makeImage();
    image->setImage(texture);
    EXPECT_EQ(texture->getReferenceCount(), 2);
    image->setImage(texture);
    EXPECT_EQ(texture->getReferenceCount(), 2);
    image->setImage(nullptr);
    EXPECT_EQ(texture->getReferenceCount(), 1);
    image->setImage(texture);
    image->remove();
    EXPECT_EQ(texture->getReferenceCount(), 1);
    texture->drop();
}

TEST_F(ImageScreenTest, FrameRateKeysOnlyWithAnAnimation) {
    GUIImage* image = makeImage();
    io::IAttributes* plain = attributes();
    image->serializeAttributes(plain);
    EXPECT_TRUE(plain->existsAttribute("TexturePath"));
    EXPECT_TRUE(plain->existsAttribute("Color"));
    EXPECT_FALSE(plain->existsAttribute("OverrideTextureFPS"));
    EXPECT_FALSE(plain->existsAttribute("TextureFPS"));

    image->setTextureAnimPath(animationFile);
    ASSERT_NE(image->getSpriteAnimation(), nullptr);
    io::IAttributes* animated = attributes();
    image->serializeAttributes(animated);
    EXPECT_TRUE(animated->existsAttribute("OverrideTextureFPS"));
    EXPECT_FALSE(animated->getAttributeAsBool("OverrideTextureFPS"));
    EXPECT_FALSE(animated->existsAttribute("TextureFPS"));
}

TEST_F(ImageScreenTest, ShortOrEmptyTexturePathKeepsTheTexture) {
    auto* texture = new guitest::SizedTexture("kept", 4, 4);
    GUIImage* image = makeImage();
    image->setImage(texture);
    for (const char* path : {"x", ""}) {
        io::IAttributes* in = attributes();
        image->serializeAttributes(in);
        in->setAttribute("TexturePath", path);
        image->deserializeAttributes(in);
        EXPECT_EQ(image->getImage(), texture) << path;
    }
    // Two characters name a picture: one that cannot be read leaves none.
    io::IAttributes* named = attributes();
    image->serializeAttributes(named);
    named->setAttribute("TexturePath", "ab");
    image->deserializeAttributes(named);
    EXPECT_EQ(image->getImage(), nullptr);
    texture->drop();
}

// The alpha and scaling switches are written under their own keys, both ways.
TEST_F(ImageScreenTest, ImageSwitchesAreWrittenUnderTheirOwnKeys) {
    for (const bool alpha : {true, false}) {
        GUIImage* image = makeImage();
        image->setUseAlphaChannel(alpha);
        image->setScaleImage(!alpha);
        io::IAttributes* out = attributes();
        image->serializeAttributes(out);
        EXPECT_EQ(out->getAttributeAsBool("UseAlphaChannel"), alpha);
        EXPECT_EQ(out->getAttributeAsBool("ScaleImage"), !alpha);
    }
}

TEST_F(ImageScreenTest, AnimationFrameRateFromTheLayout) {
    SpriteAnimation fromFile;
    ASSERT_TRUE(getSpriteAnimation(fromFile, animationFile));
    GUIImage* image = makeImage();
    io::IAttributes* in = attributes();
    image->serializeAttributes(in);
    in->setAttribute("TextureAnimPath", animationFile);
    in->addBool("OverrideTextureFPS", true);
    in->addFloat("TextureFPS", 0.0f);
    image->deserializeAttributes(in);
    ASSERT_NE(image->getSpriteAnimation(), nullptr);
    EXPECT_FLOAT_EQ(image->getSpriteAnimation()->frameTime, fromFile.frameTime) << "0 keeps the file's";

    GUIImage* other = makeImage();
    in->setAttribute("TextureFPS", 20.0f);
    other->deserializeAttributes(in);
    EXPECT_FLOAT_EQ(other->getSpriteAnimation()->frameTime, 0.05f);

    // A rate no animation plays at is refused with its line, and the file's kept.
    GUIImage* backwards = makeImage();
    in->setAttribute("TextureFPS", -1.0f);
    backwards->deserializeAttributes(in);
    EXPECT_FLOAT_EQ(backwards->getSpriteAnimation()->frameTime, fromFile.frameTime);
    EXPECT_TRUE(log.contains("TextureFPS -1 refused; it keeps its own frame time"));
}

TEST_F(ImageScreenTest, SameAnimationPathIsNotLoadedAgain) {
    GUIImage* image = makeAnimatedImage();
    ASSERT_NE(image->getSpriteAnimation(), nullptr);
    image->getSpriteAnimation()->time = 0.25f;
    image->setTextureAnimPath(animationFile);
    // A new copy would start again from 0 at the file's frame rate.
    EXPECT_FLOAT_EQ(image->getSpriteAnimation()->time, 0.25f);
    EXPECT_FLOAT_EQ(image->getSpriteAnimation()->frameTime, 0.1f);
}

TEST_F(ImageScreenTest, OwnerDrawnImageReportsHiddenYetDrawsForItsOwner) {
    GUIImage* image = makeImage();
    auto* child = new DrawCounter(environment, image);
    child->drop();
    image->setDrawnByOwner(true);
    image->setVisible(true);
    image->draw();
    EXPECT_FALSE(image->isVisible());
    EXPECT_EQ(child->draws, 1);
    image->draw();
    EXPECT_EQ(child->draws, 2);
    EXPECT_FALSE(image->isVisible());
    image->setVisible(false);
    image->draw();
    EXPECT_EQ(child->draws, 2);
}

TEST_F(ImageScreenTest, AnimationStepCanBeClamped) {
    GUIImage* image = makeAnimatedImage();
    ASSERT_NE(image->getSpriteAnimation(), nullptr);
    image->setClampAnimationStep(true);
    setFrameDelta(0.5f);
    image->OnPostRender(0);
    EXPECT_NEAR(image->getSpriteAnimation()->time, frameTargetInterval, 1e-6f);
    image->setClampAnimationStep(false);
    image->OnPostRender(0);
    EXPECT_NEAR(image->getSpriteAnimation()->time, frameTargetInterval + 0.1f, 1e-5f); // looped at 0.4
}

TEST_F(ImageScreenTest, FinishedAnimationReachesTheOverride) {
    auto* image = new FinishingImage(environment, root(), -1, core::recti(0, 0, 8, 8));
    image->drop();
    image->setTextureAnimPath(animationFile);
    ASSERT_NE(image->getSpriteAnimation(), nullptr);
    image->getSpriteAnimation()->setFrameTime(0.1f);
    setFrameDelta(0.3f);
    image->OnPostRender(0);
    EXPECT_EQ(image->finished, 0);
    image->OnPostRender(0);
    EXPECT_EQ(image->finished, 1);
}

TEST_F(ImageScreenTest, FinishedEffectsAreReleased) {
    GUIImage* image = makeImage();
    auto* shortEffect = new CountingEffect(1);
    auto* longEffect = new CountingEffect(3);
    image->addEffect(shortEffect);
    image->addEffect(longEffect);
    image->OnPostRender(0);
    EXPECT_EQ(image->getEffectCount(), 1u);
    EXPECT_EQ(shortEffect->getReferenceCount(), 1);
    image->setVisible(false);
    image->OnPostRender(0);
    EXPECT_EQ(longEffect->updates, 1);
    image->setVisible(true);
    image->OnPostRender(0);
    image->OnPostRender(0);
    EXPECT_EQ(image->getEffectCount(), 0u);
    shortEffect->drop();
    longEffect->drop();
}

TEST_F(ImageScreenTest, BackgroundFitsTheLongerAxis) {
    // 16:9 counts as fitting the height.
    EXPECT_EQ(GUIScreen::backgroundRect(core::dimension2du(1024, 768), 1280, 720), core::recti(160, 0, 1120, 720));
    EXPECT_EQ(GUIScreen::backgroundRect(core::dimension2du(1280, 720), 1280, 720), core::recti(0, 0, 1280, 720));
    EXPECT_EQ(GUIScreen::backgroundRect(core::dimension2du(1280, 720), 1920, 800), core::recti(0, -140, 1920, 940));
    EXPECT_EQ(GUIScreen::backgroundRect(core::dimension2du(1920, 800), 1920, 800), core::recti(0, 0, 1920, 800));
    // A picture without a side, or a screen without height, fills the screen as it is.
    EXPECT_EQ(GUIScreen::backgroundRect(core::dimension2du(0, 768), 1280, 720), core::recti(0, 0, 1280, 720));
    EXPECT_EQ(GUIScreen::backgroundRect(core::dimension2du(1024, 0), 1280, 720), core::recti(0, 0, 1280, 720));
    EXPECT_EQ(GUIScreen::backgroundRect(core::dimension2du(1024, 768), 1280, 0), core::recti(0, 0, 1280, 0));
}

TEST_F(ImageScreenTest, ScreenCoversTheScreen) {
    screenWidth = 1024;
    screenHeight = 576;
    HookScreen* screen = makeScreen();
    EXPECT_EQ(screen->getRelativePosition(), core::recti(0, 0, 1024, 576));
    EXPECT_EQ(static_cast<s32>(screen->getType()), GuiType::Screen);
    EXPECT_STREQ(screen->getTypeName(), "GUIScreen");
    EXPECT_EQ(screen->getFadeState(), GUIScreen::Shown);
}

// A steady frame lays nothing out: a screen lays itself out while visible, and only when
// the area it covers or its focus changed since its last layout.
TEST_F(ImageScreenTest, ScreenLaysItselfOutOnlyWhenVisibleAndSomethingChanged) {
    screenWidth = 640;
    screenHeight = 360;
    auto* area = new gui::IGUIElement(gui::EGUIET_ELEMENT, environment, root(), -1, core::recti(0, 0, 640, 360));
    area->drop();
    auto* screen = new HookScreen(environment, area, 11, core::recti(0, 0, 5, 5));
    screen->drop();
    auto* element = new LayoutCounter(environment, screen);
    element->drop();
    const struct {
        const char* step;
        std::function<void()> before;
        int layouts; // of the element in the post-render
    } steps[] = {
        {"the first frame", [] {}, 1},
        {"a steady frame", [] {}, 0},
        {"hidden, its area changed", [&] {
             screen->setVisible(false);
             area->setRelativePosition(core::recti(0, 0, 800, 450));
         }, 0},
        {"shown again", [&] { screen->setVisible(true); }, 1},
        {"a steady frame again", [] {}, 0},
        {"the focus set", [&] { screen->setFocusedElement(nullptr); }, 1},
    };
    for (const auto& s : steps) {
        s.before();
        const int before = element->layouts;
        screen->OnPostRender(0);
        EXPECT_EQ(element->layouts - before, s.layouts) << s.step;
    }
    EXPECT_EQ(element->getAbsolutePosition().getWidth(), 10);
    EXPECT_EQ(screen->getAbsolutePosition(), core::recti(0, 0, 800, 450)) << "the screen follows its area";
}

TEST_F(ImageScreenTest, FadeRunsItsHooksOneFrameAfterTheEnd) {
    HookScreen* screen = makeScreen();
    screen->startFadeIn(0.2f);
    setFrameDelta(0.05f);
    screen->OnPostRender(0);
    EXPECT_EQ(screen->getFadeState(), GUIScreen::FadingIn);
    // Smoothstep at t = 0.25.
    EXPECT_NEAR(screen->getFadeInTween().value, 3 * 0.0625f - 2 * 0.015625f, 1e-5f);
    for (int i = 0; i < 3; ++i)
        screen->OnPostRender(0);
    EXPECT_FLOAT_EQ(screen->getFadeInTween().value, 1.0f);
    EXPECT_EQ(screen->getFadeState(), GUIScreen::FadingIn);
    EXPECT_EQ(screen->fadeInDone, 0);
    screen->OnPostRender(0);
    EXPECT_EQ(screen->getFadeState(), GUIScreen::Shown);
    EXPECT_EQ(screen->fadeInDone, 1);
    EXPECT_EQ(screen->fadingIn, 5);
    screen->OnPostRender(0);
    EXPECT_EQ(screen->fadeInDone, 1);
}

TEST_F(ImageScreenTest, LongFramesAdvanceAFadeByAtMostTheLimit) {
    HookScreen* screen = makeScreen();
    screen->startFadeOut(1.0f);
    setFrameDelta(0.2f);
    screen->OnPostRender(0);
    EXPECT_NEAR(screen->getFadeOutTween().elapsed, 0.066f, 1e-6f);
    EXPECT_EQ(screen->getFadeState(), GUIScreen::FadingOut);
}

TEST_F(ImageScreenTest, ZeroLengthFadeEndsAtTheNextFrame) {
    HookScreen* screen = makeScreen();
    screen->startFadeIn(0.0f);
    screen->OnPostRender(0);
    EXPECT_EQ(screen->getFadeState(), GUIScreen::Shown);
    EXPECT_EQ(screen->fadeInDone, 1);
    screen->startFadeOut(0.0f);
    screen->OnPostRender(0);
    EXPECT_EQ(screen->getFadeState(), GUIScreen::FadedOut);
    EXPECT_EQ(screen->fadeOutDone, 1);
}

TEST_F(ImageScreenTest, ShowHookRunsOnceAtTheFirstFrame) {
    HookScreen* screen = makeScreen();
    HookScreen* never = makeScreen();
    screen->OnPostRender(0);
    screen->OnPostRender(0);
    EXPECT_EQ(screen->shows, 1);
    EXPECT_EQ(never->shows, 0);
}

TEST_F(ImageScreenTest, ScreensAreKeptInOneListAndFoundFromTheirElements) {
    const std::size_t before = GUIScreen::allScreens().size();
    HookScreen* screen = makeScreen();
    auto* button = new GUIButton(environment, screen, -1, core::recti(0, 0, 10, 10));
    button->drop();
    auto* inner = new GUIImage(environment, button, -1, core::recti(0, 0, 5, 5));
    inner->drop();
    EXPECT_EQ(GUIScreen::allScreens().size(), before + 1);
    EXPECT_EQ(GUIScreen::findOwningScreen(inner), screen);
    EXPECT_EQ(GUIScreen::findOwningScreen(screen), screen);
    EXPECT_EQ(GUIScreen::findOwningScreen(root()), nullptr);
    screen->remove();
    EXPECT_EQ(GUIScreen::allScreens().size(), before);
}

TEST_F(ImageScreenTest, FocusingTheFocusedElementAgain) {
    HookScreen* screen = makeScreen();
    auto* a = new GUIButton(environment, screen, -1, core::recti(0, 0, 10, 10));
    auto* b = new GUIButton(environment, screen, -1, core::recti(0, 10, 10, 20));
    a->drop();
    b->drop();
    int unfocused = 0;
    struct Counter {
        int* count;
        void hit() { ++*count; }
    } counter{&unfocused};
    a->OnUnfocus.addMember(&counter, &Counter::hit);
    screenManager->pushScreen(screen);
    screen->setFocusedElement(a);
    EXPECT_EQ(a->getState(), ButtonState::Focused);
    screen->setFocusedElement(a);
    EXPECT_EQ(unfocused, 0);
    EXPECT_EQ(a->getFocusTarget(), nullptr);
    screen->setFocusedElement(b);
    EXPECT_EQ(unfocused, 1);
    EXPECT_EQ(b->getFocusTarget(), a);
    EXPECT_EQ(a->getState(), ButtonState::Normal);
}

TEST_F(ImageScreenTest, BackgroundPathFromTheLayout) {
    HookScreen* screen = makeScreen();
    screen->setBackgroundTexture("Content/Missing.png");
    io::IAttributes* out = attributes();
    screen->serializeAttributes(out);
    EXPECT_STREQ(out->getAttributeAsString("BackgroundTexturePath").c_str(), "Content/Missing.png");
    out->setAttribute("BackgroundTexturePath", "y");
    screen->deserializeAttributes(out);
    EXPECT_STREQ(screen->getBackgroundTexturePath().c_str(), "y");
    EXPECT_EQ(screen->getBackgroundTexture(), nullptr);
    // A path too short to name a file takes a shown picture away.
    screen->setBackgroundTexture("Content/Screens/Objects/Cursor.png");
    ASSERT_NE(screen->getBackgroundTexture(), nullptr);
    screen->setBackgroundTexture("y");
    EXPECT_EQ(screen->getBackgroundTexture(), nullptr);
}

} // namespace
