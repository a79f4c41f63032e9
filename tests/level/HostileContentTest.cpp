// Content files (fonts, images, meshes, sounds) that a hostile user level can name or that a
// player can damage: each is checked before the engine reads it.
#include "LevelTestSupport.h"

#include "characters/CharacterProfile.h"
#include "core/Log.h"
#include "core/XmlFile.h"
#include "gui/GUIElementFactory.h"
#include "gui/GuiLayout.h"
#include "level/ContentXml.h"
#include "render/SpriteAnimation.h"
#include "core/SettingsTable.h"
#include "core/FileChecks.h"
#include "core/FontGate.h"
#include "level/ObjMesh.h"

#include <irrlicht.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

using namespace irr;

namespace {

class HostileContentTest : public test::HostileFilesFixture {};

} // namespace

// --- bitmap fonts ----------------------------------------------------------------------------

TEST_F(HostileContentTest, BitmapFontsAreCheckedBeforeTheEngineReadsThem) {
    const std::string whole = test::readFileBytes((test::sourceDir() / "Content/Font/Debug.xml").string());
    ASSERT_FALSE(whole.empty());
    write("NoMoveBitmap.png", test::readFileBytes((test::sourceDir() / "Content/Font/NoMoveBitmap.png").string()));
    const std::string head = "<?xml version=\"1.0\"?>\n<font type=\"bitmap\">\n"
                             "<Texture index=\"0\" filename=\"NoMoveBitmap.png\" hasAlpha=\"true\" />\n";
    const auto font = [&head](const std::string& characters) { return head + characters + "</font>\n"; };
    const struct {
        const char* name;
        std::string text;
        const char* reason; // null: the font loads
    } cases[] = {
        {"Whole.xml", whole, nullptr},
        {"One.xml", font("<c c=\"A\" r=\"1, 1, 12, 41\" />"), nullptr},
        {"NoC.xml", font("<c r=\"1, 1, 12, 41\" />"), "a character element has no character"},
        {"EmptyC.xml", font("<c c=\"\" r=\"1, 1, 12, 41\" />"), "a character element has no character"},
        {"Half.xml", whole.substr(0, whole.size() / 2), "the file ends before its font does"},
        {"CutInElement.xml", head + "<c c=\"A\" r=\"1, 1", "the file ends before its font does"},
        {"CutAfterFont.xml", font("<c c=\"A\" r=\"1, 1, 2, 2\" />") + "<c c=\"B", "the file ends before its font does"},
        {"NoRect.xml", font("<c c=\"A\" />"), "a character's rectangle is not four numbers in order"},
        {"BackwardsRect.xml", font("<c c=\"A\" r=\"12, 1, 1, 41\" />"), "a character's rectangle is not four numbers in order"},
        {"HugeRect.xml", font("<c c=\"A\" r=\"1, 1, 99999999999, 41\" />"), "a character's rectangle is not four numbers in order"},
        {"LastImage.xml", font("<c c=\"A\" r=\"1, 1, 2, 2\" i=\"15\" />"), "a character is drawn from an image the font does not name"},
        {"PastImages.xml", font("<c c=\"A\" r=\"1, 1, 2, 2\" i=\"16\" />"), "a character's image index is not a number below 16"},
        {"NoCharacters.xml", font(""), "it names no characters"},
        {"Picture.png", test::readFileBytes((test::sourceDir() / "Content/Font/NoMoveBitmap.png").string()),
         "it is no bitmap font"},
        {"Vector.xml", "<font type=\"vector\"><c c=\"A\" r=\"1, 1, 2, 2\" /></font>", "it is no bitmap font"},
        {"Large.xml", font(std::string(maxBitmapFontFileBytes, ' ')), "it is larger than 1024 KB"},
        {"HugeIndex.xml",
         "<font type=\"bitmap\"><Texture index=\"2147483647\" filename=\"NoMoveBitmap.png\" /></font>",
         "an image index is not a number below 16"},
        {"MissingImage.xml",
         "<font type=\"bitmap\"><Texture filename=\"Gone.png\" /><c c=\"A\" r=\"1, 1, 2, 2\" /></font>",
         "its image \"Gone.png\" is missing"},
    };
    gui::IGUIEnvironment* environment = smgr()->getGUIEnvironment();
    for (const auto& c : cases) {
        log.lines.clear();
        write(c.name, c.text);
        for (int attempt = 0; attempt < 2; ++attempt) {
            gui::IGUIFont* loaded = getCheckedFont(environment, c.name);
            EXPECT_EQ(loaded != nullptr, c.reason == nullptr) << c.name;
            if (loaded) {
                EXPECT_EQ(loaded->getType(), gui::EGFT_BITMAP) << c.name;
            }
        }
        // Logged once, however often it is asked for.
        const std::size_t expectedLines = c.reason ? 1u : 0u;
        EXPECT_EQ(linesContaining(std::string("Refused the font \"") + c.name + "\": " + (c.reason ? c.reason : "")),
                  expectedLines)
            << c.name;
    }
    // Every cut of the game's own font is refused, none taken down.
    for (std::size_t length = 0; length < whole.size(); length += 97) {
        write("Cut.xml", whole.substr(0, length));
        forgetFileRefusals();
        EXPECT_EQ(getCheckedFont(environment, "Cut.xml"), nullptr) << length;
    }
}

// --- a mounted archive before the disk ----------------------------------------------------------

// What the engine opens itself (textures, meshes, fonts) and the material library a mesh
// names are checked where they are read: a mounted archive's entry before a disk file of the
// same name.
TEST_F(HostileContentTest, ContentIsCheckedWhereTheEngineReadsIt) {
    enum class Entry { None, Good, TooLarge };
    enum class Disk { Good, Folder };
    const struct {
        Entry entry;
        Disk disk;
        bool opens; // with the archive's bytes when it holds the name, else the disk's
        const char* reason;
    } cases[] = {
        {Entry::Good, Disk::Folder, true, nullptr},
        {Entry::Good, Disk::Good, true, nullptr},
        {Entry::TooLarge, Disk::Good, false, "it is larger than "},
        {Entry::None, Disk::Good, true, nullptr},
        {Entry::None, Disk::Folder, false, "it is a folder, not a file"},
    };
    io::IFileSystem* fileSystem = smgr()->getFileSystem();
    const std::string archived = "newmtl red\nKd 1 0 0\n", onDisk = "newmtl red\nKd 0 0 1\n";
    const std::string obj = "mtllib Box.mtl\nusemtl red\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    const video::SColor red(255, 255, 0, 0), blue(255, 0, 0, 255), plain = video::SMaterial().DiffuseColor;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        const std::string folder = "Case" + std::to_string(i) + "/";
        SCOPED_TRACE(folder);
        if (c.disk == Disk::Folder)
            std::filesystem::create_directories(temp.file(folder + "Box.mtl"));
        else
            write(folder + "Box.mtl", onDisk);
        io::IFileArchive* archive = nullptr;
        if (c.entry != Entry::None) {
            // Beyond any content file, and beyond the material library's own bound.
            const u32 claimed = c.entry == Entry::TooLarge ? static_cast<u32>(maxContentFileBytes + 1) : 0u;
            archive = mountZip("Case" + std::to_string(i) + ".zip", {{folder + "Box.mtl", archived, claimed}});
            ASSERT_NE(archive, nullptr);
        }
        log.lines.clear();
        forgetFileRefusals();
        const std::string expected = c.entry == Entry::None ? onDisk : archived;

        io::IReadFile* file = fileSystem->createAndOpenFile((folder + "Box.mtl").c_str());
        ASSERT_NE(file, nullptr);
        std::string bytes(static_cast<std::size_t>(std::max<long>(file->getSize(), 0)), '\0');
        if (!bytes.empty())
            bytes.resize(static_cast<std::size_t>(std::max<s32>(file->read(bytes.data(), static_cast<u32>(bytes.size())), 0)));
        file->drop();
        EXPECT_EQ(bytes, c.opens ? expected : std::string());

        std::string error;
        scene::SMesh* mesh = readObjMesh(obj.data(), obj.size(), folder + "Box.obj", fileSystem, nullptr, error);
        ASSERT_NE(mesh, nullptr) << error;
        EXPECT_EQ(mesh->getMeshBuffer(0)->getMaterial().DiffuseColor,
                  !c.opens ? plain : c.entry == Entry::None ? blue : red);
        mesh->drop();
        if (archive)
            fileSystem->removeFileArchive(archive);
        EXPECT_EQ(linesContaining(std::string("Refused to read \"") + folder + "Box.mtl\": " + (c.reason ? c.reason : "")),
                  c.reason ? 1u : 0u);
    }
}

// A material library's colours hold each channel to 0..1, its shininess to 0..1000, and "d"
// (opacity) or "Tr" (its complement) to 0..1; only a material less than opaque blends.
TEST_F(HostileContentTest, MaterialLibraryValuesAreHeldToTheirRanges) {
    const struct {
        const char* line;
        video::SColorf diffuse, ambient, specular;
        f32 shininess;
        u32 alpha;
        bool blends;
    } cases[] = {
        {"Kd 1.5 -0.5 0.5", {1, 0, 0.5f}, {0.2f, 0.2f, 0.2f}, {0, 0, 0}, 0.0f, 255, false},
        {"Kd -2 3 1", {0, 1, 1}, {0.2f, 0.2f, 0.2f}, {0, 0, 0}, 0.0f, 255, false},
        {"Ka 2 -1 0.25", {1, 1, 1}, {1, 0, 0.25f}, {0, 0, 0}, 0.0f, 255, false},
        {"Ks -1 0.75 9", {1, 1, 1}, {0.2f, 0.2f, 0.2f}, {0, 0.75f, 1}, 0.0f, 255, false},
        {"Ns 1000", {1, 1, 1}, {0.2f, 0.2f, 0.2f}, {0, 0, 0}, 1000.0f, 255, false},
        {"Ns 1001", {1, 1, 1}, {0.2f, 0.2f, 0.2f}, {0, 0, 0}, 1000.0f, 255, false},
        {"Ns -1", {1, 1, 1}, {0.2f, 0.2f, 0.2f}, {0, 0, 0}, 0.0f, 255, false},
        {"d 0.5", {1, 1, 1}, {0.2f, 0.2f, 0.2f}, {0, 0, 0}, 0.0f, 128, true},
        {"d 1", {1, 1, 1}, {0.2f, 0.2f, 0.2f}, {0, 0, 0}, 0.0f, 255, false},
        {"d 1.5", {1, 1, 1}, {0.2f, 0.2f, 0.2f}, {0, 0, 0}, 0.0f, 255, false},
        {"Tr 0.25", {1, 1, 1}, {0.2f, 0.2f, 0.2f}, {0, 0, 0}, 0.0f, 191, true},
        {"Tr -1", {1, 1, 1}, {0.2f, 0.2f, 0.2f}, {0, 0, 0}, 0.0f, 255, false},
    };
    io::IFileSystem* fileSystem = smgr()->getFileSystem();
    const std::string obj = "mtllib Box.mtl\nusemtl m\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    // Every case starts from the same base, so that a value the case does not name stays put.
    const std::string base = "newmtl m\nKd 1 1 1\nKa 0.2 0.2 0.2\nKs 0 0 0\nNs 0\n";
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.line);
        const std::string folder = "Library" + std::to_string(i) + "/";
        write(folder + "Box.mtl", base + c.line + "\n");
        std::string error;
        scene::SMesh* mesh = readObjMesh(obj.data(), obj.size(), folder + "Box.obj", fileSystem, nullptr, error);
        ASSERT_NE(mesh, nullptr) << error;
        const video::SMaterial& m = mesh->getMeshBuffer(0)->getMaterial();
        video::SColor diffuse = c.diffuse.toSColor();
        diffuse.setAlpha(c.alpha);
        EXPECT_EQ(m.DiffuseColor, diffuse);
        EXPECT_EQ(m.AmbientColor, c.ambient.toSColor());
        EXPECT_EQ(m.SpecularColor, c.specular.toSColor());
        EXPECT_FLOAT_EQ(m.Shininess, c.shininess);
        EXPECT_EQ(m.MaterialType == video::EMT_TRANSPARENT_VERTEX_ALPHA, c.blends);
        mesh->drop();
    }
}

// --- files a level names: layouts, sprite animations, character profiles, tables --------------

// A level names these files by path: they are read where the engine reads (a mounted archive's
// entry first, so that a user level's own layout is found) and, while a user level plays, only
// from its archive and the game's content.
TEST_F(HostileContentTest, FilesALevelNamesAreReadWhereTheEngineReadsThem) {
    enum class Entry { None, Good, TooLarge };
    enum class Disk { None, Good, Folder };
    const struct {
        Entry entry;
        Disk disk;
        bool confined;
        const char* reads; // "archive", "disk" or null
        const char* reason;
    } cases[] = {
        {Entry::Good, Disk::None, false, "archive", nullptr},
        {Entry::Good, Disk::Good, false, "archive", nullptr},
        {Entry::Good, Disk::Folder, true, "archive", nullptr},
        {Entry::TooLarge, Disk::Good, false, nullptr, "it is larger than 1 MB"},
        {Entry::None, Disk::Good, false, "disk", nullptr},
        {Entry::None, Disk::Folder, false, nullptr, "it is a folder, not a file"},
        {Entry::None, Disk::Good, true, nullptr, "a user level reads only from its archive and the game's content"},
        {Entry::None, Disk::None, false, nullptr, nullptr},
    };
    io::IFileSystem* fileSystem = smgr()->getFileSystem();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        const std::string path = "Case" + std::to_string(i) + "/Table.xml";
        SCOPED_TRACE(path);
        if (c.disk == Disk::Folder)
            std::filesystem::create_directories(temp.file(path));
        else if (c.disk == Disk::Good)
            write(path, "disk");
        io::IFileArchive* archive = nullptr;
        if (c.entry != Entry::None) {
            archive = mountZip("Case" + std::to_string(i) + ".zip",
                               {{path, "archive", c.entry == Entry::TooLarge ? 1024u * 1024 + 1 : 0u}});
            ASSERT_NE(archive, nullptr);
        }
        log.lines.clear();
        forgetFileRefusals();
        if (c.confined)
            confineReadsToFolders({"Content"});
        io::IReadFile* file = createGuardedContentReadFile(fileSystem, path, 1024 * 1024);
        confineReadsToFolders({});
        if (archive)
            fileSystem->removeFileArchive(archive);
        std::string bytes(file ? static_cast<std::size_t>(file->getSize()) : 0, '\0');
        if (file) {
            file->read(bytes.data(), static_cast<u32>(bytes.size()));
            file->drop();
        }
        EXPECT_EQ(file != nullptr, c.reads != nullptr);
        if (c.reads) {
            EXPECT_EQ(bytes.rfind(c.reads, 0), 0u) << bytes;
        }
        EXPECT_EQ(linesContaining(std::string("Refused to read \"") + path + "\": " + (c.reason ? c.reason : "")),
                  c.reason ? 1u : 0u);
    }
}

TEST_F(HostileContentTest, EveryReaderOfFilesALevelNamesTakesTheArchiveAndTheConfinement) {
    (new GUIElementFactory(smgr()->getGUIEnvironment()))->drop();
    io::IFileSystem* fileSystem = smgr()->getFileSystem();
    const struct {
        const char* name;
        std::string bytes;
        std::function<bool(const std::string& path)> read;
    } readers[] = {
        {"Layout.xml",
         "<?xml version=\"1.0\"?><irr_gui><element type=\"GUIImage\"><attributes><int name=\"Id\" value=\"5\" />"
         "</attributes></element></irr_gui>",
         [this](const std::string& path) {
             gui::IGUIEnvironment* environment = smgr()->getGUIEnvironment();
             const bool read = loadGuiLayout(environment, path.c_str(), nullptr) &&
                               environment->getRootGUIElement()->getElementFromId(5, true);
             environment->clear();
             return read;
         }},
        {"Sprite.xml", "<SpriteAnimation name=\"S\"><Sprite x=\"0\" width=\"4\" /></SpriteAnimation>",
         [](const std::string& path) {
             SpriteAnimation animation;
             loadTextureAnimation(animation, path.c_str());
             return animation.name == "S";
         }},
        {"Profile.xml", "<CharacterProfile><Suspicion characterType=\"Stranger\"/></CharacterProfile>",
         [](const std::string& path) { return CharacterProfile().load(path) == 0; }},
        {"Ties.xml", "<Ties><Tie name=\"a\"/></Ties>",
         [fileSystem](const std::string& path) {
             return readContentXml(fileSystem, path, L"Ties", [](const ContentElement&) {});
         }},
    };
    for (const auto& reader : readers) {
        SCOPED_TRACE(reader.name);
        // Inside the user level's archive only: found, also while reads are confined.
        const std::string own = std::string("Own/") + reader.name;
        io::IFileArchive* archive = mountZip(std::string(reader.name) + ".zip", {{own, reader.bytes}});
        ASSERT_NE(archive, nullptr);
        confineReadsToFolders({"Content"});
        EXPECT_TRUE(reader.read(own));
        // On the disk outside the game's content: refused while confined, read otherwise.
        const std::string outside = std::string("Outside/") + reader.name;
        write(outside, reader.bytes);
        log.lines.clear();
        EXPECT_FALSE(reader.read(outside));
        EXPECT_EQ(linesContaining("Refused to read \"" + outside + "\": a user level reads only"), 1u);
        confineReadsToFolders({});
        EXPECT_TRUE(reader.read(outside));
        smgr()->getFileSystem()->removeFileArchive(archive);
    }
}

namespace {

// --- settings and the terminal ------------------------------------------------------------------

TEST(HostileSettingsTest, AScreenSideOfZeroOrLessTakesTheDefault) {
    struct Row {
        const wchar_t* stored;
        double width;
        double height;
        SettingCheck check;
    };
    const Row rows[] = {{L"0", 1280, 720, SettingCheck::Adjusted},
                        {L"-1", 1280, 720, SettingCheck::Adjusted},
                        {L"-2147483647", 1280, 720, SettingCheck::Adjusted},
                        {L"1", 1, 1, SettingCheck::Accepted},
                        {L"16384", 16384, 16384, SettingCheck::Accepted},
                        {L"16385", 16384, 16384, SettingCheck::Adjusted}};
    const SettingDefinition& width = *findSettingDefinition("Graphics_ScreenWidth");
    const SettingDefinition& height = *findSettingDefinition("Graphics_ScreenHeight");
    for (const Row& row : rows) {
        SettingValue value;
        EXPECT_EQ(parseSettingValue(width, row.stored, value), row.check);
        EXPECT_EQ(value.number, row.width);
        EXPECT_EQ(parseSettingValue(height, row.stored, value), row.check);
        EXPECT_EQ(value.number, row.height);
    }
    // Other ranged keys still clamp to their minimum.
    SettingValue threads;
    EXPECT_EQ(parseSettingValue(*findSettingDefinition("Game_PhysicsThreads"), L"-4", threads),
              SettingCheck::Adjusted);
    EXPECT_EQ(threads.number, 0.0);
}

TEST(HostileTerminalTest, ControlCharactersReachTheTerminalEscaped) {
    testing::internal::CaptureStdout();
    writeLogLineToTerminal("Level \x1b[2J\x1b]0;title\x07\rERROR: forged\n\x7f.irr");
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "Level \\x1B[2J\\x1B]0;title\\x07\\rERROR: forged\\n\\x7F.irr\n");
}

} // namespace
