#pragma once

#include "characters/VisionCone.h"
#include "physics/objects/PhysicsObject.h"

#include <memory>
#include <string>
#include <vector>

// A non-player character ('crct', "CharacterObject"): a physics object whose body, while it
// walks waypoints, is a capsule character controller. It owns an animated figure (the mesh
// node), a hidden lip-loop node that plays while it talks, a vision cone, a voice sound
// object, a transform child and its behaviour
// state machine, and borrows an animation profile from the level manager's cache.
//
// Each frame (OnAnimate) it follows its waypoint path through its current behaviour state,
// turns smoothly, stops for the player, and turns its head toward the player it sees.
// Characters face their -Z axis.

struct CharacterAnimation;
struct CharacterProfile;
class CharacterStateMachine;
class ExpressionNode;
class SoundObject;
class TransformNode;
class WaypointObject;

namespace phys {
class Controller;
}

// Names of the enumerations a character writes.
extern const char* const characterStateNames[];      // "Walking" .. "Discovered", "No Change"
extern const char* const characterPathBehaviorNames[]; // "One Way", "Loop", "Back Forth", "Protect", "No Change"

enum class PathBehavior : irr::s32 { OneWay = 0, Loop = 1, BackForth = 2, Protect = 3, NoChange = 4 };

// Object ID 999 in a look-target ID stands for the first local player.
constexpr irr::s32 lookTargetPlayerID = 999;

class CharacterObject : public PhysicsObject, public VisionConeOwner {
public:
    static constexpr const char* defaultMeshFile = "Content/Models/Characters/Everyman1.b3d";
    static constexpr const char* defaultAnimationFile = "Content/Models/Characters/AniEveryBody.b3d";
    static constexpr const char* lipLoopMeshFile = "Content/Models/Characters/AniEveryBodyLipLoop.b3d";
    static constexpr const char* defaultProfileFile = "Content/Models/Characters/EverymanProfile.xml";

    CharacterObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);
    ~CharacterObject() override;

    // Scene-node and physics-object operations.
    void OnRegisterSceneNode() override;
    void OnAnimate(irr::u32 timeMs) override;
    void setVisible(bool visible) override;
    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("crct"); }
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;
    void updateAnimation(bool force) override;
    void createCollisionBody(BoundType boundType, const phys::Quat& rotation) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // What the vision cone asks of the character that sees through it.
    irr::scene::ISceneNode* getVisionNode() override { return this; }
    CharacterObject* getVisionWatcher() override { return this; }
    irr::core::stringc getConeBoneName() override { return ConeBoneName.c_str(); }
    irr::s32 getVisionSuspicionType() override { return CharacterSuspicionType; }
    // Looks at player 0, saving and clearing the neck flag; and back.
    void lookAtPlayer() override;
    void restoreLookTarget() override;
    void changeVisionState(irr::s32 state) override;
    irr::s32 getVisionGlobalState() override;

    // The body. With a controller: teleport moves it, setBodyPosition only turns the node,
    // and the collision switch also switches it; without one, the node and the actor.
    void teleport(const irr::core::vector3df& position, const irr::core::vector3df& rotation);
    void setBodyPosition(const irr::core::vector3df& position, const irr::core::vector3df& rotation);
    void setCollisionEnabled(bool on);
    bool isCollisionEnabled() const;
    // The one movement primitive: moves the controller by the displacement (nothing without a
    // controller or while invisible); the kinematic objects NoCollideKinematicIDs names, and
    // dynamic objects behind them, do not block it.
    void moveController(const irr::core::vector3df& displacement);
    phys::Controller* getController() const { return controller; }
    // The controller's centre, or the node's absolute position without one.
    irr::core::vector3df getControllerPosition() const;
    irr::core::vector3df getControllerFootPosition() const;

    // Path following (the waypoint chain of ParentWaypointID).
    void setPathStart();
    void updatePlayerProximity();
    void advanceSplineTime();
    void arriveAtWaypoint();
    void updateWaypointTarget();
    // Vector from the controller to where it should go; false (and a walking character
    // stops) without a target.
    bool getDirectionToTarget(irr::core::vector3df& out);
    // A smooth turn of the node's yaw toward the horizontal direction; the cosine between the
    // new facing and the direction.
    irr::f32 turnTowards(irr::scene::ISceneNode* node, const irr::core::vector3df& direction);
    bool isBlockedByPlayer();

    // Setters of trigger actions and states.
    void setWalkSpeed(irr::f32 speed);
    void updateWalkAnimationSpeed(irr::f32 otherSpeed);
    void setLookTargetID(irr::s32 id);
    void setLookTarget(irr::scene::ISceneNode* node);
    void setParentWaypointID(irr::s32 id);
    void setWaypoint(irr::s32 id);
    // Without a target waypoint: the path goes on from the waypoint last reached (it becomes
    // the target, the next is picked and becomes the target, and the one after is picked).
    void resumePathFromLastWaypoint();
    void setSuspicionType(irr::s32 type);
    void updateHitSide(const irr::core::vector3df& hitPosition);

    // Animations and cues.
    std::string getStateAnimationName(irr::s32 state) const;
    void setStateAnimationName(irr::s32 state, const std::string& name);
    bool hasDefaultAnimations() const {
        return StoppedAnimName == "StoppedDefault" && WalkingAnimName == "WalkingDefault";
    }
    void playFoley(const std::string& name, const irr::core::vector3df& position);
    void playVoice(const std::string& name);
    // The absolute position of the ConeBoneName joint, or the character's without it.
    irr::core::vector3df getConeBonePosition() const;

    CharacterStateMachine& stateMachine() const { return *machine; }
    CharacterProfile* getProfile() const { return profile; }
    VisionCone* getVisionCone() const { return visionCone; }
    irr::scene::IAnimatedMeshSceneNode* getLipLoopNode() const { return lipLoopNode; }
    SoundObject* getVoice() const { return voice; }
    WaypointObject* getFirstWaypoint() const { return firstWaypoint; }
    WaypointObject* getTargetWaypoint() const { return targetWaypoint; }
    WaypointObject* getLastWaypoint() const { return lastWaypoint; }
    irr::scene::ISceneNode* getLookTarget() const { return lookTarget; }
    irr::s32 getPreviousLookTargetID() const { return previousLookTargetID; }
    const std::string& getReactingBackwardName() const { return reactingBackwardName; }
    const std::vector<const CharacterAnimation*>& stateAnimations(irr::s32 state) const;
    bool isPathStarted() const { return pathStarted; }
    bool isHitFromBehind() const { return hitFromBehind; }
    bool isLookingAtPlayer() const { return lookingAtPlayer; }
    const ExpressionNode* getNoCollideExpression() const { return noCollideExpression.get(); }

    // Attributes and run state (names as the level files store them).
    std::string WalkingAnimName = "WalkingDefault";
    std::string StoppedAnimName = "StoppedDefault";
    std::string ReactingAnimName = "ReactingDefault";
    std::string ConeBoneName = "headBaseJt";
    irr::f32 ConeDistance = 40.0f;
    irr::s32 ParentWaypointID = 0;
    irr::core::vector3df targetPosition;
    irr::f32 TargetSplineTime = 0.0f;
    irr::s32 LookTargetID = 0;
    PathBehavior pathBehavior = PathBehavior::Loop;
    bool IsGoingBack = false;
    irr::f32 WalkSpeed = 3.0f;
    irr::f32 pushSpeed = 3.0f;
    irr::f32 RotateSpeed = 1.0f;
    irr::f32 turnBlend = 1.0f;
    irr::f32 turnBlendRate = 0.5f;
    bool visionConeEnabled = false;
    irr::f32 visionNoticeDelay = 1.0f;
    irr::core::vector3df MeshOffset;
    irr::f32 lastMeshFrame = 0.0f;
    irr::s32 WaypointIndex = 0;
    irr::core::vector3df Direction;
    bool blockedByPlayer = false;
    bool ApplyGravityToAnimators = true;
    std::string ProfileName = defaultProfileFile;
    irr::s32 StartState = 0;
    irr::s32 CharacterSuspicionType = 7;
    std::string NoCollideKinematicIDs;
    irr::s32 talkingCount = 0;
    bool StopForTentaro = true;
    bool UseWaypoints = true;
    bool headTurningOff = false;
    bool useNeckAnimation = false;
    // The profile animation the mesh node last started.
    std::string playingAnimation;
    bool previousUseNeckAnimation = false;

    // What the behaviour states keep per character.
    irr::f32 stoppedTime = 0.0f;
    irr::f32 idleDelay = 15.0f;
    irr::f32 stuckTime = 0.0f;
    irr::f32 voiceCooldown = 0.0f;

private:
    void setUpLipLoopNode();
    void takeJointControl();
    void rebuildReactingBackwardName();
    void makeVisionCone(irr::f32 distance);
    void applyVisionSettings();
    void fillStateAnimationLists();
    void readStates(irr::io::IAttributes* in);
    void turnHead(irr::f32 step);
    void overlayLipSync();
    // A sound record's repeat point passed since the last frame, and its chance came up.
    bool isSoundDue(const std::string& name, std::wstring& path, std::string* behavior, irr::s32* subtitle) const;
    WaypointObject* waypointAlongChain(WaypointObject* first, irr::s32 steps) const;
    bool hasActiveMovementAnimator() const;

    std::unique_ptr<CharacterStateMachine> machine;
    std::string reactingBackwardName = "ReactingDefault";
    std::string constructionLevelName;
    std::vector<const CharacterAnimation*> noticingAnimations, idleAnimations, discoveredAnimations;
    WaypointObject* firstWaypoint = nullptr;
    WaypointObject* previousWaypoint = nullptr;
    WaypointObject* targetWaypoint = nullptr;
    WaypointObject* nextTarget = nullptr;
    WaypointObject* lastWaypoint = nullptr;
    irr::scene::ISceneNode* lookTarget = nullptr;
    irr::s32 previousLookTargetID = 0;
    phys::Controller* controller = nullptr;
    VisionCone* visionCone = nullptr; // held by the transform child
    TransformNode* transformChild = nullptr;
    CharacterProfile* profile = nullptr;
    SoundObject* voice = nullptr;
    bool hitFromBehind = true;
    bool lookingAtPlayer = true;
    std::unique_ptr<ExpressionNode> noCollideExpression;
    bool noCollideChanged = false;
    irr::scene::IAnimatedMeshSceneNode* lipLoopNode = nullptr;
    irr::core::quaternion headTarget, headCurrent;
    irr::u32 lastHeadTimerMs = 0;
    bool headTracking = false;
    bool pathStarted = false;
    irr::f32 turnLength = 1.0f;
    irr::f32 turnRemaining = 0.0f;
    irr::f32 turnTargetYaw = 0.0f;
    irr::core::quaternion turnStart;
    irr::u32 lastAnimationStamp = 0xFFFFFFFFu;
    bool blockedLastTime = false;
};

// The character behind a node of type 'crct', or null.
CharacterObject* asCharacter(irr::scene::ISceneNode* node);

// The frame step of path progress and turning: the frame time, the due physics steps'
// time when the frame was longer than a step, never less than one step (0.0167 s).
irr::f32 characterFrameStep();
// Gravity of the physics scene (zero without one).
irr::core::vector3df characterGravity();
