#pragma once

#include "level/SceneNodeBase.h"

#include <irrlicht.h>

class AttachToMeshBoneAnimator;
class CharacterObject;
class ParticleObject;
class TriggerObject;
class VisionSightLineAffector;
struct SuspicionMeter;

// What a vision cone asks of the object that sees through it (a character). The cone only
// keeps a reference; the owner outlives it.
class VisionConeOwner {
public:
    virtual ~VisionConeOwner() = default;
    // The seeing object's node: its object ID, name, visibility and position.
    virtual irr::scene::ISceneNode* getVisionNode() = 0;
    // The key under which the owner watches in the suspicion meter.
    virtual CharacterObject* getVisionWatcher() = 0;
    // The joint of the owner's mesh the cone hangs on ("ConeBoneName").
    virtual irr::core::stringc getConeBoneName() = 0;
    // The owner's SuspicionCharacterType (the rule table's first key).
    virtual irr::s32 getVisionSuspicionType() = 0;
    // The owner turns to look at player 0 (saving and clearing its neck flag), and back to
    // its previous look target (its neck flags swapped back).
    virtual void lookAtPlayer() {}
    virtual void restoreLookTarget() {}
    // CharacterStateMachine::changeState to the state of that CharacterStateId.
    virtual void changeVisionState(irr::s32 state) { (void)state; }
    // The CharacterStateId of the owner's global state.
    virtual irr::s32 getVisionGlobalState() { return 1; }
};

// What lets a character see the player: a scene node hung on a joint of the owner's head
// that carries a cone-shaped trigger volume (a four-sided cone pointing where the head
// looks), a particle line of dots drawn from the eye to the player, and the sight logic: a
// ray from the eye to player 0 every 0.5 to 0.6 s through the physics scene (objects that
// block vision stop it), watching in the suspicion meter while in sight, noticing after
// the notice delay, raising suspicion on noticing and at the repeat interval of the
// owner's TaroSeen rule, and moving the owner to Noticing and back. Without a local
// player (always, in this program) the cone keeps its nodes in place and stays blind.
class VisionCone : public SceneNodeBase<irr::scene::ISceneNode> {
public:
    static constexpr const char* sightTexture = "Content/Particles/Vision.png";

    // Builds the joint parent (with its attach animator on the owner's cone joint), the
    // eye, the cone trigger and the sight particles under the parent node.
    VisionCone(VisionConeOwner* owner, irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager,
               irr::f32 distance);
    ~VisionCone() override;

    void OnAnimate(irr::u32 timeMs) override;
    void render() override {}
    const irr::core::aabbox3df& getBoundingBox() const override { return box; }
    void setVisible(bool visible) override;
    irr::scene::ESCENE_NODE_TYPE getType() const override { return irr::scene::ESNT_UNKNOWN; }

    // The cone's ID is its trigger's object ID; a taken ID moves on to the next free one
    // (logged).
    void setVisionConeID(irr::s32 id);
    irr::s32 getVisionConeID() const { return coneID; }
    // The two sight transitions.
    void setInSight(bool inSight);
    void setSeesPlayer(bool sees);

    // Set by the owner whenever its suspicion type or cone distance changes: the dots are
    // coloured only for the types Scientist, Exposed, ExposedLogManiac and Chef, and the
    // notice delay is the speedThreshold of the type's TaroSeen rule.
    void configureForType(irr::s32 suspicionType);
    void setEnabled(bool on) { enabled = on; }
    void setNoticeDelay(irr::f32 seconds) { noticeDelay = seconds; }

    bool isInSight() const { return inSight; }
    bool hasNoticed() const { return noticed; }
    bool isWatcherRegistered() const { return watcherRegistered; }
    irr::f32 getSeenTime() const { return seenTime; }
    irr::f32 getIntensity() const { return intensity; }
    irr::f32 getDistance() const { return distance; }
    TriggerObject* getConeTrigger() const { return coneTrigger; }
    irr::scene::ISceneNode* getEye() const { return eye; }
    irr::scene::ISceneNode* getJointParent() const { return jointParent; }
    ParticleObject* getSightParticles() const { return sightParticles; }
    AttachToMeshBoneAnimator* getBoneAnimator() const { return boneAnimator; }

    // Read by the sight-line affector.
    irr::core::vector3df eyePoint, playerPoint;
    irr::f32 seenTime = 0.0f;
    irr::f32 noticeDelay = 0.0f;
    irr::f32 intensity = 0.0f;
    irr::u32 particleCount = 0;
    bool enabled = false;
    bool inSight = false;
    bool noticed = false;

private:
    SuspicionMeter* meter() const;
    // Casts the sight ray; true when nothing blocks it.
    bool castSightRay();
    void updateSightLine();

    VisionConeOwner* owner;
    irr::core::aabbox3df box{-1, -1, -1, 1, 1, 1};
    irr::scene::ISceneNode* jointParent = nullptr;
    AttachToMeshBoneAnimator* boneAnimator = nullptr;
    irr::scene::ISceneNode* eye = nullptr;
    TriggerObject* coneTrigger = nullptr;
    ParticleObject* sightParticles = nullptr;
    VisionSightLineAffector* sightAffector = nullptr;
    irr::s32 coneID = -1;
    irr::f32 distance;
    bool quietNoticeGiven = false;
    bool pendingCalmNotice = false;
    bool watcherRegistered = false;
    irr::f32 watcherRemovalTimer = -1.0f;
    irr::f32 sightTestTimer = 0.0f;
    irr::f32 repeatTimer = 0.0f;
    irr::f32 targetIntensity = 0.0f;
    void* lastHitShape = nullptr;
    irr::s32 lastHitFace = -1;
};
