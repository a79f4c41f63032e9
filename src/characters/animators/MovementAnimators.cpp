#include "characters/animators/MovementAnimators.h"

#include "core/ProgramQueries.h"
#include "level/AttributeExtras.h"
#include "level/VariableObject.h"

#include <cmath>
#include <string>

using namespace irr;

namespace {

constexpr f32 radiansToDegrees = 57.2957763671875f;
constexpr f32 degreesToRadians = 0.017453292f;

core::vector3df quaternionDegrees(const core::quaternion& q) {
    core::vector3df euler;
    q.toEuler(euler);
    return euler * radiansToDegrees;
}

core::quaternion degreesQuaternion(const core::vector3df& degrees) {
    return core::quaternion(degrees * degreesToRadians);
}

std::string numberedKey(const char* word, s32 number) { return word + std::to_string(number); }

bool nearZero(const core::vector3df& v) {
    return std::fabs(v.X) <= 0.000001f && std::fabs(v.Y) <= 0.000001f && std::fabs(v.Z) <= 0.000001f;
}

// Index wrapped into 0..count-1 by adding or subtracting the count once.
s32 wrapIndex(s32 index, s32 count) {
    if (index < 0)
        return index + count;
    if (index >= count)
        return index - count;
    return index;
}

} // namespace

void wrapProgress(f32& progress, f32& direction, bool loop, bool pingPong) {
    if (loop && !pingPong) {
        if (progress < 0.0f)
            progress = 1.0f;
        else if (progress > 1.0f)
            progress = 0.0f;
    } else if (pingPong && !loop) {
        if (progress > 1.0f) {
            direction = -direction;
            progress = 1.0f;
        }
    } else if (pingPong && loop) {
        if (progress < 0.0f) {
            direction = -direction;
            progress = 0.0f;
        } else if (progress > 1.0f) {
            direction = -direction;
            progress = 1.0f;
        }
    }
    progress = core::clamp(progress, 0.0f, 1.0f);
}

// --- moveStraight -------------------------------------------------------------------------

MoveStraightAnimator::MoveStraightAnimator(const core::vector3df& s, const core::vector3df& e, u32 time, bool l,
                                           bool p, u32)
    : start(s), end(e), timeForWay(time), loop(l), pingPong(p) {}

scene::ESCENE_NODE_ANIMATOR_TYPE MoveStraightAnimator::getType() const {
    return static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(AnimatorType::MoveStraight);
}

void MoveStraightAnimator::animateNode(scene::ISceneNode* node, u32) {
    if (!Enabled && resetOnDisable) {
        progress = 0.0f;
        directionFactor = 1.0f;
    }
    if (!isSimulationRunning() && !Enabled) {
        progress = 0.0f;
        directionFactor = 1.0f;
        if (wasEnabled && node)
            node->setPosition(start);
        wasEnabled = false;
        return;
    }
    if (!readyToRun(node, wasEnabled))
        return;
    if (timeForWay == 0)
        timeForWay = 1000;
    f32 step = animatorFrameSeconds() / (timeForWay * 0.001f) * directionFactor;
    if (Reversed)
        step = -step;
    progress += step;
    wrapProgress(progress, directionFactor, loop, pingPong);
    node->setPosition(start * (1.0f - progress) + end * progress);
    wasEnabled = Enabled;
}

scene::ISceneNodeAnimator* MoveStraightAnimator::createClone(scene::ISceneNode*, scene::ISceneManager* manager) {
    return cloneInto(new MoveStraightAnimator(start, end, timeForWay, loop, pingPong), manager);
}

void MoveStraightAnimator::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    AnimatorBase::serializeAttributes(out, options);
    writeEditorFlag(out);
    out->addVector3d("Start", start);
    out->addVector3d("End", end);
    out->addInt("TimeForWay", static_cast<s32>(timeForWay));
    out->addBool("Loop", loop);
    out->addBool("PingPong", pingPong);
    out->addBool("ResetOnDisable", resetOnDisable);
}

void MoveStraightAnimator::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    AnimatorBase::deserializeAttributes(in, options);
    readEditorFlag(in);
    start = in->getAttributeAsVector3d("Start");
    end = in->getAttributeAsVector3d("End");
    timeForWay = static_cast<u32>(in->getAttributeAsInt("TimeForWay"));
    loop = in->getAttributeAsBool("Loop");
    pingPong = in->getAttributeAsBool("PingPong");
    resetOnDisable = in->getAttributeAsBool("ResetOnDisable");
    if (isSimulationRunning())
        wasEnabled = Enabled;
}

// --- moveSpline ---------------------------------------------------------------------------

MoveSplineAnimator::MoveSplineAnimator(const std::vector<core::vector3df>& p, u32, f32 s, f32 t, bool l)
    : points(p), speed(s), tightness(t), loop(l) {}

scene::ESCENE_NODE_ANIMATOR_TYPE MoveSplineAnimator::getType() const {
    return static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(AnimatorType::MoveSpline);
}

void MoveSplineAnimator::evaluate(f32 u, core::vector3df& position, core::vector3df& rotation,
                                  core::vector3df& scale) {
    position = rotation = scale = core::vector3df(0, 0, 0);
    if (u >= 1.0f)
        u -= 0.00001f;
    const s32 n = static_cast<s32>(points.size());
    if (n == 0) {
        if (!loop)
            finished = true;
        return;
    }
    if (n == 1) {
        position = points[0];
        if (!rotations.empty())
            rotation = quaternionDegrees(rotations[0]);
        if (!scales.empty())
            scale = scales[0];
        if (!loop)
            finished = true;
        return;
    }
    const f32 s = (n - 1) * u;
    const s32 i = static_cast<s32>(std::floor(s));
    const f32 t = s - i;
    f32 h1 = 2 * t * t * t - 3 * t * t + 1, h2 = -2 * t * t * t + 3 * t * t;
    f32 h3 = t * t * t - 2 * t * t + t, h4 = t * t * t - t * t;
    if (linearMovement) {
        h1 = 1.0f - t;
        h2 = t;
        h3 = h4 = 0.0f;
    }
    auto curve = [&](const std::vector<core::vector3df>& keys) {
        const s32 count = static_cast<s32>(keys.size());
        const core::vector3df& p0 = keys[wrapIndex(i - 1, count)];
        const core::vector3df& p1 = keys[wrapIndex(i, count)];
        const core::vector3df& p2 = keys[wrapIndex(i + 1, count)];
        const core::vector3df& p3 = keys[wrapIndex(i + 2, count)];
        const core::vector3df t1 = (p2 - p0) * tightness;
        const core::vector3df t2 = (p3 - p1) * tightness;
        return p1 * h1 + p2 * h2 + t1 * h3 + t2 * h4;
    };
    if (animatePosition)
        position = curve(points);
    if (animateRotation && !rotations.empty()) {
        const s32 count = static_cast<s32>(rotations.size());
        core::quaternion q;
        q.slerp(rotations[wrapIndex(i % count, count)], rotations[wrapIndex((i + 1) % count, count)], t, 0.05f);
        rotation = quaternionDegrees(q);
    }
    if (animateScale && !scales.empty())
        scale = curve(scales);
}

void MoveSplineAnimator::evaluateAndApply(scene::ISceneNode* target, f32 u) {
    core::vector3df position, rotation, scale;
    evaluate(u, position, rotation, scale);
    if (!target)
        return;
    if (animatePosition)
        target->setPosition(position);
    if (animateRotation)
        target->setRotation(rotation);
    if (animateScale)
        target->setScale(scale);
}

void MoveSplineAnimator::animateNode(scene::ISceneNode* n, u32) {
    node = n;
    if (!Enabled && resetOnDisable) {
        directionFactor = 1.0f;
        progress = spawnTime;
    }
    if (!isSimulationRunning() && !Enabled) {
        progress = spawnTime;
        directionFactor = 1.0f;
        if (!points.empty() && wasEnabled)
            evaluateAndApply(node, progress);
        wasEnabled = Enabled;
        return;
    }
    if (!node || !Enabled) {
        wasEnabled = Enabled;
        return;
    }
    if (speed == 0.0f)
        speed = 1.0f;
    f32 step = animatorFrameSeconds() * speed * directionFactor;
    if (Reversed)
        step = -step;
    progress += step;
    wrapProgress(progress, directionFactor, loop, pingPong);
    evaluateAndApply(node, progress);
    if (disableWhenFinished && finished) {
        Enabled = false;
        finished = false;
    }
    wasEnabled = Enabled;
}

scene::ISceneNodeAnimator* MoveSplineAnimator::createClone(scene::ISceneNode*, scene::ISceneManager* manager) {
    return cloneInto(new MoveSplineAnimator(points, 0, speed, tightness, loop), manager);
}

void MoveSplineAnimator::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    AnimatorBase::serializeAttributes(out, options);
    if (transient)
        out->setAttribute("Enabled", false);
    writeEditorFlag(out);
    out->addFloat("SpawnTime", isSimulationRunning() ? progress : spawnTime);
    out->addFloat("Speed", speed);
    out->addFloat("Tightness", tightness);
    out->addBool("Loop", loop);
    out->addBool("PingPong", pingPong);
    out->addBool("LinearMovement", linearMovement);
    out->addBool("AnimatePosition", animatePosition);
    out->addBool("AnimateRotation", animateRotation);
    out->addBool("AnimateScale", animateScale);
    out->addBool("ResetOnDisable", resetOnDisable);
    const bool editor = options && (options->Flags & io::EARWF_FOR_EDITOR);
    const std::size_t count = points.size() + (editor ? 1 : 0);
    for (std::size_t i = 0; i < count; ++i) {
        const s32 number = static_cast<s32>(i) + 1;
        out->addVector3d(numberedKey("Point", number).c_str(), i < points.size() ? points[i] : core::vector3df());
        out->addVector3d(numberedKey("Rotation", number).c_str(),
                         i < rotations.size() ? quaternionDegrees(rotations[i]) : core::vector3df());
        if (animateScale)
            out->addVector3d(numberedKey("Scale", number).c_str(), i < scales.size() ? scales[i] : core::vector3df());
    }
}

void MoveSplineAnimator::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    AnimatorBase::deserializeAttributes(in, options);
    readEditorFlag(in);
    spawnTime = in->getAttributeAsFloat("SpawnTime");
    speed = in->getAttributeAsFloat("Speed");
    tightness = in->getAttributeAsFloat("Tightness");
    loop = in->getAttributeAsBool("Loop");
    pingPong = in->getAttributeAsBool("PingPong");
    linearMovement = in->getAttributeAsBool("LinearMovement");
    readIfPresent(in, "AnimatePosition", animatePosition);
    animateRotation = in->getAttributeAsBool("AnimateRotation");
    animateScale = in->getAttributeAsBool("AnimateScale");
    resetOnDisable = in->getAttributeAsBool("ResetOnDisable");
    points.clear();
    rotations.clear();
    scales.clear();
    progress = spawnTime;
    for (s32 i = 1; i < 100000; ++i) {
        const std::string pointKey = numberedKey("Point", i);
        if (!in->existsAttribute(pointKey.c_str()))
            break;
        points.push_back(in->getAttributeAsVector3d(pointKey.c_str()));
        rotations.push_back(degreesQuaternion(in->getAttributeAsVector3d(numberedKey("Rotation", i).c_str())));
        scales.push_back(in->getAttributeAsVector3d(numberedKey("Scale", i).c_str()));
    }
    // An editor write appends one zero point; reading it back that way drops it again.
    if (options && (options->Flags & io::EARWF_FOR_EDITOR) && points.size() > 2) {
        for (int pass = 0; pass < 2; ++pass) {
            if (!points.empty() && nearZero(points.back())) {
                points.pop_back();
                if (!rotations.empty())
                    rotations.pop_back();
                if (!scales.empty())
                    scales.pop_back();
            }
        }
    }
    const bool running = isSimulationRunning();
    if (running)
        wasEnabled = Enabled;
    if (node && spawnTime != 0.0f && !running)
        evaluateAndApply(node, progress);
}

// --- moveFlyCircle ------------------------------------------------------------------------

FlyCircleAnimator::FlyCircleAnimator(u32 time, const core::vector3df& c, const core::vector3df& d, f32 r, f32 s,
                                     f32 ellipse)
    : center(c), direction(d), radius(r), radiusEllipsoid(ellipse), speed(s), startTime(time), lastTime(time) {
    computeAxes();
}

scene::ESCENE_NODE_ANIMATOR_TYPE FlyCircleAnimator::getType() const {
    return static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(AnimatorType::MoveFlyCircle);
}

void FlyCircleAnimator::computeAxes() {
    if (direction.getLength() != 0.0f)
        direction.normalize();
    const core::vector3df side = direction.Y != 0.0f ? core::vector3df(50, 0, 0) : core::vector3df(0, 50, 0);
    axisV = side.crossProduct(direction);
    axisV.normalize();
    axisU = axisV.crossProduct(direction);
    axisU.normalize();
}

void FlyCircleAnimator::animateNode(scene::ISceneNode* node, u32 timeMs) {
    const u32 delta = timeMs - lastTime;
    if (Reversed)
        reverseOffset += 2 * delta;
    lastTime = timeMs;
    if (!Enabled) {
        startTime += delta;
        return;
    }
    if (!node)
        return;
    f32 angle = startTime > timeMs ? static_cast<f32>(static_cast<s32>(timeMs - startTime)) * speed
                                   : static_cast<f32>(timeMs - startTime) * speed;
    angle -= static_cast<f32>(reverseOffset) * speed;
    const f32 r2 = radiusEllipsoid == 0.0f ? radius : radiusEllipsoid;
    node->setPosition(center + axisU * (radius * std::cos(angle)) + axisV * (r2 * std::sin(angle)));
}

scene::ISceneNodeAnimator* FlyCircleAnimator::createClone(scene::ISceneNode*, scene::ISceneManager* manager) {
    return cloneInto(new FlyCircleAnimator(startTime, center, direction, radius, speed, radiusEllipsoid), manager);
}

void FlyCircleAnimator::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    AnimatorBase::serializeAttributes(out, options);
    writeEditorFlag(out);
    out->addVector3d("Center", center);
    out->addFloat("Radius", radius);
    out->addFloat("Speed", speed);
    out->addVector3d("Direction", direction);
    out->addFloat("RadiusEllipsoid", radiusEllipsoid);
    out->addBool("ResetOnDisable", resetOnDisable);
}

void FlyCircleAnimator::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    AnimatorBase::deserializeAttributes(in, options);
    readEditorFlag(in);
    center = in->getAttributeAsVector3d("Center");
    radius = in->getAttributeAsFloat("Radius");
    speed = in->getAttributeAsFloat("Speed");
    const core::vector3df before = direction;
    direction = in->getAttributeAsVector3d("Direction");
    if (nearZero(direction))
        direction.set(0, 1, 0);
    else
        direction.normalize();
    resetOnDisable = in->getAttributeAsBool("ResetOnDisable");
    radiusEllipsoid = in->getAttributeAsFloat("RadiusEllipsoid");
    if (!direction.equals(before, 0.000001f))
        computeAxes();
}

// --- moveRotation -------------------------------------------------------------------------

MoveRotationAnimator::MoveRotationAnimator(const core::vector3df& r) : rotation(r) {}

scene::ESCENE_NODE_ANIMATOR_TYPE MoveRotationAnimator::getType() const {
    return static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(AnimatorType::MoveRotation);
}

void MoveRotationAnimator::animateNode(scene::ISceneNode* node, u32) {
    speedVariable = findVariableObject(speedVariableID);
    if (isSimulationRunning() && speedVariableID != 0 && !speedVariable)
        speedVariableID = 0;
    if (!node || !Enabled)
        return;
    const f32 factor = speedVariable ? speedVariable->Value : 1.0f;
    core::vector3df step = rotation * (animatorFrameSeconds() * 100.0f * factor);
    if (Reversed)
        step = -step;
    core::vector3df r = node->getRotation() + step;
    for (f32* c : {&r.X, &r.Y, &r.Z})
        if (*c > 360.0f || *c < 0.0f)
            *c = std::fmod(*c, 360.0f);
    node->setRotation(r);
}

scene::ISceneNodeAnimator* MoveRotationAnimator::createClone(scene::ISceneNode*, scene::ISceneManager* manager) {
    return cloneInto(new MoveRotationAnimator(rotation), manager);
}

void MoveRotationAnimator::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    AnimatorBase::serializeAttributes(out, options);
    writeEditorFlag(out);
    out->addVector3d("Rotation", rotation);
    addObjectReference(out, "SpeedVariableID", speedVariableID);
}

void MoveRotationAnimator::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    AnimatorBase::deserializeAttributes(in, options);
    readEditorFlag(in);
    rotation = in->getAttributeAsVector3d("Rotation");
    speedVariableID = in->getAttributeAsInt("SpeedVariableID");
}

// --- rotateTowards ------------------------------------------------------------------------

scene::ESCENE_NODE_ANIMATOR_TYPE RotateTowardsAnimator::getType() const {
    return static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(AnimatorType::RotateTowards);
}

void RotateTowardsAnimator::animateNode(scene::ISceneNode* node, u32) {
    if (!node)
        return;
    if (needsLookup) {
        target = findAnimatorObject(targetObjectID);
        needsLookup = false;
    }
    if (!target)
        return;
    const core::vector3df d = target->getAbsolutePosition() - node->getAbsolutePosition();
    // The same point: no direction to turn to, the node keeps its rotation.
    if (d.getLengthSQ() == 0.0f)
        return;
    core::matrix4 turn;
    turn.buildRotateFromTo(core::vector3df(0, 0, 1), d);
    node->setRotation(turn.getRotationDegrees());
}

scene::ISceneNodeAnimator* RotateTowardsAnimator::createClone(scene::ISceneNode*, scene::ISceneManager* manager) {
    return cloneInto(new RotateTowardsAnimator(), manager);
}

void RotateTowardsAnimator::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    AnimatorBase::serializeAttributes(out, options);
    writeEditorFlag(out);
    addObjectReference(out, "TargetObjectID", targetObjectID);
}

void RotateTowardsAnimator::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    AnimatorBase::deserializeAttributes(in, options);
    readEditorFlag(in);
    targetObjectID = in->getAttributeAsInt("TargetObjectID");
    needsLookup = true;
}
