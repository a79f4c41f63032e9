// Sprite animations and texture atlases: playback (looping, reversed, clamped), frame
// timing, cell and rectangle lookups, and the two XML loaders with their failure lines.
#include "render/SpriteAnimation.h"

#include "../gui/GuiFixture.h"
#include "RenderFixture.h"

#include "core/Globals.h"
#include "level/ResourceCaches.h"
#include "render/RenderRegistration.h"
#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace irr;

namespace {

class SpriteLogLines : public IEventReceiver {
public:
    bool OnEvent(const SEvent& event) override {
        if (event.EventType != EET_LOG_TEXT_EVENT)
            return false;
        lines.emplace_back(event.LogEvent.Text);
        return true;
    }
    bool contains(const std::string& part) const {
        for (const std::string& line : lines)
            if (line.find(part) != std::string::npos)
                return true;
        return false;
    }
    std::vector<std::string> lines;
};

struct FinishCounter {
    void finishedOnce() { ++count; }
    int count = 0;
};

SpriteAnimation playable(f32 duration, f32 time, bool looping, bool reversed) {
    SpriteAnimation animation;
    animation.duration = duration;
    animation.time = time;
    animation.looping = looping;
    animation.reversed = reversed;
    return animation;
}

class SpriteAnimationTest : public ::testing::Test {
protected:
    void SetUp() override {
        rendertest::resetRenderGlobals();
        gameDevice = device.get();
    }
    void TearDown() override {
        clearSpriteAnimationCache();
        rendertest::resetRenderGlobals();
    }
    std::string write(const std::string& name, const std::string& text) {
        const std::string path = dir.file(name);
        test::writeFileBytes(path, text);
        return path;
    }
    SpriteLogLines log;
    test::NullDevice device{&log};
    test::TempDir dir;
};

struct UpdateCase {
    const char* what;
    f32 duration, time, step;
    bool looping, reversed, playing;
    f32 expectedTime;
    int expectedFinished;
};

TEST_F(SpriteAnimationTest, UpdateWrapsClampsAndFires) {
    const UpdateCase cases[] = {
        {"looping forward wraps several times", 1.0f, 0.9f, 2.35f, true, false, true, 0.25f, 1},
        {"looping forward inside", 1.0f, 0.2f, 0.3f, true, false, true, 0.5f, 0},
        {"looping reversed wraps", 1.0f, 0.1f, 0.3f, true, true, true, 0.8f, 1},
        {"clamped forward reaches the end", 1.0f, 0.95f, 0.1f, false, false, true, 1.0f, 1},
        {"clamped resting at the end", 1.0f, 1.0f, 0.1f, false, false, true, 1.0f, 0},
        {"clamped reversed reaches the start", 1.0f, 0.05f, 0.1f, false, true, true, 0.0f, 1},
        {"clamped reversed resting at the start", 1.0f, 0.0f, 0.1f, false, true, true, 0.0f, 0},
        {"looping forward onto the end waits there", 1.0f, 0.5f, 0.5f, true, false, true, 1.0f, 0},
        {"looping reversed onto the start waits there", 1.0f, 0.5f, 0.5f, true, true, true, 0.0f, 0},
        {"clamped forward exactly onto the end", 1.0f, 0.5f, 0.5f, false, false, true, 1.0f, 1},
        {"clamped reversed exactly onto the start", 1.0f, 0.5f, 0.5f, false, true, true, 0.0f, 1},
        {"stopped", 1.0f, 0.5f, 0.7f, true, false, false, 0.5f, 0},
        {"no duration", 0.0f, 0.0f, 0.7f, true, false, true, 0.0f, 0},
        // Periods below the precision of the time wrap in one step, each way.
        {"looping forward over periods of 4e-12", 4e-12f, 0.0f, 0.0167f, true, false, true, 0.0f, 1},
        {"looping reversed over periods of 4e-12", 4e-12f, 0.0f, 0.0167f, true, true, true, 0.0f, 1},
        {"a duration below 0 stands still", -0.1f, 0.5f, 0.3f, true, false, true, 0.5f, 0},
    };
    for (const UpdateCase& c : cases) {
        SpriteAnimation animation = playable(c.duration, c.time, c.looping, c.reversed);
        animation.playing = c.playing;
        FinishCounter counter;
        animation.finished.addMember(&counter, &FinishCounter::finishedOnce);
        animation.update(c.step);
        EXPECT_NEAR(animation.time, c.expectedTime, 1e-5f) << c.what;
        EXPECT_EQ(counter.count, c.expectedFinished) << c.what;
    }
}

TEST_F(SpriteAnimationTest, ClampedAnimationFiresOnceOnReachingItsEnd) {
    SpriteAnimation animation = playable(1.0f, 0.95f, false, false);
    FinishCounter counter;
    animation.finished.addMember(&counter, &FinishCounter::finishedOnce);
    for (int i = 0; i < 5; ++i)
        animation.update(0.1f);
    EXPECT_FLOAT_EQ(animation.time, 1.0f);
    EXPECT_EQ(counter.count, 1);
}

TEST_F(SpriteAnimationTest, FrameTimeKeepsTheRelativePosition) {
    SpriteAnimation animation;
    animation.first = 0;
    animation.last = 9;
    animation.frameTime = 0.1f;
    animation.duration = 1.0f;
    animation.time = 0.5f;
    animation.setFrameTime(0.05f);
    EXPECT_FLOAT_EQ(animation.duration, 0.5f);
    EXPECT_FLOAT_EQ(animation.time, 0.25f);
    EXPECT_FLOAT_EQ(animation.frameTime, 0.05f);

    // Zero keeps the frame time and rewinds.
    animation.setFrameTime(0.0f);
    EXPECT_FLOAT_EQ(animation.frameTime, 0.05f);
    EXPECT_FLOAT_EQ(animation.duration, 0.5f);
    EXPECT_FLOAT_EQ(animation.time, 0.0f);

    // Without a duration the ratio counts as the end.
    SpriteAnimation empty;
    empty.time = 0.3f;
    empty.setFrameTime(0.1f);
    EXPECT_FLOAT_EQ(empty.duration, 0.2f); // first 0, last 1
    EXPECT_FLOAT_EQ(empty.time, 0.2f);
}

// A rate from a file: 0 keeps the animation's own frame time, 0.001 to 1000 frames a second
// are taken as they are, rates beyond are clamped and negative ones refused, each of those
// with one line; the animation then plays.
TEST_F(SpriteAnimationTest, FrameRatesFromFilesAreClampedOrRefusedWithOneLine) {
    const struct {
        f32 rate, frameTime;
        const char* line; // null: none
    } cases[] = {
        {0.0f, 0.0167f, nullptr},
        {1000.0f, 0.001f, nullptr},
        {1001.0f, 0.001f, "Warning: Sprite animation \"A.xml\": TextureFPS 1001 clamped to 1000 (allowed 0.001 to 1000)"},
        {1e30f, 0.001f, "Warning: Sprite animation \"A.xml\": TextureFPS 1e+30 clamped to 1000 (allowed 0.001 to 1000)"},
        {0.001f, 1000.0f, nullptr},
        {0.0009f, 1000.0f, "TextureFPS 0.0009 clamped to 0.001 (allowed 0.001 to 1000)"},
        {-1.0f, 0.0167f, "Warning: Sprite animation \"A.xml\": TextureFPS -1 refused; it keeps its own frame time"},
        {std::nanf(""), 0.0167f, "TextureFPS nan refused; it keeps its own frame time"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        SpriteAnimation animation;
        animation.last = 3;
        animation.setFrameTime(0.0167f);
        log.lines.clear();
        animation.setFramesPerSecond(c.rate, "A.xml", "TextureFPS");
        EXPECT_NEAR(animation.frameTime, c.frameTime, c.frameTime * 1e-5f);
        ASSERT_EQ(log.lines.size(), c.line ? 1u : 0u);
        if (c.line) {
            EXPECT_NE(log.lines[0].find(c.line), std::string::npos) << log.lines[0];
        }
        animation.update(0.02f);
        EXPECT_GT(animation.time, 0.0f);
        EXPECT_LE(animation.time, animation.duration);
    }
}

// The frames of an animation, counted or listed, must fit in the cells of its sheet, and the
// sheet in an image (8192 pixels a side): a file claiming more is refused before a frame is
// listed, each bound met and passed by one.
TEST_F(SpriteAnimationTest, FramesBeyondTheCellsOfASheetWithinAnImageAreRefused) {
    const struct {
        int sheetWidth, frames;
        const char* list;
        const char* refusal; // null: it loads
    } cases[] = {
        {8192, 8192, "", nullptr},
        {8192, 8193, "", "Texture animation frame count incorrect:"},
        {8192, -1, "", "Texture animation frame count incorrect:"},
        {8193, 1, "", "Texture animation sheet outside any image:"},
        {8192, 0, "8192,0", nullptr},
        {8192, 0, "8193", "Texture animation frame count incorrect:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.sheetWidth) + " " + std::to_string(c.frames) + " " + c.list);
        const std::string path =
            write("Sheet.xml", "<SpriteAnimation file=\"\"/><Sprite width=\"1\" height=\"1\" overallWidth=\"" +
                                   std::to_string(c.sheetWidth) + "\" overallHeight=\"1\" frameCount=\"" +
                                   std::to_string(c.frames) + "\" frameList=\"" + c.list + "\"/>");
        log.lines.clear();
        SpriteAnimation animation;
        EXPECT_EQ(loadTextureAnimation(animation, path.c_str()), c.refusal == nullptr);
        if (c.refusal) {
            EXPECT_TRUE(log.contains(c.refusal + path));
            EXPECT_TRUE(animation.frameList.empty());
        }
    }
}

struct CellCase {
    f32 time;
    s32 cell;
};

TEST_F(SpriteAnimationTest, CurrentCellFollowsTheFrameList) {
    SpriteAnimation animation;
    animation.frameList.push_back(3);
    animation.frameList.push_back(1);
    animation.frameList.push_back(2);
    animation.first = 0;
    animation.last = 2;
    animation.frameTime = 0.1f;
    animation.setFrameTime(0.1f);
    EXPECT_FLOAT_EQ(animation.duration, 0.3f);
    const CellCase cases[] = {{0.05f, 2}, {0.15f, 0}, {0.25f, 1}, {0.3f, 1}};
    for (const CellCase& c : cases) {
        animation.time = c.time;
        EXPECT_EQ(animation.getCurrentCell(), c.cell) << c.time;
    }
    // Outside the list the position itself is the cell; no duration shows cell 0.
    animation.frameList.clear();
    animation.time = 0.25f;
    EXPECT_EQ(animation.getCurrentCell(), 2);
    animation.duration = 0.0f;
    EXPECT_EQ(animation.getCurrentCell(), 0);
}

TEST_F(SpriteAnimationTest, RectanglesOfTheCurrentCell) {
    SpriteAnimation animation;
    animation.x = 32;
    animation.y = 16;
    animation.itemX = 32;
    animation.itemY = 0;
    animation.width = 16;
    animation.height = 8;
    animation.columns = 2;
    animation.first = 0;
    animation.last = 3;
    animation.duration = 0.4f;
    animation.time = 0.35f; // cell 3: column 1, row 1
    EXPECT_EQ(animation.getFrameUVRect(), core::rectf(0, 0, 0, 0)); // no texture yet
    EXPECT_EQ(animation.getFrameRect(), core::recti(48, 8, 64, 16));

    auto* sheet = new guitest::SizedTexture("sheet", 128, 64);
    animation.setTexture(sheet);
    const core::rectf uv = animation.getFrameUVRect();
    EXPECT_FLOAT_EQ(uv.UpperLeftCorner.X, 48.0f / 128.0f);
    EXPECT_FLOAT_EQ(uv.UpperLeftCorner.Y, 24.0f / 64.0f);
    EXPECT_FLOAT_EQ(uv.LowerRightCorner.X, 64.0f / 128.0f);
    EXPECT_FLOAT_EQ(uv.LowerRightCorner.Y, 32.0f / 64.0f);

    // A copy keeps everything but the listeners; without a file the texture pointer is shared.
    FinishCounter counter;
    animation.finished.addMember(&counter, &FinishCounter::finishedOnce);
    SpriteAnimation copy = animation;
    EXPECT_EQ(copy.texture, sheet);
    EXPECT_EQ(copy.getFrameRect(), animation.getFrameRect());
    EXPECT_EQ(copy.finished.size(), 0u);
    EXPECT_EQ(sheet->getReferenceCount(), 3);
    sheet->drop();
}

TEST_F(SpriteAnimationTest, AtlasItemsAreFoundByExactName) {
    const std::string path = write("Atlas.xml",
                                   "<TextureAtlas atlas=\"\" file=\"Missing.png\" name=\"ui\">\n"
                                   "  <SpriteItem name=\"coin\" x=\"64\" y=\"32\" width=\"128\" height=\"32\"/>\n"
                                   "  <SpriteItem name=\"star\" x=\"0\" y=\"96\" width=\"16\" height=\"16\"/>\n"
                                   "</TextureAtlas>\n");
    TextureAtlas atlas;
    ASSERT_TRUE(loadTextureAtlas(atlas, path.c_str()));
    ASSERT_EQ(atlas.items.size(), 2u);
    EXPECT_EQ(atlas.findSprite("coin"), core::recti(64, 32, 128, 32));
    EXPECT_EQ(atlas.findSprite("star"), core::recti(0, 96, 16, 16));
    EXPECT_EQ(atlas.findSprite("Coin"), core::recti(0, 0, 0, 0));
    EXPECT_EQ(atlas.texturePath, io::path("Missing.png"));
    EXPECT_TRUE(log.contains("ERROR: Could not load texture atlas texture at: Missing.png"));
    EXPECT_TRUE(log.contains("Loaded texture atlas: " + path));

    TextureAtlas none;
    EXPECT_FALSE(loadTextureAtlas(none, dir.file("Nope.xml").c_str()));
    EXPECT_TRUE(log.contains("Could not load texture atlas: " + dir.file("Nope.xml")));
}

TEST_F(SpriteAnimationTest, AnimationInsideAnAtlasItem) {
    const std::string sheet = (test::sourceDir() / "Content/Models/Editor/White.png").string();
    const std::string atlas = write("Atlas.xml", "<TextureAtlas file=\"" + sheet +
                                                     "\">\n"
                                                     "<SpriteItem name=\"coin\" x=\"64\" y=\"32\" width=\"128\" "
                                                     "height=\"32\"/></TextureAtlas>\n");
    const std::string path = write("Coin.xml", "<SpriteAnimation atlas=\"" + atlas +
                                                   "\" name=\"coin\" file=\"" + sheet +
                                                   "\">\n<Sprite x=\"2\" y=\"4\" width=\"32\" height=\"32\" "
                                                   "frameCount=\"4\" frameList=\"\"/>\n</SpriteAnimation>\n");
    SpriteAnimation animation;
    ASSERT_TRUE(loadTextureAnimation(animation, path.c_str()));
    EXPECT_NE(animation.texture, nullptr);
    EXPECT_EQ(animation.textureFile, io::path(sheet.c_str()));
    EXPECT_EQ(animation.x, 66);
    EXPECT_EQ(animation.y, 36);
    EXPECT_EQ(animation.itemX, 64);
    EXPECT_EQ(animation.overallWidth, 128); // from the item
    EXPECT_EQ(animation.columns, 4);
    EXPECT_EQ(animation.rows, 1);
    ASSERT_EQ(animation.frameList.size(), 4u);
    EXPECT_EQ(animation.frameList[3], 4);
    EXPECT_EQ(animation.first, 0);
    EXPECT_EQ(animation.last, 3);
    EXPECT_NEAR(animation.duration, 4 * 0.0167f, 1e-6f);
    animation.time = animation.duration * 0.6f; // third frame
    EXPECT_EQ(animation.getFrameRect(), core::recti(128, 32, 160, 64));
    EXPECT_TRUE(log.contains("Loaded texture animation: " + path));
}

TEST_F(SpriteAnimationTest, FrameListTextIsSplitAtCommas) {
    const std::string path = write("List.xml", "<SpriteAnimation file=\"\"/><Sprite width=\"8\" height=\"8\" "
                                               "overallWidth=\"32\" overallHeight=\"8\" frameCount=\"4\" "
                                               "frameList=\"4,x,2\"/>");
    SpriteAnimation animation;
    ASSERT_TRUE(loadTextureAnimation(animation, path.c_str()));
    ASSERT_EQ(animation.frameList.size(), 3u);
    EXPECT_EQ(animation.frameList[0], 4);
    EXPECT_EQ(animation.frameList[1], 0); // not a number
    EXPECT_EQ(animation.frameList[2], 2);
    EXPECT_EQ(animation.last, 2);
}

TEST_F(SpriteAnimationTest, TheCacheReadsEachFileOnceThroughTheRegisteredLoader) {
    registerRenderSubsystem();
    const std::string path =
        write("List.xml", "<SpriteAnimation file=\"\"/><Sprite width=\"8\" height=\"8\" "
                          "overallWidth=\"32\" overallHeight=\"8\" frameCount=\"4\"/>");
    SpriteAnimation first;
    ASSERT_TRUE(getSpriteAnimation(first, path.c_str()));
    EXPECT_EQ(first.last, 3);
    SpriteAnimation second;
    ASSERT_TRUE(getSpriteAnimation(second, path.c_str()));
    EXPECT_EQ(second.frameList.size(), 4u);
    EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), "Loaded texture animation: " + path),
              1);
    SpriteAnimation missing;
    EXPECT_FALSE(getSpriteAnimation(missing, dir.file("Gone.xml").c_str()));
    EXPECT_EQ(spriteAnimationCacheSize(), 1u);
}

TEST_F(SpriteAnimationTest, BrokenAnimationFilesLogAndStop) {
    SpriteAnimation missing;
    EXPECT_FALSE(loadTextureAnimation(missing, dir.file("Gone.xml").c_str()));
    EXPECT_TRUE(log.contains("Could not load texture animation: " + dir.file("Gone.xml")));
    EXPECT_EQ(missing.texture, nullptr);

    const std::string path = write("Short.xml", "<SpriteAnimation file=\"Sheet.png\"/><Sprite width=\"64\" "
                                                "height=\"64\" overallWidth=\"256\" overallHeight=\"64\" "
                                                "frameCount=\"5\"/>");
    SpriteAnimation shortSheet;
    EXPECT_FALSE(loadTextureAnimation(shortSheet, path.c_str()));
    EXPECT_TRUE(log.contains("Texture animation frame count incorrect:" + path));
    EXPECT_EQ(shortSheet.texture, nullptr);
    EXPECT_TRUE(shortSheet.frameList.empty());

    // A cut-off file reads what it can and never crashes.
    const std::string cut = write("Cut.xml", "<SpriteAnimation file=\"Missing.png\"><Sprite width=\"8");
    SpriteAnimation partial;
    loadTextureAnimation(partial, cut.c_str());
    EXPECT_EQ(partial.texture, nullptr);
}

} // namespace
