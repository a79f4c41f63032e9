#pragma once

#include "phys/Actor.h"
#include "phys/Cooking.h"

#include <cstdint>
#include <memory>
#include <vector>

// Cloth: particles joined along the edges of a fabric, simulated as a soft body. Particle i
// is point i of the cooked mesh. A particle with inverse weight 0 is pinned: it moves only
// when the caller moves it. Particle positions are in the cloth's frame (its global pose).
//
// The cloth collides with nothing, as a cloth given no collision spheres does; scene gravity
// (unless the actor flag DisableGravity is set) plus the external acceleration pull it.
//
// Every call is legal while a step is in flight: lockParticleData reads the particles of the
// last fetched step (or what the caller set since); setParticles and the settings take effect
// at the next step and win over the simulated positions.

namespace phys {

class Physics;
namespace detail {
struct ClothBack;
class ClothSet;
}

struct ClothParticle {
    Vec3 pos;
    float invWeight = 1.0f;
};

// Collision spheres of a cloth. Only an empty set is supported: spheres given are ignored
// with a warning.
struct ClothCollisionData {
    uint32_t numSpheres = 0;
    const void* spheres = nullptr;
    uint32_t numPairs = 0;
    const uint32_t* pairIndexBuffer = nullptr;
};

// A cooked fabric made into a shared object; reference counted like the meshes.
class ClothFabric {
public:
    void acquire() { ++references; }
    void release();
    uint32_t getReferenceCount() const { return references; }
    uint32_t getNbParticles() const { return cooked.particleCount; }
    uint32_t getNbEdges() const { return static_cast<uint32_t>(cooked.restLengths.size()); }
    const CookedClothFabric& data() const { return cooked; }

private:
    friend class Physics;
    ClothFabric(Physics& physics, const CookedClothFabric& cooked);
    ~ClothFabric() = default;

    Physics& physics;
    CookedClothFabric cooked;
    uint32_t references = 1;
};

class ClothReadData {
public:
    const ClothParticle* particles = nullptr;
    void unlock();

private:
    friend class Cloth;
    class Cloth* owner = nullptr;
};

class Cloth : public Actor {
public:
    uint32_t getNbParticles() const { return static_cast<uint32_t>(particles.size()); }
    // What the cloth allocates: its particles, its fabric, and the soft body the simulation
    // builds from them at the next step (nodes, links, bending links, faces and their trees).
    static uint64_t memoryBytes(const CookedClothFabric& fabric);
    // The particles (position and inverse weight) until unlock; null while already locked.
    ClothReadData* lockParticleData();
    // Replaces every particle (positions and inverse weights). With previous positions the
    // particles take the velocity (current - previous) / step; without, they keep theirs.
    void setParticles(const ClothParticle* current, const ClothParticle* previous);

    Transform getGlobalPose() const { return pose; }
    // Moves the cloth's frame and with it every particle.
    void setGlobalPose(const Transform& pose);
    // Solver passes per second; at least four per step are used.
    void setSolverFrequency(float frequency);
    float getSolverFrequency() const { return solverFrequency; }
    void setExternalAcceleration(const Vec3& acceleration);
    Vec3 getExternalAcceleration() const { return externalAcceleration; }
    uint32_t getClothFlags() const { return clothFlags; }
    ClothFabric& getFabric() const { return fabric; }

    Bounds3 getWorldBounds() const override;

    detail::ClothBack& back() const { return *back_; }

private:
    friend class Physics;
    friend class ClothReadData;
    friend class detail::ClothSet;
    Cloth(Physics& physics, const Transform& pose, ClothFabric& fabric, const ClothParticle* particles,
          uint32_t flags);
    ~Cloth() override;
    void actorFlagsChanged() override;

    ClothFabric& fabric;
    Transform pose;
    std::vector<ClothParticle> particles;   // front: what the caller reads
    std::vector<ClothParticle> previous;    // previous positions given with the last write
    bool particlesWritten = false;          // since the last step started
    bool previousWritten = false;
    bool poseChanged = false;
    float solverFrequency = 60.0f;
    Vec3 externalAcceleration;
    uint32_t clothFlags = 0;
    ClothReadData readData;
    bool locked = false;
    std::unique_ptr<detail::ClothBack> back_;
};

} // namespace phys
