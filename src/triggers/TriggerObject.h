#pragma once

#include "level/LevelObject.h"
#include "triggers/ObjectIDExpression.h"
#include "triggers/TriggerAction.h"
#include "triggers/TriggerContact.h"

#include <map>
#include <memory>
#include <vector>

namespace phys {
class Actor;
class Shape;
} // namespace phys

class InputDevice;
class VariableObject;
struct PhysicsUserData;

// The sixteen conditions of a trigger ("TriggerCondition").
enum class TriggerCondition : irr::s32 {
    ManualActivationOnly = 0,
    Immediately,
    OnPlayerCollide,
    OnPlayerOutside,
    OnObjectInside,
    OnObjectOutside,
    OnObjectGrabbed,
    OnObjectReleased,
    OnObjectVelocity,
    OnObjectCollision,
    OnObjectPhysicsState,
    OnVariableCondition,
    OnTentaroEvent,
    OnGameSaveAttribute,
    OnPlayerInput,
    OnActiveVoice,
};

// The name tables of the trigger's enumeration keys, each ending with a null entry.
namespace triggerNames {
extern const char* const conditions[17];
extern const char* const comparisons[4];   // ComparisonType, VariableComparison
extern const char* const velocityModes[3]; // LinearCompareMode, AngularCompareMode
extern const char* const modes[4];         // ModeCondition
extern const char* const physicsStates[3]; // PhysicsState
extern const char* const sides[6];         // OnArmsCollision, OnLegsCollision
extern const char* const boundTypes[6];    // BoundType
extern const char* const playerInputs[6];  // PlayerInput
extern const char* const inputConditions[3];
extern const char* const tentaroEvents[3];
extern const char* const attributeTypes[4]; // GameAttributeType
} // namespace triggerNames

namespace TriggerCompare {
constexpr irr::s32 GreaterThan = 0;
constexpr irr::s32 LessThan = 1;
constexpr irr::s32 EqualTo = 2;
} // namespace TriggerCompare
namespace TriggerSide {
constexpr irr::s32 Right = 0;
constexpr irr::s32 Left = 1;
constexpr irr::s32 None = 2;
constexpr irr::s32 Either = 3;
constexpr irr::s32 Both = 4;
} // namespace TriggerSide
namespace TriggerBound {
constexpr irr::s32 Box = 0;
constexpr irr::s32 Sphere = 1;
constexpr irr::s32 Cylinder = 2;
constexpr irr::s32 Capsule = 3;
constexpr irr::s32 Convex = 4;
} // namespace TriggerBound
namespace TriggerPlayerInput {
constexpr irr::s32 TentaroMovement = 0;
constexpr irr::s32 DesiredGrabbing = 1;
constexpr irr::s32 SwitchModes = 2;
constexpr irr::s32 DesiredSwitchModes = 3;
constexpr irr::s32 DeviceInput = 4;
} // namespace TriggerPlayerInput
namespace TriggerMode {
constexpr irr::s32 Arms = 0;
constexpr irr::s32 Legs = 1;
constexpr irr::s32 Default = 2;
} // namespace TriggerMode
namespace TriggerAttributeType {
constexpr irr::s32 Int = 0;
constexpr irr::s32 Float = 1;
constexpr irr::s32 String = 2;
} // namespace TriggerAttributeType

// True for the trigger kinds 'trgr', 'cmrv', 'cond', 'frce' and 'chck' (all derive
// TriggerObject), and for the physics kinds 'phsx', 'apsx', 'ties' and 'crct'.
bool isTriggerKind(irr::scene::ISceneNode* node);
bool isHoldableKind(irr::scene::ISceneNode* node);
// The node as a trigger when it is a trigger kind, else null.
class TriggerObject* asTrigger(irr::scene::ISceneNode* node);

// A trigger volume ('trgr'): every frame of play it decides whether it is active (start
// expression, suspicion), evaluates one of sixteen conditions, and on the rising edge of the
// met state runs its action and starts its child events; on the falling edge it reverts what
// is marked to undo. Base of the checkpoint, camera volume, conditional trigger and force
// volume; the level information owns one.
class TriggerObject : public LevelObject {
public:
    TriggerObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);
    ~TriggerObject() override;

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("trgr"); }
    void OnAnimate(irr::u32 timeMs) override;
    void render() override {}
    const irr::core::aabbox3df& getBoundingBox() const override;
    void updateAbsolutePosition() override;

    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;
    // Copies the settings (not HasToBeThrown, ActiveInEditorOnly or the run-time state).
    void copyFrom(const TriggerObject& other);

    // --- occupancy (TriggerOccupancy.cpp) ---
    // A shape entered the volume (the main one when triggerActor is null): the new record,
    // or null for a null node, a shape already inside, or an object over its entry limit.
    virtual TriggerContact* onObjectEnter(irr::scene::ISceneNode* node,
                                          const irr::core::vector3df& entryPosition,
                                          phys::Actor* triggerActor, phys::Actor* otherActor,
                                          phys::Shape* otherShape);
    virtual void onObjectLeave(irr::scene::ISceneNode* node, phys::Actor* triggerActor,
                               phys::Actor* otherActor, phys::Shape* otherShape);
    TriggerContactList& getActiveContactList();
    TriggerContactList& getActivePreviousList();
    void snapshotContacts();
    static void clearContactList(TriggerContactList& list) { list.clear(); }

    // --- evaluation and firing (TriggerEvaluation.cpp) ---
    virtual void updateTrigger();
    void resolveObjectIDs();
    void updateActivation();
    void checkSuspicionStart();
    void reweightConditionals();
    void evaluateCondition();
    // The player's control mode and last device allow the condition (ModeCondition,
    // DeviceCondition); true without a player or a device condition.
    bool modeConditionHolds() const;
    bool deviceConditionHolds() const;
    void updateMinimumTime();
    void fireEvent(TriggerEventInfo& event);
    void fireChildEvents(irr::scene::ISceneNode* node, TriggerEventInfo& event);
    void revertEvent(TriggerEventInfo& event);
    void revertChildEvents(irr::scene::ISceneNode* node, TriggerEventInfo& event);
    // Child event delays and child conditional timers to -1.0 (through groups).
    static void stopPendingEvents(irr::scene::ISceneNode* node);
    void markRevertibleFromChildren(irr::scene::ISceneNode* node);

    // --- conditions (TriggerConditions.cpp) ---
    bool isTriggerTargetObject(const TriggerContact& contact, bool body, irr::s32 armsSide,
                               irr::s32 legsSide) const;
    void checkPlayerCollision();
    void checkObjectInside();
    // Whether the condition holds now, between two of the trigger's frames (before a physics
    // step): an object-inside condition is decided again from the contacts as they are now;
    // any other condition keeps its frame's value.
    bool conditionHoldsNow();
    void checkObjectOutside();
    void checkObjectGrabbed();
    void checkObjectReleased();
    void checkObjectVelocity();
    void checkObjectCollision();
    void checkObjectPhysicsState();
    void checkVariableCondition();
    void checkSeenByCharacter();
    void checkSuspicionGained();
    void checkGameSaveAttribute();
    void checkPlayerInput();
    void checkActiveVoice();

    // --- the volume ---
    void buildVolume();
    void rebuildVolume() { buildVolume(); }
    // A convex volume from a copy of the mesh (BoundType Convex, no mesh file); the copy
    // held before is released.
    void setConvexMeshBound(irr::scene::IMesh* mesh);
    void syncPose();
    void releaseVolume();
    phys::Actor* getMainActor() const { return mainActor; }
    // The user data the volume actors carry (the trigger in its trigger role).
    PhysicsUserData* getPhysicsUserData() const { return userData.get(); }
    phys::Actor* getSkinActor() const { return skinActor; }

    virtual const char* getEditorIconPath() const { return "Content/Models/Editor/TransGreen.png"; }
    virtual const char* getEditorIconPathAlt() const { return "Content/Models/Editor/TransRed.png"; }

    bool usesVolume() const;
    TriggerAction* getAction() const { return action.get(); }
    // Replaces the owned action (the trigger takes ownership).
    void setAction(TriggerAction* newAction);
    TriggerCondition getCondition() const { return static_cast<TriggerCondition>(TriggerConditionIndex); }

    // --- settings ---
    irr::core::stringc TriggerStartExpression;
    bool TriggerStartOnSuspicionLevel = false;
    irr::s32 ComparisonType = TriggerCompare::GreaterThan;
    irr::f32 SuspicionAmount = 5.0f;
    bool ActiveInEditorOnly = false;
    bool OnceActiveAlwaysActive = false;
    irr::s32 TriggerConditionIndex = static_cast<irr::s32>(TriggerCondition::Immediately);
    bool OnBodyCollision = true;
    irr::s32 OnArmsCollision = TriggerSide::None;
    irr::s32 OnLegsCollision = TriggerSide::None;
    irr::s32 PlayerIndex = 0;
    irr::core::stringc PhysicsObjectIDs;
    irr::core::stringc ExcludedObjectIDs; // also CharacterObjectIDs
    bool ApplyEventPerObject = false;
    irr::s32 LinearCompareMode = TriggerCompare::GreaterThan;
    irr::s32 AngularCompareMode = TriggerCompare::GreaterThan;
    irr::f32 LinearVelocity = -1.0f;
    irr::f32 AngularVelocity = -1.0f;
    irr::s32 CollisionObjectID = 0;
    irr::f32 CollisionThreshold = 50.0f;
    bool HasToBeThrown = false;
    irr::s32 PhysicsState = 0; // 0 Dynamic, 1 Kinematic
    irr::s32 VariableID = 0;
    irr::s32 CompareVariableID = 0;
    irr::s32 VariableComparison = TriggerCompare::GreaterThan;
    irr::f32 CompareValue = 0.0f;
    irr::s32 TentaroEvent = 0;
    irr::s32 GameAttributeType = TriggerAttributeType::String;
    irr::core::stringc GameAttributeName; // also InputDevice
    irr::core::stringc GameAttributeValue;
    bool AttributeOnlyStoryMode = true;
    irr::s32 PlayerInput = TriggerPlayerInput::TentaroMovement;
    irr::s32 InputButton = 0;
    irr::s32 InputCondition = 1; // 0 On Pressed, 1 Is Pressed
    irr::core::stringc VoiceTrackID;
    irr::s32 ModeCondition = TriggerMode::Default;
    irr::core::stringc DeviceCondition;
    irr::f32 MinimumTimeUntilMet = 0.0f;
    bool ResetTimerIfUnmet = false;
    bool OnceCondMetAlwaysMet = false;
    bool CreateSkin = false;
    bool GetAccurateContacts = false;
    bool ReweightConditionals = false;
    bool LimitPerObject = false;
    irr::s32 LimitPerObjectCount = 1;
    irr::s32 BoundType = TriggerBound::Box;
    irr::core::stringc ColMeshFileName;
    irr::f32 Radius = 5.0f;
    irr::f32 Height = 5.0f;

    // --- run-time state ---
    bool IsActive = true;
    bool ConditionMet = false;
    bool PrevConditionMet = false;
    irr::f32 PreCondTimer = 0.0f;
    irr::s32 frameCounter = 0;
    bool needsResolve = true;
    bool cancelled = false;
    bool revertible = false;
    // Raised by a Play Sound action of a conditional trigger while its sound plays.
    irr::s32 pauseCount = 0;
    // An Add Force action that reads the trigger's transformation keeps it updated (else a
    // trigger without a volume keeps its first frame's transformation).
    bool keepUpdatingTransform = false;

    std::unique_ptr<ExpressionNode> startTree;
    std::unique_ptr<ExpressionNode> objectsTree;
    std::unique_ptr<ExpressionNode> excludedTree;
    VariableObject* variable = nullptr;
    VariableObject* compareVariable = nullptr;
    irr::scene::ISceneNode* collisionObject = nullptr;
    InputDevice* inputDevice = nullptr;
    irr::scene::ISceneNode* releasedObject = nullptr;
    irr::scene::ISceneNode* collidingPlayer = nullptr;
    irr::s32 latchedMode = -1;
    irr::core::vector3df lastContactPosition;
    std::vector<irr::scene::ISceneNode*> watchedNodes;
    std::vector<irr::scene::ISceneNode*> excludedNodes;
    TriggerContactList mainContacts, mainPrevious, skinContacts, skinPrevious;
    std::map<irr::scene::ISceneNode*, irr::s32> entryCounts;

protected:
    // The settings and run-time keys of the trigger base (the derived kinds write their own
    // keys after them).
    void writeTriggerKeys(irr::io::IAttributes* out, irr::io::SAttributeReadWriteOptions* options) const;
    void readTriggerKeys(irr::io::IAttributes* in, irr::io::SAttributeReadWriteOptions* options);
    // "BoundType" and the keys of that bound ("Radius", "Height", "ColMeshFileName").
    void writeBoundKeys(irr::io::IAttributes* out) const;
    // The clone's own action becomes a clone of this one's, bound to the clone: a spawned
    // volume acts for itself, on what is inside it.
    void finishTriggerClone(TriggerObject* copy) const;

    std::unique_ptr<TriggerAction> action;
    phys::Actor* mainActor = nullptr;
    phys::Actor* skinActor = nullptr;
    irr::scene::IMesh* convexMesh = nullptr; // owned copy
    std::unique_ptr<PhysicsUserData> userData;
    irr::core::matrix4 lastSyncedTransform;
    bool transformSynced = false;
    irr::core::aabbox3df triggerBox{-0.5f, -0.5f, -0.5f, 0.5f, 0.5f, 0.5f};

private:
    void collectWatchedNodes();
    void collectExcludedNodes();
    bool isExcluded(irr::scene::ISceneNode* node) const;
    bool countsAsAnyObject(const TriggerContact& contact) const;
    bool objectsInside();
    void evaluateObjectsTree(const TriggerContactList* contacts, bool outside, irr::s32 playerIndex);
    bool objectsTreeValue(const TriggerContactList* contacts, bool outside, irr::s32 playerIndex);
    TriggerEventInfo buildEvent() const;
    // A volume actor of the bound from the physics manager, carrying this trigger's user data.
    phys::Actor* createVolumeActor(const irr::core::vector3df& halfExtents, irr::scene::IMesh* mesh, bool simpleShape);
};

// The comparison of a value with a reference by ComparisonType (Equal To within 1e-6,
// inclusive); false for any other mode.
bool compareTriggerValue(irr::f32 value, irr::f32 reference, irr::s32 mode);
