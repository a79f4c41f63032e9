#include "phys/detail/ParticleSet.h"

#include "phys/Physics.h"
#include "phys/RigidBody.h"
#include "phys/Shape.h"
#include "phys/detail/Backs.h"
#include "phys/detail/BulletConvert.h"
#include "phys/detail/PairFilter.h"
#include "phys/detail/SceneCore.h"
#include "phys/detail/StepBroadphase.h"
#include "phys/detail/StepWorld.h"

#include <BulletCollision/BroadphaseCollision/btBroadphaseInterface.h>
#include <BulletCollision/CollisionDispatch/btCollisionWorld.h>

#include <algorithm>
#include <cmath>

namespace phys::detail {

namespace {

// The actors whose boxes meet a box.
class CollectActors : public btBroadphaseAabbCallback {
public:
    explicit CollectActors(std::vector<RigidActor*>& found_) : found(found_) {}
    bool process(const btBroadphaseProxy* proxy) override {
        if (RigidActor* actor = actorOf(static_cast<const btCollisionObject*>(proxy->m_clientObject)))
            found.push_back(actor);
        return true;
    }
    std::vector<RigidActor*>& found;
};

// The decision on the body in a list sorted by body; null when it has none.
const ActorDecision* findDecision(const std::vector<ActorDecision>& decisions, const btCollisionObject* body) {
    const auto it = std::lower_bound(decisions.begin(), decisions.end(), body,
                                     [](const ActorDecision& d, const btCollisionObject* b) { return d.body < b; });
    return it != decisions.end() && it->body == body ? &*it : nullptr;
}

// The closest surface along a particle's path among the actors the system meets.
class ParticleRay : public btCollisionWorld::ClosestRayResultCallback {
public:
    ParticleRay(const btVector3& from, const btVector3& to, const std::vector<ActorDecision>& decisions_)
        : ClosestRayResultCallback(from, to), decisions(decisions_) {}
    bool needsCollision(btBroadphaseProxy* proxy) const override {
        const ActorDecision* d = findDecision(decisions, static_cast<const btCollisionObject*>(proxy->m_clientObject));
        return d && d->collide;
    }
    const std::vector<ActorDecision>& decisions;
};

// The first shape of an actor that takes part in the simulation.
const Shape* firstSimulationShape(const RigidActor& actor) {
    for (const Shape* shape : actor.back().children)
        if (shape->back().flags & ShapeSimulation)
            return shape;
    return nullptr;
}

} // namespace

ParticleSet::ParticleSet(SceneCore& core_) : core(core_) {}

ParticleSet::~ParticleSet() { clear(); }

void ParticleSet::add(ParticleBase& system) {
    systems.push_back(&system);
    system.back().refilter = true;
}

void ParticleSet::release(ParticleBase& system) {
    systems.erase(std::remove(systems.begin(), systems.end(), &system), systems.end());
    released.push_back(&system);
}

void ParticleSet::push() {
    for (ParticleBase* system : released) {
        core.physics.forgetActor(*system);
        delete system;
    }
    released.clear();
    stepping.clear();
    for (ParticleBase* system : systems) {
        ParticleBack& back = system->back();
        for (uint32_t i : system->dirtyIndices) {
            back.positions[i] = system->positions[i];
            back.velocities[i] = system->velocities[i];
            back.flags[i] = system->flags[i];
            system->dirtyMarks[i] = 0;
            if (back.flags[i] & ParticleValid)
                back.bounds.include(back.positions[i]);
        }
        system->dirtyIndices.clear();
        back.validRange = system->validRange;
        if (system->paramsChanged) {
            system->paramsChanged = false;
            back.params = system->params;
        }
        back.gravity = system->getActorFlag(ActorFlag::DisableGravity) ? Vec3() : core.gravity;
        stepping.push_back(&back);
    }
}

void ParticleSet::decide(ParticleBase& system, const std::vector<RigidActor*>& changedActors) {
    ParticleBack& back = system.back();
    std::vector<ActorDecision>& previous = back.previousDecisions;
    previous.swap(back.decisions);
    back.decisions.clear();
    if (back.refilter)
        previous.clear();
    back.refilter = false;
    if (back.bounds.isEmpty())
        return;
    const float reach = back.params.maxMotionDistance + 2.0f * back.params.restOffset + back.params.contactOffset;
    overlapping.clear();
    CollectActors collect(overlapping);
    core.broadphase->aabbTest(toBt(back.bounds.minimum - Vec3(reach)), toBt(back.bounds.maximum + Vec3(reach)),
                              collect);
    const SceneDesc& desc = core.desc;
    const void* block = core.shaderData.empty() ? nullptr : core.shaderData.data();
    const FilterObjectAttributes self = static_cast<uint32_t>(system.getType());
    for (RigidActor* actor : overlapping) {
        const btCollisionObject* body = actor->back().body;
        const ActorDecision* known = findDecision(previous, body);
        if (known && std::find(changedActors.begin(), changedActors.end(), actor) == changedActors.end()) {
            back.decisions.push_back(*known);
            continue;
        }
        const Shape* shape = firstSimulationShape(*actor);
        bool collide = false;
        if (shape) {
            const FilterObjectAttributes other = attributesOf(*actor, *shape);
            PairFlags pairFlags = 0;
            FilterFlags result =
                desc.filterShader(self, back.params.filterData, other, shape->getSimulationFilterData(), pairFlags,
                                  block, static_cast<uint32_t>(core.shaderData.size()));
            if ((result & FilterCallback) && desc.filterCallback)
                result = desc.filterCallback->pairFound(nextPairId++, self, back.params.filterData, &system, nullptr,
                                                        other, shape->getSimulationFilterData(), actor, shape,
                                                        pairFlags);
            collide = !(result & (FilterKill | FilterSuppress));
        }
        back.decisions.push_back(ActorDecision{body, collide});
    }
    const auto byBody = [](const ActorDecision& a, const ActorDecision& b) { return a.body < b.body; };
    std::sort(back.decisions.begin(), back.decisions.end(), byBody);
    // An actor met twice (decided alike both times) is kept once.
    back.decisions.erase(std::unique(back.decisions.begin(), back.decisions.end(),
                                     [](const ActorDecision& a, const ActorDecision& b) { return a.body == b.body; }),
                         back.decisions.end());
}

void ParticleSet::filter(const std::vector<RigidActor*>& changedActors) {
    for (ParticleBase* system : systems)
        decide(*system, changedActors);
}

void ParticleSet::move(ParticleBack& back, float dt) {
    const ParticleBase::Params& p = back.params;
    const float keep = std::max(0.0f, 1.0f - p.damping * dt);
    Bounds3 bounds;
    for (uint32_t i = 0; i < back.validRange; ++i) {
        if (!(back.flags[i] & ParticleValid))
            continue;
        Vec3& position = back.positions[i];
        Vec3& velocity = back.velocities[i];
        velocity = (velocity + back.gravity * dt) * keep;
        Vec3 motion = velocity * dt;
        const float length = motion.magnitude();
        if (length > p.maxMotionDistance)
            motion *= p.maxMotionDistance / length;
        if (length > 1e-9f) {
            const Vec3 direction = motion.getNormalized();
            const btVector3 from = toBt(position);
            const btVector3 to = toBt(position + motion + direction * p.restOffset);
            ParticleRay ray(from, to, back.decisions);
            core.world->rayTest(from, to, ray);
            if (ray.hasHit()) {
                const Vec3 normal = fromBt(ray.m_hitNormalWorld).getNormalized();
                position = fromBt(ray.m_hitPointWorld) + normal * p.restOffset;
                const float into = velocity.dot(normal);
                if (into < 0.0f) {
                    const Vec3 tangential = velocity - normal * into;
                    velocity = normal * (-into * p.restitution) + tangential * (1.0f - p.dynamicFriction);
                }
            } else {
                position += motion;
            }
        }
        bounds.include(position);
    }
    back.bounds = bounds;
}

void ParticleSet::step(float dt) {
    for (ParticleBack* back : stepping)
        move(*back, dt);
}

void ParticleSet::pull() {
    for (ParticleBase* system : systems) {
        const ParticleBack& back = system->back();
        const uint32_t range = std::max(system->validRange, back.validRange);
        uint32_t count = 0, last = 0;
        for (uint32_t i = 0; i < range; ++i) {
            if (!system->dirtyMarks[i]) {
                system->positions[i] = back.positions[i];
                system->velocities[i] = back.velocities[i];
                system->flags[i] = back.flags[i];
            }
            if (system->flags[i] & ParticleValid) {
                ++count;
                last = i + 1;
            }
        }
        system->validCount = count;
        system->validRange = last;
    }
}

void ParticleSet::actorReleased() {
    for (ParticleBase* system : systems)
        system->back().refilter = true;
}

void ParticleSet::clear() {
    std::vector<ParticleBase*> all;
    all.swap(systems);
    all.insert(all.end(), released.begin(), released.end());
    released.clear();
    stepping.clear();
    for (ParticleBase* system : all) {
        core.physics.forgetActor(*system);
        delete system;
    }
}

} // namespace phys::detail
