#include "level/SplineObject.h"

#include "level/AttributeExtras.h"

#include <algorithm>
#include <cmath>

using namespace irr;

const c8* const SplineObject::endpointEvalNames[] = {"Stop",
                                                     "Use Previous Point",
                                                     "Use Next Point",
                                                     "Use Point Before Previous",
                                                     "Use Point After Next",
                                                     nullptr};

namespace {

// Eases a segment's parameter: accelerates over the first `a` of it and slows down over
// the last `b`, keeping the speed constant between.
f32 ease(f32 u, f32 a, f32 b) {
    a = core::clamp(a, 0.0f, 1.0f);
    b = core::clamp(b, 0.0f, 1.0f);
    const f32 sum = a + b;
    if (sum <= 0.0f)
        return u;
    if (sum > 1.0f) {
        a /= sum;
        b /= sum;
    }
    const f32 k = 1.0f / (2.0f - a - b);
    if (u < a)
        return (k / a) * u * u;
    if (u < 1.0f - b)
        return k * (2.0f * u - a);
    const f32 rest = 1.0f - u;
    return 1.0f - (k / b) * rest * rest;
}

} // namespace

void SplineObject::collectPointNodes() {
    scene::ISceneNode* holder =
        (Parent && isTypeOf(Parent->getType(), typeId("slne"))) ? Parent : this;
    pointNodes.clear();
    for (scene::ISceneNode* child : holder->getChildren()) {
        if (isTypeOf(child->getType(), typeId("slne")))
            pointNodes.push_back(static_cast<SplineObject*>(child));
    }
}

void SplineObject::rebuild() {
    points.clear();
    collectPointNodes();
    for (SplineObject* node : pointNodes) {
        node->updateAbsolutePosition();
        points.push_back({node->getAbsolutePosition(), node->Time, node->Tension, node->Continuity,
                          node->Bias, node->SpeedIn, node->SpeedOut, node->EndpointEval});
    }
    if (points.size() >= 2)
        NotReady = false;
}

void SplineObject::update() {
    rebuild();
    if (RebalanceFlag)
        rebalance();
    lastUpdateFrame = levelAnimateFrame;
}

bool SplineObject::isUpdated() const {
    return levelAnimateFrame != 0 && lastUpdateFrame == levelAnimateFrame;
}

void SplineObject::OnAnimate(u32 timeMs) {
    if (animatedThisFrame())
        return;
    update();
    LevelObject::OnAnimate(timeMs);
}

core::vector3df SplineObject::pointOrPhantom(long index) const {
    const long n = static_cast<long>(points.size());
    if (index >= 0 && index < n)
        return points[index].position;
    // Beyond an end: the end point, or a point inwards mirrored through it.
    const bool before = index < 0;
    const ControlPoint& end = before ? points.front() : points.back();
    const long step = before ? 1 : -1;
    const long endIndex = before ? 0 : n - 1;
    long inward = 0;
    switch (end.endpointEval) {
    case EndpointPrevious:
    case EndpointNext:
        inward = 1;
        break;
    case EndpointBeforePrevious:
    case EndpointAfterNext:
        inward = n > 2 ? 2 : 1;
        break;
    default:
        return end.position;
    }
    const long mirrored = std::clamp(endIndex + step * inward, 0L, n - 1);
    return end.position * 2.0f - points[mirrored].position;
}

core::vector3df SplineObject::evaluateSegment(std::size_t i, f32 u) const {
    const core::vector3df& p1 = points[i].position;
    const core::vector3df& p2 = points[i + 1].position;
    if (UseLinearInterpolation)
        return p1 + (p2 - p1) * u;
    const core::vector3df p0 = pointOrPhantom(static_cast<long>(i) - 1);
    const core::vector3df p3 = pointOrPhantom(static_cast<long>(i) + 2);

    f32 t1 = 0, c1 = 0, b1 = 0, t2 = 0, c2 = 0, b2 = 0;
    if (UseTCBControls) {
        t1 = points[i].tension;
        c1 = points[i].continuity;
        b1 = points[i].bias;
        t2 = points[i + 1].tension;
        c2 = points[i + 1].continuity;
        b2 = points[i + 1].bias;
    }
    const core::vector3df outgoing = (p1 - p0) * ((1 - t1) * (1 + b1) * (1 - c1) * 0.5f) +
                                     (p2 - p1) * ((1 - t1) * (1 - b1) * (1 + c1) * 0.5f);
    const core::vector3df incoming = (p2 - p1) * ((1 - t2) * (1 + b2) * (1 + c2) * 0.5f) +
                                     (p3 - p2) * ((1 - t2) * (1 - b2) * (1 - c2) * 0.5f);
    const f32 u2 = u * u;
    const f32 u3 = u2 * u;
    return p1 * (2 * u3 - 3 * u2 + 1) + outgoing * (u3 - 2 * u2 + u) + p2 * (-2 * u3 + 3 * u2) +
           incoming * (u3 - u2);
}

core::vector3df SplineObject::getPosition(f32 t) const {
    if (points.empty())
        return getAbsolutePosition();
    if (points.size() == 1)
        return points.front().position;
    t = core::clamp(t, 0.0f, 1.0f);
    const std::size_t last = points.size() - 1;
    if (t <= points.front().time)
        return points.front().position;
    if (t >= points.back().time)
        return points.back().position;
    std::size_t i = 0;
    while (i + 1 < last && t >= points[i + 1].time)
        ++i;
    const f32 t0 = points[i].time;
    const f32 t1 = points[i + 1].time;
    f32 u = t1 > t0 ? (t - t0) / (t1 - t0) : 1.0f;
    if (UseSpeedControls)
        u = ease(u, points[i].speedOut, points[i + 1].speedIn);
    return evaluateSegment(i, u);
}

core::vector3df SplineObject::getOrientation(f32 t) const {
    const f32 delta = 0.01f;
    const core::vector3df direction =
        getPosition(std::min(t + delta, 1.0f)) - getPosition(std::max(t - delta, 0.0f));
    if (direction.getLengthSQ() <= 0.0f)
        return core::vector3df(0, 0, 0);
    return direction.getHorizontalAngle();
}

f32 SplineObject::computeLength() {
    Length = 0.0f;
    const s32 divisions = std::max(DivisionCount, 1);
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        core::vector3df previous = points[i].position;
        for (s32 k = 1; k <= divisions; ++k) {
            const core::vector3df next = evaluateSegment(i, static_cast<f32>(k) / divisions);
            Length += (next - previous).getLength();
            previous = next;
        }
    }
    return Length;
}

void SplineObject::rebalance() {
    rebuild();
    const std::vector<SplineObject*>& nodes = pointNodes;
    if (points.size() < 2 || nodes.size() != points.size())
        return;
    const f32 step = RebalanceTimestep > 0.0f ? RebalanceTimestep : 0.05f;
    const s32 steps = static_cast<s32>(core::clamp(std::ceil(1.0f / step), 1.0f, 1000.0f));
    cumulative.assign(points.size(), 0.0f);
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        f32 segment = 0.0f;
        core::vector3df previous = points[i].position;
        for (s32 k = 1; k <= steps; ++k) {
            const core::vector3df next = evaluateSegment(i, static_cast<f32>(k) / steps);
            segment += (next - previous).getLength();
            previous = next;
        }
        cumulative[i + 1] = cumulative[i] + segment;
    }
    const f32 total = cumulative.back();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const f32 time =
            total > 0.0f ? cumulative[i] / total : static_cast<f32>(i) / (nodes.size() - 1);
        nodes[i]->Time = time;
        points[i].time = time;
    }
    Length = total;
}

void SplineObject::serializeAttributes(io::IAttributes* out,
                                       io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    out->addFloat("Time", Time);
    out->addInt("DivisionCount", DivisionCount);
    out->addFloat("RebalanceTimestep", RebalanceTimestep);
    out->addBool("UseTCBControls", UseTCBControls);
    out->addBool("UseSpeedControls", UseSpeedControls);
    out->addBool("UseLinearInterpolation", UseLinearInterpolation);
    const s32 eval =
        (EndpointEval >= 0 && EndpointEval <= EndpointAfterNext) ? EndpointEval : EndpointStop;
    out->addEnum("EndpointEval", endpointEvalNames[eval], endpointEvalNames);
    out->addFloat("SpeedIn", SpeedIn);
    out->addFloat("SpeedOut", SpeedOut);
    out->addFloat("Tension", Tension);
    out->addFloat("Continuity", Continuity);
    out->addFloat("Bias", Bias);
}

void SplineObject::deserializeAttributes(io::IAttributes* in,
                                         io::SAttributeReadWriteOptions* options) {
    LevelObject::deserializeAttributes(in, options);
    if (!in)
        return;
    readIfPresent(in, "Time", Time);
    readIfPresent(in, "DivisionCount", DivisionCount);
    readIfPresent(in, "RebalanceTimestep", RebalanceTimestep);
    readIfPresent(in, "UseTCBControls", UseTCBControls);
    readIfPresent(in, "UseSpeedControls", UseSpeedControls);
    readIfPresent(in, "UseLinearInterpolation", UseLinearInterpolation);
    readEnumIfPresent(in, "EndpointEval", endpointEvalNames, EndpointEval);
    readIfPresent(in, "SpeedIn", SpeedIn);
    readIfPresent(in, "SpeedOut", SpeedOut);
    readIfPresent(in, "Tension", Tension);
    readIfPresent(in, "Continuity", Continuity);
    readIfPresent(in, "Bias", Bias);
}

scene::ISceneNode* SplineObject::clone(scene::ISceneNode* newParent,
                                       scene::ISceneManager* newManager) {
    return cloneAs<SplineObject>(newParent, newManager);
}
