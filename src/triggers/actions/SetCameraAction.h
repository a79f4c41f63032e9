#pragma once

#include "triggers/TriggerAction.h"

class CameraManager;
class CameraObject;

// "Set Camera": hands a level camera to a camera manager. With UndoOnTriggerRevert the
// camera is pushed as an override camera that the trigger's revert removes again; without
// it, execute switches cameras once. A camera trigger volume passes itself as the source.
class SetCameraAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 22;
    explicit SetCameraAction(TriggerObject* trigger);

    void update() override { resolveCamera(); }
    void execute(TriggerEventInfo& event) override;
    void revert(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    // Looks CameraID up once it names a camera; an ID that names none is cleared once the
    // level plays, so that it is not looked up every frame.
    void resolveCamera();
    CameraObject* getCamera() const { return camera; }
    void clearCamera() { camera = nullptr; }

    irr::s32 CameraID = 0;
    irr::f32 CamTransitionSpeed = 1.0f;
    bool ForceCrossfade = false;

private:
    // The camera manager of the player that set the trigger off (split screen), else the
    // first one.
    CameraManager* managerFor(const TriggerEventInfo& event) const;

    CameraObject* camera = nullptr;
};

// The action as a Set Camera action (its type, made by this class), or null.
SetCameraAction* asSetCameraAction(TriggerAction* action);
