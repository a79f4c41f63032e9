#pragma once

#include "triggers/TriggerAction.h"

#include <memory>
#include <vector>

struct ExpressionNode;
class PhysicsObject;
class PlayerObject;

// "Move Object": moves one level object (or the player) to the pose of a reference node, a
// pose typed into the level or the event's contact point, blending position linearly and
// rotation by slerp on a smoothstep curve over MoveDuration seconds; or, in Reset mode,
// sends physics objects back to their spawn pose. Moves in flight advance every frame.
class MoveObjectAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 8;
    enum Mode : irr::s32 { ReferenceNode = 0, Manual = 1, Contact = 2, Reset = 3 };
    static const char* const moveModeNames[5];

    // One move in flight; a record whose remaining time is negative is free.
    struct MoveRecord {
        irr::core::vector3df startPosition;
        irr::core::vector3df startRotation; // degrees
        irr::scene::ISceneNode* object = nullptr;
        irr::f32 remaining = -1.0f;
        bool savedCollision = false;
    };

    explicit MoveObjectAction(TriggerObject* trigger);
    ~MoveObjectAction() override;

    void update() override;
    void execute(TriggerEventInfo& event) override;
    void cancel() override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    // The relative position that puts the node at the world position under its parent.
    static irr::core::vector3df worldToRelativePosition(irr::scene::ISceneNode* node,
                                                        const irr::core::vector3df& world);

    const std::vector<MoveRecord>& getMoves() const { return moves; }
    const std::vector<irr::scene::ISceneNode*>& getResetTargets() const { return resetTargets; }

    irr::core::stringc ObjectIDs;
    irr::s32 MoveMode = ReferenceNode;
    irr::core::vector3df TargetPosition;
    irr::core::vector3df TargetRotation;
    irr::s32 ObjectID = 0;
    irr::s32 TargetID = 0;
    irr::f32 MoveDuration = 1.0f;
    bool smoothInterpolation = true;
    bool IgnoreRotation = false;
    bool IgnorePosition = false;
    bool DisableColWhileMoving = false;
    bool MoveTentaro = false;
    bool DropIfGrabbed = false;
    bool SetAsNewRespawnPoint = false;
    bool StopOnTriggerCancelled = false;
    bool MatchAnimatedPose = false;

private:
    void stepMove(MoveRecord& record);
    void addMove(const MoveRecord& record);
    void moveTentaro(PlayerObject* player);
    void resetObjects(irr::scene::ISceneNode* node);
    // The end of a move: collision back on, the body at rest, a new respawn point.
    void finishMove(MoveRecord& record);
    // Collision as it was before the move (on for a visible object).
    static void restoreCollision(PhysicsObject* physics, const MoveRecord& record);

    std::vector<MoveRecord> moves;
    std::vector<irr::scene::ISceneNode*> resetTargets;
    std::unique_ptr<ExpressionNode> objectIDsTree;
    irr::scene::ISceneNode* targetNode = nullptr;
    bool objectIDsPending = true;
};
