// Files a player can damage, as the core meets them: the one check before every read, the
// player's XML files written as UTF-8 (and the older UTF-32 and UTF-16 files still read),
// files kept aside without losing earlier copies, the log's early lines and escaped
// control characters, temporary files of killed writes, the working folder's lock and the
// quit signals.
#include "ServicesFixture.h"
#include "app/ShellFixture.h"

#include "core/FileChecks.h"
#include "core/FontGate.h"
#include "core/app/GameApplication.h"
#include "core/GameSettings.h"
#include "core/ImageGate.h"
#include "core/Log.h"
#include "core/LogManager.h"
#include "core/ProcessGuards.h"
#include "core/SafeWrite.h"
#include "core/XmlFile.h"
#include "core/XmlWriter.h"
#include "gui/GUIScreen.h"
#include "level/SaveManager.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUIMainScreen.h"
#include "support/GivenTime.h"

#include <irrlicht.h>

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <thread>
#include <tuple>
#include <fstream>
#include <utility>

using namespace irr;

namespace {

std::size_t countContaining(const std::vector<std::string>& lines, const std::string& part) {
    std::size_t count = 0;
    for (const std::string& line : lines)
        count += line.find(part) != std::string::npos ? 1 : 0;
    return count;
}

class DamagedFilesTest : public ServicesFixture {
protected:
    void SetUp() override {
        ServicesFixture::SetUp();
        forgetFileRefusals();
    }
};

// --- the check before every read -----------------------------------------------------------

TEST_F(DamagedFilesTest, OnlyRegularFilesOfSaneSizeAreRead) {
    std::filesystem::create_directories(dir.file("Folder.xml"));
    ASSERT_EQ(::mkfifo(dir.file("Pipe.xml").c_str(), 0600), 0);
    ASSERT_TRUE(test::writeFileBytes(dir.file("Small.xml"), "<a/>"));
    // Sparse: large on paper, nothing on the disk.
    { std::ofstream(dir.file("Huge.xml")); }
    std::filesystem::resize_file(dir.file("Huge.xml"), 300ull * 1024 * 1024);

    const struct {
        const char* name;
        FileCheck check;
        const char* line;
    } cases[] = {
        {"Small.xml", FileCheck::Readable, nullptr},
        {"Missing.xml", FileCheck::Missing, nullptr},
        {"Folder.xml", FileCheck::Folder, "Folder.xml\": it is a folder, not a file."},
        {"Pipe.xml", FileCheck::NotRegular, "Pipe.xml\": it is a pipe, device or socket, not a file."},
        {"Huge.xml", FileCheck::TooLarge, "Huge.xml\": it is larger than 256 MB."},
    };
    // The size limit itself is readable; one byte more is too large.
    EXPECT_EQ(checkFileForReading(dir.file("Small.xml"), 4), FileCheck::Readable);
    EXPECT_EQ(checkFileForReading(dir.file("Small.xml"), 3), FileCheck::TooLarge);
    EXPECT_TRUE(isReadableEngineFile(device->getFileSystem(), dir.file("Small.xml"), 4));
    EXPECT_FALSE(isReadableEngineFile(device->getFileSystem(), dir.file("Small.xml"), 3));
    log.lines.clear();
    for (const auto& c : cases) {
        log.lines.clear();
        EXPECT_EQ(checkFileForReading(dir.file(c.name)), c.check) << c.name;
        for (int attempt = 0; attempt < 2; ++attempt)
            EXPECT_EQ(isReadableFile(dir.file(c.name)), c.check == FileCheck::Readable) << c.name;
        EXPECT_EQ(checkEngineFileForReading(device->getFileSystem(), dir.file(c.name)).check, c.check)
            << c.name;
        EXPECT_EQ(isReadableEngineFile(device->getFileSystem(), dir.file(c.name)),
                  c.check == FileCheck::Readable)
            << c.name;
        // The engine's own opens meet the same check, and the refusal is logged once.
        installFileGuard(device->getFileSystem());
        io::IReadFile* file = device->getFileSystem()->createAndOpenFile(dir.file(c.name).c_str());
        if (c.check == FileCheck::Readable || c.check == FileCheck::Missing) {
            EXPECT_EQ(file != nullptr, c.check == FileCheck::Readable) << c.name;
        } else {
            ASSERT_NE(file, nullptr) << c.name;
            // A refused file is empty: nothing to read, and no place but its start to go to.
            EXPECT_EQ(file->getSize(), 0) << c.name;
            char byte = 'x';
            EXPECT_EQ(file->read(&byte, 1), 0) << c.name;
            EXPECT_EQ(file->getPos(), 0) << c.name;
            EXPECT_TRUE(file->seek(0, false)) << c.name;
            EXPECT_FALSE(file->seek(1, false)) << c.name;
            EXPECT_FALSE(file->seek(1, true)) << c.name;
        }
        if (file)
            file->drop();
        io::IXMLReader* reader = createGuardedXMLReader(device->getFileSystem(), dir.file(c.name));
        EXPECT_EQ(reader != nullptr, c.check == FileCheck::Readable) << c.name;
        if (reader)
            reader->drop();
        EXPECT_EQ(countContaining(log.lines, "Refused to read"), c.line ? 1u : 0u) << c.name;
        if (c.line) {
            EXPECT_EQ(countContaining(log.lines, c.line), 1u) << c.name;
        }
    }
}

// --- images --------------------------------------------------------------------------------

TEST_F(DamagedFilesTest, OnlyPngAndJpegImagesOfSaneSizeReachTheEnginesReaders) {
    video::IVideoDriver* driver = device->getVideoDriver();
    installFileGuard(device->getFileSystem());
    registerImageGate(driver);
    video::IImage* picture = driver->createImage(video::ECF_R8G8B8, core::dimension2du(8, 4));
    picture->fill(video::SColor(255, 30, 160, 90));
    for (const char* name : {"Picture.png", "Picture.jpg", "Picture.bmp", "Picture.tga"})
        ASSERT_TRUE(driver->writeImageToFile(picture, dir.file(name).c_str())) << name;
    picture->drop();
    // Pictures on the side's bound: 8192 wide, 8192 high.
    for (const auto& [name, size] : {std::pair{"Wide.png", core::dimension2du(maxImageSide, 1)},
                                     std::pair{"High.png", core::dimension2du(2, maxImageSide)}}) {
        video::IImage* edge = driver->createImage(video::ECF_R8G8B8, size);
        edge->fill(video::SColor(255, 30, 160, 90));
        ASSERT_TRUE(driver->writeImageToFile(edge, dir.file(name).c_str())) << name;
        edge->drop();
    }
    const std::string png = test::readFileBytes(dir.file("Picture.png"));
    const std::string jpeg = test::readFileBytes(dir.file("Picture.jpg"));
    const std::string wide = test::readFileBytes(dir.file("Wide.png"));
    const std::string high = test::readFileBytes(dir.file("High.png"));
    // The header's width (bytes 16 to 19) or height (20 to 23) one past the bound.
    std::string wider = wide;
    wider[19] = '\x01';
    std::string higher = high;
    higher[23] = '\x01';
    std::string hugePng = png;
    hugePng[16] = 0x7F; // width far beyond any texture
    std::string tallPng = png;
    tallPng[20] = 0x7F; // height far beyond any texture, a sane width
    std::string hugeJpeg = jpeg;
    const std::size_t frame = hugeJpeg.find("\xFF\xC0");
    ASSERT_NE(frame, std::string::npos);
    std::string tallJpeg = jpeg;
    tallJpeg[frame + 5] = '\x7F';
    hugeJpeg[frame + 7] = '\x7F';
    hugeJpeg[frame + 5] = '\x7F';

    // The bytes of a literal, its zeros included.
    auto bytes = [](const auto& literal) { return std::string(literal, sizeof(literal) - 1); };
    // The rest of a frame header for 8 x 4 (length 17, precision, height, width, 3 parts).
    const std::string frameOf8x4 = std::string("\x00\x11\x08\x00\x04\x00\x08\x03", 8) + std::string(20, '\0');
    const struct {
        const char* name;
        std::string bytes;
        unsigned width; // 1 for a refused file: one transparent pixel
        const char* line;
    } cases[] = {
        {"Good.png", png, 8, nullptr},
        {"Good.jpg", jpeg, 8, nullptr},
        {"PngUnderAnotherName.dds", png, 8, nullptr},
        {"Old.bmp", test::readFileBytes(dir.file("Picture.bmp")), 1, "the game reads only PNG and JPEG images"},
        {"Old.tga", test::readFileBytes(dir.file("Picture.tga")), 1, "the game reads only PNG and JPEG images"},
        {"Noise.png", std::string(300, '\x5A'), 1, "the game reads only PNG and JPEG images"},
        {"Huge.png", hugePng, 1, "it claims a size of 2130706440 x 4"},
        {"Huge.jpg", hugeJpeg, 1, "it claims a size of 32520 x 32516"},
        {"Tall.png", tallPng, 1, "it claims a size of 8 x 2130706436"},
        {"Tall.jpg", tallJpeg, 1, "it claims a size of 8 x 32516"},
        {"Wide8192.png", wide, maxImageSide, nullptr},
        {"Wide8193.png", wider, 1, "it claims a size of 8193 x 1"},
        {"High8192.png", high, 2, nullptr},
        {"High8193.png", higher, 1, "it claims a size of 2 x 8193"},
        {"Cut.png", png.substr(0, 20), 1, "its header is damaged"},
        {"Empty.png", "", 1, "it is empty"},
        // A JPEG's segments up to its frame header: each damage stops the walk before a
        // frame header that would otherwise give a sane size.
        {"NoMarker.jpg", bytes("\xFF\xD8\xFF\xE0\x00\x04\x00\x00\x12\xC0") + frameOf8x4, 1, "its header is damaged"},
        {"ShortFrame.jpg", bytes("\xFF\xD8\xFF\xC0\x00\x06\x08\x00\x04\x00\x08\x03") + std::string(20, '\0'), 1,
         "its header is damaged"},
        {"CutFrame.jpg", bytes("\xFF\xD8\xFF\xC0\x00\x11\x08\x00\x04\x00\x08\x03") + std::string(7, '\0'), 1,
         "its header is damaged"},
        {"ScanFirst.jpg", bytes("\xFF\xD8\xFF\xDA\x00\x02\xFF\xC0") + frameOf8x4, 1, "its header is damaged"},
        {"EndFirst.jpg", bytes("\xFF\xD8\xFF\xD9\x00\x02\xFF\xC0") + frameOf8x4, 1, "its header is damaged"},
        {"ShortSegment.jpg", bytes("\xFF\xD8\xFF\xE0\x00\x01\xFF\xC0") + frameOf8x4, 1, "its header is damaged"},
        {"NoFrame.jpg", bytes("\xFF\xD8\xFF\xE0\x00\x04\x00\x00"), 1, "its header is damaged"},
        // Huffman, arithmetic-coding and conditioning tables are no frame headers: passed over,
        // the frame after them is read (these files then fail in the engine's reader).
        {"HuffmanFirst.jpg", bytes("\xFF\xD8\xFF\xC4\x00\x04\x00\x00\xFF\xC0") + frameOf8x4, 1, "it is damaged"},
        {"ReservedFirst.jpg", bytes("\xFF\xD8\xFF\xC8\x00\x04\x00\x00\xFF\xC0") + frameOf8x4, 1, "it is damaged"},
        {"LastFrameKind.jpg", bytes("\xFF\xD8\xFF\xCF") + frameOf8x4, 1, "it is damaged"},
        {"ArithmeticFirst.jpg", bytes("\xFF\xD8\xFF\xCC\x00\x04\x00\x00\xFF\xC0") + frameOf8x4, 1,
         "it is damaged"},
        {"Filled.jpg", jpeg.substr(0, 2) + "\xFF" + jpeg.substr(2), 8, nullptr},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(test::writeFileBytes(dir.file(c.name), c.bytes));
        log.lines.clear();
        video::IImage* image = driver->createImageFromFile(dir.file(c.name).c_str());
        ASSERT_NE(image, nullptr) << c.name;
        EXPECT_EQ(image->getDimension().Width, c.width) << c.name;
        // A refused image draws nothing: its one pixel is see-through.
        EXPECT_EQ(image->getPixel(0, 0).getAlpha(), c.line ? 0u : 255u) << c.name;
        image->drop();
        EXPECT_EQ(countContaining(log.lines, "Refused the image"), c.line ? 1u : 0u) << c.name;
        if (c.line) {
            EXPECT_EQ(countContaining(log.lines, c.line), 1u) << c.name;
        }
        // As a texture it is kept under its name: asked again, nothing more is logged.
        video::ITexture* texture = driver->getTexture(dir.file(c.name).c_str());
        ASSERT_NE(texture, nullptr) << c.name;
        log.lines.clear();
        EXPECT_EQ(driver->getTexture(dir.file(c.name).c_str()), texture) << c.name;
        EXPECT_TRUE(log.lines.empty()) << c.name;
    }

    // Files of 64 MB are read (these are no images); one byte more is refused unread.
    for (const auto& [name, bytes, line] :
         {std::tuple{"Bound.png", 64ul << 20, "the game reads only PNG and JPEG images"},
          std::tuple{"PastBound.png", (64ul << 20) + 1, "it is larger than 64 MB"}}) {
        ASSERT_TRUE(test::writeFileBytes(dir.file(name), "x"));
        std::filesystem::resize_file(dir.file(name), bytes);
        log.lines.clear();
        video::IImage* image = driver->createImageFromFile(dir.file(name).c_str());
        ASSERT_NE(image, nullptr) << name;
        EXPECT_EQ(image->getDimension().Width, 1u) << name;
        image->drop();
        EXPECT_EQ(countContaining(log.lines, line), 1u) << name;
    }
}

// While reads are confined, a file the engine opens outside the folders reaches it empty (and
// the refusal is logged once); inside them, and once the confinement is lifted, as it is.
TEST_F(DamagedFilesTest, TheEngineOpensFilesOutsideConfinedFoldersAsEmpty) {
    io::IFileSystem* files = device->getFileSystem();
    installFileGuard(files);
    std::filesystem::create_directories(dir.file("content"));
    ASSERT_TRUE(test::writeFileBytes(dir.file("content/inside.txt"), "inside"));
    ASSERT_TRUE(test::writeFileBytes(dir.file("outside.txt"), "outside"));
    confineReadsToFolders({dir.file("content")});
    struct Lift {
        ~Lift() { confineReadsToFolders({}); } // also when a step fails
    } lift;
    const struct {
        const char* name;
        long size;
    } rows[] = {{"content/inside.txt", 6}, {"outside.txt", 0}};
    for (const auto& row : rows) {
        log.lines.clear();
        io::IReadFile* file = files->createAndOpenFile(dir.file(row.name).c_str());
        ASSERT_NE(file, nullptr) << row.name;
        EXPECT_EQ(file->getSize(), row.size) << row.name;
        char buffer[8] = {};
        EXPECT_EQ(file->read(buffer, sizeof(buffer)), row.size) << row.name;
        EXPECT_EQ(file->getPos(), row.size) << row.name;
        EXPECT_EQ(std::string(file->getFileName().c_str()), dir.file(row.name));
        file->drop();
        EXPECT_EQ(countContaining(log.lines, "a user level reads only from its archive"), row.size ? 0u : 1u)
            << row.name;
    }
    confineReadsToFolders({});
    io::IReadFile* lifted = files->createAndOpenFile(dir.file("outside.txt").c_str());
    ASSERT_NE(lifted, nullptr);
    EXPECT_EQ(lifted->getSize(), 7);
    lifted->drop();
}

// --- bitmap fonts ----------------------------------------------------------------------------

// What the font check finds wrong before the engine's reader would trust the file.
TEST_F(DamagedFilesTest, BitmapFontFaultsAreNamedBeforeTheEngineReadsTheFont) {
    const std::string head = "<font type=\"bitmap\"><Texture index=\"0\" filename=\"Letters.png\" />";
    ASSERT_TRUE(test::writeFileBytes(dir.file("Letters.png"), "png"));
    const struct {
        const char* name;
        std::string text;
        const char* reason; // null: sound
    } cases[] = {
        {"Sound.xml", head + "<c c=\"A\" r=\"1, 1, 2, 2\" i=\"0\" /></font>", nullptr},
        {"LetterInRect.xml", head + "<c c=\"A\" r=\"1, 1, x, 2\" /></font>",
         "a character's rectangle is not four numbers in order"},
        {"LetterInIndex.xml", head + "<c c=\"A\" r=\"1, 1, 2, 2\" i=\"1x\" /></font>",
         "a character's image index is not a number below 16"},
        {"Empty.xml", "<font type=\"bitmap\" /></font>", "it names no characters"},
        {"NoFileName.xml", "<font type=\"bitmap\"><Texture index=\"0\" /><c c=\"A\" r=\"1, 1, 2, 2\" /></font>",
         "an image has no file name"},
        {"EmptyFileName.xml",
         "<font type=\"bitmap\"><Texture index=\"0\" filename=\"\" /><c c=\"A\" r=\"1, 1, 2, 2\" /></font>",
         "an image has no file name"},
        {"Nines.xml", head + "<c c=\"A\" r=\"9, 9, 19, 99\" i=\"9\" /></font>",
         "a character is drawn from an image the font does not name"},
        {"PastImages.xml", head + "<c c=\"A\" r=\"1, 1, 2, 2\" i=\"16\" /></font>",
         "a character's image index is not a number below 16"},
        {"OtherElement.xml", "<fonts><c c=\"A\" r=\"1, 1, 2, 2\" /></fonts></font>", "it is no bitmap font"},
        {"OpenComment.xml", head + "<c c=\"A\" r=\"1, 1, 2, 2\" /><!-- </font>", "the file ends before its font does"},
    };
    io::IFileSystem* files = device->getFileSystem();
    for (const auto& c : cases) {
        ASSERT_TRUE(test::writeFileBytes(dir.file(c.name), c.text));
        log.lines.clear();
        EXPECT_EQ(checkFontFile(files, dir.file(c.name).c_str()), c.reason == nullptr) << c.name;
        EXPECT_EQ(countContaining(log.lines, std::string("Refused the font")), c.reason ? 1u : 0u) << c.name;
        if (c.reason) {
            EXPECT_EQ(countContaining(log.lines, std::string("\": ") + c.reason + "."), 1u) << c.name;
        }
    }
    EXPECT_FALSE(checkFontFile(nullptr, dir.file("Sound.xml").c_str())) << "no file system: nothing is read";
}

// --- the player's XML files as UTF-8 -------------------------------------------------------

TEST_F(DamagedFilesTest, TheXmlWriterWritesUtf8ThatTheReaderReadsBack) {
    Utf8XmlWriter writer;
    writer.writeXMLHeader();
    writer.writeElement(L"Game", false);
    writer.writeLineBreak();
    writer.writeElement(L"string", true, L"name", L"Player", L"value", L"Zoë & \"Łukasz\" <𝄞> ࠀअ€");
    writer.writeLineBreak();
    writer.writeComment(L" a -- comment ");
    writer.writeClosingTag(L"Game");
    writer.writeLineBreak();
    EXPECT_EQ(writer.text(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Game>\n\t<string name=\"Player\" "
              "value=\"Zo\xC3\xAB &amp; &quot;\xC5\x81ukasz&quot; &lt;\xF0\x9D\x84\x9E&gt; \xE0\xA0\x80\xE0\xA4\x85\xE2\x82\xAC\" "
              "/>\n\t<!-- a - "
              " comment --></Game>\n");

    ASSERT_TRUE(writer.save(dir.file("Out.xml")));
    io::IXMLReader* reader = createGuardedXMLReader(device->getFileSystem(), dir.file("Out.xml"));
    ASSERT_NE(reader, nullptr);
    std::wstring value;
    while (reader->read())
        if (reader->getNodeType() == io::EXN_ELEMENT && std::wstring(reader->getNodeName()) == L"string")
            value = reader->getAttributeValueSafe(L"value");
    reader->drop();
    EXPECT_EQ(value, L"Zoë & \"Łukasz\" <𝄞> ࠀअ€");

    // A closing tag on a line of its own is indented by its depth, unless text came just before.
    for (const bool text : {false, true}) {
        Utf8XmlWriter nested;
        nested.writeElement(L"Game", false);
        nested.writeLineBreak();
        nested.writeElement(L"a", false);
        if (text)
            nested.writeText(L"x & y");
        nested.writeLineBreak();
        nested.writeClosingTag(L"a");
        nested.writeLineBreak();
        nested.writeClosingTag(L"Game");
        EXPECT_EQ(nested.text(), text ? "<Game>\n\t<a>x &amp; y\n</a>\n</Game>" : "<Game>\n\t<a>\n\t</a>\n</Game>");
    }
}

// The settings file in the encodings players' disks hold: UTF-8 (written now), UTF-32 (the
// engine's writer) and UTF-16 (an editor's).
std::string encode(const std::wstring& text, int unit, bool bigEndian) {
    std::string bytes;
    const auto put = [&](unsigned code) {
        for (int i = 0; i < unit; ++i) {
            const int shift = 8 * (bigEndian ? unit - 1 - i : i);
            bytes.push_back(static_cast<char>((code >> shift) & 0xFF));
        }
    };
    put(0xFEFF);
    for (wchar_t c : text) {
        const auto code = static_cast<unsigned>(c);
        if (unit == 2 && code > 0xFFFF) {
            put(0xD800 + ((code - 0x10000) >> 10));
            put(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            put(code);
        }
    }
    return bytes;
}

TEST_F(DamagedFilesTest, SettingsAreWrittenAsUtf8AndEveryEncodingReadsBack) {
    const std::string path = dir.file("PaddlestoneConfig.xml");
    GameSettings written(path);
    written.load(true);
    written.getAttributes()->setAttribute("Game_Language", L"Français");
    written.save();
    const std::string bytes = test::readFileBytes(path);
    ASSERT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
    EXPECT_NE(bytes.find("value=\"Fran\xC3\xA7" "ais\""), std::string::npos);

    const std::wstring text =
        L"<?xml version=\"1.0\"?>\n<Game>\n<string name=\"Game_Language\" value=\"Fran\u00e7ais\" />\n</Game>\n";
    for (const std::string& file : {bytes, encode(text, 4, false), encode(text, 2, false), encode(text, 2, true)}) {
        ASSERT_TRUE(test::writeFileBytes(path, file));
        GameSettings read(path);
        read.load(false);
        EXPECT_EQ(std::wstring(read.getAttributes()->getAttributeAsStringW("Game_Language").c_str()), L"Français");
        EXPECT_FALSE(std::filesystem::exists(keptAsidePath(path)));
    }
}

TEST_F(DamagedFilesTest, UnknownSettingsAreDroppedWithOneWarningAndTheFileWritesBack) {
    const std::string path = dir.file("PaddlestoneConfig.xml");
    std::string text = "<?xml version=\"1.0\"?>\n<Game>\n<int name=\"Graphics_ScreenWidth\" value=\"1024\" />\n";
    for (int i = 0; i < 88000; ++i)
        text += "<string name=\"Unknown_" + std::to_string(i) + "\" value=\"x\" />\n";
    text += "</Game>\n";
    ASSERT_TRUE(test::writeFileBytes(path, text));

    // Settings are read before the engine device exists: their lines go to standard output.
    gameDevice = nullptr;
    GameSettings settings(path);
    testing::internal::CaptureStdout();
    settings.load(false);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(settings.getAttributes()->getAttributeAsInt("Graphics_ScreenWidth"), 1024);
    EXPECT_FALSE(settings.getAttributes()->existsAttribute("Unknown_5"));
    EXPECT_NE(printed.find("holds 88000 entries the game does not know; they are dropped."), std::string::npos);
    EXPECT_EQ(printed.find("Unknown_"), std::string::npos) << "one line, not one per key";
    settings.save();
    EXPECT_LT(test::readFileBytes(path).size(), 64u * 1024);
    GameSettings again(path);
    again.load(false);
    EXPECT_EQ(again.getAttributes()->getAttributeAsInt("Graphics_ScreenWidth"), 1024);
    EXPECT_FALSE(std::filesystem::exists(keptAsidePath(path)));
}

// --- keeping files aside -------------------------------------------------------------------

TEST_F(DamagedFilesTest, FilesKeptAsideNeverOverwriteEarlierCopies) {
    const std::string path = dir.file("InputRemapping.xml");
    for (int i = 1; i <= keptAsideCopies + 2; ++i) {
        ASSERT_TRUE(test::writeFileBytes(path, "copy " + std::to_string(i)));
        ASSERT_TRUE(keepFileAside(path));
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    // The newest under the plain name, then older ones numbered; the two oldest are gone.
    EXPECT_EQ(test::readFileBytes(keptAsidePath(path)), "copy 7");
    for (int number = 1; number < keptAsideCopies; ++number)
        EXPECT_EQ(test::readFileBytes(keptAsidePath(path) + "." + std::to_string(number)),
                  "copy " + std::to_string(7 - number));
    EXPECT_FALSE(std::filesystem::exists(keptAsidePath(path) + "." + std::to_string(keptAsideCopies)));
    EXPECT_FALSE(keepFileAside(path)) << "nothing to keep";
}

TEST_F(DamagedFilesTest, TemporaryFilesOfKilledWritesAreRemoved) {
    // Ten seconds old: a file stamped in the same second as the check could read as newer
    // than the clock's coarse second.
    // One character of name before the suffix is enough.
    for (const char* name : {"save.tsav.tmp.a1B2c3", "PaddlestoneConfig.xml.tmp.Zz9yX8", "s.tmp.q7W8e9"}) {
        ASSERT_TRUE(test::writeFileBytes(dir.file(name), "half"));
        std::filesystem::last_write_time(dir.file(name),
                                         std::filesystem::file_time_type::clock::now() - std::chrono::seconds(10));
    }
    // Six characters after ".tmp." that are not all letters or digits, or no name before
    // ".tmp.": not one of ours.
    const char* kept[] = {"save.tsav", "notes.tmp.txt", "x.tmp.12345", "y.tmp.ab-c.d", ".tmp.a1B2c3"};
    for (const char* name : kept) {
        ASSERT_TRUE(test::writeFileBytes(dir.file(name), "keep"));
        std::filesystem::last_write_time(dir.file(name),
                                         std::filesystem::file_time_type::clock::now() - std::chrono::seconds(10));
    }
    // Young files may be writes of another game in progress.
    EXPECT_EQ(removeLeftoverTemporaryFiles(dir.path().string(), 60), 0);
    EXPECT_EQ(removeLeftoverTemporaryFiles(dir.path().string()), 3);
    EXPECT_FALSE(std::filesystem::exists(dir.file("save.tsav.tmp.a1B2c3")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("s.tmp.q7W8e9")));
    for (const char* name : kept)
        EXPECT_TRUE(std::filesystem::exists(dir.file(name))) << name;
    EXPECT_EQ(countContaining(log.lines, "left by a write that did not finish"), 3u);
}

// --- the log -------------------------------------------------------------------------------

TEST(DamagedFilesLogTest, ControlCharactersAreEscaped) {
    const struct {
        const char* text;
        const char* escaped;
    } cases[] = {
        {"plain line", "plain line"},
        {"key\twith tab", "key\\twith tab"},
        {"fake\r\n[1:2:3] ERROR: line", "fake\\r\\n[1:2:3] ERROR: line"},
        {"bell\a and escape\x1b[31m", "bell\\x07 and escape\\x1B[31m"},
        {"unit\x1F space\x20 delete\x7F tilde~", "unit\\x1F space  delete\\x7F tilde~"},
        {"Zo\xC3\xAB", "Zo\xC3\xAB"},
        // The C1 controls as UTF-8, on their bounds and one past them.
        {"c1 \xC2\x80 \xC2\x9B" "2J \xC2\x9F", "c1 \\xC2\\x80 \\xC2\\x9B2J \\xC2\\x9F"},
        {"after \xC2\xA0 before \x7E", "after \xC2\xA0 before ~"},
        // Bytes that are no UTF-8 character: a Latin-1 name, the 8-bit CSI, a lead byte cut
        // short (at the end too), overlong forms, a surrogate, a code point past U+10FFFF.
        {"Zo\xEB \x9B" "2J \x80", "Zo\\xEB \\x9B2J \\x80"},
        {"\xE2\x82 \xE2\x82", "\\xE2\\x82 \\xE2\\x82"},
        {"\xC0\xAF \xC1\xBF \xE0\x9F\xBF \xF0\x8F\xBF\xBF", "\\xC0\\xAF \\xC1\\xBF \\xE0\\x9F\\xBF \\xF0\\x8F\\xBF\\xBF"},
        {"\xED\x9F\xBF \xED\xA0\x80", "\xED\x9F\xBF \\xED\\xA0\\x80"},
        {"\xF4\x8F\xBF\xBF \xF4\x90\x80\x80 \xF5\x80\x80\x80", "\xF4\x8F\xBF\xBF \\xF4\\x90\\x80\\x80 \\xF5\\x80\\x80\\x80"},
        {"\xE0\xA0\x80\xF0\x90\x80\x80\xE2\x82\xAC", "\xE0\xA0\x80\xF0\x90\x80\x80\xE2\x82\xAC"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(escapeLogText(c.text), c.escaped);
}

// A key-bindings file's 500,000-character name reaches the log cut, with a mark: the whole
// line, its time of day included, at most 1,024 bytes, no character or escape split.
TEST(DamagedFilesLogTest, LinesAreCutToTheirLengthWithAMark) {
    const std::string mark = logLineCutMark;
    const std::string stamp = logFileLine("", 0).substr(0, logFileLine("", 0).size() - 2);
    const std::size_t room = maxLogLineBytes - stamp.size();
    const std::string kept(room - mark.size() - 1, 'a');
    // Bytes that are no character are cut at a whole escape.
    std::string escapedBytes;
    while (escapedBytes.size() + 4 <= room - mark.size())
        escapedBytes += "\\x80";
    const struct {
        std::string text;
        std::string written;
    } cases[] = {
        {std::string(room, 'a'), std::string(room, 'a')},
        {std::string(room + 1, 'a'), kept + "a" + mark},
        {kept + "\xC3\xAB" + std::string(room, 'b'), kept + mark},
        {kept + "\t" + std::string(room, 'b'), kept + mark},
        {std::string(5000, '\x80'), escapedBytes + mark},
    };
    for (const auto& c : cases) {
        const std::string line = logFileLine(c.text.c_str(), 0);
        EXPECT_EQ(line, stamp + c.written + "\r\n") << c.text.size();
        EXPECT_LE(line.size(), maxLogLineBytes + 2) << c.text.size();
    }
    const std::string name = "Input mapping file \"remap.xml\": \"" + std::string(500000, 'n') + "\"";
    const std::string line = logFileLine(name.c_str(), 0);
    EXPECT_EQ(line.size(), maxLogLineBytes + 2);
    EXPECT_EQ(line.substr(line.size() - mark.size() - 2), mark + "\r\n");
    // On the terminal, without a time, the line has the whole length.
    EXPECT_EQ(escapeLogText(name.c_str()).size(), maxLogLineBytes);
}

TEST(DamagedFilesLogTest, LinesLoggedBeforeTheLogFileOpensAreWrittenIntoIt) {
    test::TempDir dir;
    takeEarlyLogLines();
    testing::internal::CaptureStdout();
    logMessage("Warning: Setting \"Graphics_ScreenWidth\" has the value \"-5\"");
    logMessage("broken\tkey");
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("Graphics_ScreenWidth"), std::string::npos) << "still printed";
    EXPECT_NE(printed.find("broken\\tkey"), std::string::npos);

    {
        LogManager log(dir.file("PaddlestoneLog.txt"));
        logManager = &log;
        testing::internal::CaptureStdout();
        logMessage("after the file opened, before the device");
        testing::internal::GetCapturedStdout();
        logManager = nullptr;
    }
    const std::string file = test::readFileBytes(dir.file("PaddlestoneLog.txt"));
    const std::size_t header = file.find("Memory: ");
    const std::size_t setting = file.find("] Warning: Setting \"Graphics_ScreenWidth\"");
    const std::size_t broken = file.find("] broken\\tkey\r\n");
    const std::size_t after = file.find("] after the file opened, before the device");
    EXPECT_LT(header, setting);
    EXPECT_LT(setting, broken);
    EXPECT_LT(broken, after);
    EXPECT_NE(after, std::string::npos);
    EXPECT_TRUE(takeEarlyLogLines().empty());
}

// --- two games, and signals ----------------------------------------------------------------

TEST(DamagedFilesProcessTest, ASecondGameCannotTakeTheWorkingFoldersLock) {
    test::TempDir dir;
    const std::string lock = dir.file(instanceLockFileName);
    ASSERT_TRUE(acquireInstanceLock(lock));
    EXPECT_TRUE(acquireInstanceLock(lock)) << "a restart takes it again";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Another process: it closes its copy of the parent's descriptor (the parent's lock
        // stays) and asks anew.
        releaseInstanceLock();
        _exit(acquireInstanceLock(lock) ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);

    // Once the first game has gone, the next one takes it.
    releaseInstanceLock();
    const pid_t next = fork();
    ASSERT_GE(next, 0);
    if (next == 0)
        _exit(acquireInstanceLock(lock) ? 0 : 3);
    ASSERT_EQ(waitpid(next, &status, 0), next);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Another game's answer, asked in a process of its own: 0 when `ask` says true, 3 when false.
int answerOfAnotherProcess(const std::function<bool()>& ask) {
    const pid_t child = fork();
    if (child == 0)
        _exit(ask() ? 0 : 3);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Another game asks anew for the folder, its copies of this process's descriptors closed (the
// locks stay): 0 when it takes it, 3 when kept out.
int anotherGameTakes(const std::string& folder) {
    return answerOfAnotherProcess([&] {
        releaseInstanceLock();
        releaseSaveFolderLock();
        return acquireSaveFolderLock(folder);
    });
}

// A lock file that cannot be opened leaves the folder's own lock: a lone game saves, a second
// one is kept out.
TEST(DamagedFilesProcessTest, TheSaveFolderIsLockedWhateverItsLockFileIs) {
    const struct {
        const char* name;
        std::function<void(const std::filesystem::path&)> make;
    } lockFiles[] = {
        {"none yet", [](const std::filesystem::path&) {}},
        {"a folder of its name", [](const std::filesystem::path& file) { std::filesystem::create_directory(file); }},
        {"a dangling link", [](const std::filesystem::path& file) { std::filesystem::create_symlink("gone/x", file); }},
    };
    for (const auto& lockFile : lockFiles) {
        test::TempDir dir;
        const std::string folder = dir.path().string();
        lockFile.make(dir.path() / instanceLockFileName);
        testing::internal::CaptureStdout();
        EXPECT_TRUE(acquireSaveFolderLock(folder)) << lockFile.name;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << lockFile.name;
        EXPECT_EQ(anotherGameTakes(folder), 3) << lockFile.name;
        releaseSaveFolderLock();
        EXPECT_EQ(anotherGameTakes(folder), 0) << lockFile.name;
    }
}

// A game whose save folder is its working folder, by its own path or through a link, holds it
// by the working folder's lock and saves; another game is kept out of it.
TEST(DamagedFilesProcessTest, AGameWhoseSaveFolderIsItsWorkingFolderSaves) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.path() / "Game");
    std::filesystem::create_directory_symlink(dir.path() / "Game", dir.path() / "Link");
    ASSERT_TRUE(acquireInstanceLock(dir.file("Game/Paddlestone.lock")));
    for (const char* folder : {"Game", "Link"}) {
        EXPECT_TRUE(acquireSaveFolderLock(dir.file(folder))) << folder;
        EXPECT_EQ(anotherGameTakes(dir.file(folder)), 3) << folder;
    }
    releaseSaveFolderLock();
    releaseInstanceLock();
}

// The kernel refuses this process's flock calls, and without `records` its record locks too,
// as a file system without them does.
bool takeLocksAway(bool records) {
    const __u8 skipIfRecords = records ? 1 : 0;
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_flock, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOLCK),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fcntl, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[1])),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, F_OFD_SETLK, skipIfRecords, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOLCK),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// Without flock a record lock keeps a second game out; without either the game says so once a
// run (a restart asks again) and saves, and so does a second one.
TEST(DamagedFilesProcessTest, WithoutFlockRecordLocksServeAndWithoutEitherTheGameSaysSoAndSaves) {
    for (const bool records : {true, false}) {
        test::TempDir dir;
        const std::string folder = dir.path().string();
        const int answer = answerOfAnotherProcess([&] {
            if (!takeLocksAway(records))
                return false;
            testing::internal::CaptureStdout();
            const bool taken = acquireSaveFolderLock(folder) && acquireSaveFolderLock(folder);
            const std::string said = testing::internal::GetCapturedStdout();
            const bool saidOnce = said == (records ? "" : "Warning: The save folder \"" + folder +
                                                             "\" cannot be locked (the folder: flock: No locks "
                                                             "available; Paddlestone.lock: flock: No locks available, "
                                                             "record lock: No locks available): another game using it "
                                                             "would not be noticed.\n");
            return taken && saidOnce && anotherGameTakes(folder) == (records ? 3 : 0);
        });
        EXPECT_EQ(answer, 0) << (records ? "record locks" : "no locks at all");
    }
}

class QuitSignalTest : public ShellFixture {};

TEST_F(QuitSignalTest, EachQuitSignalEndsTheGameAsClosingTheWindowDoes) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2}) {
        clearQuitSignal();
        GameApplication game;
        ASSERT_TRUE(game.startUp()) << signal;
        std::filesystem::remove("PaddlestoneConfig.xml"); // the shutdown writes it again
        installQuitSignalHandlers(60000); // a slow machine's shutdown is no hung frame
        ASSERT_NO_FATAL_FAILURE(attachProbe());
        probe = FrameProbe();
        probe.onUpdate = [this, signal] {
            if (probe.updates == 3)
                std::raise(signal);
        };
        EXPECT_EQ(game.runFrames(), gameStatusNormal) << signal;
        EXPECT_EQ(probe.updates, 3) << signal;
        game.shutdownGame();
        // The orderly shutdown ran, as after the window closed.
        EXPECT_EQ(levelManager, nullptr) << signal;
        EXPECT_EQ(screenManager, nullptr) << signal;
        EXPECT_EQ(quitSignalNumber(), signal);
        const std::vector<std::string> lines = logLines();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_NE(std::find(lines.begin(), lines.end(), "Quit signal received."), lines.end()) << signal;
        EXPECT_EQ(lines.back(), "Shutting down.") << signal;
        EXPECT_TRUE(std::filesystem::exists("PaddlestoneConfig.xml")) << signal;
    }
    clearQuitSignal();
    removeQuitSignalHandlers();
}

// The watch writes the settings and the save that waits for its second (a change in the frame
// after a write), as the orderly end would have.
TEST_F(QuitSignalTest, AFrameThatNeverReturnsIsEndedSoonAfterTheSignalWithTheSettingsAndTheSaveSaved) {
    const std::string settingsFile = (dir.path() / "PaddlestoneConfig.xml").string();
    const std::string saveFile = dir.file("data/Paddlestone/save.tsav");
    for (int signal : {SIGTERM, SIGHUP}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            clearQuitSignal();
            GameApplication game;
            if (!game.startUp())
                _exit(3);
            installQuitSignalHandlers(500);
            attachProbe();
            saveManager->setWriteClock([] { return 0.0; }); // the second never passes
            probe.onUpdate = [this, signal] {
                if (probe.updates < 3) {
                    saveManager->setAutoSavePath(probe.updates == 1 ? L"Written.irr" : L"Waiting.irr", false);
                    return;
                }
                // What the orderly end would write, changed in play.
                setSettingInt("Graphics_Quality", 3);
                std::filesystem::remove(dir.path() / "PaddlestoneConfig.xml");
                std::raise(signal);
                for (;;)
                    pause(); // a frame that never returns
            };
            game.runFrames();
            _exit(4);
        }
        // The time the machine gave it (a busy machine stretches the start-up on the wall clock).
        test::GivenTime took = test::GivenTime::ofProcess(child);
        while (!test::hasEndedUnreaped(child))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        took.stop();
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << signal;
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
        EXPECT_LT(took.seconds(), 20.0) << "start-up, a few frames and half a second of grace";
        ASSERT_TRUE(std::filesystem::exists(settingsFile)) << signal;
        EXPECT_NE(test::readFileBytes(settingsFile).find("name=\"Graphics_Quality\" value=\"3\""), std::string::npos);
        EXPECT_NE(test::readFileBytes(saveFile).find("Waiting.irr"), std::string::npos) << signal;
        EXPECT_EQ(logLines().back(), "ERROR: The game did not end within 500 ms of signal " + std::to_string(signal) +
                                         " (\"" + settingsFile + "\" saved, \"" + saveFile + "\" saved); ending it now.");
    }
}

// Two games on one save folder (two installs, or two working folders) whose lock file cannot
// be opened (a folder of its name): the first saves; the second says so, in its log and on its
// title screen, plays, and writes nothing there; the first one's progress stays as the first
// game left it.
TEST_F(QuitSignalTest, ASecondGameOnTheSameSaveFolderKeepsTheFirstOnesProgress) {
    std::filesystem::create_directories(dir.path() / "data" / "Paddlestone" / instanceLockFileName);
    const std::filesystem::path firstFolder = dir.path() / "FirstInstall";
    std::filesystem::create_directories(firstFolder);
    std::filesystem::create_directory_symlink(test::sourceDir() / "Content", firstFolder / "Content");
    std::filesystem::copy_file(dir.path() / "PaddlestoneConfig.xml", firstFolder / "PaddlestoneConfig.xml");
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    const pid_t first = fork();
    ASSERT_GE(first, 0);
    if (first == 0) {
        std::filesystem::current_path(firstFolder);
        GameApplication game;
        if (!game.startUp())
            _exit(3);
        saveManager->getGroup(SaveManager::Statistics)->addInt("LevelsFinished", 376);
        saveManager->requestWrite();
        const char played = saveManager->writeRequested() ? 'y' : 'n';
        [[maybe_unused]] ssize_t io = write(ready[1], &played, 1);
        char go = 0;
        io = read(done[0], &go, 1);
        game.shutdownGame();
        _exit(0);
    }
    char played = 0;
    ASSERT_EQ(read(ready[0], &played, 1), 1);
    ASSERT_EQ(played, 'y');
    const std::string saveFile = dir.file("data/Paddlestone/save.tsav");
    const std::string progress = test::readFileBytes(saveFile);
    ASSERT_NE(progress.find("name=\"LevelsFinished\" value=\"376\""), std::string::npos);
    const auto filesOfTheFolder = [&] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "data" / "Paddlestone"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> files = filesOfTheFolder();
    {
        GameApplication second;
        ASSERT_TRUE(second.startUp());
        ASSERT_NE(saveManager, nullptr);
        EXPECT_FALSE(saveManager->canWrite());
        EXPECT_EQ(saveManager->getGroup(SaveManager::Statistics)->getAttributeAsInt("LevelsFinished"), 376);
        const std::vector<GUIScreen*>& stack = screenManager->getScreenStack();
        const auto title = std::find_if(stack.begin(), stack.end(), [](const GUIScreen* screen) {
            return std::string(screen->getTypeName()) == "GUIMainScreen";
        });
        ASSERT_NE(title, stack.end());
        EXPECT_NE(static_cast<const GUIMainScreen*>(*title)->getSaveFolderWarning(), nullptr);
        saveManager->getGroup(SaveManager::Statistics)->setAttribute("LevelsFinished", 0);
        saveManager->requestWrite();
        EXPECT_FALSE(saveManager->writeRequested());
        second.shutdownGame();
    }
    EXPECT_EQ(test::readFileBytes(saveFile), progress);
    EXPECT_EQ(filesOfTheFolder(), files);
    const std::vector<std::string> lines = logLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "Warning: Another Paddlestone is using the save folder \"" + dir.file("data/Paddlestone") +
                            "\"; this one plays without saving."),
              lines.end());
    ASSERT_EQ(write(done[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(first, &status, 0), first);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int end : {ready[0], ready[1], done[0], done[1]})
        close(end);
}

TEST_F(QuitSignalTest, ASecondGameInTheSameFolderSaysSoAndEnds) {
    ASSERT_TRUE(acquireInstanceLock());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A game of its own; the lock is the parent's.
        releaseInstanceLock();
        testing::internal::CaptureStdout();
        GameApplication second;
        const int status = second.run();
        const std::string printed = testing::internal::GetCapturedStdout();
        const bool said = printed.find("ERROR: Another Paddlestone is running in the folder") != std::string::npos;
        _exit(status == gameStatusFailure && said ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    releaseInstanceLock();
}

} // namespace
