#include "phys/Particles.h"

#include "phys/Foundation.h"
#include "phys/Physics.h"
#include "phys/detail/ParticleSet.h"

#include <cmath>

namespace phys {

void ParticleReadData::unlock() {
    if (owner)
        owner->locked = false;
}

ParticleBase::ParticleBase(Physics& physics_, ActorType type_, uint32_t maxParticles)
    : Actor(physics_, type_), positions(maxParticles), velocities(maxParticles), flags(maxParticles, 0),
      dirtyMarks(maxParticles, 0), back_(std::make_unique<detail::ParticleBack>(maxParticles)) {
    readData.owner = this;
}

ParticleBase::~ParticleBase() = default;

uint64_t ParticleBase::memoryBytes(uint32_t maxParticles) {
    // Front: positions, velocities, flags, dirty marks and at most every index once; back:
    // positions, velocities and flags.
    const uint64_t front = 2 * sizeof(Vec3) + sizeof(uint16_t) + sizeof(uint8_t) + sizeof(uint32_t);
    const uint64_t simulated = 2 * sizeof(Vec3) + sizeof(uint16_t);
    return static_cast<uint64_t>(maxParticles) * (front + simulated) + sizeof(detail::ParticleBack);
}

void ParticleBase::markDirty(uint32_t index) {
    if (!dirtyMarks[index]) {
        dirtyMarks[index] = 1;
        dirtyIndices.push_back(index);
    }
}

bool ParticleBase::checkIndices(uint32_t count, const StridedData<uint32_t>& indices, const char* operation) const {
    bool valid = count == 0 || indices.ptr;
    for (uint32_t k = 0; valid && k < count; ++k)
        valid = indices.at(k) < flags.size();
    if (!valid)
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "%s: index missing or out of range",
                    operation);
    return valid;
}

bool ParticleBase::createParticles(const ParticleCreationData& data) {
    const uint32_t n = data.numParticles;
    if (n == 0)
        return true;
    bool valid = data.positionBuffer.ptr && checkIndices(n, data.indexBuffer, "createParticles");
    for (uint32_t k = 0; valid && k < n; ++k) {
        const uint32_t i = data.indexBuffer.at(k);
        valid = !(flags[i] & ParticleValid) && data.positionBuffer.at(k).isFinite() &&
                (!data.velocityBuffer.ptr || data.velocityBuffer.at(k).isFinite());
    }
    if (!valid) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter,
                    "createParticles: indices must be free and positions and velocities finite");
        return false;
    }
    for (uint32_t k = 0; k < n; ++k) {
        const uint32_t i = data.indexBuffer.at(k);
        if (!(flags[i] & ParticleValid))
            ++validCount;
        positions[i] = data.positionBuffer.at(k);
        velocities[i] = data.velocityBuffer.ptr ? data.velocityBuffer.at(k) : Vec3();
        flags[i] = ParticleValid;
        markDirty(i);
        validRange = std::max(validRange, i + 1);
    }
    return true;
}

void ParticleBase::releaseParticles() {
    for (uint32_t i = 0; i < validRange; ++i) {
        if (flags[i] & ParticleValid) {
            flags[i] = 0;
            markDirty(i);
        }
    }
    validRange = validCount = 0;
}

void ParticleBase::releaseParticles(uint32_t count, const StridedData<uint32_t>& indices) {
    if (!checkIndices(count, indices, "releaseParticles"))
        return;
    for (uint32_t k = 0; k < count; ++k) {
        const uint32_t i = indices.at(k);
        if (flags[i] & ParticleValid) {
            flags[i] = 0;
            --validCount;
            markDirty(i);
        }
    }
    while (validRange > 0 && !(flags[validRange - 1] & ParticleValid))
        --validRange;
}

void ParticleBase::write(std::vector<Vec3>& field, uint32_t count, const StridedData<uint32_t>& indices,
                         const StridedData<Vec3>& values, const char* operation) {
    if (!checkIndices(count, indices, operation) || (count && !values.ptr))
        return;
    for (uint32_t k = 0; k < count; ++k) {
        const uint32_t i = indices.at(k);
        const Vec3 v = values.at(k);
        if ((flags[i] & ParticleValid) && v.isFinite()) {
            field[i] = v;
            markDirty(i);
        }
    }
}

void ParticleBase::setPositions(uint32_t count, const StridedData<uint32_t>& indices,
                                const StridedData<Vec3>& values) {
    write(positions, count, indices, values, "setPositions");
}

void ParticleBase::setVelocities(uint32_t count, const StridedData<uint32_t>& indices,
                                 const StridedData<Vec3>& values) {
    write(velocities, count, indices, values, "setVelocities");
}

ParticleReadData* ParticleBase::lockParticleReadData() {
    if (locked) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidOperation, "lockParticleReadData: already locked");
        return nullptr;
    }
    locked = true;
    readData.numValidParticles = validCount;
    readData.validParticleRange = validRange;
    readData.positionBuffer = StridedData<Vec3>(positions.data());
    readData.velocityBuffer =
        (readFlags & ParticleReadVelocities) ? StridedData<Vec3>(velocities.data()) : StridedData<Vec3>();
    readData.flagsBuffer = StridedData<uint16_t>(flags.data());
    return &readData;
}

void ParticleBase::setParticleReadDataFlag(ParticleReadDataFlag flag, bool value) {
    readFlags = value ? readFlags | flag : readFlags & ~static_cast<uint32_t>(flag);
}

bool ParticleBase::setParam(float& field, float value, bool positive, const char* operation, float maximum) {
    if (!std::isfinite(value) || value < 0.0f || (positive && value == 0.0f) || value > maximum) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "%s: must be finite, %s and at most %g",
                    operation, positive ? "positive" : "not negative", static_cast<double>(maximum));
        return false;
    }
    field = value;
    paramsChanged = true;
    return true;
}

void ParticleBase::setGridSize(float v) { setParam(params.gridSize, v, true, "setGridSize"); }
void ParticleBase::setMaxMotionDistance(float v) {
    setParam(params.maxMotionDistance, v, true, "setMaxMotionDistance");
}
void ParticleBase::setRestOffset(float v) { setParam(params.restOffset, v, false, "setRestOffset"); }
void ParticleBase::setContactOffset(float v) { setParam(params.contactOffset, v, false, "setContactOffset"); }
void ParticleBase::setParticleMass(float v) { setParam(params.particleMass, v, true, "setParticleMass"); }
void ParticleBase::setDamping(float v) { setParam(params.damping, v, false, "setDamping"); }
void ParticleBase::setStaticFriction(float v) { setParam(params.staticFriction, v, false, "setStaticFriction"); }
void ParticleBase::setDynamicFriction(float v) {
    setParam(params.dynamicFriction, v, false, "setDynamicFriction", 1.0f);
}
void ParticleBase::setRestitution(float v) { setParam(params.restitution, v, false, "setRestitution", 1.0f); }

void ParticleBase::setSimulationFilterData(const FilterData& data) {
    params.filterData = data;
    paramsChanged = true;
    back_->refilter = true;
}

void ParticleBase::actorFlagsChanged() { paramsChanged = true; }

Bounds3 ParticleBase::getWorldBounds() const {
    Bounds3 bounds;
    for (uint32_t i = 0; i < validRange; ++i)
        if (flags[i] & ParticleValid)
            bounds.include(positions[i]);
    return bounds;
}

} // namespace phys
