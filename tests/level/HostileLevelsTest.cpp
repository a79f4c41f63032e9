// Level files a hostile user level can hand the game: each must load what it can, or be
// refused with its log line, without a crash, a hang or work beyond a stated bound.
#include "LevelTestSupport.h"

#include "core/FileChecks.h"
#include "level/LevelFile.h"
#include "level/LevelLimits.h"
#include "render/ParticleSystemNode.h"

#include <irrlicht.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace irr;

namespace {

class HostileLevelsTest : public test::LevelFixture {
protected:
    void SetUp() override {
        LevelFixture::SetUp();
        workingDir = std::make_unique<test::ScopedWorkingDir>(temp.path());
        forgetFileRefusals();
    }
    void write(const std::string& name, const std::string& bytes) {
        std::filesystem::create_directories(std::filesystem::path(temp.file(name)).parent_path());
        ASSERT_TRUE(test::writeFileBytes(temp.file(name), bytes));
    }
    std::size_t linesContaining(const std::string& part) const {
        std::size_t count = 0;
        for (const std::string& line : log.lines)
            count += line.find(part) != std::string::npos ? 1 : 0;
        return count;
    }
};

// --- what a level may ask of the engine and the game ----------------------------------------

std::string nodeXml(const std::string& type, s32 id, const std::string& extra = "") {
    return "<node type=\"" + type + "\"><attributes><string name=\"Name\" value=\"N" + std::to_string(id) +
           "\" /><int name=\"Id\" value=\"" + std::to_string(id) + "\" />" + extra + "</attributes></node>\n";
}

std::string sceneXml(const std::string& nodes) {
    return "<?xml version=\"1.0\"?>\n<irr_scene>\n" + nodes + "</irr_scene>\n";
}

TEST_F(HostileLevelsTest, OnlyTheEngineNodeTypesTheContentUsesAreMade) {
    const std::vector<std::string> made = {"cube", "sphere", "light", "camera", "mesh", "empty"};
    const std::vector<std::string> refused = {"terrain", "particleSystem", "animatedMesh", "billboard",
                                              "skyBox",  "skyDome",        "octTree",      "waterSurface",
                                              "text",    "Cube",           "dummyTransformation"};
    std::string nodes;
    s32 id = 100;
    for (const std::string& type : made)
        nodes += nodeXml(type, id++);
    for (const std::string& type : refused)
        nodes += nodeXml(type, id++);
    write("Types.irr", sceneXml(nodes));
    ASSERT_TRUE(manager->loadLevel("Types.irr"));

    id = 100;
    for (const std::string& type : made)
        EXPECT_NE(smgr()->getSceneNodeFromId(id++), nullptr) << type;
    for (const std::string& type : refused) {
        EXPECT_EQ(smgr()->getSceneNodeFromId(id++), nullptr) << type;
        EXPECT_EQ(linesContaining("Warning: Skipped a scene node of unknown type: " + type), 1u) << type;
    }
}

TEST_F(HostileLevelsTest, SphereTessellationIsClampedOnItsBoundsWithOneLineEach) {
    struct Row {
        s32 given;
        s32 kept;
    };
    const Row rows[] = {{0, 0}, {-1, 0}, {128, 128}, {129, 128}, {2147483647, 128}};
    std::string nodes;
    s32 id = 200;
    for (const Row& row : rows)
        nodes += nodeXml("sphere", id++,
                         "<float name=\"Radius\" value=\"1\" /><int name=\"PolyCountX\" value=\"" +
                             std::to_string(row.given) + "\" /><int name=\"PolyCountY\" value=\"16\" />");
    write("Spheres.irr", sceneXml(nodes));
    ASSERT_TRUE(manager->loadLevel("Spheres.irr"));

    id = 200;
    for (const Row& row : rows) {
        scene::ISceneNode* sphere = smgr()->getSceneNodeFromId(id);
        ASSERT_NE(sphere, nullptr) << row.given;
        io::IAttributes* written = smgr()->getFileSystem()->createEmptyAttributes();
        sphere->serializeAttributes(written);
        EXPECT_EQ(written->getAttributeAsInt("PolyCountX"), row.kept) << row.given;
        written->drop();
        const std::string line = "Warning: Level object \"N" + std::to_string(id) + "\" (sphere): PolyCountX " +
                                 std::to_string(row.given) + " clamped to " + std::to_string(row.kept) +
                                 " (allowed 0 to 128)";
        EXPECT_EQ(log.contains(line), row.given != row.kept) << line;
        ++id;
    }
    EXPECT_EQ(linesContaining("clamped to"), 3u);
}

TEST_F(HostileLevelsTest, CountsSizesAndRatesOfTheGamesObjectsAreClamped) {
    io::IAttributes* in = smgr()->getFileSystem()->createEmptyAttributes();
    in->addString("Name", "Hostile");
    in->addInt("MinParticlesPerSecond", -5);
    in->addInt("MaxParticlesPerSecond", 2147483647);
    in->addPosition2d("ParticlesPerSecond", core::position2di(16250, 16251));
    in->addInt("FontSize", 0);
    in->addInt("PoolSize", 257);
    in->addInt("JointCount", 64);
    in->addDimension2d("RenderTargetSize", core::dimension2du(8192, 512));
    clampLevelAttributes("AnyObject", in);
    EXPECT_EQ(in->getAttributeAsInt("MinParticlesPerSecond"), 0);
    EXPECT_EQ(in->getAttributeAsInt("MaxParticlesPerSecond"), 16250);
    EXPECT_EQ(in->getAttributeAsPosition2d("ParticlesPerSecond"), core::position2di(16250, 16250));
    EXPECT_EQ(in->getAttributeAsInt("FontSize"), 1);
    EXPECT_EQ(in->getAttributeAsInt("PoolSize"), 256);
    EXPECT_EQ(in->getAttributeAsInt("JointCount"), 64) << "on the bound: kept";
    EXPECT_EQ(in->getAttributeAsDimension2d("RenderTargetSize"), core::dimension2du(4096, 512));
    EXPECT_EQ(linesContaining("Warning: Level object \"Hostile\" (AnyObject): "), 6u);
    EXPECT_TRUE(log.contains("Warning: Level object \"Hostile\" (AnyObject): ParticlesPerSecond 16250, 16251 "
                             "clamped to 16250, 16250 (allowed 0 to 16250)"));
    in->drop();
}

TEST_F(HostileLevelsTest, AParticleEmitterNeverRunsFasterThanItsSystemHolds) {
    scene::IParticleSystemSceneNode* factory = smgr()->addParticleSystemSceneNode(false);
    auto* system = new ParticleSystemNode(root(), smgr());
    scene::IParticleEmitter* emitter =
        factory->createBoxEmitter(core::aabbox3df(-1, -1, -1, 1, 1, 1), core::vector3df(0, 0.01f, 0), 1000000,
                                  2000000, video::SColor(255, 255, 255, 255), video::SColor(255, 255, 255, 255), 100000,
                                  100000);
    system->setEmitter(emitter);
    EXPECT_EQ(emitter->getMaxParticlesPerSecond(), ParticleSystemNode::maxParticles);
    EXPECT_EQ(emitter->getMinParticlesPerSecond(), ParticleSystemNode::maxParticles);
    // A rate raised after the emitter was set is held before the next particles are made.
    emitter->setMaxParticlesPerSecond(2000000000);
    system->doParticleSystem(1000);
    system->doParticleSystem(1100);
    EXPECT_EQ(emitter->getMaxParticlesPerSecond(), ParticleSystemNode::maxParticles);
    EXPECT_GT(system->getParticleCount(), 0u);
    EXPECT_LE(system->getParticleCount(), ParticleSystemNode::maxParticles);
    emitter->drop();
    system->remove();
    system->drop();
    factory->remove();
}

} // namespace
