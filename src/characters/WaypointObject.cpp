#include "characters/WaypointObject.h"

#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"
#include "triggers/ConditionalTrigger.h"
#include "triggers/TriggerEventObject.h"
#include "triggers/TriggerObject.h"
#include "triggers/TriggerServices.h"

using namespace irr;

namespace {

bool isWaypoint(const scene::ISceneNode* node) { return node && node->getType() == typeId("wayp"); }

// The waypoint siblings of a point, in its parent's child order.
std::vector<WaypointObject*> waypointSiblings(const scene::ISceneNode* waypoint) {
    std::vector<WaypointObject*> siblings;
    if (const scene::ISceneNode* parent = waypoint->getParent())
        for (scene::ISceneNode* child : parent->getChildren())
            if (isWaypoint(child))
                siblings.push_back(static_cast<WaypointObject*>(child));
    return siblings;
}

} // namespace

WaypointObject::WaypointObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : SplineObject(parent, manager, id) {
    Time = 0.1f;
    UseLinearInterpolation = true;
    RebalanceFlag = true;
}

WaypointObject* WaypointObject::getFirstChildWaypoint(const scene::ISceneNode* waypoint) {
    if (waypoint)
        for (scene::ISceneNode* child : waypoint->getChildren())
            if (isWaypoint(child))
                return static_cast<WaypointObject*>(child);
    return nullptr;
}

WaypointObject* WaypointObject::getNextWaypoint(const scene::ISceneNode* waypoint) {
    if (!waypoint)
        return nullptr;
    // A path start goes down to its first point; a point never descends into its own
    // children.
    if (!isWaypoint(waypoint->getParent()))
        return getFirstChildWaypoint(waypoint);
    const std::vector<WaypointObject*> siblings = waypointSiblings(waypoint);
    for (std::size_t i = 0; i + 1 < siblings.size(); ++i)
        if (siblings[i] == waypoint)
            return siblings[i + 1];
    return nullptr;
}

WaypointObject* WaypointObject::getPreviousWaypoint(const scene::ISceneNode* waypoint) {
    if (!waypoint || !isWaypoint(waypoint->getParent()) || getFirstChildWaypoint(waypoint))
        return nullptr;
    const std::vector<WaypointObject*> siblings = waypointSiblings(waypoint);
    for (std::size_t i = 1; i < siblings.size(); ++i)
        if (siblings[i] == waypoint)
            return siblings[i - 1];
    return nullptr;
}

WaypointObject* WaypointObject::getLastWaypoint(WaypointObject* waypoint) {
    // Each step goes to a later sibling or one level down, so the walk ends.
    while (WaypointObject* next = getNextWaypoint(waypoint))
        waypoint = next;
    return waypoint;
}

void WaypointObject::setUp() {
    if (isWaypoint(Parent) && getPreviousWaypoint(this)) {
        if (!getNextWaypoint(this))
            Time = 1.0f;
    } else {
        Time = 0.0f;
    }
    if (!setUpPending)
        return;
    setUpPending = false;
    scene::ISceneNode* top = Parent && Parent->getParent() ? Parent->getParent() : Parent;
    if (top)
        top->updateAbsolutePosition();
    updateAbsolutePosition();
    rebuild();
    if (RebalanceFlag)
        rebalance();
}

void WaypointObject::OnAnimate(u32 timeMs) {
    setUp();
    if (isWaypoint(Parent) && !getPreviousWaypoint(this))
        update();
    LevelObject::OnAnimate(timeMs);
}

void WaypointObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    if (isWaypoint(Parent)) {
        const bool hasPrevious = getPreviousWaypoint(this) != nullptr;
        const bool hasNext = getNextWaypoint(this) != nullptr;
        if (!hasPrevious) {
            out->addInt("DivisionCount", DivisionCount);
            out->addBool("UseTCBControls", UseTCBControls);
            out->addBool("UseLinearInterpolation", UseLinearInterpolation);
        }
        if (!hasPrevious || !hasNext)
            out->addEnum("EndpointEval", EndpointEval, endpointEvalNames);
        out->addFloat("Tension", Tension);
        out->addFloat("Continuity", Continuity);
        out->addFloat("Bias", Bias);
    }
    LevelObject::serializeAttributes(out, options);
}

scene::ISceneNode* WaypointObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    (void)newManager; // a copy lives in this one's scene
    auto* copy = new WaypointObject(newParent, SceneManager, -1);
    const s32 newID = assignUniqueObjectID(copy);
    LevelObject::cloneMembers(copy, this, SceneManager);
    if (io::IFileSystem* fs = SceneManager->getFileSystem()) {
        io::IAttributes* attributes = fs->createEmptyAttributes(SceneManager->getVideoDriver());
        serializeAttributes(attributes);
        copy->deserializeAttributes(attributes);
        attributes->drop();
    }
    copy->setID(newID);
    if (newParent)
        copy->drop();
    return copy;
}

void WaypointObject::runWaypointEvents() {
    eventsStopped = false;
    // The list is copied: a started event may change the children.
    const core::list<scene::ISceneNode*> children = getChildren();
    for (scene::ISceneNode* child : children) {
        if (child->getType() == typeId("trge")) {
            static_cast<TriggerEventObject*>(child)->startEvent(makeEmptyTriggerEventInfo(this));
        } else if (child->getType() == typeId("cond")) {
            static_cast<ConditionalTrigger*>(child)->start();
        }
        if (eventsStopped)
            break;
    }
}

void WaypointObject::breakEvents() {
    eventsStopped = true;
    TriggerObject::stopPendingEvents(this);
}

void registerWaypointType() {
    registerSceneNodeType(levelObjectRow<WaypointObject>(typeId("wayp"), "WaypointObject"));
    triggerServices().characters.breakWaypoint = [](scene::ISceneNode* waypoint) {
        if (isWaypoint(waypoint))
            static_cast<WaypointObject*>(waypoint)->breakEvents();
    };
}
