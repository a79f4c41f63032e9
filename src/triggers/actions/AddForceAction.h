#pragma once

#include "triggers/TriggerAction.h"

#include <vector>

namespace phys {
class Actor;
}
struct TriggerContact;
class PhysicsObject;

// "Add Force": pushes physics objects named by IDs or found inside the owning trigger with
// a linear force and a torque in one of the four force modes, and the player's body parts
// with forces of their own. It fires once (execute) or acts every frame while its trigger
// is met (AddContinuously). Owned by a force volume it can also repel from the volume and
// lift objects inside it like a liquid (buoyancy).
class AddForceAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 10;
    enum Target : irr::s32 { Objects = 0, Tentaro = 1, ObjectsAndTentaro = 2 };
    static const char* const targetNames[4];
    static const char* const forceModeNames[5];

    explicit AddForceAction(TriggerObject* trigger);
    ~AddForceAction() override;

    void update() override;
    void execute(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    void resolveTargets();
    const std::vector<irr::scene::ISceneNode*>& getTargets() const { return targets; }

    irr::core::stringc ObjectIDs;
    irr::s32 ObjectID = 0;
    irr::core::vector3df LinearForce, LinearForceMax, AngularForce, AngularForceMax;
    irr::core::vector3df WholeBodyForce, LeftLegForce, RightLegForce, LeftArmForce, RightArmForce, ChestForce,
        HeadForce;
    irr::s32 LinearForceMode = 0;
    irr::s32 AngularForceMode = 0;
    irr::s32 TentaroForceMode = 3;
    irr::s32 ForceMode = ObjectsAndTentaro;
    irr::f32 VelocityMultiplier = 1.0f;
    irr::f32 AngVelocityMultiplier = 1.0f;
    bool AddContinuously = false;
    bool ApplyLocally = false;
    bool RepelTentaro = false;
    bool RepelObjects = false;
    bool ReflectObject = false;
    bool AllowRange = false;
    bool ApplyMouseMovement = false;
    bool ApplyBuoyancy = false;
    irr::f32 ObjectDensity = 500.0f;

private:
    bool ownedByVolume() const;
    void cacheOwnerRotation();
    irr::core::vector3df localizeForce(const irr::core::vector3df& force) const;
    // The force multiplied by the unit direction from the owner to the position.
    irr::core::vector3df repel(const irr::core::vector3df& force, const irr::core::vector3df& position) const;
    void applyToObject(irr::scene::ISceneNode* node);
    void applyToTargets();
    void applyToPlayer();
    void applyToPlayerPart(const TriggerContact& contact);
    // Buoyancy runs before each physics step: on one body, on all the action lifts, and as
    // the physics manager's step work for the owner trigger.
    void applyBuoyancy(phys::Actor* actor);
    void applyBuoyancyToAll();
    static void buoyancyStep(irr::scene::ISceneNode& owner);
    bool isContactCounted(const TriggerContact& contact) const;

    std::vector<irr::scene::ISceneNode*> targets;
    irr::scene::ISceneNode* objectNode = nullptr;
    irr::core::vector3df ownerRotation;
    bool idsPending = false;
    bool idPending = true;
};
