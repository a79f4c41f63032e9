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

// A file without a byte-order mark is read as UTF-8 only when every sequence in it is whole,
// shortest and a character; otherwise each byte is a character of its own (Latin-1).
TEST_F(XmlFileTest, OnlyWellFormedUtf8IsReadAsUtf8) {
    const struct {
        const char* name;
        std::string value, tail;
        std::wstring read;
    } rows[] = {
        {"two bytes", "Zo\xC3\xAB", "", L"Zo\u00EB"},
        {"three bytes", "\xE2\x82\xAC", "", L"\u20AC"},
        {"four bytes", "\xF0\x9D\x84\x9E", "", L"\U0001D11E"},
        {"largest", "\xF4\x8F\xBF\xBF", "", L"\U0010FFFF"},
        {"cut at the end", "Zo\xC3\xAB", "\xC3", L"Zo\u00C3\u00AB"},
        {"overlong", "\xC0\xAF", "", L"\u00C0\u00AF"},
        {"overlong three", "\xE0\x9F\xBF", "", L"\u00E0\u009F\u00BF"},
        {"overlong four", "\xF0\x8F\xBF\xBF", "", L"\u00F0\u008F\u00BF\u00BF"},
        {"smallest four", "\xF0\x90\x80\x80", "", L"\U00010000"},
        {"below the surrogates", "\xED\x9F\xBF", "", L"\uD7FF"},
        {"first surrogate", "\xED\xA0\x80", "", L"\u00ED\u00A0\u0080"},
        {"last surrogate", "\xED\xBF\xBF", "", L"\u00ED\u00BF\u00BF"},
        {"above the surrogates", "\xEE\x80\x80", "", L"\uE000"},
        {"past the last", "\xF4\x90\x80\x80", "", L"\u00F4\u0090\u0080\u0080"},
        {"no follower", "\xC3" "A", "", L"\u00C3" L"A"},
        {"a follower alone", "Zo\xC3\xAB\x80", "", L"Zo\u00C3\u00AB\u0080"},
    };
    io::IFileSystem* fs = engine->getFileSystem();
    const std::string path = dir.file("text.xml");
    for (const auto& row : rows) {
        ASSERT_TRUE(test::writeFileBytes(path, "<a v=\"" + row.value + "\" />" + row.tail));
        io::IXMLReader* reader = createGuardedXMLReader(fs, path);
        ASSERT_NE(reader, nullptr) << row.name;
        while (reader->read() && reader->getNodeType() != io::EXN_ELEMENT) {
        }
        const wchar_t* value = reader->getAttributeValue(L"v");
        EXPECT_EQ(std::wstring(value ? value : L"(none)"), row.read) << row.name;
        reader->drop();
    }
}

// A UTF-8 file's byte-order mark is no character of the text: the first thing read is the element.
TEST_F(XmlFileTest, AUtf8MarkIsNoCharacter) {
    const std::string path = dir.file("marked.xml");
    ASSERT_TRUE(test::writeFileBytes(path, "\xEF\xBB\xBF<a v=\"Zo\xC3\xAB\" />"));
    io::IXMLReader* reader = createGuardedXMLReader(engine->getFileSystem(), path);
    ASSERT_NE(reader, nullptr);
    ASSERT_TRUE(reader->read());
    EXPECT_EQ(reader->getNodeType(), io::EXN_ELEMENT);
    EXPECT_EQ(std::wstring(reader->getNodeName()), L"a");
    EXPECT_EQ(std::wstring(reader->getAttributeValueSafe(L"v")), L"Zo\u00EB");
    reader->drop();
}

// Only the mark that opens the file is dropped: the same character anywhere after it is text.
TEST_F(XmlFileTest, AUtf8MarkInsideTheTextIsKept) {
    const struct {
        const char* name;
        std::string file;
        std::wstring read;
    } rows[] = {
        {"opening the file", "\xEF\xBB\xBF<a v=\"Zo\xC3\xAB\" />", L"Zo\u00EB"},
        {"opening the value", "<a v=\"\xEF\xBB\xBFZo\" />", L"\uFEFFZo"},
        {"after a letter", "<a v=\"Zo\xEF\xBB\xBF\" />", L"Zo\uFEFF"},
        {"after the opening one", "\xEF\xBB\xBF<a v=\"\xEF\xBB\xBF\" />", L"\uFEFF"},
    };
    const std::string path = dir.file("marks.xml");
    for (const auto& row : rows) {
        ASSERT_TRUE(test::writeFileBytes(path, row.file));
        io::IXMLReader* reader = createGuardedXMLReader(engine->getFileSystem(), path);
        ASSERT_NE(reader, nullptr) << row.name;
        while (reader->read() && reader->getNodeType() != io::EXN_ELEMENT) {
        }
        EXPECT_EQ(std::wstring(reader->getAttributeValueSafe(L"v")), row.read) << row.name;
        reader->drop();
    }
}

TEST_F(XmlFileTest, MissingOversizedOrFolderGivesNoReader) {
    io::IFileSystem* fs = engine->getFileSystem();
    EXPECT_EQ(createGuardedXMLReader(fs, dir.file("missing.xml")), nullptr);
    EXPECT_EQ(createGuardedXMLReader(fs, dir.path().string()), nullptr);
    ASSERT_TRUE(test::writeFileBytes(dir.file("big.xml"), std::string(2000, ' ')));
    EXPECT_EQ(createGuardedXMLReader(fs, dir.file("big.xml"), 1000), nullptr);
    EXPECT_EQ(createGuardedXMLReader(nullptr, dir.file("big.xml")), nullptr);
    EXPECT_EQ(createGuardedContentXMLReader(nullptr, dir.file("big.xml")), nullptr);

    // An open file is copied whole, up to the bound.
    io::IReadFile* source = fs->createAndOpenFile(dir.file("big.xml").c_str());
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(createGuardedReadFile(fs, source, 1999), nullptr);
    io::IReadFile* copy = createGuardedReadFile(fs, source, 2000);
    ASSERT_NE(copy, nullptr);
    EXPECT_GE(copy->getSize(), 2000);
    copy->drop();
    source->drop();
    EXPECT_EQ(createGuardedReadFile(fs, static_cast<io::IReadFile*>(nullptr), 2000), nullptr);
    io::IReadFile* again = fs->createAndOpenFile(dir.file("big.xml").c_str());
    EXPECT_EQ(createGuardedReadFile(nullptr, again, 2000), nullptr);
    again->drop();
}

} // namespace
