// The demonstration level on the OpenGL driver: its physics objects fall onto the floor
// and come to rest there, drawn where their bodies lie. A crate drawn without shaders shows
// its texture scaled and offset by its material's texture transform.
// PADDLESTONE_KEEP_SCREENSHOT=/path/physics.png keeps the picture (physics-texture.png the
// crate's).
#include "PhysicsGlStage.h"

#include "physics/objects/PhysicsObject.h"

#include "core/CoreSlots.h"
#include "core/Globals.h"
#include "level/LevelHooks.h"
#include "render/ShaderManager.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace irr;

namespace {

TEST(PhysicsLevelGlTest, TheDemonstrationLevelRestsOnItsFloor) {
    test::ScopedWorkingDir workingDir(test::sourceDir());
    PhysicsGlStage stage(800, 450);
    ASSERT_NE(stage.device, nullptr) << "no OpenGL device (run under Xvfb)";
    ASSERT_TRUE(stage.ready());
    ASSERT_TRUE(stage.load("Content/Levels/PhysicsDemo.irr"));
    scene::ICameraSceneNode* camera =
        stage.smgr->addCameraSceneNode(nullptr, core::vector3df(0, 7, -16), core::vector3df(0, 0.5f, 1));
    stage.play(400);
    const video::SColor background(255, 90, 120, 160);
    video::IImage* shot = stage.drawAndShoot(background);
    ASSERT_NE(shot, nullptr);
    if (const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT"))
        stage.driver->writeImageToFile(shot, keep);

    // Each object is drawn where its body lies, on the floor, not in the sky.
    scene::ISceneCollisionManager* collision = stage.smgr->getSceneCollisionManager();
    for (const char* name : {"Crate", "Ball", "Barrel", "Pill", "Rock", "StackedCrate"}) {
        auto* object = asPhysicsObject(stage.smgr->getSceneNodeFromName(name));
        ASSERT_NE(object, nullptr) << name;
        const core::vector3df centre = object->getMeshNode()->getTransformedBoundingBox().getCenter();
        EXPECT_LT(centre.Y, 2.5f) << name << " rests low";
        const core::position2di at = collision->getScreenCoordinatesFrom3DPosition(centre, camera);
        ASSERT_TRUE(at.X >= 0 && at.Y >= 0 && at.X < 800 && at.Y < 450) << name;
        const video::SColor pixel = shot->getPixel(static_cast<u32>(at.X), static_cast<u32>(at.Y));
        EXPECT_NE(pixel.color & 0xFFFFFF, background.color & 0xFFFFFF) << name << " is drawn";
    }
    // The floor fills the lower middle of the picture, the sky the top.
    EXPECT_NE(shot->getPixel(400, 400).color & 0xFFFFFF, background.color & 0xFFFFFF);
    EXPECT_EQ(shot->getPixel(400, 5).color & 0xFFFFFF, background.color & 0xFFFFFF);
    shot->drop();
}

// The crate's near face carries a 2 x 2 checker; its material's transform is scale 2, offset
// 0.25 and a turn of 45 degrees, which the fixed-function draw leaves out: the face shows
// 4 x 4 cells, shifted by half a cell, square to its edges. The face is sampled at five
// points a side, each inside one cell: neighbours differ, and cells of one parity match.
TEST(PhysicsLevelGlTest, WithoutShadersACrateShowsItsTextureScaledAndOffsetButNotTurned) {
    test::ScopedWorkingDir workingDir(test::sourceDir());
    PhysicsGlStage stage(400, 400);
    ASSERT_NE(stage.device, nullptr) << "no OpenGL device (run under Xvfb)";
    ASSERT_TRUE(stage.ready());
    ShaderManager shaders; // shader level 0: fixed function
    struct Installed {
        explicit Installed(ShaderManager* manager) { shaderManager = manager; }
        ~Installed() { shaderManager = nullptr; }
    } installed(&shaders);
    auto* crate = new PhysicsObject(stage.smgr->getRootSceneNode(), stage.smgr, -1);
    crate->drop();
    io::IAttributes* keys = stage.device->getFileSystem()->createEmptyAttributes();
    keys->addString("MeshFileName", "Content/Models/Props/Crate.obj");
    keys->addEnum("BoundType", "Box", boundTypeNames);
    keys->addEnum("PhysicsState", "Static", physicsStateNames);
    keys->addBool("DisableAntialiasing", true);
    crate->deserializeAttributes(keys);
    keys->drop();
    ASSERT_GT(crate->getMaterialCount(), 0u);

    video::IImage* checker = stage.driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(64, 64));
    for (u32 y = 0; y < 64; ++y)
        for (u32 x = 0; x < 64; ++x)
            checker->setPixel(x, y, (x / 32 + y / 32) % 2 ? video::SColor(255, 240, 220, 40) : video::SColor(255, 160, 30, 30));
    stage.driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
    video::ITexture* texture = stage.driver->addTexture("checker", checker);
    checker->drop();
    ASSERT_NE(texture, nullptr);
    video::SMaterial& material = crate->getMaterial(0);
    material.setTexture(0, texture);
    material.Lighting = false;
    material.setFlag(video::EMF_BILINEAR_FILTER, false);
    core::matrix4 turned;
    turned.buildTextureTransform(core::PI / 4.0f, core::vector2df(0, 0), core::vector2df(0.25f, 0.25f),
                                 core::vector2df(2, 2));
    material.setTextureMatrix(0, turned);

    scene::ICameraSceneNode* camera =
        stage.smgr->addCameraSceneNode(nullptr, core::vector3df(0, 0, -4), core::vector3df(0, 0, 0));
    stage.play(1);
    video::IImage* shot = stage.drawAndShoot(video::SColor(255, 90, 120, 160));
    ASSERT_NE(shot, nullptr);
    if (const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT")) {
        std::string path(keep);
        stage.driver->writeImageToFile(shot, (path.substr(0, path.rfind('/') + 1) + "physics-texture.png").c_str());
    }
    // Texture coordinates 2 q + 0.25 put the cell edges at q = 1/8, 3/8, 5/8 and 7/8.
    const f32 along[5] = {0.0625f, 0.25f, 0.5f, 0.75f, 0.9375f};
    video::SColor cells[5][5];
    scene::ISceneCollisionManager* collision = stage.smgr->getSceneCollisionManager();
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j) {
            const core::vector3df point(-1.0f + 2.0f * along[i], -1.0f + 2.0f * along[j], -1.0f);
            const core::position2di at = collision->getScreenCoordinatesFrom3DPosition(point, camera);
            ASSERT_TRUE(at.X > 0 && at.Y > 0 && at.X < 400 && at.Y < 400);
            cells[i][j] = shot->getPixel(static_cast<u32>(at.X), static_cast<u32>(at.Y));
        }
    shot->drop();
    auto same = [](video::SColor a, video::SColor b) {
        auto apart = [](u32 x, u32 y) { return x > y ? x - y : y - x; };
        return apart(a.getRed(), b.getRed()) + apart(a.getGreen(), b.getGreen()) + apart(a.getBlue(), b.getBlue()) < 24;
    };
    EXPECT_FALSE(same(cells[0][0], cells[1][0])) << "two colours";
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j)
            EXPECT_TRUE(same(cells[i][j], cells[(i + j) % 2][0])) << i << " " << j;
}

// An object drawn with six copies merges them into one mesh of its own, in no cache, whose
// buffer the driver copies to the card: the driver lets go of it with its object, whatever
// comes next (another level, or the same level loaded again).
TEST(PhysicsLevelGlTest, AMergedMeshOfCopiesLeavesTheDriverWithItsObject) {
    test::TempDir dir;
    test::ScopedWorkingDir workingDir(dir.path());
    // 100 vertices a copy: seven copies pass the driver's least count for a buffer on the card.
    std::string sheet;
    for (int i = 0; i < 100; ++i)
        sheet += "v " + std::to_string(i % 10) + " " + std::to_string(i / 10) + " " + std::to_string(i % 3) + "\n";
    for (int i = 1; i + 11 <= 100; ++i)
        if (i % 10 != 0)
            sheet += "f " + std::to_string(i) + " " + std::to_string(i + 1) + " " + std::to_string(i + 11) + "\n";
    ASSERT_TRUE(test::writeFileBytes(dir.file("Sheet.obj"), sheet));
    std::string level = "<?xml version=\"1.0\"?>\n<irr_scene>\n<node type=\"PhysicsObject\"><attributes><string name=\"Name\" "
                        "value=\"Source\" /><int name=\"Id\" value=\"500\" /><string name=\"MeshFileName\" value=\"Sheet.obj\" />"
                        "<enum name=\"BoundType\" value=\"Box\" /><enum name=\"PhysicsState\" value=\"Static\" /></attributes></node>\n";
    for (int i = 1; i <= 6; ++i)
        level += "<node type=\"InstancedObject\"><attributes><vector3d name=\"Position\" value=\"" + std::to_string(12 * i) +
                 ", 0, 0\" /><int name=\"ObjectID\" value=\"500\" /></attributes></node>\n";
    ASSERT_TRUE(test::writeFileBytes(dir.file("Copies.irr"), level + "</irr_scene>\n"));
    ASSERT_TRUE(test::writeFileBytes(dir.file("Empty.irr"), "<?xml version=\"1.0\"?>\n<irr_scene>\n</irr_scene>\n"));
    PhysicsGlStage stage(320, 180);
    ASSERT_NE(stage.device, nullptr) << "no OpenGL device (run under Xvfb)";
    ASSERT_TRUE(stage.ready());
    levelHooks().render.isInstancingEnabled = [] { return true; };
    coreSlots().physics.isSimulationActive = [] { return true; };
    // A level's unload: its nodes go, and the physics scene is made anew.
    const auto unload = [&stage] {
        stage.smgr->clear();
        physicsManager->resetScene();
    };
    for (const char* next : {"Empty.irr", "Copies.irr"}) {
        SCOPED_TRACE(next);
        unload();
        ASSERT_TRUE(stage.load("Copies.irr"));
        levelManager->rebuildNodeIDs(); // the instances find their source by its ID
        stage.smgr->addCameraSceneNode(nullptr, core::vector3df(36, 5, -60), core::vector3df(36, 5, 0));
        auto* source = asPhysicsObject(stage.smgr->getSceneNodeFromName("Source"));
        ASSERT_NE(source, nullptr);
        for (int frame = 0; frame < 100 && !source->getInstancedMeshNode(); ++frame)
            stage.play(1);
        ASSERT_NE(source->getInstancedMeshNode(), nullptr);
        scene::IMeshBuffer* merged =
            static_cast<scene::IAnimatedMeshSceneNode*>(source->getInstancedMeshNode())->getMesh()->getMeshBuffer(0);
        merged->grab();
        const s32 unDrawn = merged->getReferenceCount();
        stage.drawAndShoot(video::SColor(255, 0, 0, 0))->drop();
        EXPECT_EQ(merged->getReferenceCount(), unDrawn + 1) << "the driver holds its copy";
        unload();
        ASSERT_TRUE(stage.load(next));
        stage.play(1);
        stage.drawAndShoot(video::SColor(255, 0, 0, 0))->drop();
        EXPECT_EQ(merged->getReferenceCount(), 1) << "held by this test alone";
        merged->drop();
    }
    levelHooks().render.isInstancingEnabled = nullptr;
    coreSlots().physics.isSimulationActive = nullptr;
}

} // namespace
