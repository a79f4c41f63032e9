// Whole level loads against the load's one budget (core/LoadBudget.h), each made at run time
// with a small budget: a load stops adding at each budget with one line and plays with what it
// loaded, and a quit is honoured inside a long read.
#include "GameTypesFixture.h"

#include "characters/animators/AppearanceAnimators.h"
#include "core/FileChecks.h"
#include "core/Globals.h"
#include "core/LoadBudget.h"
#include "level/LevelHooks.h"
#include "render/SpriteAnimation.h"

#include <filesystem>

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

    // The level loaded afresh with the kind's budget at the limit; its budget lines.
    std::vector<std::string> loadWith(LoadBudget::Kind kind, std::uint64_t limit, const char* level) {
        manager->unloadLevel();
        // Each load reads its pictures and animations afresh.
        smgr()->getVideoDriver()->removeAllTextures();
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

// Pictures and water targets share the pixels: the first past them and all after are left out,
// but for the game's own pictures.
TEST_F(LoadBudgetLevelsTest, TexturesAndWaterTargetsStopAtThePixelBudget) {
    std::string nodes;
    for (int i = 0; i < 3; ++i) {
        writePicture("Tex" + std::to_string(i) + ".png", 16);
        nodes += node("cube", "", "<materials><attributes><texture name=\"Texture1\" value=\"Tex" + std::to_string(i) +
                                      ".png\" /></attributes></materials>");
    }
    nodes += node("wtr1", "<dimension2d name=\"RenderTargetSize\" value=\"8, 8\" />");
    // The game's own pictures are not the level's: never charged, never left out.
    std::filesystem::create_directory(temp.file("Content"));
    writePicture("Content/Own.png", 16);
    nodes += node("cube", "", "<materials><attributes><texture name=\"Texture1\" value=\"Content/Own.png\" /></attributes></materials>");
    write("Main.irr", levelOf(nodes));
    const struct {
        std::uint64_t limit;
        std::uint64_t used; // three pictures of 256 pixels, then two targets of 64
        std::string line;
    } cases[] = {
        {3 * 256 + 2 * 64, 3 * 256 + 2 * 64, ""},
        {3 * 256 + 2 * 64 - 1, 3 * 256 + 64, "ERROR: The level load reached its budget of 895 texture pixels at \"Main.irr\"; the rest is left out."},
        {3 * 256 - 1, 2 * 256,
         "ERROR: The level load reached its budget of 767 texture pixels at \"" + temp.file("Tex2.png") + "\"; the rest is left out."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit);
        EXPECT_EQ(loadWith(LoadBudget::Pixels, c.limit, "Main.irr"),
                  c.line.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.line});
        EXPECT_EQ(loadBudget().used(LoadBudget::Pixels), c.used);
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
