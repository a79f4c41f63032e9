#include "phys/Cloth.h"

#include "phys/Foundation.h"
#include "phys/Physics.h"
#include "phys/detail/ArrayGrowth.h"
#include "phys/detail/ClothSet.h"

#include <cmath>

namespace phys {

ClothFabric::ClothFabric(Physics& physics_, const CookedClothFabric& cooked_) : physics(physics_), cooked(cooked_) {}

void ClothFabric::release() {
    if (references > 0 && --references == 0) {
        physics.forgetFabric(*this);
        delete this;
    }
}

namespace {
// A soft body's own tables and the step's work lists, whatever its size (its material, the
// distance field's cells).
constexpr uint64_t softBodyTables = 32 * 1024;
} // namespace

uint64_t Cloth::memoryBytes(const CookedClothFabric& fabric) {
    const uint64_t particles = fabric.particleCount;
    const uint64_t edges = fabric.restLengths.size();
    const uint64_t triangles = fabric.triangles.size() / 3;
    // Each node and face is a leaf of its tree, which has about as many inner nodes again;
    // Bullet allocates each tree node on its own, aligned (a pointer and the alignment more).
    const uint64_t tree = 2 * (sizeof(btDbvtNode) + sizeof(void*) + 15);
    const uint64_t soft = particles * (sizeof(btSoftBody::Node) + tree) +
                          detail::grownCapacity(edges + fabric.bendingPairs.size() / 2) * sizeof(btSoftBody::Link) +
                          detail::grownCapacity(triangles) * sizeof(btSoftBody::Face) + triangles * tree + sizeof(btSoftBody) +
                          sizeof(detail::ClothBack) + softBodyTables;
    // The caller's particles and the previous positions; the fabric's triangles, edges, rest
    // lengths and bending pairs.
    const uint64_t own = particles * 2 * sizeof(ClothParticle) +
                         (fabric.triangles.size() + fabric.edges.size() + fabric.bendingPairs.size()) * sizeof(uint32_t) +
                         edges * sizeof(float);
    return soft + own;
}

void ClothReadData::unlock() {
    if (owner)
        owner->locked = false;
}

Cloth::Cloth(Physics& physics_, const Transform& pose_, ClothFabric& fabric_, const ClothParticle* list,
             uint32_t flags)
    : Actor(physics_, ActorType::Cloth), fabric(fabric_), pose(pose_),
      particles(list, list + fabric_.getNbParticles()), clothFlags(flags),
      back_(std::make_unique<detail::ClothBack>()) {
    fabric.acquire();
    readData.owner = this;
}

Cloth::~Cloth() {
    back_.reset();
    fabric.release();
}

// The gravity flag is read at every step.
void Cloth::actorFlagsChanged() {}

ClothReadData* Cloth::lockParticleData() {
    if (locked) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidOperation, "lockParticleData: already locked");
        return nullptr;
    }
    locked = true;
    readData.particles = particles.data();
    return &readData;
}

void Cloth::setParticles(const ClothParticle* current, const ClothParticle* previousParticles) {
    bool valid = current != nullptr;
    for (size_t i = 0; valid && i < particles.size(); ++i)
        valid = current[i].pos.isFinite() && std::isfinite(current[i].invWeight) && current[i].invWeight >= 0.0f &&
                (!previousParticles || previousParticles[i].pos.isFinite());
    if (!valid) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter,
                    "setParticles: positions must be finite and inverse weights not negative");
        return;
    }
    particles.assign(current, current + particles.size());
    if (previousParticles)
        previous.assign(previousParticles, previousParticles + particles.size());
    particlesWritten = true;
    previousWritten = previousParticles != nullptr;
}

void Cloth::setGlobalPose(const Transform& value) {
    if (!value.isValid()) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "Cloth::setGlobalPose: invalid pose");
        return;
    }
    pose = Transform(value.p, value.q.getNormalized());
    poseChanged = true;
}

void Cloth::setSolverFrequency(float frequency) {
    if (!std::isfinite(frequency) || frequency <= 0.0f) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "setSolverFrequency: must be positive");
        return;
    }
    solverFrequency = frequency;
}

void Cloth::setExternalAcceleration(const Vec3& acceleration) {
    if (!acceleration.isFinite()) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "setExternalAcceleration: not finite");
        return;
    }
    externalAcceleration = acceleration;
}

Bounds3 Cloth::getWorldBounds() const {
    Bounds3 bounds;
    for (const ClothParticle& p : particles)
        bounds.include(pose.transform(p.pos));
    return bounds;
}

} // namespace phys
