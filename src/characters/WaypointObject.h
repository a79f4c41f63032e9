#pragma once

#include "level/SplineObject.h"

// The editor marker of every waypoint.
inline constexpr const char* waypointMarkerMesh = "Content/Models/Editor/PathWaypoint.obj";

// A point of a path that characters walk ('wayp', "WaypointObject"). A waypoint whose parent
// is not a waypoint starts a path; its waypoint children are the path's further points in
// child order, and the path's shape is the spline through them. When a character arrives
// at a waypoint, its child trigger events and conditional triggers start.
class WaypointObject : public SplineObject {
public:
    WaypointObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("wayp"); }
    void OnAnimate(irr::u32 timeMs) override;
    // Outside play the first point of a path draws the path (an orange line along the
    // spline, or straight between the points) in the transparent-effect pass.
    void OnRegisterSceneNode() override;
    void render() override;
    // The editor marker (outside play only; null in play or when its mesh is missing).
    irr::scene::IMeshSceneNode* getMarker() const { return marker; }
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    // Path navigation; null for none.
    static WaypointObject* getFirstChildWaypoint(const irr::scene::ISceneNode* waypoint);
    static WaypointObject* getNextWaypoint(const irr::scene::ISceneNode* waypoint);
    static WaypointObject* getPreviousWaypoint(const irr::scene::ISceneNode* waypoint);
    static WaypointObject* getLastWaypoint(WaypointObject* waypoint);

    // A character arrived: the child trigger events and conditional triggers start in child
    // order, until a conditional trigger below breaks the sequence.
    void runWaypointEvents();
    // A conditional trigger below broke: the rest of this arrival is not started and the
    // pending child events are cancelled.
    void breakEvents();

    bool eventsStopped = false;

private:
    // Times of the path's end points, then once: the spline is built and rebalanced.
    void setUp();
    bool setUpPending = true;
    irr::scene::IMeshSceneNode* marker = nullptr;
    irr::video::SMaterial pathMaterial;
};

// The waypoint type in the scene-node factory's table, and the trigger's break slot.
void registerWaypointType();
