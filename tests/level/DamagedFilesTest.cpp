// Files a player or a shared level can damage, as the level subsystem meets them: sublevel
// cycles, levels that are folders or pipes, meshes of refused formats or damaged ones
// (fuzzed), and levels written to other folders that must keep their meshes and textures.
#include "LevelTestSupport.h"

#include "core/FileChecks.h"
#include "core/Globals.h"
#include "level/B3dCheck.h"
#include "level/LevelFile.h"
#include "level/MeshGate.h"
#include "level/ObjMesh.h"
#include "level/SaveManager.h"
#include "support/FuzzWatch.h"

#include <irrlicht.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

using namespace irr;

namespace {

std::string levelWithSublevel(const std::string& sublevelFile, s32 firstId) {
    std::string text = "<?xml version=\"1.0\"?>\n<irr_scene>\n";
    text += "<node type=\"LevelObject\"><attributes><int name=\"Id\" value=\"" + std::to_string(firstId) +
            "\" /></attributes></node>\n";
    if (!sublevelFile.empty())
        text += "<node type=\"SubLevelObject\"><attributes><int name=\"Id\" value=\"" +
                std::to_string(firstId + 1) + "\" /><string name=\"SubLevelFileName\" value=\"" +
                sublevelFile + "\" /></attributes></node>\n";
    text += "<node type=\"LevelObject\"><attributes><int name=\"Id\" value=\"" + std::to_string(firstId + 2) +
            "\" /></attributes></node>\n</irr_scene>\n";
    return text;
}

class DamagedLevelFilesTest : public test::LevelFixture {
protected:
    void SetUp() override {
        LevelFixture::SetUp();
        workingDir = std::make_unique<test::ScopedWorkingDir>(temp.path());
        forgetFileRefusals();
    }
    void write(const std::string& name, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(temp.file(name)).parent_path());
        ASSERT_TRUE(test::writeFileBytes(temp.file(name), text));
    }
    bool holds(s32 id) const { return manager->holdsID(id); }
    std::size_t linesContaining(const std::string& part) const {
        std::size_t count = 0;
        for (const std::string& line : log.lines)
            count += line.find(part) != std::string::npos ? 1 : 0;
        return count;
    }
    // The last mesh loader: the gate, which answers for every file.
    scene::IMeshLoader* gate() const { return smgr()->getMeshLoader(smgr()->getMeshLoaderCount() - 1); }
    scene::IAnimatedMesh* loadBytes(const std::string& name, const std::string& bytes) {
        auto* copy = new char[bytes.size() + 1];
        std::memcpy(copy, bytes.data(), bytes.size());
        io::IReadFile* file = smgr()->getFileSystem()->createMemoryReadFile(
            copy, static_cast<s32>(bytes.size()), name.c_str(), true);
        scene::IAnimatedMesh* mesh = gate()->createMesh(file);
        file->drop();
        return mesh;
    }
};

// --- sublevels -----------------------------------------------------------------------------

TEST_F(DamagedLevelFilesTest, SublevelCyclesAreLeftOutWithOneLineAndTheRestLoads) {
    write("Self.irr", levelWithSublevel("Self.irr", 1));
    write("A.irr", levelWithSublevel("B.irr", 10));
    write("B.irr", levelWithSublevel("Levels/../A.irr", 20));

    ASSERT_TRUE(manager->loadLevel("Self.irr"));
    EXPECT_TRUE(holds(1) && holds(2) && holds(3));
    EXPECT_EQ(linesContaining("(a cycle): Self.irr"), 1u);

    manager->unloadLevel();
    std::filesystem::create_directories(temp.file("Levels"));
    ASSERT_TRUE(manager->loadLevel("A.irr"));
    // A's own nodes, B inside it, and B's nodes; B's sublevel naming A again is left out.
    for (s32 id : {10, 11, 12, 20, 21, 22})
        EXPECT_TRUE(holds(id)) << id;
    EXPECT_EQ(linesContaining("(a cycle): Levels/../A.irr"), 1u);
}

TEST_F(DamagedLevelFilesTest, SublevelsNestAtMostEightDeep) {
    const int files = 12;
    for (int i = 0; i < files; ++i)
        write("Nest" + std::to_string(i) + ".irr",
              levelWithSublevel(i + 1 < files ? "Nest" + std::to_string(i + 1) + ".irr" : "", 100 * (i + 1)));
    ASSERT_TRUE(manager->loadLevel("Nest0.irr"));
    for (int i = 0; i < files; ++i)
        EXPECT_EQ(holds(100 * (i + 1)), i < static_cast<int>(SceneLoader::maxLevelNesting)) << i;
    EXPECT_EQ(linesContaining("nest deeper than 8 levels: Nest8.irr"), 1u);
}

// --- levels that are not files -------------------------------------------------------------

TEST_F(DamagedLevelFilesTest, FoldersAndPipesNamedAsLevelsAreRefusedWithoutBlocking) {
    std::filesystem::create_directories(temp.file("Folder.irr"));
    std::filesystem::create_directories(temp.file("Folder.irrblvl"));
    ASSERT_EQ(::mkfifo(temp.file("Pipe.irr").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(temp.file("Pipe.irrblvl").c_str(), 0600), 0);
    const struct {
        const char* path;
        const char* reason;
    } cases[] = {
        {"Folder.irr", "it is a folder, not a file"},
        {"Folder.irrblvl", "it is a folder, not a file"},
        {"Pipe.irr", "it is a pipe, device or socket, not a file"},
        {"Pipe.irrblvl", "it is a pipe, device or socket, not a file"},
    };
    for (const auto& c : cases) {
        log.lines.clear();
        EXPECT_FALSE(manager->loadLevel(c.path)) << c.path;
        EXPECT_EQ(linesContaining(std::string("Could not read level file ") + c.path + ": " + c.reason), 1u)
            << c.path;
    }
    // As a sublevel: left out, the level around it loads.
    write("Outer.irr", levelWithSublevel("Pipe.irr", 40));
    log.lines.clear();
    ASSERT_TRUE(manager->loadLevel("Outer.irr"));
    EXPECT_TRUE(holds(40) && holds(41) && holds(42));
    EXPECT_EQ(linesContaining("Pipe.irr"), 1u);
}

TEST_F(DamagedLevelFilesTest, TheEnginesOwnOpensRefuseFoldersAndPipesOncePerLevelLoad) {
    std::filesystem::create_directories(temp.file("Folder.png"));
    ASSERT_EQ(::mkfifo(temp.file("Pipe.png").c_str(), 0600), 0);
    video::IVideoDriver* driver = smgr()->getVideoDriver();
    for (int attempt = 0; attempt < 2; ++attempt) {
        // Refused: a texture of one transparent pixel, which shows nothing.
        for (const char* name : {"Folder.png", "Pipe.png"}) {
            EXPECT_NE(driver->getTexture(name), nullptr) << name;
            video::IImage* image = driver->createImageFromFile(name);
            ASSERT_NE(image, nullptr) << name;
            EXPECT_EQ(image->getDimension(), core::dimension2du(1, 1)) << name;
            image->drop();
        }
    }
    EXPECT_EQ(linesContaining("Refused"), 2u);
    EXPECT_EQ(linesContaining("Pipe.png\": it is a pipe, device or socket, not a file."), 1u);
}

TEST_F(DamagedLevelFilesTest, ALevelNamingBrokenFilesLoadsWhatItCanAndLogsEachRefusalOnce) {
    // A node chunk that claims two gigabytes: the engine's loader would read on for good.
    write("Broken.b3d", std::string("BB3D\x0c\x00\x00\x00\x01\x00\x00\x00NODE\xff\xff\xff\x7f", 20));
    write("Robot.md2", "IDP2");
    std::filesystem::create_directories(temp.file("Folder.png"));
    std::string level = "<?xml version=\"1.0\"?>\n<irr_scene>\n";
    for (const char* mesh : {"Broken.b3d", "Robot.md2", "Broken.b3d", "Robot.md2"})
        level += std::string("<node type=\"mesh\"><attributes><string name=\"Mesh\" value=\"") + mesh +
                 "\" /></attributes><materials><attributes><texture name=\"Texture1\" value=\"Folder.png\" />"
                 "</attributes></materials></node>\n";
    level += "<node type=\"LevelObject\"><attributes><int name=\"Id\" value=\"5\" /></attributes></node>\n";
    level += "</irr_scene>\n";
    write("Broken.irr", level);

    ASSERT_TRUE(manager->loadLevel("Broken.irr"));
    EXPECT_TRUE(holds(5));
    EXPECT_EQ(countNodes(root()), 5u);
    EXPECT_EQ(linesContaining("Broken.b3d\": the chunk \"NODE\" is larger than its parent."), 1u);
    EXPECT_EQ(linesContaining("Robot.md2\": the game reads only OBJ and B3D meshes."), 1u);
    EXPECT_EQ(linesContaining("Folder.png\": it is a folder, not a file."), 1u);
}

// --- meshes --------------------------------------------------------------------------------

TEST_F(DamagedLevelFilesTest, MeshFormatsOtherThanObjAndB3dAreRefusedOnce) {
    for (const char* name : {"Robot.md2", "Robot.x", "Robot.3ds", "Robot.mdl", "Robot.ms3d", "Robot.irrmesh"}) {
        write(name, "IDP2 this is not a mesh of ours");
        for (int attempt = 0; attempt < 2; ++attempt)
            EXPECT_EQ(getGameMesh(smgr(), name), nullptr) << name;
        EXPECT_EQ(linesContaining(std::string("/") + name + "\": the game reads only OBJ and B3D meshes."), 1u)
            << name;
    }
}

// A file that claims a size and gives fewer bytes than it claims.
class ShortFile : public io::IReadFile {
public:
    ShortFile(const char* name, long size) : name(name), size(size) {}
    s32 read(void*, u32) override { return 0; }
    bool seek(long, bool) override { return true; }
    long getSize() const override { return size; }
    long getPos() const override { return 0; }
    const io::path& getFileName() const override { return name; }

private:
    io::path name;
    long size;
};

// The gate refuses a mesh file larger than 64 MB before reading it, one that cannot be read
// whole, and an empty one; an empty file that the file guard has refused already gets no
// second line. Nothing and no name give no mesh.
TEST_F(DamagedLevelFilesTest, MeshFilesTooLargeShortOrEmptyAreRefused) {
    const struct {
        const char* name;
        long size;
        const char* reason;
    } rows[] = {
        {"Huge.obj", 64L * 1024 * 1024 + 1, "it is larger than 64 MB"},
        {"Big.obj", 64L * 1024 * 1024, "it cannot be read"},
        {"Short.b3d", 100, "it cannot be read"},
        {"Empty.obj", 0, "it is empty"},
    };
    for (const auto& row : rows) {
        log.lines.clear();
        auto* file = new ShortFile(row.name, row.size);
        scene::IAnimatedMesh* mesh = gate()->createMesh(file);
        file->drop();
        EXPECT_TRUE(isRefusedMesh(mesh)) << row.name;
        if (mesh)
            mesh->drop();
        EXPECT_EQ(linesContaining(std::string("Refused the mesh \"") + row.name + "\": " + row.reason + "."), 1u)
            << row.name;
    }
    write("Outside/Refused.obj", "v 0 0 0\n");
    std::filesystem::create_directories(temp.file("Content"));
    confineReadsToFolders({"Content"});
    EXPECT_TRUE(refuseReadOutsideConfinement("Outside/Refused.obj"));
    confineReadsToFolders({});
    log.lines.clear();
    auto* refused = new ShortFile("Outside/Refused.obj", 0);
    scene::IAnimatedMesh* mesh = gate()->createMesh(refused);
    refused->drop();
    EXPECT_TRUE(isRefusedMesh(mesh));
    if (mesh)
        mesh->drop();
    EXPECT_EQ(linesContaining("Refused"), 0u) << "told once already";

    EXPECT_EQ(gate()->createMesh(nullptr), nullptr);
    EXPECT_EQ(getGameMesh(nullptr, "Crate.obj"), nullptr);
    EXPECT_EQ(getGameMesh(smgr(), ""), nullptr);
}

TEST_F(DamagedLevelFilesTest, TheGamesOwnMeshesLoad) {
    std::filesystem::create_symlink(test::sourceDir() / "Content", temp.file("Content"));
    scene::IAnimatedMesh* crate = getGameMesh(smgr(), "Content/Models/Props/Crate.obj");
    ASSERT_NE(crate, nullptr);
    EXPECT_EQ(crate->getMesh(0)->getMeshBufferCount(), 1u);
    EXPECT_EQ(crate->getMesh(0)->getMeshBuffer(0)->getIndexCount(), 36u);
    EXPECT_EQ(crate->getMesh(0)->getMeshBuffer(0)->getVertexCount(), 24u);
    EXPECT_NE(crate->getMesh(0)->getMeshBuffer(0)->getMaterial().getTexture(0), nullptr);
    const core::aabbox3df box = crate->getBoundingBox();
    test::expectNear(box.MinEdge, {-1, -1, -1});
    test::expectNear(box.MaxEdge, {1, 1, 1});

    scene::IAnimatedMesh* cylinder = getGameMesh(smgr(), "Content/Models/Editor/Cylinder.obj");
    ASSERT_NE(cylinder, nullptr);
    // 16 quads and two 16-sided caps as fans.
    EXPECT_EQ(cylinder->getMesh(0)->getMeshBuffer(0)->getIndexCount(), 3u * (16 * 2 + 2 * 14));
    // The file gives no normals: those computed for the top ring point up, out of the cap.
    const scene::IMeshBuffer* buffer = cylinder->getMesh(0)->getMeshBuffer(0);
    const auto* vertices = static_cast<const video::S3DVertex*>(buffer->getVertices());
    for (u32 i = 0; i < buffer->getVertexCount(); ++i)
        EXPECT_EQ(vertices[i].Normal.Y > 0.0f, vertices[i].Pos.Y > 0.0f) << i;

    scene::IAnimatedMesh* mannequin = getGameMesh(smgr(), "Content/Models/Characters/Mannequin.b3d");
    ASSERT_NE(mannequin, nullptr);
    ASSERT_EQ(mannequin->getMeshType(), scene::EAMT_SKINNED);
    EXPECT_EQ(static_cast<scene::ISkinnedMesh*>(mannequin)->getJointCount(), 3u);
    EXPECT_GT(mannequin->getFrameCount(), 30u);
    EXPECT_EQ(linesContaining("Refused"), 0u);
}

// One damage to the game's mannequin per row, and the reason the check gives.
std::string mannequinBytes() {
    return test::readFileBytes((test::sourceDir() / "Content/Models/Characters/Mannequin.b3d").string());
}

std::size_t findChunk(const std::string& bytes, const char* tag) {
    return bytes.find(tag);
}

void putInt(std::string& bytes, std::size_t at, s32 value) {
    std::memcpy(bytes.data() + at, &value, 4);
}

TEST_F(DamagedLevelFilesTest, DamagedB3dFilesAreRefusedBeforeTheEngineReadsThem) {
    const std::string seed = mannequinBytes();
    ASSERT_GT(seed.size(), 100u);
    std::string error;
    ASSERT_TRUE(checkB3dStructure(reinterpret_cast<const unsigned char*>(seed.data()), seed.size(), error)) << error;

    const struct {
        const char* damage;
        std::string (*make)(std::string);
        const char* reason;
    } cases[] = {
        {"cut in half", [](std::string b) { return b.substr(0, b.size() / 2); }, "larger than its parent"},
        {"node larger than the file",
         [](std::string b) { putInt(b, findChunk(b, "NODE") + 4, 1 << 30); return b; }, "larger than its parent"},
        {"triangle names a missing vertex",
         [](std::string b) { putInt(b, findChunk(b, "TRIS") + 12, 16); return b; }, "names a vertex its mesh does not have"},
        {"bone names a missing vertex",
         [](std::string b) { putInt(b, findChunk(b, "BONE") + 8, 500); return b; }, "names a vertex its mesh does not have"},
        {"mesh names a missing brush",
         [](std::string b) { putInt(b, findChunk(b, "MESH") + 8, 3); return b; }, "names a brush"},
        {"brush names a missing texture",
         [](std::string b) { putInt(b, findChunk(b, "BRUS") + 8 + 4 + 5 + 20 + 8, 7); return b; }, "names a texture"},
        {"vertex layout out of range",
         [](std::string b) { putInt(b, findChunk(b, "VRTS") + 12, 9); return b; }, "layout"},
        {"a number that is not finite",
         [](std::string b) { putInt(b, findChunk(b, "VRTS") + 20, 0x7FC00000); return b; }, "not finite"},
        {"unknown chunk", [](std::string b) { std::memcpy(b.data() + findChunk(b, "ANIM"), "ANIX", 4); return b; },
         "unknown chunk \"ANIX\""},
        {"textures after the brushes",
         [](std::string b) { std::memcpy(b.data() + findChunk(b, "BRUS"), "TEXS", 4); return b; },
         "texture chunk comes after"},
    };
    for (const auto& c : cases) {
        const std::string damaged = c.make(seed);
        error.clear();
        EXPECT_FALSE(checkB3dStructure(reinterpret_cast<const unsigned char*>(damaged.data()), damaged.size(), error))
            << c.damage;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.damage << ": " << error;
        log.lines.clear();
        scene::IAnimatedMesh* mesh = loadBytes("Damaged.b3d", damaged);
        EXPECT_TRUE(isRefusedMesh(mesh)) << c.damage;
        mesh->drop();
        EXPECT_EQ(linesContaining("Refused the mesh \"Damaged.b3d\""), 1u) << c.damage;
    }
}

// A chunk: its tag, its size and its body.
std::string chunk(const char* tag, const std::string& body) {
    std::string bytes(tag, 4);
    bytes.resize(8);
    putInt(bytes, 4, static_cast<s32>(body.size()));
    return bytes + body;
}

TEST(B3dCheckTest, NodesNestUpToSixtyFourDeep) {
    for (const int depth : {64, 65}) {
        std::string node;
        for (int i = 0; i < depth; ++i) // an empty name and ten zero numbers, then the child
            node = chunk("NODE", std::string(1 + 40, '\0') + node);
        const std::string file = chunk("BB3D", std::string("\x01\0\0\0", 4) + node);
        std::string error;
        EXPECT_EQ(checkB3dStructure(reinterpret_cast<const unsigned char*>(file.data()), file.size(), error),
                  depth == 64)
            << depth << ": " << error;
    }
}

namespace b3d {

std::string ints(std::initializer_list<s32> values) {
    std::string bytes;
    for (s32 value : values) {
        bytes.resize(bytes.size() + 4);
        putInt(bytes, bytes.size() - 4, value);
    }
    return bytes;
}
// A node with an empty name, ten zero numbers and the children.
std::string node(const std::string& children = "") {
    return chunk("NODE", std::string(1 + 40, '\0') + children);
}
// Vertices of positions only, all at the origin.
std::string vertices(std::size_t count) {
    return chunk("VRTS", ints({0, 0, 0}) + std::string(count * 12, '\0'));
}
std::string mesh(const std::string& body) { return chunk("MESH", ints({-1}) + body); }
std::string file(const std::string& body) { return chunk("BB3D", ints({1}) + body); }
std::string emptyNodes(int count) {
    std::string nodes;
    for (int i = 0; i < count; ++i)
        nodes += node();
    return nodes;
}
// `count` nodes, each with a mesh of `each` vertices.
std::string meshNodes(int count, std::size_t each) {
    std::string nodes;
    for (int i = 0; i < count; ++i)
        nodes += node(mesh(vertices(each)));
    return nodes;
}

} // namespace b3d

// The order of a file's chunks and the engine's limits, each on its bound and one past it.
TEST(B3dCheckTest, ChunkOrderAndCountsAreCheckedOnTheirBounds) {
    using namespace b3d;
    const std::string triangle = mesh(vertices(3) + chunk("TRIS", ints({-1, 0, 1, 2})));
    const struct {
        const char* what;
        std::string bytes;
        const char* reason; // null: the file is sound
    } rows[] = {
        {"a mesh with a triangle", file(node(triangle)), nullptr},
        {"brushes twice", file(chunk("BRUS", ints({0})) + chunk("BRUS", ints({0})) + node()),
         "a brush chunk comes after nodes, or twice"},
        {"brushes after a node", file(node() + chunk("BRUS", ints({0}))),
         "a brush chunk comes after nodes, or twice"},
        {"no node", file(chunk("TEXS", "")), "it holds no node"},
        {"4096 nodes", file(emptyNodes(4096)), nullptr},
        {"4097 nodes", file(emptyNodes(4097)), "it holds too many nodes"},
        {"two vertex chunks", file(node(mesh(vertices(3) + vertices(3)))), "a mesh holds two vertex chunks"},
        {"triangles first", file(node(mesh(chunk("TRIS", ints({-1, 0, 1, 2})) + vertices(3)))),
         "triangles come before the vertices of their mesh"},
        {"a mesh without vertices", file(node(mesh(""))), "a mesh has no vertices"},
        {"a vertex chunk cut in its header", file(node(mesh(chunk("VRTS", ints({0, 0}))))),
         "a value runs past the end of its chunk"},
        {"65535 vertices", file(node(mesh(vertices(65535)))), nullptr},
        {"65536 vertices", file(node(mesh(vertices(65536)))), "a mesh has more vertices than the engine can index"},
        {"2^20 vertices in all", file(meshNodes(16, 65535) + meshNodes(1, 16)), nullptr},
        {"one vertex more in all", file(meshNodes(16, 65535) + meshNodes(1, 17)), "it holds too many vertices"},
        {"a triangle chunk without its brush", file(node(mesh(vertices(3) + chunk("TRIS", "\x01\x02")))),
         "a value runs past the end of its chunk"},
        {"part of a triangle", file(node(mesh(vertices(3) + chunk("TRIS", ints({-1, 0, 1}))))),
         "a triangle chunk does not hold whole triangles"},
        {"a bone before any mesh", file(node(chunk("BONE", ints({0, 0})))), "a bone weighs vertices before any mesh"},
        {"an empty bone before any mesh", file(node(chunk("BONE", ""))), nullptr},
        {"an animation of 12 bytes", file(node(chunk("ANIM", ints({0, 10, 0})))), nullptr},
        {"an animation of 8 bytes", file(node(chunk("ANIM", ints({0, 10})))), "an animation chunk is not 12 bytes long"},
        {"two bones in a node", file(node(chunk("BONE", "") + chunk("BONE", ""))), "a node holds two bones"},
        {"two meshes in a node", file(node(triangle + triangle)), "a node holds two meshes"},
        {"a key on the last frame", file(node(chunk("KEYS", ints({1, 1000000, 0, 0, 0})))), nullptr},
        {"a key past the last frame", file(node(chunk("KEYS", ints({1, 1000001, 0, 0, 0})))),
         "a key names a frame out of range"},
        {"a key on the first frame", file(node(chunk("KEYS", ints({1, -1000000, 0, 0, 0})))), nullptr},
        {"a key before the first frame", file(node(chunk("KEYS", ints({1, -1000001, 0, 0, 0})))),
         "a key names a frame out of range"},
        {"keys of flags 7", file(node(chunk("KEYS", ints({7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})))), nullptr},
        {"keys of flags 8", file(node(chunk("KEYS", ints({8, 0})))), "a key chunk has flags the engine does not know"},
        {"two animations in a node", file(node(chunk("ANIM", ints({0, 10, 0})) + chunk("ANIM", ints({0, 10, 0})))),
         "a node holds two animations"},
    };
    for (const auto& row : rows) {
        std::string error;
        EXPECT_EQ(checkB3dStructure(reinterpret_cast<const unsigned char*>(row.bytes.data()), row.bytes.size(), error),
                  row.reason == nullptr)
            << row.what << ": " << error;
        if (row.reason) {
            EXPECT_EQ(error, row.reason) << row.what;
        }
    }
    std::string error;
    EXPECT_FALSE(checkB3dStructure(nullptr, 10, error));
    EXPECT_EQ(error, "it is empty");
}

TEST_F(DamagedLevelFilesTest, DamagedObjFilesAreRefusedWithTheirLine) {
    const std::string square = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";
    const struct {
        std::string text;
        const char* reason;
    } cases[] = {
        {square + "f 1 2 5\n", "names a vertex that is not defined (line 5)"},
        {square + "f 1 2 -5\n", "names a vertex that is not defined"},
        {square + "f 1 2 0\n", "names a vertex that is not defined"},
        {square + "vt 0 0\nf 1/2 2/1 3/1\n", "texture coordinate that is not defined"},
        {square + "f 1//1 2//1 3//1\n", "normal that is not defined"},
        {"v 0 nan 0\n", "not three numbers"},
        {"v 0 1e39 0\n", "not three numbers"},
        {square + "f 1 2 x\n", "not a number"},
        {square, "holds no faces"},
        {std::string("\xff\xfe\x00v", 4), "holds no faces"},
    };
    for (const auto& c : cases) {
        log.lines.clear();
        scene::IAnimatedMesh* mesh = loadBytes("Damaged.obj", c.text);
        EXPECT_TRUE(isRefusedMesh(mesh)) << c.text;
        mesh->drop();
        EXPECT_EQ(linesContaining("Refused the mesh \"Damaged.obj\""), 1u);
        EXPECT_EQ(linesContaining(c.reason), 1u) << c.text;
    }
    // The extension is read in any case.
    scene::IAnimatedMesh* upper = loadBytes("Upper.OBJ", square + "f 1 2 3\n");
    EXPECT_FALSE(isRefusedMesh(upper));
    upper->drop();
    // Quads and negative indices are fine.
    scene::IAnimatedMesh* mesh = loadBytes("Square.obj", square + "f -4 -3 -2 -1\n");
    ASSERT_FALSE(isRefusedMesh(mesh));
    EXPECT_EQ(mesh->getMesh(0)->getMeshBuffer(0)->getIndexCount(), 6u);
    mesh->drop();
}

// A material library gives each material its colours (clamped to 0..1), its shininess
// (at most 1000), its opacity from "d" or "Tr" (see-through below 1) and its texture, which is
// looked for beside the mesh when the path the library names has none; every vertex takes its
// material's colour. Without a driver no texture is loaded.
TEST_F(DamagedLevelFilesTest, MaterialLibrariesColourOpacityAndTextureTheirMaterials) {
    std::string bmp = std::string("BM") + std::string("\x3A\0\0\0\0\0\0\0\x36\0\0\0", 12);
    bmp += std::string("\x28\0\0\0\x01\0\0\0\x01\0\0\0\x01\0\x18\0\0\0\0\0\x04\0\0\0", 24);
    bmp += std::string(16, '\0') + std::string("\x10\x20\x30\0", 4);
    write("Props/Tex.bmp", bmp);
    write("Props/Box.mtl", "newmtl Half\nKd 0.2 0.4 1.5\nKa 0.2 0.2 0.2\nKs -1 0.6 0.6\nNs 2000\nd 0.5\n"
                           "map_Kd -bm 1 Somewhere/Else/Tex.bmp\n"
                           "newmtl Clear\nTr 0.25\nNs 12\n"
                           "newmtl Solid\nd 1\n");
    const std::string obj = "mtllib Box.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\n"
                            "usemtl Half\nf 1 2 3\nusemtl Clear\nf 1 2 3\nusemtl Solid\nf 1 2 3\n"
                            "usemtl Unknown\nf 1 2 3\n";
    for (const bool withDriver : {true, false}) {
        SCOPED_TRACE(withDriver);
        std::string error;
        scene::SMesh* mesh = readObjMesh(obj.data(), obj.size(), "Props/Box.obj", smgr()->getFileSystem(),
                                         withDriver ? smgr()->getVideoDriver() : nullptr, error);
        ASSERT_NE(mesh, nullptr) << error;
        ASSERT_EQ(mesh->getMeshBufferCount(), 4u);
        const video::SMaterial& half = mesh->getMeshBuffer(0)->getMaterial();
        EXPECT_EQ(half.DiffuseColor, video::SColor(128, 51, 102, 255));
        EXPECT_EQ(half.AmbientColor, video::SColor(255, 51, 51, 51));
        EXPECT_EQ(half.SpecularColor, video::SColor(255, 0, 153, 153));
        EXPECT_EQ(half.Shininess, 1000.0f);
        EXPECT_EQ(half.MaterialType, video::EMT_TRANSPARENT_VERTEX_ALPHA);
        auto* vertices = static_cast<const video::S3DVertex*>(mesh->getMeshBuffer(0)->getVertices());
        EXPECT_EQ(vertices[0].Color, video::SColor(128, 51, 102, 255));
        if (withDriver) {
            ASSERT_NE(half.getTexture(0), nullptr);
            const std::string name = half.getTexture(0)->getName().getPath().c_str();
            EXPECT_TRUE(name.ends_with("/Props/Tex.bmp")) << name;
        } else {
            EXPECT_EQ(half.getTexture(0), nullptr);
        }
        const video::SMaterial& clear = mesh->getMeshBuffer(1)->getMaterial();
        EXPECT_EQ(clear.DiffuseColor.getAlpha(), 191u);
        EXPECT_EQ(clear.MaterialType, video::EMT_TRANSPARENT_VERTEX_ALPHA);
        EXPECT_EQ(clear.Shininess, 12.0f);
        const video::SMaterial& solid = mesh->getMeshBuffer(2)->getMaterial();
        EXPECT_EQ(solid.DiffuseColor.getAlpha(), 255u);
        EXPECT_EQ(solid.MaterialType, video::EMT_SOLID);
        const video::SMaterial& plain = mesh->getMeshBuffer(3)->getMaterial();
        EXPECT_EQ(plain.Shininess, 0.0f);
        EXPECT_EQ(plain.DiffuseColor, video::SColor(255, 255, 255, 255));
        EXPECT_EQ(plain.getTexture(0), nullptr);
        mesh->drop();
    }
}

// A buffer holds at most 65535 vertices: faces that fill one exactly stay in it, the next face
// starts another.
TEST_F(DamagedLevelFilesTest, AMeshBufferHoldsUpTo65535Vertices) {
    for (const int triangles : {21845, 21846}) {
        std::string obj;
        obj.reserve(static_cast<std::size_t>(triangles) * 40);
        for (int i = 0; i < 3 * triangles; ++i)
            obj += "v 0 0 0\n";
        for (int i = 0; i < triangles; ++i)
            obj += "f " + std::to_string(3 * i + 1) + " " + std::to_string(3 * i + 2) + " " + std::to_string(3 * i + 3) + "\n";
        std::string error;
        scene::SMesh* mesh = readObjMesh(obj.data(), obj.size(), "Full.obj", nullptr, nullptr, error);
        ASSERT_NE(mesh, nullptr) << error;
        ASSERT_EQ(mesh->getMeshBufferCount(), triangles == 21845 ? 1u : 2u) << triangles;
        EXPECT_EQ(mesh->getMeshBuffer(0)->getVertexCount(), 65535u);
        if (mesh->getMeshBufferCount() == 2) {
            EXPECT_EQ(mesh->getMeshBuffer(1)->getVertexCount(), 3u);
        }
        mesh->drop();
    }
}

// Corners take their texture coordinates (V turned over) and normals, the first of each list
// too; positions and normals are mirrored in X and the faces wound the other way, as the
// engine draws them. A corner repeated is one vertex.
TEST_F(DamagedLevelFilesTest, ObjCornersTakeTheirTextureCoordinatesAndNormals) {
    const std::string obj = "v 1 2 3\nv 4 5 6\nv 7 8 9\nvt 0.25 0.75\nvt 0.5 0.125\nvn 1 0 0\nvn 0 0 1\n"
                            "f 1/1/1 2/2/2 3/1/1\nf 1/1/1 3/1/1 2/2/1\n";
    std::string error;
    scene::SMesh* mesh = readObjMesh(obj.data(), obj.size(), "Corners.obj", nullptr, nullptr, error);
    ASSERT_NE(mesh, nullptr) << error;
    ASSERT_EQ(mesh->getMeshBufferCount(), 1u);
    const scene::IMeshBuffer* buffer = mesh->getMeshBuffer(0);
    ASSERT_EQ(buffer->getVertexCount(), 4u); // 2/2/1 differs from 2/2/2
    const auto* vertices = static_cast<const video::S3DVertex*>(buffer->getVertices());
    EXPECT_EQ(vertices[0].Pos, core::vector3df(-1, 2, 3));
    EXPECT_EQ(vertices[0].TCoords, core::vector2df(0.25f, 0.25f));
    EXPECT_EQ(vertices[0].Normal, core::vector3df(-1, 0, 0));
    EXPECT_EQ(vertices[1].Pos, core::vector3df(-4, 5, 6));
    EXPECT_EQ(vertices[1].TCoords, core::vector2df(0.5f, 0.875f));
    EXPECT_EQ(vertices[1].Normal, core::vector3df(0, 0, 1));
    EXPECT_EQ(vertices[2].TCoords, core::vector2df(0.25f, 0.25f));
    EXPECT_EQ(vertices[3].Normal, core::vector3df(-1, 0, 0));
    ASSERT_EQ(buffer->getIndexCount(), 6u);
    const u16* indices = buffer->getIndices();
    EXPECT_EQ(std::vector<u16>(indices, indices + 6), (std::vector<u16>{2, 1, 0, 3, 2, 0}));
    mesh->drop();

    // A face of two corners is a line: it adds no vertex.
    const std::string lines = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 2 0\nf 4 5\nf 1 2 3\n";
    mesh = readObjMesh(lines.data(), lines.size(), "Lines.obj", nullptr, nullptr, error);
    ASSERT_NE(mesh, nullptr) << error;
    ASSERT_EQ(mesh->getMeshBufferCount(), 1u);
    EXPECT_EQ(mesh->getMeshBuffer(0)->getVertexCount(), 3u);
    EXPECT_EQ(mesh->getMeshBuffer(0)->getIndexCount(), 3u);
    mesh->drop();
}

// --- fuzzing -------------------------------------------------------------------------------

// Mutated copies of the game's own meshes, loaded through the gate under the sanitizers:
// none may crash, hang or leak. PADDLESTONE_FUZZ_ITERATIONS raises the count per format
// (tools/fuzz-meshes.sh runs the long mode), PADDLESTONE_FUZZ_SEED changes the sequence.
class MeshFuzzTest : public DamagedLevelFilesTest {
protected:
    static int iterations() {
        const char* text = std::getenv("PADDLESTONE_FUZZ_ITERATIONS");
        const int count = text ? std::atoi(text) : 0;
        return count > 0 ? count : 10000;
    }
    static unsigned seed() {
        const char* text = std::getenv("PADDLESTONE_FUZZ_SEED");
        return text ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : 20140827u;
    }

    static std::string mutate(const std::string& seedBytes, std::mt19937& random, bool text) {
        std::string bytes = seedBytes;
        const auto pick = [&](std::size_t limit) {
            return limit == 0 ? std::size_t(0) : std::uniform_int_distribution<std::size_t>(0, limit - 1)(random);
        };
        static const s32 interesting[] = {0, 1, -1, 2, 3, 4, 7, 8, 12, 16, 255, 65535, 65536,
                                          0x7FFFFFFF, static_cast<s32>(0x80000000), -2, 100000};
        static const char* const words[] = {"-", "0", "-1", "nan", "inf", "1e39", "99999", "/", "//",
                                            "\n", " ", "f", "v", "vt", "vn", "usemtl", "mtllib /dev/zero",
                                            "\nf 1 2 3 4 5 6 7 8 9\n", "\nf -1 -2 -3\n", "\0"};
        const int mutations = 1 + static_cast<int>(pick(4));
        for (int m = 0; m < mutations && !bytes.empty(); ++m) {
            switch (pick(text ? 6 : 5)) {
            case 0: // flip bits
                for (std::size_t k = 1 + pick(8); k > 0; --k)
                    bytes[pick(bytes.size())] ^= static_cast<char>(1u << pick(8));
                break;
            case 1: // cut short
                bytes.resize(pick(bytes.size()));
                break;
            case 2: { // an interesting 32-bit value, aligned as B3D values are
                if (bytes.size() < 4)
                    break;
                const std::size_t at = pick((bytes.size() - 3) / 4) * 4;
                const s32 value = interesting[pick(std::size(interesting))];
                std::memcpy(bytes.data() + at, &value, 4);
                break;
            }
            case 3: { // a slice repeated
                const std::size_t at = pick(bytes.size());
                const std::size_t length = std::min<std::size_t>(1 + pick(64), bytes.size() - at);
                bytes.insert(pick(bytes.size() + 1), bytes.substr(at, length));
                break;
            }
            case 4: { // a slice removed
                const std::size_t at = pick(bytes.size());
                bytes.erase(at, 1 + pick(32));
                break;
            }
            default: { // a word of the format where there was another
                const std::size_t at = pick(bytes.size());
                bytes.replace(at, std::min<std::size_t>(pick(4), bytes.size() - at), words[pick(std::size(words))]);
                break;
            }
            }
        }
        return bytes;
    }

    void fuzz(const std::vector<std::string>& seedFiles, const char* extension, bool text) {
        std::filesystem::create_symlink(test::sourceDir() / "Content", temp.file("Content"));
        std::vector<std::string> seeds;
        for (const std::string& file : seedFiles) {
            seeds.push_back(test::readFileBytes((test::sourceDir() / file).string()));
            ASSERT_FALSE(seeds.back().empty()) << file;
        }
        std::mt19937 random(seed());
        const int count = iterations();
        int loaded = 0;
        test::FuzzWatch watch;
        for (int i = 0; i < count; ++i) {
            const std::string bytes = mutate(seeds[static_cast<std::size_t>(i) % seeds.size()], random, text);
            watch.begin(std::string("Fuzz.") + extension + " mutation " + std::to_string(i) + " of seed " +
                        std::to_string(seed()));
            scene::IAnimatedMesh* mesh = loadBytes(std::string("Fuzz.") + extension, bytes);
            watch.end();
            ASSERT_NE(mesh, nullptr);
            loaded += isRefusedMesh(mesh) ? 0 : 1;
            mesh->drop();
            if (log.lines.size() > 1000)
                log.lines.clear();
        }
        // Both ways are taken: some damage is harmless, some is refused.
        EXPECT_GT(loaded, 0);
        EXPECT_LT(loaded, count);
    }
};

TEST_F(MeshFuzzTest, MutatedObjFilesNeverTakeTheGameDown) {
    fuzz({"Content/Models/Props/Crate.obj", "Content/Models/Editor/Cylinder.obj"}, "obj", true);
}

TEST_F(MeshFuzzTest, MutatedB3dFilesNeverTakeTheGameDown) {
    fuzz({"Content/Models/Characters/Mannequin.b3d"}, "b3d", false);
}

// --- the save --------------------------------------------------------------------------------

TEST_F(DamagedLevelFilesTest, ALargeSaveReadsWholeAndIsWrittenBackAsUtf8) {
    std::string text = "<?xml version=\"1.0\"?>\n<PaddlestoneSave>\n<Levels>\n";
    for (int i = 0; i < 120000; ++i)
        text += "<string name=\"" + std::to_string(i) + "\" value=\"Content/Levels/L" + std::to_string(i) +
                ".irr\" />\n";
    text += "<string name=\"7\" value=\"a later copy of a name is passed over\" />\n";
    text += "</Levels>\n<Save>\n<string name=\"AutoSavePath\" value=\"Content/Levels/Caf\xC3\xA9.irr\" />\n"
            "</Save>\n</PaddlestoneSave>\n";
    write("save/save.tsav", text);

    SaveManager save(smgr()->getFileSystem(), temp.file("save"));
    save.automaticWriting = false;
    ASSERT_TRUE(save.load());
    EXPECT_EQ(save.getGroup(SaveManager::Levels)->getAttributeCount(), 120000u);
    EXPECT_EQ(std::wstring(save.getGroup(SaveManager::Levels)->getAttributeAsStringW("7").c_str()),
              L"Content/Levels/L7.irr");
    EXPECT_EQ(save.getAutoSavePath(true), L"Content/Levels/Café.irr");

    ASSERT_TRUE(save.save());
    const std::string written = test::readFileBytes(save.getSavePath());
    EXPECT_EQ(written.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
    EXPECT_NE(written.find("Caf\xC3\xA9.irr"), std::string::npos);
    SaveManager again(smgr()->getFileSystem(), temp.file("save"));
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.getAutoSavePath(true), L"Content/Levels/Café.irr");
}

// --- paths in written levels ---------------------------------------------------------------

TEST_F(DamagedLevelFilesTest, LevelsWrittenInOtherFoldersKeepTheirMeshesAndTextures) {
    write("Assets/Meshes/Box.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\n");
    video::IVideoDriver* driver = smgr()->getVideoDriver();
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
    image->fill(video::SColor(255, 200, 40, 40));
    std::filesystem::create_directories(temp.file("Assets/Textures"));
    ASSERT_TRUE(driver->writeImageToFile(image, "Assets/Textures/Skin.png"));
    image->drop();

    const auto build = [&] {
        scene::IMeshSceneNode* node = smgr()->addMeshSceneNode(getGameMesh(smgr(), "Assets/Meshes/Box.obj"));
        ASSERT_NE(node, nullptr);
        node->setID(77);
        node->setMaterialTexture(0, driver->getTexture("Assets/Textures/Skin.png"));
    };
    const auto check = [&](const char* file) {
        scene::ISceneNode* node = smgr()->getSceneNodeFromId(77);
        ASSERT_NE(node, nullptr) << file;
        ASSERT_EQ(node->getType(), scene::ESNT_MESH) << file;
        scene::IMesh* mesh = static_cast<scene::IMeshSceneNode*>(node)->getMesh();
        ASSERT_NE(mesh, nullptr) << file;
        EXPECT_EQ(smgr()->getMeshCache()->getMeshName(mesh).getPath(), io::path("Assets/Meshes/Box.obj")) << file;
        video::ITexture* texture = node->getMaterial(0).getTexture(0);
        ASSERT_NE(texture, nullptr) << file;
        EXPECT_EQ(texture->getName().getPath(), smgr()->getFileSystem()->getAbsolutePath("Assets/Textures/Skin.png"))
            << file;
    };

    for (const char* file : {"Levels/Deep/Out.irr", "Levels/Deep/Out.irrblvl"}) {
        std::filesystem::create_directories(temp.file("Levels/Deep"));
        ASSERT_NO_FATAL_FAILURE(build());
        ASSERT_TRUE(saveLevelFile(smgr(), file));
        smgr()->clear();
        ASSERT_TRUE(manager->loadLevel(file));
        ASSERT_NO_FATAL_FAILURE(check(file));
        if (std::string(file).find(".irrblvl") == std::string::npos) {
            const std::string text = test::readFileBytes(temp.file(file));
            EXPECT_NE(text.find("value=\"Assets/Meshes/Box.obj\""), std::string::npos);
            EXPECT_EQ(text.rfind("<?xml", 0), 0u) << "written as UTF-8";
        }
        manager->unloadLevel();
    }

    // A checkpoint goes to the save folder, far from the content.
    SaveManager save(smgr()->getFileSystem(), temp.file("save"));
    save.automaticWriting = false;
    saveManager = &save;
    ASSERT_NO_FATAL_FAILURE(build());
    ASSERT_TRUE(manager->saveCheckpoint());
    smgr()->clear();
    ASSERT_TRUE(manager->loadLevel(manager->getCheckpointPath(false)));
    ASSERT_NO_FATAL_FAILURE(check("checkpoint"));
}

} // namespace
