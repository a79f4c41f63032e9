#pragma once

#include "level/LevelObject.h"

#include <vector>

// A spline ('slne'), the base of waypoints. Its control points are spline nodes (of the
// kind 'slne') in child order: the children of its parent when the parent is a spline
// itself (the points of a path share their parent), else its own children. Each point
// carries its "Time" on the curve (0..1) and its tension, continuity and bias; the spline
// that is updated uses its own flags. Between points the curve is a straight line
// ("UseLinearInterpolation") or a Kochanek-Bartels curve (a Catmull-Rom curve while
// "UseTCBControls" is off); "UseSpeedControls" eases each segment with "SpeedOut" of its
// first and "SpeedIn" of its second point. "EndpointEval" of the first and last point
// says what lies beyond them: "Stop" (the end point itself), "Use Previous Point" /
// "Use Next Point" (the neighbour mirrored through the end point), "Use Point Before
// Previous" / "Use Point After Next" (the second point inwards, mirrored).
//
// Every class whose type is registered as a kind of 'slne' must derive from SplineObject.
class SplineObject : public LevelObject {
public:
    SplineObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager,
                 irr::s32 id = -1)
        : LevelObject(parent, manager, id) {}

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("slne"); }

    // The per-frame update, then the level object's animation.
    void OnAnimate(irr::u32 timeMs) override;
    void render() override { drawPath(); }

    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    // Collects the control points (their world positions and settings as they stand).
    void rebuild();
    // Per frame: rebuild, and rebalance while the rebalance flag is set.
    void update();
    // Gives the points times proportional to the curve's length up to them (first 0, last
    // 1), measured with steps of "RebalanceTimestep" along each segment.
    void rebalance();

    // World position on the curve at t in 0..1 (clamped). Without points: the node's own
    // position; with one: that point.
    irr::core::vector3df getPosition(irr::f32 t) const;
    // World rotation in degrees along the curve at t.
    irr::core::vector3df getOrientation(irr::f32 t) const;
    // Length of the curve, summed over "DivisionCount" straight pieces per segment; stored.
    irr::f32 computeLength();
    irr::f32 getLength() const { return Length; }

    // The update flag: set once the spline has been updated in the current level frame.
    bool isUpdated() const;
    // False once the spline has been built with at least two points.
    bool isNotReady() const { return NotReady; }
    std::size_t getControlPointCount() const { return points.size(); }

    // Draws the path; nothing here (waypoints draw theirs).
    virtual void drawPath() {}

    static const irr::c8* const endpointEvalNames[];
    enum EndpointEvaluation {
        EndpointStop,
        EndpointPrevious,
        EndpointNext,
        EndpointBeforePrevious,
        EndpointAfterNext
    };

    irr::f32 Time = 0.0f;
    irr::s32 DivisionCount = 10;
    irr::f32 RebalanceTimestep = 0.05f;
    bool UseTCBControls = false;
    bool UseSpeedControls = false;
    bool UseLinearInterpolation = false;
    irr::s32 EndpointEval = EndpointStop;
    irr::f32 SpeedIn = 0.0f;
    irr::f32 SpeedOut = 0.0f;
    irr::f32 Tension = 0.0f;
    irr::f32 Continuity = 0.0f;
    irr::f32 Bias = 0.0f;

    // Rebalance on every update (waypoints switch it on).
    bool RebalanceFlag = false;

protected:
    struct ControlPoint {
        irr::core::vector3df position;
        irr::f32 time, tension, continuity, bias, speedIn, speedOut;
        irr::s32 endpointEval;
    };

    // The point nodes into pointNodes: this spline's children of the spline kind, or its
    // parent's when the parent is a spline.
    void collectPointNodes();
    // Position on segment i (from point i to i + 1) at its own parameter u in 0..1.
    irr::core::vector3df evaluateSegment(std::size_t i, irr::f32 u) const;
    irr::core::vector3df pointOrPhantom(long index) const;

    std::vector<ControlPoint> points;
    // Rebuilt every frame into the same buffers: a steady path allocates nothing.
    std::vector<SplineObject*> pointNodes;
    std::vector<irr::f32> cumulative;
    irr::f32 Length = 0.0f;
    bool NotReady = true;
    irr::u32 lastUpdateFrame = 0;
};
