#include "camera/CameraManager.h"

#include "camera/CameraObject.h"
#include "camera/CameraServices.h"
#include "camera/CameraTransition.h"
#include "camera/GameCamera.h"

#include "core/Globals.h"
#include "level/SceneNodeTypes.h"
#include "phys/Scene.h"
#include "phys/Shape.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"
#include "physics/world/PhysicsUserData.h"
#include "player/PlayerObject.h"
#include "render/ShaderManager.h"
#include "triggers/CameraTriggerVolume.h"

#include <cmath>

using namespace irr;

namespace {
// The camera fade of a physics object: the opacity its drawing moves toward (1 opaque, 0.5
// while a camera ray passes it). Nodes of no physics kind stay opaque.
void setCameraFade(scene::ISceneNode* node, f32 alpha) {
    if (PhysicsObject* object = asPhysicsObject(node))
        object->mesh().fadeAlphaTarget = alpha;
}

f32 getCameraFade(scene::ISceneNode* node) {
    const PhysicsObject* object = asPhysicsObject(node);
    return object ? object->mesh().fadeAlphaTarget : 1.0f;
}
} // namespace

CameraManager* getCameraManager(int viewport) {
    return viewport >= 0 && viewport < maxCameraManagers ? cameraManagers[viewport] : nullptr;
}

CameraManager::CameraManager(u32 playerIndex) : playerIndex(playerIndex) {}

CameraManager::~CameraManager() {
    mainCamera = nullptr;
    gameCamera = nullptr;
    CameraTransition::freeTransitionChain(transition);
    overrideCameras.clear();
    fadedNodes.clear();
}

scene::ISceneManager* CameraManager::sceneManager() const {
    return gameDevice ? gameDevice->getSceneManager() : nullptr;
}

void CameraManager::onLevelLoaded() {
    debugCamera = nullptr;
    inputManager = ::inputManager;
    overrideCameras.clear();
    fadedNodes.clear();
    scene::ISceneManager* scene = sceneManager();
    if (!scene)
        return;
    mainCamera = scene->addCameraSceneNode(nullptr, core::vector3df(0.0f, 40.0f, 0.0f), core::vector3df(), -1, true);
    if (mainCamera) {
        mainCamera->setName("MainCamera");
        mainCamera->setIsDebugObject(true);
        if (screenHeight > 0)
            mainCamera->setAspectRatio(f32(screenWidth) / f32(screenHeight));
        mainCamera->setFarValue(defaultFarValue);
        mainCamera->setNearValue(camera::defaultNearValue);
        mainCamera->setFOV(camera::defaultFov);
    }
    gameCamera = new GameCamera(this, scene->getRootSceneNode(), scene);
    gameCamera->setName("OverrideManualCam");
    gameCamera->PriorityLevel = camera::lowestPriority;
    gameCamera->drop();
    manualYaw = manualYawGoal = manualPitch = manualPitchGoal = manualZoom = manualZoomGoal = 0.0f;
    fovNarrowingGoal = fovNarrowing = 0.0f;
    cameraVelocity = lastCameraPosition = core::vector3df();
    cameraSpeed = 1.0f;
    freeCamera = false;
    CameraTransition::freeTransitionChain(transition);
    snapNextActivation = true;
    gameCameraSuppressed = false;
    manualCameraAllowed = false;
}

void CameraManager::resetLevelCameras() {
    mainCamera = nullptr;
    debugCamera = nullptr;
    followedNode = nullptr;
    // The cameras of the chain, the list and the faded objects died with the scene: nothing
    // may reach them before the next level arms the manager again.
    gameCamera = nullptr;
    CameraTransition::freeTransitionChain(transition);
    overrideCameras.clear();
    fadedNodes.clear();
    currentSource = nullptr;
}

CameraObject* CameraManager::headCamera() const { return transition ? transition->camera : nullptr; }

CameraObject* CameraManager::getOverrideCamera() const { return overridesDisabled ? nullptr : headCamera(); }

scene::ICameraSceneNode* CameraManager::getViewportCamera() const {
    return freeCamera && debugCamera ? debugCamera : mainCamera;
}

core::vector3df CameraManager::getFlatViewDirection() const {
    const scene::ICameraSceneNode* view = getViewportCamera();
    if (!view)
        return {};
    core::vector3df direction = view->getAbsolutePosition() - view->getTarget();
    direction.Y = 0.0f;
    if (direction.getLength() == 0.0f)
        return {};
    return direction.normalize();
}

// --- per frame ----------------------------------------------------------------------------

void CameraManager::update(f32 dt) {
    if (!mainCamera || !camera::isLevelRunning())
        return;
    if (!followedNode)
        followedNode = getPlayer(s32(playerIndex));
    for (u32 i = 0; i < fadedNodes.size(); ++i)
        setCameraFade(fadedNodes[i], 1.0f);
    dt = camera::clampFrameTime(dt);
    const core::vector3df position = mainCamera->getAbsolutePosition();
    cameraVelocity = position - lastCameraPosition;
    lastCameraPosition = position;
    cameraSpeed = dt > 0.0f ? cameraVelocity.getLength() / dt : 0.0f;
    smoothFollowPoint(dt);

    if (debugMode)
        handleDebugKeys();
    if (freeCamera) {
        updateFreeCamera();
    } else if (transition && !overridesDisabled && transition->camera) {
        updateOverrideCamera(dt);
    } else if (!gameCameraSuppressed && gameCamera) {
        f32 speed = 0.0f;
        const core::vector3df lookTarget = gameCamera->targetMode ? gameCamera->targetMode->goalTarget : core::vector3df();
        if (lookTarget.getDistanceFromSQ(mainCamera->getTarget()) > 1.0f)
            speed = 1.0f;
        gameCamera->PriorityLevel = camera::lowestPriority;
        CameraActivation activation;
        activation.camera = gameCamera;
        activation.speed = speed;
        activation.fallback = true;
        const bool firstOfLevel = snapNextActivation;
        setActiveCamera(activation);
        // The level's first camera takes its place in this frame: the frame drawn next would
        // otherwise show the view the main camera was made with (straight down from above).
        // A camera of the level's own chosen before the next frame still cuts to its place.
        if (firstOfLevel && transition && transition->camera) {
            updateOverrideCamera(0.0f);
            snapNextActivation = true;
        }
    }
    pruneFadedNodes();

    scene::ICameraSceneNode* view = getViewportCamera();
    if (view) {
        view->OnAnimate(gameDevice ? gameDevice->getTimer()->getTime() : 0);
        view->render();
    }
}

void CameraManager::smoothFollowPoint(f32 dt) {
    if (!followedNode)
        return;
    const f32 v = followedNode->getLinearVelocity().getLength();
    const f32 d = followedNode->getAbsolutePosition().getDistanceFrom(mainCamera->getPosition());
    followPointGoal = followedNode->getLookAheadPoint(d);
    const f32 rate = core::clamp((v / 0.3f + 1.0f) * (dt * 6.0f), 0.0f, 1.0f);
    followPoint += (followPointGoal - followPoint) * rate;
}

void CameraManager::updateOverrideCamera(f32 dt) {
    core::vector3df position = mainCamera->getPosition();
    core::vector3df target = mainCamera->getTarget();
    f32 fov = mainCamera->getFOV();
    if (transition) {
        f32 multiplier = 1.0f;
        CameraObject* head = transition->camera;
        if (head && head->CameraTargetMode == CameraTargetId::Tentaro && followedNode) {
            const f32 v = followedNode->getLinearVelocity().getLength();
            const f32 d = transition->getPosition().getDistanceFrom(followedNode->getAbsolutePosition());
            multiplier = (v / 0.3f + 1.0f) + 0.3f * core::clamp(10.0f - d, 0.0f, 1.0f);
        }
        transition->update(dt * multiplier);
        position = transition->getPosition();
        target = transition->getTarget();
        fov = transition->getFOV();
    }
    castBodyRays(position);
    updateManualControl(dt, position, target);
    mainCamera->setPosition(position);
    mainCamera->updateAbsolutePosition();
    mainCamera->setTarget(target);

    CameraObject* active = getOverrideCamera();
    if (followedNode) {
        const f32 d = core::clamp(followedNode->getAbsolutePosition().getDistanceFrom(mainCamera->getPosition()), 5.0f, 30.0f);
        const f32 z = (d - 5.0f) / 25.0f;
        const bool allowed = followedNode->getBodyMode() == 0 && !(multiTaroMode && playerCount() > 1);
        fovNarrowingGoal = allowed && (!active || !active->BlockArmsModeZoom) ? 0.5f * z : 0.0f;
    }
    snapNextActivation = false;
    const f32 rate = followedNode && followedNode->hasZoomDamping() ? 10.0f : 25.0f;
    fovNarrowing += camera::easingFactor(dt, rate) * (fovNarrowingGoal - fovNarrowing);
    if (camera::cutsceneBarsShown())
        fovNarrowing = 0.0f;
    mainCamera->setFOV(fov - fovNarrowing);
}

// --- activation and the override list ------------------------------------------------------

void CameraManager::setActiveCamera(CameraActivation activation) {
    CameraObject* cameraObject = activation.camera;
    if (!cameraObject) {
        CameraTransition::freeTransitionChain(transition);
        return;
    }
    if (transition && transition->camera == cameraObject)
        return;
    const CameraTriggerVolume* sourceVolume = asCameraVolume(activation.source);
    manualCameraAllowed = sourceVolume && sourceVolume->AllowManualCamera;
    if (activation.source && !manualCameraAllowed && gameCamera && getOverrideCamera() == gameCamera)
        gameCamera->PriorityLevel = camera::lowestPriority;
    activation.snap = snapNextActivation;
    cameraObject->onActivated(activation);
    if (!mainCamera)
        return;

    auto* link = new CameraTransition();
    link->previous = transition;
    transition = link;
    if (!link->previous) {
        link->startPosition = mainCamera->getPosition();
        link->startTarget = mainCamera->getTarget();
        link->startFov = mainCamera->getFOV();
    }
    cameraObject->ensureCameraNode();
    scene::ICameraSceneNode* node = cameraObject->cameraNode;
    if (node && node->getTarget().equals(mainCamera->getTarget(), 0.1f))
        link->targetMoves = false;
    f32 factor = 1.0f;
    for (CameraTransition* older = link; older; older = older->previous, factor *= 2.0f)
        older->speedFactor = factor;

    const f32 speed = activation.speed;
    const core::vector3df nodePosition = node ? node->getAbsolutePosition() : cameraObject->getAbsolutePosition();
    f32 distance = mainCamera->getAbsolutePosition().getDistanceFrom(nodePosition);
    if (distance == 0.0f)
        distance = 1.0f;
    link->positionDuration = distance * 0.2f * speed;

    auto lookPoint = [](const core::vector3df& position, const core::vector3df& target) {
        return position + (target - position).normalize() * 5.0f;
    };
    const core::vector3df oldLook = lookPoint(mainCamera->getAbsolutePosition(), mainCamera->getTarget());
    const core::vector3df newLook = node ? lookPoint(nodePosition, node->getTarget()) : nodePosition;
    link->targetDuration = oldLook.getDistanceFrom(newLook) * 0.2f * speed;

    if (link->positionDuration == 0.0f || snapNextActivation) {
        cameraObject->snapToGoal(speed);
        link->positionDuration = 0.0f;
        lastCameraPosition = cameraObject->getAbsolutePosition();
    }
    if (link->targetDuration == 0.0f || snapNextActivation) {
        if (followedNode) {
            followPointGoal = followedNode->getLookAheadPoint(
                followedNode->getAbsolutePosition().getDistanceFrom(mainCamera->getPosition()));
            followPoint = followPointGoal;
        }
        cameraObject->snapToGoal(speed);
        link->targetDuration = 0.0f;
        fovNarrowing = fovNarrowingGoal;
    }
    cameraObject->transitionSpeed = speed;
    link->startPosition = mainCamera->getPosition();
    link->startTarget = mainCamera->getTarget();
    link->startFov = mainCamera->getFOV();
    link->camera = cameraObject;
    link->source = activation.source;

    if (speed == 0.0f && activation.crossfade && cameraServices().screens.startCrossfade)
        cameraServices().screens.startCrossfade();

    if (cameraObject->UseDefaultFarValue)
        mainCamera->setFarValue(defaultFarValue);
    else if (node && node->getFarValue() != mainCamera->getFarValue())
        mainCamera->setFarValue(node->getFarValue());
    if (cameraObject->UseDefaultNearValue)
        mainCamera->setNearValue(camera::defaultNearValue);
    else if (node && node->getNearValue() != mainCamera->getNearValue())
        mainCamera->setNearValue(node->getNearValue());
}

namespace {
// The volume's transition settings for coming from the predecessor replace the speed (when
// it names one) and may ask for a crossfade.
void applyVolumeTransition(scene::ISceneNode* source, scene::ISceneNode* predecessor, f32& speed, bool& crossfade) {
    CameraTriggerVolume* volume = asCameraVolume(source);
    if (!volume)
        return;
    const f32 volumeSpeed = volume->getTransitionSpeedFrom(predecessor);
    if (volumeSpeed >= 0.0f)
        speed = volumeSpeed;
    if (volume->getUseCrossfadeFrom(predecessor))
        crossfade = true;
}
} // namespace

void CameraManager::pushCamera(CameraObject* cameraObject, scene::ISceneNode* source, f32 speed, bool crossfade) {
    if (!cameraObject)
        return;
    const bool blocked = camera::cutsceneBarsShown();
    cameraObject->transitionSpeed = speed;
    if (source && currentSource)
        applyVolumeTransition(source, currentSource, speed, crossfade);
    CameraActivation activation;
    activation.camera = cameraObject;
    activation.source = source;
    activation.speed = speed;
    activation.crossfade = crossfade;
    if (overrideCameras.empty()) {
        overrideCameras.push_back({cameraObject, source});
        if (!blocked)
            setActiveCamera(activation);
        currentSource = source;
        return;
    }
    auto it = overrideCameras.begin();
    for (; it != overrideCameras.end(); ++it)
        if (it->camera && it->camera->PriorityLevel <= cameraObject->PriorityLevel)
            break;
    if (it == overrideCameras.end())
        overrideCameras.push_back({cameraObject, source});
    else
        overrideCameras.insert_before(it, {cameraObject, source});
    if (overrideCameras.begin()->camera == cameraObject) {
        if (!blocked)
            setActiveCamera(activation);
        currentSource = overrideCameras.begin()->source;
    }
}

void CameraManager::removeCamera(CameraObject* cameraObject) {
    if (!cameraObject)
        return;
    auto it = overrideCameras.begin();
    for (; it != overrideCameras.end(); ++it)
        if (it->camera == cameraObject)
            break;
    if (it == overrideCameras.end())
        return;
    const bool wasFirst = it == overrideCameras.begin();
    f32 speed = wasFirst ? cameraObject->transitionSpeed : 1.0f;
    overrideCameras.erase(it);
    if (!wasFirst || cutsceneRunning)
        return;
    if (overrideCameras.empty()) {
        setActiveCamera(CameraActivation{});
        return;
    }
    const CameraListEntry entry = *overrideCameras.begin();
    bool crossfade = false;
    if (entry.source)
        applyVolumeTransition(entry.source, currentSource, speed, crossfade);
    CameraActivation activation;
    activation.camera = entry.camera;
    activation.source = entry.source;
    activation.speed = speed;
    activation.crossfade = crossfade;
    setActiveCamera(activation);
    currentSource = entry.source;
}

// --- camera rays ------------------------------------------------------------------------------

bool CameraManager::castRay(const core::vector3df& from, const core::vector3df& to, core::vector3df& hit, u32 flags) {
    phys::Scene* scene = physicsManager ? physicsManager->getScene() : nullptr;
    if (!scene)
        return false;
    core::vector3df direction = to - from;
    const f32 length = direction.getLength();
    if (length <= 0.0f)
        return false;
    direction /= length;
    phys::RaycastHit result;
    const phys::QueryFilterData filter(phys::FilterData(), flags);
    if (!scene->raycastSingle(phys::Vec3(from.X, from.Y, from.Z), phys::Vec3(direction.X, direction.Y, direction.Z),
                              length, phys::HitImpact, result, filter, this))
        return false;
    hit.set(result.position.x, result.position.y, result.position.z);
    return true;
}

bool CameraManager::raycast(const core::vector3df& from, const core::vector3df& to, core::vector3df& hit) {
    return castRay(from, to, hit, phys::QueryStatic | phys::QueryDynamic | phys::QueryPrefilter);
}

bool CameraManager::raycastWithPostFilter(const core::vector3df& from, const core::vector3df& to,
                                          core::vector3df& hit) {
    return castRay(from, to, hit,
                   phys::QueryStatic | phys::QueryDynamic | phys::QueryPrefilter | phys::QueryPostfilter);
}

phys::QueryHitType CameraManager::preFilter(const phys::FilterData&, phys::Shape* shape, phys::RigidActor*,
                                            uint32_t&) {
    PhysicsUserData* data = shape ? userDataOf(shape) : nullptr;
    if (!data || !data->node)
        return phys::QueryHitType::None;
    scene::ISceneNode* node = data->node;
    const scene::ESCENE_NODE_TYPE type = node->getType();
    const bool anchored = type == typeId("apsx");
    if (type != typeId("phsx") && !anchored && type != typeId("ties") && type != typeId("crct"))
        return phys::QueryHitType::None;
    if (data->state != PhysicsState::Static && !anchored)
        return phys::QueryHitType::None;
    PhysicsObject* object = asPhysicsObject(node);
    if (object && object->ClipObject)
        return phys::QueryHitType::Block;
    if (fadedNodes.linear_search(node) < 0)
        fadedNodes.push_back(node);
    if (object && object->ClipTransparent && shaderManager && shaderManager->areShadersEnabled())
        setCameraFade(node, 0.5f);
    return phys::QueryHitType::None;
}

phys::QueryHitType CameraManager::postFilter(const phys::FilterData&, const phys::QueryHit&) {
    return phys::QueryHitType::Block;
}

void CameraManager::pruneFadedNodes() {
    core::array<scene::ISceneNode*> kept;
    for (u32 i = 0; i < fadedNodes.size(); ++i) {
        scene::ISceneNode* node = fadedNodes[i];
        if (getCameraFade(node) != 1.0f)
            kept.push_back(node);
    }
    fadedNodes = kept;
}

void CameraManager::castBodyRays(core::vector3df& position) {
    CameraObject* active = headCamera();
    if (!followedNode || !active)
        return;
    const core::vector3df body = followedNode->getPosition();
    core::vector3df hit;
    const bool bodyMode = followedNode->getBodyMode() != 0;
    if (active->clipsObjects()) {
        if (raycast(body, position, hit))
            position = hit;
        if (!bodyMode)
            raycast(followedNode->getLimbTipPosition(), position, hit);
    } else if (bodyMode) {
        core::vector3df side = mainCamera->getUpVector().crossProduct(getFlatViewDirection());
        side.normalize();
        raycast(body + side, position, hit);
        raycast(body - side, position, hit);
    } else {
        raycast(body, position, hit);
        raycast(followedNode->getLimbTipPosition(), position, hit);
    }
}
