// Whole level loads against the load's one budget (core/LoadBudget.h), each made at run time
// with a small budget: a load stops adding at each budget with one line and plays with what it
// loaded, what it left out comes back for the next load, and a quit is honoured inside a long
// read and between pictures.
#include "GameTypesFixture.h"

#include "characters/animators/AppearanceAnimators.h"
#include "core/CoreSlots.h"
#include "core/FileChecks.h"
#include "core/Globals.h"
#include "core/ImageGate.h"
#include "core/LoadBudget.h"
#include "core/Utf8.h"
#include "gui/fonts/FontCache.h"
#include "level/LevelHooks.h"
#include "level/DrawnTriangles.h"
#include "level/LevelInfo.h"
#include "level/MeshGate.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"
#include "render/ParticleObject.h"
#include "render/ParticleSystemNode.h"
#include "render/RenderServices.h"
#include "render/SpriteAnimation.h"
#include "render/TextObject.h"
#include "triggers/TriggerObject.h"
#include "triggers/actions/SpawnObjectAction.h"

#include <filesystem>
#include <functional>

using namespace irr;

namespace {

std::string levelOf(const std::string& nodes) {
    return "<?xml version=\"1.0\"?>\n<irr_scene>\n" + nodes + "</irr_scene>\n";
}

std::string node(const std::string& type, const std::string& keys, const std::string& inner = {}) {
    return "<node type=\"" + type + "\"><attributes>" + keys + "</attributes>" + inner + "</node>\n";
}

class LoadBudgetLevelsTest : public test::GameTypesFixture {
protected:
    static std::int64_t noClock() { return 0; }

    void SetUp() override {
        LevelFixture::SetUp();
        workingDir = std::make_unique<test::ScopedWorkingDir>(temp.path());
        ASSERT_TRUE(startGameTypes(&noClock));
        levelHooks().render.loadSpriteAnimation = [](const io::path& file) -> std::shared_ptr<const SpriteAnimation> {
            auto animation = std::make_shared<SpriteAnimation>();
            return loadTextureAnimation(*animation, file) ? animation : nullptr;
        };
    }
    void TearDown() override {
        for (int kind = 0; kind < LoadBudget::kindCount; ++kind)
            loadBudget().setLimit(LoadBudget::Kind(kind), LoadBudget::gameLimits[kind]);
        clearSpriteAnimationCache();
        manager->unloadLevel();
        clearFontCache();
        resetRenderServices();
        GameTypesFixture::TearDown();
    }

    void write(const std::string& name, const std::string& bytes) { ASSERT_TRUE(test::writeFileBytes(temp.file(name), bytes)); }
    void writePicture(const std::string& name, u32 side) {
        video::IVideoDriver* driver = smgr()->getVideoDriver();
        video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(side, side));
        image->fill(video::SColor(255, 200, 100, 50));
        ASSERT_TRUE(driver->writeImageToFile(image, temp.file(name).c_str()));
        image->drop();
    }
    std::uint64_t fileSize(const std::string& name) { return std::filesystem::file_size(temp.file(name)); }
    // The budget's one line of a load that reached the limit at the file (none for null).
    static std::vector<std::string> budgetLines(LoadBudget::Kind kind, std::uint64_t limit, const char* at) {
        if (!at)
            return {};
        return {"ERROR: The level load reached its budget of " + std::to_string(limit) + " " +
                LoadBudget::unitName(kind) + " at \"" + at + "\"; the rest is left out."};
    }

    // The level loaded with the kind's budget at the limit (afresh: its pictures, meshes and
    // animations read again); its budget lines.
    std::vector<std::string> loadWith(LoadBudget::Kind kind, std::uint64_t limit, const char* level, bool afresh = true) {
        manager->unloadLevel();
        if (afresh) {
            smgr()->getVideoDriver()->removeAllTextures();
            smgr()->getMeshCache()->clear();
        }
        clearSpriteAnimationCache();
        log.lines.clear();
        loadBudget().setLimit(kind, limit);
        EXPECT_TRUE(manager->loadLevel(level)) << level;
        std::vector<std::string> lines;
        for (const std::string& line : log.lines)
            if (line.rfind("ERROR: The level load reached its budget", 0) == 0)
                lines.push_back(line);
        return lines;
    }
};

// What a level's objects make, in the game's way: the world text's glyphs from the font cache,
// meshes through the game's gate, bodies and Spawn Object pools while the physics runs.
class MemoryBudgetLevelsTest : public LoadBudgetLevelsTest {
protected:
    void SetUp() override {
        LoadBudgetLevelsTest::SetUp();
        renderServices().fonts.addTrueTypeText = &addLevelTextGlyphs;
        registerMeshGate(smgr());
        coreSlots().physics.isSimulationActive = [] { return physicsManager && physicsManager->isSimulationActive(); };
        std::filesystem::copy_file(test::sourceDir() / "Content/Font/NoMove.ttf", temp.file("Font.ttf"));
    }

    // A sheet of side x side vertices one unit across: a cloth of side * side particles.
    void writeSheet(const std::string& name, int side) {
        std::string obj;
        for (int z = 0; z < side; ++z)
            for (int x = 0; x < side; ++x)
                obj += "v " + std::to_string(static_cast<float>(x) / (side - 1) - 0.5f) + " " +
                       std::to_string(0.5f - static_cast<float>(z) / (side - 1)) + " 0\n";
        obj += "vn 0 0 1\n";
        for (int z = 0; z + 1 < side; ++z)
            for (int x = 0; x + 1 < side; ++x) {
                const int a = z * side + x + 1, b = a + 1, c = a + side, d = c + 1;
                obj += "f " + std::to_string(a) + "//1 " + std::to_string(c) + "//1 " + std::to_string(b) + "//1\nf " +
                       std::to_string(b) + "//1 " + std::to_string(c) + "//1 " + std::to_string(d) + "//1\n";
            }
        write(name, obj);
    }

    // Different characters the font draws, none of them special in XML.
    static std::string characters(int count) {
        std::wstring text;
        for (wchar_t c = 0x21; static_cast<int>(text.size()) < count && c < 0x7f; ++c)
            if (c != L'"' && c != L'&' && c != L'<' && c != L'>' && c != L'\'' && c != L'\\')
                text += c;
        for (wchar_t c = 0xa1; static_cast<int>(text.size()) < count && c <= 0x2e9; ++c)
            text += c;
        for (wchar_t c = 0x3a3; static_cast<int>(text.size()) < count && c <= 0x525; ++c)
            text += c;
        for (wchar_t c = 0x1401; static_cast<int>(text.size()) < count && c <= 0x1550; ++c)
            text += c;
        return toUtf8(text.c_str());
    }
    static std::string text(int size, const std::string& characters) {
        return node("TextObject", "<string name=\"FontPath\" value=\"Font.ttf\" /><int name=\"FontSize\" value=\"" +
                                      std::to_string(size) + "\" /><string name=\"Text\" value=\"" + characters + "\" />");
    }
    static std::string cloth(int id, const std::string& mesh) {
        return node("PhysicsObject", "<int name=\"Id\" value=\"" + std::to_string(id) +
                                         "\" /><vector3d name=\"Position\" value=\"" + std::to_string(id % 50) +
                                         ", 8, 4\" /><bool name=\"Visible\" value=\"true\" /><string name=\"MeshFileName\" value=\"" +
                                         mesh + "\" /><enum name=\"BoundType\" value=\"Cloth\" /><enum name=\"PhysicsState\" value=\"Dynamic\" />");
    }
    static std::string pool(int templateID, int size) {
        return node("TriggerObject", "<enum name=\"TriggerCondition\" value=\"Immediately\" /><enum name=\"OnTriggerEvent\" "
                                     "value=\"Spawn Object\" /><int name=\"PoolSize\" value=\"" + std::to_string(size) +
                                         "\" /><int name=\"BaseID\" value=\"0\" /><enum name=\"SpawnMode\" value=\"Manual\" /><int "
                                         "name=\"ObjectID\" value=\"" + std::to_string(templateID) + "\" />");
    }
    static std::string sprays(int count) {
        std::string nodes;
        for (int i = 0; i < count; ++i)
            nodes += node("ParticleObject", "<bool name=\"Visible\" value=\"true\" /><enum name=\"EmitterType\" value=\"Box\" />"
                                            "<int name=\"MinParticlesPerSecond\" value=\"16250\" /><int name=\"MaxParticlesPerSecond\" "
                                            "value=\"16250\" /><int name=\"MinLifeTime\" value=\"2000\" /><int name=\"MaxLifeTime\" "
                                            "value=\"2000\" />");
        return nodes;
    }

    // What the level's objects made: glyphs shown, cloths, pool copies (the leftover copy
    // among them) and particle capacity, added up.
    std::uint64_t made() {
        std::uint64_t total = 0;
        std::vector<scene::ISceneNode*> open = {smgr()->getRootSceneNode()};
        while (!open.empty()) {
            scene::ISceneNode* next = open.back();
            open.pop_back();
            for (scene::ISceneNode* child : next->getChildren())
                open.push_back(child);
            if (next->getType() == typeId("text")) {
                // A glyph without a page keeps its node, drawn as nothing.
                const core::array<scene::ISceneNode*>& glyphs = static_cast<TextObject*>(next)->getGlyphNodes();
                for (u32 i = 0; i < glyphs.size(); ++i)
                    total += glyphs[i]->getMaterial(0).getTexture(0) ? 1 : 0;
            }
            else if (next->getType() == typeId("phsx"))
                total += static_cast<PhysicsObject*>(next)->body().cloth ? 1 : 0;
            else if (next->getType() == ParticleSystemNode::typeId)
                total += static_cast<ParticleSystemNode*>(next)->getCapacity();
            else if (next->getType() == typeId("trgr"))
                if (auto* spawn = static_cast<TriggerObject*>(next)->getAction();
                    spawn && spawn->getType() == SpawnObjectAction::actionType)
                    total += static_cast<SpawnObjectAction*>(spawn)->getPool().size() +
                             (static_cast<SpawnObjectAction*>(spawn)->getLeftoverCopy() ? 1 : 0);
        }
        return total;
    }
};

} // namespace

// A sublevel named again and again stops at the nodes and at the bytes: the objects made before
// stay, the next is left out, and what is left of the file is not read.
TEST_F(LoadBudgetLevelsTest, ASublevelNamedManyTimesStopsAtTheNodeAndByteBudgets) {
    std::string objects, sublevels;
    for (int i = 0; i < 10; ++i)
        objects += node("LevelObject", "");
    for (int i = 1; i <= 5; ++i)
        sublevels += node("SubLevelObject", "<int name=\"Id\" value=\"" + std::to_string(i) +
                                                "\" /><string name=\"SubLevelFileName\" value=\"Sub.irr\" />");
    write("Sub.irr", levelOf(objects));
    write("Main.irr", levelOf(sublevels));
    const std::uint64_t bytes = fileSize("Main.irr") + 5 * fileSize("Sub.irr");
    const struct {
        LoadBudget::Kind kind;
        std::uint64_t limit;
        u32 objects; // made inside the sublevels
        std::string line;
    } cases[] = {
        {LoadBudget::Nodes, 55, 50, ""}, // five sublevel objects and their ten each
        {LoadBudget::Nodes, 54, 49, "ERROR: The level load reached its budget of 54 scene nodes at \"Sub.irr\"; the rest is left out."},
        {LoadBudget::Bytes, bytes, 50, ""},
        {LoadBudget::Bytes, bytes - 1, 40,
         "ERROR: The level load reached its budget of " + std::to_string(bytes - 1) + " bytes at \"Sub.irr\"; the rest is left out."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit);
        const std::vector<std::string> lines = loadWith(c.kind, c.limit, "Main.irr");
        EXPECT_EQ(lines, c.line.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.line});
        u32 made = 0;
        for (s32 id = 1; id <= 5; ++id)
            made += manager->getSceneNodeFromID(id)->getChildren().size();
        EXPECT_EQ(made, c.objects);
        EXPECT_LE(loadBudget().used(c.kind), c.limit);
        loadBudget().setLimit(c.kind, LoadBudget::gameLimits[c.kind]);
    }
}

// Pictures, in Content/ or not, and water targets take the pixels and the memory: the first
// past either and all after are left out, and a picture left out comes back for the next
// load. The HUD's own picture read during the load is not the level's.
TEST_F(LoadBudgetLevelsTest, PicturesAndWaterTargetsStopAtThePixelAndMemoryBudgets) {
    std::filesystem::create_directory(temp.file("Content"));
    std::string nodes;
    for (const char* name : {"Tex0.png", "Tex1.png", "Content/Tex2.png"}) {
        writePicture(name, 16);
        nodes += node("cube", "", "<materials><attributes><texture name=\"Texture1\" value=\"" + std::string(name) +
                                      "\" /></attributes></materials>");
    }
    nodes += node("wtr1", "<dimension2d name=\"RenderTargetSize\" value=\"8, 8\" />");
    write("Main.irr", levelOf(nodes));
    writePicture("Own.png", 16);
    video::IVideoDriver* driver = smgr()->getVideoDriver();
    levelHooks().screens.applyLevelSettings = [driver](const LevelSettings&) {
        const GamePicturesScope hud;
        driver->getTexture("Own.png");
    };
    const std::string content = temp.file("Content/Tex2.png");
    const std::uint64_t picture = 1024 + 341; // 16 x 16 with its mip levels
    const std::uint64_t target = 8 * 8 * 8;   // colour and depth
    const struct {
        LoadBudget::Kind kind;
        std::uint64_t limit;
        std::uint64_t used;
        const char* at; // the budget line's file, if any
    } cases[] = {
        {LoadBudget::Pixels, 3 * 256 + 2 * 64, 3 * 256 + 2 * 64, nullptr},
        {LoadBudget::Pixels, 3 * 256 + 2 * 64 - 1, 3 * 256 + 64, "Main.irr"},
        {LoadBudget::Pixels, 3 * 256 - 1, 2 * 256, content.c_str()},
        {LoadBudget::Memory, 3 * picture + 2 * target, 3 * picture + 2 * target, nullptr},
        {LoadBudget::Memory, 3 * picture + 2 * target - 1, 3 * picture + target, "Main.irr"},
        {LoadBudget::Memory, 3 * picture - 1, 2 * picture, content.c_str()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(LoadBudget::unitName(c.kind)) + " " + std::to_string(c.limit));
        EXPECT_EQ(loadWith(c.kind, c.limit, "Main.irr"), budgetLines(c.kind, c.limit, c.at));
        EXPECT_EQ(loadBudget().used(c.kind), c.used) << "the HUD's picture is not charged";
        loadBudget().setLimit(c.kind, LoadBudget::gameLimits[c.kind]);
    }
    // The last load left the picture in Content/ out; the next, with room, reads it again (the
    // others it finds read).
    EXPECT_TRUE(loadWith(LoadBudget::Memory, LoadBudget::gameLimits[LoadBudget::Memory], "Main.irr", false).empty());
    EXPECT_EQ(loadBudget().used(LoadBudget::Memory), picture + 2 * target);
}

// A mesh's file takes the bytes read and the mesh built takes the memory (an OBJ's and a B3D's):
// past either the mesh is left out with the budget's one line, its object shows nothing, and
// the next load with room reads it again.
TEST_F(LoadBudgetLevelsTest, MeshesStopAtTheByteAndMemoryBudgets) {
    write("Quad.obj", "v 0 0 0\nv 1 0 0\nv 1 0 1\nv 0 0 1\nf 1 2 3 4\n");
    std::filesystem::copy_file(test::sourceDir() / "Content/Models/Characters/Mannequin.b3d", temp.file("Man.b3d"));
    const auto object = [](int id, const char* mesh) {
        return node("PhysicsObject", "<int name=\"Id\" value=\"" + std::to_string(id) + "\" /><string name=\"MeshFileName\" value=\"" +
                                         mesh + "\" /><enum name=\"BoundType\" value=\"Box\" /><vector3d name=\"BoxExtents\" value=\"1, 1, 1\" />"
                                         "<enum name=\"PhysicsState\" value=\"Static\" />");
    };
    write("QuadLast.irr", levelOf(object(1, "Man.b3d") + object(2, "Quad.obj")));
    write("ManLast.irr", levelOf(object(1, "Quad.obj") + object(2, "Man.b3d")));
    for (const char* level : {"QuadLast.irr", "ManLast.irr"}) {
        SCOPED_TRACE(level);
        const char* last = level[0] == 'Q' ? "Quad.obj" : "Man.b3d";
        for (LoadBudget::Kind kind : {LoadBudget::Bytes, LoadBudget::Memory}) {
            ASSERT_TRUE(loadWith(kind, LoadBudget::gameLimits[kind], level).empty());
            const std::uint64_t whole = loadBudget().used(kind);
            for (const std::uint64_t limit : {whole, whole - 1}) {
                SCOPED_TRACE(std::string(LoadBudget::unitName(kind)) + " " + std::to_string(limit));
                const bool edge = limit == whole;
                const std::string at = temp.file(last);
                EXPECT_EQ(loadWith(kind, limit, level), budgetLines(kind, limit, edge ? nullptr : at.c_str()));
                EXPECT_NE(static_cast<PhysicsObject*>(manager->getSceneNodeFromID(1))->getMeshNode(), nullptr);
                EXPECT_EQ(static_cast<PhysicsObject*>(manager->getSceneNodeFromID(2))->getMeshNode() != nullptr, edge);
                EXPECT_EQ(log.countStartingWith("ERROR: Could not load the mesh"), 0u);
                loadBudget().setLimit(kind, LoadBudget::gameLimits[kind]);
            }
            EXPECT_TRUE(loadWith(kind, LoadBudget::gameLimits[kind], level, false).empty());
            EXPECT_NE(static_cast<PhysicsObject*>(manager->getSceneNodeFromID(2))->getMeshNode(), nullptr)
                << "the next load reads the mesh left out again";
        }
    }
}

// Frames are charged as they are read and again as an object copies them: one object's
// animation of half the real budget fills it exactly, one frame more is left out.
TEST_F(LoadBudgetLevelsTest, SpriteFramesStopAtTheFrameBudget) {
    writePicture("Sheet.png", 2);
    write("Four.xml", "<SpriteAnimation file=\"Sheet.png\"><Sprite width=\"1\" height=\"1\" overallWidth=\"2\" "
                      "overallHeight=\"2\" frameCount=\"4\" /></SpriteAnimation>\n");
    // One-pixel cells on a 1024 x 1024 sheet: the reader's own bounds let both through.
    const std::uint64_t realLimit = LoadBudget::gameLimits[LoadBudget::Frames];
    for (const auto& [file, frames] : {std::pair{"Edge", realLimit / 2}, std::pair{"Over", realLimit / 2 + 1}})
        write(std::string(file) + ".xml",
              "<SpriteAnimation file=\"Sheet.png\"><Sprite width=\"1\" height=\"1\" overallWidth=\"1024\" "
              "overallHeight=\"1024\" frameCount=\"" + std::to_string(frames) + "\" /></SpriteAnimation>\n");
    for (const char* file : {"Four", "Edge", "Over"})
        write(std::string(file) + ".irr",
              levelOf(node("BillboardObject", "<int name=\"Id\" value=\"1\" />",
                           "<animators><attributes><string name=\"Type\" value=\"animateTexture\" /><string "
                           "name=\"AnimFilePath\" value=\"" + std::string(file) + ".xml\" /></attributes></animators>")));
    const struct {
        const char* level;
        std::uint64_t limit;
        u32 frames; // the object's animation
        std::string line;
    } cases[] = {
        {"Four.irr", 8, 4, ""},
        {"Four.irr", 7, 0, "ERROR: The level load reached its budget of 7 sprite-animation frames at \"Four.xml\"; the rest is left out."},
        {"Edge.irr", realLimit, static_cast<u32>(realLimit / 2), ""},
        {"Over.irr", realLimit, 0,
         "ERROR: The level load reached its budget of " + std::to_string(realLimit) +
             " sprite-animation frames at \"Over.xml\"; the rest is left out."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit);
        EXPECT_EQ(loadWith(LoadBudget::Frames, c.limit, c.level),
                  c.line.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.line});
        scene::ISceneNode* billboard = manager->getSceneNodeFromID(1);
        ASSERT_EQ(billboard->getAnimators().size(), 1u);
        const auto* animator = static_cast<const AnimateTextureAnimator*>(*billboard->getAnimators().begin());
        EXPECT_EQ(animator->sprite.frameList.size(), c.frames);
    }
}

// A quit while a long file is still being read ends the read at its next look (where it also
// shows a loading frame): nothing of the level is built, and no read error is logged.
TEST_F(LoadBudgetLevelsTest, AQuitDuringALongReadStopsTheRead) {
    std::string unused;
    for (int i = 0; i < 5 * 4096; ++i)
        unused += "<userData/>";
    write("Long.irr", levelOf(unused + node("LevelObject", "<int name=\"Id\" value=\"7\" />")));
    int frames = 0;
    levelHooks().screens.renderLoadingFrame = [&frames] {
        ++frames;
        QuitRequested = true;
    };
    EXPECT_FALSE(manager->loadLevel("Long.irr"));
    QuitRequested = false;
    EXPECT_EQ(frames, 1) << "the read stopped at its first look";
    EXPECT_EQ(smgr()->getSceneNodeFromId(7), nullptr);
    EXPECT_EQ(log.lines.back(), "Loading stopped, the game is quitting: Long.irr");
    for (const std::string& line : log.lines)
        EXPECT_EQ(line.find("ERROR"), std::string::npos) << line;
}

// A quit asked for while a level's pictures are read is honoured before the next picture,
// however few XML nodes lie between them: the level's file names no more, and a mesh's
// materials get no more decoded (the engine still files a pixel under each name).
TEST_F(LoadBudgetLevelsTest, AQuitIsHonouredBetweenPictures) {
    std::string nodes, library, faces = "v 0 0 0\nv 1 0 0\nv 1 0 1\nmtllib Three.mtl\n";
    for (int i = 0; i < 3; ++i) {
        const std::string picture = "P" + std::to_string(i) + ".png";
        writePicture(picture, 2);
        nodes += node("cube", "", "<materials><attributes><texture name=\"Texture1\" value=\"" + picture +
                                      "\" /></attributes></materials>");
        library += "newmtl M" + std::to_string(i) + "\nmap_Kd " + picture + "\n";
        faces += "usemtl M" + std::to_string(i) + "\nf 1 2 3\n";
    }
    write("Pictures.irr", levelOf(nodes));
    write("Three.mtl", library);
    write("Three.obj", faces);
    write("Materials.irr", levelOf(node("mesh", "<string name=\"Mesh\" value=\"Three.obj\" />")));
    // The quit comes as the first picture is loaded.
    struct QuitAtFirstPicture : IEventReceiver {
        explicit QuitAtFirstPicture(test::LogCapture& log) : log(log) {}
        bool OnEvent(const SEvent& event) override {
            log.OnEvent(event);
            if (!log.lines.empty() && log.lines.back().rfind("Loaded texture: ", 0) == 0)
                QuitRequested = true;
            return false;
        }
        test::LogCapture& log;
    } quitAtFirstPicture(log);
    for (const auto& [level, filed] : {std::pair{"Pictures.irr", 1u}, std::pair{"Materials.irr", 3u}}) {
        SCOPED_TRACE(level);
        smgr()->getVideoDriver()->removeAllTextures();
        log.lines.clear();
        device->get()->setEventReceiver(&quitAtFirstPicture);
        EXPECT_FALSE(manager->loadLevel(level));
        device->get()->setEventReceiver(&log);
        QuitRequested = false;
        EXPECT_EQ(loadBudget().used(LoadBudget::Pixels), 4u) << "one picture decoded";
        EXPECT_EQ(log.countStartingWith("Loaded texture: "), filed);
        EXPECT_EQ(log.lines.back(), std::string("Loading stopped, the game is quitting: ") + level);
    }
}

// Each thing a level's objects make charges its memory as it is made, whether read from the
// level or copied by a Spawn Object pool: a budget of exactly what the level makes makes it
// all without a line; one byte less leaves the last thing out, with the one line, and the
// level plays with the rest.
TEST_F(MemoryBudgetLevelsTest, WhatALevelsObjectsMakeStopsAtItsMemoryBudget) {
    writeSheet("Sheet.obj", 16);
    const struct {
        const char* what;
        std::string level;
    } rows[] = {
        {"a text of 300 characters at size 64 (glyph pages and nodes)", levelOf(text(64, characters(300)))},
        {"three particle systems at the emission cap", levelOf(sprays(3))},
        {"four cloths of 256 particles", levelOf(cloth(11, "Sheet.obj") + cloth(12, "Sheet.obj") + cloth(13, "Sheet.obj") +
                                                cloth(14, "Sheet.obj"))},
        {"a cloth of 256 particles in a pool of eight", levelOf(cloth(11, "Sheet.obj") + pool(11, 8))},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        write("Level.irr", row.level);
        clearFontCache(); // each load makes its fonts afresh
        EXPECT_EQ(loadWith(LoadBudget::Memory, LoadBudget::gameLimits[LoadBudget::Memory], "Level.irr"),
                  std::vector<std::string>{});
        const std::uint64_t all = made();
        const std::uint64_t used = loadBudget().used(LoadBudget::Memory);
        ASSERT_GT(all, 0u);
        ASSERT_GT(used, 0u);
        clearFontCache();
        EXPECT_EQ(loadWith(LoadBudget::Memory, used, "Level.irr"), std::vector<std::string>{}) << "the edge";
        EXPECT_EQ(made(), all);
        EXPECT_EQ(loadBudget().used(LoadBudget::Memory), used);
        clearFontCache();
        EXPECT_EQ(loadWith(LoadBudget::Memory, used - 1, "Level.irr"),
                  std::vector<std::string>{"ERROR: The level load reached its budget of " + std::to_string(used - 1) +
                                           " bytes of memory at \"Level.irr\"; the rest is left out."})
            << "one past";
        EXPECT_LT(made(), all);
        EXPECT_LT(loadBudget().used(LoadBudget::Memory), used);
    }
}

// Each node's mesh is charged to the level's triangles as attached, a copy's again: on the
// bound all is drawn without a line; one triangle less leaves the last mesh out, with the line.
TEST_F(MemoryBudgetLevelsTest, WhatALevelDrawsStopsAtItsTriangleBudget) {
    writeSheet("Sheet.obj", 16); // 450 triangles
    const std::string object =
        node("PhysicsObject", "<int name=\"Id\" value=\"11\" /><string name=\"MeshFileName\" value=\"Sheet.obj\" />"
                              "<vector3d name=\"BoxExtents\" value=\"1, 1, 1\" /><enum name=\"PhysicsState\" value=\"Static\" />");
    const struct {
        const char* what;
        std::string level;
    } rows[] = {
        {"a mesh, a cube and a sphere node",
         levelOf(node("mesh", "<string name=\"Mesh\" value=\"Sheet.obj\" />") + node("cube", "") +
                 node("sphere", "<int name=\"PolyCountX\" value=\"8\" /><int name=\"PolyCountY\" value=\"8\" />"))},
        {"three objects of one mesh", levelOf(object + object + object)},
        {"an object copied by a pool of four", levelOf(object + pool(11, 4))},
    };
    const auto drawing = [this] { // the nodes drawing a mesh of their own
        core::array<scene::ISceneNode*> nodes;
        smgr()->getSceneNodesFromType(scene::ESNT_ANY, nodes);
        std::size_t count = 0;
        for (u32 i = 0; i < nodes.size(); ++i)
            count += nodeTriangles(nodes[i]) > 0 ? 1 : 0;
        return count;
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        write("Level.irr", row.level);
        EXPECT_EQ(loadWith(LoadBudget::Triangles, LoadBudget::gameLimits[LoadBudget::Triangles], "Level.irr"),
                  std::vector<std::string>{});
        const std::size_t all = drawing();
        const std::uint64_t used = loadBudget().used(LoadBudget::Triangles);
        ASSERT_GE(all, 3u);
        EXPECT_EQ(loadWith(LoadBudget::Triangles, used, "Level.irr"), std::vector<std::string>{}) << "the edge";
        EXPECT_EQ(drawing(), all);
        EXPECT_EQ(loadWith(LoadBudget::Triangles, used - 1, "Level.irr"),
                  budgetLines(LoadBudget::Triangles, used - 1, "Level.irr"))
            << "one past";
        EXPECT_EQ(drawing(), all - 1);
    }
}
