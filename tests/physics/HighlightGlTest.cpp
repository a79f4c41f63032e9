// The highlight pass on the OpenGL driver under Xvfb: a gold ball and a ball in its
// suspicion flash get a glowing, enlarged copy in their highlight colour drawn over them; a
// plain ball gets none. The pictures stay in the folder the test starts in
// (shot-highlight-*.png).
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "level/MeshGate.h"
#include "render/EffectHandler.h"
#include "render/RenderManagers.h"
#include "render/RenderServices.h"
#include "render/ShaderManager.h"

#include "../render/RenderFixture.h"
#include "support/GraphicsDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

using namespace irr;

namespace {

class HighlightGlTest : public ::testing::Test, protected rendertest::RenderGlFixture {
protected:
    void SetUp() override {
        // The pictures go to the folder the test was started in (the build folder's), not
        // to the source folder the rendering works from.
        shotFolder = std::filesystem::current_path();
        ASSERT_TRUE(openRendering(core::dimension2du(640, 480)));
        startRendering(EffectHandlerSetup{});
        ASSERT_GT(shaderManager->glowMaterial, 0) << "glow shader compiled";
        registerMeshGate(device->getSceneManager());
        registerPhysicsObjectTypes();
        physics = std::make_unique<PhysicsManager>();
        physicsManager = physics.get();
        ASSERT_TRUE(physics->init());
    }
    void TearDown() override {
        device->getSceneManager()->clear();
        physics.reset();
        physicsManager = nullptr;
        resetRenderServices();
        closeRendering();
    }
    PhysicsObject* addBall() {
        scene::ISceneManager* scene = device->getSceneManager();
        auto* ball = new PhysicsObject(scene->getRootSceneNode(), scene, -1);
        ball->drop();
        io::IAttributes* a = device->getFileSystem()->createEmptyAttributes();
        a->addString("Name", "Ball");
        a->addString("MeshFileName", "Content/Models/Props/Ball.obj");
        a->addEnum("BoundType", "Sphere", boundTypeNames);
        a->addEnum("PhysicsState", "Static", physicsStateNames);
        ball->deserializeAttributes(a);
        a->drop();
        return ball;
    }
    video::IImage* drawFrame(u32 timeMs, const char* name) {
        device->getTimer()->setTime(timeMs);
        device->getSceneManager()->getRootSceneNode()->OnAnimate(timeMs);
        video::IVideoDriver* driver = device->getVideoDriver();
        driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
        effectHandler->update(nullptr);
        driver->endScene();
        video::IImage* shot = driver->createScreenShot();
        if (shot && name)
            driver->writeImageToFile(shot, (shotFolder / name).string().c_str());
        return shot;
    }
    std::unique_ptr<PhysicsManager> physics;
    std::filesystem::path shotFolder;
};

TEST_F(HighlightGlTest, GoldAndSuspiciousObjectsGlowInTheirColour) {
    struct Case {
        const char* name;
        std::function<void(PhysicsObject&)> mark;
        s32 mode;
        std::function<bool(const video::SColor&)> tint;
    };
    const Case cases[] = {
        {"shot-highlight-gold.png", [](PhysicsObject& o) { o.IsGold = true; }, 6,
         [](const video::SColor& c) { return c.getRed() > c.getBlue() + 20 && c.getGreen() > c.getBlue() + 20; }},
        {"shot-highlight-suspicious.png", [](PhysicsObject& o) { o.suspicion().displayTimer = 2.0f; }, 5,
         [](const video::SColor& c) { return c.getBlue() > c.getGreen() + 20; }},
    };
    PhysicsObject* ball = addBall();
    ASSERT_NE(ball->getMeshNode(), nullptr);
    scene::ICameraSceneNode* camera = device->getSceneManager()->addCameraSceneNode(nullptr, core::vector3df(0, 0, -4));
    camera->setTarget(core::vector3df(0, 0, 0));
    u32 time = 1000;
    video::IImage* plain = drawFrame(time, "shot-highlight-none.png");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(ball->mesh().highlightMode, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.mark(*ball);
        // Half-way down the pulse: the copy grown by half its growth, at its brightest.
        ball->mesh().highlightPulse = 0.5f;
        video::IImage* shot = drawFrame(time += 17, c.name);
        ASSERT_NE(shot, nullptr);
        EXPECT_EQ(ball->mesh().highlightMode, c.mode);
        int tinted = 0;
        for (u32 y = 0; y < 480; ++y)
            for (u32 x = 0; x < 640; ++x) {
                const video::SColor now = shot->getPixel(x, y);
                if (now != plain->getPixel(x, y) && c.tint(now))
                    ++tinted;
            }
        EXPECT_GT(tinted, 200) << "the glow in the highlight colour";
        shot->drop();
        ball->IsGold = false;
        ball->suspicion().displayTimer = 0.0f;
    }
    // Without a highlight the copy is gone again and the materials are the plain ones.
    video::IImage* after = drawFrame(time += 17, nullptr);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(ball->mesh().highlightMode, 0);
    EXPECT_NE(ball->getMeshNode()->getMaterial(0).MaterialType, shaderManager->glowMaterial);
    EXPECT_TRUE(ball->getMeshNode()->getMaterial(0).ZWriteEnable);
    EXPECT_EQ(ball->getMeshNode()->getScale(), core::vector3df(1, 1, 1));
    after->drop();
    plain->drop();
}

// Width in pixels of what the shot changed against the plain one.
u32 changedWidth(video::IImage* shot, video::IImage* plain) {
    s32 left = 640, right = -1;
    for (u32 y = 0; y < 480; ++y)
        for (u32 x = 0; x < 640; ++x) {
            const video::SColor c = shot->getPixel(x, y), p = plain->getPixel(x, y);
            if (std::abs(static_cast<s32>(c.getRed()) - static_cast<s32>(p.getRed())) > 3 ||
                std::abs(static_cast<s32>(c.getGreen()) - static_cast<s32>(p.getGreen())) > 3) {
                left = std::min(left, static_cast<s32>(x));
                right = std::max(right, static_cast<s32>(x));
            }
        }
    return right < left ? 0 : static_cast<u32>(right - left + 1);
}

// The outline's copy grows by a quarter over the object's largest side at the bottom of the
// pulse and not at all at its top. It fades out at both ends, so its edge is read just
// inside them.
TEST_F(HighlightGlTest, TheOutlineShrinksFromFullGrowthToTheObjectAsThePulseRises) {
    PhysicsObject* ball = addBall();
    ASSERT_NE(ball->getMeshNode(), nullptr);
    scene::ICameraSceneNode* camera = device->getSceneManager()->addCameraSceneNode(nullptr, core::vector3df(0, 0, -4));
    camera->setTarget(core::vector3df(0, 0, 0));
    u32 time = 1000;
    video::IImage* plain = drawFrame(time, nullptr);
    ASSERT_NE(plain, nullptr);
    ball->IsGold = true;
    // At the top of the pulse the copy is invisible: what changes is the ball itself.
    const f32 pulses[] = {1.0f, 0.05f, 0.5f, 0.95f};
    u32 widths[4] = {};
    for (int i = 0; i < 4; ++i) {
        ball->mesh().highlightPulse = pulses[i];
        video::IImage* shot = drawFrame(time += 17, nullptr);
        ASSERT_NE(shot, nullptr);
        widths[i] = changedWidth(shot, plain);
        shot->drop();
    }
    plain->drop();
    const u32 ballWidth = widths[0], nearBottom = widths[1], halfWay = widths[2], nearTop = widths[3];
    ASSERT_GT(ballWidth, 50u);
    // A ball of radius 1 grows by an eighth at the bottom of the pulse.
    EXPECT_GT(nearBottom, ballWidth + ballWidth / 10) << "full growth at the bottom";
    EXPECT_GT(nearBottom, halfWay);
    EXPECT_GT(halfWay, nearTop);
    EXPECT_LE(nearTop, ballWidth + ballWidth / 20) << "next to no growth near the top";
}

} // namespace
