// Text objects (font choice by path, bitmap strip layout, TrueType glyph nodes, attributes,
// colours, clone), text bubbles (lines, layout, the typewriter reveal and its clicks,
// the card) and volume lights (clamps, rebuilds, material carry-over, clone) on the null
// driver.
#include "render/TextBubbleObject.h"
#include "render/TextObject.h"
#include "render/VolumeLightObject.h"

#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "core/LoadBudget.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"
#include "level/DataBinding.h"
#include "level/SoundObject.h"
#include "render/RenderRegistration.h"
#include "support/ScreenConnections.h"
#include "support/NullDevice.h"
#include "support/TempDir.h"

#include "RenderFixture.h"
#include "../level/LevelTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using namespace irr;

namespace {

const char* const gameFontPath = "Content/Font/NoMove.ttf";

class WorldTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        rendertest::resetRenderGlobals();
        workingDir = std::make_unique<test::ScopedWorkingDir>(test::sourceDir());
        gameDevice = device.get();
        scene = device->getSceneManager();
        camera = scene->addCameraSceneNode(nullptr, core::vector3df(0, 0, -50), core::vector3df(0, 0, 0));
        connectGameObjectsToScreens(); // the world text's fonts
    }
    void TearDown() override {
        test::disconnectGameObjectsFromScreens();
        scene->clear();
        clearFontCache();
        physicsManager = nullptr;
        rendertest::resetRenderGlobals();
        workingDir.reset();
    }
    TextObject* addText() {
        auto* text = new TextObject(scene->getRootSceneNode(), scene, -1);
        text->drop();
        return text;
    }
    io::IAttributes* attributes() {
        io::IAttributes* a = device->getFileSystem()->createEmptyAttributes(device->getVideoDriver());
        held.push_back(a);
        return a;
    }
    // A bitmap font of two letters, "A" 10 and "B" 30 pixels wide, in the temporary folder.
    std::string writeTwoLetterFont() {
        video::IVideoDriver* driver = device->getVideoDriver();
        video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(64, 32));
        image->fill(video::SColor(255, 255, 255, 255));
        EXPECT_TRUE(driver->writeImageToFile(image, dir.file("Two.png").c_str()));
        image->drop();
        std::ofstream(dir.file("Two.xml")) << "<?xml version=\"1.0\"?>\n<font type=\"bitmap\">\n"
                                              "<Texture index=\"0\" filename=\"Two.png\" hasAlpha=\"true\" />\n"
                                              "<c c=\"A\" r=\"0, 0, 10, 20\" />\n<c c=\"B\" r=\"10, 0, 40, 20\" />\n"
                                              "<c c=\" \" r=\"40, 0, 44, 20\" />\n</font>\n";
        return dir.file("Two.xml");
    }
    void simulateRunningPhysics() {
        physicsManager = reinterpret_cast<PhysicsManager*>(0x10);
        coreSlots().physics.isSimulationActive = [] { return true; };
    }
    ~WorldTextTest() override {
        for (io::IAttributes* a : held)
            a->drop();
    }

    test::TempDir dir;
    std::unique_ptr<test::ScopedWorkingDir> workingDir;
    test::NullDevice device;
    scene::ISceneManager* scene = nullptr;
    scene::ICameraSceneNode* camera = nullptr;
    std::vector<io::IAttributes*> held;
};

// --- text object -----------------------------------------------------------------------

TEST_F(WorldTextTest, FontPathExtensionChoosesTheTrueTypePath) {
    const struct {
        const char* path;
        bool trueType;
    } rows[] = {{"Content/Font/NoMove.ttf", true}, {"FONT.TTF", true},  {"a.TtF", true},
                {"Content/Font/Debug.xml", false}, {"ttf", false},      {"font.ttf.png", false},
                {"", false},                       {"dir.ttf/font", false}};
    for (const auto& row : rows)
        EXPECT_EQ(TextObject::isTrueTypePath(row.path), row.trueType) << row.path;
}

TEST_F(WorldTextTest, NewTextHasTheBuiltInFontAndNoGlyphs) {
    TextObject* text = addText();
    EXPECT_EQ(text->getType(), typeId("text"));
    EXPECT_NE(text->getFont(), nullptr);
    ASSERT_NE(text->getMesh(), nullptr);
    EXPECT_EQ(text->getMaterialCount(), text->getMesh()->getMeshBufferCount());
    EXPECT_TRUE(text->getGlyphRecords().empty());
    EXPECT_EQ(text->getGlyphNodes().size(), 0u);
    EXPECT_FLOAT_EQ(text->getSize().X, 1.0f);
    EXPECT_TRUE(text->getTextRoot()->isDebugObject());
    EXPECT_EQ(text->getTextRoot()->getScale(), core::vector3df(0.1f, 0.1f, 0.1f));
    EXPECT_EQ(text->getFontSize(), 72);
    EXPECT_EQ(text->getAutomaticCulling(), scene::EAC_BOX);
    const video::SMaterial& material = text->getMaterial(0);
    EXPECT_EQ(material.MaterialType, video::EMT_TRANSPARENT_ALPHA_CHANNEL);
    EXPECT_FALSE(material.ZWriteEnable);
    EXPECT_FALSE(material.Lighting);
    // Past its buffers a text answers with a material of its own.
    EXPECT_NE(&text->getMaterial(text->getMaterialCount()), &material);
    EXPECT_FALSE(material.BackfaceCulling);
}

TEST_F(WorldTextTest, ABoundTextReachesTheTextThroughTheRegisteredRebuild) {
    registerRenderSubsystem();
    TextObject* text = addText();
    io::IAttributes* in = attributes();
    in->addString("FontPath", writeTwoLetterFont().c_str());
    text->deserializeAttributes(in);
    EXPECT_TRUE(applyBoundValue(text, "Text", L"ABA"));
    EXPECT_EQ(text->getGlyphRecords().size(), 3u);
    EXPECT_FALSE(applyBoundValue(camera, "Text", L"AB")) << "no text object";
}

TEST_F(WorldTextTest, BitmapStripSharesItsWidthByGlyphWidth) {
    TextObject* text = addText();
    io::IAttributes* in = attributes();
    in->addString("FontPath", writeTwoLetterFont().c_str());
    in->addString("Text", "AB");
    text->deserializeAttributes(in);
    ASSERT_NE(text->getFont(), nullptr);
    ASSERT_EQ(text->getGlyphRecords().size(), 2u);
    EXPECT_FLOAT_EQ(text->getGlyphRecords()[0].width, 10.0f);
    EXPECT_FLOAT_EQ(text->getGlyphRecords()[1].width, 30.0f);
    EXPECT_EQ(text->getTextPixelSize().Width, 40u);
    text->updateAbsolutePosition();
    text->OnRegisterSceneNode();
    EXPECT_FLOAT_EQ(text->getSize().X, 4.0f);
    EXPECT_FLOAT_EQ(text->getSize().Y, 2.0f);

    scene::IMeshBuffer* buffer = text->getMesh()->getMeshBuffer(0);
    const auto* v = static_cast<const video::S3DVertex*>(buffer->getVertices());
    // Quad 0 spans -2 to -1, quad 1 -1 to 2, in the node's X-Y plane facing -Z.
    EXPECT_FLOAT_EQ(v[0].Pos.X, -1.0f);
    EXPECT_FLOAT_EQ(v[2].Pos.X, -2.0f);
    EXPECT_FLOAT_EQ(v[4].Pos.X, 2.0f);
    EXPECT_FLOAT_EQ(v[6].Pos.X, -1.0f);
    for (u32 i = 0; i < 8; ++i) {
        EXPECT_FLOAT_EQ(v[i].Pos.Z, 0.0f);
        EXPECT_EQ(v[i].Normal, core::vector3df(0, 0, -1));
        EXPECT_FLOAT_EQ(std::abs(v[i].Pos.Y), 1.0f);
    }
    // Upright: the picture's bottom row (v = 1) below, its top row above.
    EXPECT_FLOAT_EQ(v[0].Pos.Y, -1.0f);
    EXPECT_FLOAT_EQ(v[1].Pos.Y, 1.0f);
    // Indices 0, 2, 1, 0, 3, 2 per quad; colours bottom, top, top, bottom.
    const u16* indices = buffer->getIndices();
    const u16 expected[12] = {0, 2, 1, 0, 3, 2, 4, 6, 5, 4, 7, 6};
    for (u32 i = 0; i < 12; ++i)
        EXPECT_EQ(indices[i], expected[i]);
    // Read again from a file without a font path, the text takes the built-in font.
    io::IAttributes* plain = attributes();
    plain->addString("Text", "AB");
    text->deserializeAttributes(plain);
    EXPECT_TRUE(text->getFontPath().empty());
}

// A bitmap text's quads are charged to its level's memory: a budget of exactly what they take
// builds them, one byte less builds none (the text shows nothing).
TEST_F(WorldTextTest, ABitmapTextPastItsLevelsMemoryIsNotBuilt) {
    const std::string font = writeTwoLetterFont();
    const auto text = [&] {
        TextObject* made = addText();
        io::IAttributes* in = attributes();
        in->addString("FontPath", font.c_str());
        in->addString("Text", "AB");
        made->deserializeAttributes(in);
        return made;
    };
    text(); // the font, read before any level's budget
    const std::uint64_t quads = 2ull * TextObject::bytesPerBitmapGlyph;
    for (const std::uint64_t limit : {quads, quads - 1}) {
        SCOPED_TRACE(limit);
        const LoadBudgetScope level("Level.irr", true);
        loadBudget().setLimit(LoadBudget::Memory, limit);
        const TextObject* made = text();
        const bool fits = limit == quads;
        EXPECT_EQ(made->getGlyphRecords().size(), fits ? 2u : 0u);
        EXPECT_EQ(made->getMesh()->getMeshBuffer(0)->getVertexCount(), fits ? 8u : 0u);
        EXPECT_EQ(made->getTextPixelSize().Width, fits ? 40u : 0u);
    }
    loadBudget().setLimit(LoadBudget::Memory, LoadBudget::gameLimits[LoadBudget::Memory]);
}

// Each letter takes a share of the strip for its width and one for its kerning after it: with
// "B" kerned 10 pixels, "AB" shares 50 pixels as 10, 0, 30 and 10.
TEST_F(WorldTextTest, KerningTakesItsShareOfTheStrip) {
    std::ofstream(dir.file("Kerned.xml")) << "<?xml version=\"1.0\"?>\n<font type=\"bitmap\">\n"
                                             "<Texture index=\"0\" filename=\"Two.png\" hasAlpha=\"true\" />\n"
                                             "<c c=\"A\" r=\"0, 0, 10, 20\" />\n<c c=\"B\" r=\"10, 0, 40, 20\" o=\"10\" />\n"
                                             "</font>\n";
    writeTwoLetterFont(); // its picture
    TextObject* text = addText();
    io::IAttributes* in = attributes();
    in->addString("FontPath", dir.file("Kerned.xml").c_str());
    in->addString("Text", "AB");
    text->deserializeAttributes(in);
    ASSERT_EQ(text->getGlyphRecords().size(), 2u);
    ASSERT_FLOAT_EQ(text->getGlyphRecords()[0].kerning, 0.0f);
    ASSERT_FLOAT_EQ(text->getGlyphRecords()[1].kerning, 10.0f);
    text->updateAbsolutePosition();
    text->OnRegisterSceneNode();
    const f32 strip = text->getSize().X;
    const auto* v = static_cast<const video::S3DVertex*>(text->getMesh()->getMeshBuffer(0)->getVertices());
    EXPECT_NEAR(v[2].Pos.X, -0.5f * strip, 1e-4f);
    EXPECT_NEAR(v[0].Pos.X, -0.3f * strip, 1e-4f);
    EXPECT_NEAR(v[6].Pos.X, -0.3f * strip, 1e-4f);
    EXPECT_NEAR(v[4].Pos.X, 0.3f * strip, 1e-4f);
}

// A scaled strip takes its width from the scale's X and its height from its Y.
TEST_F(WorldTextTest, AScaledStripTakesEachAxisOfItsScale) {
    TextObject* text = addText();
    io::IAttributes* in = attributes();
    in->addString("FontPath", writeTwoLetterFont().c_str());
    in->addString("Text", "AB");
    text->deserializeAttributes(in);
    text->setScale(core::vector3df(2, 3, 1));
    text->updateAbsolutePosition();
    text->OnRegisterSceneNode();
    EXPECT_FLOAT_EQ(text->getSize().X, 8.0f);
    EXPECT_FLOAT_EQ(text->getSize().Y, 6.0f);
}

TEST_F(WorldTextTest, CameraMovesDoNotTurnAStripThatIgnoresTheCamera) {
    TextObject* text = addText();
    io::IAttributes* in = attributes();
    in->addString("FontPath", writeTwoLetterFont().c_str());
    in->addString("Text", "AB");
    text->deserializeAttributes(in);
    camera->setPosition(core::vector3df(40, 30, 10));
    camera->updateAbsolutePosition();
    text->updateAbsolutePosition();
    text->OnRegisterSceneNode();
    const auto* v = static_cast<const video::S3DVertex*>(text->getMesh()->getMeshBuffer(0)->getVertices());
    for (u32 i = 0; i < 8; ++i) {
        EXPECT_FLOAT_EQ(v[i].Pos.Z, 0.0f);
        EXPECT_EQ(v[i].Normal, core::vector3df(0, 0, -1));
    }
    // Facing the camera instead: the strip's normal points back at it.
    in->setAttribute("FaceCamera", true);
    text->deserializeAttributes(in);
    text->OnRegisterSceneNode();
    core::vector3df toCamera = camera->getAbsolutePosition() - camera->getTarget();
    toCamera.normalize();
    EXPECT_TRUE(v[0].Normal.equals(toCamera, 1e-4f));
    // Seen from straight above along the camera's up axis, it still runs along X, facing up.
    camera->setPosition(core::vector3df(0, 30, 0));
    camera->updateAbsolutePosition();
    camera->setTarget(core::vector3df(0, 0, 0));
    text->OnRegisterSceneNode();
    EXPECT_FLOAT_EQ(v[0].Pos.X, -1.0f);
    EXPECT_FLOAT_EQ(v[2].Pos.X, -2.0f);
    EXPECT_FLOAT_EQ(v[4].Pos.X, 2.0f);
    EXPECT_EQ(v[0].Normal, core::vector3df(0, 1, 0));
}

TEST_F(WorldTextTest, ColoursAreStoredOpaqueAndOneColourIsTemporary) {
    TextObject* text = addText();
    io::IAttributes* in = attributes();
    in->addString("FontPath", writeTwoLetterFont().c_str());
    in->addString("Text", "AB");
    in->addColor("ColorTop", video::SColor(0, 10, 20, 30));
    in->addColor("ColorBottom", video::SColor(17, 40, 50, 60));
    text->deserializeAttributes(in);
    video::SColor top, bottom;
    text->getColor(top, bottom);
    EXPECT_EQ(top, video::SColor(255, 10, 20, 30));
    EXPECT_EQ(bottom, video::SColor(255, 40, 50, 60));
    const auto* v = static_cast<const video::S3DVertex*>(text->getMesh()->getMeshBuffer(0)->getVertices());
    EXPECT_EQ(v[0].Color, bottom);
    EXPECT_EQ(v[1].Color, top);
    text->setColor(video::SColor(255, 1, 2, 3));
    v = static_cast<const video::S3DVertex*>(text->getMesh()->getMeshBuffer(0)->getVertices());
    EXPECT_EQ(v[1].Color, video::SColor(255, 1, 2, 3));
    EXPECT_EQ(v[0].Color, video::SColor(255, 1, 2, 3)) << "one colour for the whole glyph";
    text->getColor(top, bottom);
    EXPECT_EQ(top, video::SColor(255, 10, 20, 30));
    text->rebuildMesh(L"AB");
    v = static_cast<const video::S3DVertex*>(text->getMesh()->getMeshBuffer(0)->getVertices());
    EXPECT_EQ(v[1].Color, top);
    EXPECT_EQ(v[0].Color, bottom);
    // Two new colours go on at once: the top one on top, the bottom one below.
    text->setColor(video::SColor(255, 7, 8, 9), video::SColor(255, 4, 5, 6));
    v = static_cast<const video::S3DVertex*>(text->getMesh()->getMeshBuffer(0)->getVertices());
    EXPECT_EQ(v[1].Color, video::SColor(255, 7, 8, 9));
    EXPECT_EQ(v[0].Color, video::SColor(255, 4, 5, 6));
    EXPECT_EQ(v[3].Color, video::SColor(255, 4, 5, 6));
}

TEST_F(WorldTextTest, AttributesRoundTripForBothFontKinds) {
    const struct {
        const char* path;
        bool writesSize;
    } rows[] = {{"", false}, {"Content/Font/NoMove.ttf", true}};
    for (const auto& row : rows) {
        TextObject* source = addText();
        io::IAttributes* in = attributes();
        in->addString("Name", "Sign");
        in->addString("FontPath", row.path);
        in->addInt("FontSize", 30);
        in->addString("Text", L"Caf\u00e9 \u2192 2");
        in->addBool("FaceCamera", true);
        in->addColor("ColorTop", video::SColor(255, 200, 10, 10));
        in->addColor("ColorBottom", video::SColor(255, 10, 10, 200));
        source->deserializeAttributes(in);
        io::IAttributes* out = attributes();
        source->serializeAttributes(out);
        EXPECT_EQ(out->existsAttribute("FontSize"), row.writesSize) << row.path;
        // Text beyond ASCII survives the round trip.
        EXPECT_EQ(core::stringw(out->getAttributeAsStringW("Text")), core::stringw(L"Caf\u00e9 \u2192 2"));

        TextObject* copy = addText();
        copy->deserializeAttributes(out);
        EXPECT_EQ(copy->getText(), source->getText());
        EXPECT_EQ(copy->getFontPath(), source->getFontPath());
        EXPECT_EQ(copy->getFontSize(), row.writesSize ? 30 : 72);
        EXPECT_TRUE(copy->getFaceCamera());
        video::SColor top, bottom;
        copy->getColor(top, bottom);
        EXPECT_EQ(top, video::SColor(255, 200, 10, 10));
        EXPECT_EQ(bottom, video::SColor(255, 10, 10, 200));
        EXPECT_STREQ(copy->getName(), "Sign");
    }
}

TEST_F(WorldTextTest, TrueTypeTextMakesOneGlyphNodePerLetterWithAPixelBox) {
    TextObject* text = addText();
    io::IAttributes* in = attributes();
    in->addString("FontPath", gameFontPath);
    in->addInt("FontSize", 24);
    in->addString("Text", "Hi!");
    text->deserializeAttributes(in);
    ASSERT_EQ(text->getGlyphNodes().size(), 3u);
    EXPECT_TRUE(text->getGlyphRecords().empty());
    const core::array<scene::ISceneNode*>& glyphs = text->getGlyphNodes();
    for (u32 g = 0; g < glyphs.size(); ++g) {
        EXPECT_EQ(glyphs[g]->getParent(), text->getTextRoot());
        EXPECT_TRUE(glyphs[g]->getMaterial(0).ZWriteEnable); // until the next animate
    }
    CGUITTFont* font = getCachedFont(gameFontPath, 24);
    ASSERT_NE(font, nullptr);
    const core::dimension2du size = font->getDimension(L"Hi!");
    EXPECT_EQ(text->getBoundingBox().MinEdge, core::vector3df(-1, -1, -1));
    EXPECT_EQ(text->getBoundingBox().MaxEdge,
              core::vector3df(static_cast<f32>(size.Width), static_cast<f32>(size.Height), 1));
    text->OnAnimate(0);
    for (u32 g = 0; g < glyphs.size(); ++g)
        EXPECT_FALSE(glyphs[g]->getMaterial(0).ZWriteEnable);
    EXPECT_FALSE(text->isFontRefreshPending());

    // A new text replaces the glyph nodes.
    text->rebuildMesh(L"");
    EXPECT_EQ(text->getGlyphNodes().size(), 0u);
    EXPECT_TRUE(text->getTextRoot()->getChildren().empty());
}

TEST_F(WorldTextTest, ATextIsCutToTwoThousandFortyEightCharactersWithOneLinePerObject) {
    test::LogCapture log;
    device->setEventReceiver(&log);
    device->getLogger()->setLogLevel(ELL_INFORMATION);
    const struct {
        std::size_t given;
        u32 kept;
    } cases[] = {{2048, 2048}, {2049, 2048}, {1000000, 2048}};
    for (const auto& c : cases) {
        log.lines.clear();
        TextObject* text = addText();
        text->setName("T");
        const std::wstring letters(c.given, L'a');
        for (int twice = 0; twice < 2; ++twice)
            text->rebuildMesh(letters.c_str());
        EXPECT_EQ(text->getText().size(), c.kept) << c.given;
        EXPECT_EQ(text->getGlyphRecords().size(), c.kept) << c.given;
        const std::string line = "Warning: Level object \"T\" (text): Text length " + std::to_string(c.given) +
                                 " clamped to 2048 (allowed 0 to 2048)";
        EXPECT_EQ(log.countStartingWith(line), c.given > c.kept ? 1u : 0u) << c.given;
        text->remove();
    }
    device->getLogger()->setLogLevel(ELL_NONE);
    device->setEventReceiver(nullptr);
}

TEST_F(WorldTextTest, MissingTrueTypeFileFallsBackToTheGameFont) {
    TextObject* text = addText();
    io::IAttributes* in = attributes();
    in->addString("FontPath", "Content/Font/NotShipped.ttf");
    in->addString("Text", "ok");
    text->deserializeAttributes(in);
    EXPECT_EQ(text->getGlyphNodes().size(), 2u);
}

TEST_F(WorldTextTest, CloneCopiesTheSettingsButBuildsNoGlyphs) {
    TextObject* text = addText();
    io::IAttributes* in = attributes();
    in->addString("FontPath", writeTwoLetterFont().c_str());
    in->addString("Text", "BA");
    in->addBool("FaceCamera", true);
    text->deserializeAttributes(in);
    auto* copy = static_cast<TextObject*>(text->clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getText(), core::stringw(L"BA"));
    EXPECT_EQ(copy->getFontPath(), text->getFontPath());
    EXPECT_TRUE(copy->getFaceCamera());
    EXPECT_TRUE(copy->getGlyphRecords().empty());
    // Only the copy's own text root, not a clone of the original's.
    u32 roots = 0;
    for (scene::ISceneNode* child : copy->getChildren())
        roots += child->isDebugObject() ? 1 : 0;
    EXPECT_EQ(roots, 1u);
}

// --- text bubble ---------------------------------------------------------------------

class TextBubbleTest : public WorldTextTest {
protected:
    TextBubbleObject* addBubble(const wchar_t* text, f32 speed = 15.0f) {
        auto* bubble = new TextBubbleObject(scene->getRootSceneNode(), scene, -1);
        bubble->drop();
        io::IAttributes* in = attributes();
        in->addString("FontPath", gameFontPath);
        in->addInt("FontSize", 24);
        in->addString("Text", text);
        in->addFloat("TextSpeed", speed);
        bubble->deserializeAttributes(in);
        return bubble;
    }
};

TEST_F(TextBubbleTest, ANewBubbleHasTheSpecifiedDefaults) {
    auto* bubble = new TextBubbleObject(scene->getRootSceneNode(), scene, -1);
    bubble->drop();
    EXPECT_EQ(bubble->FontPath, core::stringc("Content/Font/LoveYaLikeASister.ttf"));
    EXPECT_EQ(bubble->FontSize, 24);
    EXPECT_FLOAT_EQ(bubble->LineSpacing, 1.15f);
    EXPECT_FLOAT_EQ(bubble->TextSpeed, 15.0f);
    EXPECT_FALSE(bubble->FaceCamera);
    EXPECT_TRUE(bubble->Text.empty());
    video::SColor top, bottom;
    bubble->getColor(top, bottom);
    EXPECT_EQ(top, video::SColor(0xFF000000));
    EXPECT_EQ(bottom, video::SColor(0xFF000000));
    EXPECT_EQ(bubble->getGlyphCount(), 0);
    EXPECT_FLOAT_EQ(bubble->getRevealProgress(), 0.0f);
}

TEST_F(TextBubbleTest, BackslashesSplitLinesThatStackDownward) {
    TextBubbleObject* bubble = addBubble(L"Hello\\ there\\ ");
    ASSERT_EQ(bubble->getLines().size(), 3u);
    const std::vector<TextObject*>& lines = bubble->getLineObjects();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]->getText(), core::stringw(L"Hello"));
    EXPECT_EQ(lines[1]->getText(), core::stringw(L"there")); // the leading space goes
    EXPECT_EQ(lines[2]->getText(), core::stringw(L" "));     // a lone space stays
    EXPECT_FLOAT_EQ(lines[1]->getPosition().Y, -24.0f * 0.1f * 1.15f);
    EXPECT_FLOAT_EQ(lines[2]->getPosition().Y, -24.0f * 2.0f * 0.1f * 1.15f);
    for (TextObject* line : lines) {
        EXPECT_EQ(line->getFontPath(), core::stringc(gameFontPath));
        EXPECT_EQ(line->getFontSize(), 24);
        EXPECT_EQ(line->getID(), 0);
        EXPECT_TRUE(line->isDebugObject());
        EXPECT_EQ(line->getParent(), bubble->getTextHolder());
    }
    EXPECT_EQ(bubble->getGlyphCount(), 11);
    ASSERT_NE(bubble->getBubbleCard(), nullptr);
    EXPECT_TRUE(bubble->getBubbleCard()->isDebugObject());
    EXPECT_EQ(bubble->getClickSound()->EventName, std::string(TextBubbleObject::clickEventName));

    // A shorter text hides the extra line object and keeps it for later.
    io::IAttributes* in = attributes();
    bubble->serializeAttributes(in);
    in->setAttribute("Text", L"One");
    bubble->deserializeAttributes(in);
    EXPECT_EQ(bubble->getLineObjects().size(), 3u);
    EXPECT_TRUE(lines[0]->isVisible());
    EXPECT_FALSE(lines[1]->isVisible());
    EXPECT_FALSE(lines[2]->isVisible());
    EXPECT_EQ(bubble->getGlyphCount(), 3);
}

TEST_F(TextBubbleTest, RevealsFifteenCharactersASecondSpacesIncluded) {
    TextBubbleObject* bubble = addBubble(L"Hi you\\ok");
    ASSERT_EQ(bubble->getGlyphCount(), 8);
    EXPECT_EQ(bubble->countRevealedGlyphs(), 0);
    // Elapsed seconds -> characters shown (a character shows once progress passes its index).
    const struct {
        f32 step;
        s32 shown;
    } rows[] = {{0.0f, 0}, {0.01f, 1}, {0.05f, 1}, {0.01f, 2}, {0.1f, 3}, {0.2f, 6}, {0.1f, 8}, {1.0f, 8}};
    f32 elapsed = 0.0f;
    for (const auto& row : rows) {
        bubble->advanceReveal(row.step);
        elapsed += row.step;
        EXPECT_EQ(bubble->countRevealedGlyphs(), row.shown) << "after " << elapsed << " s";
    }
    // No clicks while the simulation is not running.
    EXPECT_EQ(bubble->getClickCount(), 0u);
}

TEST_F(TextBubbleTest, ClicksForEveryRevealedLetterButNotForSpaces) {
    simulateRunningPhysics();
    TextBubbleObject* bubble = addBubble(L"a b c");
    bubble->advanceReveal(2.0f / 15.0f - 0.001f); // "a" and the space
    EXPECT_EQ(bubble->getClickCount(), 1u);
    bubble->advanceReveal(10.0f);
    EXPECT_EQ(bubble->getClickCount(), 3u);
    // A line of one space is silent too.
    TextBubbleObject* spaced = addBubble(L"a\\ ");
    spaced->advanceReveal(10.0f);
    EXPECT_EQ(spaced->getClickCount(), 1u);
}

TEST_F(TextBubbleTest, HidingTheBubbleRestartsTheReveal) {
    TextBubbleObject* bubble = addBubble(L"Again");
    bubble->advanceReveal(1.0f);
    EXPECT_EQ(bubble->countRevealedGlyphs(), 5);
    bubble->setVisible(false);
    bubble->OnAnimate(0);
    EXPECT_FLOAT_EQ(bubble->getRevealProgress(), 0.0f);
    bubble->setVisible(true);
    bubble->advanceReveal(0.1f);
    EXPECT_EQ(bubble->countRevealedGlyphs(), 2);
}

// A card the camera would cut off at the top of the view comes down just inside it; one the
// view shows whole stays where the level put it.
TEST_F(TextBubbleTest, ACardOverTheTopOfTheViewComesDownIntoIt) {
    TextBubbleObject* bubble = addBubble(L"Mind the pots!\\They swing.");
    camera->render(); // its matrices, as the last frame's drawing leaves them
    const auto cardTop = [&] {
        const core::aabbox3df card = bubble->getBubbleCard()->getTransformedBoundingBox();
        return scene->getSceneCollisionManager()
            ->getScreenCoordinatesFrom3DPosition(core::vector3df(card.getCenter().X, card.MaxEdge.Y, card.getCenter().Z), camera)
            .Y;
    };
    const f32 viewHeight = static_cast<f32>(device->getVideoDriver()->getViewPort().getHeight());
    const core::vector3df placed = bubble->getTextHolder()->getPosition();
    for (const f32 height : {0.0f, 40.0f}) {
        SCOPED_TRACE(height);
        bubble->setPosition(core::vector3df(0, height, 0));
        bubble->OnAnimate(0);
        bubble->OnAnimate(1); // a second frame: the lowering is not piled up
        const s32 top = cardTop();
        if (height == 0.0f) {
            EXPECT_EQ(bubble->getTextHolder()->getPosition(), placed);
            EXPECT_GT(static_cast<f32>(top), viewHeight * TextBubbleObject::viewTopMargin);
        } else {
            EXPECT_NEAR(static_cast<f32>(top), viewHeight * TextBubbleObject::viewTopMargin, 2.0f);
        }
    }
}

TEST_F(TextBubbleTest, ReadingAttributesTwiceKeepsOneCardAndOneClickSound) {
    TextBubbleObject* bubble = addBubble(L"One");
    scene::ISceneNode* first = bubble->getBubbleCard();
    io::IAttributes* in = attributes();
    bubble->serializeAttributes(in);
    bubble->deserializeAttributes(in);
    EXPECT_NE(bubble->getBubbleCard(), first);
    scene->drawAll(); // empties the deletion queue
    u32 cards = 0;
    for (scene::ISceneNode* child : bubble->getTextHolder()->getChildren())
        cards += child->getType() == scene::ESNT_MESH ? 1 : 0;
    EXPECT_EQ(cards, 1u);
    // And one click sound.
    u32 sounds = 0;
    for (scene::ISceneNode* child : bubble->getChildren())
        sounds += child->getType() == typeId("sond") ? 1 : 0;
    EXPECT_EQ(sounds, 1u);
}

// A glyph scale keeps each axis; a zero axis stands as 1.
TEST_F(TextBubbleTest, AGlyphScaleKeepsEachAxisAndAZeroAxisIsOne) {
    TextBubbleObject* bubble = addBubble(L"One");
    bubble->setGlyphScale(core::vector2df(2, 3));
    EXPECT_EQ(bubble->getGlyphScale(), core::vector2df(2, 3));
    bubble->setGlyphScale(core::vector2df(0, 4));
    EXPECT_EQ(bubble->getGlyphScale(), core::vector2df(1, 4));
    bubble->setGlyphScale(core::vector2df(5, 0));
    EXPECT_EQ(bubble->getGlyphScale(), core::vector2df(5, 1));
}

// Each written key reads back into a fresh bubble, both ways of its switch, and a copy keeps
// every setting.
TEST_F(TextBubbleTest, WrittenKeysReadBackAndACopyKeepsThem) {
    const video::SColor top(255, 10, 20, 30);
    const video::SColor bottom(255, 40, 50, 60);
    for (const bool facing : {true, false}) {
        SCOPED_TRACE(facing);
        TextBubbleObject* bubble = addBubble(L"Hello", 30.0f);
        bubble->FaceCamera = facing;
        bubble->setColor(top, bottom);
        io::IAttributes* out = attributes();
        bubble->serializeAttributes(out);
        auto* read = new TextBubbleObject(scene->getRootSceneNode(), scene, -1);
        read->drop();
        read->FaceCamera = !facing;
        read->deserializeAttributes(out);
        auto* copy = static_cast<TextBubbleObject*>(bubble->clone());
        ASSERT_NE(copy, nullptr);
        for (TextBubbleObject* other : {read, copy}) {
            EXPECT_EQ(other->FaceCamera, facing);
            EXPECT_FLOAT_EQ(other->TextSpeed, 30.0f);
            video::SColor readTop, readBottom;
            other->getColor(readTop, readBottom);
            EXPECT_EQ(readTop, top);
            EXPECT_EQ(readBottom, bottom);
        }
    }
    // A copy made while the level plays keeps them too.
    simulateRunningPhysics();
    TextBubbleObject* playing = addBubble(L"Hello", 30.0f);
    playing->setColor(top, bottom);
    auto* copy = static_cast<TextBubbleObject*>(playing->clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_FLOAT_EQ(copy->TextSpeed, 30.0f);
    video::SColor copyTop, copyBottom;
    copy->getColor(copyTop, copyBottom);
    EXPECT_EQ(copyTop, top);
    EXPECT_EQ(copyBottom, bottom);
}

TEST_F(TextBubbleTest, SizeAndSpacingAreWrittenOnlyForTrueTypeFonts) {
    TextBubbleObject* bubble = addBubble(L"x");
    io::IAttributes* out = attributes();
    bubble->serializeAttributes(out);
    EXPECT_TRUE(out->existsAttribute("FontSize"));
    EXPECT_TRUE(out->existsAttribute("LineSpacing"));
    EXPECT_FLOAT_EQ(out->getAttributeAsFloat("TextSpeed"), 15.0f);
    bubble->FontPath = "Content/Font/NoMoveBitmap.xml";
    io::IAttributes* bitmap = attributes();
    bubble->serializeAttributes(bitmap);
    EXPECT_FALSE(bitmap->existsAttribute("FontSize"));
    EXPECT_FALSE(bitmap->existsAttribute("LineSpacing"));
    // A new bubble's defaults.
    auto* fresh = new TextBubbleObject(scene->getRootSceneNode(), scene, -1);
    EXPECT_EQ(fresh->FontSize, 24);
    EXPECT_FLOAT_EQ(fresh->TextSpeed, 15.0f);
    EXPECT_FLOAT_EQ(fresh->LineSpacing, 1.15f);
    EXPECT_EQ(fresh->getType(), typeId("txtb"));
    fresh->drop();
}

// --- volume light ----------------------------------------------------------------------

class VolumeLightTest : public WorldTextTest {
protected:
    VolumeLightObject* addVolumeLight() {
        auto* light = new VolumeLightObject(scene->getRootSceneNode(), scene, -1);
        light->drop();
        return light;
    }
};

TEST_F(VolumeLightTest, FactoryDefaults) {
    VolumeLightObject* light = addVolumeLight();
    EXPECT_EQ(light->getType(), typeId("vmlt"));
    EXPECT_EQ(light->getSubDivideU(), 32u);
    EXPECT_EQ(light->getSubDivideV(), 32u);
    EXPECT_EQ(light->getFootColor().color, 0x3300E6B4u);
    EXPECT_EQ(light->getTailColor().color, 0u);
    EXPECT_FLOAT_EQ(light->getDistance(), 8.0f);
    EXPECT_EQ(light->getLightDimension(), core::vector3df(1.0f, 1.2f, 1.0f));
    EXPECT_EQ(light->getMaterialCount(), 1u);
    EXPECT_NE(light->getMesh(), nullptr);
}

// Its one material is the beam mesh's own; an index past it gets the node's fallback.
TEST_F(VolumeLightTest, OnlyMaterialZeroIsTheBeamMeshsMaterial) {
    VolumeLightObject* light = addVolumeLight();
    ASSERT_EQ(light->getMesh()->getMeshBufferCount(), 1u);
    video::SMaterial& beam = light->getMesh()->getMeshBuffer(0)->getMaterial();
    EXPECT_EQ(&light->getMaterial(0), &beam);
    EXPECT_NE(&light->getMaterial(1), &beam);
}

TEST_F(VolumeLightTest, AttributeReadsClampAndAlwaysRebuild) {
    VolumeLightObject* light = addVolumeLight();
    const struct {
        f32 distance;
        s32 subdivisions;
        f32 expectedDistance;
        u32 expectedSubdivisions;
    } rows[] = {{3.5f, 0, 8.0f, 1}, {12.0f, 7, 12.0f, 7}, {8.0f, -5, 8.0f, 2730}, {20.0f, 100000, 20.0f, 2730}};
    for (const auto& row : rows) {
        io::IAttributes* in = attributes();
        in->addFloat("lpDistance", row.distance);
        in->addInt("subDivideU", row.subdivisions);
        in->addInt("subDivideV", row.subdivisions);
        in->addColor("footColor", video::SColor(255, 1, 2, 3));
        in->addColor("tailColor", video::SColor(0, 4, 5, 6));
        in->addVector3d("lightDimension", core::vector3df(2, 3, 4));
        in->addString("Name", "Beam");
        scene::IMesh* before = light->getMesh();
        light->getMaterial(0).Wireframe = true;
        light->deserializeAttributes(in);
        EXPECT_NE(light->getMesh(), before); // rebuilt even when nothing changed
        EXPECT_TRUE(light->getMaterial(0).Wireframe);
        EXPECT_FLOAT_EQ(light->getDistance(), row.expectedDistance);
        EXPECT_EQ(light->getSubDivideU(), row.expectedSubdivisions);
        EXPECT_EQ(light->getSubDivideV(), row.expectedSubdivisions);
        EXPECT_EQ(light->getLightDimension(), core::vector3df(2, 3, 4));
        EXPECT_STREQ(light->getName(), "Beam");
    }
    io::IAttributes* out = attributes();
    light->serializeAttributes(out);
    for (const char* key : {"Name", "Position", "Visible", "lpDistance", "subDivideU", "subDivideV", "footColor",
                            "tailColor", "lightDimension"})
        EXPECT_TRUE(out->existsAttribute(key)) << key;
    // Each direction's subdivisions under its own key.
    light->setSubDivideU(3);
    light->setSubDivideV(5);
    io::IAttributes* again = attributes();
    light->serializeAttributes(again);
    EXPECT_EQ(again->getAttributeAsInt("subDivideU"), 3);
    EXPECT_EQ(again->getAttributeAsInt("subDivideV"), 5);
}

TEST_F(VolumeLightTest, SettersRebuildOnlyOnChangeAndKeepTheMaterial) {
    VolumeLightObject* light = addVolumeLight();
    scene::IMesh* mesh = light->getMesh();
    light->setFootColor(light->getFootColor());
    light->setSubDivideU(32);
    EXPECT_EQ(light->getMesh(), mesh);
    light->getMaterial(0).MaterialType = video::EMT_TRANSPARENT_ADD_COLOR;
    light->setTailColor(video::SColor(255, 9, 9, 9));
    EXPECT_NE(light->getMesh(), mesh);
    EXPECT_EQ(light->getMaterial(0).MaterialType, video::EMT_TRANSPARENT_ADD_COLOR);
    light->setSubDivideU(0); // the setter takes any value
    EXPECT_EQ(light->getSubDivideU(), 0u);
}

// Without a texture of its own the volume adds its colour by the vertex alpha, and each
// slice takes its share of that alpha (at least 1 where there is any), so that a look
// through the middle sees about the colour's alpha.
TEST_F(VolumeLightTest, TheVolumeAddsItsColourSharedAmongItsSlices) {
    VolumeLightObject* light = addVolumeLight();
    const video::SMaterial& material = light->getMaterial(0);
    EXPECT_EQ(material.MaterialType, video::EMT_ONETEXTURE_BLEND);
    video::E_BLEND_FACTOR source, destination;
    video::E_MODULATE_FUNC modulate;
    u32 alphaSource;
    video::unpack_textureBlendFunc(source, destination, modulate, alphaSource,
                                   material.MaterialTypeParam);
    EXPECT_EQ(source, video::EBF_SRC_ALPHA);
    EXPECT_EQ(destination, video::EBF_ONE);
    EXPECT_EQ(alphaSource, static_cast<u32>(video::EAS_VERTEX_COLOR));
    EXPECT_FALSE(material.Lighting);
    EXPECT_FALSE(material.ZWriteEnable);
    const struct {
        u32 subdivisions, footAlpha, sliceAlpha, tailSliceAlpha;
    } rows[] = {{32, 64, 2, 6}, {32, 51, 2, 6}, {32, 1, 1, 6}, {32, 0, 0, 6}, {1, 51, 26, 100}, {0, 51, 51, 200}};
    light->setTailColor(video::SColor(200, 0x10, 0x20, 0x30));
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.subdivisions << " " << row.footAlpha);
        light->setSubDivideU(row.subdivisions);
        light->setSubDivideV(row.subdivisions);
        light->setFootColor(video::SColor(row.footAlpha, 255, 242, 192));
        const scene::IMeshBuffer* buffer = light->getMesh()->getMeshBuffer(0);
        const auto* vertices = static_cast<const video::S3DVertex*>(buffer->getVertices());
        EXPECT_EQ(vertices[0].Color.getAlpha(), row.sliceAlpha);
        EXPECT_EQ(vertices[0].Color.color & 0xFFFFFFu, 0xFFF2C0u);
        // Every vertex, the last one too, carries its colour's share.
        u32 tails = 0;
        for (u32 i = 0; i < buffer->getVertexCount(); ++i) {
            const bool tail = (vertices[i].Color.color & 0xFFFFFFu) == 0x102030u;
            tails += tail ? 1 : 0;
            EXPECT_EQ(vertices[i].Color.getAlpha(), tail ? row.tailSliceAlpha : row.sliceAlpha) << "vertex " << i;
        }
        EXPECT_GT(tails, 0u);
    }
}

TEST_F(VolumeLightTest, AShownVolumeRegistersItsChildrenAndAHiddenOneNothing) {
    VolumeLightObject* light = addVolumeLight();
    auto* child = new rendertest::RegisterCountingNode(light, scene, -1);
    child->drop();
    light->OnRegisterSceneNode();
    EXPECT_EQ(child->registered, 1);
    light->setVisible(false);
    light->OnRegisterSceneNode();
    EXPECT_EQ(child->registered, 1);
}

TEST_F(VolumeLightTest, CloneKeepsTheColoursAndTakesTheConstructorDistance) {
    VolumeLightObject* light = addVolumeLight();
    io::IAttributes* in = attributes();
    in->addFloat("lpDistance", 20.0f);
    in->addInt("subDivideU", 4);
    in->addInt("subDivideV", 5);
    in->addVector3d("Position", core::vector3df(1, 2, 3));
    in->addColor("footColor", video::SColor(255, 10, 20, 30));
    in->addColor("tailColor", video::SColor(0, 40, 50, 60));
    light->deserializeAttributes(in);
    light->getMaterial(0).MaterialType = video::EMT_TRANSPARENT_ADD_COLOR;
    auto* copy = static_cast<VolumeLightObject*>(light->clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_FLOAT_EQ(copy->getDistance(), 8.0f);
    EXPECT_EQ(copy->getFootColor(), video::SColor(255, 10, 20, 30));
    EXPECT_EQ(copy->getTailColor(), video::SColor(0, 40, 50, 60));
    EXPECT_EQ(copy->getSubDivideU(), 4u);
    EXPECT_EQ(copy->getSubDivideV(), 5u);
    EXPECT_EQ(copy->getPosition(), core::vector3df(1, 2, 3));
    EXPECT_EQ(copy->getMaterial(0).MaterialType, video::EMT_TRANSPARENT_ADD_COLOR);
}

} // namespace

// Drawing the light puts every triangle of its cone on screen, once.
TEST_F(VolumeLightTest, RenderDrawsTheWholeConeOnce) {
    VolumeLightObject* light = addVolumeLight();
    video::IVideoDriver* driver = device->getVideoDriver();
    const u32 triangles = light->getMesh()->getMeshBuffer(0)->getIndexCount() / 3;
    ASSERT_GT(triangles, 0u);
    driver->beginScene(true, true, video::SColor(0));
    light->render();
    driver->endScene();
    EXPECT_EQ(driver->getPrimitiveCountDrawn(0), triangles);
}
