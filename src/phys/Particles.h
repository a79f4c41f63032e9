#pragma once

#include "phys/Actor.h"
#include "phys/Filtering.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

// Particle systems and fluids: points with a velocity at caller-chosen indices. Each step
// they fall under gravity (unless the actor flag DisableGravity is set), slow down by the
// damping, move at most the maximum motion distance, and collide one way with the rigid
// shapes whose actors the scene's filter shader lets them meet (decided per actor, from its
// first simulation shape): they stop at the rest offset from a surface, bounce by the
// restitution and lose tangential speed by the dynamic friction. Bodies are not pushed.
//
// Simplifications: a fluid moves like a particle system (viscosity, stiffness and the rest
// particle distance are kept but do not act); the contact offset and grid size are kept.
//
// Every call is legal while a step is in flight: creations, releases and writes show in the
// read data at once and reach the simulation at the next step; the read data otherwise shows
// the last fetched step.

namespace phys {

class Physics;
namespace detail {
struct ParticleBack;
class ParticleSet;
}

// Elements of a caller's array, stride bytes apart.
template <class T>
struct StridedData {
    const T* ptr = nullptr;
    uint32_t stride = 0;

    StridedData() = default;
    StridedData(const T* data, uint32_t strideBytes = sizeof(T)) : ptr(data), stride(strideBytes) {}
    T at(uint32_t i) const {
        T value;
        std::memcpy(&value, reinterpret_cast<const unsigned char*>(ptr) + static_cast<size_t>(i) * stride, sizeof(T));
        return value;
    }
};

enum ParticleFlag : uint16_t {
    ParticleValid = 1,
};

enum ParticleReadDataFlag : uint32_t {
    ParticleReadPositions = 1,
    ParticleReadVelocities = 2,
    ParticleReadFlags = 4,
};

struct ParticleCreationData {
    uint32_t numParticles = 0;
    StridedData<uint32_t> indexBuffer;
    StridedData<Vec3> positionBuffer;
    StridedData<Vec3> velocityBuffer; // optional: zero velocities without
};

class ParticleReadData {
public:
    uint32_t numValidParticles = 0;
    uint32_t validParticleRange = 0; // every valid index is below it
    StridedData<Vec3> positionBuffer;
    StridedData<Vec3> velocityBuffer; // only when ParticleReadVelocities is set
    StridedData<uint16_t> flagsBuffer;
    void unlock();

private:
    friend class ParticleBase;
    class ParticleBase* owner = nullptr;
};

class ParticleBase : public Actor {
public:
    uint32_t getMaxParticles() const { return static_cast<uint32_t>(flags.size()); }
    // What a system of that many particles allocates for them as it is made (the caller's
    // side and the simulation's copy), and at most for the indices written in one step.
    static uint64_t memoryBytes(uint32_t maxParticles);
    // Creates particles at the given free indices. False (creating none) for an index out of
    // range or in use, or a position or velocity that is not finite.
    bool createParticles(const ParticleCreationData& data);
    void releaseParticles();
    void releaseParticles(uint32_t count, const StridedData<uint32_t>& indices);
    void setPositions(uint32_t count, const StridedData<uint32_t>& indices, const StridedData<Vec3>& positions);
    void setVelocities(uint32_t count, const StridedData<uint32_t>& indices, const StridedData<Vec3>& velocities);

    // The particles until unlock; null while already locked.
    ParticleReadData* lockParticleReadData();
    void setParticleReadDataFlag(ParticleReadDataFlag flag, bool value);
    uint32_t getParticleReadDataFlags() const { return readFlags; }

    void setGridSize(float size);
    float getGridSize() const { return params.gridSize; }
    void setMaxMotionDistance(float distance);
    float getMaxMotionDistance() const { return params.maxMotionDistance; }
    void setRestOffset(float offset);
    float getRestOffset() const { return params.restOffset; }
    void setContactOffset(float offset);
    float getContactOffset() const { return params.contactOffset; }
    void setParticleMass(float mass);
    float getParticleMass() const { return params.particleMass; }
    void setDamping(float damping);
    float getDamping() const { return params.damping; }
    void setRestitution(float restitution);
    float getRestitution() const { return params.restitution; }
    void setStaticFriction(float friction);
    float getStaticFriction() const { return params.staticFriction; }
    void setDynamicFriction(float friction);
    float getDynamicFriction() const { return params.dynamicFriction; }
    void setSimulationFilterData(const FilterData& data);
    FilterData getSimulationFilterData() const { return params.filterData; }

    Bounds3 getWorldBounds() const override;

    struct Params {
        float gridSize = 0.6f;
        float maxMotionDistance = 0.06f;
        float restOffset = 0.004f;
        float contactOffset = 0.008f;
        float particleMass = 0.001f;
        float damping = 0.0f;
        float restitution = 0.5f;
        float staticFriction = 0.0f;
        float dynamicFriction = 0.05f;
        FilterData filterData;
    };
    const Params& getParams() const { return params; }
    detail::ParticleBack& back() const { return *back_; }

protected:
    ParticleBase(Physics& physics, ActorType type, uint32_t maxParticles);
    ~ParticleBase() override;
    bool setParam(float& field, float value, bool positive, const char* operation, float maximum = 3.4e38f);
    void actorFlagsChanged() override;

    friend class ParticleReadData;
    friend class detail::ParticleSet;
    void markDirty(uint32_t index);
    bool checkIndices(uint32_t count, const StridedData<uint32_t>& indices, const char* operation) const;
    // Writes values of valid particles (finite ones only).
    void write(std::vector<Vec3>& field, uint32_t count, const StridedData<uint32_t>& indices,
               const StridedData<Vec3>& values, const char* operation);

    std::vector<Vec3> positions;
    std::vector<Vec3> velocities;
    std::vector<uint16_t> flags;
    uint32_t validRange = 0;
    uint32_t validCount = 0;
    std::vector<uint32_t> dirtyIndices;
    std::vector<uint8_t> dirtyMarks; // 1 for indices written since the last step started
    Params params;
    bool paramsChanged = true;
    uint32_t readFlags = ParticleReadPositions | ParticleReadFlags;
    ParticleReadData readData;
    bool locked = false;
    std::unique_ptr<detail::ParticleBack> back_;
};

class ParticleSystem : public ParticleBase {
private:
    friend class Physics;
    ParticleSystem(Physics& physics, uint32_t maxParticles)
        : ParticleBase(physics, ActorType::ParticleSystem, maxParticles) {}
};

class ParticleFluid : public ParticleBase {
public:
    void setViscosity(float value) { setParam(viscosity, value, true, "setViscosity"); }
    float getViscosity() const { return viscosity; }
    void setStiffness(float value) { setParam(stiffness, value, true, "setStiffness"); }
    float getStiffness() const { return stiffness; }
    void setRestParticleDistance(float value) {
        setParam(restParticleDistance, value, true, "setRestParticleDistance");
    }
    float getRestParticleDistance() const { return restParticleDistance; }

private:
    friend class Physics;
    ParticleFluid(Physics& physics, uint32_t maxParticles)
        : ParticleBase(physics, ActorType::ParticleFluid, maxParticles) {}

    float viscosity = 6.0f;
    float stiffness = 20.0f;
    float restParticleDistance = 0.02f;
};

} // namespace phys
