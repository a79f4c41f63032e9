// The physics object's attributes in level files, binary levels and checkpoints: the
// writer leaves out values at their defaults (unless the editor asks for every value), the
// reader keeps fields whose keys are absent, reads the old keys, and rebuilds the body.
#include "physics/objects/PhysicsObject.h"

#include "core/Log.h"
#include "core/SoundManager.h"
#include "core/Globals.h"
#include "level/AttributeExtras.h"
#include "level/NodeHelpers.h"
#include "level/SceneNodeBase.h"

#include <cmath>

using namespace irr;

namespace {

bool attributeNotZero(f32 v) { return std::fabs(v) > 1e-6f; }

bool vectorNotZero(const core::vector3df& v) {
    return attributeNotZero(v.X) || attributeNotZero(v.Y) || attributeNotZero(v.Z);
}

// An enumeration by name; a name the table lacks is logged and the field kept.
void readPhysicsEnum(io::IAttributes* in, const char* key, const char* const* names, s32& value,
                     scene::ISceneNode* owner) {
    const s32 index = in->findAttribute(key);
    if (index < 0)
        return;
    const s32 found = in->getAttributeAsEnumeration(index, names);
    if (found >= 0) {
        value = found;
        return;
    }
    logMessage((core::stringc("Warning: Unknown ") + key + " \"" + in->getAttributeAsString(index) + "\" in " +
               getNodeDisplayName(owner) + "; it stays \"" + names[value] + "\".").c_str());
}

template <class E> void readEnumField(io::IAttributes* in, const char* key, const char* const* names, E& field,
                                      scene::ISceneNode* owner) {
    s32 value = static_cast<s32>(field);
    readPhysicsEnum(in, key, names, value, owner);
    field = static_cast<E>(value);
}

void readStringKey(io::IAttributes* in, const char* key, core::stringc& value) { readIfPresent(in, key, value); }

// The object IDs of an exclusion list: the numbers in the text.
std::vector<s32> parseExclusionIDs(const core::stringc& text) {
    std::vector<s32> ids;
    const char* p = text.c_str();
    while (*p) {
        if ((*p >= '0' && *p <= '9') || (*p == '-' && p[1] >= '0' && p[1] <= '9')) {
            char* end = nullptr;
            const long v = std::strtol(p, &end, 10);
            ids.push_back(static_cast<s32>(v));
            p = end;
        } else {
            ++p;
        }
    }
    return ids;
}

} // namespace

void PhysicsObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    if (!out)
        return;
    const bool all = isEditorWrite(options);
    const PhysicsBodySettings& b = *bodySettings;
    const PhysicsResetRules& r = *resetRules;
    const PhysicsSuspicionSettings& s = *suspicionSettings;
    const PhysicsMeshSettings& m = *meshSettings;
    const bool character = isCharacter();
    const PhysicsState state = userData->state;

    if (!Name.empty())
        out->addString("Name", Name.c_str());
    if (ID != 0 && ID != -1)
        out->addInt("Id", ID);
    out->addVector3d("Position", all ? RelativeTranslation : r.spawnPosition);
    out->addVector3d("Rotation", all ? RelativeRotation : r.spawnRotation);
    out->addVector3d("Scale", r.spawnScale);
    if (all || IgnoreParentTransform)
        out->addBool("IgnoreParentTransform", IgnoreParentTransform);
    out->addBool("Visible", IsVisible);
    if (all || !VisibleInEditor)
        out->addBool("VisibleInEditor", VisibleInEditor);
    if (all || AutomaticCullingState != scene::EAC_BOX)
        addCullingAttribute(out, "AutomaticCulling", AutomaticCullingState);
    if (all || DebugDataVisible != 0)
        out->addInt("DebugDataVisible", DebugDataVisible);
    if (all || !Pickable)
        out->addBool("Pickable", Pickable);
    if (all || VisibleInSublevelOnly)
        out->addBool("VisibleInSublevelOnly", VisibleInSublevelOnly);
    if (all || m.DetailMode != 0)
        out->addEnum("DetailMode", m.DetailMode, detailModeNames);
    if (all || m.DetailDistanceLimit > 0.0f)
        out->addFloat("DetailDistanceLimit", m.DetailDistanceLimit);
    addFilePath(out, "MeshFileName", m.MeshFileName.c_str());
    if (all || !m.UseAnimationFrom.empty())
        addFilePath(out, "UseAnimationFrom", m.UseAnimationFrom.c_str());

    out->addEnum("BoundType", static_cast<s32>(b.boundType), boundTypeNames);
    switch (b.boundType) {
    case BoundType::Box: out->addVector3d("BoxExtents", b.BoxExtents); break;
    case BoundType::Sphere: out->addFloat("Radius", b.Radius); break;
    case BoundType::Cylinder:
    case BoundType::Capsule:
        out->addFloat("Radius", b.Radius);
        out->addFloat("Height", b.Height);
        break;
    case BoundType::Convex:
    case BoundType::Mesh:
    case BoundType::Cloth: addFilePath(out, "ColMeshFileName", b.ColMeshFileName.c_str()); break;
    default: break;
    }

    if (b.boundType != BoundType::None) {
        if (!character) {
            out->addEnum("PhysicsState", static_cast<s32>(state), physicsStateNames);
            out->addFloat("Mass", b.Mass);
            out->addFloat("Friction", b.Friction);
            if (all || b.Restitution != 0.0f)
                out->addFloat("Restitution", b.Restitution);
            if (all || b.LinearDamping != 0.0f)
                out->addFloat("LinearDamping", b.LinearDamping);
            if (all || b.AngularDamping != 0.0f)
                out->addFloat("AngularDamping", b.AngularDamping);
            if (all || vectorNotZero(b.InertiaTensor))
                out->addVector3d("InertiaTensor", b.InertiaTensor);
            if (all || b.CenterMassObjectID != 0)
                addObjectReference(out, "CenterMassObjectID", b.CenterMassObjectID);
            if (all || b.OverrideCollisionGroup != 0)
                out->addEnum("OverrideCollisionGroup", b.OverrideCollisionGroup, collisionGroupNames);
            if (all || !b.CollideWithCollisionGroups.empty())
                out->addString("CollideWithCollisionGroups", b.CollideWithCollisionGroups.c_str());
            if (all || !b.NoCollideIDs.empty())
                out->addString("NoCollideIDs", b.NoCollideIDs.c_str());
        }
        if (all || b.DisableGravity)
            out->addBool("DisableGravity", b.DisableGravity);
        if (!b.IgnoreTentaroCollision && !character && (all || b.CollideOnlyTentaro))
            out->addBool("CollideOnlyTentaro", b.CollideOnlyTentaro);
        if (!b.CollideOnlyTentaro && (all || b.IgnoreTentaroCollision))
            out->addBool("IgnoreTentaroCollision", b.IgnoreTentaroCollision);
        if (all || b.RaycastOnlyCollision)
            out->addBool("RaycastOnlyCollision", b.RaycastOnlyCollision);
        if (state != PhysicsState::Static) {
            if (all || !b.SoundColEvent.empty())
                out->addString("SoundColEvent", b.SoundColEvent.c_str());
            if (all || !b.SoundDragEvent.empty())
                out->addString("SoundDragEvent", b.SoundDragEvent.c_str());
            if (all || !b.SoundGrabEvent.empty())
                out->addString("SoundGrabEvent", b.SoundGrabEvent.c_str());
            if (all || !b.SoundOnDynamicEvent.empty())
                out->addString("SoundOnDynamicEvent", b.SoundOnDynamicEvent.c_str());
        }
        if (!character) {
            if (all || IsGrabbable)
                out->addBool("IsGrabbable", IsGrabbable);
            if (IsGrabbable) {
                if (all || b.LeftArmGrabID != 0)
                    addObjectReference(out, "LeftArmGrabID", b.LeftArmGrabID);
                if (all || !ReduceWeightOnGrab)
                    out->addBool("ReduceWeightOnGrab", ReduceWeightOnGrab);
                if (all || TurnDynamicOnGrab)
                    out->addBool("TurnDynamicOnGrab", TurnDynamicOnGrab);
                if (all || IsButton)
                    out->addBool("IsButton", IsButton);
                if (all || CanHangFrom)
                    out->addBool("CanHangFrom", CanHangFrom);
                if (all || m.GlowParentID != 0)
                    addObjectReference(out, "GlowParentID", m.GlowParentID);
            }
            if (all || TurnDynamicOnTouch)
                out->addBool("TurnDynamicOnTouch", TurnDynamicOnTouch);
            if (TurnDynamicOnTouch) {
                out->addFloat("TouchForceRequired", b.TouchForceRequired);
                out->addBool("TouchByTentaroOnly", TouchByTentaroOnly);
            }
            if (all || IsGold)
                out->addBool("IsGold", IsGold);
            if (all || IsTripHazard)
                out->addBool("IsTripHazard", IsTripHazard);
            if (all || TargetBias != 1.0f)
                out->addFloat("TargetBias", TargetBias);

            if (all || s.SuspTouchAmount != 0.0f)
                out->addFloat("SuspTouchAmount", s.SuspTouchAmount);
            if (s.SuspTouchAmount != 0.0f) {
                out->addFloat("SuspTouchForceRequired", s.SuspTouchForceRequired);
                out->addEnum("SuspTouchMode", s.SuspTouchMode, suspTouchModeNames);
                out->addInt("SuspTouchLimit", s.SuspTouchLimit);
            }
            if (all || s.SuspGrabAmount != 0.0f)
                out->addFloat("SuspGrabAmount", s.SuspGrabAmount);
            if (s.SuspGrabAmount != 0.0f)
                out->addInt("SuspGrabLimit", s.SuspGrabLimit);
            if (all || s.SuspHitFloorAmount != 0.0f)
                out->addFloat("SuspHitFloorAmount", s.SuspHitFloorAmount);
            if (s.SuspHitFloorAmount != 0.0f) {
                out->addFloat("SuspHitFloorForce", s.SuspHitFloorForce);
                out->addInt("SuspHitFloorLimit", s.SuspHitFloorLimit);
                out->addBool("SuspHitFloorUseCeiling", s.SuspHitFloorUseCeiling);
                if (s.SuspHitFloorUseCeiling)
                    out->addFloat("SuspHitFloorCeiling", s.SuspHitFloorCeiling);
            }
            if (all || s.SuspVelocityAmount != 0.0f)
                out->addFloat("SuspVelocityAmount", s.SuspVelocityAmount);
            if (s.SuspVelocityAmount != 0.0f) {
                out->addFloat("SuspVelocityInterval", s.SuspVelocityInterval);
                out->addInt("SuspVelocityLimit", s.SuspVelocityLimit);
            }
            if (all || s.SuspAtRestAmount != 0.0f)
                out->addFloat("SuspAtRestAmount", s.SuspAtRestAmount);
            if (s.SuspAtRestAmount != 0.0f) {
                out->addFloat("SuspAtRestTimer", s.SuspAtRestTimer);
                out->addInt("SuspAtRestLimit", s.SuspAtRestLimit);
            }
            if (all || s.SuspResetAmount != 0.0f)
                out->addFloat("SuspResetAmount", s.SuspResetAmount);
            if (s.SuspResetAmount != 0.0f)
                out->addInt("SuspResetLimit", s.SuspResetLimit);

            if (all || ChangeBlocksVision)
                out->addBool("ChangeBlocksVision", ChangeBlocksVision);
            if (ChangeBlocksVision)
                out->addBool("BlocksVision", BlocksVision);
        }
    }

    if (!character) {
        auto resetRule = [&](const char* key, s32 mode) {
            if (all || mode != 0)
                out->addEnum(key, mode, resetModeNames);
            return mode != 0;
        };
        if (resetRule("ResetIfHeight", r.ResetIfHeight))
            out->addFloat("ResetHeight", r.ResetHeight);
        if (resetRule("ResetIfDistFromSpawn", r.ResetIfDistFromSpawn))
            out->addFloat("DistanceFromSpawn", r.DistanceFromSpawn);
        if (resetRule("ResetIfDistFromPlayer", r.ResetIfDistFromPlayer)) {
            out->addFloat("DistanceFromPlayer", r.DistanceFromPlayer);
            out->addFloat("SecondsAwayFromPlayer", r.SecondsAwayFromPlayer);
        }
        resetRule("ResetIfPlayerCollide", r.ResetIfPlayerCollide);
        if (resetRule("ResetIfAtRest", r.ResetIfAtRest))
            out->addFloat("SecondsAtRest", r.SecondsAtRest);
        if (resetRule("ResetIfOffscreen", r.ResetIfOffscreen))
            out->addFloat("SecondsOffscreen", r.SecondsOffscreen);
        if (all || r.ResetAsKinematic)
            out->addBool("ResetAsKinematic", r.ResetAsKinematic);
    }

    out->addVector3d("RespawnOverridePosition", r.respawnPosition);
    out->addVector3d("RespawnOverrideRotation", r.respawnRotation);
    if (all || r.RespawnOverridePosID > 0)
        out->addInt("RespawnOverridePosID", r.RespawnOverridePosID);

    if (meshNode && meshNode->getMesh() && meshNode->getMesh()->getFrameCount() > 1) {
        out->addBool("RecalculateBounds", RecalculateBounds);
        out->addBox3d("CustomBounds", m.CustomBounds);
        out->addFloat("AnimFPS", m.AnimFPS);
        out->addInt("SpawnFrame", static_cast<s32>(meshNode->getFrameNr()));
        out->addInt("StartFrame", meshNode->getStartFrame());
        out->addInt("EndFrame", meshNode->getEndFrame());
    }
    if (all || m.AlphaOverride != 1.0f)
        out->addFloat("AlphaOverride", m.AlphaOverride);
    auto whenTrue = [&](const char* key, bool value) {
        if (all || value)
            out->addBool(key, value);
    };
    auto whenFalse = [&](const char* key, bool value) {
        if (all || !value)
            out->addBool(key, value);
    };
    whenTrue("HasTransparency", HasTransparency);
    whenTrue("DisableAntialiasing", DisableAntialiasing);
    whenTrue("IsReflective", IsReflective);
    whenTrue("UseLightMap", UseLightMap);
    whenFalse("CastShadow", CastShadow);
    whenFalse("ReceiveShadow", ReceiveShadow);
    whenFalse("UseRimShading", UseRimShading);
    whenFalse("ClipObject", ClipObject);
    if (!ClipObject)
        out->addBool("ClipTransparent", ClipTransparent);
    // What the node carries now, not what the file it came from said: a save after animators
    // were added or removed tells the truth.
    if (state == PhysicsState::Kinematic)
        out->addBool("HasMotionAnimators", hasMotionAnimators());
}

void PhysicsObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    if (!in)
        return;
    PhysicsBodySettings& b = *bodySettings;
    PhysicsResetRules& r = *resetRules;
    PhysicsSuspicionSettings& s = *suspicionSettings;
    PhysicsMeshSettings& m = *meshSettings;

    LevelObject::deserializeAttributes(in, options);
    r.spawnScale = RelativeScale;
    r.spawnPosition = RelativeTranslation;
    r.spawnRotation = RelativeRotation;
    IgnoreParentTransform = in->getAttributeAsBool("IgnoreParentTransform");
    readIfPresent(in, "VisibleInSublevelOnly", VisibleInSublevelOnly);

    const core::stringc previousMesh = m.MeshFileName;
    readStringKey(in, "MeshFileName", m.MeshFileName);
    readStringKey(in, "UseAnimationFrom", m.UseAnimationFrom);
    readIfPresent(in, "RecalculateBounds", RecalculateBounds);
    if (in->existsAttribute("CustomBounds"))
        m.CustomBounds = in->getAttributeAsBox3d("CustomBounds");
    readPhysicsEnum(in, "DetailMode", detailModeNames, m.DetailMode, this);
    m.DetailDistanceLimit = in->getAttributeAsFloat("DetailDistanceLimit");

    readEnumField(in, "BoundType", boundTypeNames, b.boundType, this);
    readStringKey(in, "ColMeshFileName", b.ColMeshFileName);
    readIfPresent(in, "Radius", b.Radius);
    readIfPresent(in, "Height", b.Height);
    readIfPresent(in, "BoxExtents", b.BoxExtents);

    bool isStatic = false;
    if (readIfPresent(in, "IsStatic", isStatic))
        userData->state = isStatic ? PhysicsState::Static : PhysicsState::Dynamic;
    readEnumField(in, "PhysicsState", physicsStateNames, userData->state, this);
    if (b.boundType == BoundType::Mesh && userData->state != PhysicsState::Static)
        logMessagePair("ERROR: Collision type mesh can only be used with static physics state. Attempted with: ",
                       getNodeDisplayName(this).c_str());

    readIfPresent(in, "IsGrabable", IsGrabbable);
    if (readIfPresent(in, "IsGrabbable", IsGrabbable))
        readIfPresent(in, "LeftArmGrabID", b.LeftArmGrabID);
    readIfPresent(in, "GlowParentID", m.GlowParentID);
    readIfPresent(in, "ReduceWeightOnGrab", ReduceWeightOnGrab);
    readIfPresent(in, "TurnDynamicOnGrab", TurnDynamicOnGrab);
    readIfPresent(in, "TurnDynamicOnTouch", TurnDynamicOnTouch);
    readIfPresent(in, "TouchForceRequired", b.TouchForceRequired);
    readIfPresent(in, "TouchByTentaroOnly", TouchByTentaroOnly);
    readIfPresent(in, "CanHangFrom", CanHangFrom);
    readIfPresent(in, "IsButton", IsButton);
    readIfPresent(in, "IsTripHazard", IsTripHazard);
    readIfPresent(in, "IsGold", IsGold);
    readIfPresent(in, "TargetBias", TargetBias);
    readIfPresent(in, "Mass", b.Mass);
    // Not greater than 0 (a NaN too) makes no body the solver can move.
    if (!(b.Mass > 0.0f))
        b.Mass = 1.0f;
    readIfPresent(in, "Friction", b.Friction);
    readIfPresent(in, "Restitution", b.Restitution);
    readIfPresent(in, "LinearDamping", b.LinearDamping);
    readIfPresent(in, "AngularDamping", b.AngularDamping);
    readIfPresent(in, "DisableGravity", b.DisableGravity);
    readIfPresent(in, "CollideOnlyTentaro", b.CollideOnlyTentaro);
    readIfPresent(in, "IgnoreTentaroCollision", b.IgnoreTentaroCollision);
    readIfPresent(in, "RaycastOnlyCollision", b.RaycastOnlyCollision);
    readIfPresent(in, "InertiaTensor", b.InertiaTensor);
    readIfPresent(in, "CenterMassObjectID", b.CenterMassObjectID);
    readStringKey(in, "SoundColEvent", b.SoundColEvent);
    readStringKey(in, "SoundDragEvent", b.SoundDragEvent);
    readStringKey(in, "SoundGrabEvent", b.SoundGrabEvent);
    readStringKey(in, "SoundOnDynamicEvent", b.SoundOnDynamicEvent);
    if (b.SoundColEvent.empty())
        b.SoundColEvent = defaultCollisionEvent;
    if (soundManager) {
        if (!b.SoundColEvent.empty())
            b.collisionEvent = soundManager->getEvent(b.SoundColEvent.c_str());
        if (!b.SoundGrabEvent.empty())
            b.grabEvent = soundManager->getEvent(b.SoundGrabEvent.c_str());
        if (!b.SoundOnDynamicEvent.empty())
            b.onDynamicEvent = soundManager->getEvent(b.SoundOnDynamicEvent.c_str());
    }
    readStringKey(in, "CollideWithCollisionGroups", b.CollideWithCollisionGroups);
    readPhysicsEnum(in, "OverrideCollisionGroup", collisionGroupNames, b.OverrideCollisionGroup, this);
    if (readIfPresent(in, "NoCollideIDs", b.NoCollideIDs))
        b.noCollideIDs = parseExclusionIDs(b.NoCollideIDs);

    readIfPresent(in, "RespawnOverridePosition", r.RespawnOverridePosition);
    readIfPresent(in, "RespawnOverrideRotation", r.RespawnOverrideRotation);
    readIfPresent(in, "RespawnOverridePosID", r.RespawnOverridePosID);
    readPhysicsEnum(in, "ResetIfHeight", resetModeNames, r.ResetIfHeight, this);
    readIfPresent(in, "ResetHeight", r.ResetHeight);
    readPhysicsEnum(in, "ResetIfDistFromSpawn", resetModeNames, r.ResetIfDistFromSpawn, this);
    readIfPresent(in, "DistanceFromSpawn", r.DistanceFromSpawn);
    readPhysicsEnum(in, "ResetIfPlayerCollide", resetModeNames, r.ResetIfPlayerCollide, this);
    readPhysicsEnum(in, "ResetIfDistFromPlayer", resetModeNames, r.ResetIfDistFromPlayer, this);
    readIfPresent(in, "DistanceFromPlayer", r.DistanceFromPlayer);
    readIfPresent(in, "SecondsAwayFromPlayer", r.SecondsAwayFromPlayer);
    readPhysicsEnum(in, "ResetIfAtRest", resetModeNames, r.ResetIfAtRest, this);
    readIfPresent(in, "SecondsAtRest", r.SecondsAtRest);
    readPhysicsEnum(in, "ResetIfOffscreen", resetModeNames, r.ResetIfOffscreen, this);
    readIfPresent(in, "SecondsOffscreen", r.SecondsOffscreen);
    readIfPresent(in, "ResetAsKinematic", r.ResetAsKinematic);

    f32 oldAmount = 0.0f;
    if (readIfPresent(in, "SuspiciousAmount", oldAmount))
        (IsGrabbable ? s.SuspGrabAmount : s.SuspTouchAmount) = oldAmount;
    readIfPresent(in, "SuspTouchAmount", s.SuspTouchAmount);
    readIfPresent(in, "SuspTouchForceRequired", s.SuspTouchForceRequired);
    readPhysicsEnum(in, "SuspTouchMode", suspTouchModeNames, s.SuspTouchMode, this);
    readIfPresent(in, "SuspTouchLimit", s.SuspTouchLimit);
    readIfPresent(in, "SuspGrabAmount", s.SuspGrabAmount);
    readIfPresent(in, "SuspGrabLimit", s.SuspGrabLimit);
    readIfPresent(in, "SuspHitFloorAmount", s.SuspHitFloorAmount);
    readIfPresent(in, "SuspHitFloorForce", s.SuspHitFloorForce);
    readIfPresent(in, "SuspHitFloorLimit", s.SuspHitFloorLimit);
    readIfPresent(in, "SuspHitFloorUseCeiling", s.SuspHitFloorUseCeiling);
    readIfPresent(in, "SuspHitFloorCeiling", s.SuspHitFloorCeiling);
    readIfPresent(in, "SuspVelocityAmount", s.SuspVelocityAmount);
    readIfPresent(in, "SuspVelocityInterval", s.SuspVelocityInterval);
    readIfPresent(in, "SuspVelocityLimit", s.SuspVelocityLimit);
    readIfPresent(in, "SuspAtRestAmount", s.SuspAtRestAmount);
    readIfPresent(in, "SuspAtRestTimer", s.SuspAtRestTimer);
    readIfPresent(in, "SuspAtRestLimit", s.SuspAtRestLimit);
    readIfPresent(in, "SuspResetAmount", s.SuspResetAmount);
    readIfPresent(in, "SuspResetLimit", s.SuspResetLimit);

    readIfPresent(in, "AlphaOverride", m.AlphaOverride);
    readIfPresent(in, "HasTransparency", HasTransparency);
    readIfPresent(in, "DisableAntialiasing", DisableAntialiasing);
    bool reflective = IsReflective;
    if (readIfPresent(in, "IsReflective", reflective))
        setReflective(reflective);
    readIfPresent(in, "UseLightMap", UseLightMap);
    readIfPresent(in, "CastShadow", CastShadow);
    readIfPresent(in, "ReceiveShadow", ReceiveShadow);
    readIfPresent(in, "UseRimShading", UseRimShading);
    readIfPresent(in, "ClipObject", ClipObject);
    readIfPresent(in, "ClipTransparent", ClipTransparent);
    readIfPresent(in, "HasMotionAnimators", HasMotionAnimators);
    readIfPresent(in, "ChangeBlocksVision", ChangeBlocksVision);
    if (!readIfPresent(in, "BlocksVision", BlocksVision)) {
        if (userData->state == PhysicsState::Dynamic || TurnDynamicOnGrab || TurnDynamicOnTouch ||
            (Parent && Parent->getType() == typeId("crct")))
            BlocksVision = false;
    }

    replaceMeshNode(previousMesh);
    auto readFrames = [&] {
        readIfPresent(in, "AnimFPS", m.AnimFPS);
        readIfPresent(in, "SpawnFrame", m.SpawnFrame);
        readIfPresent(in, "StartFrame", m.StartFrame);
        readIfPresent(in, "EndFrame", m.EndFrame);
        applySpawnFrameCorrection();
    };
    if (meshNode) {
        meshNode->setName("MeshNode");
        if (meshNode->getMesh() && meshNode->getMesh()->getFrameCount() > 1) {
            m.StartFrame = 0;
            m.EndFrame = static_cast<s32>(meshNode->getMesh()->getFrameCount());
            readFrames();
        }
        loadMesh();
    } else {
        readFrames();
        setTriangleSelector(nullptr);
    }
    if (VisibleInSublevelOnly && findSublevelAncestor(Parent))
        b.boundType = BoundType::None;
    checkParenting(b.boundType);
    updateLocalBounds();
    setVisible(IsVisible);
    b.currentPhysicsState = b.lastPhysicsState = static_cast<s32>(userData->state);
}
