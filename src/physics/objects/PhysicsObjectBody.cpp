// The physics object's body: (re)building it from its bound, the filter words of its shapes,
// compound bodies of parented objects, copying settings between objects, and the respawn
// pose recorded with every rebuild.
#include "physics/objects/PhysicsObject.h"

#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsManager.h"

#include "core/Log.h"
#include "level/MeshGate.h"
#include "level/NodeHelpers.h"
#include "level/WorldTransform.h"

#include <cmath>

using namespace irr;

namespace {

constexpr const char* cylinderMeshFile = "Content/Models/Editor/Cylinder.obj";

// The Custom group bits named by the digits 1 to 4 of a group list.
u32 collisionGroupBits(const core::stringc& groups) {
    u32 bits = 0;
    if (groups.find("1") >= 0)
        bits |= collisionCategory::Custom1;
    if (groups.find("2") >= 0)
        bits |= collisionCategory::Custom2;
    if (groups.find("3") >= 0)
        bits |= collisionCategory::Custom3;
    if (groups.find("4") >= 0)
        bits |= collisionCategory::Custom4;
    return bits;
}

u32 overrideGroupWord(s32 group) { return group >= 1 && group <= 4 ? 0x10000000u << (group - 1) : 0; }

void orShapeWord1(phys::Shape* shape, u32 bits) {
    phys::FilterData data = shape->getSimulationFilterData();
    data.word1 |= bits;
    shape->setSimulationFilterData(data);
    shape->setQueryFilterData(data);
}

} // namespace

void PhysicsObject::checkParenting(BoundType boundType) {
    (void)boundType;
    if (!physicsManager || !physicsManager->isSimulationActive() || bodySettings->boundType == BoundType::None)
        return;
    updateAbsolutePosition();
    if (actor && !userData->sharedBody)
        physicsManager->releaseActor(actor, false);
    actor = nullptr;
    bodySettings->physicsParent = nullptr;
    bodySettings->physicsParent = findPhysicsParent();
    PhysicsObject* parent = bodySettings->physicsParent;

    const core::matrix4& absolute = getAbsoluteTransformation();
    phys::Quat rotation = eulerDegreesToQuat(absolute.getRotationDegrees());
    if (!isPoseValid(rotation))
        rotation = phys::Quat();
    if (parent)
        rotation = eulerDegreesToQuat(getRotation());
    createCollisionBody(bodySettings->boundType, rotation);
    if (bodySettings->cloth)
        attachClothColliders(parent);

    if (actor) {
        setShapeUserData(userData.get());
        updateCollisionFilter(actor);
        if (!userData->sharedBody && userData->state == PhysicsState::Dynamic) {
            const core::vector3df scale = getAbsoluteTransformation().getScale();
            IgnoreParentTransform = true;
            updateAbsolutePosition();
            setScale(scale);
        }
        if (userData->sharedBody && parent) {
            phys::RigidActor* parentActor = parent->getBodyActor();
            mergeShapesIntoActor(actor, parentActor);
            if (actor && actor != parentActor) {
                actor->userData = nullptr;
                setShapeUserData(nullptr);
                physicsManager->releaseActor(actor, true);
                actor = parentActor;
                actor->userData = userData.get();
            }
            // The compound links of the two records.
            PhysicsUserData* parentRecord = parent->getUserData();
            userData->parent = parentRecord;
            if (std::find(parentRecord->children.begin(), parentRecord->children.end(), userData.get()) ==
                parentRecord->children.end())
                parentRecord->children.push_back(userData.get());
            phys::RigidDynamic* shared = actor->asRigidDynamic();
            if (shared && parentActor->asRigidDynamic())
                phys::setMassAndUpdateInertia(*shared, parentActor->asRigidDynamic()->getMass());
            if (userData->state != PhysicsState::Static && parentRecord->state == PhysicsState::Static)
                logMessagePair("ERROR: Parent PhysicsObject is static while parented object is kinematic/dynamic: ",
                               getNodeDisplayName(this).c_str());
            parent->setVisible(parent->isVisible());
        }
    }
    recordRespawnPose();
}

void PhysicsObject::createCollisionBody(BoundType boundType, const phys::Quat& rotation) {
    if (!checkPhysicsDetail() || !physicsManager)
        return;
    PhysicsBodySettings& b = *bodySettings;
    scene::IMesh* collisionMesh = nullptr;
    if (b.ColMeshFileName.empty())
        collisionMesh = meshNode ? meshNode->getMesh() : nullptr;
    else if (SceneManager)
        collisionMesh = getGameMesh(SceneManager, b.ColMeshFileName);
    const phys::Transform pose(toPhys(getAbsolutePosition()), rotation);
    const bool isStatic = userData->state == PhysicsState::Static;
    const bool isKinematic = userData->state == PhysicsState::Kinematic;
    const core::vector3df absoluteScale = getAbsoluteTransformation().getScale();
    auto smallRadius = [&] {
        if (b.Radius != 0.0f && b.Radius < 0.15f)
            b.smallBody = true;
    };
    switch (boundType) {
    case BoundType::Box:
        actor = physicsManager->createBoxActor(this, pose, b.Mass, b.Restitution, b.Friction, isStatic, isKinematic);
        centerMeshNode();
        if (isVectorSet(b.BoxExtents) && (b.BoxExtents.X < 0.3f || b.BoxExtents.Y < 0.3f || b.BoxExtents.Z < 0.3f))
            b.smallBody = true;
        break;
    case BoundType::Sphere:
        actor = physicsManager->createSphereActor(pose, b.Radius, b.Mass, b.Friction, b.Restitution, isStatic,
                                                  isKinematic);
        smallRadius();
        break;
    case BoundType::Cylinder: {
        scene::IMesh* cylinder = SceneManager ? getGameMesh(SceneManager, cylinderMeshFile) : nullptr;
        actor = physicsManager->createConvexActor(cylinder, pose, core::vector3df(b.Radius, b.Height, b.Radius), b.Mass,
                                                  b.Friction, b.Restitution, isStatic, isKinematic);
        smallRadius();
        break;
    }
    case BoundType::Capsule: {
        actor = physicsManager->createCapsuleActor(pose, b.Radius, b.Height * 0.5f, b.Mass, b.Friction, b.Restitution,
                                                   isStatic, isKinematic);
        smallRadius();
        phys::Shape* first = nullptr;
        if (actor && actor->getShapes(&first, 1, 0) == 1 && first)
            first->setLocalPose(phys::Transform(phys::Vec3(), phys::Quat(0.0f, 0.0f, std::sin(0.7853982f),
                                                                         std::cos(0.7853982f))));
        break;
    }
    case BoundType::Convex:
        actor = physicsManager->createConvexActor(collisionMesh, pose, absoluteScale, b.Mass, b.Friction,
                                                  b.Restitution, isStatic, isKinematic);
        if (actor) {
            const phys::Bounds3 bounds = actor->getWorldBounds();
            const phys::Vec3 size = bounds.maximum - bounds.minimum;
            if (size.x < 0.3f || size.y < 0.3f || size.z < 0.3f)
                b.smallBody = true;
        }
        break;
    case BoundType::Mesh:
        actor = physicsManager->createTriangleMeshActor(collisionMesh, pose, absoluteScale, b.Mass, b.Friction,
                                                        b.Restitution, isStatic);
        break;
    case BoundType::Cloth:
        buildCloth(collisionMesh, pose, absoluteScale);
        break;
    default:
        // None and unknown bounds build nothing.
        break;
    }
}

void PhysicsObject::updateCollisionFilter(phys::RigidActor* body) {
    if (!body)
        return;
    const PhysicsBodySettings& b = *bodySettings;
    if (!b.RaycastOnlyCollision) {
        const bool isStatic = userData->state == PhysicsState::Static;
        if (b.CollideOnlyTentaro)
            setActorFilterData(body, 0x10, 0x3F08);
        else if (b.IgnoreTentaroCollision)
            setActorFilterData(body, isStatic ? 0x2 : 0x1, isStatic ? 0x0FFFC08D : 0x0FFFC08F);
        else
            setActorFilterData(body, isStatic ? 0x2 : 0x1, isStatic ? 0x0FFFFF8D : 0x0FFFFF8F);
        if (const u32 group = overrideGroupWord(b.OverrideCollisionGroup))
            setActorFilterData(body, group, 0);
        if (!b.CollideWithCollisionGroups.empty())
            if (const u32 bits = collisionGroupBits(b.CollideWithCollisionGroups))
                addActorFilterBits(body, bits);
        if (!b.NoCollideIDs.empty())
            addActorFilterBits(body, filterUseCallback);
    }
    if (phys::RigidDynamic* dynamic = body->asRigidDynamic()) {
        dynamic->setLinearDamping(b.LinearDamping);
        dynamic->setAngularDamping(b.AngularDamping);
    }
    body->setActorFlag(phys::ActorFlag::DisableGravity, b.DisableGravity);
    body->userData = userData.get();
}

void PhysicsObject::setShapeUserData(PhysicsUserData* data) {
    if (!actor)
        return;
    std::vector<phys::Shape*> shapes(actor->getNbShapes());
    actor->getShapes(shapes.data(), static_cast<u32>(shapes.size()));
    for (phys::Shape* shape : shapes)
        shape->userData = data;
}

phys::Shape* PhysicsObject::getFirstShape() {
    phys::Shape* first = nullptr;
    if (actor)
        actor->getShapes(&first, 1, 0);
    return first;
}

PhysicsObject* PhysicsObject::findPhysicsParent() {
    PhysicsObject* ancestor = asPhysicsObject(findAncestorOfKind(Parent, typeId("dyno")));
    if (!ancestor || bodySettings->boundType == BoundType::None)
        return nullptr;
    if (ancestor->getBodyActor()) {
        userData->sharedBody = true;
        userData->compound = true;
        ancestor->getUserData()->compound = true;
        userData->state = ancestor->getUserData()->state;
        return ancestor;
    }
    if (userData->state != PhysicsState::Kinematic)
        logMessage(std::string("ERROR: PhysicsObject (") + getName() + ") with collision body parented to PhysicsObject (" +
                   ancestor->getName() + ") without a collision body MUST be set to kinematic!");
    return ancestor;
}

void PhysicsObject::mergeShapesIntoActor(phys::RigidActor* source, phys::RigidActor* target) {
    PhysicsObject* parent = bodySettings->physicsParent;
    if (!source || !target || !parent || source == target)
        return;
    std::vector<phys::Shape*> shapes(source->getNbShapes());
    source->getShapes(shapes.data(), static_cast<u32>(shapes.size()));
    const PhysicsBodySettings& b = *bodySettings;
    for (phys::Shape* shape : shapes) {
        phys::Material* material = nullptr;
        shape->getMaterials(&material, 1);
        core::vector3df relativeRotation = getRotation();
        core::vector3df relativePosition = getPosition();
        if (Parent != parent) {
            const core::matrix4 absolute = getAbsoluteTransformation();
            scene::ISceneNode* formerParent = Parent;
            grab();
            parent->addChild(this);
            setNodeWorldTransform(this, absolute);
            relativeRotation = getRotation();
            relativePosition = getPosition();
            formerParent->addChild(this);
            setNodeWorldTransform(this, absolute);
            drop();
        }
        const core::vector3df parentScale = parent->getScale();
        const phys::Transform local(toPhys(relativePosition * parentScale), eulerDegreesToQuat(relativeRotation));
        phys::Shape* copy = nullptr;
        // The shape's geometry, read by its kind, placed again on the target.
        auto copyAs = [&](auto geometry, bool (phys::Shape::*read)(decltype(geometry)&) const) {
            (shape->*read)(geometry);
            return target->createShape(geometry, &material, 1, local * shape->getLocalPose());
        };
        switch (shape->getGeometryType()) {
        case phys::GeometryType::Box: copy = copyAs(phys::BoxGeometry(), &phys::Shape::getBoxGeometry); break;
        case phys::GeometryType::Sphere: copy = copyAs(phys::SphereGeometry(), &phys::Shape::getSphereGeometry); break;
        case phys::GeometryType::Capsule:
            copy = copyAs(phys::CapsuleGeometry(), &phys::Shape::getCapsuleGeometry);
            break;
        case phys::GeometryType::ConvexMesh:
            copy = copyAs(phys::ConvexMeshGeometry(), &phys::Shape::getConvexMeshGeometry);
            break;
        default: break;
        }
        if (!copy)
            continue;
        copy->userData = userData.get();
        if (b.RaycastOnlyCollision)
            continue;
        if (const u32 group = overrideGroupWord(b.OverrideCollisionGroup))
            setShapeFilterData(copy, group, 0);
        else if (b.CollideOnlyTentaro)
            setShapeFilterData(copy, 0x10, 0x3F00);
        else
            setShapeFilterData(copy, 0x1, 0x0FFFFF8F);
        if (!b.CollideWithCollisionGroups.empty())
            if (const u32 bits = collisionGroupBits(b.CollideWithCollisionGroups))
                orShapeWord1(copy, bits);
        if (!b.NoCollideIDs.empty())
            orShapeWord1(copy, filterUseCallback);
    }
}

void PhysicsObject::recordRespawnPose() {
    PhysicsResetRules& r = *resetRules;
    r.respawnRotation = actor ? getAbsoluteTransformation().getRotationDegrees() : getRotation();
    if (isVectorSet(r.RespawnOverridePosition))
        r.respawnPosition = r.RespawnOverridePosition;
    else if (userData->state == PhysicsState::Dynamic && actor)
        r.respawnPosition = toEngine(actor->getGlobalPose().p);
    else
        r.respawnPosition = getAbsolutePosition();
    if (isVectorSet(r.RespawnOverrideRotation))
        r.respawnRotation = r.RespawnOverrideRotation;
}

bool PhysicsObject::excludesObject(s32 otherID) const {
    const auto& ids = bodySettings->noCollideIDs;
    return std::find(ids.begin(), ids.end(), otherID) != ids.end();
}

void PhysicsObject::copyPhysicsSettings(const PhysicsObject& source) {
    PhysicsMeshSettings& m = *meshSettings;
    const PhysicsMeshSettings& sm = *source.meshSettings;
    m.MeshFileName = sm.MeshFileName;
    m.UseAnimationFrom = sm.UseAnimationFrom;
    m.GlowParentID = sm.GlowParentID;
    m.AnimFPS = sm.AnimFPS;
    m.SpawnFrame = sm.SpawnFrame;
    m.StartFrame = sm.StartFrame;
    m.EndFrame = sm.EndFrame;
    m.AlphaOverride = sm.AlphaOverride;

    PhysicsBodySettings& b = *bodySettings;
    const PhysicsBodySettings& sb = *source.bodySettings;
    b.ColMeshFileName = sb.ColMeshFileName;
    IgnoreParentTransform = source.IgnoreParentTransform;
    b.boundType = sb.boundType;
    b.BoxExtents = sb.BoxExtents;
    b.Height = sb.Height;
    b.Radius = sb.Radius;
    b.Mass = sb.Mass;
    b.Friction = sb.Friction;
    b.Restitution = sb.Restitution;
    b.DisableGravity = sb.DisableGravity;
    b.CollideOnlyTentaro = sb.CollideOnlyTentaro;
    b.IgnoreTentaroCollision = sb.IgnoreTentaroCollision;
    b.LeftArmGrabID = sb.LeftArmGrabID;
    b.CenterMassObjectID = sb.CenterMassObjectID;
    b.TouchForceRequired = sb.TouchForceRequired;
    userData->state = source.userData->state;
    b.currentPhysicsState = b.lastPhysicsState = static_cast<s32>(source.userData->state);

    IsGrabbable = source.IsGrabbable;
    ReduceWeightOnGrab = source.ReduceWeightOnGrab;
    CanHangFrom = source.CanHangFrom;
    IsTripHazard = source.IsTripHazard;
    TurnDynamicOnTouch = source.TurnDynamicOnTouch;
    TurnDynamicOnGrab = source.TurnDynamicOnGrab;
    TouchByTentaroOnly = source.TouchByTentaroOnly;

    PhysicsResetRules& r = *resetRules;
    const PhysicsResetRules& sr = *source.resetRules;
    r.ResetIfHeight = sr.ResetIfHeight;
    r.ResetHeight = sr.ResetHeight;
    r.ResetIfDistFromSpawn = sr.ResetIfDistFromSpawn;
    r.DistanceFromSpawn = sr.DistanceFromSpawn;
    r.ResetIfPlayerCollide = sr.ResetIfPlayerCollide;
    r.ResetIfDistFromPlayer = sr.ResetIfDistFromPlayer;
    r.DistanceFromPlayer = sr.DistanceFromPlayer;
    r.SecondsAwayFromPlayer = sr.SecondsAwayFromPlayer;
    r.ResetIfAtRest = sr.ResetIfAtRest;
    r.SecondsAtRest = sr.SecondsAtRest;
    r.ResetIfOffscreen = sr.ResetIfOffscreen;
    r.SecondsOffscreen = sr.SecondsOffscreen;
    r.ResetAsKinematic = sr.ResetAsKinematic;
    r.RespawnOverridePosition = sr.RespawnOverridePosition;
    r.RespawnOverrideRotation = sr.RespawnOverrideRotation;
    r.respawnPosition = sr.respawnPosition;
    r.respawnRotation = sr.respawnRotation;

    PhysicsSuspicionSettings& s = *suspicionSettings;
    const PhysicsSuspicionSettings& ss = *source.suspicionSettings;
    s.SuspTouchAmount = ss.SuspTouchAmount;
    s.ageTimer = ss.ageTimer;
    s.SuspTouchForceRequired = ss.SuspTouchForceRequired;
    s.SuspTouchMode = ss.SuspTouchMode;
    s.SuspTouchLimit = ss.SuspTouchLimit;
    s.SuspGrabAmount = ss.SuspGrabAmount;
    s.SuspGrabLimit = ss.SuspGrabLimit;
    s.SuspHitFloorAmount = ss.SuspHitFloorAmount;
    s.SuspHitFloorLimit = ss.SuspHitFloorLimit;
    s.hitFloorRaised = ss.hitFloorRaised;
    s.SuspVelocityAmount = ss.SuspVelocityAmount;
    s.SuspVelocityInterval = ss.SuspVelocityInterval;
    s.velocityTimer = ss.velocityTimer;
    s.SuspVelocityLimit = ss.SuspVelocityLimit;
    s.SuspAtRestAmount = ss.SuspAtRestAmount;
    s.SuspAtRestTimer = ss.SuspAtRestTimer;
    s.restTime = ss.restTime;
    s.SuspAtRestLimit = ss.SuspAtRestLimit;
    s.SuspResetAmount = ss.SuspResetAmount;
    s.SuspResetLimit = ss.SuspResetLimit;

    b.SoundColEvent = sb.SoundColEvent;
    b.SoundDragEvent = sb.SoundDragEvent;
    b.SoundGrabEvent = sb.SoundGrabEvent;
    b.SoundOnDynamicEvent = sb.SoundOnDynamicEvent;

    CastShadow = source.CastShadow;
    ReceiveShadow = source.ReceiveShadow;
    HasTransparency = source.HasTransparency;
    DisableAntialiasing = source.DisableAntialiasing;
    UseLightMap = source.UseLightMap;
    UseRimShading = source.UseRimShading;
    ClipObject = source.ClipObject;
    ClipTransparent = source.ClipTransparent;
    VisibleInSublevelOnly = source.VisibleInSublevelOnly;
    TargetBias = source.TargetBias;
    caustics = source.caustics;
    HasMotionAnimators = source.HasMotionAnimators;
    setReflective(source.IsReflective);
}
