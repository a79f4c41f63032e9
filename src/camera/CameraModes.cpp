#include "camera/CameraModes.h"

#include "camera/BlendVolumeCameraMode.h"
#include "camera/CameraObject.h"
#include "camera/SplineCameraMode.h"

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

namespace {
template <class Mode>
CameraMode* makePositionMode(CameraObject* owner) {
    return new Mode(owner);
}
template <class Target>
CameraTarget* makeTargetMode(CameraObject* owner) {
    return new Target(owner);
}
CameraMode* makeStationaryMode(CameraObject* owner) { return new StationaryCameraMode(owner); }
CameraTarget* makeDefaultTarget(CameraObject* owner) { return new DefaultCameraTarget(owner); }

// One creator per enumeration value, in the order of the name tables.
CameraMode* (*const positionModeCreators[])(CameraObject*) = {
    makeStationaryMode,
    makePositionMode<FixedAngleCameraMode>,
    makePositionMode<SplineCameraMode>,
    makePositionMode<ObjectLockCameraMode>,
    makePositionMode<CircleTrackCameraMode>,
    makePositionMode<BlendVolumeCameraMode>};
CameraTarget* (*const targetModeCreators[])(CameraObject*) = {
    makeDefaultTarget, makeTargetMode<TentaroCameraTarget>, makeTargetMode<ObjectIDCameraTarget>};
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
