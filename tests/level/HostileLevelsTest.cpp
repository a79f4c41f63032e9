// Level files a hostile user level can hand the game: each must load what it can, or be
// refused with its log line, without a crash, a hang or work beyond a stated bound.
#include "LevelTestSupport.h"
#include "../screens/WorkshopZip.h"

#include "level/LevelLimits.h"
#include "render/ParticleSystemNode.h"
#include "core/FileChecks.h"
#include "core/LoadBudget.h"
#include "core/Utf8.h"
#include "level/LevelFile.h"
#include "level/LevelHooks.h"
#include "level/SplineObject.h"
#include "screens/levels/WorkshopLevels.h"
#include "support/FuzzWatch.h"

#include <irrlicht.h>

#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

using namespace irr;

namespace {

std::string littleEndian(u32 v) {
    std::string bytes;
    for (int k = 0; k < 4; ++k)
        bytes += static_cast<char>((v >> (8 * k)) & 0xFF);
    return bytes;
}

// A binary level of nodes of `typeName`, one for each attribute block: the count it claims and
// the bytes it holds, as the format lays them out (level/LevelFile.h). The name table is the
// type name (index 0) and then `names`.
using BinaryBlock = std::pair<u32, std::string>;
std::string binaryLevelWithBlocks(const std::string& typeName, const std::vector<std::string>& names,
                                  const std::vector<BinaryBlock>& blocks) {
    std::string payload = littleEndian(static_cast<u32>(names.size() + 1)) +
                          littleEndian(static_cast<u32>(typeName.size())) + typeName;
    for (const std::string& text : names)
        payload += littleEndian(static_cast<u32>(text.size())) + text;
    payload += littleEndian(0) + littleEndian(0) + littleEndian(0); // the scene: attributes, materials, animators
    payload += littleEndian(static_cast<u32>(blocks.size()));       // its children
    for (const auto& [count, attributes] : blocks) {
        payload += littleEndian(0) + littleEndian(count) + attributes; // type name, attribute block
        payload += littleEndian(0) + littleEndian(0) + littleEndian(0); // materials, animators, children
    }
    return std::string("PSLV\x01\x00\x00\x00", 8) + littleEndian(static_cast<u32>(blocks.size())) +
           littleEndian(static_cast<u32>(payload.size())) +
           littleEndian(binaryLevelChecksum(payload.data(), payload.size())) + payload;
}

std::string binaryLevelWithBlock(const std::string& typeName, const std::vector<std::string>& names, u32 count,
                                 const std::string& attributes) {
    return binaryLevelWithBlocks(typeName, names, {{count, attributes}});
}

// One attribute of the given type byte and value bytes.
std::string binaryLevelWithAttribute(const std::string& typeName, u8 type, const std::string& name,
                                     const std::string& value) {
    return binaryLevelWithBlock(typeName, {name}, 1, static_cast<char>(type) + littleEndian(1) + value);
}

std::string xmlNode(const std::string& type, s32 id, const std::string& inner = {}) {
    return "<node type=\"" + type + "\"><attributes><int name=\"Id\" value=\"" + std::to_string(id) +
           "\" />" + inner + "</attributes></node>\n";
}

std::string xmlLevel(const std::string& nodes) {
    return "<?xml version=\"1.0\"?>\n<irr_scene>\n" + nodes + "</irr_scene>\n";
}

std::string sublevelNode(s32 id, const std::string& file) {
    return xmlNode("SubLevelObject", id, "<string name=\"SubLevelFileName\" value=\"" + file + "\" />");
}

class HostileLevelsTest : public test::HostileFilesFixture {};

} // namespace

// --- binary levels: only the attribute types the writer writes --------------------------------

TEST_F(HostileLevelsTest, BinaryLevelsHoldOnlyTheAttributeTypesTheWriterWrites) {
    const std::string intValue("\x07\x00\x00\x00", 4);
    const struct {
        u8 type;
        std::string value;
        bool loads;
    } cases[] = {
        {static_cast<u8>(io::EAT_INT), intValue, true},
        {static_cast<u8>(io::EAT_USER_POINTER), "", false},
        {static_cast<u8>(io::EAT_USER_POINTER), intValue, false},
        {static_cast<u8>(io::EAT_FLOATARRAY), intValue, false},
        {static_cast<u8>(io::EAT_INTARRAY), intValue, false},
        {static_cast<u8>(io::EAT_COUNT), intValue, false},
    };
    for (const auto& c : cases) {
        log.lines.clear();
        manager->unloadLevel();
        write("Typed.irrblvl", binaryLevelWithAttribute("LevelObject", c.type, "Id", c.value));
        EXPECT_EQ(manager->loadLevel("Typed.irrblvl"), c.loads) << int(c.type);
        EXPECT_EQ(manager->holdsID(7), c.loads) << int(c.type);
        EXPECT_EQ(linesContaining("Typed.irrblvl: an attribute has an unknown type"), c.loads ? 0u : 1u)
            << int(c.type);
    }
}

// What one attribute block may cost the reader: at most 4096 attributes, a count that fits in
// the bytes left, and the names it refers to (copied for every reference) at most 16 times its
// bytes and 4 KB. Each bound is met, then passed by one, which refuses the file with its reason.
TEST_F(HostileLevelsTest, BinaryAttributeBlocksCostAtMostABoundOfTheirBytes) {
    const auto ints = [](u32 count) { // "Id" (name 1) = 7, `count` times
        std::string bytes;
        for (u32 i = 0; i < count; ++i)
            bytes += static_cast<char>(io::EAT_INT) + littleEndian(1) + littleEndian(7);
        return bytes;
    };
    // An enumeration whose value and 63 literals are one name of 131 characters: 269 bytes of
    // block that refer to 64 x 131 name bytes and its own name's, 8400 at most.
    const auto enumeration = [](std::size_t nameLength) {
        std::string bytes = static_cast<char>(io::EAT_ENUM) + littleEndian(1) + littleEndian(2) + littleEndian(63);
        for (int k = 0; k < 63; ++k)
            bytes += littleEndian(2);
        return binaryLevelWithBlock("LevelObject", {std::string(nameLength, 'E'), std::string(131, 'v')}, 1, bytes);
    };
    const struct {
        std::string file;
        const char* refusal; // null: it loads
    } cases[] = {
        {binaryLevelWithBlock("LevelObject", {"Id"}, 4096, ints(4096)), nullptr},
        {binaryLevelWithBlock("LevelObject", {"Id"}, 4097, ints(4097)),
         "an attribute block holds more than 4096 attributes"},
        // 21 bytes follow the count (the attribute and three empty counts): four could fit.
        {binaryLevelWithBlock("LevelObject", {"Id"}, 5, ints(1)), "a count exceeds the bytes left"},
        {enumeration(16), nullptr},
        {enumeration(17), "an attribute block would take more than 16 times its size"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refusal ? c.refusal : "loads");
        log.lines.clear();
        manager->unloadLevel();
        write("Block.irrblvl", c.file);
        EXPECT_EQ(manager->loadLevel("Block.irrblvl"), c.refusal == nullptr);
        if (c.refusal) {
            EXPECT_EQ(linesContaining(std::string("Block.irrblvl: ") + c.refusal), 1u);
        }
    }

    // Blocks of ever new layouts fill the reader's cache of attribute containers past its
    // 16 MB (half a megabyte each) and it starts afresh: every node still gets its own values.
    std::vector<std::string> names = {"Id"};
    std::vector<BinaryBlock> blocks;
    for (u32 n = 0; n < 40; ++n) {
        names.push_back("K" + std::to_string(n));
        std::string bytes = static_cast<char>(io::EAT_INT) + littleEndian(1) + littleEndian(100 + n);
        for (u32 k = 1; k < 4096; ++k)
            bytes += static_cast<char>(io::EAT_INT) + littleEndian(2 + n) + littleEndian(k);
        blocks.emplace_back(4096, bytes);
    }
    manager->unloadLevel();
    write("Layouts.irrblvl", binaryLevelWithBlocks("LevelObject", names, blocks));
    ASSERT_TRUE(manager->loadLevel("Layouts.irrblvl"));
    for (s32 id = 100; id < 140; ++id)
        EXPECT_TRUE(manager->holdsID(id)) << id;
}

// --- nesting -----------------------------------------------------------------------------------

TEST_F(HostileLevelsTest, XmlLevelsNestAtMost256NodesDeepLikeBinaryOnes) {
    const auto nested = [](int depth) {
        std::string text = "<?xml version=\"1.0\"?>\n<irr_scene>\n";
        for (int i = 0; i < depth; ++i)
            text += "<node type=\"empty\">";
        for (int i = 0; i < depth; ++i)
            text += "</node>";
        return text + "\n</irr_scene>\n";
    };
    const struct {
        int depth;
        bool loads;
    } cases[] = {{maxLevelNodeDepth, true}, {maxLevelNodeDepth + 1, false}, {100000, false}};
    for (const auto& c : cases) {
        log.lines.clear();
        manager->unloadLevel();
        write("Deep.irr", nested(c.depth));
        EXPECT_EQ(manager->loadLevel("Deep.irr"), c.loads) << c.depth;
        EXPECT_EQ(linesContaining("Could not read level file Deep.irr: the nodes are nested too deeply"),
                  c.loads ? 0u : 1u)
            << c.depth;
    }
}

// --- sublevel fan-out ----------------------------------------------------------------------------

TEST_F(HostileLevelsTest, OneLevelLoadsAtMostAHundredSublevelFilesWithOneLine) {
    // Eight files, each naming the next one five times: 5 + 25 + ... loads without the limit.
    const int files = 8, fanOut = 5;
    for (int i = 0; i < files; ++i) {
        std::string nodes = xmlNode("LevelObject", 1000 * (i + 1));
        for (int k = 0; k < fanOut && i + 1 < files; ++k)
            nodes += sublevelNode(1000 * (i + 1) + 1 + k, "Fan" + std::to_string(i + 1) + ".irr");
        write("Fan" + std::to_string(i) + ".irr", xmlLevel(nodes));
    }
    const auto sublevelsLoaded = [this] {
        std::size_t count = 0;
        std::vector<scene::ISceneNode*> open = {root()};
        while (!open.empty()) {
            scene::ISceneNode* node = open.back();
            open.pop_back();
            for (scene::ISceneNode* child : node->getChildren()) {
                count += child->getID() % 1000 == 0 && child->getID() > 1000 ? 1 : 0;
                open.push_back(child);
            }
        }
        return count;
    };
    ASSERT_TRUE(manager->loadLevel("Fan0.irr"));
    EXPECT_EQ(sublevelsLoaded(), SceneLoader::maxSublevelLoads);
    EXPECT_EQ(linesContaining("the level loads more than 100 sublevel files"), 1u);

    // The count starts afresh with the next level: a level on the bound loads whole.
    log.lines.clear();
    manager->unloadLevel();
    std::string nodes;
    for (std::size_t k = 0; k < SceneLoader::maxSublevelLoads; ++k)
        nodes += sublevelNode(static_cast<s32>(10 + k), "Leaf.irr");
    write("Leaf.irr", xmlLevel(xmlNode("LevelObject", 2000)));
    write("Wide.irr", xmlLevel(nodes));
    ASSERT_TRUE(manager->loadLevel("Wide.irr"));
    EXPECT_EQ(sublevelsLoaded(), SceneLoader::maxSublevelLoads);
    EXPECT_EQ(linesContaining("sublevel files"), 0u);
}

// --- paths are UTF-8 ---------------------------------------------------------------------------

TEST_F(HostileLevelsTest, AttributeTextsBecomeTheirUtf8Bytes) {
    const struct {
        const wchar_t* text;
        const char* bytes;
    } cases[] = {
        {L"Floor.obj", "Floor.obj"},
        {L"Fl\u00F6or.obj", "Fl\xC3\xB6or.obj"},           // a Unicode text
        {L"Fl\u00C3\u00B6or.obj", "Fl\xC3\xB6or.obj"},     // UTF-8 bytes widened one by one
        {L"\u00FF", "\xC3\xBF"},                            // a lone high byte is no UTF-8
        {L"Fl\xFFFFFFC3\xFFFFFFB6or.obj", "Fl\xC3\xB6or.obj"}, // the bytes widened as signed chars
        {L"\u65E5\u672C.png", "\xE6\x97\xA5\xE6\x9C\xAC.png"},
        {L"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(utf8FromAttributeText(c.text), c.bytes) << c.bytes;
    EXPECT_EQ(utf8FromAttributeText(nullptr), "");
}

TEST_F(HostileLevelsTest, NonAsciiFileNamesInLevelsReachTheFileSystemAsUtf8) {
    const std::string floor = "Fl\xC3\xB6or";
    write(floor + ".png", test::readFileBytes((test::sourceDir() / "Content/Font/NoMoveBitmap.png").string()));
    write("Unter_" + floor + ".irr", xmlLevel(xmlNode("LevelObject", 7)));
    const std::string cube = "<node type=\"cube\"><attributes><int name=\"Id\" value=\"3\" /></attributes>"
                             "<materials><attributes><texture name=\"Texture1\" value=\"" + floor +
                             ".png\" /></attributes></materials></node>\n";
    write("Utf8.irr", xmlLevel(cube + sublevelNode(5, "Unter_" + floor + ".irr")));
    const auto expectLoaded = [&](const char* file) {
        SCOPED_TRACE(file);
        EXPECT_TRUE(manager->holdsID(7));
        scene::ISceneNode* node = smgr()->getSceneNodeFromId(3);
        ASSERT_NE(node, nullptr);
        video::ITexture* texture = node->getMaterial(0).getTexture(0);
        ASSERT_NE(texture, nullptr);
        const std::string name = texture->getName().getPath().c_str();
        EXPECT_EQ(name.substr(name.size() - floor.size() - 4), floor + ".png");
        EXPECT_EQ(linesContaining("Could not open file") + linesContaining("Could not read level"), 0u);
    };
    ASSERT_TRUE(manager->loadLevel("Utf8.irr"));
    expectLoaded("Utf8.irr");

    // Written back in either format, the names stay one name.
    ASSERT_TRUE(saveLevelFile(smgr(), "Saved.irr"));
    ASSERT_TRUE(saveLevelFile(smgr(), "Saved.irrblvl"));
    const std::string saved = test::readFileBytes(temp.file("Saved.irr"));
    EXPECT_NE(saved.find("value=\"" + floor + ".png\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("Unter_" + floor + ".irr"), std::string::npos) << saved;
    for (const char* file : {"Saved.irr", "Saved.irrblvl"}) {
        manager->unloadLevel();
        ASSERT_TRUE(manager->loadLevel(file));
        expectLoaded(file);
    }
}

// --- user levels read only from their archive and the game's content ------------------------------

class UserLevelReadsTest : public HostileLevelsTest {
protected:
    void SetUp() override {
        HostileLevelsTest::SetUp();
        const char* previous = std::getenv("XDG_DATA_HOME");
        hadDataHome = previous != nullptr;
        keptDataHome = previous ? previous : "";
        ::setenv("XDG_DATA_HOME", temp.file("data").c_str(), 1);
        levelHooks().screens.maintainWorkshopZip = [](const io::path& path) {
            maintainWorkshopZip(core::stringw(fromUtf8(path.c_str()).c_str()));
        };
    }
    void TearDown() override {
        unmountWorkshopArchives();
        clearWorkshopLevels();
        if (hadDataHome)
            ::setenv("XDG_DATA_HOME", keptDataHome.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
        HostileLevelsTest::TearDown();
    }
    bool hadDataHome = false;
    std::string keptDataHome;
};

TEST_F(UserLevelReadsTest, AUserLevelReadsOnlyFromItsArchiveAndContent) {
    write("Secret.irr", xmlLevel(xmlNode("LevelObject", 66)));
    write("Content/Inside.irr", xmlLevel(xmlNode("LevelObject", 77)));
    const std::string secret = temp.file("Secret.irr");
    const std::string evil = xmlLevel(sublevelNode(10, secret) + sublevelNode(11, "Content/../Secret.irr") +
                                      sublevelNode(12, "Content/Inside.irr") + sublevelNode(13, "Evil/Own.irr"));
    std::filesystem::create_directories(workshopFolder());
    workshoptest::writeBytes(workshopFolder() + "Evil.zip",
                             workshoptest::makeZip({{"Evil/Evil_Main.irr", evil},
                                                    {"Evil/Own.irr", xmlLevel(xmlNode("LevelObject", 88))}}));
    loadWorkshopLevels();
    ASSERT_EQ(WorkshopLevels.size(), 1u);
    log.lines.clear();

    ASSERT_TRUE(manager->loadLevel("Content/Workshop/Evil/Evil_Main.irr"));
    EXPECT_TRUE(manager->holdsID(77));  // the game's content
    EXPECT_TRUE(manager->holdsID(88));  // its own archive
    EXPECT_FALSE(manager->holdsID(66)); // neither by an absolute path nor by ".."
    EXPECT_EQ(linesContaining("Secret.irr\": a user level reads only from its archive and the game's content."), 1u);

    // The game's own levels read where they like.
    write("Plain.irr", xmlLevel(sublevelNode(20, secret)));
    log.lines.clear();
    ASSERT_TRUE(manager->loadLevel("Plain.irr"));
    EXPECT_TRUE(manager->holdsID(66));
    EXPECT_EQ(linesContaining("Refused"), 0u);
}

// --- a mounted archive before the disk ----------------------------------------------------------

// The engine reads a mounted archive's entry before a disk file of the same name, so the
// loader checks the entry: a bad disk file refuses no good entry, a small one lets no
// oversized entry through, and without an entry the disk file is checked as ever.
TEST_F(HostileLevelsTest, ALevelIsCheckedWhereTheEngineReadsIt) {
    enum class Entry { None, Good, TooLarge };
    enum class Disk { None, Good, Folder, TooLarge };
    constexpr u32 tooLarge = 512u * 1024 * 1024 + 1;
    const struct {
        Entry entry;
        Disk disk;
        bool binary;
        bool confined;  // reads confined to "Content", as while a user level plays
        s32 loadedID;   // 0: refused
        const char* reason;
    } cases[] = {
        {Entry::Good, Disk::Folder, false, false, 11, nullptr},
        {Entry::Good, Disk::TooLarge, false, false, 11, nullptr},
        {Entry::Good, Disk::Good, false, false, 11, nullptr},
        {Entry::Good, Disk::None, false, false, 11, nullptr},
        {Entry::Good, Disk::Folder, true, false, 11, nullptr},
        {Entry::Good, Disk::Good, false, true, 11, nullptr},
        {Entry::TooLarge, Disk::Good, false, false, 0, "it is larger than 512 MB"},
        {Entry::TooLarge, Disk::Good, true, false, 0, "it is larger than 512 MB"},
        {Entry::None, Disk::Good, false, false, 22, nullptr},
        {Entry::None, Disk::Good, true, false, 22, nullptr},
        {Entry::None, Disk::Folder, false, false, 0, "it is a folder, not a file"},
        {Entry::None, Disk::TooLarge, false, false, 0, "it is larger than 512 MB"},
        {Entry::None, Disk::Good, false, true, 0, "a user level reads only from its archive and the game's content"},
    };
    const auto levelBytes = [](bool binary, s32 id) {
        const std::string idBytes(reinterpret_cast<const char*>(&id), 4);
        return binary ? binaryLevelWithAttribute("LevelObject", static_cast<u8>(io::EAT_INT), "Id", idBytes)
                      : xmlLevel(xmlNode("LevelObject", id));
    };
    io::IFileSystem* fileSystem = smgr()->getFileSystem();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        const std::string level = "Case" + std::to_string(i) + (c.binary ? "/A.irrblvl" : "/A.irr");
        SCOPED_TRACE(level);
        if (c.disk == Disk::Folder)
            std::filesystem::create_directories(temp.file(level));
        else if (c.disk != Disk::None)
            write(level, levelBytes(c.binary, 22));
        if (c.disk == Disk::TooLarge)
            std::filesystem::resize_file(temp.file(level), 512u * 1024 * 1024 + 1); // sparse
        io::IFileArchive* archive = nullptr;
        if (c.entry != Entry::None) {
            archive = mountZip("Case" + std::to_string(i) + ".zip",
                               {{level, levelBytes(c.binary, 11), c.entry == Entry::TooLarge ? tooLarge : 0u}});
            ASSERT_NE(archive, nullptr);
        }
        manager->unloadLevel();
        log.lines.clear();
        if (c.confined)
            confineReadsToFolders({"Content"});
        const bool loaded = manager->loadLevel(level.c_str());
        confineReadsToFolders({});
        if (archive)
            fileSystem->removeFileArchive(archive);

        EXPECT_EQ(loaded, c.loadedID != 0);
        EXPECT_EQ(manager->holdsID(11), c.loadedID == 11);
        EXPECT_EQ(manager->holdsID(22), c.loadedID == 22);
        EXPECT_EQ(linesContaining("Could not read level file " + level + ": " + (c.reason ? c.reason : "")),
                  c.reason ? 1u : 0u);
    }
}

// A user level's archive entries are its bytes as the engine unpacks them: the entry that
// would pass the load's budget is not unpacked, and what came before it stays.
TEST_F(HostileLevelsTest, ArchiveEntriesAreChargedToTheLoadsBytes) {
    const std::string sub = xmlLevel(xmlNode("LevelObject", 22));
    const std::string level = xmlLevel(xmlNode("LevelObject", 11) + sublevelNode(12, "Zipped/Sub.irr"));
    io::IFileArchive* archive = mountZip("Level.zip", {{"Zipped/Level.irr", level}, {"Zipped/Sub.irr", sub}});
    ASSERT_NE(archive, nullptr);
    for (const std::uint64_t limit : {level.size() + sub.size(), level.size() + sub.size() - 1}) {
        manager->unloadLevel();
        log.lines.clear();
        loadBudget().setLimit(LoadBudget::Bytes, limit);
        ASSERT_TRUE(manager->loadLevel("Zipped/Level.irr"));
        const bool whole = limit == level.size() + sub.size();
        EXPECT_TRUE(manager->holdsID(11));
        EXPECT_EQ(manager->holdsID(22), whole);
        EXPECT_EQ(linesContaining("ERROR: The level load reached its budget of " + std::to_string(limit) +
                                  " bytes at \"Zipped/Sub.irr\"; the rest is left out."),
                  whole ? 0u : 1u);
    }
    loadBudget().setLimit(LoadBudget::Bytes, LoadBudget::gameLimits[LoadBudget::Bytes]);
    device->get()->getFileSystem()->removeFileArchive(archive);
}

// --- fuzzing -------------------------------------------------------------------------------------

// Mutated copies of the story levels, in both formats, loaded under the sanitizers: none may
// crash, hang or leak. PADDLESTONE_FUZZ_ITERATIONS sets the count per format
// (tools/fuzz-levels.sh runs the long mode), PADDLESTONE_FUZZ_SEED changes the sequence.
class LevelFuzzTest : public HostileLevelsTest {
protected:
    static int iterations() {
        const char* text = std::getenv("PADDLESTONE_FUZZ_ITERATIONS");
        const int count = text ? std::atoi(text) : 0;
        return count > 0 ? count : 1000;
    }
    static unsigned seed() {
        const char* text = std::getenv("PADDLESTONE_FUZZ_SEED");
        return text ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : 20150301u;
    }

    static std::string mutate(const std::string& seedBytes, std::size_t protectedPrefix, std::mt19937& random) {
        std::string bytes = seedBytes;
        const auto pick = [&](std::size_t limit) {
            return limit == 0 ? std::size_t(0) : std::uniform_int_distribution<std::size_t>(0, limit - 1)(random);
        };
        const auto at = [&]() { return protectedPrefix + pick(bytes.size() - protectedPrefix); };
        static const char* const words[] = {
            "<", ">", "/>", "\"", "&", "&#0;", "-1", "0", "2147483647", "-2147483648", "nan", "inf", "1e39",
            "</node>", "<node type=\"empty\">", "<node type=\"SubLevelObject\">", "<attributes>", "</attributes>",
            "<materials>", "<animators>", "<int name=\"Id\" value=\"", "<texture name=\"Texture1\" value=\"",
            "<string name=\"SubLevelFileName\" value=\"Fuzz.irr\" />", "<userPointer name=\"Id\" />",
            "\xC3\xB6", "\xFF\xFE", "\x17", "\x00\x00\x00\x00", "\xFF\xFF\xFF\x7F", "\xFF\xFF\xFF\xFF"};
        const int mutations = 1 + static_cast<int>(pick(4));
        for (int m = 0; m < mutations && bytes.size() > protectedPrefix; ++m) {
            switch (pick(5)) {
            case 0: // flip bits
                for (std::size_t k = 1 + pick(8); k > 0; --k)
                    bytes[at()] ^= static_cast<char>(1u << pick(8));
                break;
            case 1: // cut short
                bytes.resize(at());
                break;
            case 2: { // a slice repeated
                const std::size_t from = at();
                const std::size_t length = std::min<std::size_t>(1 + pick(256), bytes.size() - from);
                bytes.insert(at(), bytes.substr(from, length));
                break;
            }
            case 3: { // a slice removed
                const std::size_t from = at();
                bytes.erase(from, 1 + pick(64));
                break;
            }
            default: { // a word of the format where there was another
                const std::size_t from = at();
                bytes.replace(from, std::min<std::size_t>(pick(4), bytes.size() - from), words[pick(std::size(words))]);
                break;
            }
            }
        }
        return bytes;
    }

    // A binary level whose header is made to match its mutated payload (else the checksum
    // refuses nearly every mutation before the reader sees it).
    static void sealBinary(std::string& bytes) {
        if (bytes.size() < 20)
            return;
        const u32 length = static_cast<u32>(bytes.size() - 20);
        const u32 checksum = binaryLevelChecksum(bytes.data() + 20, length);
        std::memcpy(bytes.data() + 12, &length, 4);
        std::memcpy(bytes.data() + 16, &checksum, 4);
    }

    void fuzz(const std::vector<std::string>& seeds, const char* fileName, bool binary) {
        std::mt19937 random(seed() + (binary ? 1u : 0u));
        const int count = iterations();
        int loaded = 0;
        test::FuzzWatch watch;
        for (int i = 0; i < count; ++i) {
            std::string bytes = mutate(seeds[static_cast<std::size_t>(i) % seeds.size()], binary ? 20 : 0, random);
            if (binary && i % 8 != 0)
                sealBinary(bytes);
            write(fileName, bytes);
            watch.begin(std::string(fileName) + " mutation " + std::to_string(i) + " of seed " +
                        std::to_string(seed()));
            scene::ISceneNode* parent = smgr()->addEmptySceneNode();
            SceneLoader loader(smgr());
            loaded += loader.load(fileName, parent) ? 1 : 0;
            parent->remove();
            watch.end();
            if (log.lines.size() > 1000)
                log.lines.clear();
        }
        // Both ways are taken: some damage is harmless, some is refused.
        EXPECT_GT(loaded, 0) << fileName;
        EXPECT_LT(loaded, count) << fileName;
    }

    // The story levels as the game ships them, and as binary levels written from them.
    void storyLevels(std::vector<std::string>& xml, std::vector<std::string>& binary) {
        std::filesystem::create_symlink(test::sourceDir() / "Content", temp.file("Content"));
        for (const char* level : {"Story_Garden.irr", "Story_Greenhouse.irr", "Story_Shed.irr"}) {
            const std::string path = std::string("Content/Levels/") + level;
            xml.push_back(test::readFileBytes(path));
            ASSERT_FALSE(xml.back().empty()) << level;
            scene::ISceneNode* parent = smgr()->addEmptySceneNode();
            ASSERT_TRUE(SceneLoader(smgr()).load(path.c_str(), parent)) << level;
            ASSERT_TRUE(saveLevelFile(smgr(), "Seed.irrblvl", parent)) << level;
            parent->remove();
            binary.push_back(test::readFileBytes(temp.file("Seed.irrblvl")));
            ASSERT_GT(binary.back().size(), 20u) << level;
        }
        log.lines.clear();
    }
};

TEST_F(LevelFuzzTest, MutatedStoryLevelsNeverTakeTheGameDown) {
    std::vector<std::string> xml, binary;
    ASSERT_NO_FATAL_FAILURE(storyLevels(xml, binary));
    fuzz(xml, "Fuzz.irr", false);
    fuzz(binary, "Fuzz.irrblvl", true);
}

namespace {

// --- what a level may ask of the engine and the game ----------------------------------------

// A node named "N<id>", as the clamp lines name it.
std::string nodeXml(const std::string& type, s32 id, const std::string& extra = "") {
    return xmlNode(type, id, "<string name=\"Name\" value=\"N" + std::to_string(id) + "\" />" + extra);
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
    write("Types.irr", xmlLevel(nodes));
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
    write("Spheres.irr", xmlLevel(nodes));
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

// Each value of a rate pair is clamped on its own and keeps its own value.
TEST_F(HostileLevelsTest, EachValueOfARatePairIsClampedOnItsOwn) {
    const struct {
        core::position2di given, kept;
    } rows[] = {{{16251, 7}, {16250, 7}},
                {{7, 16251}, {7, 16250}},
                {{-1, 3}, {0, 3}},
                {{3, -1}, {3, 0}},
                {{0, 16250}, {0, 16250}}};
    for (const auto& row : rows) {
        io::IAttributes* in = smgr()->getFileSystem()->createEmptyAttributes();
        in->addPosition2d("ParticlesPerSecond", row.given);
        log.lines.clear();
        clampLevelAttributes("AnyObject", in);
        EXPECT_EQ(in->getAttributeAsPosition2d("ParticlesPerSecond"), row.kept) << row.given.X << ", " << row.given.Y;
        EXPECT_EQ(linesContaining("clamped to"), row.given != row.kept ? 1u : 0u) << row.given.X << ", " << row.given.Y;
        in->drop();
    }
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

// --- animators and splines -----------------------------------------------------------------------

TEST_F(HostileLevelsTest, LevelsNameOnlyTheGamesAnimatorTypes) {
    // The engine's own animators (one that deletes its node, ...) are no level content.
    const struct {
        const char* type;
        bool applied;
    } cases[] = {{"moveRotation", true}, {"rotateTowards", true}, {"deletion", false},
                 {"flyCircle", false},   {"rotation", false},      {"texture", false},
                 {"collisionResponse", false}, {"followSpline", false}, {"MoveRotation", false}};
    std::string nodes;
    s32 id = 300;
    for (const auto& c : cases)
        nodes += "<node type=\"LevelObject\"><attributes><int name=\"Id\" value=\"" + std::to_string(id++) +
                 "\" /></attributes><animators><attributes><string name=\"Type\" value=\"" + c.type +
                 "\" /></attributes></animators></node>\n";
    write("Animators.irr", xmlLevel(nodes));
    ASSERT_TRUE(manager->loadLevel("Animators.irr"));
    id = 300;
    for (const auto& c : cases) {
        scene::ISceneNode* node = smgr()->getSceneNodeFromId(id++);
        ASSERT_NE(node, nullptr) << c.type;
        EXPECT_EQ(node->getAnimators().size(), c.applied ? 1u : 0u) << c.type;
        EXPECT_EQ(log.contains(std::string("Warning: Skipped an animator of unknown type: ") + c.type), !c.applied)
            << c.type;
    }
}

TEST_F(HostileLevelsTest, ASplinesDivisionsAreClampedOnTheirBounds) {
    // A swim-spline animator sums the spline's length over its divisions every frame.
    struct Row {
        s64 given;
        s32 kept;
    };
    const Row rows[] = {{1000, 1000}, {1001, 1000}, {2147483647, 1000}, {0, 0}, {-5, 0}};
    std::string nodes;
    s32 id = 400;
    for (const Row& row : rows)
        nodes += nodeXml("SplineObject", id++, "<int name=\"DivisionCount\" value=\"" + std::to_string(row.given) + "\" />");
    write("Splines.irr", xmlLevel(nodes));
    ASSERT_TRUE(manager->loadLevel("Splines.irr"));
    id = 400;
    for (const Row& row : rows) {
        auto* spline = static_cast<SplineObject*>(smgr()->getSceneNodeFromId(id));
        ASSERT_NE(spline, nullptr) << row.given;
        EXPECT_EQ(spline->DivisionCount, row.kept) << row.given;
        const std::string line = "Warning: Level object \"N" + std::to_string(id) + "\" (SplineObject): DivisionCount " +
                                 std::to_string(row.given) + " clamped to " + std::to_string(row.kept) +
                                 " (allowed 0 to 1000)";
        EXPECT_EQ(log.contains(line), row.given != row.kept) << line;
        ++id;
    }
}

} // namespace
