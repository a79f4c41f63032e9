#include "phys/Controller.h"

#include "phys/Foundation.h"
#include "phys/Physics.h"
#include "phys/RigidBody.h"
#include "phys/Scene.h"
#include "phys/Shape.h"
#include "phys/detail/Backs.h"
#include "phys/detail/ControllerMotion.h"
#include "phys/detail/SceneCore.h"

#include <algorithm>
#include <cmath>

namespace phys {

namespace {

bool finiteNotNegative(float v) { return std::isfinite(v) && v >= 0.0f; }
bool finitePositive(float v) { return std::isfinite(v) && v > 0.0f; }

// The rotation that turns the X axis (the capsule's own axis) onto up.
Quat xOnto(const Vec3& up) {
    const Vec3 x(1, 0, 0);
    const Vec3 axis = x.cross(up);
    const float s = axis.magnitude();
    const float c = x.dot(up);
    if (s < 1e-6f)
        return c > 0.0f ? Quat() : Quat::fromAxisAngle(Vec3(0, 1, 0), 3.14159265358979f);
    return Quat::fromAxisAngle(axis / s, std::atan2(s, c));
}

} // namespace

bool CapsuleControllerDesc::isValid() const {
    return finitePositive(radius) && finitePositive(height) && finitePositive(contactOffset) &&
           finitePositive(density) && finiteNotNegative(stepOffset) && finiteNotNegative(slopeLimit) &&
           scaleCoeff >= 0.0f && scaleCoeff <= 1.0f && std::isfinite(position.x) && std::isfinite(position.y) &&
           std::isfinite(position.z) && upDirection.isFinite() && std::fabs(upDirection.magnitude() - 1.0f) < 1e-3f &&
           material != nullptr;
}

// --- manager -----------------------------------------------------------------------------------

ControllerManager* ControllerManager::create(Foundation& foundation) { return new ControllerManager(foundation); }

ControllerManager::ControllerManager(Foundation& foundation_) : foundation(foundation_) {}

ControllerManager::~ControllerManager() = default;

void ControllerManager::release() {
    while (!controllers.empty())
        controllers.back()->release();
    delete this;
}

Controller* ControllerManager::createController(Physics& physics, Scene* scene, const CapsuleControllerDesc& desc) {
    if (!scene || !desc.isValid()) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter,
                    "createController: needs a scene and a valid descriptor (positive sizes, a material)");
        return nullptr;
    }
    if (&scene->getPhysics() != &physics) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "createController: the scene belongs to another physics");
        return nullptr;
    }
    auto* controller = new Controller(*this, *scene, desc);
    controllers.push_back(controller);
    return controller;
}

Controller* ControllerManager::getController(uint32_t index) const {
    return index < controllers.size() ? controllers[index] : nullptr;
}

void ControllerManager::computeInteractions(float, ControllerFilterCallback*) {}

void ControllerManager::forget(Controller& controller) {
    controllers.erase(std::remove(controllers.begin(), controllers.end(), &controller), controllers.end());
}

// --- controller --------------------------------------------------------------------------------

Controller::Controller(ControllerManager& manager_, Scene& scene_, const CapsuleControllerDesc& desc)
    : manager(manager_), scene(&scene_), position(desc.position), up(desc.upDirection.getNormalized()),
      capsuleRotation(xOnto(up)), radius(desc.radius), height(desc.height), contactOffset(desc.contactOffset),
      stepOffset(desc.stepOffset), slopeLimit(desc.slopeLimit), interaction(desc.interactionMode),
      hitReport(desc.callback), behavior(desc.behaviorCallback), userData(desc.userData),
      back_(std::make_unique<detail::ControllerBack>(desc.radius, desc.height, desc.contactOffset)) {
    Physics& physics = scene->getPhysics();
    const Vec3 centre(static_cast<float>(position.x), static_cast<float>(position.y), static_cast<float>(position.z));
    actor = physics.createRigidDynamic(Transform(centre));
    const CapsuleGeometry capsule(std::max(1e-4f, radius * desc.scaleCoeff),
                                  std::max(1e-4f, 0.5f * height * desc.scaleCoeff));
    Shape* shape = actor->createShape(capsule, *desc.material, Transform(capsuleRotation));
    shape->userData = reinterpret_cast<void*>(ControllerShapeTag);
    updateMassAndInertia(*actor, desc.density);
    actor->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
    actor->back().controller = this;
    scene->addActor(*actor);
    scene->core().controllers.push_back(this);
    detail::ControllerMotion::placeCapsule(*this);
}

Controller::~Controller() = default;

void Controller::release() {
    if (scene) {
        std::vector<Controller*>& list = scene->core().controllers;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        scene->core().controllerBounds->remove(*this);
    }
    if (actor) {
        actor->back().controller = nullptr;
        actor->release();
    }
    manager.forget(*this);
    delete this;
}

uint32_t Controller::move(const Vec3& disp, float minDist, float, const ControllerFilters& filters,
                          const ObstacleContext*) {
    if (!scene)
        return 0;
    if (!disp.isFinite() || !std::isfinite(minDist)) {
        PHYS_REPORT(manager.getFoundation(), ErrorCode::InvalidParameter, "Controller::move: not finite");
        return 0;
    }
    const uint32_t flags = detail::ControllerMotion(*this, filters).run(disp, std::max(0.0f, minDist));
    placeActor(false);
    return flags;
}

bool Controller::setPosition(const ExtVec3& p) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
        PHYS_REPORT(manager.getFoundation(), ErrorCode::InvalidParameter, "Controller::setPosition: not finite");
        return false;
    }
    position = p;
    back_->groundActor = nullptr;
    back_->groundShape = nullptr;
    detail::ControllerMotion::placeCapsule(*this);
    placeActor(true);
    return true;
}

ExtVec3 Controller::getFootPosition() const {
    const double reach = 0.5 * height + radius + contactOffset;
    return ExtVec3(position.x - up.x * reach, position.y - up.y * reach, position.z - up.z * reach);
}

void Controller::setStepOffset(float offset) {
    if (!finiteNotNegative(offset)) {
        PHYS_REPORT(manager.getFoundation(), ErrorCode::InvalidParameter, "setStepOffset: must not be negative");
        return;
    }
    stepOffset = offset;
}

void Controller::placeActor(bool teleport) {
    if (!actor)
        return;
    const Transform pose(Vec3(static_cast<float>(position.x), static_cast<float>(position.y),
                              static_cast<float>(position.z)));
    // A move carries the actor there during the next step (pushing what it meets); a
    // teleport puts it there at once.
    if (teleport)
        actor->setGlobalPose(pose);
    else
        actor->setKinematicTarget(pose);
}

} // namespace phys
