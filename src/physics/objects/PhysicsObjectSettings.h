#pragma once

#include "core/LoadBudget.h"
#include "render/PlanarMirror.h"

#include <irrlicht.h>

#include <algorithm>
#include <vector>

// The four settings records a physics object owns, and the names its enumerations are
// stored under in level files. Fields that have an attribute key carry its name.

namespace phys {
class Cloth;
}
namespace audio {
class Event;
}
class PhysicsObject;
class InstancedObject;

// An instance bound to a source object, with the copy it made.
struct PhysicsInstance {
    InstancedObject* instance = nullptr;
    PhysicsObject* clone = nullptr;
};

enum class BoundType : irr::s32 { Box = 0, Sphere = 1, Cylinder = 2, Capsule = 3, Convex = 4, Mesh = 5, Cloth = 6, None = 7 };

// Reset modes of the reset rules.
enum class ResetMode : irr::s32 { No = 0, Respawn = 1, JumpToPosition = 2 };

// Name tables, null-terminated, index = stored value.
extern const char* const boundTypeNames[];
extern const char* const physicsStateNames[];
extern const char* const resetModeNames[];
extern const char* const collisionGroupNames[];
extern const char* const suspTouchModeNames[];
extern const char* const detailModeNames[];

// The collision event every object without its own plays.
inline constexpr const char* defaultCollisionEvent = "GameAudio/Audio/Collisions/Wicker";

// A growable pointer array that sorts itself on the first lookup after a change and then
// binary-searches; insertion appends only what is not there yet.
template <class T> class SortedPointerArray {
public:
    bool contains(T* item) {
        sortIfNeeded();
        return std::binary_search(items.begin(), items.end(), item);
    }
    void insert(T* item) {
        if (contains(item))
            return;
        items.push_back(item);
        sorted = items.size() <= 1;
    }
    void erase(T* item) {
        sortIfNeeded();
        auto it = std::lower_bound(items.begin(), items.end(), item);
        if (it != items.end() && *it == item)
            items.erase(it);
    }
    void clear() { items.clear(); }
    size_t size() const { return items.size(); }
    const std::vector<T*>& all() const { return items; }

private:
    void sortIfNeeded() {
        if (!sorted && items.size() > 1)
            std::sort(items.begin(), items.end());
        sorted = true;
    }
    std::vector<T*> items;
    bool sorted = true;
};

struct PhysicsBodySettings {
    SortedPointerArray<PhysicsObject> touchList;
    SortedPointerArray<PhysicsObject> jointedObjects;
    SortedPointerArray<irr::scene::ISceneNode> joints;
    // Every joint object that holds this body (built or not): told when the body goes.
    SortedPointerArray<irr::scene::ISceneNode> jointHolders;
    irr::core::vector3df BoxExtents;
    irr::core::vector3df lastTargetPosition, lastTargetRotation, lastBodyPosition;
    irr::core::stringc SoundColEvent, SoundDragEvent, SoundGrabEvent, SoundOnDynamicEvent;
    irr::f32 buttonTimer = 0.0f;
    irr::f32 collisionSoundCooldown = 0.3f;
    irr::f32 TouchForceRequired = 0.0f;
    irr::f32 touchSpeedThreshold = 0.0f;
    irr::s32 LeftArmGrabID = 0;
    audio::Event* collisionEvent = nullptr;
    audio::Event* dragEvent = nullptr;
    audio::Event* grabEvent = nullptr;
    audio::Event* onDynamicEvent = nullptr;
    irr::core::stringc ColMeshFileName;
    PhysicsObject* physicsParent = nullptr;
    phys::Cloth* cloth = nullptr;
    // Per particle: its position in the physics parent's body frame (pinned particles), and
    // the positions and smooth normals of the last render-mesh update.
    std::vector<irr::core::vector3df> clothAttachments;
    std::vector<irr::core::vector3df> clothPositions;
    // What the cloth and its render mesh charged to the level's memory.
    MemoryCharge clothMemory;
    std::vector<irr::core::vector3df> clothNormals;
    irr::s32 currentPhysicsState = 0, lastPhysicsState = 0;
    BoundType boundType = BoundType::Box; // "BoundType"
    irr::core::vector3df InertiaTensor;
    irr::f32 Mass = 10.0f;
    irr::f32 Friction = 0.5f;
    irr::f32 Restitution = 0.0f;
    irr::f32 Radius = 1.0f;
    irr::f32 Height = 2.0f;
    irr::f32 LinearDamping = 0.0f, AngularDamping = 0.0f;
    irr::s32 CenterMassObjectID = 0;
    bool DisableGravity = false, CollideOnlyTentaro = false, IgnoreTentaroCollision = false,
         RaycastOnlyCollision = false;
    bool smallBody = false;
    // Set by the object-spawn action: collision cannot be switched on while it is.
    bool collisionForcedOff = false;
    irr::core::stringc CollideWithCollisionGroups;
    irr::s32 OverrideCollisionGroup = 0;
    irr::core::stringc NoCollideIDs;
    // The object IDs named by NoCollideIDs (the trigger subsystem's expression parser
    // replaces this reading once it lands).
    std::vector<irr::s32> noCollideIDs;
};

struct PhysicsResetRules {
    irr::core::vector3df respawnPosition, respawnRotation;
    irr::core::vector3df RespawnOverridePosition, RespawnOverrideRotation;
    irr::core::vector3df spawnScale{1.0f, 1.0f, 1.0f};
    irr::s32 RespawnOverridePosID = 0;
    irr::scene::ISceneNode* positionNode = nullptr;
    irr::scene::ISceneNodeAnimator* respawnEffect = nullptr;
    bool ResetAsKinematic = false;
    irr::core::vector3df spawnPosition, spawnRotation;
    irr::s32 ResetIfHeight = 0;
    irr::f32 ResetHeight = -100.0f;
    irr::s32 ResetIfDistFromSpawn = 0;
    irr::f32 DistanceFromSpawn = 10.0f;
    irr::s32 ResetIfPlayerCollide = 0;
    bool playerCollided = false;
    irr::s32 ResetIfDistFromPlayer = 0;
    irr::f32 DistanceFromPlayer = 10.0f, SecondsAwayFromPlayer = 0.0f, awayFromPlayerTimer = 0.0f;
    irr::s32 ResetIfAtRest = 0;
    irr::f32 SecondsAtRest = 0.0f, atRestTimer = 0.0f;
    irr::s32 ResetIfOffscreen = 0;
    irr::f32 SecondsOffscreen = 0.0f, offscreenTimer = 0.0f;
};

struct PhysicsSuspicionSettings {
    irr::f32 displayTimer = 0.0f;
    irr::f32 SuspTouchAmount = 0.0f;
    irr::f32 ageTimer = 3.0f;
    irr::f32 SuspTouchForceRequired = 0.0f;
    irr::s32 SuspTouchMode = 2;
    irr::s32 SuspTouchLimit = -1;
    irr::f32 SuspGrabAmount = 0.0f;
    irr::s32 SuspGrabLimit = -1;
    irr::f32 SuspHitFloorAmount = 0.0f;
    irr::f32 SuspHitFloorForce = 0.0f;
    irr::s32 SuspHitFloorLimit = -1;
    irr::f32 SuspHitFloorCeiling = 0.0f;
    bool SuspHitFloorUseCeiling = false;
    bool hitFloorRaised = false;
    irr::f32 SuspVelocityAmount = 0.0f;
    irr::f32 SuspVelocityInterval = 1.0f;
    irr::f32 velocityTimer = 0.0f;
    irr::s32 SuspVelocityLimit = -1;
    irr::f32 SuspAtRestAmount = 0.0f;
    irr::f32 SuspAtRestTimer = 3.0f;
    irr::f32 restTime = 0.0f;
    irr::s32 SuspAtRestLimit = -1;
    irr::f32 SuspResetAmount = 0.0f;
    irr::s32 SuspResetLimit = -1;
};

struct PhysicsMeshSettings {
    irr::core::stringc MeshFileName;
    irr::core::stringc UseAnimationFrom;
    irr::scene::ISceneNode* debugShapeNode = nullptr;
    irr::s32 GlowParentID = 0;
    PhysicsObject* glowParent = nullptr;
    irr::u32 instanceBindCount = 0;
    bool isSublevelOutlier = false;
    std::vector<PhysicsInstance> instances;
    irr::core::vector3df instanceCentroid;
    irr::f32 instanceCentroidTimer = 0.0f;
    irr::f32 instanceBoundsPadding = 0.0f;
    irr::f32* jointTransforms = nullptr; // 75 transforms of 12 floats
    irr::s32 materialType = 0;
    irr::u32 materialFlags = 0xFFFFFFFFu;
    irr::s32 cullingDelay = -1;
    irr::f32 grabRangeHighlight = 0.0f;
    irr::core::aabbox3df localBounds{-1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f};
    irr::core::aabbox3df CustomBounds{0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    irr::s32 highlightMode = 0;
    irr::s32 DetailMode = 0;
    irr::f32 highlightPulse = 1.0f;
    irr::f32 highlightScaleDivisor = 1.0f;
    irr::f32 AlphaOverride = 1.0f;
    irr::f32 fadeAlpha = 1.0f, fadeAlphaTarget = 1.0f;
    irr::f32 DetailDistanceLimit = 0.0f;
    irr::f32 AnimFPS = 30.0f;
    irr::s32 SpawnFrame = 0, StartFrame = 0, EndFrame = 0;
    // The animators with this ID start when the mesh animation ends (a frame animator's
    // NextAnimatorID), or when a character's standing animation chain ends; -1 none.
    irr::s32 pendingAnimatorID = -1;
    // The ID of the frame animator that last set the mesh's frames; -1 none.
    irr::s32 currentFrameAnimatorID = -1;
    // A bone-control animator drives the mesh's joints: the lights follow its joint 1.
    bool boneControlled = false;
    // What the mesh node draws, charged to the level's triangles.
    ObjectCharge drawnTriangles{LoadBudget::Triangles};
};

struct PhysicsReflection {
    irr::core::matrix4 reflectionViewMatrix;
    irr::video::ITexture* reflectionTexture = nullptr;
    bool reflectionReady = false;
    // The fixed look shown where the reflection is not drawn, looked up once: a lookup by
    // name allocates, and the mirror passes ask for it every frame.
    irr::video::ITexture* fixedReflection = nullptr;
    irr::video::ITexture* fixedDiffuse = nullptr;
    MirrorPassCulling passCulling; // what the mirror's pass leaves out
};
