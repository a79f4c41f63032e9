#include "camera/CameraTransition.h"

#include "camera/CameraCommon.h"
#include "camera/CameraObject.h"

using namespace irr;

CameraTransition::~CameraTransition() { freeTransitionChain(previous); }

void CameraTransition::freeTransitionChain(CameraTransition*& link) {
    // Iteratively, so a long chain of quick changes cannot exhaust the stack.
    CameraTransition* next = link;
    link = nullptr;
    while (next) {
        CameraTransition* older = next->previous;
        next->previous = nullptr;
        delete next;
        next = older;
    }
}

void CameraTransition::update(f32 dt) {
    if (previous)
        previous->update(dt);
    if (positionDuration > elapsed || targetDuration > elapsed)
        elapsed += speedFactor * dt;
    positionBlend = camera::smoothstepBlend(elapsed, positionDuration);
    targetBlend = camera::smoothstepBlend(elapsed, targetDuration);
    if (positionBlend >= 1.0f && targetBlend >= 1.0f && previous)
        freeTransitionChain(previous);
}

core::vector3df CameraTransition::getPosition() const {
    const core::vector3df base = previous && previous->camera ? previous->getPosition() : startPosition;
    if (!camera || !camera->cameraNode)
        return base;
    return base * (1.0f - positionBlend) + camera->cameraNode->getAbsolutePosition() * positionBlend;
}

f32 CameraTransition::getFOV() const {
    const f32 base = previous && previous->camera ? previous->getFOV() : startFov;
    if (!camera || !camera->cameraNode)
        return base;
    return base * (1.0f - positionBlend) + camera->cameraNode->getFOV() * positionBlend;
}

core::vector3df CameraTransition::getTarget() const {
    if (!camera || !camera->cameraNode)
        return startTarget;
    const core::vector3df goal = camera->cameraNode->getTarget();
    if (!targetMoves || targetBlend == 1.0f)
        return goal;
    const f32 lookDistance = goal.getDistanceFrom(camera->cameraNode->getAbsolutePosition());
    core::vector3df origin = startPosition;
    core::vector3df direction = startTarget - startPosition;
    if (previous && previous->camera) {
        origin = previous->getPosition();
        direction = previous->getTarget() - origin;
    }
    direction.normalize(); // a zero vector stays zero
    return (origin + direction * lookDistance) * (1.0f - targetBlend) + goal * targetBlend;
}
