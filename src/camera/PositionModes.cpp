#include "camera/CameraManager.h"
#include "camera/CameraModes.h"
#include "camera/CameraObject.h"

#include "core/Globals.h"
#include "player/PlayerObject.h"

#include <cmath>

using namespace irr;

namespace {
// The projection of r onto the axis; a zero axis projects onto nothing.
core::vector3df projectOnto(const core::vector3df& r, const core::vector3df& axis) {
    const f32 lengthSq = axis.dotProduct(axis);
    return lengthSq > 0.0f ? axis * (r.dotProduct(axis) / lengthSq) : core::vector3df();
}

core::vector3df normalisedOrZero(core::vector3df v) {
    return v.getLengthSQ() > 0.0f ? v.normalize() : v;
}
} // namespace

void FixedAngleCameraMode::update(CameraObject* camera) {
    if (!camera || !camera->cameraNode)
        return;
    scene::ICameraSceneNode* node = camera->cameraNode;
    if (!camera::isLevelRunning()) {
        node->setPosition(camera->getAbsolutePosition());
    } else if (playerCount() <= 1) {
        node->setPosition(camera->lookTarget - camera::forwardOf(camera) * camera->Distance);
    } else {
        // Framing: back out until every player fits the picture.
        requiredDistance = camera->Distance;
        const core::vector3df centre = camera->targetMode ? camera->targetMode->goalTarget : camera->lookTarget;
        CameraManager* manager = cameraManagers[0];
        const core::vector3df up =
            manager && manager->mainCamera ? manager->mainCamera->getUpVector() : core::vector3df(0.0f, 1.0f, 0.0f);
        const core::vector3df flat = manager ? manager->getFlatViewDirection() : core::vector3df();
        const core::vector3df side = normalisedOrZero(up.crossProduct(flat));
        f32 extent = 0.0f, back = 0.0f;
        for (int i = 0; i < playerCount(); ++i) {
            PlayerObject* player = getPlayer(i);
            if (!player)
                continue;
            const core::vector3df r = player->getAbsolutePosition() - centre;
            const f32 h = projectOnto(r, side).getLength();
            const f32 v = 2.0f * projectOnto(r, up).getLength();
            extent = core::max_(extent, h, v);
            const core::vector3df b = projectOnto(r, flat);
            if (b.dotProduct(flat) < 0.0f)
                back = core::max_(back, 1.2f * b.getLength());
        }
        const f32 tanHalf = std::tan(node->getFOV() * 0.5f);
        const f32 needed = tanHalf > 0.0f ? (2.0f * extent / camera::displayAspect()) / tanHalf : 0.0f;
        requiredDistance = core::max_(requiredDistance, needed);
        if (camera->Distance + back > requiredDistance)
            requiredDistance = camera->Distance + back;
        // Closing in is ten times slower than backing out.
        f32 rate = camera->DampingSpeed;
        if (currentDistance > requiredDistance)
            rate *= 0.1f;
        currentDistance += (requiredDistance - currentDistance) * camera::easingFactor(camera::frameSeconds(), 5.0f, rate);
        node->setPosition(camera->lookTarget - camera::forwardOf(camera) * currentDistance);
    }
    node->updateAbsolutePosition();
    // A fixed-angle camera always follows the player.
    if (camera->CameraTargetMode == CameraTargetId::Default)
        camera->CameraTargetMode = CameraTargetId::Tentaro;
}

void PlayerFollowingCameraMode::onFirstFrame() {
    owner->updateAbsolutePosition();
    owner->goalPosition = owner->currentPosition = owner->getAbsolutePosition();
    if (owner->cameraNode) {
        owner->cameraNode->setPosition(owner->currentPosition);
        owner->cameraNode->updateAbsolutePosition();
    }
}

void ObjectLockCameraMode::update(CameraObject* camera) {
    PlayerObject* player = camera::firstPlayer();
    if (!camera || !camera->cameraNode || !player)
        return;
    const core::vector3df p = player->getAbsolutePosition();
    scene::ISceneNode* locked = ObjectLockID != 0 ? camera::levelNode(ObjectLockID) : nullptr;
    const core::vector3df o = locked ? locked->getAbsolutePosition() : core::vector3df();
    const core::vector3df d = normalisedOrZero(core::vector3df(o.X - p.X, 0.0f, o.Z - p.Z));
    core::matrix4 turn;
    turn.buildRotateFromTo(core::vector3df(0.0f, 0.0f, 1.0f), d);
    core::vector3df side(camera->ShoulderOffset.X, 0.0f, 0.0f);
    turn.rotateVect(side);
    const f32 r = camera->Distance + camera->ShoulderOffset.Z;
    camera->goalPosition = p + side - d * r;
    camera->goalPosition.Y = ObjectLockHeight + o.Y + camera->ShoulderOffset.Y;
    if (FollowTentaroY)
        camera->goalPosition.Y += p.Y - o.Y;
    camera::approach(camera->currentPosition, camera->goalPosition,
                     camera::easingFactor(camera::frameSeconds(), 5.0f, camera->DampingSpeed));
    camera->cameraNode->setPosition(camera->currentPosition);
    camera->cameraNode->updateAbsolutePosition();
}

void ObjectLockCameraMode::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    out->addFloat("ObjectLockHeight", ObjectLockHeight);
    out->addBool("FollowTentaroY", FollowTentaroY);
    out->addInt("ObjectLockID", ObjectLockID);
    out->addFloat("DampingSpeed", owner->DampingSpeed);
}

void ObjectLockCameraMode::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    if (in->existsAttribute("ObjectLockHeight"))
        ObjectLockHeight = in->getAttributeAsFloat("ObjectLockHeight");
    if (in->existsAttribute("FollowTentaroY"))
        FollowTentaroY = in->getAttributeAsBool("FollowTentaroY");
    if (in->existsAttribute("DampingSpeed"))
        owner->DampingSpeed = in->getAttributeAsFloat("DampingSpeed");
    // Older levels name the locked object by "ObjectID".
    if (in->existsAttribute("ObjectLockID"))
        ObjectLockID = in->getAttributeAsInt("ObjectLockID");
    else
        ObjectLockID = in->existsAttribute("ObjectID") ? in->getAttributeAsInt("ObjectID") : 0;
}

void CircleTrackCameraMode::update(CameraObject* camera) {
    PlayerObject* player = camera::firstPlayer();
    if (!camera || !camera->cameraNode || !player)
        return;
    const core::vector3df p = player->getAbsolutePosition();
    const core::vector3df d = normalisedOrZero(camera->getAbsolutePosition() - p);
    camera->goalPosition = p + d * (camera->Distance + camera->ShoulderOffset.Z);
    camera->goalPosition.Y = camera->lookTarget.Y + 4.0f + camera->ShoulderOffset.Y;
    camera::approach(camera->currentPosition, camera->goalPosition,
                     camera::easingFactor(camera::frameSeconds(), 5.0f, camera->DampingSpeed));
    camera->cameraNode->setPosition(camera->currentPosition);
    camera->cameraNode->updateAbsolutePosition();
}
