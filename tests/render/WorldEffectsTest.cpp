// The particle object (emitter kinds, blend modes, affectors from its settings, stopping and
// restarting, its level keys) and the billboard object (size, shading, facing).
#include "render/BillboardObject.h"
#include "render/ParticleAffectors.h"
#include "render/ParticleObject.h"
#include "render/ParticleSystemNode.h"
#include "render/ShaderManager.h"

#include "RenderFixture.h"

#include "core/Globals.h"
#include "core/Stopwatch.h"
#include "support/NullDevice.h"

#include <IParticleCylinderEmitter.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

using namespace irr;

namespace {

class WorldEffectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        rendertest::resetRenderGlobals();
        gameDevice = device.get();
        attributes = device->getFileSystem()->createEmptyAttributes();
    }
    void TearDown() override {
        attributes->drop();
        rendertest::resetRenderGlobals();
    }
    scene::ISceneManager* scene() { return device->getSceneManager(); }
    ParticleObject* makeParticles() {
        auto* object = new ParticleObject(scene()->getRootSceneNode(), scene());
        object->drop();
        return object;
    }
    std::vector<s32> affectorTypes(ParticleObject* object) {
        std::vector<s32> types;
        for (scene::IParticleAffector* affector : object->getParticleNode()->getAffectors())
            types.push_back(static_cast<s32>(affector->getType()));
        return types;
    }

    test::NullDevice device;
    io::IAttributes* attributes = nullptr;
};

TEST_F(WorldEffectsTest, ParticleObjectDefaults) {
    ParticleObject* object = makeParticles();
    EXPECT_EQ(object->getType(), typeId("ptc1"));
    ASSERT_NE(object->getParticleNode(), nullptr);
    ParticleSystemNode* node = object->getParticleNode();
    EXPECT_TRUE(node->isDebugObject());
    EXPECT_EQ(node->getParent(), object);
    EXPECT_FALSE(node->getMaterial(0).Lighting);
    EXPECT_FALSE(node->getMaterial(0).ZWriteEnable);
    ASSERT_NE(node->getEmitter(), nullptr);
    EXPECT_EQ(node->getEmitter()->getType(), scene::EPET_POINT);
    EXPECT_EQ(node->getEmitter()->getMaxParticlesPerSecond(), 50u);
    // The sizes reach the emitter negated.
    EXPECT_FLOAT_EQ(node->getEmitter()->getMaxStartSize().Width, -5.0f);
    EXPECT_EQ(node->ParticleSize, core::dimension2df(5, 5));
    EXPECT_EQ(node->getAutomaticCulling(), scene::EAC_FRUSTUM_BOX);
    EXPECT_TRUE(object->getParticleNode()->getAffectors().empty());
    EXPECT_EQ(object->BlendType, ParticleObject::AlphaBlend);
    EXPECT_EQ(object->EmitterType, ParticleObject::PointEmitter);
    // No physics and no timed emission until a file says otherwise.
    EXPECT_FALSE(object->UsePhysics);
    EXPECT_FALSE(object->IsFluid);
    EXPECT_FLOAT_EQ(object->CollisionRadius, -1.0f);
    EXPECT_FLOAT_EQ(object->Damping, 0.0f);
    EXPECT_FLOAT_EQ(object->Restitution, 0.2f);
    EXPECT_FLOAT_EQ(object->Friction, 0.05f);
    EXPECT_FLOAT_EQ(object->Mass, 1.0f);
    EXPECT_FLOAT_EQ(object->Viscosity, 60.0f);
    EXPECT_FLOAT_EQ(object->Stiffness, 45.0f);
    EXPECT_FLOAT_EQ(object->DurationTimer, 0.0f);
    EXPECT_FLOAT_EQ(object->CurrentTimer, 0.0f);
    EXPECT_TRUE(object->DesiredVisible);
}

struct EmitterKindCase {
    s32 kind;
    scene::E_PARTICLE_EMITTER_TYPE engineType;
};

TEST_F(WorldEffectsTest, EveryEmitterKindComesFromTheEngineFactory) {
    ParticleObject* object = makeParticles();
    const EmitterKindCase cases[] = {{ParticleObject::PointEmitter, scene::EPET_POINT},
                                     {ParticleObject::RingEmitter, scene::EPET_RING},
                                     {ParticleObject::BoxEmitter, scene::EPET_BOX},
                                     {ParticleObject::CylinderEmitter, scene::EPET_CYLINDER},
                                     {ParticleObject::SphereEmitter, scene::EPET_SPHERE}};
    for (const EmitterKindCase& c : cases) {
        object->EmitterType = c.kind;
        object->createParticleSystem();
        ASSERT_NE(object->getParticleNode()->getEmitter(), nullptr) << c.kind;
        EXPECT_EQ(object->getParticleNode()->getEmitter()->getType(), c.engineType) << c.kind;
    }
    // A mesh that cannot be loaded leaves no emitter; Animated Mesh keeps what there is.
    object->EmitterType = ParticleObject::MeshEmitter;
    object->settings.meshFilePath = "Content/Models/Missing.obj";
    object->createParticleSystem();
    EXPECT_EQ(object->getParticleNode()->getEmitter(), nullptr);
    object->EmitterType = ParticleObject::SphereEmitter;
    object->createParticleSystem();
    scene::IParticleEmitter* sphere = object->getParticleNode()->getEmitter();
    object->EmitterType = ParticleObject::AnimatedMeshEmitter;
    object->createParticleSystem();
    EXPECT_EQ(object->getParticleNode()->getEmitter(), sphere);
}

TEST_F(WorldEffectsTest, AffectorsFollowTheSettings) {
    ParticleObject* object = makeParticles();
    ParticleSettings& s = object->settings;
    s.gravity.set(0, -0.01f, 0);
    s.scaleOverTime = true;
    s.maxEndSize.set(30, 2);
    s.pivotRotationSpeed.set(0, 10, 0);
    s.hasAttractPoint = true;
    s.fadeOut = true;
    s.minLifeTime = 2000;
    s.rotationSpeed = 3.0f;
    object->createParticleSystem();
    const std::vector<s32> expected = {scene::EPAT_GRAVITY, scene::EPAT_SCALE, scene::EPAT_ROTATE,
                                       scene::EPAT_ATTRACT, scene::EPAT_FADE_OUT, -1};
    EXPECT_EQ(affectorTypes(object), expected);
    EXPECT_EQ(object->getParticleNode()->ParticleSize, core::dimension2df(30, 5));
    ParticleFadeInOutAffector* fade = nullptr;
    for (scene::IParticleAffector* affector : object->getParticleNode()->getAffectors())
        if (auto* found = dynamic_cast<ParticleFadeInOutAffector*>(affector))
            fade = found;
    ASSERT_NE(fade, nullptr);
    EXPECT_FLOAT_EQ(fade->getStoredFadeOutTime(), 500.0f);

    // Zero gravity, or a zero full-effect time, adds none; fade off and fade-in 0 adds none.
    s = ParticleSettings();
    s.gravity.set(0, -1, 0);
    s.gravityFullEffectMS = 0;
    object->createParticleSystem();
    EXPECT_TRUE(affectorTypes(object).empty());
}

struct BlendCase {
    s32 blend;
    s32 material;
};

TEST_F(WorldEffectsTest, BlendModesTakeTheShaderManagersParticleMaterials) {
    ShaderManager shaders;
    shaders.particleSolidMaterial = 101;
    shaders.particleAlphaMaterial = 102;
    shaders.particleAlphaRefMaterial = 103;
    shaders.particleAddMaterial = 104;
    shaderManager = &shaders;
    ParticleObject* object = makeParticles();
    const BlendCase cases[] = {{ParticleObject::Opaque, 101},
                               {ParticleObject::AlphaBlend, 102},
                               {ParticleObject::NonPremultiplied, 103},
                               {ParticleObject::Additive, 104},
                               {ParticleObject::Modulate, video::EMT_TRANSPARENT_VERTEX_ALPHA}};
    u32 frame = 0;
    for (const BlendCase& c : cases) {
        object->BlendType = c.blend;
        object->OnAnimate(++frame);
        EXPECT_EQ(object->getMaterial(0).MaterialType, c.material) << c.blend;
    }
    shaderManager = nullptr;
}

TEST_F(WorldEffectsTest, HidingStopsEmissionAndShowingRestartsIt) {
    ParticleObject* object = makeParticles();
    scene::IParticleEmitter* emitter = object->getParticleNode()->getEmitter();
    object->setVisible(false);
    EXPECT_FALSE(object->DesiredVisible);
    EXPECT_EQ(emitter->getMaxParticlesPerSecond(), 0u);
    EXPECT_TRUE(object->isVisible()); // the object's own flag is untouched
    object->setVisible(true);
    EXPECT_TRUE(object->DesiredVisible);
    EXPECT_EQ(emitter->getMinParticlesPerSecond(), 5u);
    EXPECT_EQ(emitter->getMaxParticlesPerSecond(), 50u);
    // Already emitting: nothing changes.
    object->CurrentTimer = 0.5f;
    object->setVisible(true);
    EXPECT_FLOAT_EQ(object->CurrentTimer, 0.5f);
}

// Shown again while its node was hidden, the emitter starts afresh; while its node shows, it
// goes on from where it stood.
TEST_F(WorldEffectsTest, ShowingAHiddenNodeRestartsItsEmitter) {
    for (const bool nodeShown : {false, true}) {
        SCOPED_TRACE(nodeShown);
        ParticleObject* object = makeParticles();
        object->setVisible(false);
        object->LevelObject::setVisible(nodeShown);
        object->getParticleNode()->LastEmitTime = 7;
        object->setVisible(true);
        EXPECT_EQ(object->getParticleNode()->LastEmitTime != 7, !nodeShown);
    }
}

TEST_F(WorldEffectsTest, ParticleKeysOldAndNew) {
    ParticleObject* object = makeParticles();
    const c8* const kinds[] = {"Point", "Ring", "Box", "Cylinder", "Sphere", "Mesh", "Animated Mesh", nullptr};
    attributes->addEnum("EmitterType", 2, kinds);
    attributes->addFloat("MinStartSizeX", 2.0f);
    attributes->addFloat("MinStartSizeY", 3.0f);
    attributes->addVector2d("StartRotation", core::vector2df(30, 30));
    attributes->addInt("MinParticlesPerSecond", 7);
    attributes->addInt("MaxParticlesPerSecond", 9);
    attributes->addInt("MinLifeTime", 2000);
    attributes->addInt("MaxLifeTime", 2500);
    attributes->addBool("FadeOut", true);
    object->deserializeAttributes(attributes);
    EXPECT_EQ(object->EmitterType, ParticleObject::BoxEmitter);
    EXPECT_EQ(object->BlendType, ParticleObject::AlphaBlend);
    EXPECT_EQ(object->settings.minStartSize, core::dimension2df(2, 3));
    EXPECT_EQ(object->settings.startRotation, core::vector2df(30, 31));
    EXPECT_EQ(object->settings.box, core::vector3df(3, 3, 3));
    EXPECT_EQ(object->getParticleNode()->getEmitter()->getMaxParticlesPerSecond(), 9u);

    // The pair keys win over the older ones, and a written object reads back the same.
    attributes->addVector2d("MinStartSize", core::vector2df(4, 6));
    object->deserializeAttributes(attributes);
    EXPECT_EQ(object->settings.minStartSize, core::dimension2df(4, 6));
    io::IAttributes* written = device->getFileSystem()->createEmptyAttributes();
    object->serializeAttributes(written);
    EXPECT_STREQ(written->getAttributeAsEnumeration("EmitterType"), "Box");
    EXPECT_TRUE(written->existsAttribute("Box"));
    EXPECT_FALSE(written->existsAttribute("Radius"));
    EXPECT_FALSE(written->existsAttribute("MaxEndSize"));
    EXPECT_FALSE(written->existsAttribute("UsePhysics"));
    ParticleObject* copy = makeParticles();
    copy->deserializeAttributes(written);
    EXPECT_EQ(copy->settings.minStartSize, core::dimension2df(4, 6));
    EXPECT_EQ(copy->settings.particlesPerSecond, core::vector2di(7, 9));
    EXPECT_EQ(copy->settings.minLifeTime, 2000u);
    EXPECT_TRUE(copy->settings.fadeOut);
    written->drop();
}

TEST_F(WorldEffectsTest, PhysicsParticlesKeepTheirDampingThroughAWriteAndARead) {
    ParticleObject* object = makeParticles();
    object->UsePhysics = true;
    object->Damping = 0.4f;
    // What this object writes, an older file's key alone, and both (the written key wins).
    const struct Row {
        const char* name;
        bool written, older;
        f32 damping;
    } rows[] = {{"written", true, false, 0.4f},
                {"older", false, true, 0.2f},
                {"both", true, true, 0.4f},
                {"neither: the object keeps its own", false, false, 0.7f}};
    for (const Row& row : rows) {
        io::IAttributes* in = device->getFileSystem()->createEmptyAttributes();
        if (row.written) {
            object->serializeAttributes(in);
        } else {
            in->addString("EmitterType", "Point");
            in->addBool("UsePhysics", true);
        }
        if (row.older)
            in->addFloat("LinearDamping", 0.2f);
        ParticleObject* copy = makeParticles();
        copy->Damping = 0.7f;
        copy->deserializeAttributes(in);
        EXPECT_TRUE(copy->UsePhysics) << row.name;
        EXPECT_FLOAT_EQ(copy->Damping, row.damping) << row.name;
        in->drop();
    }
}

TEST_F(WorldEffectsTest, TimedEmissionEndsInGame) {
    ParticleObject* object = makeParticles();
    object->DurationTimer = 2.0f;
    object->CurrentTimer = 2.5f;
    // The particle object only asks whether a physics manager exists.
    static char playedLevel = 0;
    physicsManager = reinterpret_cast<PhysicsManager*>(&playedLevel);
    object->OnAnimate(1);
    EXPECT_FLOAT_EQ(object->CurrentTimer, -1.0f);
    EXPECT_EQ(object->getParticleNode()->getEmitter()->getMaxParticlesPerSecond(), 0u);
    physicsManager = nullptr;
}

// Outside play a timed emission starts over once its duration has passed: emitting again
// when its lower rate is above zero, stopped when it is zero.
TEST_F(WorldEffectsTest, OutsidePlayATimedEmissionStartsOverAfterItsDuration) {
    for (const s32 minRate : {5, 0}) {
        SCOPED_TRACE(minRate);
        ParticleObject* object = makeParticles();
        object->settings.particlesPerSecond.set(minRate, 50);
        object->createParticleSystem();
        object->DurationTimer = 2.0f;
        object->CurrentTimer = 2.5f;
        object->OnAnimate(1);
        EXPECT_FLOAT_EQ(object->CurrentTimer, 0.0f);
        EXPECT_EQ(object->DesiredVisible, minRate != 0);
        EXPECT_EQ(object->getParticleNode()->getEmitter()->getMaxParticlesPerSecond(), minRate != 0 ? 50u : 0u);
    }
}

// The end sizes are written and read back with scaling over time; without it none are written.
TEST_F(WorldEffectsTest, EndSizesReadBackWithScalingOverTime) {
    for (const bool scaling : {true, false}) {
        SCOPED_TRACE(scaling);
        ParticleObject* object = makeParticles();
        object->settings.scaleOverTime = scaling;
        object->settings.minEndSize.set(7, 8);
        object->settings.maxEndSize.set(9, 10);
        io::IAttributes* stored = device->getFileSystem()->createEmptyAttributes();
        object->serializeAttributes(stored);
        ParticleObject* read = makeParticles();
        read->deserializeAttributes(stored);
        stored->drop();
        EXPECT_EQ(read->settings.scaleOverTime, scaling);
        EXPECT_EQ(read->settings.minEndSize, scaling ? core::dimension2df(7, 8) : core::dimension2df(0, 0));
        EXPECT_EQ(read->settings.maxEndSize, scaling ? core::dimension2df(9, 10) : ParticleSettings().maxEndSize);
    }
}

// The fade-in time and the gravity's full-effect time are written under their own keys and
// read back each as itself.
TEST_F(WorldEffectsTest, FadeInAndGravityTimesReadBackEachAsItself) {
    ParticleObject* object = makeParticles();
    object->settings.fadeInTime = 300;
    object->settings.gravity.set(0, -2, 0);
    object->settings.gravityFullEffectMS = 700;
    io::IAttributes* stored = device->getFileSystem()->createEmptyAttributes();
    object->serializeAttributes(stored);
    EXPECT_EQ(stored->getAttributeAsInt("FadeInTime"), 300);
    EXPECT_EQ(stored->getAttributeAsInt("GravityFullEffectMS"), 700);
    ParticleObject* read = makeParticles();
    read->deserializeAttributes(stored);
    stored->drop();
    EXPECT_EQ(read->settings.fadeInTime, 300u);
    EXPECT_EQ(read->settings.gravityFullEffectMS, 700u);
}

// A timed emission adds each frame's time: it ends once its duration has passed, not before.
TEST_F(WorldEffectsTest, TimedEmissionEndsAfterItsDurationOfFrames) {
    static std::int64_t now = 0;
    Stopwatch frame(L"Frame", 0.0f, StopwatchClock{[] { return now; }, 1000});
    frameStopwatch = &frame;
    static char playedLevel = 0;
    physicsManager = reinterpret_cast<PhysicsManager*>(&playedLevel);
    ParticleObject* object = makeParticles();
    object->DurationTimer = 2.0f;
    object->CurrentTimer = 0.0f;
    for (int i = 1; i <= 4; ++i) {
        now += 500;
        frame.tick();
        object->OnAnimate(static_cast<u32>(i));
        EXPECT_EQ(object->CurrentTimer < 0.0f, i == 4) << "after " << i * 0.5f << " s";
    }
    physicsManager = nullptr;
    frameStopwatch = nullptr;
}

TEST_F(WorldEffectsTest, ClonedParticlesKeepTheirSettings) {
    ParticleObject* object = makeParticles();
    object->EmitterType = ParticleObject::SphereEmitter;
    object->settings.radius = 9.0f;
    object->BlendType = ParticleObject::Additive;
    object->createParticleSystem();
    auto* copy = static_cast<ParticleObject*>(object->clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->EmitterType, ParticleObject::SphereEmitter);
    EXPECT_EQ(copy->BlendType, ParticleObject::Additive);
    EXPECT_FLOAT_EQ(copy->settings.radius, 9.0f);
    EXPECT_EQ(copy->getParticleNode()->getEmitter()->getType(), scene::EPET_SPHERE);
    EXPECT_NE(copy->getParticleNode(), object->getParticleNode());
    object->DurationTimer = 4.0f;
    auto* timed = static_cast<ParticleObject*>(object->clone());
    ASSERT_NE(timed, nullptr);
    EXPECT_FLOAT_EQ(timed->DurationTimer, 4.0f);
}

// Each emitter shape writes the keys of its shape and reads them back.
TEST_F(WorldEffectsTest, EachEmitterShapeReadsBackItsOwnKeys) {
    for (const s32 type : {static_cast<s32>(ParticleObject::RingEmitter), static_cast<s32>(ParticleObject::SphereEmitter),
                           static_cast<s32>(ParticleObject::CylinderEmitter)}) {
        SCOPED_TRACE(type);
        ParticleObject* object = makeParticles();
        object->EmitterType = type;
        object->settings.center = core::vector3df(1, 2, 3);
        object->settings.radius = 9.0f;
        object->settings.ringThickness = 2.5f;
        io::IAttributes* in = device->getFileSystem()->createEmptyAttributes();
        object->serializeAttributes(in);
        ParticleObject* read = makeParticles();
        read->deserializeAttributes(in);
        in->drop();
        EXPECT_EQ(read->EmitterType, type);
        EXPECT_FLOAT_EQ(read->settings.radius, 9.0f);
        if (type != ParticleObject::CylinderEmitter) {
            EXPECT_EQ(read->settings.center, core::vector3df(1, 2, 3));
        }
        if (type == ParticleObject::RingEmitter) {
            EXPECT_FLOAT_EQ(read->settings.ringThickness, 2.5f);
        }
    }
}

// A cylinder's outline switch reads back as written, both ways, and reaches its emitter.
TEST_F(WorldEffectsTest, ACylinderReadsBackItsOutlineSwitch) {
    for (const bool outline : {true, false}) {
        SCOPED_TRACE(outline);
        ParticleObject* object = makeParticles();
        object->EmitterType = ParticleObject::CylinderEmitter;
        object->settings.outlineOnly = outline;
        io::IAttributes* in = device->getFileSystem()->createEmptyAttributes();
        object->serializeAttributes(in);
        ParticleObject* read = makeParticles();
        read->settings.outlineOnly = !outline;
        read->deserializeAttributes(in);
        in->drop();
        EXPECT_EQ(read->settings.outlineOnly, outline);
        read->createParticleSystem();
        auto* emitter = static_cast<scene::IParticleCylinderEmitter*>(read->getParticleNode()->getEmitter());
        ASSERT_EQ(emitter->getType(), scene::EPET_CYLINDER);
        EXPECT_EQ(emitter->getOutlineOnly(), outline);
    }
}

// A file naming a shape without its keys gives the shape's defaults.
TEST_F(WorldEffectsTest, MissingShapeKeysTakeTheirDefaults) {
    for (const char* shape : {"Ring", "Sphere", "Cylinder"}) {
        SCOPED_TRACE(shape);
        io::IAttributes* in = device->getFileSystem()->createEmptyAttributes();
        in->addEnum("EmitterType", shape, (const char* const[]){"Point", "Ring", "Box", "Cylinder", "Sphere", nullptr});
        ParticleObject* read = makeParticles();
        read->settings.radius = 1.0f;
        read->settings.ringThickness = 0.1f;
        read->settings.length = 2.0f;
        read->settings.outlineOnly = true;
        read->deserializeAttributes(in);
        in->drop();
        EXPECT_FLOAT_EQ(read->settings.radius, 5.0f);
        if (read->EmitterType == ParticleObject::RingEmitter) {
            EXPECT_FLOAT_EQ(read->settings.ringThickness, 1.0f);
        }
        if (read->EmitterType == ParticleObject::CylinderEmitter) {
            EXPECT_FLOAT_EQ(read->settings.length, 10.0f);
            EXPECT_FALSE(read->settings.outlineOnly);
        }
    }
}

// A saved game restores a played emitter as it stood: one stopped stays stopped.
TEST_F(WorldEffectsTest, AStoppedEmitterOfASavedGameStaysStopped) {
    static char playedLevel = 0;
    physicsManager = reinterpret_cast<PhysicsManager*>(&playedLevel);
    ParticleObject* object = makeParticles();
    object->setVisible(false);
    io::IAttributes* stored = device->getFileSystem()->createEmptyAttributes();
    object->serializeAttributes(stored);
    ParticleObject* read = makeParticles();
    read->deserializeAttributes(stored);
    stored->drop();
    EXPECT_FALSE(read->DesiredVisible);
    EXPECT_EQ(read->getParticleNode()->getEmitter()->getMaxParticlesPerSecond(), 0u);
    physicsManager = nullptr;
}

// A fluid keeps its viscosity and stiffness through a write and a read.
TEST_F(WorldEffectsTest, FluidParticlesKeepViscosityAndStiffness) {
    ParticleObject* object = makeParticles();
    object->UsePhysics = true;
    object->IsFluid = true;
    object->Viscosity = 3.0f;
    object->Stiffness = 4.0f;
    io::IAttributes* in = device->getFileSystem()->createEmptyAttributes();
    object->serializeAttributes(in);
    ParticleObject* read = makeParticles();
    read->deserializeAttributes(in);
    in->drop();
    EXPECT_TRUE(read->IsFluid);
    EXPECT_FLOAT_EQ(read->Viscosity, 3.0f);
    EXPECT_FLOAT_EQ(read->Stiffness, 4.0f);
}

// With its direction turned, the emitter sends particles along the node's turned direction;
// without, along the direction as set.
TEST_F(WorldEffectsTest, ATurnedDirectionFollowsTheNode) {
    for (const bool turned : {true, false}) {
        SCOPED_TRACE(turned);
        ParticleObject* object = makeParticles();
        object->settings.direction = core::vector3df(0, 0, 1);
        object->settings.transformDirection = turned;
        object->createParticleSystem();
        object->setRotation(core::vector3df(0, 90, 0));
        object->updateAbsolutePosition();
        object->OnAnimate(1);
        const core::vector3df direction = object->getParticleNode()->getEmitter()->getDirection();
        EXPECT_NEAR(direction.X, turned ? 1.0f : 0.0f, 1e-4f);
        EXPECT_NEAR(direction.Z, turned ? 0.0f : 1.0f, 1e-4f);
    }
}

// While the level plays, a running emission timer is written (a saved game resumes it); an
// idle one is not.
TEST_F(WorldEffectsTest, APlayedObjectWritesOnlyARunningTimer) {
    static char playedLevel = 0;
    physicsManager = reinterpret_cast<PhysicsManager*>(&playedLevel);
    ParticleObject* object = makeParticles();
    for (const f32 timer : {0.5f, 0.0f}) {
        object->CurrentTimer = timer;
        io::IAttributes* out = device->getFileSystem()->createEmptyAttributes();
        object->serializeAttributes(out);
        EXPECT_EQ(out->existsAttribute("CurrentTimer"), timer != 0.0f) << timer;
        out->drop();
    }
    physicsManager = nullptr;
}

// A saved game resumes a running emission timer; one whose emission had ended reads back as
// its whole duration, so that the emission stays ended.
TEST_F(WorldEffectsTest, ASavedTimerResumesAndAnEndedOneStaysEnded) {
    static char playedLevel = 0;
    physicsManager = reinterpret_cast<PhysicsManager*>(&playedLevel);
    const struct Row {
        f32 saved, read;
    } rows[] = {{0.5f, 0.5f}, {-1.0f, 3.0f}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.saved);
        ParticleObject* object = makeParticles();
        object->DurationTimer = 3.0f;
        object->CurrentTimer = row.saved;
        io::IAttributes* stored = device->getFileSystem()->createEmptyAttributes();
        object->serializeAttributes(stored);
        ParticleObject* read = makeParticles();
        read->deserializeAttributes(stored);
        stored->drop();
        EXPECT_FLOAT_EQ(read->CurrentTimer, row.read);
    }
    physicsManager = nullptr;
}

// A mesh emitter writes its mesh keys and reads them back; a file without them keeps the
// defaults. The emitter is made from the named mesh with the keys' settings.
TEST_F(WorldEffectsTest, AMeshEmitterReadsItsKeysAndEmitsFromTheNamedMesh) {
    scene::IMesh* cube = scene()->getGeometryCreator()->createCubeMesh();
    auto* animated = new scene::SAnimatedMesh(cube);
    cube->drop();
    scene()->getMeshCache()->addMesh("Content/Models/EmitterCube.obj", animated);
    animated->drop();

    ParticleObject* object = makeParticles();
    object->EmitterType = ParticleObject::MeshEmitter;
    ParticleSettings& s = object->settings;
    s.meshFilePath = "Content/Models/EmitterCube.obj";
    s.meshBufferIndex = 0;
    s.normalDirectionModifier = 40.0f;
    s.useNormalDirection = false;
    s.everyMeshVertex = false;
    io::IAttributes* stored = device->getFileSystem()->createEmptyAttributes();
    object->serializeAttributes(stored);
    ParticleObject* read = makeParticles();
    read->deserializeAttributes(stored);
    stored->drop();
    EXPECT_EQ(read->EmitterType, ParticleObject::MeshEmitter);
    EXPECT_EQ(read->settings.meshFilePath, io::path("Content/Models/EmitterCube.obj"));
    EXPECT_EQ(read->settings.meshBufferIndex, 0);
    EXPECT_FLOAT_EQ(read->settings.normalDirectionModifier, 40.0f);
    EXPECT_FALSE(read->settings.useNormalDirection);
    EXPECT_FALSE(read->settings.everyMeshVertex);
    scene::IParticleEmitter* emitter = read->getParticleNode()->getEmitter();
    ASSERT_NE(emitter, nullptr);
    ASSERT_EQ(emitter->getType(), scene::EPET_MESH);
    auto* meshEmitter = static_cast<scene::IParticleMeshEmitter*>(emitter);
    EXPECT_EQ(meshEmitter->getMesh(), static_cast<const scene::IMesh*>(animated));
    EXPECT_FALSE(meshEmitter->isUsingNormalDirection());
    EXPECT_FLOAT_EQ(meshEmitter->getNormalDirectionModifier(), 40.0f);
    EXPECT_FALSE(meshEmitter->getEveryMeshVertex());

    io::IAttributes* bare = device->getFileSystem()->createEmptyAttributes();
    bare->addString("EmitterType", "Mesh");
    bare->addString("MeshFilePath", "Content/Models/EmitterCube.obj");
    ParticleObject* plain = makeParticles();
    plain->deserializeAttributes(bare);
    bare->drop();
    EXPECT_EQ(plain->settings.meshBufferIndex, -1);
    EXPECT_FLOAT_EQ(plain->settings.normalDirectionModifier, 100.0f);
    EXPECT_TRUE(plain->settings.useNormalDirection);
    EXPECT_TRUE(plain->settings.everyMeshVertex);
    scene()->getMeshCache()->removeMesh(animated);
}

// The optional keys a file leaves out keep what the object had.
TEST_F(WorldEffectsTest, OptionalKeysAFileLeavesOutKeepTheObjectsValues) {
    ParticleObject* object = makeParticles();
    ParticleSettings& s = object->settings;
    s.fadeOut = true;
    s.fadeOutColor = video::SColor(255, 1, 2, 3);
    s.fadeInTime = 40;
    s.hasAttractPoint = true;
    s.attractPoint.set(1, 2, 3);
    s.attractSpeed = 4.0f;
    s.pivotRotationSpeed.set(0, 5, 0);
    s.pivotRotationPosition.set(6, 0, 0);
    s.rotationSpeed = 7.0f;
    io::IAttributes* bare = device->getFileSystem()->createEmptyAttributes();
    bare->addString("EmitterType", "Point");
    object->deserializeAttributes(bare);
    bare->drop();
    EXPECT_TRUE(s.fadeOut);
    EXPECT_EQ(s.fadeOutColor, video::SColor(255, 1, 2, 3));
    EXPECT_EQ(s.fadeInTime, 40u);
    EXPECT_TRUE(s.hasAttractPoint);
    EXPECT_EQ(s.attractPoint, core::vector3df(1, 2, 3));
    EXPECT_FLOAT_EQ(s.attractSpeed, 4.0f);
    EXPECT_EQ(s.pivotRotationSpeed, core::vector3df(0, 5, 0));
    EXPECT_EQ(s.pivotRotationPosition, core::vector3df(6, 0, 0));
    EXPECT_FLOAT_EQ(s.rotationSpeed, 7.0f);
}

// An attract point is written with its speed only when set, and read back into the attraction.
TEST_F(WorldEffectsTest, AnAttractPointReadsBackIntoTheAttraction) {
    for (const bool attracts : {true, false}) {
        SCOPED_TRACE(attracts);
        ParticleObject* object = makeParticles();
        object->settings.hasAttractPoint = attracts;
        object->settings.attractPoint.set(1, 2, 3);
        object->settings.attractSpeed = 4.0f;
        io::IAttributes* stored = device->getFileSystem()->createEmptyAttributes();
        object->serializeAttributes(stored);
        EXPECT_EQ(stored->existsAttribute("AttractPoint"), attracts);
        EXPECT_EQ(stored->existsAttribute("AttractSpeed"), attracts);
        ParticleObject* read = makeParticles();
        read->deserializeAttributes(stored);
        stored->drop();
        EXPECT_EQ(read->settings.hasAttractPoint, attracts);
        EXPECT_EQ(read->settings.attractPoint, attracts ? core::vector3df(1, 2, 3) : core::vector3df(0, 0, 0));
        EXPECT_FLOAT_EQ(read->settings.attractSpeed, attracts ? 4.0f : 1.0f);
        scene::IParticleAttractionAffector* attraction = nullptr;
        for (scene::IParticleAffector* affector : read->getParticleNode()->getAffectors())
            if (affector->getType() == scene::EPAT_ATTRACT)
                attraction = static_cast<scene::IParticleAttractionAffector*>(affector);
        ASSERT_EQ(attraction != nullptr, attracts);
        if (attraction) {
            EXPECT_EQ(attraction->getPoint(), core::vector3df(1, 2, 3));
        }
    }
}

TEST_F(WorldEffectsTest, BillboardSizeColoursAndKeys) {
    auto* billboard = new BillboardObject(scene()->getRootSceneNode(), scene(), -1);
    billboard->drop();
    EXPECT_EQ(billboard->getType(), typeId("bill"));
    EXPECT_EQ(billboard->getSize(), core::dimension2df(6, 6));
    EXPECT_TRUE(billboard->isFacingCamera());
    billboard->setSize(core::dimension2df(0, 5));
    EXPECT_EQ(billboard->getSize(), core::dimension2df(1, 5));
    billboard->setSize(core::dimension2df(5, 0));
    EXPECT_EQ(billboard->getSize(), core::dimension2df(5, 1));
    billboard->setColor(video::SColor(255, 1, 2, 3));
    for (u32 i = 0; i < 4; ++i)
        EXPECT_EQ(billboard->getVertices()[i].Color, video::SColor(255, 1, 2, 3)) << i;
    billboard->setSize(core::dimension2df(0, 5));
    EXPECT_FLOAT_EQ(billboard->getBoundingBox().MaxEdge.X, 1.0f);

    attributes->addFloat("Width", 4.0f);
    attributes->addFloat("Height", 2.0f);
    attributes->addColor("Shade_Top", video::SColor(255, 255, 0, 0));
    attributes->addColor("Shade_Down", video::SColor(255, 0, 0, 255));
    billboard->setFaceCamera(false);
    billboard->deserializeAttributes(attributes);
    EXPECT_FALSE(billboard->isFacingCamera()); // kept without the key
    video::SColor top, bottom;
    billboard->getColor(top, bottom);
    EXPECT_EQ(top, video::SColor(255, 255, 0, 0));
    EXPECT_EQ(bottom, video::SColor(255, 0, 0, 255));
    // The top colour sits on the vertices with texture v = 0.
    EXPECT_EQ(billboard->getVertices()[1].TCoords.Y, 0.0f);
    EXPECT_EQ(billboard->getVertices()[1].Color, top);
    EXPECT_EQ(billboard->getVertices()[3].TCoords.Y, 1.0f);
    EXPECT_EQ(billboard->getVertices()[3].Color, bottom);
}

// A copy belongs to its parent alone, as every copied level object does: removed, it is freed.
TEST_F(WorldEffectsTest, ABillboardCopyBelongsToItsParentAlone) {
    auto* billboard = new BillboardObject(scene()->getRootSceneNode(), scene(), -1);
    billboard->drop();
    billboard->setFaceCamera(false);
    scene::ISceneNode* copy = billboard->clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getReferenceCount(), 1);
    EXPECT_EQ(copy->getParent(), billboard->getParent());
    EXPECT_FALSE(static_cast<BillboardObject*>(copy)->isFacingCamera());
}

// Written keys read back into a fresh billboard, both ways of its camera switch.
TEST_F(WorldEffectsTest, BillboardKeysReadBackBothWays) {
    const video::SColor top(255, 255, 0, 0);
    const video::SColor bottom(255, 0, 0, 255);
    for (const bool facing : {true, false}) {
        SCOPED_TRACE(facing);
        auto* billboard = new BillboardObject(scene()->getRootSceneNode(), scene(), -1);
        billboard->drop();
        billboard->setFaceCamera(facing);
        billboard->setColor(top, bottom);
        io::IAttributes* stored = device->getFileSystem()->createEmptyAttributes();
        billboard->serializeAttributes(stored);
        auto* read = new BillboardObject(scene()->getRootSceneNode(), scene(), -1);
        read->drop();
        read->setFaceCamera(!facing);
        read->deserializeAttributes(stored);
        stored->drop();
        EXPECT_EQ(read->isFacingCamera(), facing);
        video::SColor readTop, readBottom;
        read->getColor(readTop, readBottom);
        EXPECT_EQ(readTop, top);
        EXPECT_EQ(readBottom, bottom);
    }
}

// Shown again after hiding, a billboard runs its animators at once, so that it appears where
// they place it; shown while showing, it does not.
TEST_F(WorldEffectsTest, AShownBillboardRunsItsAnimatorsOnce) {
    struct Counting : scene::ISceneNodeAnimator {
        void animateNode(scene::ISceneNode*, u32) override { ++runs; }
        scene::ISceneNodeAnimator* createClone(scene::ISceneNode*, scene::ISceneManager*) override { return nullptr; }
        int runs = 0;
    };
    auto* billboard = new BillboardObject(scene()->getRootSceneNode(), scene(), -1);
    billboard->drop();
    auto* animator = new Counting();
    billboard->addAnimator(animator);
    animator->drop();
    billboard->setVisible(true);
    EXPECT_EQ(animator->runs, 0);
    billboard->setVisible(false);
    billboard->setVisible(true);
    EXPECT_EQ(animator->runs, 1);
}

TEST_F(WorldEffectsTest, BillboardFacesTheCamera) {
    auto* billboard = new BillboardObject(scene()->getRootSceneNode(), scene(), -1, core::vector3df(0, 0, 0),
                                          core::dimension2df(4, 2));
    billboard->drop();
    billboard->updateAbsolutePosition();
    scene::ICameraSceneNode* camera = scene()->addCameraSceneNode(nullptr, core::vector3df(0, 0, -10));
    const struct {
        core::vector3df cameraPos;
    } views[] = {{core::vector3df(0, 0, -10)}, {core::vector3df(10, 0, 0)}, {core::vector3df(0, 10, 0)}};
    for (const auto& v : views) {
        camera->setPosition(v.cameraPos);
        camera->setTarget(core::vector3df(0, 0, 0));
        camera->updateAbsolutePosition();
        billboard->render();
        const video::S3DVertex* q = billboard->getVertices();
        const core::vector3df toCamera = core::vector3df(v.cameraPos).normalize();
        // The quad is perpendicular to the view and spans the size.
        EXPECT_NEAR((q[0].Pos - q[3].Pos).dotProduct(toCamera), 0.0f, 1e-4f);
        EXPECT_NEAR((q[0].Pos - q[1].Pos).dotProduct(toCamera), 0.0f, 1e-4f);
        EXPECT_NEAR((q[0].Pos - q[3].Pos).getLength(), 4.0f, 1e-4f);
        EXPECT_NEAR((q[0].Pos - q[1].Pos).getLength(), 2.0f, 1e-4f);
        EXPECT_TRUE(q[0].Normal.equals(toCamera, 1e-4f));
    }
    // Not facing the camera, it faces along its node's turned -Z wherever the camera stands.
    billboard->setFaceCamera(false);
    billboard->setRotation(core::vector3df(0, 90, 0));
    billboard->updateAbsolutePosition();
    billboard->render();
    const video::S3DVertex* q = billboard->getVertices();
    EXPECT_TRUE(q[0].Normal.equals(core::vector3df(-1, 0, 0), 1e-4f));
    EXPECT_NEAR(std::fabs(q[0].Pos.Z - q[3].Pos.Z), 4.0f, 1e-4f);
    EXPECT_NEAR(std::fabs(q[0].Pos.Y - q[1].Pos.Y), 2.0f, 1e-4f);
    EXPECT_NEAR(q[0].Pos.X, 0.0f, 1e-4f);
}

} // namespace
