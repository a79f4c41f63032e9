#pragma once

#include "player/PlayerObject.h"

namespace test {

// A player body that answers every query with a neutral value; tests override what they
// look at.
class StubPlayer : public PlayerObject {
public:
    using PlayerObject::PlayerObject;
    irr::scene::IAnimatedMeshSceneNode* getMeshNode() override { return nullptr; }
    void setPlayerMesh(const char*) override {}
    void setLegsModeEnabled(bool) override {}
    void setArmsModeEnabled(bool) override {}
    void setWalkingEnabled(bool, irr::s32) override {}
    void setGrabbingEnabled(bool) override {}
    void setMoveArmsEnabled(bool) override {}
    bool isModeSwitchAvailable() override { return false; }
    bool isModeSwitchAvailableAlt() override { return false; }
    void setVerticalLegMovementOnly(bool) override {}
    void setHorizontalLegMovementOnly(bool) override {}
    void setStuckLimbCorrectEnabled(bool) override {}
    irr::s32 getPlayerIndex() override { return 0; }
    bool isModeSwitchBusy() override { return false; }
    bool isModeSettled() override { return true; }
    bool isMoving() override { return false; }
    irr::s32 getControlMode() override { return 0; }
    void releaseGrabbed(irr::scene::ISceneNode*, irr::s32, bool) override {}
    void switchToLegsMode() override {}
    void switchToArmsMode() override {}
    void setLimpAmount(irr::f32) override {}
    void addHeadForce(const irr::core::vector3df&, irr::s32, bool) override {}
    void addChestForce(const irr::core::vector3df&, irr::s32, bool) override {}
    void setPose(const irr::f32[7]) override {}
    void matchAnimatedPose(irr::s32) override {}
    void setKinematic(bool) override {}
    void setAnimationBlend(irr::f32, irr::f32, irr::s32) override {}
    void setPlayerTexture(irr::video::ITexture*) override {}
    void setOpaqueRenderingOnly(bool) override {}
    void setAnimationFrameRange(irr::s32, irr::s32) override {}
    irr::s32 getWeightMode() override { return 0; }
    irr::s32 getWeightModeAux() override { return 0; }
    LimbSet getLegs() override { return {}; }
    LimbSet getArms() override { return {}; }
    SuspicionMeter* getSuspicionRecord() override { return nullptr; }
    PlayerStatsRecord* getStatsRecord() override { return nullptr; }
    void notify(irr::s32) override {}
    void notify(irr::s32, irr::f32) override {}
};

} // namespace test
