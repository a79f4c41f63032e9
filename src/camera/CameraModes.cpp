#include "camera/CameraModes.h"

#include "camera/CameraObject.h"

#include <iterator>

using namespace irr;

const char* const cameraModeNames[] = {"Stationary", "FixedAngle", "Spline", "Object Lock",
                                       "Circle Track", "Blend Volume", nullptr};
const char* const cameraTargetNames[] = {"Default", "Tentaro", "ObjectID", nullptr};

void StationaryCameraMode::update(CameraObject* camera) {
    if (camera && camera->cameraNode)
    {
        camera->cameraNode->setPosition(camera->getAbsolutePosition());
        camera->cameraNode->updateAbsolutePosition();
    }
}

void CameraTarget::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    objectID = in && in->existsAttribute("ObjectID") ? in->getAttributeAsInt("ObjectID") : 0;
}

void DefaultCameraTarget::update() {
    if (!owner->cameraNode)
        return;
    core::matrix4 rotation;
    rotation.setRotationDegrees(owner->getAbsoluteTransformation().getRotationDegrees());
    core::vector3df forward(0.0f, 0.0f, 1.0f);
    rotation.rotateVect(forward);
    goalTarget = owner->cameraNode->getAbsolutePosition() + forward * 20.0f;
    currentTarget = goalTarget;
}

namespace {
CameraMode* makeStationaryMode(CameraObject* owner) { return new StationaryCameraMode(owner); }
CameraTarget* makeDefaultTarget(CameraObject* owner) { return new DefaultCameraTarget(owner); }

// One creator per enumeration value; the other camera kinds fill their rows as they come,
// and until then a camera naming one of them stands and looks as the defaults do.
CameraMode* (*const positionModeCreators[])(CameraObject*) = {
    makeStationaryMode, nullptr, nullptr, nullptr, nullptr, nullptr};
CameraTarget* (*const targetModeCreators[])(CameraObject*) = {makeDefaultTarget, nullptr, nullptr};
} // namespace

CameraMode* createCameraMode(CameraObject* owner, s32& mode) {
    if (mode < 0 || mode >= s32(std::size(positionModeCreators)))
        mode = CameraModeId::Stationary;
    auto create = positionModeCreators[mode];
    return create ? create(owner) : makeStationaryMode(owner);
}

CameraTarget* createCameraTarget(CameraObject* owner, s32& target) {
    if (target < 0 || target >= s32(std::size(targetModeCreators)))
        target = CameraTargetId::Default;
    auto create = targetModeCreators[target];
    return create ? create(owner) : makeDefaultTarget(owner);
}
