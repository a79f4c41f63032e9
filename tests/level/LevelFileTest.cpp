#include "LevelTestSupport.h"

#include "level/CubeNode.h"
#include "level/LevelFile.h"
#include "level/LevelObject.h"
#include "level/SceneNodeTypes.h"

#include <algorithm>
#include <filesystem>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

using namespace irr;
using scene::ISceneNode;

namespace {

// Writes one attribute of every type the engine's container can make, every value
// shifted by its seed; keeps the text of what it reads.
class AllTypesObject : public LevelObject {
public:
    using LevelObject::LevelObject;
    scene::ESCENE_NODE_TYPE getType() const override { return typeId("tall"); }
    void serializeAttributes(io::IAttributes* out,
                             io::SAttributeReadWriteOptions* options) const override {
        LevelObject::serializeAttributes(out, options);
        static const c8* const literals[] = {"Alpha", "Beta", "Gamma", nullptr};
        const f32 k = static_cast<f32>(seed);
        u8 bytes[] = {0x00, 0x7F, 0x80, static_cast<u8>(0xF0 + seed)};
        out->addInt("Int", -123456 + seed);
        out->addFloat("Float", 0.1f + k);
        out->addFloat("NegativeZero", seed == 1 ? -0.0f : 1.0f);
        out->addString("Narrow", seed == 1 ? "plain text" : "other text");
        out->addString("Wide", seed == 1 ? L"Gr\u00fc\u00dfe \u2713 \U0001F600" : L"\u00e9t\u00e9");
        out->addBool("Bool", seed == 1);
        out->addEnum("Enum", literals[seed % 3], literals);
        out->addColor("Color", video::SColor(0x80112233 + seed));
        out->addColorf("Colorf", video::SColorf(0.1f, 0.2f, 0.3f, 0.4f * k));
        out->addVector3d("Vector3d", core::vector3df(1.5f, -2.25f * k, 1e-8f));
        out->addPosition2d("Position2d", core::position2di(-7, 9 + seed));
        out->addVector2d("Vector2d", core::vector2df(0.3f, -0.7f * k));
        out->addRect("Rect", core::recti(1, 2, 3, 4 + seed));
        out->addDimension2d("Dimension2d", core::dimension2du(640, 480 + seed));
        core::matrix4 m;
        m.setRotationDegrees(core::vector3df(10, 20 * k, 30));
        m.setTranslation(core::vector3df(4, 5, 6));
        out->addMatrix("Matrix", m);
        out->addQuaternion("Quaternion", core::quaternion(0.1f, 0.2f, 0.3f * k, 0.9f));
        if (box)
            out->addBox3d("Box", core::aabbox3df(-1, -2, -3 * k, 4, 5, 6));
        out->addPlane3d("Plane", core::plane3df(core::vector3df(0, 1, 0), -3.5f * k));
        if (triangle)
            out->addTriangle3d("Triangle", core::triangle3df({0, 0, 0}, {k, 0, 0}, {0, 1, 0}));
        out->addLine2d("Line2d", core::line2df(1, 2, 3, 4 * k));
        if (line3d)
            out->addLine3d("Line3d", core::line3df(1, 2, 3, 4, 5, 6 * k));
        core::array<core::stringw> list;
        list.push_back(L"first");
        list.push_back(L"");
        list.push_back(seed == 1 ? L"\u00e9t\u00e9" : L"summer");
        out->addArray("StringArray", list);
        out->addBinary("Binary", bytes, sizeof(bytes));
        out->addTexture("Texture", texture);
        out->addUserPointer("Pointer", reinterpret_cast<void*>(0x1234));
    }
    void deserializeAttributes(io::IAttributes* in,
                               io::SAttributeReadWriteOptions* options) override {
        LevelObject::deserializeAttributes(in, options);
        received = describe(in);
    }

    // Name, type and text of every attribute, and the items of string lists.
    static std::vector<std::string> describe(io::IAttributes* a) {
        std::vector<std::string> lines;
        for (s32 i = 0; i < static_cast<s32>(a->getAttributeCount()); ++i) {
            std::string line = std::string(a->getAttributeName(i)) + " " +
                               std::to_string(a->getAttributeType(i)) + " ";
            if (a->getAttributeType(i) == io::EAT_STRINGWARRAY) {
                const core::array<core::stringw> items = a->getAttributeAsArray(i);
                for (u32 k = 0; k < items.size(); ++k)
                    line += std::string(core::stringc(items[k]).c_str()) + "|";
            } else if (a->getAttributeType(i) != io::EAT_USER_POINTER) {
                const core::stringw text = a->getAttributeAsStringW(i);
                for (u32 k = 0; k < text.size(); ++k)
                    line += std::to_string(static_cast<u32>(text[k])) + ".";
            }
            lines.push_back(line);
        }
        return lines;
    }

    int seed = 1;
    // The types whose value the engine's container cannot change once it holds them.
    bool box = true, triangle = true, line3d = true;
    video::ITexture* texture = nullptr;
    std::vector<std::string> received;
};

class LevelFileTest : public test::LevelFixture {
protected:
    void SetUp() override {
        LevelFixture::SetUp();
        useTestData();
    }
    std::string encodeScene() {
        std::string bytes;
        EXPECT_TRUE(encodeBinaryLevel(smgr(), nullptr, "Scene.irrblvl", bytes));
        return bytes;
    }
    bool decode(const std::string& bytes, SceneRecord& scene, std::string& error) {
        return decodeBinaryLevel(bytes.data(), bytes.size(), device->get()->getFileSystem(),
                                 device->get()->getVideoDriver(), scene, error);
    }
    // Keeps a damaged payload's header consistent, so that the reader's own checks run.
    static void reseal(std::string& bytes) {
        const u32 length = static_cast<u32>(bytes.size() - 20);
        const u32 crc = binaryLevelChecksum(bytes.data() + 20, length);
        for (int i = 0; i < 4; ++i) {
            bytes[12 + i] = static_cast<char>(length >> (8 * i));
            bytes[16 + i] = static_cast<char>(crc >> (8 * i));
        }
    }
};

TEST_F(LevelFileTest, BinaryCopyOfALevelExportsTheSameScene) {
    ASSERT_TRUE(manager->loadLevel("TestLevel.irr"));
    ASSERT_TRUE(smgr()->saveScene("ExportFromXml.irr"));
    ASSERT_TRUE(manager->saveLevel("TestLevel.irrblvl"));
    manager->unloadLevel();
    ASSERT_TRUE(manager->loadLevel("TestLevel.irrblvl"));
    ASSERT_TRUE(smgr()->saveScene("ExportFromBinary.irr"));

    const std::string fromXml = test::readFileBytes("ExportFromXml.irr");
    const std::string fromBinary = test::readFileBytes("ExportFromBinary.irr");
    ASSERT_GT(fromXml.size(), 1000u);
    EXPECT_TRUE(fromXml == fromBinary) << "the two exports differ";
    // The export carries the animator with its type and the engine cube's material.
    io::IXMLReader* reader =
        device->get()->getFileSystem()->createXMLReader("ExportFromBinary.irr");
    ASSERT_NE(reader, nullptr);
    bool sawRotation = false, sawMaterial = false;
    while (reader->read()) {
        const core::stringw value = reader->getAttributeValueSafe(L"value");
        sawRotation = sawRotation || value == L"moveRotation";
        sawMaterial = sawMaterial || core::stringw(reader->getNodeName()) == L"materials";
    }
    reader->drop();
    EXPECT_TRUE(sawRotation);
    EXPECT_TRUE(sawMaterial);
}

// A level's cube is made by the game (it draws with its own material, no copy a draw) and
// reads and writes what the engine's cube does.
TEST_F(LevelFileTest, ALevelsCubeIsTheGamesAndKeepsTheEnginesAttributes) {
    ASSERT_TRUE(manager->loadLevel("TestLevel.irr"));
    auto* cube = dynamic_cast<CubeNode*>(smgr()->getSceneNodeFromName("EngineCube"));
    ASSERT_NE(cube, nullptr);
    EXPECT_EQ(cube->getType(), scene::ESNT_CUBE);
    EXPECT_EQ(cube->getSize(), 4.0f);
    EXPECT_EQ(cube->getBoundingBox().getExtent(), core::vector3df(4.0f));
    ASSERT_EQ(cube->getMaterialCount(), 1u);
    EXPECT_EQ(cube->getMaterial(0).DiffuseColor, video::SColor(0xff80c040));
    EXPECT_NE(&cube->getMaterial(1), &cube->getMaterial(0)) << "a cube has one material";

    // The engine's cube, given what the game's wrote, writes the same.
    io::IFileSystem* files = device->get()->getFileSystem();
    io::IAttributes* ours = files->createEmptyAttributes(device->get()->getVideoDriver());
    io::IAttributes* engines = files->createEmptyAttributes(device->get()->getVideoDriver());
    cube->serializeAttributes(ours);
    scene::IMeshSceneNode* engineCube = smgr()->addCubeSceneNode();
    engineCube->deserializeAttributes(ours);
    engineCube->serializeAttributes(engines);
    ASSERT_EQ(ours->getAttributeCount(), engines->getAttributeCount());
    for (u32 i = 0; i < ours->getAttributeCount(); ++i) {
        EXPECT_STREQ(ours->getAttributeName(i), engines->getAttributeName(i));
        EXPECT_EQ(ours->getAttributeAsStringW(i), engines->getAttributeAsStringW(i)) << ours->getAttributeName(i);
    }
    engineCube->remove();

    // A copy has the size and the material; a size of nothing reads as the smallest cube.
    scene::ISceneNode* copy = cube->clone();
    ASSERT_NE(dynamic_cast<CubeNode*>(copy), nullptr);
    EXPECT_EQ(static_cast<CubeNode*>(copy)->getSize(), 4.0f);
    EXPECT_EQ(copy->getMaterial(0).DiffuseColor, video::SColor(0xff80c040));
    ours->setAttribute("Size", 0.0f);
    copy->deserializeAttributes(ours);
    EXPECT_EQ(static_cast<CubeNode*>(copy)->getSize(), 0.0001f);
    ours->drop();
    engines->drop();
}

// The scene draws a shown cube's mesh once (and once more for the wire overlay), a hidden one
// not at all.
TEST_F(LevelFileTest, DrawingTheSceneDrawsAShownCubesMeshOnce) {
    struct Case {
        bool visible;
        u32 debug;
        u32 meshDraws;
    };
    const Case cases[] = {
        {true, scene::EDS_OFF, 1},
        {false, scene::EDS_OFF, 0},
        {true, scene::EDS_MESH_WIRE_OVERLAY, 2},
        {false, scene::EDS_MESH_WIRE_OVERLAY, 0},
    };
    video::IVideoDriver* driver = device->get()->getVideoDriver();
    for (const Case& c : cases) {
        auto* cube = new CubeNode(4.0f, root(), smgr(), -1);
        cube->setVisible(c.visible);
        cube->setDebugDataVisible(c.debug);
        const u32 triangles = cube->getMesh()->getMeshBuffer(0)->getIndexCount() / 3;
        ASSERT_GT(triangles, 0u);
        driver->beginScene(true, true, video::SColor(0));
        smgr()->drawAll();
        driver->endScene();
        EXPECT_EQ(driver->getPrimitiveCountDrawn(0), c.meshDraws * triangles)
            << "visible " << c.visible << ", debug " << c.debug;
        cube->remove();
        cube->drop();
    }
}

// The lines of an attribute description but those of user pointers, which files leave out.
std::vector<std::string> withoutPointers(std::vector<std::string> lines) {
    const std::string pointerType = " " + std::to_string(io::EAT_USER_POINTER) + " ";
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [&](const std::string& line) { return line.find(pointerType) != std::string::npos; }),
                lines.end());
    return lines;
}

TEST_F(LevelFileTest, EveryAttributeTypeRoundTrips) {
    auto* object = new AllTypesObject(root(), smgr(), 77);
    object->drop();
    object->texture =
        device->get()->getVideoDriver()->addTexture(core::dimension2du(4, 4), "RoundTrip.png");
    io::IAttributes* original =
        device->get()->getFileSystem()->createEmptyAttributes(device->get()->getVideoDriver());
    object->serializeAttributes(original, nullptr);

    SceneRecord scene;
    std::string error;
    ASSERT_TRUE(decode(encodeScene(), scene, error)) << error;
    ASSERT_EQ(scene.children.size(), 1u);
    EXPECT_EQ(scene.children[0]->typeName, ""); // no factory row: the engine has no name for it
    io::IAttributes* copy = scene.children[0]->attributes;
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(AllTypesObject::describe(copy), withoutPointers(AllTypesObject::describe(original)));
    // Exact values, not just their text.
    EXPECT_TRUE(std::signbit(copy->getAttributeAsFloat("NegativeZero")));
    EXPECT_EQ(copy->getAttributeAsFloat("Float"), 1.1f);
    EXPECT_EQ(copy->getAttributeAsVector3d("Vector3d").Z, 1e-8f);
    EXPECT_EQ(copy->getAttributeAsMatrix("Matrix"), original->getAttributeAsMatrix("Matrix"));
    EXPECT_EQ(copy->getAttributeAsBox3d("Box"), original->getAttributeAsBox3d("Box"));
    core::array<core::stringc> literals;
    copy->getAttributeEnumerationLiteralsOfEnumeration("Enum", literals);
    ASSERT_EQ(literals.size(), 3u);
    EXPECT_EQ(literals[2], "Gamma");
    u8 bytes[4] = {};
    copy->getAttributeAsBinaryData("Binary", bytes, 4);
    EXPECT_EQ(bytes[3], 0xF1);
    EXPECT_EQ(copy->getAttributeAsTexture("Texture"), object->texture);
    EXPECT_EQ(copy->findAttribute("Pointer"), -1); // pointers mean nothing in a file: left out
    original->drop();
}

// The engine spells a texture attribute without a texture "0": levels leave such a layer out
// (like every default value of a material), and read the engine's spelling as no texture
// instead of looking for a file named "0".
TEST_F(LevelFileTest, AMaterialLayerWithoutATextureIsNoFileNamedZero) {
    scene::ISceneNode* cube = smgr()->addCubeSceneNode(2.0f, root(), 5);
    ASSERT_NE(cube, nullptr);
    ASSERT_TRUE(smgr()->saveScene("Engine.irr"));
    for (const char* file : {"Engine.irr", "Level.irr", "Level.irrblvl"}) {
        SCOPED_TRACE(file);
        if (std::strcmp(file, "Engine.irr") != 0) {
            ASSERT_TRUE(manager->saveLevel(file));
        }
        manager->unloadLevel();
        log.lines.clear();
        ASSERT_TRUE(manager->loadLevel(file));
        EXPECT_EQ(log.countStartingWith("Could not open file of texture"), 0u);
        ASSERT_NE(smgr()->getSceneNodeFromId(5), nullptr);
        EXPECT_EQ(smgr()->getSceneNodeFromId(5)->getMaterial(0).getTexture(0), nullptr);
    }
    const std::string written = test::readFileBytes("Level.irr");
    EXPECT_EQ(written.find("name=\"Texture1\""), std::string::npos);
    EXPECT_EQ(written.find("value=\"0\" />\n        <texture"), std::string::npos);
}

// A material keeps in a level file only what differs from the default material, in either
// format, and reads back whole: what a block leaves out is the default, not the engine's zero.
TEST_F(LevelFileTest, AMaterialKeepsOnlyWhatDiffersFromTheDefaultAndReadsBackWhole) {
    const struct {
        std::function<void(video::SMaterial&)> change;
        std::vector<std::wstring> written;
    } rows[] = {
        {[](video::SMaterial&) {}, {}},
        {[](video::SMaterial& m) { m.DiffuseColor = video::SColor(0xff80c040); m.Lighting = false; },
         {L"Diffuse", L"Lighting"}},
        {[](video::SMaterial& m) { m.TextureLayer[1].TextureWrapU = video::ETC_CLAMP; }, {L"TextureWrapU2"}},
        {[](video::SMaterial& m) { m.MaterialType = video::EMT_TRANSPARENT_ALPHA_CHANNEL; m.ZBuffer = 0; },
         {L"Type", L"ZBuffer"}},
    };
    std::vector<video::SMaterial> expected;
    for (s32 i = 0; i < static_cast<s32>(std::size(rows)); ++i) {
        scene::ISceneNode* cube = smgr()->addCubeSceneNode(2.0f, root(), 10 + i);
        rows[i].change(cube->getMaterial(0));
        expected.push_back(cube->getMaterial(0));
    }
    ASSERT_TRUE(manager->saveLevel("Materials.irr"));
    ASSERT_TRUE(manager->saveLevel("Materials.irrblvl"));

    std::vector<std::vector<std::wstring>> written;
    io::IXMLReader* reader = device->get()->getFileSystem()->createXMLReader("Materials.irr");
    ASSERT_NE(reader, nullptr);
    bool inMaterials = false;
    while (reader->read()) {
        const std::wstring element = reader->getNodeName();
        if (reader->getNodeType() == io::EXN_ELEMENT && element == L"materials")
            written.emplace_back();
        if (element == L"materials")
            inMaterials = reader->getNodeType() == io::EXN_ELEMENT;
        else if (inMaterials && reader->getNodeType() == io::EXN_ELEMENT && element != L"attributes")
            written.back().push_back(reader->getAttributeValueSafe(L"name"));
    }
    reader->drop();
    ASSERT_EQ(written.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(written[i], rows[i].written) << i;

    for (const char* file : {"Materials.irr", "Materials.irrblvl"}) {
        SCOPED_TRACE(file);
        manager->unloadLevel();
        ASSERT_TRUE(manager->loadLevel(file));
        for (s32 i = 0; i < static_cast<s32>(std::size(rows)); ++i)
            EXPECT_TRUE(smgr()->getSceneNodeFromId(10 + i)->getMaterial(0) == expected[i]) << i;
    }
}

TEST_F(LevelFileTest, AMaterialWithoutATextureAfterOneWithATextureStaysWithout) {
    video::ITexture* texture = device->get()->getVideoDriver()->addTexture(core::dimension2du(4, 4), "Layer.png");
    scene::ISceneNode* textured = smgr()->addCubeSceneNode(2.0f, root(), 5);
    scene::ISceneNode* plain = smgr()->addCubeSceneNode(2.0f, root(), 6);
    textured->getMaterial(0).setTexture(0, texture);
    for (const char* file : {"Layers.irr", "Layers.irrblvl"}) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(manager->saveLevel(file));
    }
    for (const char* file : {"Layers.irr", "Layers.irrblvl"}) {
        SCOPED_TRACE(file);
        manager->unloadLevel();
        ASSERT_TRUE(manager->loadLevel(file));
        textured = smgr()->getSceneNodeFromId(5);
        plain = smgr()->getSceneNodeFromId(6);
        ASSERT_NE(textured, nullptr);
        ASSERT_NE(plain, nullptr);
        EXPECT_EQ(textured->getMaterial(0).getTexture(0), texture);
        EXPECT_EQ(plain->getMaterial(0).getTexture(0), nullptr);
    }
}

TEST_F(LevelFileTest, NodesOfTheSameLayoutEachGetTheirOwnValues) {
    registerSceneNodeType(levelObjectRow<AllTypesObject>(typeId("tall"), "AllTypesObject"));
    // The factory's row goes with the test: to the other tests the type has no name.
    struct ForgetRow {
        ~ForgetRow() { registerSceneNodeType(SceneNodeTypeRow{typeId("tall"), {}, {}}); }
    } forgetRow;
    video::IVideoDriver* driver = device->get()->getVideoDriver();
    // Every type, then each type that cannot change in place alone among those that can.
    const struct Layout {
        bool box, triangle, line3d;
    } layouts[] = {{true, true, true}, {true, false, false}, {false, true, false}, {false, false, true}};
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(testing::Message() << "box " << layout.box << " triangle " << layout.triangle
                                        << " line3d " << layout.line3d);
        std::vector<std::vector<std::string>> written;
        for (int seed : {1, 2, 3}) {
            auto* object = new AllTypesObject(root(), smgr(), 80 + seed);
            object->drop();
            object->seed = seed;
            object->box = layout.box;
            object->triangle = layout.triangle;
            object->line3d = layout.line3d;
            object->texture = driver->addTexture(core::dimension2du(4, 4),
                                                 ("Shared" + std::to_string(seed) + ".png").c_str());
            io::IAttributes* out = device->get()->getFileSystem()->createEmptyAttributes(driver);
            object->serializeAttributes(out, nullptr);
            written.push_back(withoutPointers(AllTypesObject::describe(out)));
            out->drop();
        }
        ASSERT_TRUE(manager->saveLevel("Shared.irrblvl"));
        manager->unloadLevel();
        ASSERT_TRUE(manager->loadLevel("Shared.irrblvl"));
        for (int seed : {1, 2, 3}) {
            auto* object = static_cast<AllTypesObject*>(manager->getSceneNodeFromID(80 + seed));
            ASSERT_NE(object, nullptr);
            EXPECT_EQ(object->received, written[seed - 1]) << "seed " << seed;
        }
        manager->unloadLevel();
    }
}

TEST_F(LevelFileTest, DamagedFilesAreRejectedWithALogLineAndLeaveTheSceneEmpty) {
    ASSERT_TRUE(manager->loadLevel("TestLevel.irr"));
    const std::string good = encodeScene();
    manager->unloadLevel();

    std::vector<std::string> variants;
    for (std::size_t length : {std::size_t(0), std::size_t(3), std::size_t(19), std::size_t(20),
                               good.size() / 2, good.size() - 1})
        variants.push_back(good.substr(0, length));
    for (std::size_t position : {std::size_t(0), std::size_t(5), std::size_t(13), std::size_t(17),
                                 std::size_t(40), good.size() / 2, good.size() - 1}) {
        std::string flipped = good;
        flipped[position] = static_cast<char>(flipped[position] ^ 0x10);
        variants.push_back(flipped);
    }
    variants.push_back(good + "x");
    for (std::size_t i = 0; i < variants.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(test::writeFileBytes("Damaged.irrblvl", variants[i]));
        log.lines.clear();
        EXPECT_FALSE(manager->loadLevel("Damaged.irrblvl"));
        EXPECT_EQ(log.countStartingWith("ERROR: Could not read level file Damaged.irrblvl: "), 1u);
        EXPECT_EQ(countNodes(root()), 0u);
    }
}

TEST_F(LevelFileTest, ReaderChecksHoldForEveryDamageTheChecksumCannotSee) {
    ASSERT_TRUE(manager->loadLevel("TestLevel.irr"));
    const std::string good = encodeScene();
    manager->unloadLevel();

    // Bytes all over the payload with one bit flipped, the header resealed: the reader
    // either reads a different but well-formed scene or rejects it, and never reads past the
    // end (the sanitizers watch).
    std::size_t rejected = 0;
    for (std::size_t position = 20; position < good.size(); position += 3) {
        std::string damaged = good;
        damaged[position] = static_cast<char>(damaged[position] ^ (1 << (position % 8)));
        reseal(damaged);
        SceneRecord scene;
        std::string error;
        if (!decode(damaged, scene, error)) {
            ++rejected;
            EXPECT_FALSE(error.empty());
        }
    }
    EXPECT_GT(rejected, 0u);
    // Every truncation of the payload is incomplete.
    for (std::size_t length = 20; length < good.size(); ++length) {
        std::string damaged = good.substr(0, length);
        reseal(damaged);
        SceneRecord scene;
        std::string error;
        EXPECT_FALSE(decode(damaged, scene, error)) << "length " << length;
    }
}

TEST_F(LevelFileTest, NestingBeyondTheLimitIsRejected) {
    ISceneNode* parent = root();
    for (int depth = 0; depth < 300; ++depth) {
        auto* node = new LevelObject(parent, smgr(), -1);
        node->drop();
        parent = node;
    }
    ASSERT_TRUE(manager->saveLevel("Deep.irrblvl"));
    manager->unloadLevel();
    log.lines.clear();
    EXPECT_FALSE(manager->loadLevel("Deep.irrblvl"));
    EXPECT_TRUE(log.contains(
        "ERROR: Could not read level file Deep.irrblvl: the nodes are nested too deeply"));
}

// Keeps the attribute container it was read from, as a reader may.
class KeepingObject : public LevelObject {
public:
    using LevelObject::LevelObject;
    ~KeepingObject() override {
        if (kept)
            kept->drop();
    }
    scene::ESCENE_NODE_TYPE getType() const override { return typeId("tkep"); }
    void serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const override {
        LevelObject::serializeAttributes(out, options);
        out->addInt("Value", value);
    }
    void deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) override {
        LevelObject::deserializeAttributes(in, options);
        if (kept)
            kept->drop();
        kept = in;
        kept->grab();
    }
    s32 value = 0;
    io::IAttributes* kept = nullptr;
};

// A node that keeps the container it was read from keeps its own values: the next node of
// the same layout is read into another container.
TEST_F(LevelFileTest, AContainerANodeKeepsIsNotReusedForTheNext) {
    registerSceneNodeType(levelObjectRow<KeepingObject>(typeId("tkep"), "KeepingObject"));
    struct ForgetRow {
        ~ForgetRow() { registerSceneNodeType(SceneNodeTypeRow{typeId("tkep"), {}, {}}); }
    } forgetRow;
    for (s32 value : {1, 2, 3}) {
        auto* object = new KeepingObject(root(), smgr(), 90 + value);
        object->drop();
        object->value = value;
    }
    ASSERT_TRUE(manager->saveLevel("Kept.irrblvl"));
    manager->unloadLevel();
    ASSERT_TRUE(manager->loadLevel("Kept.irrblvl"));
    for (s32 value : {1, 2, 3}) {
        auto* object = static_cast<KeepingObject*>(manager->getSceneNodeFromID(90 + value));
        ASSERT_NE(object, nullptr);
        ASSERT_NE(object->kept, nullptr);
        EXPECT_EQ(object->kept->getAttributeAsInt("Value"), value);
        EXPECT_EQ(object->kept->getAttributeAsInt("Id"), 90 + value);
    }
    manager->unloadLevel();
}

// A level file may name a type by its four characters; a name the game does not know is
// passed over with a warning.
TEST_F(LevelFileTest, ALevelMayNameATypeByItsFourCharacters) {
    test::writeFileBytes("Short.irr", R"(<?xml version="1.0"?>
<irr_scene>
  <node type="vble"><attributes><int name="Id" value="21" /><float name="Value" value="4" /></attributes></node>
  <node type="qqqq"><attributes><int name="Id" value="22" /></attributes></node>
</irr_scene>)");
    ASSERT_TRUE(manager->loadLevel("Short.irr"));
    ISceneNode* variable = manager->getSceneNodeFromID(21);
    ASSERT_NE(variable, nullptr);
    EXPECT_EQ(variable->getType(), typeId("vble"));
    EXPECT_FALSE(manager->holdsID(22));
    EXPECT_TRUE(log.contains("Warning: Skipped a scene node of unknown type: qqqq"));
}

// A level text file names a material's texture by its file, also when the texture is loaded
// already; only a texture of nothing is written empty.
TEST_F(LevelFileTest, ALoadedTextureIsWrittenByItsName) {
    video::IVideoDriver* driver = device->get()->getVideoDriver();
    scene::ISceneNode* cube = smgr()->addCubeSceneNode(2.0f, root(), 61);
    video::ITexture* painted = driver->addTexture(core::dimension2du(4, 4), "Painted.png");
    ASSERT_NE(painted, nullptr);
    ASSERT_FALSE(painted->isRenderTarget());
    cube->getMaterial(0).setTexture(0, painted);
    ASSERT_TRUE(manager->saveLevel("Painted.irr"));
    const std::string text = test::readFileBytes("Painted.irr");
    EXPECT_NE(text.find("value=\"Painted.png\""), std::string::npos) << text;
}

// Elements a level does not use are passed over whole, also when they hold elements of their
// own name, open or empty; what follows them loads.
TEST_F(LevelFileTest, ElementsALevelDoesNotUseArePassedOverWhole) {
    test::writeFileBytes("Extra.irr", R"(<?xml version="1.0"?>
<irr_scene>
  <node type="LevelObject"><attributes><int name="Id" value="31" /></attributes>
    <userData><userData/><userData><x/></userData><attributes><int name="Id" value="99" /></attributes></userData>
  </node>
  <node type="LevelObject"><attributes><int name="Id" value="32" /></attributes></node>
</irr_scene>)");
    ASSERT_TRUE(manager->loadLevel("Extra.irr"));
    EXPECT_TRUE(manager->holdsID(31));
    EXPECT_TRUE(manager->holdsID(32));
    EXPECT_FALSE(manager->holdsID(99));

    // A node's first attributes count; a second block is passed over.
    test::writeFileBytes("Twice.irr", R"(<?xml version="1.0"?>
<irr_scene>
  <node type="LevelObject"><attributes><int name="Id" value="41" /></attributes>
    <attributes><int name="Id" value="42" /></attributes></node>
</irr_scene>)");
    ASSERT_TRUE(manager->loadLevel("Twice.irr"));
    EXPECT_TRUE(manager->holdsID(41));
    EXPECT_FALSE(manager->holdsID(42));
}

// The checksum is the standard CRC-32, so that files written before stay readable: its check
// value, short inputs and long ones read eight bytes at a time.
TEST_F(LevelFileTest, TheChecksumIsTheStandardCrc32) {
    std::string bytes;
    for (int i = 0; i < 4 * 256; ++i)
        bytes += static_cast<char>(i & 0xFF);
    const std::pair<std::string, u32> rows[] = {
        {"123456789", 0xCBF43926u}, {"abcdefg", 0x312A6AA6u}, {"", 0u}, {bytes, 0xB70B4C26u}};
    for (const auto& [text, crc] : rows)
        EXPECT_EQ(binaryLevelChecksum(text.data(), text.size()), crc) << text.size() << " bytes";
}

// The reader of level text files says why a file is no level.
TEST_F(LevelFileTest, TheTextReaderSaysWhyAFileIsNoLevel) {
    std::filesystem::create_directories("Folder.irr");
    test::writeFileBytes("Settings.irr", "<?xml version=\"1.0\"?><settings></settings>");
    test::writeFileBytes("Cut.irr", "<?xml version=\"1.0\"?><irr_scene><node type=\"LevelObject\">");
    const std::pair<const char*, const char*> rows[] = {
        {"Missing.irr", "the file does not exist"},
        {"Folder.irr", "it is a folder, not a file"},
        {"Settings.irr", "the file holds no scene"},
        {"Cut.irr", "the file ends before its scene does"},
    };
    for (const auto& [file, reason] : rows) {
        SceneRecord scene;
        std::string error;
        EXPECT_FALSE(readXmlLevel(device->get()->getFileSystem(), device->get()->getVideoDriver(), file, scene, error))
            << file;
        EXPECT_EQ(error, reason) << file;
    }
}

TEST_F(LevelFileTest, HeaderFaultsSayWhatIsWrong) {
    const std::string good = encodeScene();
    SceneRecord scene;
    std::string error;
    std::string wrongMagic = good;
    wrongMagic[0] = 'X';
    EXPECT_FALSE(decode(wrongMagic, scene, error));
    EXPECT_EQ(error, "the file is not a binary level");
    std::string newer = good;
    newer[4] = 2;
    EXPECT_FALSE(decode(newer, scene, error));
    EXPECT_EQ(error, "the binary level version is not supported");
    std::string highVersion = good; // version 257: its second byte counts as well
    highVersion[5] = 1;
    EXPECT_FALSE(decode(highVersion, scene, error));
    EXPECT_EQ(error, "the binary level version is not supported");
    EXPECT_FALSE(decode(good.substr(0, good.size() - 1), scene, error));
    EXPECT_EQ(error, "the file length does not match its header (truncated or extended)");
    std::string moreNodes = good;
    moreNodes[8] = static_cast<char>(moreNodes[8] + 1);
    EXPECT_FALSE(decode(moreNodes, scene, error));
    EXPECT_EQ(error, "the node count does not match the header");
}

} // namespace
