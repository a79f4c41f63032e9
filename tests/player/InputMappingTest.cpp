#include "InputTestSupport.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "player/GameActions.h"
#include "player/PlayerControls.h"
#include "player/devices/GamepadDevice.h"
#include "player/devices/JoystickDevice.h"
#include "player/devices/KeyboardDevice.h"
#include "player/devices/MouseDevice.h"

#include <filesystem>

namespace {

using test::InputTest;

std::string mappingFile(const std::string& entries) {
    return "<?xml version=\"1.0\"?>\n<InputMapping>\n" + entries + "</InputMapping>\n";
}

class InputMappingTest : public InputTest {
protected:
    PlayerControls* controls() { return input->getActiveControls(); }
    // Every binding as "action|device|index|multiplier|scheme".
    static std::vector<std::string> bindings(const PlayerControls& controls) {
        std::vector<std::string> all;
        for (int action = 0; action < GameAction::count; ++action)
            for (const auto& mapping : controls.mappings(action))
                all.push_back(std::string(GameAction::name(action)) + "|" + mapping->device->getNameA() + "|" +
                              std::to_string(mapping->buttonIndex) + "|" + std::to_string(mapping->multiplier) +
                              "|" + std::to_string(mapping->schemeIndex));
        return all;
    }
    void writeUserFile(const std::string& text) { ASSERT_TRUE(test::writeFileBytes(remappingFile(), text)); }
};

TEST_F(InputMappingTest, DefaultFileBindsEveryAction) {
    startInput();
    for (int action = 0; action < GameAction::count; ++action)
        EXPECT_FALSE(controls()->mappings(action).empty()) << GameAction::name(action);
    bool devices[3] = {};
    for (int action = 0; action < GameAction::count; ++action) {
        for (const auto& mapping : controls()->mappings(action)) {
            devices[0] |= mapping->device == input->getKeyboard();
            devices[1] |= mapping->device == input->getMouse();
            devices[2] |= mapping->device == input->getGamepad();
            EXPECT_GE(mapping->buttonIndex, 0);
        }
    }
    EXPECT_TRUE(devices[0] && devices[1] && devices[2]);
    const auto& zoomOut = controls()->mappings(GameAction::CameraZoomOut);
    EXPECT_EQ(zoomOut.back()->multiplier, -1.0f);
}

TEST_F(InputMappingTest, FirstStartCreatesTheUserFile) {
    ASSERT_FALSE(std::filesystem::exists(remappingFile()));
    const std::string log = test::captureLog([&]() { startInput(); });
    EXPECT_NE(log.find("Writing player controls XML: Player 0"), std::string::npos);
    ASSERT_TRUE(std::filesystem::exists(remappingFile()));
    // Reading it back gives the same bindings.
    PlayerControls again(input.get(), 0, 1, 0, nullptr);
    EXPECT_EQ(bindings(again), bindings(*controls()));
}

TEST_F(InputMappingTest, RoundTripKeepsEveryBinding) {
    startInput();
    PlayerControls* player = controls();
    ButtonMapping scaled;
    scaled.device = input->getGamepad();
    scaled.buttonIndex = GamepadDevice::StickRX;
    scaled.multiplier = 0.5f;
    scaled.schemeIndex = 2;
    player->addMapping(GameAction::CameraLeft, scaled);
    ButtonMapping byIndex;
    byIndex.device = input->getKeyboard();
    byIndex.buttonIndex = 7; // a code without a name
    player->addMapping(GameAction::Limp, byIndex);
    ButtonMapping nearlyOne;
    nearlyOne.device = input->getKeyboard();
    nearlyOne.buttonIndex = irr::KEY_KEY_J;
    nearlyOne.multiplier = 1.0000005f;
    player->addMapping(GameAction::Limp, nearlyOne);
    ASSERT_TRUE(player->writeMappings());

    const std::string text = test::readFileBytes(remappingFile());
    ASSERT_FALSE(text.empty());
    PlayerControls reread(input.get(), 0, 1, 0, nullptr);
    EXPECT_EQ(bindings(reread), bindings(*player));
    const auto& limp = reread.mappings(GameAction::Limp);
    EXPECT_EQ(limp[limp.size() - 2]->buttonIndex, 7);
    EXPECT_EQ(limp.back()->multiplier, 1.0f);
}

TEST_F(InputMappingTest, WrittenAttributes) {
    startInput();
    PlayerControls* player = controls();
    player->clearMappings();
    ButtonMapping half;
    half.device = input->getKeyboard();
    half.buttonIndex = irr::KEY_KEY_H;
    half.multiplier = 0.5f;
    player->addMapping(GameAction::GrabObject, half);
    ButtonMapping fromFile = half;
    fromFile.indexFromFile = true;
    fromFile.multiplier = 1.0f;
    fromFile.schemeIndex = 3;
    player->addMapping(GameAction::DropObject, fromFile);
    ASSERT_TRUE(player->writeMappings());
    // The engine writes wide characters; compare on the text without the zero bytes.
    std::string text;
    for (char c : test::readFileBytes(remappingFile()))
        if (c != '\0')
            text += c;
    EXPECT_NE(text.find("<!-- Grab Object -->"), std::string::npos);
    EXPECT_NE(text.find("<!-- Remap Count -->"), std::string::npos);
    EXPECT_NE(text.find("actionName=\"Grab Object\" deviceName=\"Keyboard\" buttonName=\"KEY_KEY_H\" "
                        "multiplier=\"0.500000\""),
              std::string::npos);
    EXPECT_NE(text.find("actionName=\"Drop Object\" deviceName=\"Keyboard\" schemeIndex=\"3\" buttonIndex=\"72\""),
              std::string::npos);
    EXPECT_EQ(text.find("param1"), std::string::npos);
}

TEST_F(InputMappingTest, ResetRestoresTheDefaults) {
    startInput();
    const std::vector<std::string> defaults = bindings(*controls());
    controls()->clearMappings();
    controls()->writeMappings();
    PlayerControls empty(input.get(), 0, 1, 0, nullptr);
    EXPECT_TRUE(bindings(empty).empty());
    controls()->resetMappings();
    EXPECT_EQ(bindings(*controls()), defaults);
    PlayerControls reread(input.get(), 0, 2, 0, nullptr);
    EXPECT_EQ(bindings(reread), defaults);
}

TEST_F(InputMappingTest, UserFileWithOnlyTheRootHasNoBindings) {
    writeUserFile(mappingFile(""));
    startInput();
    EXPECT_EQ(controls()->mappingCount(), 0);
    // The root as one empty element is a whole file too: nothing is kept aside.
    stopInput();
    const std::string empty = "<?xml version=\"1.0\"?>\n<InputMapping/>\n";
    writeUserFile(empty);
    startInput();
    EXPECT_EQ(controls()->mappingCount(), 0);
    EXPECT_EQ(test::readFileBytes(remappingFile()), empty);
}

TEST_F(InputMappingTest, NamesAndAttributesAreMatchedIgnoringCase) {
    writeUserFile(mappingFile(
        "<ButtonMapping ACTIONNAME=\"grab object\" devicename=\"GAMEPAD\" buttonname=\"gamepad_a\" param1=\"2.5\"/>\n"
        "<buttonmapping actionName=\"Limp\" deviceName=\"Keyboard\" buttonName=\"KEY_KEY_L\"/>\n"
        "<ButtonMapping buttonName=\"KEY_KEY_Q\" deviceName=\"Keyboard\" actionName=\"Limp\" buttonIndex=\"5\"/>\n"));
    startInput();
    ASSERT_EQ(controls()->mappings(GameAction::GrabObject).size(), 1u);
    const ButtonMapping& grab = *controls()->mappings(GameAction::GrabObject)[0];
    EXPECT_EQ(grab.device, input->getGamepad());
    EXPECT_EQ(grab.buttonIndex, GamepadDevice::A);
    EXPECT_EQ(grab.param1, 2.5f);
    EXPECT_EQ(grab.modifier, 0);
    // The element name is matched exactly; a button name wins over an index in any order.
    ASSERT_EQ(controls()->mappings(GameAction::Limp).size(), 1u);
    EXPECT_EQ(controls()->mappings(GameAction::Limp)[0]->buttonIndex, irr::KEY_KEY_Q);
    EXPECT_TRUE(controls()->mappings(GameAction::Limp)[0]->indexFromFile);
}

TEST_F(InputMappingTest, UnknownNamesAreLoggedAndTheActionKeepsItsDefaults) {
    writeUserFile(mappingFile(
        "<ButtonMapping actionName=\"Grab Object\" deviceName=\"Steering Wheel\" buttonName=\"HORN\"/>\n"
        "<ButtonMapping actionName=\"Jump\" deviceName=\"Keyboard\" buttonName=\"KEY_SPACE\"/>\n"
        "<ButtonMapping actionName=\"Drop Object\" deviceName=\"Keyboard\" buttonName=\"KEY_NOTHING\"/>\n"
        "<ButtonMapping actionName=\"Limp\" deviceName=\"Gamepad\" buttonIndex=\"99\"/>\n"
        "<ButtonMapping actionName=\"Limp\" deviceName=\"Gamepad\" buttonIndex=\"-4\"/>\n"
        "<ButtonMapping actionName=\"Camera Down\" deviceName=\"Gamepad\" buttonIndex=\"28\"/>\n"
        "<ButtonMapping actionName=\"Camera Down\" deviceName=\"Gamepad\" buttonIndex=\"27\"/>\n"
        "<ButtonMapping actionName=\"Mode Switch\" deviceName=\"Keyboard\" buttonName=\"KEY_KEY_M\"/>\n"
        "<ButtonMapping actionName=\"Mode Switch\" deviceName=\"Keyboard\" buttonName=\"KEY_NOPE\"/>\n"
        "<ButtonMapping deviceName=\"Keyboard\" buttonName=\"KEY_KEY_X\"/>\n"
        "<ButtonMapping actionName=\"Camera Left\" buttonName=\"KEY_KEY_X\"/>\n"));
    const std::string before = test::readFileBytes(remappingFile());
    const std::string log = test::captureLog([&]() { startInput(); });
    EXPECT_NE(log.find("entry 10: no actionName"), std::string::npos);
    EXPECT_NE(log.find("entry 11: no deviceName"), std::string::npos);
    // An entry without a device counts against its action, which keeps its defaults.
    EXPECT_EQ(controls()->mappings(GameAction::CameraLeft).size(), 2u);
    EXPECT_NE(log.find("unknown device \"Steering Wheel\""), std::string::npos);
    EXPECT_NE(log.find("unknown action \"Jump\""), std::string::npos);
    EXPECT_NE(log.find("no input named \"KEY_NOTHING\""), std::string::npos);
    EXPECT_NE(log.find("buttonIndex 99 is not an input of the Gamepad"), std::string::npos);
    EXPECT_NE(log.find("buttonIndex -4"), std::string::npos);
    EXPECT_NE(log.find("buttonIndex 28 is not an input of the Gamepad"), std::string::npos) << "one past the last";
    EXPECT_NE(log.find("\"Grab Object\" keeps its default bindings"), std::string::npos);
    // Actions whose entries all failed keep their defaults; an action with one good entry
    // keeps only that; actions the file does not name have no bindings.
    EXPECT_EQ(controls()->mappings(GameAction::GrabObject).size(), 3u);
    EXPECT_EQ(controls()->mappings(GameAction::DropObject).size(), 2u);
    EXPECT_EQ(controls()->mappings(GameAction::Limp).size(), 2u);
    ASSERT_EQ(controls()->mappings(GameAction::ModeSwitch).size(), 1u);
    EXPECT_EQ(controls()->mappings(GameAction::ModeSwitch)[0]->buttonIndex, irr::KEY_KEY_M);
    ASSERT_EQ(controls()->mappings(GameAction::CameraDown).size(), 1u);
    EXPECT_EQ(controls()->mappings(GameAction::CameraDown)[0]->buttonIndex, GamepadDevice::InputCount - 1);
    EXPECT_TRUE(controls()->mappings(GameAction::CameraUp).empty());
    // The player's file is left as it is.
    EXPECT_EQ(test::readFileBytes(remappingFile()), before);
}

TEST_F(InputMappingTest, WrongTypesFallBackToDefaults) {
    writeUserFile(mappingFile(
        "<ButtonMapping actionName=\"Limp\" deviceName=\"Keyboard\" buttonName=\"KEY_KEY_L\" multiplier=\"lots\" "
        "schemeIndex=\"1.5\" param1=\"soft\" param2=\"0.5\"/>\n"
        "<ButtonMapping actionName=\"Limp\" deviceName=\"Keyboard\" buttonName=\"KEY_KEY_K\" multiplier=\"nan\"/>\n"
        "<ButtonMapping actionName=\"Limp\" deviceName=\"Keyboard\" buttonIndex=\"eleven\"/>\n"
        "<ButtonMapping actionName=\"Limp\" deviceName=\"Keyboard\" buttonIndex=\"\" multiplier=\"\"/>\n"));
    const std::string log = test::captureLog([&]() { startInput(); });
    EXPECT_NE(log.find("multiplier \"lots\" is not a number"), std::string::npos);
    EXPECT_NE(log.find("schemeIndex \"1.5\" is not a whole number"), std::string::npos);
    EXPECT_NE(log.find("buttonIndex \"eleven\" is not a whole number"), std::string::npos);
    EXPECT_NE(log.find("entry 4: buttonIndex \"\" is not a whole number"), std::string::npos);
    EXPECT_NE(log.find("entry 4: multiplier \"\" is not a number"), std::string::npos);
    const auto& limp = controls()->mappings(GameAction::Limp);
    ASSERT_EQ(limp.size(), 4u);
    EXPECT_EQ(limp[3]->multiplier, 1.0f);
    EXPECT_FALSE(limp[3]->indexFromFile);
    EXPECT_EQ(limp[0]->multiplier, 1.0f);
    EXPECT_EQ(limp[0]->schemeIndex, 0);
    EXPECT_EQ(limp[0]->param1, 0.0f) << "a parameter that is no number is 0";
    EXPECT_EQ(limp[0]->param2, 0.5f);
    EXPECT_EQ(limp[1]->multiplier, 1.0f);
    EXPECT_EQ(limp[2]->buttonIndex, 0); // neither a name nor a usable index
}

TEST_F(InputMappingTest, ReadMappingsTakeTheInstanceOfTheirPlayer) {
    startInput();
    const std::string path = dir.file("instances.xml");
    ASSERT_TRUE(test::writeFileBytes(
        path, mappingFile("<ButtonMapping actionName=\"Limp\" deviceName=\"Mouse\" buttonName=\"MOUSE_LEFT\"/>\n"
                          "<ButtonMapping actionName=\"Limp\" deviceName=\"Move\" buttonIndex=\"1\"/>\n"
                          "<ButtonMapping actionName=\"Limp\" deviceName=\"Keyboard\" buttonName=\"KEY_KEY_L\"/>\n"
                          "<ButtonMapping actionName=\"Limp\" deviceName=\"Gamepad\" buttonName=\"GAMEPAD_A\"/>\n")));
    // The second mouse (instance 1) of a player; a player without a mouse of its own (-1)
    // reads the system mouse (0).
    const struct Row {
        int instance;
        int mouse, move, gamepad;
    } rows[] = {{1, 1, 1, 1}, {2, 2, 2, 2}, {-1, 0, -1, -1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.instance);
        PlayerControls player(input.get(), 1, 0, row.instance, input->getMouse());
        player.clearMappings();
        ASSERT_TRUE(player.readMappings(path));
        const auto& limp = player.mappings(GameAction::Limp);
        ASSERT_EQ(limp.size(), 4u);
        EXPECT_EQ(limp[0]->instance, row.mouse);
        EXPECT_EQ(limp[1]->instance, row.move);
        EXPECT_EQ(limp[2]->instance, 0);
        EXPECT_EQ(limp[3]->instance, row.gamepad);
    }
    // A file read on its own skips what it cannot bind and keeps the rest.
    const std::string odd = dir.file("odd.xml");
    ASSERT_TRUE(test::writeFileBytes(
        odd, mappingFile("<ButtonMapping actionName=\"Limp\" deviceName=\"Steering Wheel\" buttonIndex=\"1\"/>\n"
                         "<ButtonMapping actionName=\"Limp\" deviceName=\"Keyboard\" buttonName=\"KEY_NOTHING\"/>\n"
                         "<ButtonMapping actionName=\"Limp\" deviceName=\"Keyboard\" buttonName=\"KEY_KEY_L\"/>\n")));
    PlayerControls* own = controls();
    own->clearMappings();
    const std::string log = test::captureLog([&]() { EXPECT_TRUE(own->readMappings(odd)); });
    EXPECT_NE(log.find("unknown device \"Steering Wheel\""), std::string::npos);
    ASSERT_EQ(own->mappings(GameAction::Limp).size(), 1u);
    EXPECT_EQ(own->mappings(GameAction::Limp)[0]->buttonIndex, irr::KEY_KEY_L);
}

// Controls made with a pad as their first device keep the other pad kind unbound (-1): the
// joystick and the motion controller follow the secondary instance, the gamepad its own, and
// the mouse the secondary one from 1 up (the system mouse, 0, below that).
TEST_F(InputMappingTest, EachDeviceKindTakesTheInstanceOfTheFirstDeviceItFollows) {
    startInput();
    const std::string path = dir.file("pads.xml");
    ASSERT_TRUE(test::writeFileBytes(
        path, mappingFile("<ButtonMapping actionName=\"Limp\" deviceName=\"Joystick\" buttonIndex=\"1\"/>\n"
                          "<ButtonMapping actionName=\"Limp\" deviceName=\"Move\" buttonIndex=\"1\"/>\n"
                          "<ButtonMapping actionName=\"Limp\" deviceName=\"Gamepad\" buttonName=\"GAMEPAD_A\"/>\n"
                          "<ButtonMapping actionName=\"Limp\" deviceName=\"Mouse\" buttonName=\"MOUSE_LEFT\"/>\n")));
    const bool joystickFirst = true;
    const struct Row {
        bool joystickFirst;
        int instance;
        int joystick, move, gamepad, mouse;
    } rows[] = {{joystickFirst, 2, 2, 2, -1, 2},  {joystickFirst, 1, 1, 1, -1, 1},
                {joystickFirst, 0, 0, 0, -1, 0},  {!joystickFirst, 2, -1, -1, 2, 0},
                {!joystickFirst, 1, -1, -1, 1, 0}, {!joystickFirst, 0, -1, -1, 0, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.joystickFirst ? "joystick" : "gamepad") + " first, instance " +
                     std::to_string(row.instance));
        InputDevice* first = row.joystickFirst ? static_cast<InputDevice*>(input->getJoystick())
                                               : static_cast<InputDevice*>(input->getGamepad());
        ASSERT_NE(first, nullptr);
        PlayerControls player(input.get(), 1, 0, row.instance, first);
        player.clearMappings();
        ASSERT_TRUE(player.readMappings(path));
        const auto& limp = player.mappings(GameAction::Limp);
        ASSERT_EQ(limp.size(), 4u);
        EXPECT_EQ(limp[0]->instance, row.joystick);
        EXPECT_EQ(limp[1]->instance, row.move);
        EXPECT_EQ(limp[2]->instance, row.gamepad);
        EXPECT_EQ(limp[3]->instance, row.mouse);
    }
}

TEST_F(InputMappingTest, BrokenUserFileIsKeptAsideAndTheDefaultsWritten) {
    const std::string cut = "<?xml version=\"1.0\"?>\n<InputMapping>\n<ButtonMapping actionName=\"Limp\" devi";
    writeUserFile(cut);
    const std::string log = test::captureLog([&]() { startInput(); });
    EXPECT_NE(log.find("is not a whole input mapping file"), std::string::npos);
    EXPECT_EQ(test::readFileBytes(remappingFile() + ".bad"), cut);
    EXPECT_GT(controls()->mappingCount(), 46);
    PlayerControls reread(input.get(), 0, 1, 0, nullptr);
    EXPECT_EQ(bindings(reread), bindings(*controls()));
}

TEST_F(InputMappingTest, BrokenUserFileThatCannotBeKeptAsideIsNeverWrittenOver) {
    const std::string cut = "<?xml version=\"1.0\"?>\n<InputMapping>\n<ButtonMapping actionName=\"Limp\" devi";
    writeUserFile(cut);
    // A folder that is not empty under the kept-aside name makes the rename fail.
    std::filesystem::create_directory(remappingFile() + ".bad");
    ASSERT_TRUE(test::writeFileBytes(remappingFile() + ".bad/keep", "x"));
    const std::string log = test::captureLog([&]() { startInput(); });
    EXPECT_NE(log.find("the default bindings are used and the file is left as it is"), std::string::npos) << log;
    EXPECT_GT(controls()->mappingCount(), 46);
    // Neither a write (leaving the controls screens) nor a reset to the defaults replaces it.
    bool written = true;
    const std::string writeLog = test::captureLog([&]() {
        written = controls()->writeMappings();
        controls()->resetMappings();
    });
    EXPECT_FALSE(written);
    EXPECT_NE(writeLog.find("ERROR: "), std::string::npos) << writeLog;
    EXPECT_EQ(test::readFileBytes(remappingFile()), cut);
    EXPECT_GT(controls()->mappingCount(), 46) << "the reset still gives the defaults";
}

TEST_F(InputMappingTest, GarbageAndHugeFilesAreHandled) {
    writeUserFile(std::string("\x01\x02not xml at all <<<>>>\xff\xfe", 26));
    std::string log = test::captureLog([&]() { startInput(); });
    EXPECT_NE(log.find("is not a whole input mapping file"), std::string::npos);
    EXPECT_GT(controls()->mappingCount(), 46);
    stopInput();

    std::string huge = "<?xml version=\"1.0\"?>\n<InputMapping>\n";
    while (huge.size() < 1200 * 1024)
        huge += "<ButtonMapping actionName=\"Limp\" deviceName=\"Keyboard\" buttonName=\"KEY_KEY_L\"/>\n";
    huge += "</InputMapping>\n";
    writeUserFile(huge);
    log = test::captureLog([&]() { startInput(); });
    EXPECT_NE(log.find("is larger than"), std::string::npos);
    EXPECT_EQ(controls()->mappings(GameAction::Limp).size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(remappingFile() + ".bad"));
}

TEST_F(InputMappingTest, TooManyEntriesAreCut) {
    std::string entries;
    for (int i = 0; i < 1500; ++i)
        entries += "<ButtonMapping actionName=\"Limp\" deviceName=\"Keyboard\" buttonName=\"KEY_KEY_L\"/>\n";
    writeUserFile(mappingFile(entries));
    const std::string log = test::captureLog([&]() { startInput(); });
    EXPECT_NE(log.find("has more than 1024 entries"), std::string::npos);
    EXPECT_EQ(controls()->mappings(GameAction::Limp).size(), 1024u);
}

TEST_F(InputMappingTest, MissingDefaultsNeverWriteAnEmptyUserFile) {
    std::filesystem::remove(dir.path() / "Content" / "Input" / "Default.xml");
    const std::string log = test::captureLog([&]() { startInput(); });
    EXPECT_NE(log.find("default input mapping file"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(remappingFile()));
    EXPECT_EQ(controls()->mappingCount(), 0);
}

TEST_F(InputMappingTest, SettingsHooksSurroundTheUserFile) {
    GameSettings settings(dir.file("settings.xml"));
    gameSettings = &settings;
    struct Recorder {
        std::string calls;
        void beforeRead() { calls += "R"; }
        void beforeWrite() { calls += "W"; }
        void after() { calls += "A"; }
    } recorder;
    settings.onBeforeRead.addMember(&recorder, &Recorder::beforeRead);
    settings.onBeforeWrite.addMember(&recorder, &Recorder::beforeWrite);
    settings.onAfterAccess.addMember(&recorder, &Recorder::after);
    startInput();
    // The default controls write the user file; player 0 reads it. The defaults themselves
    // are read without the hooks.
    EXPECT_EQ(recorder.calls, "WARA");
    gameSettings = nullptr;
}

} // namespace
