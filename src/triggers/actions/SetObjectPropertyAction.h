#pragma once

#include "triggers/TriggerAction.h"

#include <memory>
#include <vector>

struct ExpressionNode;
class PhysicsObject;

// "Set Object Property": sets one property from a fixed table on the event's causing
// object (or ObjectID) and on every object the ObjectIDs expression names: visibility,
// flags and quantities of physics objects, the text of a 3D text, the target of a level
// camera, the camera of a camera volume, the joint of a joint object. Revert puts most of
// them back (canUndo is cleared for the others when the keys are read).
class SetObjectPropertyAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 1;
    // "PropertyName" values.
    enum Property : irr::s32 {
        PropVisible = 0, PropGold, PropSuspicious, PropKinematic, PropGrabbable, PropButton, PropLeftGrabID,
        PropPhysics, PropReflective, PropLighting, PropCameraObject, PropCameraVolume, PropPhysicsJoint,
        PropTextObject
    };
    // "PhysicsPropertyName" values.
    enum PhysicsQuantity : irr::s32 {
        QuantityMass = 0, QuantityFriction, QuantityRestitution, QuantityCanHangFrom, QuantityDynamicOnTouch,
        QuantityBlocksVision, QuantityRespawnPosition, QuantityCloneVelocity
    };
    static const char* const propertyNames[15];
    static const char* const physicsPropertyNames[9];

    explicit SetObjectPropertyAction(TriggerObject* trigger);
    ~SetObjectPropertyAction() override;

    void execute(TriggerEventInfo& event) override;
    void revert(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    irr::core::stringc ObjectIDs;
    irr::s32 PropertyName = PropVisible;
    irr::s32 PhysicsPropertyName = QuantityMass;
    irr::s32 ObjectID = 0; // Camera Object: the camera's new target ("CameraTarget")
    irr::core::stringw TextValue;
    irr::f32 floatValue = 0.0f;
    irr::f32 savedValue = 0.0f; // the previous Mass, Friction or Restitution
    irr::s32 LeftGrabObjectID = 0;
    irr::s32 CameraID = -1;
    irr::s32 RespawnPosObjectID = 0;
    irr::f32 CamTransitionSpeed = -1.0f;
    bool boolValue = true;
    bool hasExpression = true;
    irr::s32 SourceObjectID = 0;

    const std::vector<irr::scene::ISceneNode*>& getTargets() const { return targets; }

private:
    void prepareTargets();
    void apply(irr::scene::ISceneNode* object);
    void restore(irr::scene::ISceneNode* object);
    // The physics-kind rows of the two tables; `undo` takes the revert column.
    void setPhysicsProperty(PhysicsObject* object, bool undo);
    void setPhysicsQuantity(PhysicsObject* object, bool undo);
    void setCameraVolume(irr::scene::ISceneNode* object);

    std::vector<irr::scene::ISceneNode*> targets;
    std::unique_ptr<ExpressionNode> expression;
};
