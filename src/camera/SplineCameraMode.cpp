#include "camera/SplineCameraMode.h"

#include "camera/CameraManager.h"
#include "camera/CameraObject.h"
#include "camera/CameraPoints.h"
#include "camera/CameraTransition.h"

#include "core/Globals.h"
#include "level/SceneNodeTypes.h"
#include "player/PlayerObject.h"

#include <cmath>

using namespace irr;

const char* const SplineCameraMode::evaluationNames[] = {"Tentaro", "Tentaro + Object Average",
                                                         "Tentaro, Object Max", "Object", nullptr};

namespace {
// The segment of the ratio on a list of at least two points: index i with its local
// parameter u; i = n - 1 means past the end.
struct SplineSegment {
    u32 index = 0;
    f32 u = 0.0f;
    bool pastEnd = false;
};

SplineSegment findSegment(const core::array<CameraPointObject*>& points, f32 s) {
    SplineSegment segment;
    const u32 n = points.size();
    u32 i = 0;
    while (i + 1 < n && !(s <= points[i + 1]->Time))
        ++i;
    segment.index = i;
    if (i + 1 >= n) {
        segment.pastEnd = true;
        return segment;
    }
    const f32 span = points[i + 1]->Time - points[i]->Time;
    segment.u = span != 0.0f ? core::clamp((s - points[i]->Time) / span, 0.0f, 1.0f) : 0.0f;
    return segment;
}

struct HermiteWeights {
    f32 h00, h01, h10, h11;
};

HermiteWeights hermite(f32 u) {
    const f32 u2 = u * u, u3 = u2 * u;
    const f32 h01 = 3.0f * u2 - 2.0f * u3;
    return {1.0f - h01, h01, u3 - 2.0f * u2 + u, u3 - u2};
}

core::vector3df hermitePoint(const core::array<CameraPointObject*>& points, const SplineSegment& segment) {
    const CameraPointObject* a = points[segment.index];
    const CameraPointObject* b = points[segment.index + 1];
    const HermiteWeights w = hermite(segment.u);
    return a->getAbsolutePosition() * w.h00 + b->getAbsolutePosition() * w.h01 + a->outTangent * w.h10 +
           b->inTangent * w.h11;
}

// Catmull-Rom tangents inside, a quadratic end condition at the ends (with four points or
// more); in and out tangents alike.
void computeTangents(core::array<CameraPointObject*>& points) {
    const u32 n = points.size();
    auto p = [&](u32 i) { return points[i]->getAbsolutePosition(); };
    for (u32 i = 0; i < n; ++i) {
        core::vector3df tangent;
        if (i == 0) {
            if (n >= 4)
                tangent = (p(1) - p(0)) * 1.5f - (p(2) - p(1)) * 0.5f;
        } else if (i == n - 1) {
            if (n >= 4)
                tangent = (p(n - 1) - p(n - 2)) * 1.5f - (p(n - 2) - p(n - 3)) * 0.5f;
        } else {
            tangent = (p(i + 1) - p(i - 1)) * 0.5f;
        }
        points[i]->inTangent = points[i]->outTangent = tangent;
    }
}

bool timesValid(const core::array<CameraPointObject*>& points) {
    if (points.size() < 2 || points[0]->Time != 0.0f || points[points.size() - 1]->Time != 1.0f)
        return false;
    for (u32 i = 1; i < points.size(); ++i)
        if (points[i]->Time < points[i - 1]->Time)
            return false;
    return true;
}

} // namespace

void SplineCameraMode::collectPoints(core::array<CameraPointObject*>& out, scene::ESCENE_NODE_TYPE type) const {
    out.clear();
    scene::ISceneManager* scene = owner->getSceneManager();
    if (!scene)
        return;
    core::array<scene::ISceneNode*> found;
    scene->getSceneNodesFromType(type, found, owner);
    for (u32 i = 0; i < found.size(); ++i)
        out.push_back(static_cast<CameraPointObject*>(found[i]));
}

core::vector3df SplineCameraMode::cameraPositionAt(f32 s) const {
    const u32 n = splinePoints.size();
    if (n == 0)
        return {};
    if (n == 1)
        return splinePoints[0]->getAbsolutePosition();
    const SplineSegment segment = findSegment(splinePoints, s);
    if (segment.pastEnd)
        return {};
    const core::vector3df a = splinePoints[segment.index]->getAbsolutePosition();
    const core::vector3df b = splinePoints[segment.index + 1]->getAbsolutePosition();
    if (n == 2)
        return a * (1.0f - segment.u) + b * segment.u;
    if (a.equals(b, 1e-6f))
        return a;
    return hermitePoint(splinePoints, segment);
}

core::vector3df SplineCameraMode::subjectPositionAt(f32 s) const {
    const u32 n = pathPoints.size();
    if (n == 0)
        return {};
    if (n == 1)
        return pathPoints[0]->getAbsolutePosition();
    const SplineSegment segment = findSegment(pathPoints, s);
    return segment.pastEnd ? core::vector3df() : hermitePoint(pathPoints, segment);
}

core::vector3df SplineCameraMode::cameraRotationAt(f32 s) const {
    const u32 n = splinePoints.size();
    if (n == 0)
        return {};
    if (n == 1)
        return splinePoints[0]->getRotation();
    const SplineSegment segment = findSegment(splinePoints, s);
    if (segment.pastEnd)
        return {};
    const core::quaternion a(splinePoints[segment.index]->getRotation() * core::DEGTORAD);
    const core::quaternion b(splinePoints[segment.index + 1]->getRotation() * core::DEGTORAD);
    core::quaternion blended;
    blended.slerp(a, b, segment.u, 0.05f);
    core::vector3df euler;
    blended.toEuler(euler);
    return euler * core::RADTODEG;
}

f32 SplineCameraMode::standOffDistanceAt(f32 s) const {
    const u32 n = splinePoints.size();
    if (n == 0 || n != pathPoints.size())
        return 10.0f;
    auto d = [&](u32 k) {
        return splinePoints[k]->getAbsolutePosition().getDistanceFrom(pathPoints[k]->getAbsolutePosition());
    };
    if (n == 1)
        return d(0);
    const SplineSegment segment = findSegment(pathPoints, s);
    if (segment.pastEnd)
        return 10.0f;
    const u32 i = segment.index;
    const HermiteWeights w = hermite(segment.u);
    return w.h00 * d(i) + w.h01 * d(i + 1) + w.h10 * splinePoints[i]->outTangent.getLength() +
           w.h11 * splinePoints[i + 1]->inTangent.getLength();
}

f32 SplineCameraMode::nearestRatio(const core::vector3df& q) const {
    const u32 n = pathPoints.size();
    if (n < 2)
        return 0.0f;
    if (n == 2) {
        const core::vector3df a = pathPoints[0]->getAbsolutePosition();
        const core::vector3df ab = pathPoints[1]->getAbsolutePosition() - a;
        const f32 lengthSq = ab.getLengthSQ();
        if (lengthSq == 0.0f)
            return 0.0f;
        const core::vector3df f = ab * ((q - a).dotProduct(ab) / lengthSq);
        if (f.dotProduct(ab) <= 0.0f)
            return 0.0f;
        return core::clamp(f.getLength() / ab.getLength(), 0.0f, 1.0f);
    }
    s32 best = 0;
    f32 bestDistance = 1e8f;
    for (s32 j = 0; j < sampleCount; ++j) {
        const f32 distance = pathSamples[j].getDistanceFromSQ(q);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = j;
        }
    }
    if (best == 0)
        return 0.0f;
    if (best == sampleCount - 1)
        return 1.0f;
    const f32 base = f32(best) / 100.0f;
    const core::vector3df d = q - pathSamples[best];
    const f32 step = 1.0f / 99.0f;
    const bool ahead = (pathSamples[best + 1] - pathSamples[best]).dotProduct(d) > 0.0f;
    const core::vector3df neighbour = pathSamples[ahead ? best + 1 : best - 1];
    const f32 neighbourRatio = ahead ? base + step : base - step;
    const core::vector3df e = neighbour - pathSamples[best];
    const f32 lengthSq = e.getLengthSQ();
    if (lengthSq == 0.0f)
        return base;
    const f32 t = d.dotProduct(e) / lengthSq;
    const f32 w = core::clamp((e * t).getLength() / e.getLength(), 0.0f, 1.0f);
    return base * (1.0f - w) + neighbourRatio * w;
}

f32 SplineCameraMode::computeGoalRatio() const {
    PlayerObject* player = camera::firstPlayer();
    core::vector3df p = player ? player->getAbsolutePosition() : core::vector3df();
    const bool hasObject = evaluationObject != nullptr;
    const core::vector3df o = hasObject ? evaluationObject->getAbsolutePosition() : core::vector3df();
    core::vector3df q = p;
    if (SplineEvaluation == TentaroObjectAverage && hasObject) {
        if (!player)
            p = o;
        q = p * (1.0f - SplineEvalRatio) + o * SplineEvalRatio;
    } else if (SplineEvaluation == Object && hasObject) {
        q = o;
    }
    const f32 g = nearestRatio(q);
    if (SplineEvaluation == TentaroObjectMax && hasObject) {
        // The object can pull the camera ahead of the player, never behind.
        const f32 v = core::clamp(nearestRatio(o) + SplineEvalOffset, 0.0f, 1.0f);
        const f32 w = g * (1.0f - SplineEvalRatio) + v * SplineEvalRatio;
        return core::max_(w, g);
    }
    return g;
}

void SplineCameraMode::advanceRatio() {
    if (SplineEvalObjectID != 0 && !evaluationObject)
        evaluationObject = camera::levelNode(SplineEvalObjectID);
    if (!camera::isLevelRunning()) {
        // The editor shows the curves as they are edited.
        rebuildSpline();
        resamplePath();
        return;
    }
    const f32 dt = camera::frameSeconds();
    const f32 scale = pathLength > 1.0f ? SplineDamping / pathLength : 1.0f;
    goalRatio = computeGoalRatio();
    CameraManager* manager = cameraManagers[0];
    const CameraTransition* head = manager ? manager->transition : nullptr;
    const bool blending = head && (head->positionBlend < 1.0f || head->targetBlend < 1.0f);
    // Without a measured path the lag has no length: the ratio follows without it.
    if (!(blending && TransitionUseEndpoints) && pathLength > 0.0f) {
        const f32 k = -3.0f / pathLength;
        const f32 damping = owner->DampingSpeed;
        const f32 rate = (ratioLag / k * damping + damping) * dt * 5.0f;
        const f32 t = core::clamp(core::clamp(rate, 0.0f, 1.0f) * scale, 0.0f, 1.0f);
        const f32 step = (goalRatio - currentRatio) * t;
        ratioLag += step;
        currentRatio += step;
        ratioLag = core::clamp(ratioLag, k, 0.0f);
        if (std::fabs(k) > currentRatio * 0.5f) {
            const f32 m = core::max_(currentRatio * 0.5f, 0.0f);
            ratioLag = core::clamp(ratioLag, -m, 0.0f);
        }
        currentRatio = core::clamp(currentRatio, 0.0f, 1.0f);
    } else if (!(blending && TransitionUseEndpoints)) {
        currentRatio = core::clamp(goalRatio, 0.0f, 1.0f);
        ratioLag = 0.0f;
    }
    if (owner->DisableDamping)
        currentRatio = goalRatio;
}

void SplineCameraMode::update(CameraObject* camera) {
    if (!camera || !camera->cameraNode || !camera::isLevelRunning())
        return;
    scene::ICameraSceneNode* node = camera->cameraNode;
    const f32 s = currentRatio + ratioLag;
    if (!UseAsFixedAngle) {
        node->setPosition(cameraPositionAt(s));
    } else {
        core::vector3df f = camera::forwardFromDegrees(cameraRotationAt(s));
        if (f.getLengthSQ() > 0.0f)
            f.normalize();
        node->setPosition(node->getTarget() - f * standOffDistanceAt(s));
    }
    node->updateAbsolutePosition();
}

void SplineCameraMode::snapToGoal() {
    currentRatio = goalRatio;
    ratioLag = 0.0f;
}

void SplineCameraMode::onFirstFrame() {
    rebuildSpline();
    resamplePath();
}

bool SplineCameraMode::validatePoints() const { return timesValid(splinePoints) && timesValid(pathPoints); }

void SplineCameraMode::rebuildSpline() {
    collectPoints(pathPoints, typeId("cmp1"));
    collectPoints(splinePoints, typeId("cmrs"));
    splineValid = validatePoints();
    if (!splineValid)
        return;
    computeTangents(pathPoints);
    computeTangents(splinePoints);
}

void SplineCameraMode::resamplePath() {
    const u32 n = pathPoints.size();
    if (n < 2)
        return;
    if (n >= 3)
        for (u32 i = 1; i + 1 < n; ++i)
            pathPoints[i]->Time = f32(i) / f32(n - 1);
    rebuildSpline();
    // The same list may have been rebuilt: re-read its size.
    const u32 count = pathPoints.size();
    if (count < 2)
        return;
    f32 length = 0.0f;
    core::vector3df previous = pathPoints[0]->getAbsolutePosition();
    for (s32 j = 0; j < sampleCount; ++j) {
        const f32 s = f32(j) / 99.0f;
        const core::vector3df sample = subjectPositionAt(s);
        length += sample.getDistanceFrom(previous);
        previous = sample;
        pathSamples[j] = sample;
        for (u32 i = 1; i + 1 < count; ++i)
            if (pathPoints[i]->Time > s)
                pathPoints[i]->arcLength = length;
    }
    pathPoints[0]->Time = 0.0f;
    for (u32 i = 1; i < count; ++i)
        pathPoints[i]->Time = length > 0.0f ? pathPoints[i]->arcLength / length : 0.0f;
    pathPoints[count - 1]->Time = 1.0f;
    rebuildSpline();
    pathLength = 0.0f;
    for (s32 j = 1; j < sampleCount; ++j)
        pathLength += pathSamples[j].getDistanceFrom(pathSamples[j - 1]);
}

void SplineCameraMode::drawDebug() {
    if (!validatePoints())
        return;
    video::IVideoDriver* driver = camera::beginDebugLines(owner);
    if (!driver)
        return;
    for (int i = 0; i < 100; ++i) {
        const f32 s = f32(i) * 0.01f;
        driver->draw3DLine(cameraPositionAt(s), cameraPositionAt(s + 0.01f), video::SColor(255, 255, 255, 255));
    }
    for (int i = 0; i < 100; ++i) {
        const f32 s = f32(i) * 0.01f;
        driver->draw3DLine(subjectPositionAt(s), subjectPositionAt(s + 0.01f), video::SColor(255, 255, 255, 0));
    }
    collectPoints(splinePoints, typeId("cmrs"));
    for (u32 i = 0; i < splinePoints.size(); ++i)
        driver->draw3DLine(splinePoints[i]->getAbsolutePosition(), subjectPositionAt(splinePoints[i]->Time),
                       video::SColor(255, 0, 255, 255));
}

void SplineCameraMode::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    out->addFloat("SplineDamping", SplineDamping);
    out->addBool("TransitionUseEndpoints", TransitionUseEndpoints);
    out->addEnum("SplineEvaluation", evaluationNames[core::clamp(SplineEvaluation, 0, 3)], evaluationNames);
    if (owner->CameraTargetMode != CameraTargetId::Default)
        out->addBool("UseAsFixedAngle", UseAsFixedAngle);
    if (SplineEvaluation != Tentaro) {
        out->addInt("SplineEvalObjectID", SplineEvalObjectID);
        if (SplineEvaluation != Object)
            out->addFloat("SplineEvalRatio", SplineEvalRatio);
        if (SplineEvaluation == TentaroObjectMax)
            out->addFloat("SplineEvalOffset", SplineEvalOffset);
    }
}

void SplineCameraMode::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    if (!camera::isLevelRunning())
        rebuildSpline();
    if (in->existsAttribute("SplineDamping"))
        SplineDamping = in->getAttributeAsFloat("SplineDamping");
    if (in->existsAttribute("SplineEvaluation")) {
        const core::stringc name = in->getAttributeAsString("SplineEvaluation");
        for (s32 i = 0; evaluationNames[i]; ++i)
            if (name.equals_ignore_case(evaluationNames[i]))
                SplineEvaluation = i;
    }
    if (in->existsAttribute("SplineEvalObjectID"))
        SplineEvalObjectID = in->getAttributeAsInt("SplineEvalObjectID");
    if (in->existsAttribute("SplineEvalRatio"))
        SplineEvalRatio = in->getAttributeAsFloat("SplineEvalRatio");
    if (in->existsAttribute("SplineEvalOffset"))
        SplineEvalOffset = in->getAttributeAsFloat("SplineEvalOffset");
    if (in->existsAttribute("TransitionUseEndpoints"))
        TransitionUseEndpoints = in->getAttributeAsBool("TransitionUseEndpoints");
    if (in->existsAttribute("UseAsFixedAngle"))
        UseAsFixedAngle = in->getAttributeAsBool("UseAsFixedAngle");
}
