#include "core/Globals.h"
#include "player/ConfigTentMovementObject.h"
#include "player/MovementTuning.h"
#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

class MovementTuningTest : public ::testing::Test {
protected:
    // Loads a tuning file with the given text (none when the text is null).
    MovementTuning load(const char* text) {
        const std::string path = dir.file("Movement.xml");
        if (text)
            test::writeFileBytes(path, text);
        MovementTuning tuning;
        tuning.ArmSpeed = 3.5f;
        irr::io::IAttributes* set = loadMovementTuning(device->getFileSystem(), tuning, path.c_str());
        EXPECT_NE(set, nullptr);
        if (set) {
            keysInSet = int(set->getAttributeCount());
            set->drop();
        }
        return tuning;
    }

    test::NullDevice device;
    test::TempDir dir;
    int keysInSet = 0;
};

void expectDefaults(const MovementTuning& tuning) {
    const MovementTuning defaults;
    EXPECT_FLOAT_EQ(tuning.ArmSpeed, 3.5f);
    EXPECT_FLOAT_EQ(tuning.ThrowForce, defaults.ThrowForce);
    EXPECT_FLOAT_EQ(tuning.LegDamping, 0.0f);
    EXPECT_FLOAT_EQ(tuning.ArmDamping, 0.2f);
    EXPECT_FLOAT_EQ(tuning.SlipPhase1HorizontalSpeed, 12605.0f);
    EXPECT_FLOAT_EQ(tuning.SlipPhase4Time, 0.35f);
    EXPECT_FLOAT_EQ(tuning.SlipPhase3Time, 0.05f);
    EXPECT_FLOAT_EQ(tuning.SlipPhase3TorsoImpulseForce.Y, -350.0f);
    EXPECT_FLOAT_EQ(tuning.SlipPhase4TorsoForce.Y, 6650.0f);
    EXPECT_EQ(tuning.Gravity, irr::core::vector3df(0.0f, -55.0f, 0.0f));
}

TEST_F(MovementTuningTest, MissingFileKeepsEveryDefaultAndFillsTheSet) {
    const MovementTuning tuning = load(nullptr);
    expectDefaults(tuning);
    EXPECT_EQ(keysInSet, 38);
}

TEST_F(MovementTuningTest, ShippedFileHoldsEveryKeyWithItsDefault) {
    MovementTuning tuning;
    tuning.Gravity = irr::core::vector3df(1.0f, 2.0f, 3.0f);
    tuning.LegDamping = 9.0f;
    const std::string path = (test::sourceDir() / "Content" / "Config" / "Movement.xml").string();
    irr::io::IAttributes* set = loadMovementTuning(device->getFileSystem(), tuning, path.c_str());
    ASSERT_NE(set, nullptr);
    for (int key = 0; key < MovementTuning::keyCount; ++key)
        EXPECT_TRUE(set->existsAttribute(MovementTuning::keyName(key))) << MovementTuning::keyName(key);
    EXPECT_EQ(set->getAttributeCount(), 38u);
    set->drop();
    expectDefaults(tuning);
    const MovementTuning defaults;
    EXPECT_FLOAT_EQ(tuning.ArmSpeedMin, defaults.ArmSpeedMin);
    EXPECT_FLOAT_EQ(tuning.LegFallSpeed, defaults.LegFallSpeed);
    EXPECT_FLOAT_EQ(tuning.SlipPhase2TripHazardSlowPercentage, defaults.SlipPhase2TripHazardSlowPercentage);
}

TEST_F(MovementTuningTest, AbsentKeysKeepTheirDefaults) {
    const MovementTuning tuning = load("<?xml version=\"1.0\"?>\n<Game>\n"
                                       "\t<vector3d name=\"Gravity\" value=\"0.000000, -30.000000, 0.000000\" />\n"
                                       "</Game>\n");
    EXPECT_EQ(tuning.Gravity, irr::core::vector3df(0.0f, -30.0f, 0.0f));
    EXPECT_FLOAT_EQ(tuning.GrabSpeed, 6.0f);
    EXPECT_FLOAT_EQ(tuning.MaxThrowForce, 180.0f);
    EXPECT_EQ(keysInSet, 38);
}

TEST_F(MovementTuningTest, OnlyTheGameElementIsRead) {
    const MovementTuning tuning = load("<?xml version=\"1.0\"?>\n<Tuning>\n<Other>\n"
                                       "\t<float name=\"ArmSpeed\" value=\"99.0\" />\n</Other>\n"
                                       "<Game>\n\t<float name=\"ThrowForce\" value=\"140.0\" />\n</Game>\n"
                                       "<float name=\"GrabSpeed\" value=\"1.0\" />\n</Tuning>\n");
    EXPECT_FLOAT_EQ(tuning.ArmSpeed, 3.5f);
    EXPECT_FLOAT_EQ(tuning.ThrowForce, 140.0f);
    EXPECT_FLOAT_EQ(tuning.GrabSpeed, 6.0f);
}

TEST_F(MovementTuningTest, BrokenFilesAreNoError) {
    expectDefaults(load("this is not xml"));
    expectDefaults(load("<?xml version=\"1.0\"?>\n<Game>\n\t<float name=\"ArmSpe"));
    const MovementTuning wrongType = load("<?xml version=\"1.0\"?>\n<Game>\n"
                                          "\t<float name=\"ThrowForce\" value=\"strong\" />\n</Game>\n");
    EXPECT_FLOAT_EQ(wrongType.ThrowForce, 0.0f);
    EXPECT_FLOAT_EQ(wrongType.ArmSpeed, 3.5f);
}

TEST_F(MovementTuningTest, MovementObjectReadsTheFileAndItsClonesReadItAgain) {
    std::filesystem::create_directories(dir.path() / "Content" / "Config");
    test::writeFileBytes(dir.file("Content/Config/Movement.xml"),
                         "<?xml version=\"1.0\"?>\n<Game>\n"
                         "\t<vector3d name=\"Gravity\" value=\"0.000000, -30.000000, 0.000000\" />\n"
                         "\t<float name=\"ThrowForce\" value=\"150.0\" />\n</Game>\n");
    test::ScopedWorkingDir inDir(dir.path());
    irr::scene::ISceneManager* scene = device->getSceneManager();
    auto* movement = new ConfigTentMovementObject(nullptr, scene, -1);
    EXPECT_EQ(movement->getType(), irr::scene::ESCENE_NODE_TYPE(MAKE_IRR_ID('m', 'o', 'v', 'e')));
    EXPECT_EQ(movement->Gravity, irr::core::vector3df(0.0f, -30.0f, 0.0f));
    EXPECT_FLOAT_EQ(movement->ThrowForce, 150.0f);
    EXPECT_FLOAT_EQ(movement->ArmSpeed, 3.5f);
    ASSERT_NE(movement->getTuningAttributes(), nullptr);
    EXPECT_EQ(movement->getTuningAttributes()->getAttributeCount(), 38u);
    EXPECT_EQ(movement->getBoundingBox(), irr::core::aabbox3df(-1, -1, -1, 1, 1, 1));

    movement->ThrowForce = 1.0f;
    irr::scene::ISceneNode* copy = movement->clone(scene->getRootSceneNode(), scene);
    auto* copied = static_cast<ConfigTentMovementObject*>(copy);
    EXPECT_FLOAT_EQ(copied->ThrowForce, 150.0f);
    EXPECT_EQ(copied->getParent(), scene->getRootSceneNode());
    copy->remove();

    irr::core::vector3df gravity(1.0f, 2.0f, 3.0f);
    EXPECT_FALSE(getMovementGravity(gravity));
    EXPECT_EQ(gravity, irr::core::vector3df(1.0f, 2.0f, 3.0f));
    movementObject = movement;
    EXPECT_TRUE(getMovementGravity(gravity));
    EXPECT_EQ(gravity, irr::core::vector3df(0.0f, -30.0f, 0.0f));
    movementObject = nullptr;
    movement->drop();
}

} // namespace

namespace {

TEST_F(MovementTuningTest, ValuesOutOfAnySaneRangeAreLoggedAndTakeTheirDefaults) {
    testing::internal::CaptureStdout();
    const MovementTuning tuning = load(
        "<Game>"
        "<float name=\"ThrowForce\" value=\"1e30\"/>"
        "<float name=\"ArmDamping\" value=\"-5e9\"/>"
        "<float name=\"LegDamping\" value=\"1e39\"/>"
        "<float name=\"GrabSpeed\" value=\"7.5\"/>"
        "<vector3d name=\"Gravity\" value=\"0.000000, -1e38, 0.000000\"/>"
        "<float name=\"SlipPhase3Time\" value=\"1000000\"/>"
        "<float name=\"SlipPhase4Time\" value=\"-1000000\"/>"
        "<float name=\"SlipPhase1HorizontalSpeed\" value=\"1000001\"/>"
        "</Game>");
    const std::string printed = testing::internal::GetCapturedStdout();
    const MovementTuning defaults;
    EXPECT_FLOAT_EQ(tuning.ThrowForce, defaults.ThrowForce);
    EXPECT_FLOAT_EQ(tuning.ArmDamping, defaults.ArmDamping);
    EXPECT_FLOAT_EQ(tuning.LegDamping, defaults.LegDamping);
    EXPECT_EQ(tuning.Gravity, defaults.Gravity);
    EXPECT_FLOAT_EQ(tuning.SlipPhase1HorizontalSpeed, defaults.SlipPhase1HorizontalSpeed) << "one past the bound";
    EXPECT_FLOAT_EQ(tuning.GrabSpeed, 7.5f) << "sane values are kept";
    EXPECT_FLOAT_EQ(tuning.SlipPhase3Time, 1.0e6f) << "the bound is sane";
    EXPECT_FLOAT_EQ(tuning.SlipPhase4Time, -1.0e6f) << "the bound is sane";
    for (const char* key : {"ThrowForce", "ArmDamping", "LegDamping", "Gravity", "SlipPhase1HorizontalSpeed"})
        EXPECT_NE(printed.find(std::string("Warning: Movement tuning \"") + key + "\" has the value "),
                  std::string::npos)
            << key;
    for (const char* key : {"GrabSpeed", "SlipPhase3Time", "SlipPhase4Time"})
        EXPECT_EQ(printed.find(key), std::string::npos) << key;
}

} // namespace
