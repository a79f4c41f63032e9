#include "core/XmlFile.h"
#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <irrlicht.h>
#include <string>

using namespace irr;

namespace {

const std::string document = "<?xml version=\"1.0\"?>\n"
                             "<!-- a comment with <angle> brackets -->\n"
                             "<Game>\n"
                             "\t<int name=\"Game_Difficulty\" value=\"2\" />\n"
                             "\t<string name=\"Game_Language\" value=\"English\" />\n"
                             "\t<![CDATA[ raw <text> ]]>\n"
                             "\t<empty></empty>\n"
                             "</Game>\n";

std::string encodeUtf16Little(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

std::string encodeUtf32Big(const std::string& ascii) {
    std::string out("\0\0\xFE\xFF", 4);
    for (char c : ascii) {
        out.append(3, '\0');
        out += c;
    }
    return out;
}

struct ReadResult {
    bool opened = false;
    bool rootClosed = false;
    int elements = 0;
};

ReadResult readAll(io::IFileSystem* fs, const std::string& path) {
    ReadResult result;
    io::IXMLReader* reader = createGuardedXMLReader(fs, path);
    if (!reader)
        return result;
    result.opened = true;
    while (reader->read()) {
        if (reader->getNodeType() == io::EXN_ELEMENT)
            ++result.elements;
        if (reader->getNodeType() == io::EXN_ELEMENT_END &&
            core::stringw(reader->getNodeName()) == L"Game")
            result.rootClosed = true;
    }
    reader->drop();
    return result;
}

class XmlFileTest : public ::testing::Test {
protected:
    // A file cut at every length: the reader never runs past its data (the sanitizer
    // watches), and a file cut before its last ">" never shows a closed root element.
    void readEveryCut(const std::string& bytes) {
        const std::string path = dir.file("cut.xml");
        for (size_t length = 0; length <= bytes.rfind('>'); ++length) {
            ASSERT_TRUE(test::writeFileBytes(path, bytes.substr(0, length)));
            const ReadResult result = readAll(engine->getFileSystem(), path);
            ASSERT_TRUE(result.opened) << length;
            ASSERT_FALSE(result.rootClosed) << "cut at " << length;
        }
        ASSERT_TRUE(test::writeFileBytes(path, bytes));
        const ReadResult whole = readAll(engine->getFileSystem(), path);
        EXPECT_TRUE(whole.rootClosed);
        EXPECT_EQ(whole.elements, 4);
    }

    test::TempDir dir;
    test::NullDevice engine;
};

TEST_F(XmlFileTest, EveryCutOfAnEightBitFileIsReadSafely) {
    readEveryCut(document);
}

TEST_F(XmlFileTest, EveryCutOfAUtf16FileIsReadSafely) {
    readEveryCut(encodeUtf16Little(document));
}

TEST_F(XmlFileTest, EveryCutOfAUtf32FileIsReadSafely) {
    readEveryCut(encodeUtf32Big(document));
}

TEST_F(XmlFileTest, EngineWrittenFileIsReadWhole) {
    io::IFileSystem* fs = engine->getFileSystem();
    const std::string path = dir.file("engine.xml");
    io::IAttributes* attributes = fs->createEmptyAttributes();
    attributes->addInt("Game_Difficulty", 2);
    attributes->addString("Game_Language", L"Fran\u00e7ais");
    io::IXMLWriter* writer = fs->createXMLWriter(path.c_str());
    ASSERT_NE(writer, nullptr);
    attributes->write(writer, true, L"Game");
    writer->drop();
    attributes->clear();

    io::IXMLReader* reader = createGuardedXMLReader(fs, path);
    ASSERT_NE(reader, nullptr);
    while (reader->read() && reader->getNodeType() != io::EXN_ELEMENT) {
    }
    ASSERT_TRUE(attributes->read(reader, true, L"Game"));
    reader->drop();
    EXPECT_EQ(attributes->getAttributeCount(), 2u);
    EXPECT_EQ(attributes->getAttributeAsInt("Game_Difficulty"), 2);
    EXPECT_EQ(core::stringw(attributes->getAttributeAsStringW("Game_Language")), L"Fran\u00e7ais");
    attributes->drop();
}

TEST_F(XmlFileTest, MissingOversizedOrFolderGivesNoReader) {
    io::IFileSystem* fs = engine->getFileSystem();
    EXPECT_EQ(createGuardedXMLReader(fs, dir.file("missing.xml")), nullptr);
    EXPECT_EQ(createGuardedXMLReader(fs, dir.path().string()), nullptr);
    ASSERT_TRUE(test::writeFileBytes(dir.file("big.xml"), std::string(2000, ' ')));
    EXPECT_EQ(createGuardedXMLReader(fs, dir.file("big.xml"), 1000), nullptr);
    EXPECT_EQ(createGuardedXMLReader(nullptr, dir.file("big.xml")), nullptr);
}

} // namespace
