#include "camera/BlendVolumeCameraMode.h"
#include "camera/CameraManager.h"
#include "camera/CameraModes.h"
#include "camera/CameraObject.h"
#include "camera/SplineCameraMode.h"

#include "core/Globals.h"
#include "level/LevelInfo.h"
#include "level/LevelManager.h"
#include "player/PlayerObject.h"

using namespace irr;

namespace {
// Small height changes are followed at a tenth of the speed (a vertical dead zone).
void followWithDeadZone(CameraTarget& target, f32 rate) {
    core::vector3df delta = target.goalTarget - target.currentTarget;
    if (std::fabs(delta.Y) < 2.0f)
        delta.Y *= 0.1f;
    target.currentTarget += delta * camera::easingFactor(camera::frameSeconds(), rate, target.owner->DampingSpeed);
}

// The camera's forward point: 20 units ahead of its engine camera along the object's own
// forward direction.
core::vector3df forwardPoint(const CameraObject* camera) {
    return camera->cameraNode->getAbsolutePosition() + camera::forwardOf(camera) * 20.0f;
}
} // namespace

void DefaultCameraTarget::update() {
    if (!owner->cameraNode)
        return;
    core::vector3df rotation = owner->getAbsoluteTransformation().getRotationDegrees();
    SplineCameraMode* spline =
        owner->CameraMode == CameraModeId::Spline && owner->positionMode ? owner->positionMode->asSpline() : nullptr;
    if (spline)
        rotation = spline->cameraRotationAt(spline->currentRatio + spline->ratioLag);
    goalTarget = owner->cameraNode->getAbsolutePosition() + camera::forwardFromDegrees(rotation) * 20.0f;
    currentTarget = goalTarget;
    BlendVolumeCameraMode* blend = owner->CameraMode == CameraModeId::BlendVolume && owner->positionMode
                                       ? owner->positionMode->asBlendVolume()
                                       : nullptr;
    if (blend && camera::isLevelRunning())
        goalTarget = currentTarget = blend->blendedTarget;
}

void TentaroCameraTarget::update() {
    if (!owner->cameraNode)
        return;
    if (!camera::isLevelRunning()) {
        if (owner->CameraMode == CameraModeId::FixedAngle) {
            goalTarget = currentTarget = forwardPoint(owner);
        } else if (levelManager && levelManager->currentLevelInfo) {
            // In the editor the camera shows the level's information object.
            currentTarget = levelManager->currentLevelInfo->getAbsolutePosition();
        }
        return;
    }
    PlayerObject* player = camera::firstPlayer();
    if (!player)
        return;
    followedNode = player;
    if (cameraManagers[0])
        goalTarget = cameraManagers[0]->followPoint;
    if (playerCount() >= 2 && !camera::splitScreenOn()) {
        bool first = true;
        core::aabbox3df box;
        for (int i = 0; i < playerCount(); ++i) {
            PlayerObject* entry = getPlayer(i);
            if (!entry)
                continue;
            if (first)
                box.reset(entry->getAbsolutePosition());
            else
                box.addInternalPoint(entry->getAbsolutePosition());
            first = false;
        }
        goalTarget = box.getCenter();
    }
    if (TargetRatio != 1.0f)
        goalTarget = goalTarget * TargetRatio +
                     (owner->cameraNode->getAbsolutePosition() + owner->getLookVector()) * (1.0f - TargetRatio);
    followWithDeadZone(*this, 5.0f);
    if (player->getControlMode() == 1)
        currentTarget = goalTarget;
}

void ObjectIDCameraTarget::update() {
    if (objectID == 0 || !owner->cameraNode)
        return;
    followedNode = camera::levelNode(objectID);
    if (!followedNode)
        return;
    goalTarget = followedNode->getAbsolutePosition();
    PlayerObject* player = camera::firstPlayer();
    if (FollowTentaroY && player)
        goalTarget.Y = player->getPosition().Y;
    if (TargetRatio != 1.0f)
        goalTarget = goalTarget * TargetRatio + forwardPoint(owner) * (1.0f - TargetRatio);
    followWithDeadZone(*this, 6.0f);
}

void ObjectIDCameraTarget::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    out->addInt("ObjectID", objectID);
    if (owner->CameraMode != CameraModeId::ObjectLock)
        out->addFloat("TargetRatio", TargetRatio);
    out->addBool("FollowTentaroY", FollowTentaroY);
}

void ObjectIDCameraTarget::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    CameraTarget::deserializeAttributes(in, options);
    if (in && in->existsAttribute("FollowTentaroY"))
        FollowTentaroY = in->getAttributeAsBool("FollowTentaroY");
}
