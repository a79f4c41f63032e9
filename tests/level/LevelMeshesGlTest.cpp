// A level's meshes given back on the OpenGL driver, which copies their buffers to the card.

#include "level/MeshGate.h"

#include "support/GraphicsDriver.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace irr;

namespace {

// A mesh of two buffers (two materials), each drawn once and so copied to the card: given back,
// neither copy stays in the driver, the last buffer's too.
TEST(LevelMeshesGlTest, AMeshGivenBackLeavesNoBufferOnTheCard) {
    test::TempDir dir;
    test::ScopedWorkingDir workingDir(dir.path());
    const std::string quad = "v 0 0 0\nv 1 0 0\nv 1 0 1\nv 0 0 1\n";
    ASSERT_TRUE(test::writeFileBytes(dir.file("Two.mtl"), "newmtl red\nKd 1 0 0\nnewmtl blue\nKd 0 0 1\n"));
    ASSERT_TRUE(test::writeFileBytes(dir.file("Two.obj"), "mtllib Two.mtl\n" + quad +
                                                              "usemtl red\nf 1 2 3\nusemtl blue\nf 1 3 4\n"));
    IrrlichtDevice* device = test::createOpenGLTestDevice(core::dimension2du(32, 32));
    ASSERT_NE(device, nullptr) << "no OpenGL device (run under Xvfb)";
    scene::ISceneManager* smgr = device->getSceneManager();
    video::IVideoDriver* driver = smgr->getVideoDriver();
    registerMeshGate(smgr);
    driver->setMinHardwareBufferVertexCount(0); // buffers this small go to the card too
    scene::IAnimatedMesh* mesh = getGameMesh(smgr, "Two.obj");
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->getMeshBufferCount(), 2u);
    mesh->setHardwareMappingHint(scene::EHM_STATIC);
    std::vector<scene::IMeshBuffer*> buffers;
    driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
    for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
        scene::IMeshBuffer* buffer = mesh->getMeshBuffer(i);
        buffer->grab();
        buffers.push_back(buffer);
        const s32 unDrawn = buffer->getReferenceCount();
        driver->setMaterial(buffer->getMaterial());
        driver->drawMeshBuffer(buffer);
        EXPECT_EQ(buffer->getReferenceCount(), unDrawn + 1) << "the driver holds buffer " << i << "'s copy";
    }
    driver->endScene();
    releaseLevelMeshes(smgr);
    for (std::size_t i = 0; i < buffers.size(); ++i) {
        EXPECT_EQ(buffers[i]->getReferenceCount(), 1) << "buffer " << i << " held by this test alone";
        buffers[i]->drop();
    }
    device->drop();
}

} // namespace
