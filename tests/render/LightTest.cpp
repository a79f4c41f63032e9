// Light objects (defaults, boxes, attributes, clone, visibility) and the light manager's
// choice per drawn node (nearest first up to the level's count, box and zone tests),
// also through the scene manager's drawAll with lights read from a level file.
#include "render/LightManager.h"
#include "render/LightObject.h"
#include "render/RenderRegistration.h"

#include "core/Globals.h"
#include "level/LevelHooks.h"
#include "level/LevelInfo.h"
#include "level/SceneNodeFactory.h"
#include "level/SubLevelObject.h"
#include "support/TempDir.h"
#include "support/NullDevice.h"

#include "RenderFixture.h"

#include <gtest/gtest.h>

#include <utility>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

using namespace irr;

namespace {

class LightTest : public ::testing::Test {
protected:
    void SetUp() override {
        rendertest::resetRenderGlobals();
        gameDevice = device.get();
        scene = device->getSceneManager();
    }
    void TearDown() override {
        scene->setLightManager(nullptr);
        rendertest::resetRenderGlobals();
    }
    LightObject* addLight(const core::vector3df& position, f32 radius) {
        auto* light = new LightObject(scene->getRootSceneNode(), scene, -1, position, radius);
        light->drop();
        light->updateAbsolutePosition();
        return light;
    }
    scene::ISceneNode* addCube(const core::vector3df& position) {
        scene::ISceneNode* cube = scene->addCubeSceneNode(2.0f, nullptr, -1, position);
        cube->updateAbsolutePosition();
        return cube;
    }
    test::NullDevice device;
    scene::ISceneManager* scene = nullptr;
};

TEST_F(LightTest, FactoryLightHasTheSpecifiedDefaults) {
    LightObject* light = addLight(core::vector3df(0, 0, 0), 100.0f);
    const video::SLight& data = light->getLightData();
    EXPECT_EQ(light->getType(), scene::ESNT_LIGHT);
    EXPECT_EQ(data.Type, video::ELT_POINT);
    EXPECT_FLOAT_EQ(data.Attenuation.Y, 0.01f);
    EXPECT_FLOAT_EQ(data.SpecularColor.r, 1.0f);
    EXPECT_FLOAT_EQ(data.OuterCone, 45.0f);
    EXPECT_FLOAT_EQ(data.Falloff, 2.0f);
    EXPECT_TRUE(data.CastShadows);
    EXPECT_EQ(light->getBoundingBox(), core::aabbox3df(-150, -150, -150, 150, 150, 150));
    EXPECT_EQ(light->getAutomaticCulling(), scene::EAC_FRUSTUM_BOX);
    EXPECT_EQ(light->getPriority(), LightObject::PriorityMedium);
    light->setLightType(video::ELT_DIRECTIONAL);
    light->doLightRecalc();
    EXPECT_EQ(light->getBoundingBox(), core::aabbox3df(0, 0, 0, 0, 0, 0));
    EXPECT_EQ(light->getAutomaticCulling(), scene::EAC_OFF);
    light->setRadius(10.0f);
    EXPECT_FLOAT_EQ(light->getLightData().Attenuation.Y, 0.1f);
}

// Spot and directional lights shine along their node's turned Z axis; a spot light, like a
// point light, stands where its node stands and reaches one and a half radii.
TEST_F(LightTest, SpotAndDirectionalLightsShineAlongTheirNode) {
    for (const video::E_LIGHT_TYPE type : {video::ELT_SPOT, video::ELT_DIRECTIONAL}) {
        SCOPED_TRACE(type);
        LightObject* light = addLight(core::vector3df(0, 0, 0), 10.0f);
        light->setLightType(type);
        light->setPosition(core::vector3df(3, 4, 5));
        light->setRotation(core::vector3df(0, 90, 0));
        light->updateAbsolutePosition();
        light->doLightRecalc();
        const video::SLight& data = light->getLightData();
        EXPECT_NEAR(data.Direction.X, 1.0f, 1e-5f);
        EXPECT_NEAR(data.Direction.Z, 0.0f, 1e-5f);
        if (type == video::ELT_SPOT) {
            EXPECT_EQ(data.Position, core::vector3df(3, 4, 5));
            EXPECT_EQ(light->getBoundingBox(), core::aabbox3df(-15, -15, -15, 15, 15, 15));
        }
    }
}

TEST_F(LightTest, AttributesRoundTripWithoutPriorityAndKeepMissingOptionalKeys) {
    io::IAttributes* in = device->getFileSystem()->createEmptyAttributes(device->getVideoDriver());
    in->addColorf("AmbientColor", video::SColorf(0.1f, 0.2f, 0.3f, 1.0f));
    in->addColorf("DiffuseColor", video::SColorf(1.0f, 0.5f, 0.25f, 1.0f));
    in->addColorf("SpecularColor", video::SColorf(1, 1, 1, 1));
    in->addFloat("Radius", 40.0f);
    in->addBool("CastShadows", false);
    in->addEnum("LightType", "Spot", (const char* const[]){"Point", "Spot", "Directional", nullptr});
    in->addEnum("LightPriority", "High", (const char* const[]){"Low", "Medium", "High", nullptr});
    LightObject* light = addLight(core::vector3df(0, 0, 0), 100.0f);
    light->deserializeAttributes(in);
    in->drop();
    EXPECT_EQ(light->getLightType(), video::ELT_SPOT);
    EXPECT_EQ(light->getPriority(), LightObject::PriorityHigh);
    EXPECT_FLOAT_EQ(light->getRadius(), 40.0f);
    EXPECT_FLOAT_EQ(light->getLightData().Attenuation.Y, 0.01f); // reading Radius keeps the attenuation
    EXPECT_FALSE(light->getCastShadow());

    io::IAttributes* out = device->getFileSystem()->createEmptyAttributes(device->getVideoDriver());
    light->serializeAttributes(out);
    EXPECT_FALSE(out->existsAttribute("LightPriority"));
    EXPECT_STREQ(out->getAttributeAsEnumeration("LightType"), "Spot");
    EXPECT_FLOAT_EQ(out->getAttributeAsFloat("Radius"), 40.0f);
    EXPECT_TRUE(out->existsAttribute("VisibleInSublevelOnly"));
    EXPECT_EQ(out->findAttribute("VisibleInSublevelOnly") > out->findAttribute("Pickable"), true);
    out->drop();

    scene::ISceneNode* copy = light->clone();
    ASSERT_NE(copy, nullptr);
    auto* lightCopy = static_cast<LightObject*>(static_cast<scene::ILightSceneNode*>(copy));
    EXPECT_EQ(lightCopy->getPriority(), LightObject::PriorityHigh);
    EXPECT_EQ(lightCopy->getLightType(), video::ELT_SPOT);
    EXPECT_EQ(copy->getParent(), light->getParent());
}

// Every light type and priority is read by its name; a name the game does not know reads as
// a point light of low priority.
TEST_F(LightTest, TypesAndPrioritiesAreReadByName) {
    const struct Row {
        const char* type;
        video::E_LIGHT_TYPE lightType;
        const char* priority;
        s32 lightPriority;
    } rows[] = {{"Point", video::ELT_POINT, "Low", LightObject::PriorityLow},
                {"Spot", video::ELT_SPOT, "Medium", LightObject::PriorityMedium},
                {"Directional", video::ELT_DIRECTIONAL, "High", LightObject::PriorityHigh},
                {"Sun", video::ELT_POINT, "Highest", LightObject::PriorityLow}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        io::IAttributes* in = device->getFileSystem()->createEmptyAttributes(device->getVideoDriver());
        const char* const types[] = {"Point", "Spot", "Directional", "Sun", nullptr};
        const char* const priorities[] = {"Low", "Medium", "High", "Highest", nullptr};
        in->addEnum("LightType", row.type, types);
        in->addEnum("LightPriority", row.priority, priorities);
        LightObject* light = addLight(core::vector3df(0, 0, 0), 100.0f);
        light->setLightType(video::ELT_SPOT);
        light->deserializeAttributes(in);
        in->drop();
        EXPECT_EQ(light->getLightType(), row.lightType);
        EXPECT_EQ(light->getPriority(), row.lightPriority);
    }
}

// Each written key reads back into a fresh light under its own name, both ways of each
// switch; a copy keeps the sub-level flag.
TEST_F(LightTest, WrittenKeysReadBackIntoAFreshLight) {
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on);
        LightObject* light = addLight(core::vector3df(0, 0, 0), 20.0f);
        light->setVisibleInSublevelOnly(on);
        light->enableCastShadow(on);
        video::SLight& data = light->getLightData();
        data.OuterCone = 30.0f;
        data.InnerCone = 10.0f;
        data.Falloff = 3.0f;
        data.Attenuation = core::vector3df(1, 2, 3);
        io::IAttributes* stored = device->getFileSystem()->createEmptyAttributes(device->getVideoDriver());
        light->serializeAttributes(stored);
        LightObject* read = addLight(core::vector3df(0, 0, 0), 100.0f);
        read->setVisibleInSublevelOnly(!on);
        read->enableCastShadow(!on);
        read->deserializeAttributes(stored);
        stored->drop();
        EXPECT_EQ(read->isVisibleInSublevelOnly(), on);
        EXPECT_EQ(read->getCastShadow(), on);
        EXPECT_FLOAT_EQ(read->getLightData().OuterCone, 30.0f);
        EXPECT_FLOAT_EQ(read->getLightData().InnerCone, 10.0f);
        EXPECT_FLOAT_EQ(read->getLightData().Falloff, 3.0f);
        EXPECT_EQ(read->getLightData().Attenuation, core::vector3df(1, 2, 3));
        scene::ISceneNode* copy = light->clone();
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(static_cast<LightObject*>(static_cast<scene::ILightSceneNode*>(copy))->isVisibleInSublevelOnly(), on);
    }
}

TEST_F(LightTest, SetVisibleWithTheCurrentValueDoesNothing) {
    LightObject* light = addLight(core::vector3df(0, 0, 0), 10.0f);
    light->render(); // added to the driver
    EXPECT_GE(light->getDriverLightIndex(), 0);
    light->setVisible(true);
    EXPECT_TRUE(light->isVisible());
    light->setVisible(false);
    EXPECT_FALSE(light->isVisible());
}

// A light manager that notes, for every lit node drawn, which lights were on.
class RecordingLightManager : public LightManager {
public:
    using LightManager::LightManager;
    void OnNodePreRender(scene::ISceneNode* node) override {
        LightManager::OnNodePreRender(node);
        if (!lightList || node->getType() == scene::ESNT_LIGHT)
            return;
        std::vector<std::string>& on = lit[node->getName()];
        on.clear();
        for (u32 i = 0; i < lightList->size(); ++i)
            if ((*lightList)[i]->isVisible())
                on.push_back((*lightList)[i]->getName());
    }
    std::map<std::string, std::vector<std::string>> lit;
};

TEST_F(LightTest, NearestLightsUpToTheCountAreSwitchedOnPerNode) {
    auto* manager = new RecordingLightManager(scene);
    manager->maxLightsPerNode = 2;
    core::array<scene::ISceneNode*> lights;
    const f32 xs[4] = {10.0f, 3.0f, 6.0f, 40.0f};
    for (int i = 0; i < 4; ++i) {
        LightObject* light = addLight(core::vector3df(xs[i], 0, 0), 2.0f); // box +-3
        light->setName(("L" + std::to_string(i)).c_str());
        lights.push_back(light);
    }
    manager->OnPreRender(lights);
    scene::ISceneNode* cube = addCube(core::vector3df(0, 0, 0)); // box -1..1
    cube->setName("cube");
    // Light boxes: L0 7..13, L1 0..6, L2 3..9, L3 37..43; only L1 reaches the cube's -1..1.
    manager->OnNodePreRender(cube);
    ASSERT_EQ(manager->candidateLights.size(), 1u);
    EXPECT_EQ(manager->candidateLight(0), lights[1]);
    EXPECT_EQ(manager->currentNode, cube);

    // Larger lights (the next pass reads them): three candidates, two switched on, nearest first.
    for (u32 i = 0; i < 3; ++i)
        static_cast<LightObject*>(static_cast<scene::ILightSceneNode*>(lights[i]))->setRadius(10.0f);
    manager->OnPreRender(lights);
    manager->OnNodePreRender(cube);
    ASSERT_EQ(manager->candidateLights.size(), 3u);
    EXPECT_EQ(manager->candidateLight(0), lights[1]);
    EXPECT_EQ(manager->candidateLight(1), lights[2]);
    EXPECT_TRUE(lights[1]->isVisible());
    EXPECT_TRUE(lights[2]->isVisible());
    EXPECT_FALSE(lights[0]->isVisible());
    EXPECT_TRUE(lights[3]->isVisible()); // not a candidate: left as it was

    // A node type outside the lit kinds changes nothing, even far from every light.
    scene::ISceneNode* empty = scene->addEmptySceneNode();
    empty->setPosition(core::vector3df(500, 0, 0));
    empty->updateAbsolutePosition();
    manager->OnNodePreRender(empty);
    EXPECT_EQ(manager->candidateLights.size(), 3u);
    EXPECT_EQ(manager->currentNode, empty);

    // After the frame every light is on again.
    manager->OnPostRender();
    for (u32 i = 0; i < 4; ++i)
        EXPECT_TRUE(lights[i]->isVisible());
    manager->resetLights();
    EXPECT_EQ(lights.size(), 0u);
    EXPECT_EQ(manager->currentNode, nullptr);
    manager->drop();
}

// A node of a given type (a player's node, say) with nothing to draw.
class TypedEmptyNode : public scene::ISceneNode {
public:
    TypedEmptyNode(scene::ISceneNode* parent, scene::ISceneManager* manager, scene::ESCENE_NODE_TYPE type)
        : scene::ISceneNode(parent, manager), type(type) {}
    void render() override {}
    const core::aabbox3df& getBoundingBox() const override { return box; }
    scene::ESCENE_NODE_TYPE getType() const override { return type; }
    scene::ESCENE_NODE_TYPE type;
    core::aabbox3df box{0, 0, 0, 0, 0, 0};
};

// A player's figure takes its lights around the player's position (where its own box would
// put it does not count); another parent's figure takes them around its own box.
TEST_F(LightTest, APlayersFigureIsLitAroundThePlayersPosition) {
    auto* manager = new LightManager(scene);
    LightObject* light = addLight(core::vector3df(0, 0, 0), 2.0f); // box +-3
    core::array<scene::ISceneNode*> lights;
    lights.push_back(light);
    manager->OnPreRender(lights);
    scene::IMesh* cube = scene->getGeometryCreator()->createCubeMesh(core::vector3df(2, 2, 2));
    auto* mesh = new scene::SAnimatedMesh(cube);
    cube->drop();
    for (const bool player : {true, false}) {
        SCOPED_TRACE(player);
        auto* parent = new TypedEmptyNode(scene->getRootSceneNode(), scene,
                                          player ? typeId("plr1") : scene::ESNT_EMPTY);
        parent->drop();
        scene::IAnimatedMeshSceneNode* figure =
            scene->addAnimatedMeshSceneNode(mesh, parent, -1, core::vector3df(50, 0, 0));
        parent->updateAbsolutePosition();
        figure->updateAbsolutePosition();
        manager->OnNodePreRender(figure);
        EXPECT_EQ(manager->candidateLights.size(), player ? 1u : 0u);
        parent->remove();
    }
    mesh->drop();
    manager->drop();
}

// The level's count of lights per drawn node reaches the light manager; none is none and a
// negative count is none too.
TEST_F(LightTest, TheLevelsLightCountIsTheManagersWithNoneForZeroOrLess) {
    registerRenderSubsystem();
    auto* manager = new LightManager(scene);
    lightManager = manager;
    LevelSettings settings;
    for (const auto& [count, held] : {std::pair<s32, u32>{2, 2}, {0, 0}, {6, 6}, {-3, 0}, {1, 1}}) {
        settings.NumberOfLights = count;
        levelHooks().render.applyLevelSettings(settings);
        EXPECT_EQ(manager->maxLightsPerNode, held) << count;
    }
    lightManager = nullptr;
    manager->drop();
}

// A light that counts how often its radius is read (once per light box).
class CountingLight : public LightObject {
public:
    using LightObject::LightObject;
    f32 getRadius() const override {
        ++radiusReads;
        return LightObject::getRadius();
    }
    mutable int radiusReads = 0;
};

TEST_F(LightTest, LightBoxesAreReadOncePerPassAndEachNodesChoiceFollowsWhatMoved) {
    auto* manager = new LightManager(scene);
    manager->maxLightsPerNode = 1;
    core::array<scene::ISceneNode*> lights;
    std::vector<CountingLight*> counting;
    for (int i = 0; i < 8; ++i) {
        auto* light = new CountingLight(scene->getRootSceneNode(), scene, -1, core::vector3df(i * 4.0f, 0, 0), 2.0f);
        light->drop();
        lights.push_back(light);
        counting.push_back(light);
    }
    std::vector<scene::ISceneNode*> cubes;
    for (int i = 0; i < 50; ++i)
        cubes.push_back(addCube(core::vector3df((i % 8) * 4.0f, 0, 0)));
    auto reads = [&] {
        int total = 0;
        for (CountingLight* light : counting)
            total += std::exchange(light->radiusReads, 0);
        return total;
    };
    auto chosenFor = [&](scene::ISceneNode* node) {
        manager->OnNodePreRender(node);
        return manager->candidateLights.size() ? manager->candidateLight(0) : nullptr;
    };
    for (int pass = 0; pass < 3; ++pass) {
        manager->OnPreRender(lights);
        for (std::size_t i = 0; i < cubes.size(); ++i)
            ASSERT_EQ(chosenFor(cubes[i]), lights[static_cast<u32>(i % 8)]) << "pass " << pass << ", cube " << i;
        EXPECT_EQ(reads(), 8) << "pass " << pass << ": one read per light, however many nodes";
    }

    // A moved node chooses afresh; so does every node once a light moved (from the next pass).
    cubes[0]->setPosition(core::vector3df(8, 0, 0));
    cubes[0]->updateAbsolutePosition();
    EXPECT_EQ(chosenFor(cubes[0]), lights[2]);
    lights[3]->setPosition(core::vector3df(100, 0, 0));
    lights[3]->updateAbsolutePosition();
    EXPECT_EQ(chosenFor(cubes[3]), lights[3]) << "within a pass the lights stay as read";
    manager->OnPreRender(lights);
    EXPECT_NE(chosenFor(cubes[3]), lights[3]);
    // A choice made while more lights per node were allowed is made again for fewer: the
    // nearest light is the one left on.
    scene::ISceneNode* between = addCube(core::vector3df(4, 0, 0));
    manager->maxLightsPerNode = 3;
    manager->OnNodePreRender(between);
    manager->maxLightsPerNode = 1;
    EXPECT_EQ(chosenFor(between), lights[1]);
    EXPECT_TRUE(lights[1]->isVisible());
    EXPECT_FALSE(lights[0]->isVisible());
    EXPECT_FALSE(lights[2]->isVisible());
    // Fewer lights per node: a choice of more than one light is ordered afresh.
    manager->maxLightsPerNode = 0;
    manager->OnNodePreRender(cubes[1]);
    EXPECT_FALSE(lights[1]->isVisible());
    manager->drop();
}

TEST_F(LightTest, BoxesTouchingOnAFaceCount) {
    // Each light's box (1..7 from the cube's centre) touches one face of the cube (ends at 1).
    const core::vector3df places[] = {{4, 0, 0}, {-4, 0, 0}, {0, 4, 0}, {0, -4, 0}, {0, 0, 4}, {0, 0, -4}};
    for (const core::vector3df& at : places) {
        SCOPED_TRACE(std::to_string(at.X) + " " + std::to_string(at.Y) + " " + std::to_string(at.Z));
        auto* manager = new LightManager(scene);
        core::array<scene::ISceneNode*> lights;
        lights.push_back(addLight(at, 2.0f));
        manager->OnPreRender(lights);
        manager->OnNodePreRender(addCube(core::vector3df(0, 0, 0)));
        EXPECT_EQ(manager->candidateLights.size(), 1u);
        manager->drop();
    }
}

TEST_F(LightTest, LightsFromALevelFileAreChosenPerNodeDuringDrawAll) {
    registerLightObjectType();
    registerSceneNodeFactory(scene);
    const char* level = R"(<?xml version="1.0"?>
<irr_scene>
  <node type="light"><attributes>
    <string name="Name" value="Left" /><vector3d name="Position" value="-20.0, 0.0, 0.0" />
    <colorf name="AmbientColor" value="0, 0, 0, 1" /><colorf name="DiffuseColor" value="1, 1, 1, 1" />
    <colorf name="SpecularColor" value="1, 1, 1, 1" /><float name="Radius" value="5.0" />
    <bool name="CastShadows" value="true" /><enum name="LightType" value="Point" />
  </attributes></node>
  <node type="light"><attributes>
    <string name="Name" value="Right" /><vector3d name="Position" value="20.0, 0.0, 0.0" />
    <colorf name="AmbientColor" value="0, 0, 0, 1" /><colorf name="DiffuseColor" value="1, 1, 1, 1" />
    <colorf name="SpecularColor" value="1, 1, 1, 1" /><float name="Radius" value="5.0" />
    <bool name="CastShadows" value="true" /><enum name="LightType" value="Point" />
  </attributes></node>
  <node type="cube"><attributes>
    <string name="Name" value="LeftCube" /><vector3d name="Position" value="-20.0, 0.0, 0.0" />
    <vector3d name="Scale" value="1, 1, 1" /><bool name="Visible" value="true" /><float name="Size" value="2" />
  </attributes></node>
  <node type="cube"><attributes>
    <string name="Name" value="RightCube" /><vector3d name="Position" value="20.0, 0.0, 0.0" />
    <vector3d name="Scale" value="1, 1, 1" /><bool name="Visible" value="true" /><float name="Size" value="2" />
  </attributes></node>
</irr_scene>
)";
    const std::string path = testing::TempDir() + "lit_level.irr";
    {
        io::IWriteFile* file = device->getFileSystem()->createAndWriteFile(path.c_str());
        file->write(level, static_cast<u32>(std::strlen(level)));
        file->drop();
    }
    ASSERT_TRUE(scene->loadScene(path.c_str()));
    auto* manager = new RecordingLightManager(scene);
    manager->maxLightsPerNode = 1;
    scene::ICameraSceneNode* camera = scene->addCameraSceneNode(nullptr, core::vector3df(0, 0, -80));
    camera->setTarget(core::vector3df(0, 0, 0));
    scene->drawAll();
    // Each cube is drawn with its own light on and the other's left as the previous node set it.
    ASSERT_EQ(manager->lit.count("LeftCube"), 1u);
    ASSERT_EQ(manager->lit.count("RightCube"), 1u);
    auto has = [](const std::vector<std::string>& names, const char* name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    EXPECT_TRUE(has(manager->lit["LeftCube"], "Left"));
    EXPECT_TRUE(has(manager->lit["RightCube"], "Right"));
    // The light list is handed back with every light on.
    ASSERT_NE(manager->lightList, nullptr);
    manager->resetLights();
    scene->setLightManager(nullptr);
    manager->drop();
    std::remove(path.c_str());
}

// A sub-scene of one light and one cube, both at x.
std::string writeSubScene(const std::string& folder, const char* name, int x) {
    const std::string path = folder + name + ".irr";
    std::ofstream file(path);
    file << "<?xml version=\"1.0\"?>\n<irr_scene>\n"
         << "<node type=\"light\"><attributes><string name=\"Name\" value=\"" << name << "Light\" />"
         << "<vector3d name=\"Position\" value=\"" << x << ", 0, 0\" /><float name=\"Radius\" value=\"10\" />"
         << "<colorf name=\"DiffuseColor\" value=\"1, 1, 1, 1\" /><enum name=\"LightType\" value=\"Point\" />"
         << "</attributes></node>\n"
         << "<node type=\"cube\"><attributes><string name=\"Name\" value=\"" << name << "Cube\" />"
         << "<vector3d name=\"Position\" value=\"" << x << ", 0, 0\" /><vector3d name=\"Scale\" value=\"1, 1, 1\" />"
         << "<bool name=\"Visible\" value=\"true\" /><float name=\"Size\" value=\"2\" /></attributes></node>\n"
         << "</irr_scene>\n";
    return path;
}

TEST_F(LightTest, ZonesKeepSubLevelLightsToTheirOwnNodes) {
    registerLightObjectType();
    registerSceneNodeFactory(scene);
    test::TempDir dir;
    const std::string folder = dir.path().string() + "/";
    auto* left = new SubLevelObject(scene->getRootSceneNode(), scene, -1);
    left->drop();
    left->setSubLevelFileName(writeSubScene(folder, "Left", 0).c_str());
    ASSERT_TRUE(left->load());
    auto* right = new SubLevelObject(scene->getRootSceneNode(), scene, -1);
    right->drop();
    right->setSubLevelFileName(writeSubScene(folder, "Right", 4).c_str());
    ASSERT_TRUE(right->load());
    LightObject* rootLight = addLight(core::vector3df(2, 0, 0), 10.0f); // zone: the scene root
    rootLight->setName("RootLight");

    auto* manager = new LightManager(scene);
    core::array<scene::ISceneNode*> lights;
    for (const char* name : {"LeftLight", "RightLight", "RootLight"})
        lights.push_back(scene->getSceneNodeFromName(name));
    manager->OnPreRender(lights);
    EXPECT_EQ(manager->findZone(scene->getSceneNodeFromName("LeftCube")), left);
    EXPECT_EQ(manager->findZone(rootLight), scene->getRootSceneNode());

    // Every light box reaches every cube; the zones decide.
    auto chosenNames = [&](const char* node) {
        manager->OnNodePreRender(scene->getSceneNodeFromName(node));
        std::vector<std::string> names;
        for (u32 i = 0; i < manager->candidateLights.size(); ++i)
            names.push_back(manager->candidateLight(i)->getName());
        std::sort(names.begin(), names.end());
        return names;
    };
    EXPECT_EQ(chosenNames("LeftCube"), (std::vector<std::string>{"LeftLight", "RootLight"}));
    EXPECT_EQ(chosenNames("RightCube"), (std::vector<std::string>{"RightLight", "RootLight"}));
    // A node of the scene root takes the lights of every zone.
    scene::ISceneNode* rootCube = addCube(core::vector3df(2, 0, 0));
    rootCube->setName("RootCube");
    EXPECT_EQ(chosenNames("RootCube"), (std::vector<std::string>{"LeftLight", "RightLight", "RootLight"}));
    manager->drop();
}

TEST_F(LightTest, ALightShownOnlyInItsSubLevelStaysOutWhileItHangsUnderOne) {
    auto* sublevel = new SubLevelObject(scene->getRootSceneNode(), scene, -1);
    sublevel->drop();
    auto* inside = new LightObject(sublevel, scene, -1, core::vector3df(0, 0, 0), 5.0f);
    inside->drop();
    inside->setVisibleInSublevelOnly(true);
    LightObject* outside = addLight(core::vector3df(0, 0, 0), 5.0f);
    outside->setVisibleInSublevelOnly(true);
    scene->addCameraSceneNode();
    auto* manager = new LightManager(scene); // with it every registered light is rendered
    scene->drawAll();
    manager->drop();
    EXPECT_LT(inside->getDriverLightIndex(), 0) << "never registered, never given to the driver";
    EXPECT_GE(outside->getDriverLightIndex(), 0);
}

} // namespace
