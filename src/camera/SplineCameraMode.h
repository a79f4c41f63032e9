#pragma once

#include "camera/CameraModes.h"

#include <irrlicht.h>

class CameraPointObject;

// Rides the camera along a rail of spline points ('cmrs') while the subject moves along a
// path of path points ('cmp1'), both found below the camera object: each frame the ratio of
// the path nearest the subject is found, a damped current ratio moves toward it, and the
// camera stands at that ratio of the rail (or, as a fixed-angle camera, stands off from its
// look target along the rail's orientation).
class SplineCameraMode : public CameraMode {
public:
    enum Evaluation { Tentaro = 0, TentaroObjectAverage = 1, TentaroObjectMax = 2, Object = 3 };
    static const char* const evaluationNames[];
    static constexpr int sampleCount = 100;

    using CameraMode::CameraMode;

    void preUpdate() override { advanceRatio(); }
    void update(CameraObject* camera) override;
    void drawDebug() override;
    void snapToGoal() override;
    void onFirstFrame() override;
    void serializeAttributes(irr::io::IAttributes* out, irr::io::SAttributeReadWriteOptions* options) const override;
    void deserializeAttributes(irr::io::IAttributes* in, irr::io::SAttributeReadWriteOptions* options) override;
    SplineCameraMode* asSpline() override { return this; }

    irr::core::vector3df cameraPositionAt(irr::f32 s) const;
    // Degrees.
    irr::core::vector3df cameraRotationAt(irr::f32 s) const;
    irr::core::vector3df subjectPositionAt(irr::f32 s) const;
    irr::f32 standOffDistanceAt(irr::f32 s) const;
    irr::f32 nearestRatio(const irr::core::vector3df& q) const;
    irr::f32 computeGoalRatio() const;
    void advanceRatio();
    void rebuildSpline();
    bool validatePoints() const;
    void resamplePath();

    irr::core::array<CameraPointObject*> splinePoints;
    irr::core::array<CameraPointObject*> pathPoints;
    irr::s32 SplineEvaluation = Tentaro;
    irr::core::vector3df pathSamples[sampleCount];
    irr::f32 pathLength = 0.0f;
    irr::f32 SplineDamping = 20.0f;
    irr::scene::ISceneNode* evaluationObject = nullptr;
    irr::s32 SplineEvalObjectID = 0;
    irr::f32 SplineEvalRatio = 1.0f;
    irr::f32 SplineEvalOffset = 0.0f;
    irr::f32 goalRatio = 0.0f;
    irr::f32 currentRatio = 0.0f;
    irr::f32 ratioLag = 0.0f;
    bool splineValid = false;
    bool TransitionUseEndpoints = false;
    bool UseAsFixedAngle = false;

private:
    void collectPoints(irr::core::array<CameraPointObject*>& out, irr::scene::ESCENE_NODE_TYPE type) const;
};
