#include "phys/Scene.h"

#include "phys/Actor.h"
#include "phys/Foundation.h"
#include "phys/Physics.h"
#include "phys/detail/QueryWorld.h"
#include "phys/detail/SceneCore.h"

#include <cmath>

namespace phys {

bool SceneDesc::isValid() const {
    return dispatcher && filterShader && gravity.isFinite() && std::isfinite(bounceThresholdVelocity) &&
           bounceThresholdVelocity >= 0.0f && (filterShaderDataSize == 0 || filterShaderData);
}

Scene::Scene(Physics& physics, const SceneDesc& desc)
    : core_(std::make_unique<detail::SceneCore>(*this, physics, desc)) {}

Scene::~Scene() = default;

void Scene::release() {
    core_->shutDown();
    core_->physics.forgetScene(*this);
    delete this;
}

Physics& Scene::getPhysics() const { return core_->physics; }

void Scene::addActor(Actor& actor) { core_->addActor(actor); }

uint32_t Scene::getNbActors() const { return static_cast<uint32_t>(core_->actors.size()); }

Vec3 Scene::getGravity() const { return core_->gravity; }

void Scene::setGravity(const Vec3& gravity) {
    if (!gravity.isFinite()) {
        PHYS_REPORT(core_->foundation, ErrorCode::InvalidParameter, "setGravity: not finite");
        return;
    }
    core_->setGravity(gravity);
}

uint32_t Scene::getFlags() const { return core_->desc.flags; }

void Scene::simulate(float dt, CompletionTask* completion) { core_->simulate(dt, completion); }

bool Scene::fetchResults(bool block) { return core_->fetchResults(block); }

bool Scene::checkResults(bool block) { return core_->checkResults(block); }

bool Scene::isSimulating() const { return core_->isSimulating(); }

void Scene::flush(bool) {}

namespace {
bool validQuery(Foundation& foundation, const Vec3& origin, const Vec3& unitDir, float distance) {
    if (!origin.isFinite() || !unitDir.isFinite() || std::fabs(unitDir.magnitude() - 1.0f) > 1e-3f ||
        !std::isfinite(distance) || distance <= 0.0f) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter,
                    "scene query: origin, unit direction and positive distance required");
        return false;
    }
    return true;
}
} // namespace

bool Scene::raycastSingle(const Vec3& origin, const Vec3& unitDir, float distance, uint32_t hitFlags,
                          RaycastHit& hit, const QueryFilterData& filterData,
                          QueryFilterCallback* filterCallback) const {
    if (!validQuery(core_->foundation, origin, unitDir, distance))
        return false;
    return core_->queries->raycast(origin, unitDir, distance, hitFlags, hit, filterData, filterCallback);
}

bool Scene::sweepSingle(const Geometry& geometry, const Transform& pose, const Vec3& unitDir, float distance,
                        uint32_t hitFlags, SweepHit& hit, const QueryFilterData& filterData,
                        QueryFilterCallback* filterCallback) const {
    if (!validQuery(core_->foundation, pose.p, unitDir, distance))
        return false;
    const GeometryHolder holder(geometry);
    const GeometryType type = holder.getType();
    if (!holder.isValid() || !pose.isValid() ||
        (type != GeometryType::Box && type != GeometryType::Sphere && type != GeometryType::Capsule &&
         type != GeometryType::ConvexMesh)) {
        PHYS_REPORT(core_->foundation, ErrorCode::InvalidParameter, "sweepSingle: needs a valid convex geometry and pose");
        return false;
    }
    return core_->queries->sweep(holder, pose, unitDir, distance, hitFlags, hit, filterData, filterCallback);
}

void Scene::setVisualizationParameter(VisualizationParameter parameter, float value) {
    const int index = static_cast<int>(parameter);
    if (index < 0 || index >= static_cast<int>(VisualizationParameter::Count) || !std::isfinite(value)) {
        PHYS_REPORT(core_->foundation, ErrorCode::InvalidParameter, "setVisualizationParameter: bad parameter or value");
        return;
    }
    core_->visualization[index] = value;
}

float Scene::getVisualizationParameter(VisualizationParameter parameter) const {
    const int index = static_cast<int>(parameter);
    if (index < 0 || index >= static_cast<int>(VisualizationParameter::Count))
        return 0.0f;
    return core_->visualization[index];
}

void Scene::setVisualizationCullingBox(const Bounds3& box) { core_->cullingBox = box; }

Bounds3 Scene::getVisualizationCullingBox() const { return core_->cullingBox; }

const RenderBuffer& Scene::getRenderBuffer() const { return core_->renderBuffer; }

void Scene::getSimulationStatistics(SimulationStatistics& statistics) const {
    statistics = core_->currentStatistics();
}

} // namespace phys
