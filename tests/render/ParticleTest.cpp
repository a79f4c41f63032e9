// The particle node (emission, movement, removal, the particle cap, drawing turned quads,
// attributes) with the engine's emitters of every shape, and the game's own affectors.
#include "render/ParticleAffectors.h"
#include "render/ParticleObject.h"
#include "render/ParticleSystemNode.h"

#include "RenderFixture.h"

#include "core/CoreSlots.h"
#include "core/Globals.h"
#include "phys/Particles.h"
#include "support/NullDevice.h"
#include "support/HeapBytes.h"

#include "../physics/PhysicsObjectFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace irr;

namespace {

// Hands out a fixed batch of records on every call.
class BatchEmitter : public scene::IParticleEmitter {
public:
    BatchEmitter(u32 count, u32 lifeMs) : life(lifeMs) { batch.set_used(count); }
    s32 emitt(u32 now, u32 elapsed, scene::SParticle*& out) override {
        lastElapsed = elapsed;
        ++calls;
        for (u32 i = 0; i < batch.size(); ++i) {
            scene::SParticle& p = batch[i];
            p.pos.set(static_cast<f32>(i), 0, 0);
            p.vector.set(0, 0.01f, 0);
            p.startVector = p.vector;
            p.startTime = now;
            p.endTime = now + life;
            p.color = p.startColor = video::SColor(255, 255, 255, 255);
            p.size = p.startSize = core::dimension2df(2, 4);
        }
        out = batch.pointer();
        return static_cast<s32>(batch.size());
    }
    void setDirection(const core::vector3df&) override {}
    void setMinParticlesPerSecond(u32) override {}
    void setMaxParticlesPerSecond(u32) override {}
    void setMinStartColor(const video::SColor&) override {}
    void setMaxStartColor(const video::SColor&) override {}
    void setMaxStartSize(const core::dimension2df&) override {}
    void setMinStartSize(const core::dimension2df&) override {}
    void setMinLifeTime(u32) override {}
    void setMaxLifeTime(u32) override {}
    void setMaxAngleDegrees(s32) override {}
    const core::vector3df& getDirection() const override { return direction; }
    u32 getMinParticlesPerSecond() const override { return 1; }
    u32 getMaxParticlesPerSecond() const override { return 1; }
    const video::SColor& getMinStartColor() const override { return colour; }
    const video::SColor& getMaxStartColor() const override { return colour; }
    const core::dimension2df& getMaxStartSize() const override { return size; }
    const core::dimension2df& getMinStartSize() const override { return size; }
    u32 getMinLifeTime() const override { return life; }
    u32 getMaxLifeTime() const override { return life; }
    s32 getMaxAngleDegrees() const override { return 0; }

    core::array<scene::SParticle> batch;
    u32 life;
    u32 lastElapsed = 12345;
    int calls = 0;

private:
    core::vector3df direction;
    video::SColor colour;
    core::dimension2df size;
};

class ParticleTest : public ::testing::Test {
protected:
    void SetUp() override {
        rendertest::resetRenderGlobals();
        gameDevice = device.get();
        device->getRandomizer()->reset(1234);
        node = new ParticleSystemNode(scene()->getRootSceneNode(), scene());
        node->drop();
        factory = scene()->addParticleSystemSceneNode(false);
        factory->setVisible(false);
    }
    void TearDown() override { rendertest::resetRenderGlobals(); }
    scene::ISceneManager* scene() { return device->getSceneManager(); }
    // Updates every step milliseconds from start up to end.
    void run(u32 start, u32 end, u32 step) {
        for (u32 t = start; t <= end; t += step)
            node->doParticleSystem(t);
    }
    void use(scene::IParticleEmitter* emitter) {
        node->setEmitter(emitter);
        emitter->drop();
    }

    test::NullDevice device;
    ParticleSystemNode* node = nullptr;
    scene::IParticleSystemSceneNode* factory = nullptr;
};

TEST_F(ParticleTest, NodeDefaultsAndNoFactories) {
    EXPECT_EQ(node->getType(), static_cast<scene::ESCENE_NODE_TYPE>(MAKE_IRR_ID('p', 's', 'y', 's')));
    EXPECT_EQ(node->getMaterialCount(), 1u);
    EXPECT_EQ(&node->getMaterial(3), &node->getMaterial(0));
    EXPECT_EQ(node->TextureRect, core::rectf(0, 0, 1, 1));
    EXPECT_EQ(node->ParticleSize, core::dimension2df(5, 5));
    EXPECT_TRUE(node->ParticlesAreGlobal);
    EXPECT_EQ(node->getEmitter(), nullptr);
    scene::IParticleSystemSceneNode* engineView = node;
    EXPECT_EQ(engineView->createPointEmitter(), nullptr);
    EXPECT_EQ(engineView->createBoxEmitter(), nullptr);
    EXPECT_EQ(engineView->createGravityAffector(), nullptr);
    EXPECT_EQ(engineView->createScaleParticleAffector(), nullptr);
    EXPECT_EQ(node->clone(), nullptr);
}

TEST_F(ParticleTest, FirstUpdateOnlyStoresTheTime) {
    auto* emitter = new BatchEmitter(3, 1000);
    use(emitter);
    node->doParticleSystem(500);
    EXPECT_EQ(node->LastEmitTime, 500u);
    EXPECT_EQ(emitter->calls, 0);
    EXPECT_EQ(node->getParticleCount(), 0u);

    node->doParticleSystem(600);
    EXPECT_EQ(emitter->lastElapsed, 100u);
    ASSERT_EQ(node->getParticleCount(), 3u);
    // Moved by velocity x elapsed milliseconds of this same update.
    EXPECT_NEAR(node->getParticle(2).pos.Y, 1.0f, 1e-5f);
    EXPECT_NEAR(node->getParticle(2).pos.X, 2.0f, 1e-5f);
}

TEST_F(ParticleTest, TimeGoingBackwardsMovesNothingAndDropsUnbornParticles) {
    auto* emitter = new BatchEmitter(2, 1000);
    use(emitter);
    run(1000, 1100, 100);
    ASSERT_EQ(node->getParticleCount(), 2u);
    node->setVisible(false); // no new particles
    node->doParticleSystem(1050);
    EXPECT_EQ(node->getParticleCount(), 0u); // born at 1100, now in the future
    node->setVisible(true);
    node->doParticleSystem(1040);
    EXPECT_EQ(emitter->lastElapsed, 0u);
    ASSERT_EQ(node->getParticleCount(), 2u);
    EXPECT_FLOAT_EQ(node->getParticle(0).pos.Y, 0.0f);
}

TEST_F(ParticleTest, ParticlesExpireAfterTheirEndTime) {
    auto* emitter = new BatchEmitter(1, 250);
    use(emitter);
    node->doParticleSystem(1);
    node->doParticleSystem(100); // one born at 100, ends at 350
    node->setVisible(false);
    node->doParticleSystem(350);
    EXPECT_EQ(node->getParticleCount(), 1u);
    node->doParticleSystem(351);
    EXPECT_EQ(node->getParticleCount(), 0u);
}

TEST_F(ParticleTest, AtMost16250ParticlesLive) {
    use(new BatchEmitter(20000, 100000));
    node->doParticleSystem(1);
    node->doParticleSystem(2);
    EXPECT_EQ(node->getParticleCount(), ParticleSystemNode::maxParticles);
    node->doParticleSystem(3);
    EXPECT_EQ(node->getParticleCount(), ParticleSystemNode::maxParticles);
}

// What the node is charged for covers what it and its emitter take from the heap as it fills
// to the cap and draws every particle. (Counted by the sanitizer's allocator.)
TEST_F(ParticleTest, ItsChargeCoversWhatItAllocates) {
    if (!test::heapCounted())
        GTEST_SKIP() << "the heap is counted by the sanitizer's allocator";
    scene::ICameraSceneNode* camera = scene()->addCameraSceneNode(nullptr, core::vector3df(0, 0, -50),
                                                                  core::vector3df(0, 0, 0));
    camera->OnAnimate(0);
    camera->OnRegisterSceneNode();
    const size_t before = test::heapBytesInUse();
    scene::IParticleEmitter* emitter =
        factory->createBoxEmitter(core::aabbox3df(-3, -3, -3, 3, 3, 3), core::vector3df(0, 0.03f, 0), 16250, 16250,
                                  video::SColor(255, 0, 0, 0), video::SColor(255, 255, 255, 255), 2000, 2000);
    use(emitter);
    node->doParticleSystem(1);
    node->doParticleSystem(3000); // a long frame: the emitter's largest batch
    node->doParticleSystem(3001);
    node->render();
    ASSERT_EQ(node->getParticleCount(), ParticleSystemNode::maxParticles);
    const size_t grown = test::heapBytesInUse() - before;
    EXPECT_GE(node->getChargedBytes(), grown);
    EXPECT_LE(node->getChargedBytes(), grown + grown / 2);
}

TEST_F(ParticleTest, GlobalParticlesStartAtTheNodesWorldPosition) {
    node->setPosition(core::vector3df(100, 0, 0));
    node->updateAbsolutePosition();
    use(new BatchEmitter(1, 1000));
    run(1, 2, 1);
    EXPECT_NEAR(node->getParticle(0).pos.X, 100.0f, 1e-4f);
    // The box is kept in node space, padded by half the particle size.
    const core::aabbox3df& box = node->getBoundingBox();
    EXPECT_NEAR(box.MinEdge.X, -2.5f, 1e-4f);
    EXPECT_NEAR(box.MaxEdge.X, 2.5f, 1e-4f);

    node->clearParticles();
    node->setParticlesAreGlobal(false);
    run(3, 3, 1);
    EXPECT_NEAR(node->getParticle(0).pos.X, 0.0f, 1e-4f);
}

struct EmitterShapeCase {
    const char* shape;
    scene::IParticleEmitter* (*make)(scene::IParticleSystemSceneNode* factory);
    // Is the birth position inside the shape?
    bool (*inside)(const core::vector3df& p);
    // Live particles after 0.5 s and after 2 s (the engine's point emitter gives at most one
    // particle per update).
    f32 halfSecond, steady;
};

// The engine's round emitters place a point at distance d on the diagonal and then turn it,
// so a radius r reaches r x sqrt(2) in the plane and r x sqrt(3) in space.
constexpr f32 root2 = 1.41421356f;
constexpr f32 root3 = 1.73205081f;

const EmitterShapeCase emitterShapes[] = {
    {"point", [](scene::IParticleSystemSceneNode* f) -> scene::IParticleEmitter* {
         return f->createPointEmitter(core::vector3df(0, 0.01f, 0), 100, 100, video::SColor(255, 0, 0, 0),
                                      video::SColor(255, 255, 255, 255), 1000, 1000);
     },
     [](const core::vector3df& p) { return p.getLength() < 1e-4f; }, 25.0f, 50.0f},
    {"box", [](scene::IParticleSystemSceneNode* f) -> scene::IParticleEmitter* {
         return f->createBoxEmitter(core::aabbox3df(-3, -3, -3, 3, 3, 3), core::vector3df(0, 0.01f, 0), 100, 100,
                                    video::SColor(255, 0, 0, 0), video::SColor(255, 255, 255, 255), 1000, 1000);
     },
     [](const core::vector3df& p) { return std::fabs(p.X) <= 3.0f && std::fabs(p.Y) <= 3.0f && std::fabs(p.Z) <= 3.0f; },
     50.0f, 100.0f},
    {"ring", [](scene::IParticleSystemSceneNode* f) -> scene::IParticleEmitter* {
         return f->createRingEmitter(core::vector3df(0, 0, 0), 5.0f, 1.0f, core::vector3df(0, 0.01f, 0), 100, 100,
                                     video::SColor(255, 0, 0, 0), video::SColor(255, 255, 255, 255), 1000, 1000);
     },
     [](const core::vector3df& p) {
         const f32 r = std::sqrt(p.X * p.X + p.Z * p.Z);
         return std::fabs(p.Y) <= 1e-3f && r >= 4.5f * root2 - 1e-3f && r <= 5.5f * root2 + 1e-3f;
     },
     50.0f, 100.0f},
    {"sphere", [](scene::IParticleSystemSceneNode* f) -> scene::IParticleEmitter* {
         return f->createSphereEmitter(core::vector3df(0, 0, 0), 5.0f, core::vector3df(0, 0.01f, 0), 100, 100,
                                       video::SColor(255, 0, 0, 0), video::SColor(255, 255, 255, 255), 1000, 1000);
     },
     [](const core::vector3df& p) { return p.getLength() <= 5.0f * root3 + 1e-3f; }, 50.0f, 100.0f},
    {"cylinder", [](scene::IParticleSystemSceneNode* f) -> scene::IParticleEmitter* {
         return f->createCylinderEmitter(core::vector3df(0, 0, 0), 5.0f, core::vector3df(0, 1, 0), 10.0f, false,
                                         core::vector3df(0, 0.01f, 0), 100, 100, video::SColor(255, 0, 0, 0),
                                         video::SColor(255, 255, 255, 255), 1000, 1000);
     },
     [](const core::vector3df& p) {
         return std::sqrt(p.X * p.X + p.Z * p.Z) <= 5.0f * root2 + 1e-3f && p.Y >= -1e-3f && p.Y <= 10.0f + 1e-3f;
     },
     50.0f, 100.0f},
};

// Each engine emitter shape at 100 per second and 1 s of life, moving up 0.01 per ms:
// after 0.5 s about 50 live particles, after 2 s about 100 (births and deaths balance),
// each one risen by its age and born inside its shape.
TEST_F(ParticleTest, EngineEmittersOfEveryShape) {
    for (const EmitterShapeCase& c : emitterShapes) {
        device->getRandomizer()->reset(99);
        node->clearParticles();
        node->LastEmitTime = 0;
        use(c.make(factory));
        ASSERT_NE(node->getEmitter(), nullptr) << c.shape;
        run(1000, 1500, 20);
        EXPECT_NEAR(static_cast<f32>(node->getParticleCount()), c.halfSecond, 3.0f) << c.shape;
        run(1520, 3000, 20);
        EXPECT_NEAR(static_cast<f32>(node->getParticleCount()), c.steady, 3.0f) << c.shape;
        for (u32 i = 0; i < node->getParticleCount(); ++i) {
            const scene::SParticle& p = node->getParticle(i);
            EXPECT_EQ(p.endTime - p.startTime, 1000u) << c.shape;
            // Moved in the update that emitted it too.
            const f32 age = static_cast<f32>(3000 - p.startTime + 20);
            core::vector3df birth = p.pos - p.vector * age;
            EXPECT_TRUE(c.inside(birth)) << c.shape << " " << birth.X << "," << birth.Y << "," << birth.Z;
        }
    }
    // The same seed gives the same particles.
    device->getRandomizer()->reset(99);
    node->clearParticles();
    node->LastEmitTime = 0;
    use(emitterShapes[1].make(factory));
    run(1000, 1100, 20);
    const core::vector3df first = node->getParticle(0).pos;
    device->getRandomizer()->reset(99);
    node->clearParticles();
    node->LastEmitTime = 0;
    use(emitterShapes[1].make(factory));
    run(1000, 1100, 20);
    EXPECT_EQ(node->getParticle(0).pos, first);
}

TEST_F(ParticleTest, EngineAffectorsRunInListOrder) {
    use(new BatchEmitter(1, 2000));
    scene::IParticleAffector* gravity = factory->createGravityAffector(core::vector3df(0, -0.03f, 0), 1000);
    node->addAffector(gravity);
    gravity->drop();
    EXPECT_EQ(gravity->getReferenceCount(), 1);
    node->doParticleSystem(1);
    node->doParticleSystem(1000);
    node->setVisible(false);
    run(1100, 2000, 100);
    ASSERT_EQ(node->getParticleCount(), 1u);
    // One second after birth the full gravity acts: the velocity is the gravity.
    EXPECT_NEAR(node->getParticle(0).vector.Y, -0.03f, 1e-4f);
    node->removeAllAffectors();
    EXPECT_TRUE(node->getAffectors().empty());
}

TEST_F(ParticleTest, OnlyAShownNodeWithParticlesRegistersItselfAndItsChildren) {
    auto* child = new rendertest::RegisterCountingNode(node, scene());
    child->drop();
    scene()->addCameraSceneNode();
    scene()->drawAll();
    EXPECT_EQ(child->registered, 0);
    EXPECT_EQ(node->getBuffer()->Vertices.size(), 0u); // never drawn
    use(new BatchEmitter(2, 100000000));
    node->LastEmitTime = 1;
    scene()->drawAll(); // emits, registers and draws
    EXPECT_EQ(node->getParticleCount(), 2u);
    EXPECT_EQ(child->registered, 1);
    EXPECT_EQ(node->getBuffer()->Vertices.size(), 8u);
    // Hidden, it keeps its particles but neither it nor its children are drawn.
    node->setVisible(false);
    node->getBuffer()->Vertices.set_used(0);
    scene()->drawAll();
    EXPECT_EQ(node->getParticleCount(), 2u);
    EXPECT_EQ(node->getBuffer()->Vertices.size(), 0u) << "not drawn";
    EXPECT_EQ(child->registered, 1);
}

TEST_F(ParticleTest, QuadsFaceTheCameraAndTurnByTheirRotation) {
    scene::ICameraSceneNode* camera = scene()->addCameraSceneNode(nullptr, core::vector3df(0, 0, -50),
                                                                  core::vector3df(0, 0, 0));
    camera->OnAnimate(0);
    camera->OnRegisterSceneNode();
    use(new BatchEmitter(2, 100000));
    node->doParticleSystem(1);
    node->doParticleSystem(2);
    node->getParticleExtra(1).rotation = core::PI;
    node->TextureRect = core::rectf(0.25f, 0.5f, 0.5f, 0.75f);
    node->render();
    const video::S3DVertex* v = node->getBuffer()->Vertices.const_pointer();
    // Unturned: the first vertex lies right and below (width 2, height 4).
    const core::vector3df centre0 = node->getParticle(0).pos;
    EXPECT_NEAR(v[0].Pos.X - centre0.X, 1.0f, 1e-4f);
    EXPECT_NEAR(v[0].Pos.Y - centre0.Y, -2.0f, 1e-4f);
    // Half a turn about the view axis: left and above.
    const core::vector3df centre1 = node->getParticle(1).pos;
    EXPECT_NEAR(v[4].Pos.X - centre1.X, -1.0f, 1e-4f);
    EXPECT_NEAR(v[4].Pos.Y - centre1.Y, 2.0f, 1e-4f);
    EXPECT_EQ(v[0].TCoords, core::vector2df(0.5f, 0.75f));
    EXPECT_EQ(v[2].TCoords, core::vector2df(0.25f, 0.5f));
    EXPECT_EQ(node->getBuffer()->Indices[1], 2);
    EXPECT_EQ(node->getBuffer()->Indices[10], 7);
}

TEST_F(ParticleTest, AttributesWithAnEmitterKeyDropEmitterAndAffectors) {
    use(new BatchEmitter(1, 1000));
    auto* fade = new ParticleFadeInOutAffector(100, 100, video::SColor(0, 0, 0, 0));
    node->addAffector(fade);
    fade->drop();
    auto* rate = new ParticleRateAffector(1.0f);
    node->addAffector(rate);
    rate->drop();
    io::IAttributes* out = device->getFileSystem()->createEmptyAttributes();
    io::SAttributeReadWriteOptions editor;
    editor.Flags = io::EARWF_FOR_EDITOR;
    node->setParticleSize(core::dimension2df(3, 7));
    node->serializeAttributes(out, &editor);
    EXPECT_FLOAT_EQ(out->getAttributeAsFloat("ParticleHeight"), 7.0f);
    EXPECT_TRUE(out->existsAttribute("Emitter"));
    // Affectors are written under the engine's names of their kinds.
    EXPECT_STREQ(out->getAttributeAsEnumeration("Affector"), "FadeOut");
    node->setParticleSize(core::dimension2df(1, 1));
    node->deserializeAttributes(out, nullptr);
    EXPECT_EQ(node->ParticleSize, core::dimension2df(3, 7));
    EXPECT_EQ(node->getEmitter(), nullptr);
    EXPECT_TRUE(node->getAffectors().empty());
    out->drop();
}

TEST_F(ParticleTest, FadeInOutAffector) {
    ParticleFadeInOutAffector fade(200, 400, video::SColor(0, 0, 0, 255));
    EXPECT_EQ(fade.getType(), scene::EPAT_FADE_OUT);
    EXPECT_EQ(fade.getFadeOutTime(), 200u); // reports the fade-in time
    scene::SParticle p{};
    p.startTime = 1000;
    p.endTime = 3000;
    p.startColor = video::SColor(200, 255, 0, 0);
    p.color = p.startColor;
    const struct {
        const char* what;
        u32 now;
        video::SColor colour;
    } cases[] = {
        {"born", 1000, video::SColor(0, 255, 0, 0)},
        {"half faded in", 1100, video::SColor(100, 255, 0, 0)},
        {"in between", 2000, video::SColor(200, 255, 0, 0)},
        {"half faded out", 2800, video::SColor(100, 127, 0, 127)},
        {"at death", 3000, video::SColor(0, 0, 0, 255)},
        {"after death", 3001, video::SColor(200, 0, 0, 255)},
    };
    for (const auto& c : cases) {
        fade.affect(c.now, &p, 1);
        EXPECT_NEAR(p.color.getAlpha(), c.colour.getAlpha(), 1) << c.what;
        EXPECT_NEAR(p.color.getRed(), c.colour.getRed(), 1) << c.what;
        EXPECT_NEAR(p.color.getBlue(), c.colour.getBlue(), 1) << c.what;
    }
    ParticleFadeInOutAffector zero(0, 0, video::SColor(0));
    EXPECT_FLOAT_EQ(zero.getFadeInTime(), 1.0f);
    p.color = video::SColor(200, 1, 2, 3);
    zero.affect(1000, &p, 1);
    EXPECT_EQ(p.color.getAlpha(), 0u);

    io::IAttributes* attributes = device->getFileSystem()->createEmptyAttributes();
    fade.serializeAttributes(attributes, nullptr);
    EXPECT_FLOAT_EQ(attributes->getAttributeAsFloat("FadeOutTime"), 400.0f);
    ParticleFadeInOutAffector back(1, 1, video::SColor(0));
    back.deserializeAttributes(attributes, nullptr);
    EXPECT_FLOAT_EQ(back.getFadeInTime(), 200.0f);
    EXPECT_FLOAT_EQ(back.getStoredFadeOutTime(), 400.0f);
    EXPECT_EQ(back.getTargetColor(), video::SColor(0, 0, 0, 255));
    attributes->drop();
}

// New particles start turned at random within the start rotation's range, whichever of its
// ends is zero.
TEST_F(ParticleTest, NewParticlesStartTurnedWithinTheRange) {
    use(new BatchEmitter(20, 100000));
    node->startRotation = core::vector2df(-10.0f, 0.0f);
    node->doParticleSystem(1);
    node->doParticleSystem(1000);
    ASSERT_EQ(node->getParticleCount(), 20u);
    f32 lowest = 0.0f;
    for (u32 i = 0; i < 20; ++i) {
        const f32 rotation = node->getParticleExtra(i).rotation;
        EXPECT_GE(rotation, -10.0f);
        EXPECT_LE(rotation, 0.0f);
        lowest = std::min(lowest, rotation);
    }
    EXPECT_LT(lowest, -0.5f);
}

TEST_F(ParticleTest, RateAffectorTurnsByRealElapsedTime) {
    use(new BatchEmitter(1, 100000));
    auto* rate = new ParticleRateAffector(2.0f);
    EXPECT_EQ(static_cast<s32>(rate->getType()), -1);
    node->addAffector(rate);
    rate->drop();
    node->doParticleSystem(1);
    node->doParticleSystem(1000); // emits; the affector's first call only starts its clock
    node->setVisible(false);
    EXPECT_FLOAT_EQ(node->getParticleExtra(0).rotation, 0.0f);
    node->doParticleSystem(1500);
    EXPECT_NEAR(node->getParticleExtra(0).rotation, 1.0f, 1e-5f);
    rate->setEnabled(false);
    node->doParticleSystem(2000);
    EXPECT_NEAR(node->getParticleExtra(0).rotation, 1.0f, 1e-5f);
    rate->setEnabled(true);
    node->doParticleSystem(2250);
    EXPECT_NEAR(node->getParticleExtra(0).rotation, 1.5f, 1e-5f);
}

// The physics path: a node whose particles live in a particle system of the physics world.
class PhysicsParticleTest : public PhysicsObjectFixture {
protected:
    void SetUp() override {
        PhysicsObjectFixture::SetUp();
        coreSlots().physics.isSimulationActive = [] { return true; };
    }
    ParticleSystemNode* addPhysicsNode(u32 burst) {
        auto* node = new ParticleSystemNode(root(), smgr());
        node->drop();
        node->createPhysicsParticleSystem(0.1f, 0.0f, 0.0f, 0.5f, 1.0f, 0.0f, 0.0f, false);
        auto* emitter = new BatchEmitter(burst, 100000);
        node->setEmitter(emitter);
        emitter->drop();
        return node;
    }
};

// Every record of a burst gets the physics slot of its own index, at its own place, up to
// the particle cap and no further; a second burst follows on from the first.
TEST_F(PhysicsParticleTest, EachEmittedParticleTakesThePhysicsSlotOfItsRecord) {
    const u32 cap = ParticleSystemNode::maxParticles;
    const struct Row {
        u32 burst;
        u32 afterOne, afterTwo;
    } rows[] = {{1, 1, 2}, {3, 3, 6}, {cap - 1, cap - 1, cap}, {cap, cap, cap}, {cap + 1, cap, cap}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "burst of " << row.burst);
        ParticleSystemNode* node = addPhysicsNode(row.burst);
        phys::ParticleBase* physics = node->getPhysicsSystem();
        ASSERT_NE(physics, nullptr);
        node->updateParticles(1); // only notes the time
        for (u32 now : {2u, 3u}) {
            node->updateParticles(now);
            const u32 expected = now == 2 ? row.afterOne : row.afterTwo;
            ASSERT_EQ(node->getParticleCount(), expected);
            phys::ParticleReadData* read = physics->lockParticleReadData();
            ASSERT_NE(read, nullptr);
            EXPECT_EQ(read->numValidParticles, expected);
            EXPECT_EQ(read->validParticleRange, expected);
            // The emitter puts the k-th particle of each burst at x = k.
            u32 misplaced = 0;
            for (u32 i = 0; i < expected; ++i) {
                const phys::Vec3 at = read->positionBuffer.at(i);
                const bool valid = (read->flagsBuffer.at(i) & phys::ParticleValid) != 0;
                misplaced += !valid || at.x != static_cast<f32>(i % row.burst) || at.y != 0.0f ? 1 : 0;
            }
            read->unlock();
            EXPECT_EQ(misplaced, 0u) << "after update " << now;
        }
        node->remove();
    }
}

// A particle that dies while later ones live: its record and its physics slot both take the
// last particle, and the last slot goes. Every record keeps the physics slot of its own index,
// whichever particles die in one update (one at each place, two at once, all).
TEST_F(PhysicsParticleTest, ADyingParticleLeavesEveryRecordOnThePhysicsSlotOfItsIndex) {
    constexpr u32 burst = 5;
    const std::vector<std::vector<u32>> dyingSets = {{0}, {1}, {2}, {3}, {4}, {3, 4}, {0, 4}, {1, 3}, {0, 1, 2, 3, 4}};
    for (const std::vector<u32>& dying : dyingSets) {
        SCOPED_TRACE(testing::Message() << "dying: " << testing::PrintToString(dying));
        ParticleSystemNode* node = addPhysicsNode(burst);
        phys::ParticleBase* physics = node->getPhysicsSystem();
        ASSERT_NE(physics, nullptr);
        node->updateParticles(1); // only notes the time
        node->updateParticles(2); // the burst: particle k at x = k
        ASSERT_EQ(node->getParticleCount(), burst);
        // The dying ones end now; the rest live on. No further burst.
        for (u32 k : dying)
            node->getParticle(k).endTime = 2;
        node->setVisible(false);
        node->updateParticles(3);

        std::vector<f32> expected;
        for (u32 k = 0; k < burst; ++k)
            if (std::find(dying.begin(), dying.end(), k) == dying.end())
                expected.push_back(static_cast<f32>(k));
        ASSERT_EQ(node->getParticleCount(), expected.size());
        phys::ParticleReadData* read = physics->lockParticleReadData();
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->numValidParticles, expected.size());
        EXPECT_EQ(read->validParticleRange, expected.size());
        std::vector<f32> recorded;
        for (u32 i = 0; i < node->getParticleCount(); ++i) {
            const phys::Vec3 at = read->positionBuffer.at(i);
            EXPECT_TRUE(read->flagsBuffer.at(i) & phys::ParticleValid) << "slot " << i;
            EXPECT_EQ(at.x, node->getParticle(i).pos.X) << "slot " << i << " holds another particle than its record";
            recorded.push_back(node->getParticle(i).pos.X);
        }
        read->unlock();
        std::sort(recorded.begin(), recorded.end());
        EXPECT_EQ(recorded, expected) << "the living particles, each once";
        node->remove();
    }
}

// Outside play the node keeps its particles to itself.
TEST_F(PhysicsParticleTest, OnlyARunningSimulationGetsAPhysicsParticleSystem) {
    for (const bool running : {false, true}) {
        coreSlots().physics.isSimulationActive = [running] { return running; };
        ParticleSystemNode* node = addPhysicsNode(2);
        EXPECT_EQ(node->getPhysicsSystem() != nullptr, running);
        EXPECT_EQ(node->onPhysicsPath(), running);
        node->remove();
    }
}

} // namespace

// Each size pair overrides its older separate keys only when that pair itself is stored.
TEST_F(ParticleTest, EachStoredSizePairOverridesOnlyItsOwnSize) {
    struct Case {
        const c8* key;
        core::dimension2df ParticleSettings::*size;
        core::dimension2df otherwise; // the older keys read as zero; the largest end size has none
    };
    const Case cases[] = {{"MinStartSize", &ParticleSettings::minStartSize, {0.0f, 0.0f}},
                          {"MaxStartSize", &ParticleSettings::maxStartSize, {0.0f, 0.0f}},
                          {"MinEndSize", &ParticleSettings::minEndSize, {0.0f, 0.0f}},
                          {"MaxEndSize", &ParticleSettings::maxEndSize, {20.0f, 20.0f}}};
    for (const Case& c : cases) {
        auto* particles = new ParticleObject(scene()->getRootSceneNode(), scene());
        io::IAttributes* in = device->getFileSystem()->createEmptyAttributes();
        in->addVector2d(c.key, core::vector2df(7.0f, 8.0f));
        particles->deserializeAttributes(in, nullptr);
        in->drop();
        for (const Case& other : cases) {
            const core::dimension2df expected = other.key == c.key ? core::dimension2df(7.0f, 8.0f) : other.otherwise;
            EXPECT_EQ(particles->settings.*other.size, expected) << c.key << " stored, " << other.key << " read";
        }
        particles->remove();
        particles->drop();
    }
}
