#include "platform/FakePadBackend.h"
#include "player/devices/GamepadDevice.h"
#include "player/devices/VibrationController.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

using platform::padButton::dpadLeft;

constexpr float step = 0.0167f;

class GamepadDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto backend = std::make_unique<platform::FakePadBackend>();
        pads = backend.get();
        platform::setPadBackend(std::move(backend));
        pads->setConnected(0, true);
        gamepad = std::make_unique<GamepadDevice>();
        gamepad->registerButtonNames();
        vibration = std::make_unique<VibrationController>(gamepad.get());
        gamepad->setVibrationController(vibration.get());
    }
    void TearDown() override {
        gamepad.reset();
        platform::setPadBackend(nullptr);
    }
    // One input update: vibration first, then the pads.
    void update(float dt = step) {
        vibration->updateVibration(dt);
        gamepad->update(dt);
    }
    ButtonMapping mapping(int input, int instance = 0) {
        ButtonMapping m;
        m.device = gamepad.get();
        m.instance = instance;
        m.buttonIndex = input;
        return m;
    }

    platform::FakePadBackend* pads = nullptr;
    std::unique_ptr<GamepadDevice> gamepad;
    std::unique_ptr<VibrationController> vibration;
};

TEST_F(GamepadDeviceTest, InterfaceAnswers) {
    EXPECT_EQ(gamepad->getName(), L"Gamepad");
    EXPECT_EQ(gamepad->getButtonCount(), 28);
    EXPECT_EQ(gamepad->getDeviceCount(), 4);
    EXPECT_TRUE(gamepad->hasMultipleInstances());
    EXPECT_FALSE(gamepad->usesModeSwitching());
    EXPECT_TRUE(gamepad->takesPartInDetection());
    EXPECT_EQ(gamepad->getButtonIndex("GAMEPAD_DPAD_UP"), 0);
    EXPECT_EQ(gamepad->getButtonIndex("gamepad_right_trigger"), 15);
    EXPECT_EQ(gamepad->getButtonIndex("GAMEPAD_STICK_RY"), 27);
    EXPECT_EQ(gamepad->getButtonIndex("GAMEPAD_STICK_RZ"), -1);
    EXPECT_EQ(gamepad->getButtonName(13), "GAMEPAD_Y");
    EXPECT_TRUE(gamepad->isConnected(0));
    EXPECT_FALSE(gamepad->isConnected(1));
    EXPECT_FALSE(gamepad->isConnected(4));
    EXPECT_FALSE(gamepad->isConnected(-1));
    EXPECT_EQ(gamepad->getConnectedCount(), 1);
}

TEST_F(GamepadDeviceTest, ButtonsAndTriggers) {
    pads->setButtons(0, platform::padButton::a | platform::padButton::dpadUp);
    update();
    EXPECT_EQ(gamepad->getValue(mapping(GamepadDevice::A)), 1.0f);
    EXPECT_TRUE(gamepad->wasPressed(mapping(GamepadDevice::A)));
    EXPECT_TRUE(gamepad->wasPressed(mapping(GamepadDevice::DpadUp)));
    EXPECT_EQ(gamepad->getValue(mapping(GamepadDevice::B)), 0.0f);
    update();
    EXPECT_EQ(gamepad->getValue(mapping(GamepadDevice::A)), 1.0f);
    EXPECT_FALSE(gamepad->wasPressed(mapping(GamepadDevice::A)));

    pads->setTriggers(0, 1, 0);
    update();
    EXPECT_EQ(gamepad->getValue(mapping(GamepadDevice::LeftTrigger)), 1.0f);
    EXPECT_TRUE(gamepad->wasPressed(mapping(GamepadDevice::LeftTrigger)));
    EXPECT_FALSE(gamepad->wasPressed(mapping(GamepadDevice::RightTrigger)));
    // Each trigger answers for itself.
    pads->setTriggers(0, 0, 1);
    update();
    EXPECT_EQ(gamepad->getValue(mapping(GamepadDevice::RightTrigger)), 1.0f);
    EXPECT_EQ(gamepad->getValue(mapping(GamepadDevice::LeftTrigger)), 0.0f);
    EXPECT_TRUE(gamepad->wasPressed(mapping(GamepadDevice::RightTrigger)));
    EXPECT_FALSE(gamepad->wasPressed(mapping(GamepadDevice::LeftTrigger)));
    // Full axes are never pressed; a negative instance reads nothing.
    EXPECT_FALSE(gamepad->wasPressed(mapping(GamepadDevice::StickLX)));
    EXPECT_EQ(gamepad->getValue(mapping(GamepadDevice::A, -1)), 0.0f);
    EXPECT_EQ(gamepad->getValue(mapping(GamepadDevice::A, 7)), 0.0f);
}

TEST_F(GamepadDeviceTest, StickAtRestWithinTheDeadZoneReadsZero) {
    pads->setSticks(0, 5000, -5000, 0, 0); // radius 0.216, within 0.24
    update();
    for (int input = GamepadDevice::StickLXPositive; input <= GamepadDevice::StickRY; ++input)
        EXPECT_EQ(gamepad->getValue(mapping(input)), 0.0f) << input;
}

TEST_F(GamepadDeviceTest, FullDeflectionAndHalfAxes) {
    pads->setSticks(0, 32767, 0, 0, -32768);
    update();
    EXPECT_NEAR(gamepad->getValue(mapping(GamepadDevice::StickLX)), 1.0f, 1e-4f);
    EXPECT_NEAR(gamepad->getValue(mapping(GamepadDevice::StickLXPositive)), 1.0f, 1e-4f);
    EXPECT_EQ(gamepad->getValue(mapping(GamepadDevice::StickLXNegative)), 0.0f);
    EXPECT_EQ(gamepad->getValue(mapping(GamepadDevice::StickLY)), 0.0f);
    // The negative half answers its magnitude; the full axis is not clamped at the edge.
    EXPECT_NEAR(gamepad->getValue(mapping(GamepadDevice::StickRYNegative)), 1.0f, 1e-4f);
    EXPECT_EQ(gamepad->getValue(mapping(GamepadDevice::StickRYPositive)), 0.0f);
    EXPECT_LT(gamepad->getValue(mapping(GamepadDevice::StickRY)), -1.0f);
    // Halfway past the dead zone: (0.62 - 0.24) / 0.76 = 0.5.
    pads->setSticks(0, 0, short(0.62 * 32767.5), 0, 0);
    update();
    EXPECT_NEAR(gamepad->getValue(mapping(GamepadDevice::StickLYPositive)), 0.5f, 1e-3f);
}

TEST_F(GamepadDeviceTest, RadialDeadZoneWithoutDeadZoneAtRestIsZero) {
    float x = 1.0f, y = 1.0f;
    applyRadialDeadZone(0.0f, 0, 0, x, y);
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
    EXPECT_EQ(gamepad->getAxisValue(GamepadDevice::StickLX, 0, false), 0.0f);
}

TEST_F(GamepadDeviceTest, StickDirectionPressedOnceAndHeldWhileOutside) {
    pads->setSticks(0, -20000, 0, 0, 0);
    update();
    EXPECT_EQ(gamepad->getAxisDirectionPressed(0, GamepadDevice::StickLX), -1);
    EXPECT_EQ(gamepad->getAxisDirectionDown(0, GamepadDevice::StickLX), -1);
    EXPECT_TRUE(gamepad->wasPressed(mapping(GamepadDevice::StickLXNegative)));
    EXPECT_FALSE(gamepad->wasPressed(mapping(GamepadDevice::StickLXPositive)));
    update();
    EXPECT_EQ(gamepad->getAxisDirectionPressed(0, GamepadDevice::StickLX), 0);
    EXPECT_EQ(gamepad->getAxisDirectionDown(0, GamepadDevice::StickLX), -1);
    EXPECT_FALSE(gamepad->wasPressed(mapping(GamepadDevice::StickLXNegative)));
    // Within the per-axis dead zone (0.24 of full scale) the direction is gone.
    pads->setSticks(0, -7000, 0, 0, 0);
    update();
    EXPECT_EQ(gamepad->getAxisDirectionDown(0, GamepadDevice::StickLX), 0);
}

TEST_F(GamepadDeviceTest, PadsAreFoundByEnumerationEveryFiveSeconds) {
    pads->setConnected(1, true);
    pads->setButtons(1, platform::padButton::x);
    int changes = 0;
    gamepad->onDeviceChange = [&]() { ++changes; };
    update();
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(gamepad->isConnected(1));
    float elapsed = step;
    while (!gamepad->isConnected(1) && elapsed < 6.0f) {
        update();
        elapsed += step;
    }
    EXPECT_TRUE(gamepad->isConnected(1));
    EXPECT_NEAR(elapsed, 5.0f, 0.05f);
    update();
    EXPECT_EQ(gamepad->getValue(mapping(GamepadDevice::X, 1)), 1.0f);
    // The next pad waits for the next enumeration, five seconds after the last one.
    pads->setConnected(2, true);
    elapsed = 0.0f;
    while (!gamepad->isConnected(2) && elapsed < 6.0f) {
        update();
        elapsed += step;
    }
    EXPECT_NEAR(elapsed, 5.0f - step, 0.05f);
}

TEST_F(GamepadDeviceTest, FailedPollDisconnectsUntilTheNextEnumeration) {
    pads->setButtons(0, platform::padButton::b);
    update();
    pads->setConnected(0, false);
    update();
    EXPECT_FALSE(gamepad->isConnected(0));
    const int queries = pads->stateQueries(0);
    pads->setConnected(0, true);
    update();
    EXPECT_EQ(pads->stateQueries(0), queries);
    EXPECT_FALSE(gamepad->isConnected(0));
    // The last stored state is kept; it is read as no input only through the controls.
    EXPECT_TRUE(gamepad->isButtonDown(0, GamepadDevice::B));
}

// Amounts added for one update become motor speeds for that update only, scaled to 0.7 of
// full speed and held to the motor range.
TEST_F(GamepadDeviceTest, VibrationAmountsBecomeMotorSpeedsForOneUpdate) {
    const struct {
        const char* name;
        bool enabled;
        float left, right;
        int leftSpeed, rightSpeed;
    } rows[] = {
        {"scaled", true, 1.0f, 0.5f, 45874, 22937},
        {"switched off keeps the motors still", false, 1.0f, 1.0f, 0, 0},
        {"held to the motor range", true, 5.0f, -1.0f, 65535, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        vibration->enabled = row.enabled;
        vibration->addAmounts(0, row.left, row.right);
        update();
        EXPECT_EQ(pads->leftMotor(0), row.leftSpeed);
        EXPECT_EQ(pads->rightMotor(0), row.rightSpeed);
        update();
        EXPECT_EQ(pads->leftMotor(0), 0);
        EXPECT_EQ(pads->rightMotor(0), 0);
    }
    EXPECT_EQ(motorSpeed(0.5f), 32767);
}

TEST_F(GamepadDeviceTest, RumbleEffectWaitsForItsDelayAndEndsOnTime) {
    VibrationController::RumbleEffect effect;
    effect.pad = 0;
    effect.startLeft = effect.endLeft = 1.0f;
    effect.startRight = effect.endRight = 1.0f;
    effect.duration = 1.0f;
    effect.delay = 0.5f;
    vibration->addEffect(effect);
    const float dt = 0.125f;
    std::vector<int> speeds;
    int removedAt = -1;
    for (int i = 0; i < 16; ++i) {
        update(dt);
        speeds.push_back(pads->leftMotor(0));
        if (removedAt < 0 && vibration->effects().empty())
            removedAt = i;
    }
    // Updates 0-3 run the delay (elapsed 0 .. 0.375 when evaluated), 4-12 give the full
    // amount (elapsed 0.5 .. 1.5), and update 12 takes elapsed past 1.5 and removes it.
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(speeds[i], 0) << i;
    for (int i = 4; i <= 12; ++i)
        EXPECT_EQ(speeds[i], 45874) << i;
    EXPECT_EQ(speeds[13], 0);
    EXPECT_EQ(removedAt, 12);
}

TEST_F(GamepadDeviceTest, RumbleEffectFadesEachMotorFromItsOwnStartToItsOwnEnd) {
    VibrationController::RumbleEffect effect;
    effect.pad = 0;
    effect.startLeft = 1.0f;
    effect.endLeft = 0.0f;
    effect.startRight = 0.25f;
    effect.endRight = 0.75f;
    effect.duration = 1.0f;
    vibration->addEffect(effect);
    // Evaluated at elapsed 0, 0.5 and 1.
    const float levels[][2] = {{1.0f, 0.25f}, {0.5f, 0.5f}, {0.0f, 0.75f}};
    for (const auto& level : levels) {
        update(0.5f);
        EXPECT_FLOAT_EQ(vibration->leftLevel(0), level[0] * VibrationController::motorScale);
        EXPECT_FLOAT_EQ(vibration->rightLevel(0), level[1] * VibrationController::motorScale);
    }
}

TEST_F(GamepadDeviceTest, EffectWithoutLengthAddsNothing) {
    VibrationController::RumbleEffect effect;
    effect.pad = 0;
    effect.startLeft = effect.endLeft = 1.0f;
    vibration->addEffect(effect);
    update();
    EXPECT_TRUE(vibration->effects().empty());
    EXPECT_EQ(pads->leftMotor(0), 0);
}

TEST_F(GamepadDeviceTest, DestructionStopsTheMotors) {
    vibration->addAmounts(0, 1.0f, 1.0f);
    update();
    ASSERT_EQ(pads->leftMotor(0), 45874);
    gamepad.reset();
    EXPECT_EQ(pads->leftMotor(0), 0);
    EXPECT_EQ(pads->rightMotor(0), 0);
}

} // namespace
