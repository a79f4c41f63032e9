// The joint object's attributes, its first animation pass (markers and bodies resolved
// once), its clone and its release on destruction.
#include "physics/joints/JointObject.h"

#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "level/AttributeExtras.h"
#include "level/LevelManager.h"
#include "level/MarkerObject.h"
#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"
#include "player/PlayerObject.h"

#include <cmath>

using namespace irr;

const char* const JointObject::jointTypeNames[] = {"D6", "Distance", "Fixed", "Prismatic", "Revolute", "Spherical",
                                                   nullptr};
const char* const JointObject::motionNames[] = {"Locked", "Limited", "Free", nullptr};

namespace {

const char* const jointMotionKeys[6] = {"X", "Y", "Z", "Twist", "Swing1", "Swing2"};
const char* const jointDriveKeys[6] = {"XDrive", "YDrive", "ZDrive", "TwistDrive", "SwingDrive", "SlerpDrive"};
const char* const jointAccelKeys[6] = {"XAccel", "YAccel", "ZAccel", "TwistAccel", "SwingAccel", "SlerpAccel"};

// A pair with its contact distance, stored as three floats by older writers (and as two by
// the current one: the third reads as 0).
bool readPairWithDistance(io::IAttributes* in, const char* key, core::vector2df& pair, f32& distance) {
    const s32 index = in->findAttribute(key);
    if (index < 0)
        return false;
    const core::vector3df value = in->getAttributeAsVector3d(index);
    pair.set(value.X, value.Y);
    distance = value.Z;
    return true;
}

// A distance of exactly 0 beside a pair that is not zero is a file written before the
// distance existed: it takes the usual 0.05.
void repairLimitDistance(const core::vector2df& pair, f32& distance) {
    if (distance == 0.0f && (pair.X != 0.0f || pair.Y != 0.0f))
        distance = 0.05f;
}

// A marker by ID, or null when the ID names something else.
MarkerObject* findMarker(s32 id) {
    scene::ISceneNode* node = levelManager ? levelManager->getSceneNodeFromID(id) : nullptr;
    return node && node->getType() == typeId("mrkr") ? static_cast<MarkerObject*>(node) : nullptr;
}

} // namespace

JointObject::JointObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : LevelObject(parent, manager, id) {}

JointObject::~JointObject() {
    // The bodies outlive their link to a joint object that is gone.
    linkBodies(false);
    for (scene::ISceneNode* body : {body1, body2})
        if (PhysicsObject* object = physicsBody(body))
            object->body().jointHolders.erase(this);
    if (!joint)
        return;
    if (physicsManager)
        physicsManager->releaseJoint(joint, false);
    joint = nullptr;
}

bool JointObject::isJointLive() const {
    return joint && (joint->getConstraintFlags() & phys::ConstraintBroken) == 0;
}

void JointObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    if (!out)
        return;
    LevelObject::serializeAttributes(out, options);
    out->addBool("JointEnabled", isJointLive());
    addObjectReference(out, "ObjectID1", ObjectID1);
    addObjectReference(out, "ObjectID2", ObjectID2);
    out->addBool("CollideJointedObjects", CollideJointedObjects);
    out->addFloat("BreakForce", BreakForce);
    out->addFloat("BreakTorque", BreakTorque);
    const bool known = JointType >= D6 && JointType <= Spherical;
    out->addEnum("JointType", known ? JointType : 0, jointTypeNames);
    switch (JointType) {
    case D6: {
        for (int axis = 0; axis < 6; ++axis)
            out->addEnum(jointMotionKeys[axis], core::clamp(motions[axis], 0, 2), motionNames);
        for (int axis = 0; axis < 6; ++axis)
            if (motions[axis] != Locked) {
                out->addVector3d(jointDriveKeys[axis], drives[axis]);
                out->addBool(jointAccelKeys[axis], driveAccel[axis]);
            }
        const bool linearLimited = motions[0] == Limited || motions[1] == Limited || motions[2] == Limited;
        if (linearLimited) {
            out->addFloat("JointSpring", JointSpring);
            out->addFloat("JointDamping", JointDamping);
        }
        out->addVector3d("LinearDriveVelocity", LinearDriveVelocity);
        out->addVector3d("AngularDriveVelocity", AngularDriveVelocity);
        addObjectReference(out, "DrivePositionMarkerID", DrivePositionMarkerID);
        if (linearLimited) {
            out->addFloat("LinearLimit", LinearLimit);
            out->addFloat("LinearLimitDistance", LinearLimitDistance);
        }
        if (motions[5] == Limited || motions[4] == Limited) {
            out->addVector2d("SwingLimitPair", SwingLimitPair);
            out->addFloat("SwingLimitDistance", SwingLimitDistance);
        }
        if (motions[3] == Limited) {
            out->addVector2d("TwistLimitPair", TwistLimitPair);
            out->addFloat("TwistLimitDistance", TwistLimitDistance);
        }
        break;
    }
    case Distance:
        out->addVector2d("MinMaxDistance", MinMaxDistance);
        out->addFloat("JointSpring", JointSpring);
        out->addFloat("JointDamping", JointDamping);
        break;
    case Prismatic:
        out->addVector2d("PrismaticLimitPair", PrismaticLimitPair);
        out->addFloat("PrismaticLimitDistance", PrismaticLimitDistance);
        break;
    case Revolute:
        out->addVector2d("RevoluteLimitPair", RevoluteLimitPair);
        out->addFloat("RevoluteLimitDistance", RevoluteLimitDistance);
        break;
    case Spherical:
        out->addVector2d("SphereLimitCone", SphereLimitCone);
        out->addFloat("SphereLimitDistance", SphereLimitDistance);
        break;
    default: break;
    }
}

void JointObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    if (!in)
        return;
    LevelObject::deserializeAttributes(in, options);
    readIfPresent(in, "JointEnabled", JointEnabled);
    ObjectID1 = in->existsAttribute("ObjectID1") ? in->getAttributeAsInt("ObjectID1") : 0;
    ObjectID2 = in->existsAttribute("ObjectID2") ? in->getAttributeAsInt("ObjectID2") : 0;
    // An absent or unknown kind matches none: no joint is ever built.
    JointType = -1;
    readEnumIfPresent(in, "JointType", jointTypeNames, JointType);
    readIfPresent(in, "CollideJointedObjects", CollideJointedObjects);
    readIfPresent(in, "BreakForce", BreakForce);
    readIfPresent(in, "BreakTorque", BreakTorque);
    for (int axis = 0; axis < 6; ++axis)
        readEnumIfPresent(in, jointMotionKeys[axis], motionNames, motions[axis]);
    for (int axis = 0; axis < 6; ++axis) {
        readIfPresent(in, jointDriveKeys[axis], drives[axis]);
        readIfPresent(in, jointAccelKeys[axis], driveAccel[axis]);
    }
    readIfPresent(in, "LinearDriveVelocity", LinearDriveVelocity);
    readIfPresent(in, "AngularDriveVelocity", AngularDriveVelocity);
    readIfPresent(in, "DrivePositionMarkerID", DrivePositionMarkerID);
    readIfPresent(in, "MinMaxDistance", MinMaxDistance);
    readIfPresent(in, "JointSpring", JointSpring);
    readIfPresent(in, "JointDamping", JointDamping);
    readPairWithDistance(in, "PrismaticLimitPair", PrismaticLimitPair, PrismaticLimitDistance);
    readPairWithDistance(in, "RevoluteLimitPair", RevoluteLimitPair, RevoluteLimitDistance);
    readPairWithDistance(in, "SphereLimitCone", SphereLimitCone, SphereLimitDistance);
    readIfPresent(in, "PrismaticLimitDistance", PrismaticLimitDistance);
    readIfPresent(in, "RevoluteLimitDistance", RevoluteLimitDistance);
    readIfPresent(in, "SphereLimitDistance", SphereLimitDistance);
    readIfPresent(in, "LinearLimit", LinearLimit);
    readIfPresent(in, "LinearLimitDistance", LinearLimitDistance);
    // Older files keep pair and distance in one three-float value.
    readPairWithDistance(in, "TwistLimit", TwistLimitPair, TwistLimitDistance);
    readPairWithDistance(in, "SwingLimit", SwingLimitPair, SwingLimitDistance);
    if (readIfPresent(in, "TwistLimitPair", TwistLimitPair)) {
        TwistLimitDistance = 0.0f;
        readIfPresent(in, "TwistLimitDistance", TwistLimitDistance);
    }
    if (readIfPresent(in, "SwingLimitPair", SwingLimitPair)) {
        SwingLimitDistance = 0.0f;
        readIfPresent(in, "SwingLimitDistance", SwingLimitDistance);
    }
    repairLimitDistance(PrismaticLimitPair, PrismaticLimitDistance);
    repairLimitDistance(SwingLimitPair, SwingLimitDistance);
    repairLimitDistance(TwistLimitPair, TwistLimitDistance);
    repairLimitDistance(RevoluteLimitPair, RevoluteLimitDistance);
    repairLimitDistance(SphereLimitCone, SphereLimitDistance);
    if (LinearLimitDistance == 0.0f && LinearLimit != 0.0f)
        LinearLimitDistance = 0.05f;
}

void JointObject::OnAnimate(u32 timeMs) {
    if (animatedThisFrame())
        return; // a draw pass of a frame already animated
    LevelObject::OnAnimate(timeMs);
    if (!physicsManager || !physicsManager->isSimulationActive())
        return;
    if (JointEnabled && breakTimer >= 0.0f) {
        if (breakTimer > 1.0f) {
            applyBreakForce();
            breakTimer = -1.0f;
        } else {
            breakTimer += objectFrameSeconds();
        }
    }
    if (bodiesPending) {
        bodiesPending = false;
        resolveBodies();
        if (JointEnabled)
            createJoint();
    }
}

void JointObject::resolveBodies() {
    marker1 = findMarker(ObjectID1);
    marker2 = findMarker(ObjectID2);
    auto bodyOf = [](MarkerObject* marker, scene::ISceneNode* current) -> scene::ISceneNode* {
        scene::ISceneNode* parent = marker ? marker->getParent() : nullptr;
        if (!parent)
            return current;
        if (asPhysicsObject(parent))
            return parent;
        if (parent->getType() == typeId("lvli"))
            return playerCount() > 0 ? getPlayer(0) : nullptr;
        return current;
    };
    body1 = bodyOf(marker1, body1);
    body2 = bodyOf(marker2, body2);
    scene::ISceneNode* player = playerCount() > 0 ? getPlayer(0) : nullptr;
    playerBody = player && (body1 == player || body2 == player) ? player : nullptr;
    for (scene::ISceneNode* body : {body1, body2})
        if (PhysicsObject* object = asPhysicsObject(body))
            object->body().jointHolders.insert(this);
}

PhysicsObject* JointObject::physicsBody(scene::ISceneNode* body) const {
    return body && body != playerBody ? asPhysicsObject(body) : nullptr;
}

void JointObject::forgetBody(scene::ISceneNode* body) {
    if (!body)
        return;
    // The body that stays is no longer joined to the one that goes.
    PhysicsObject* other = physicsBody(body == body1 ? body2 : body1);
    if (other && other != body)
        other->removeJointLink(body, this);
    if (body == body1) {
        body1 = nullptr;
        marker1 = nullptr;
    }
    if (body == body2) {
        body2 = nullptr;
        marker2 = nullptr;
    }
    if (driveMarker && driveMarker->getParent() == body)
        driveMarker = nullptr;
}

void JointObject::linkBodies(bool add) {
    PhysicsObject* first = physicsBody(body1);
    PhysicsObject* second = physicsBody(body2);
    if (first)
        add ? first->addJointLink(body2, this) : first->removeJointLink(body2, this);
    if (second)
        add ? second->addJointLink(body1, this) : second->removeJointLink(body1, this);
}

scene::ISceneNode* JointObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new JointObject(newParent, newManager, ID);
    const s32 id = assignUniqueObjectID(copy);
    if (SceneManager) {
        io::IAttributes* attributes = SceneManager->getFileSystem()->createEmptyAttributes();
        serializeAttributes(attributes);
        copy->deserializeAttributes(attributes);
        attributes->drop();
    }
    copy->setID(id);
    copy->drop();
    return copy;
}

void registerJointObjectType() { registerSceneNodeType(levelObjectRow<JointObject>(typeId("jont"), "JointObject")); }
