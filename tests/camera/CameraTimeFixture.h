#pragma once

#include "CameraFixture.h"

#include "core/Stopwatch.h"
#include "support/StubPlayer.h"

#include <memory>

namespace test {

// A player body that stands where it is put and reports a chosen control mode.
class PlacedBody : public StubPlayer {
public:
    using StubPlayer::StubPlayer;
    irr::s32 getControlMode() override { return controlMode; }
    void setControlsDisabled(bool disabled) override { controlsDisabled = disabled; }
    void place(const irr::core::vector3df& at) {
        setPosition(at);
        updateAbsolutePosition();
    }
    irr::s32 controlMode = 0;
    bool controlsDisabled = false;
};

// The camera fixture with a frame stopwatch the test moves (every frame lasts `frameTime`)
// and bodies put into the player list.
class CameraTimeFixture : public CameraFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // The frame stopwatch's delta becomes the seconds.
    void tick(irr::f32 seconds);
    // A body in the player list at the index.
    PlacedBody* addPlayer(const irr::core::vector3df& at, int index = 0);
    // A camera object with the position mode, below the parent (the root when null).
    CameraObject* addModeCamera(irr::s32 mode, const irr::core::vector3df& at,
                                irr::scene::ISceneNode* parent = nullptr, irr::s32 id = -1);
    // The level manager's ID map learns the nodes made since.
    void registerIDs();

    std::unique_ptr<Stopwatch> stopwatch;
};

} // namespace test
