// The game's own content set, found in Content/ when the test runs (a file added later is
// covered): every file is read by the game's reader of its kind without a log complaint,
// every file a content file names exists with its exact case, and the title background with
// its preview scenes keeps its object IDs unique and clear of the IDs the game reserves.
#include "ContentFiles.h"

#include "../game/GameFixture.h"

#include "characters/CharacterProfile.h"
#include "characters/SuspicionRules.h"
#include "core/AudioProject.h"
#include "core/app/GameApplication.h"
#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/LoadBudget.h"
#include "core/SoundManager.h"
#include "gui/GuiLayout.h"
#include "gui/fonts/FontCache.h"
#include "gui/hud/GUINotification.h"
#include "gui/hud/GUISubtitleManager.h"
#include "level/Achievements.h"
#include "level/ContentXml.h"
#include "level/LevelFile.h"
#include "level/LevelManager.h"
#include "level/MeshGate.h"
#include "level/ObjectiveList.h"
#include "level/TieTable.h"
#include "physics/special/TieObject.h"
#include "platform/audio/SoundDecoder.h"
#include "player/InputManager.h"
#include "player/MovementTuning.h"
#include "player/PlayerControls.h"
#include "render/SpriteAnimation.h"
#include "screens/ScreenManager.h"
#include "screens/levels/LevelCatalogue.h"

#include "support/NullDevice.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

using namespace irr;

namespace {

// The reader of one kind of content file. A kind without `read` is read through the files
// that name it (materials with their meshes) or by the OpenGL test (shader sources).
struct ContentReader {
    const char* kind;
    std::vector<std::string> extensions;
    const char* root; // an XML file's root element; null: any
    std::function<bool(const std::string& path)> read;
};

io::IFileSystem* files() { return gameDevice->getFileSystem(); }

// A fixed-path reader reads the file only when it is the one the current language uses.
bool isLocalized(const std::string& path, const char* englishPath) {
    return path == languageManager->getLocalizedPath(englishPath).c_str();
}

const std::vector<ContentReader>& contentReaders() {
    static const std::vector<ContentReader> readers = {
        {"level", {".irr", ".irrblvl"}, nullptr,
         [](const std::string& path) {
             levelManager->unloadLevel();
             const bool loaded = levelManager->loadLevel(path.c_str());
             // Every shipped level leaves each of its load's budgets tenfold room.
             for (int kind = 0; kind < LoadBudget::kindCount; ++kind) {
                 EXPECT_LE(loadBudget().used(LoadBudget::Kind(kind)) * 10, LoadBudget::gameLimits[kind])
                     << path << ": " << LoadBudget::unitName(LoadBudget::Kind(kind));
             }
             return loaded;
         }},
        {"GUI layout", {".xml"}, "irr_gui",
         [](const std::string& path) {
             gui::IGUIEnvironment* environment = gameDevice->getGUIEnvironment();
             gui::IGUIElement* holder = environment->addTab(core::recti(0, 0, 1280, 720));
             const bool read = loadGuiLayout(environment, path.c_str(), holder) && !holder->getChildren().empty();
             holder->remove();
             return read;
         }},
        {"sprite animation", {".xml"}, "SpriteAnimation",
         [](const std::string& path) {
             SpriteAnimation animation;
             return loadTextureAnimation(animation, path.c_str());
         }},
        {"texture atlas", {".xml"}, "TextureAtlas",
         [](const std::string& path) {
             TextureAtlas atlas;
             return loadTextureAtlas(atlas, path.c_str());
         }},
        {"animation profile", {".xml"}, "CharacterProfile",
         [](const std::string& path) {
             CharacterProfile profile;
             if (profile.load(path) != 0)
                 return false;
             profile.finishLoad();
             return true;
         }},
        {"bitmap font", {".xml"}, "font",
         [](const std::string& path) { return gameDevice->getGUIEnvironment()->getFont(path.c_str()) != nullptr; }},
        {"audio project", {".xml"}, "GameAudio",
         [](const std::string& path) {
             AudioProject project;
             return readAudioProject(files(), path.c_str(), SoundManager::effectCount, project) == audio::Result::Ok &&
                    project.skipped == 0;
         }},
        {"level list", {".xml"}, "Levels",
         [](const std::string& path) {
             int levels = 0;
             return readContentXml(files(), path, L"Levels",
                                   [&](const ContentElement& element) { levels += element.name == L"Level"; }) &&
                    levels > 0;
         }},
        {"movement tuning", {".xml"}, "Game",
         [](const std::string& path) {
             // A key the game does not know would be kept beside the ones it reads.
             MovementTuning tuning;
             io::IAttributes* keys = loadMovementTuning(files(), tuning, path.c_str());
             const bool read = keys && keys->getAttributeCount() == MovementTuning::keyCount;
             if (keys)
                 keys->drop();
             return read;
         }},
        {"suspicion rules", {".xml"}, "SuspicionRules",
         [](const std::string& path) {
             const bool read = loadSuspicionConfig(path) == 0;
             loadSuspicionConfig();
             return read;
         }},
        {"tie table", {".xml"}, "Ties",
         [](const std::string& path) {
             TieTable ties;
             return ties.load(files(), path) && !ties.getTies().empty();
         }},
        {"input mapping", {".xml"}, "InputMapping",
         [](const std::string& path) {
             PlayerControls controls(inputManager, 0, 0, 0, nullptr);
             controls.clearMappings();
             return controls.readMappings(path) && controls.mappingCount() > 0;
         }},
        {"achievements", {".xml"}, "Achievements",
         [](const std::string& path) {
             AchievementsData achievements;
             return achievements.load(files(), path) && !achievements.getIdentifiers().empty();
         }},
        {"notifications", {".xml"}, "Notifications",
         [](const std::string& path) {
             GUINotification::loadNotificationTable();
             return isLocalized(path, GUINotification::tablePath) && GUINotification::getTable().size() > 1;
         }},
        {"objective texts", {".xml"}, "Objectives",
         [](const std::string& path) {
             ObjectiveList objectives;
             objectives.setCollectionFile(path);
             return objectives.loadCollection(files());
         }},
        {"language list", {".xml"}, "Languages",
         [](const std::string& path) {
             LanguageManager languages(gameDevice);
             return path == LanguageManager::languagesFile && languages.findLanguage(L"English");
         }},
        {"string table", {".xml"}, "StringLiterals",
         [](const std::string& path) {
             LanguageManager languages(gameDevice);
             return isLocalized(path, "Content/Language/English/StringLiterals.xml") && languages.hasText(0);
         }},
        {"subtitles", {".xml"}, "SubtitleCollection",
         [](const std::string& path) {
             return screenManager->getSubtitleManager()->loadSubtitleCollection(path.c_str());
         }},
        {"mesh", {".obj", ".b3d"}, nullptr,
         [](const std::string& path) { return getGameMesh(gameDevice->getSceneManager(), path.c_str()) != nullptr; }},
        {"image", {".png", ".jpg", ".dds"}, nullptr,
         [](const std::string& path) { return gameDevice->getVideoDriver()->getTexture(path.c_str()) != nullptr; }},
        {"TrueType font", {".ttf"}, nullptr, [](const std::string& path) { return getCachedFont(path.c_str(), 22) != nullptr; }},
        {"sound", {".wav", ".ogg", ".flac"}, nullptr,
         [](const std::string& path) {
             audio::SoundDecoder decoder;
             std::string detail;
             return decoder.open(path, path, false, detail) == audio::Result::Ok && decoder.frames() > 0;
         }},
        {"material library", {".mtl"}, nullptr, nullptr},
        {"shader source", {".vert", ".frag", ".glsl"}, nullptr, nullptr},
        {"plain text", {".txt"}, nullptr, nullptr},
    };
    return readers;
}

const ContentReader* readerFor(io::IFileSystem* fileSystem, const std::string& path) {
    const std::string extension = content::extensionOf(path);
    const std::string root = extension == ".xml" ? content::rootElement(fileSystem, path) : std::string();
    for (const ContentReader& reader : contentReaders())
        if (std::count(reader.extensions.begin(), reader.extensions.end(), extension) &&
            (!reader.root || root == reader.root))
            return &reader;
    return nullptr;
}

class ContentTest : public GameFixture {
protected:
    // The whole game on the null driver; the check runs in its first frame, once start-up has
    // loaded the title.
    void duringTheGame(const std::function<void()>& check) {
        nextFrame("the check", check);
        ASSERT_NO_FATAL_FAILURE(playGame());
    }
    // The complaints logged while `action` runs.
    std::vector<std::string> complaintsDuring(const std::function<void()>& action) {
        const std::size_t before = logLines().size();
        action();
        const std::vector<std::string> lines = logLines();
        std::vector<std::string> complaints;
        for (std::size_t i = before; i < lines.size(); ++i)
            if (content::isComplaint(lines[i]))
                complaints.push_back(lines[i]);
        return complaints;
    }
};

TEST_F(ContentTest, EveryFileIsReadByItsReaderWithoutAComplaint) {
    duringTheGame([this] {
        const std::vector<std::string> found = content::contentFiles();
        ASSERT_GT(found.size(), 100u);
        for (const std::string& path : found) {
            const ContentReader* reader = readerFor(files(), path);
            if (!reader) {
                ADD_FAILURE() << path << ": no reader of the game reads this file";
                continue;
            }
            if (!reader->read)
                continue;
            bool read = false;
            const std::vector<std::string> complaints = complaintsDuring([&] { read = reader->read(path); });
            EXPECT_TRUE(read) << path << ": the " << reader->kind << " reader did not read it";
            for (const std::string& line : complaints)
                ADD_FAILURE() << path << " (" << reader->kind << "): " << line;
        }
    });
}

TEST(ContentFilesTest, EveryFileAContentFileNamesExistsWithItsExactCase) {
    test::NullDevice device;
    test::ScopedWorkingDir inSource(test::sourceDir());
    int named = 0;
    for (const std::string& path : content::contentFiles())
        for (const std::string& file : content::namedFiles(device->getFileSystem(), path)) {
            ++named;
            EXPECT_TRUE(content::namedFileExists(file, path)) << path << " names \"" << file << "\"";
        }
    EXPECT_GT(named, 50);
}

// The node IDs of a level file and of the sublevels it names, with the file each is in.
void collectIDs(io::IFileSystem* fileSystem, video::IVideoDriver* driver, const std::string& path,
                std::multimap<s32, std::string>& ids, std::set<std::string>& visited) {
    if (!visited.insert(path).second)
        return;
    SceneRecord scene;
    std::string error;
    ASSERT_TRUE(readXmlLevel(fileSystem, driver, path.c_str(), scene, error)) << path << ": " << error;
    std::function<void(const SceneRecord&)> walk = [&](const SceneRecord& record) {
        for (const auto& child : record.children) {
            io::IAttributes* keys = child->attributes;
            const s32 id = keys ? keys->getAttributeAsInt("Id") : -1;
            if (id != 0 && id != -1)
                ids.emplace(id, path);
            for (u32 i = 0; keys && i < keys->getAttributeCount(); ++i)
                if (content::extensionOf(keys->getAttributeAsString(i).c_str()) == ".irr")
                    collectIDs(fileSystem, driver, keys->getAttributeAsString(i).c_str(), ids, visited);
            walk(*child);
        }
    };
    walk(scene);
}

TEST(ContentFilesTest, TitleBackgroundAndItsPreviewsKeepObjectIDsUniqueAndClearOfTheReservedOnes) {
    test::NullDevice device;
    test::ScopedWorkingDir inSource(test::sourceDir());
    io::IFileSystem* fileSystem = device->getFileSystem();
    // The scenes the title screen loads into one scene: its level with the sublevels it
    // names, the two backdrops and every catalogue level's preview.
    std::vector<std::string> scenes = {titleBackgroundLevel, calibrationPreviewScene, workshopPreviewScene};
    ASSERT_TRUE(readContentXml(fileSystem, levelCatalogueFile, L"Levels", [&](const ContentElement& element) {
        const std::string preview = core::stringc(element.text(L"menuPreview").c_str()).c_str();
        if (element.name == L"Level" && !preview.empty())
            scenes.push_back(preview);
    }));
    std::multimap<s32, std::string> ids;
    std::set<std::string> visited;
    for (const std::string& scene : scenes)
        collectIDs(fileSystem, device->getVideoDriver(), scene, ids, visited);
    EXPECT_GT(visited.size(), 3u);

    // The preview sublevels' own IDs (890000 + catalogue index, 891000, 892000) and the
    // objects a tie's cutscene looks for.
    const std::pair<s32, s32> reserved[] = {{firstLevelPreviewId, workshopPreviewId},
                                            {TieObject::cutsceneID, TieObject::counterIDs[1]}};
    for (const auto& [id, file] : ids) {
        EXPECT_EQ(ids.count(id), 1u) << "ID " << id << " in " << file << " is not unique";
        for (const auto& [first, last] : reserved)
            EXPECT_FALSE(id >= first && id <= last) << "ID " << id << " in " << file << " is reserved";
    }
}

} // namespace

namespace {

// The first "x, y, z" (or "x, y") value of the named attribute in the text; empty without one.
std::vector<float> attributeNumbers(const std::string& text, const std::string& name) {
    const std::size_t at = text.find("name=\"" + name + "\" value=\"");
    if (at == std::string::npos)
        return {};
    std::istringstream values(text.substr(at + name.size() + 15));
    std::vector<float> numbers;
    float number = 0.0f;
    while (values >> number) {
        numbers.push_back(number);
        char comma = 0;
        if (!(values >> comma) || comma != ',')
            break;
    }
    return numbers;
}

// The text of a file.
std::string fileText(const std::string& path) {
    std::ifstream file(path);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// A level file's text cut at each node's start: the scene's own attributes first, then each
// node up to the next (a node's children follow it as nodes of their own).
std::vector<std::string> levelNodes(const std::string& text) {
    std::vector<std::string> nodes;
    std::size_t from = 0;
    for (std::size_t at = text.find("<node type=\""); at != std::string::npos; at = text.find("<node type=\"", at + 1)) {
        nodes.push_back(text.substr(from, at - from));
        from = at;
    }
    nodes.push_back(text.substr(from));
    return nodes;
}

// The value of the named attribute in a node's text; empty without one.
std::string attributeText(const std::string& node, const std::string& name) {
    const std::string key = "name=\"" + name + "\" value=\"";
    const std::size_t at = node.find(key);
    return at == std::string::npos ? std::string() : node.substr(at + key.size(), node.find('"', at + key.size()) - at - key.size());
}

// A water surface level with the top of a box it lies over flickers between the two (each
// pixel is the nearer by chance): the surfaces of the levels stand clear of the box tops.
TEST(ContentFilesTest, WaterSurfacesStandClearOfTheBoxTopsUnderThem) {
    test::ScopedWorkingDir inSource(test::sourceDir());
    int surfaces = 0;
    for (const std::string& path : content::contentFiles()) {
        if (content::extensionOf(path) != ".irr")
            continue;
        struct Box {
            float x0, x1, z0, z1, top;
        };
        std::vector<Box> boxes, waters;
        for (const std::string& node : levelNodes(fileText(path))) {
            const std::vector<float> position = attributeNumbers(node, "Position");
            if (position.size() != 3)
                continue;
            if (node.rfind("<node type=\"cube\"", 0) == 0) {
                std::vector<float> scale = attributeNumbers(node, "Scale");
                if (scale.size() != 3)
                    scale = {1.0f, 1.0f, 1.0f};
                boxes.push_back({position[0] - scale[0] / 2, position[0] + scale[0] / 2, position[2] - scale[2] / 2,
                                 position[2] + scale[2] / 2, position[1] + scale[1] / 2});
            } else if (node.rfind("<node type=\"wtr1\"", 0) == 0) {
                const std::vector<float> size = attributeNumbers(node, "WaterSize");
                ASSERT_EQ(size.size(), 2u) << path;
                waters.push_back({position[0] - size[0] / 2, position[0] + size[0] / 2, position[2] - size[1] / 2,
                                  position[2] + size[1] / 2, position[1]});
            }
        }
        surfaces += static_cast<int>(waters.size());
        for (const Box& water : waters)
            for (const Box& box : boxes) {
                const bool under = box.x0 < water.x1 && water.x0 < box.x1 && box.z0 < water.z1 && water.z0 < box.z1;
                EXPECT_FALSE(under && std::fabs(box.top - water.top) < 0.05f)
                    << path << ": a box top at " << box.top << " under the water surface at " << water.top;
            }
    }
    EXPECT_GT(surfaces, 0) << "the levels' water surfaces were found";
}

// What the README sends a player to see in the shipped levels: the level timer, fog, a voice
// line with its subtitle, and an object the game camera's rays fade whatever it does (an
// advanced physics object, in a level without cameras of its own, which the game camera shows).
TEST(ContentFilesTest, ShippedLevelsShowTheTimerFogASubtitleAndCameraRayFading) {
    test::ScopedWorkingDir inSource(test::sourceDir());
    std::set<std::string> subtitleIDs;
    for (const std::string& path : content::contentFiles())
        if (path.find("/English/Subtitles/") != std::string::npos)
            for (const std::string& line : levelNodes(fileText(path)))
                for (std::size_t at = line.find(" id=\""); at != std::string::npos; at = line.find(" id=\"", at + 1))
                    subtitleIDs.insert(line.substr(at + 5, line.find('"', at + 5) - at - 5));
    const auto hasNode = [](const std::vector<std::string>& nodes, const std::function<bool(const std::string&)>& is) {
        return std::any_of(nodes.begin(), nodes.end(), is);
    };
    const auto isType = [](const std::string& node, const char* type) {
        return node.rfind(std::string("<node type=\"") + type + "\"", 0) == 0;
    };
    const struct {
        const char* what;
        std::function<bool(const std::vector<std::string>&)> shows;
    } parts[] = {
        {"the level timer",
         [&](const auto& nodes) {
             return hasNode(nodes, [&](const std::string& n) { return attributeText(n, "ForceLevelTimer") == "true"; });
         }},
        {"fog",
         [&](const auto& nodes) {
             return !attributeText(nodes[0], "FogType").empty() && attributeText(nodes[0], "FogRange") == "true";
         }},
        {"a subtitled voice line that plays",
         [&](const auto& nodes) {
             return hasNode(nodes, [&](const std::string& voice) {
                 return isType(voice, "SoundObject") && attributeText(voice, "HasSubtitle") == "true" &&
                        attributeText(voice, "VoiceMode") != "4" && subtitleIDs.count(attributeText(voice, "SubtitleID")) &&
                        hasNode(nodes, [&](const std::string& play) {
                            return attributeText(play, "OnTriggerEvent") == "Play Sound" &&
                                   attributeText(play, "ObjectID") == attributeText(voice, "Id");
                        });
             });
         }},
        {"camera-ray fading",
         [&](const auto& nodes) {
             return !hasNode(nodes, [&](const std::string& n) { return isType(n, "CameraObject"); }) &&
                    hasNode(nodes, [&](const std::string& n) {
                        return isType(n, "AdvancedPhysicsObject") && attributeText(n, "ClipTransparent") != "false" &&
                               attributeText(n, "ClipObject") != "true";
                    });
         }},
    };
    std::vector<std::vector<std::string>> levels;
    for (const std::string& path : content::contentFiles())
        if (content::extensionOf(path) == ".irr")
            levels.push_back(levelNodes(fileText(path)));
    for (const auto& part : parts)
        EXPECT_TRUE(std::any_of(levels.begin(), levels.end(), part.shows)) << "no shipped level shows " << part.what;
}

} // namespace
