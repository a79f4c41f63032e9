// What a physics object keeps of the things around it: the hits trigger conditions ask
// about, the limbs touching it (counted up its glow chain), the objects and joints joined
// to it, the exclusion list of the collision filter and the links of its user data.
#include "physics/objects/PhysicsObject.h"

#include "core/Globals.h"
#include "level/LevelManager.h"
#include "player/PlayerObject.h"

using namespace irr;

namespace {

bool isPhysicsKind(scene::ISceneNode* node) { return asPhysicsObject(node) != nullptr; }

f32 dynamicSpeedSquared(phys::RigidActor* actor) {
    const phys::RigidDynamic* dynamic = actor ? actor->asRigidDynamic() : nullptr;
    if (!dynamic)
        return -1.0f;
    const phys::Vec3 v = dynamic->getLinearVelocity();
    return v.x * v.x + v.y * v.y + v.z * v.z;
}

} // namespace

void PhysicsObject::setGrabEnabled(bool value) {
    // The hands' release and regrab belong to the player controller, which re-takes the
    // object itself when a hold must change; the list is empty without a player body.
    CanHangFrom = value;
}

void PhysicsObject::changeGrabCount(bool kindOne, bool add) {
    // A chain that loops back is counted once per member rather than forever.
    std::vector<PhysicsObject*> counted;
    for (PhysicsObject* object = this; object; object = object->meshSettings->glowParent) {
        if (std::find(counted.begin(), counted.end(), object) != counted.end())
            break;
        counted.push_back(object);
        object->limbTouchCounts[kindOne ? 1 : 0] += add ? 1 : -1;
    }
}

void PhysicsObject::enableTouchTracking(f32 speedThreshold) {
    if (!touchTracking) {
        if (levelManager)
            levelManager->onEndOfUpdate.addMember(this, &PhysicsObject::clearTouchList);
        touchTracking = true;
    }
    bodySettings->touchSpeedThreshold = speedThreshold;
}

void PhysicsObject::recordTouch(PhysicsObject* other) {
    if (!touchTracking) {
        if (other && other->touchTracking &&
            dynamicSpeedSquared(other->actor) >= other->bodySettings->touchSpeedThreshold)
            other->bodySettings->touchList.insert(this);
        return;
    }
    if (holdCount != 0 && !other)
        return;
    if (holdCount == 0 && (limbTouchCounts[0] != 0 || limbTouchCounts[1] != 0))
        return;
    if (dynamicSpeedSquared(actor) >= bodySettings->touchSpeedThreshold)
        bodySettings->touchList.insert(other);
}

bool PhysicsObject::wasTouchedBy(PhysicsObject* object) { return bodySettings->touchList.contains(object); }

bool PhysicsObject::wasTouchedByOther(const std::vector<scene::ISceneNode*>& list) {
    const auto& touched = bodySettings->touchList.all();
    if (list.empty())
        return !touched.empty();
    scene::ISceneNode* firstPlayer = playerCount() > 0 ? getPlayer(0) : nullptr;
    for (PhysicsObject* entry : touched) {
        bool matched = false;
        for (scene::ISceneNode* element : list)
            if (element == entry || (!entry && element && element == firstPlayer)) {
                matched = true;
                break;
            }
        if (!matched)
            return true;
    }
    return false;
}

void PhysicsObject::clearTouchList() { bodySettings->touchList.clear(); }

void PhysicsObject::addJointLink(scene::ISceneNode* other, scene::ISceneNode* joint) {
    if (PhysicsObject* object = asPhysicsObject(other))
        bodySettings->jointedObjects.insert(object);
    bodySettings->joints.insert(joint);
}

void PhysicsObject::removeJointLink(scene::ISceneNode* other, scene::ISceneNode* joint) {
    if (PhysicsObject* object = asPhysicsObject(other))
        bodySettings->jointedObjects.erase(object);
    bodySettings->joints.erase(joint);
}

void PhysicsObject::collectJointedGroup(PhysicsObject* object, std::vector<PhysicsObject*>& found,
                                        std::vector<PhysicsObject*>& visited) {
    if (!object || std::find(visited.begin(), visited.end(), object) != visited.end())
        return;
    visited.push_back(object);
    for (PhysicsObject* joined : object->bodySettings->jointedObjects.all()) {
        if (std::find(found.begin(), found.end(), joined) == found.end())
            found.push_back(joined);
        collectJointedGroup(joined, found, visited);
    }
}

bool PhysicsObject::canCollideWith(s32 id) const { return !excludesObject(id); }

void PhysicsObject::linkUserData() {
    PhysicsObject* parent = bodySettings->physicsParent;
    userData->parent = parent && parent->getUserData() ? parent->getUserData() : nullptr;
    userData->children.clear();
    for (scene::ISceneNode* child : Children)
        if (isPhysicsKind(child))
            if (PhysicsUserData* record = asPhysicsObject(child)->getUserData())
                userData->children.push_back(record);
}

void PhysicsObject::copyVelocities(PhysicsObject* other) {
    phys::RigidDynamic* mine = actor ? actor->asRigidDynamic() : nullptr;
    phys::RigidDynamic* theirs = other && other->actor ? other->actor->asRigidDynamic() : nullptr;
    if (!mine || !theirs)
        return;
    mine->setLinearVelocity(theirs->getLinearVelocity(), true);
    mine->setAngularVelocity(theirs->getAngularVelocity(), true);
}
