#pragma once

#include <irrlicht.h>

// Flies a camera with the mouse and the keyboard for looking around a running level: the
// mouse turns it (re-centring the cursor), the mapped keys move it along its view and
// sideways at `moveSpeed` units a second of the frame stopwatch. It animates only the
// active camera, and only once the frame is drawn (render stage 1).
class FreeFlyCameraAnimator : public irr::scene::ISceneNodeAnimatorCameraFPS {
public:
    enum Action { MoveForward = 0, MoveBackward, StrafeLeft, StrafeRight, Jump, Crouch, ActionCount };

    FreeFlyCameraAnimator(irr::gui::ICursorControl* cursorControl, irr::f32 rotateSpeed, irr::f32 moveSpeed,
                          irr::f32 jumpSpeed, const irr::SKeyMap* keyMap, irr::u32 keyCount,
                          bool noVerticalMovement);
    ~FreeFlyCameraAnimator() override;

    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    bool isEventReceiverEnabled() const override { return true; }
    bool OnEvent(const irr::SEvent& event) override;
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override { return irr::scene::ESNAT_CAMERA_FPS; }

    irr::f32 getMoveSpeed() const override { return moveSpeed; }
    void setMoveSpeed(irr::f32 speed) override { moveSpeed = speed; }
    irr::f32 getRotateSpeed() const override { return rotateSpeed; }
    void setRotateSpeed(irr::f32 speed) override { rotateSpeed = speed; }
    void setKeyMap(irr::SKeyMap* map, irr::u32 count) override;
    void setKeyMap(const irr::core::array<irr::SKeyMap>& map) override { keyMap = map; }
    const irr::core::array<irr::SKeyMap>& getKeyMap() const override { return keyMap; }
    void setVerticalMovement(bool allow) override { noVerticalMovement = !allow; }
    void setInvertMouse(bool invert) override { mouseYDirection = invert ? -1.0f : 1.0f; }

    bool isKeyHeld(Action action) const { return cursorKeys[action]; }

private:
    irr::gui::ICursorControl* cursorControl = nullptr;
    irr::f32 maxVerticalAngle = 88.0f;
    irr::f32 moveSpeed;
    irr::f32 rotateSpeed;
    irr::f32 jumpSpeed;
    irr::f32 mouseYDirection = 1.0f;
    irr::u32 lastAnimationTime = 0;
    irr::core::array<irr::SKeyMap> keyMap;
    irr::core::position2df centerCursor;
    irr::core::position2df cursorPos;
    bool cursorKeys[ActionCount] = {};
    bool firstUpdate = true;
    bool firstInput = true;
    bool noVerticalMovement;
};
