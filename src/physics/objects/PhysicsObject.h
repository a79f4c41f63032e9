#pragma once

#include "physics/objects/PhysicsObjectSettings.h"
#include "physics/world/PhysicsUserData.h"

#include "core/Delegate.h"
#include "level/LevelObject.h"
#include "phys/Phys.h"

#include <memory>

class TransformNode;
class InstancedObject;
class LevelManager;

// The base of every object with a physical body: two listener lists (the mesh child has
// been drawn; the animation was updated).
class PhysicsObjectBase : public LevelObject {
public:
    using LevelObject::LevelObject;
    DelegateList meshRenderedEvent;
    DelegateList animationUpdatedEvent;
};

// A level object with a body (type 'phsx', "PhysicsObject"): a visible mesh child
// ("MeshNode"), a body built from its bound and physics state, the rules and sounds of its
// contacts. Reading its attributes builds the body; each frame it keeps node and body in
// step. Advanced physics objects, ties and characters derive from it.
class PhysicsObject : public PhysicsObjectBase {
public:
    PhysicsObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);
    ~PhysicsObject() override;

    // Scene-node operations.
    void OnRegisterSceneNode() override;
    void OnAnimate(irr::u32 timeMs) override;
    // Draws the highlight: the mesh a second time, enlarged with the pulse, in the glow
    // material (the object registers itself for the transparent pass while highlighted).
    void render() override;
    const irr::core::aabbox3df& getBoundingBox() const override { return meshSettings->localBounds; }
    virtual bool isTrulyVisible() const;
    void setVisible(bool visible) override;
    irr::video::SMaterial& getMaterial(irr::u32 index) override;
    irr::u32 getMaterialCount() const override;
    void updateAbsolutePosition() override;
    irr::core::matrix4 getParentAbsoluteTransformation() const override;
    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("phsx"); }
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // The physics object's own operations.
    virtual irr::f32 getEffectiveAlpha() const { return meshSettings->fadeAlpha * meshSettings->AlphaOverride; }
    virtual irr::f32* getJointTransforms() { return meshSettings->jointTransforms; }
    virtual irr::u32 getHardwareJointCount() const { return hardwareJointCount; }
    virtual void updateAnimation(bool fromAnimate);
    virtual phys::RigidActor* getActor(irr::s32 index = 0) { (void)index; return actor; }
    virtual phys::RigidActor* getBodyActor() { return actor; }
    virtual phys::RigidStatic* getStaticActor();
    virtual irr::scene::IAnimatedMeshSceneNode* getMeshNode() const { return meshNode; }
    virtual PhysicsUserData* getUserData() const { return userData.get(); }
    virtual void setIgnoreParentTransform(bool ignore) { IgnoreParentTransform = ignore; }
    virtual bool getIgnoreParentTransform() const { return IgnoreParentTransform; }
    virtual void setKinematic(bool kinematic);
    virtual void setCompoundKinematic(bool kinematic);
    virtual void updatePhysics();
    virtual void updateCollisionFilter(phys::RigidActor* body);
    virtual void checkParenting(BoundType boundType);
    virtual void createCollisionBody(BoundType boundType, const phys::Quat& rotation);
    virtual void setShapeUserData(PhysicsUserData* data);
    virtual void centerMeshNode();
    virtual bool checkPhysicsDetail() const;

    // Body operations: the one way the rest of the game moves, turns, switches, pushes and
    // reweighs the body. A dynamic body is moved through the physics library, a kinematic
    // one through its node (the synchronisation carries the pose to the body), a static one
    // not at all. Each is a no-op without an actor, except for a None bound, which moves
    // its node.
    virtual void teleport(const irr::core::vector3df& position);
    // The same rotation twice: as a quaternion for a dynamic body, as Euler degrees for the
    // node. An invalid quaternion keeps a dynamic body's rotation.
    virtual void setBodyRotation(const phys::Quat& rotation, const irr::core::vector3df& eulerDegrees);
    // Simulation and query flags of every shape; wakes (true) or sleeps (false) a free body.
    // While collisionForcedOff is set the flags stay off.
    virtual void setCollisionEnabled(bool enable);
    virtual bool isCollisionEnabled();
    // Queued through the physics manager for the next step.
    void addForceAndTorque(const irr::core::vector3df& force, const irr::core::vector3df& torque,
                           phys::ForceMode forceMode, phys::ForceMode torqueMode, bool continuous);
    void scaleLinearVelocity(irr::f32 factor);
    // Stores "Mass" and applies it; a set "InertiaTensor" replaces the computed inertia.
    void setMass(irr::f32 mass);
    // "Friction" and "Restitution" onto the object's own shapes (the caller ensures an actor).
    void updatePhysicsMaterial();

    // Body and parenting helpers.
    void copyPhysicsSettings(const PhysicsObject& source);
    PhysicsObject* findPhysicsParent();
    void mergeShapesIntoActor(phys::RigidActor* source, phys::RigidActor* target);
    void recordRespawnPose();
    // True when the object's exclusion list names the ID.
    bool excludesObject(irr::s32 otherID) const;

    // Per-frame update and synchronisation.
    void syncNodeFromActor(phys::RigidActor* body, PhysicsObject* node);
    void applyKinematicChange(bool kinematic);
    // Switches the motion animators off; the engine's, which have no switch, leave the node.
    void switchOffMotionAnimators();
    // While a switch waits for the next frame, the object is on the checkpoint-save list.
    void joinCheckpointSave();
    void leaveCheckpointSave();
    void prepareCheckpointSave();
    void syncBodyWithNode(irr::u32 timeMs);

    // Contact response.
    void handleContact(PhysicsObject* other, irr::f32 speedSquared, bool begin, irr::f32 impulse);
    void playCollisionSound(PhysicsObject* other, irr::f32 speedSquared, irr::f32 impulse);
    void stopDragSound(PhysicsObject* other);
    bool isGrabbableNow() const;
    bool isTripHazardArmed() const { return IsTripHazard && holdCount == 0; }

    // Reset rules and respawn: the rules run each frame; a reset shrinks the object for a
    // second, then respawn puts it back at its respawn pose and grows it in again.
    void applyResetRules();
    void requestReset();
    void respawn();
    bool checkResetHeight();
    bool checkResetDistFromSpawn(bool result);
    bool checkResetDistFromPlayer(bool result);
    bool checkResetAtRest(bool result);
    bool checkResetOffscreen(bool result);
    void createRespawnEffect();
    void beginRespawnScale();

    // Touches, holds and joint links.
    void setGrabEnabled(bool value);
    // Counts a limb in (add) or out on this object and up its glow chain.
    void changeGrabCount(bool kindOne, bool add);
    // Records hits from now on (faster than the threshold, squared speed); the list is
    // emptied at the end of every update.
    void enableTouchTracking(irr::f32 speedThreshold);
    void recordTouch(PhysicsObject* other);
    bool wasTouchedBy(PhysicsObject* object);
    // Whether a hit came from something not in the list (any hit for an empty list); a null
    // entry is a hit by the first player.
    bool wasTouchedByOther(const std::vector<irr::scene::ISceneNode*>& list);
    void clearTouchList();
    void addJointLink(irr::scene::ISceneNode* other, irr::scene::ISceneNode* joint);
    void removeJointLink(irr::scene::ISceneNode* other, irr::scene::ISceneNode* joint);
    static void collectJointedGroup(PhysicsObject* object, std::vector<PhysicsObject*>& found,
                                    std::vector<PhysicsObject*>& visited);
    bool canCollideWith(irr::s32 id) const;
    void linkUserData();
    void copyVelocities(PhysicsObject* other);

    // Grab notification, highlight and the per-frame visual update.
    virtual void notifyGrab(bool grabbed, irr::core::vector3df grabPoint);
    void updateHighlightMode();
    void setHighlightTexture(irr::s32 mode);
    void inheritHighlightMode();
    void updateVisualState();
    virtual void updateMaterials(bool force);

    // Mesh, visibility and skinning.
    void updateMesh();
    bool hasMotionAnimators() const;
    void updateCollisionDebugNode();
    void updateJointTransforms();
    void updateHardwareJointCount();
    void allocateJointTransforms();
    irr::core::aabbox3df computeAnimatedBounds();
    void applyCustomBounds();
    void startPendingAnimator();
    static void findHelperNodes(PhysicsObject* source, PhysicsObject* copy);
    // Swaps the mesh at run time, keeping the mesh node's position and frame loop.
    virtual void reloadMesh(const irr::core::stringc& fileName);
    void updateShadowLayers();
    void setLighting(bool on);
    // The point on the mesh's surface nearest a hand at the point, when within 0.8.
    bool findSurfacePoint(const irr::core::vector3df& point, irr::core::vector3df& hit, irr::f32& distance);
    void removeDebugChildren() override;
    phys::RigidDynamic* getDynamicActor();

    // Instanced drawing.
    void registerInstance(InstancedObject* instance);
    void unregisterInstance(InstancedObject* instance);
    void buildInstancedMesh();
    // Lets go of the merged buffer and of the driver's copy of it.
    void releaseInstancedBuffer();
    void updateInstancedBounds();
    void updateInstanceCentroid();
    void removeMeshNodeFromShadowPasses();
    // The mesh node's transform, then one per listed copy (zero for a hidden one), while
    // the object draws merged.
    bool getInstanceTransforms(std::vector<irr::core::matrix4>& out) const;
    irr::scene::ISceneNode* getInstancedMeshNode() const { return instancedMeshNode; }
    PhysicsObject* getInstanceSource() const { return instanceSource; }
    phys::Shape* getFirstShape();
    // Raises suspicion by the amount at the centre of the node's bounds; whether it rose.
    bool raiseSuspicion(irr::f32 amount);

    // Mesh.
    void replaceMeshNode(const irr::core::stringc& previous);
    void loadMesh();
    void updateLocalBounds();
    // Reflection: switching it on registers the mirror pass with the effect handler.
    // Cloth: pins the particles inside the parent's shapes to its body; rebuilds the render
    // mesh from the particles (smooth normals).
    void attachClothColliders(PhysicsObject* parent);
    void updateClothMesh();
    void pinClothToParent();
    void buildCloth(irr::scene::IMesh* mesh, const phys::Transform& pose, const irr::core::vector3df& scale);
    phys::Cloth* getCloth() const { return bodySettings->cloth; }
    void setReflective(bool on);
    void renderReflection();
    // The part of the mirrored picture the mirror's surface reads (the camera's projection x
    // the mirrored view); the rest of its pass need not be drawn.
    PictureWindow readWindow(const irr::core::matrix4& projection, const irr::core::matrix4& view) const;
    void updateReflectionLayer();
    void clearReflectionLayer();
    // The mirror's plane (the local XZ plane in world space) and a point mirrored across it.
    irr::core::plane3df mirrorPlane() const;
    irr::core::vector3df mirrorPoint(const irr::core::vector3df& point) const;
    const PhysicsReflection& getReflection() const { return *reflection; }

    PhysicsState getPhysicsState() const { return userData->state; }
    void setPhysicsState(PhysicsState state) { userData->state = state; }
    BoundType getBoundType() const { return bodySettings->boundType; }
    void setBoundType(BoundType type) { bodySettings->boundType = type; }

    PhysicsBodySettings& body() { return *bodySettings; }
    const PhysicsBodySettings& body() const { return *bodySettings; }
    PhysicsResetRules& reset() { return *resetRules; }
    const PhysicsResetRules& reset() const { return *resetRules; }
    PhysicsSuspicionSettings& suspicion() { return *suspicionSettings; }
    const PhysicsSuspicionSettings& suspicion() const { return *suspicionSettings; }
    PhysicsMeshSettings& mesh() { return *meshSettings; }
    const PhysicsMeshSettings& mesh() const { return *meshSettings; }
    TransformNode* getIgnoreNode() const { return ignoreNode; }

    irr::f32 TargetBias = 1.0f;
    irr::f32 respawnEffectTimer = -1.0f;
    irr::s32 holdCount = 0;
    irr::s32 limbTouchCounts[2] = {0, 0};
    irr::u32 activeInstanceCount = 0;
    irr::u32 hardwareJointCount = 0;
    irr::f32 lifetime = 0.0f;
    bool IsGrabbable = false;
    bool ReduceWeightOnGrab = true;
    bool TurnDynamicOnGrab = false;
    bool TurnDynamicOnTouch = false;
    bool TouchByTentaroOnly = false;
    bool CanHangFrom = false;
    bool IsButton = false;
    bool IsTripHazard = false;
    bool thrown = false;
    bool IsGold = false;
    bool alwaysVisible = false;
    bool HasTransparency = false;
    bool DisableAntialiasing = false;
    bool IsReflective = false;
    bool CastShadow = true;
    bool ReceiveShadow = true;
    bool caustics = false;
    bool UseLightMap = false;
    bool UseRimShading = true;
    bool ClipObject = true;
    bool ClipTransparent = true;
    bool VisibleInSublevelOnly = false;
    bool meshNodeInShadowPasses = false;
    bool linkUpPending = true;
    bool HasMotionAnimators = false;
    bool IgnoreParentTransform = false;
    bool touchTracking = false;
    bool pendingKinematic = false;
    LevelManager* checkpointSaveManager = nullptr; // whose checkpoint-save list it joined
    bool ChangeBlocksVision = false;
    bool BlocksVision = true;
    bool RecalculateBounds = false;
    bool plainShading = true;
    bool isInstance = false;
    bool instanceBuildPending = false;
    irr::u32 lastAnimateMs = 0;
    bool ignoreNodeDetached = false;

protected:
    TransformNode* ignoreNode = nullptr;
    irr::scene::IAnimatedMeshSceneNode* meshNode = nullptr;
    irr::scene::ISceneNode* instancedMeshNode = nullptr;
    PhysicsObject* instanceSource = nullptr;
    irr::scene::IAnimatedMesh* instancedMesh = nullptr;
    // The merged buffer, held so that the driver's copy of it goes with the object.
    irr::scene::IMeshBuffer* instancedBuffer = nullptr;
    phys::RigidActor* actor = nullptr;
    std::unique_ptr<PhysicsUserData> userData;
    std::unique_ptr<PhysicsBodySettings> bodySettings;
    std::unique_ptr<PhysicsResetRules> resetRules;
    std::unique_ptr<PhysicsReflection> reflection;
    std::unique_ptr<PhysicsSuspicionSettings> suspicionSettings;
    std::unique_ptr<PhysicsMeshSettings> meshSettings;

private:
    void applySpawnFrameCorrection();
    bool isCharacter() const { return getType() == typeId("crct"); }
};

// A rotation goes to the physics library only when its four components are finite and its
// length is within 0.01 of 1.
bool isPoseValid(const phys::Quat& rotation);
// A vector counts as set when a component differs from 0 by more than 1e-6.
bool isVectorSet(const irr::core::vector3df& v);
// Sets the alpha byte of every vertex colour of the mesh; true, also for a null mesh.
bool setMeshVertexAlpha(irr::scene::IMesh* mesh, irr::u32 alpha);
// Euler angles in degrees to a quaternion through the engine's conversion (factor 0.01745).
phys::Quat eulerDegreesToQuat(const irr::core::vector3df& degrees);
// The physics object behind a node (its type is a physics kind), or null.
PhysicsObject* asPhysicsObject(irr::scene::ISceneNode* node);
// The physics object that owns the node's body record, or null: a node of any class without
// such a record answers null, whatever its type says.
PhysicsObject* findPhysicsObjectOfNode(const irr::scene::ISceneNode* node);

// The frame stopwatch's delta in seconds (0 without it).
irr::f32 objectFrameSeconds();

// Registers the "PhysicsObject" row and the physics slots of the level subsystem.
void registerPhysicsObjectTypes();
