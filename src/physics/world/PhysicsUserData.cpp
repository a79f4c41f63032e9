#include "physics/world/PhysicsUserData.h"

#include "level/SceneNodeTypes.h"
#include "phys/Phys.h"

#include <ISceneNode.h>

#include <algorithm>
#include <initializer_list>
#include <unordered_map>

namespace {

bool typeIn(irr::scene::ESCENE_NODE_TYPE type, std::initializer_list<irr::scene::ESCENE_NODE_TYPE> kinds) {
    return std::find(kinds.begin(), kinds.end(), type) != kinds.end();
}

// The live records by owner; the sublevel activation reaches its objects' records here.
std::unordered_map<const irr::scene::ISceneNode*, PhysicsUserData*>& recordsByOwner() {
    static std::unordered_map<const irr::scene::ISceneNode*, PhysicsUserData*> records;
    return records;
}

} // namespace

static_assert(controllerShapeMarker == phys::ControllerShapeTag, "one marker for controller shapes");

PhysicsUserData::PhysicsUserData(irr::scene::ISceneNode* owner) : node(owner) {
    if (!owner)
        return;
    recordsByOwner()[owner] = this;
    const irr::scene::ESCENE_NODE_TYPE type = owner->getType();
    if (typeIn(type, {typeId("phsx"), typeId("apsx"), typeId("ties"), typeId("crct")}))
        physicsObject = owner;
    if (typeIn(type, {typeId("trgr"), typeId("cmrv"), typeId("cond"), typeId("frce"), typeId("chck")}))
        trigger = owner;
    if (type == typeId("crct"))
        character = owner;
    if (type == typeId("legs"))
        legs = owner;
    if (type == typeId("arms"))
        arms = owner;
    if (type == typeId("plr1"))
        player = owner;
}

PhysicsUserData::~PhysicsUserData() {
    auto found = recordsByOwner().find(node);
    if (found != recordsByOwner().end() && found->second == this)
        recordsByOwner().erase(found);
}

PhysicsUserData* findUserDataOfNode(const irr::scene::ISceneNode* node) {
    auto found = recordsByOwner().find(node);
    return found == recordsByOwner().end() ? nullptr : found->second;
}

PhysicsUserData* userDataRecord(void* userData) {
    if (!userData || reinterpret_cast<uintptr_t>(userData) == controllerShapeMarker)
        return nullptr;
    return static_cast<PhysicsUserData*>(userData);
}

PhysicsUserData* userDataOf(const phys::Actor* actor) { return actor ? userDataRecord(actor->userData) : nullptr; }

PhysicsUserData* userDataOf(const phys::Shape* shape) { return shape ? userDataRecord(shape->userData) : nullptr; }

#include "physics/world/PhysicsHooks.h"

PhysicsHookTable& physicsHooks() {
    static PhysicsHookTable table;
    return table;
}

void resetPhysicsHooks() { physicsHooks() = PhysicsHookTable(); }
