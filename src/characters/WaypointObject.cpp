#include "characters/WaypointObject.h"

#include "core/ProgramQueries.h"
#include "level/MeshGate.h"
#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"
#include "triggers/ConditionalTrigger.h"
#include "triggers/TriggerEventObject.h"
#include "triggers/TriggerObject.h"

using namespace irr;

namespace {

bool isWaypoint(const scene::ISceneNode* node) { return node && node->getType() == typeId("wayp"); }

// The path's colour: opaque orange.
const video::SColor waypointPathColour(255, 255, 192, 0);

} // namespace

WaypointObject::WaypointObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : SplineObject(parent, manager, id) {
    Time = 0.1f;
    UseLinearInterpolation = true;
    RebalanceFlag = true;
    pathMaterial.Lighting = false;
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
    // The waypoint sibling after it, in the parent's child order (asked every frame: no list
    // is made).
    bool passed = false;
    for (scene::ISceneNode* child : waypoint->getParent()->getChildren()) {
        if (!isWaypoint(child))
            continue;
        if (passed)
            return static_cast<WaypointObject*>(child);
        passed = child == waypoint;
    }
    return nullptr;
}

WaypointObject* WaypointObject::getPreviousWaypoint(const scene::ISceneNode* waypoint) {
    if (!waypoint || !isWaypoint(waypoint->getParent()) || getFirstChildWaypoint(waypoint))
        return nullptr;
    WaypointObject* previous = nullptr;
    for (scene::ISceneNode* child : waypoint->getParent()->getChildren()) {
        if (!isWaypoint(child))
            continue;
        if (child == waypoint)
            return previous;
        previous = static_cast<WaypointObject*>(child);
    }
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
    if (!isSimulationRunning() && SceneManager)
        if (scene::IAnimatedMesh* mesh = getGameMesh(SceneManager, waypointMarkerMesh)) {
            marker = SceneManager->addMeshSceneNode(mesh->getMesh(0), this, -1);
            if (marker) {
                marker->setIsDebugObject(true);
                marker->setMaterialFlag(video::EMF_LIGHTING, false);
                marker->setMaterialFlag(video::EMF_WIREFRAME, true);
            }
        }
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
    if (marker)
        marker->setVisible(IsVisible && !getFirstChildWaypoint(this) && !isSimulationRunning());
    LevelObject::OnAnimate(timeMs);
}

void WaypointObject::OnRegisterSceneNode() {
    if (!IsVisible)
        return;
    if (!isSimulationRunning() && isWaypoint(Parent) && !getPreviousWaypoint(this))
        SceneManager->registerNodeForRendering(this, scene::ESNRP_TRANSPARENT_EFFECT);
    for (scene::ISceneNode* child : Children)
        child->OnRegisterSceneNode();
}

void WaypointObject::render() {
    video::IVideoDriver* driver = SceneManager ? SceneManager->getVideoDriver() : nullptr;
    if (!driver)
        return;
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->setMaterial(pathMaterial);
    if (!UseLinearInterpolation) {
        for (int i = 0; i < 100; ++i)
            driver->draw3DLine(getPosition(static_cast<f32>(i) * 0.01f), getPosition(static_cast<f32>(i + 1) * 0.01f),
                               waypointPathColour);
        return;
    }
    // Straight segments through the points, from this first point along the path.
    const WaypointObject* from = this;
    for (const WaypointObject* to = getNextWaypoint(from); to; from = to, to = getNextWaypoint(to))
        driver->draw3DLine(from->getAbsolutePosition(), to->getAbsolutePosition(), waypointPathColour);
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
}
