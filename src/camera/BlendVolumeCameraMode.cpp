#include "camera/BlendVolumeCameraMode.h"

#include "camera/CameraObject.h"

#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"
#include "player/PlayerObject.h"

#include <algorithm>
#include <vector>

using namespace irr;

namespace {
// One scratch list for every blend-volume camera's scene queries (main thread only).
core::array<scene::ISceneNode*>& blendScratchList() {
    static core::array<scene::ISceneNode*> list;
    list.clear();
    return list;
}
} // namespace

BlendVolumeCameraMode::~BlendVolumeCameraMode() {
    memberCameras.clear();
    memberPoints.clear();
}

void BlendVolumeCameraMode::collectMembers() {
    memberCameras.clear();
    memberPoints.clear();
    scene::ISceneManager* scene = owner->getSceneManager();
    if (!scene)
        return;
    const scene::ESCENE_NODE_TYPE cameraType = typeId("cmro");
    core::array<scene::ISceneNode*>& found = blendScratchList();
    scene->getSceneNodesFromType(cameraType, found, owner);
    // A member is a camera whose nearest camera ancestor is this one (not one nested in a
    // member camera).
    for (u32 i = 0; i < found.size(); ++i)
        if (found[i] != owner && findAncestorOfKindUp(found[i], cameraType) == owner)
            memberCameras.push_back(static_cast<CameraObject*>(found[i]));
    blendScratchList();
    scene->getSceneNodesFromType(typeId("cmp1"), found, owner);
    for (u32 i = 0; i < found.size(); ++i)
        if (findAncestorOfKind(found[i], cameraType) == owner)
            memberPoints.push_back(found[i]);
}

void BlendVolumeCameraMode::update(CameraObject* camera) {
    if (camera::firstPlayer())
        blend(camera);
}

void BlendVolumeCameraMode::blend(CameraObject* camera) {
    collectMembers();
    if (!camera || memberCameras.size() != memberPoints.size())
        return;
    const core::vector3df player = camera::firstPlayer() ? camera::firstPlayer()->getAbsolutePosition() : core::vector3df();
    struct Pair {
        CameraObject* camera;
        f32 key;
    };
    std::vector<Pair> pairs;
    for (u32 i = 0; i < memberPoints.size(); ++i)
        if (memberPoints[i])
            pairs.push_back({memberCameras[i], player.getDistanceFromSQ(memberPoints[i]->getAbsolutePosition())});
    std::stable_sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) { return a.key < b.key; });
    blendedTarget = core::vector3df();
    if (!pairs.empty()) {
        const f32 nearest = pairs.front().key;
        std::vector<f32> weights(pairs.size(), 0.0f);
        f32 total = 0.0f;
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            // Standing on the nearest point gives that camera the whole weight.
            const f32 share = nearest == 0.0f ? (pairs[i].key == 0.0f ? 1.0f : 0.0f) : nearest / pairs[i].key;
            weights[i] = share * pairs[i].camera->BlendWeight;
            total += weights[i];
        }
        if (total > 0.0f) {
            core::vector3df position;
            for (std::size_t i = 0; i < pairs.size(); ++i) {
                const f32 w = weights[i] / total;
                scene::ICameraSceneNode* node = pairs[i].camera->cameraNode;
                if (!node)
                    continue;
                position += node->getAbsolutePosition() * w;
                blendedTarget += node->getTarget() * w;
            }
            camera->goalPosition = position;
        }
    }
    camera::approach(camera->currentPosition, camera->goalPosition,
                     camera::easingFactor(camera::frameSeconds(), 5.0f, camera->DampingSpeed));
    if (camera->cameraNode) {
        camera->cameraNode->setPosition(camera->currentPosition);
        camera->cameraNode->updateAbsolutePosition();
    }
}

void BlendVolumeCameraMode::drawDebug() {
    collectMembers();
    if (memberCameras.size() != memberPoints.size())
        return;
    video::IVideoDriver* driver = camera::beginDebugLines(owner);
    if (!driver)
        return;
    for (u32 i = 0; i < memberPoints.size(); ++i)
        if (memberPoints[i])
            driver->draw3DLine(memberCameras[i]->getAbsolutePosition(), memberPoints[i]->getAbsolutePosition(),
                               video::SColor(255, 255, 255, 0));
}
