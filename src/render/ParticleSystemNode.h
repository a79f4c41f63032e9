#pragma once

#include "core/LoadBudget.h"
#include "level/SceneNodeBase.h"

#include <IParticleSystemSceneNode.h>
#include <SMeshBuffer.h>
#include <SParticle.h>
#include <irrArray.h>

namespace phys {
class ParticleBase;
}

// The game's own particle-system node: its own particle records with a per-particle
// rotation, quads turned about the view axis, texture coordinates from a rectangle that
// sprite-sheet animation rewrites, and no factories (the owner supplies emitter and
// affectors). Elapsed time never runs backwards, and a particle born in the future is
// removed like one whose life has ended.
//
// Its capacity is charged to the level's memory (core/LoadBudget.h) as it is allocated: the
// emitter's expected population when the emitter is set, each growth beyond it, and the
// emitter's own batch. A capacity the budget refuses is not allocated: the node keeps the
// particles it has room for and drops the rest of each batch.
class ParticleSystemNode : public SceneNodeBase<irr::scene::IParticleSystemSceneNode> {
public:
    static constexpr irr::u32 maxParticles = 16250;
    static constexpr irr::s32 typeId = MAKE_IRR_ID('p', 's', 'y', 's');

    // The two per-particle values the engine's record lacks, kept in step with it.
    struct ParticleExtra {
        irr::f32 rotation = 0.0f; // radians about the view axis
        irr::f32 extraValue = 0.0f;
    };

    // What one particle of capacity holds: its record, its extra values, and its quad's four
    // vertices and six indices.
    static constexpr irr::u32 bytesPerParticle = sizeof(irr::scene::SParticle) + sizeof(ParticleExtra) +
                                                 4 * sizeof(irr::video::S3DVertex) + 6 * sizeof(irr::u16);

    ParticleSystemNode(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager,
                       const irr::core::vector3df& position = irr::core::vector3df(0, 0, 0),
                       const irr::core::vector3df& rotation = irr::core::vector3df(0, 0, 0),
                       const irr::core::vector3df& scale = irr::core::vector3df(1, 1, 1));
    ~ParticleSystemNode() override;

    void OnRegisterSceneNode() override;
    void OnAnimate(irr::u32 timeMs) override;
    void render() override;
    const irr::core::aabbox3df& getBoundingBox() const override { return Buffer->BoundingBox; }
    irr::video::SMaterial& getMaterial(irr::u32) override { return Buffer->Material; }
    irr::u32 getMaterialCount() const override { return 1; }
    irr::scene::ESCENE_NODE_TYPE getType() const override {
        return static_cast<irr::scene::ESCENE_NODE_TYPE>(typeId);
    }
    void serializeAttributes(irr::io::IAttributes* out, irr::io::SAttributeReadWriteOptions* options) const override;
    void deserializeAttributes(irr::io::IAttributes* in, irr::io::SAttributeReadWriteOptions* options) override;

    void setParticleSize(const irr::core::dimension2d<irr::f32>& size) override { ParticleSize = size; }
    void setParticlesAreGlobal(bool global = true) override { ParticlesAreGlobal = global; }
    void clearParticles() override;
    void doParticleSystem(irr::u32 now) override;
    irr::scene::IParticleEmitter* getEmitter() override { return Emitter; }
    void setEmitter(irr::scene::IParticleEmitter* emitter) override;
    void addAffector(irr::scene::IParticleAffector* affector) override;
    const irr::core::list<irr::scene::IParticleAffector*>& getAffectors() const override { return Affectors; }
    void removeAllAffectors() override;

    // No factories: emitters and affectors are made by the owner and handed in.
    irr::scene::IParticleAnimatedMeshSceneNodeEmitter*
    createAnimatedMeshSceneNodeEmitter(irr::scene::IAnimatedMeshSceneNode*, bool, const irr::core::vector3df&, irr::f32,
                                       irr::s32, bool, irr::u32, irr::u32, const irr::video::SColor&,
                                       const irr::video::SColor&, irr::u32, irr::u32, irr::s32,
                                       const irr::core::dimension2df&, const irr::core::dimension2df&) override {
        return nullptr;
    }
    irr::scene::IParticleBoxEmitter* createBoxEmitter(const irr::core::aabbox3df&, const irr::core::vector3df&,
                                                       irr::u32, irr::u32, const irr::video::SColor&,
                                                       const irr::video::SColor&, irr::u32, irr::u32, irr::s32,
                                                       const irr::core::dimension2df&,
                                                       const irr::core::dimension2df&) override {
        return nullptr;
    }
    irr::scene::IParticleCylinderEmitter*
    createCylinderEmitter(const irr::core::vector3df&, irr::f32, const irr::core::vector3df&, irr::f32, bool,
                          const irr::core::vector3df&, irr::u32, irr::u32, const irr::video::SColor&,
                          const irr::video::SColor&, irr::u32, irr::u32, irr::s32, const irr::core::dimension2df&,
                          const irr::core::dimension2df&) override {
        return nullptr;
    }
    irr::scene::IParticleMeshEmitter* createMeshEmitter(irr::scene::IMesh*, bool, const irr::core::vector3df&,
                                                         irr::f32, irr::s32, bool, irr::u32, irr::u32,
                                                         const irr::video::SColor&, const irr::video::SColor&,
                                                         irr::u32, irr::u32, irr::s32, const irr::core::dimension2df&,
                                                         const irr::core::dimension2df&) override {
        return nullptr;
    }
    irr::scene::IParticlePointEmitter* createPointEmitter(const irr::core::vector3df&, irr::u32, irr::u32,
                                                           const irr::video::SColor&, const irr::video::SColor&,
                                                           irr::u32, irr::u32, irr::s32,
                                                           const irr::core::dimension2df&,
                                                           const irr::core::dimension2df&) override {
        return nullptr;
    }
    irr::scene::IParticleRingEmitter* createRingEmitter(const irr::core::vector3df&, irr::f32, irr::f32,
                                                         const irr::core::vector3df&, irr::u32, irr::u32,
                                                         const irr::video::SColor&, const irr::video::SColor&,
                                                         irr::u32, irr::u32, irr::s32, const irr::core::dimension2df&,
                                                         const irr::core::dimension2df&) override {
        return nullptr;
    }
    irr::scene::IParticleSphereEmitter* createSphereEmitter(const irr::core::vector3df&, irr::f32,
                                                             const irr::core::vector3df&, irr::u32, irr::u32,
                                                             const irr::video::SColor&, const irr::video::SColor&,
                                                             irr::u32, irr::u32, irr::s32,
                                                             const irr::core::dimension2df&,
                                                             const irr::core::dimension2df&) override {
        return nullptr;
    }
    irr::scene::IParticleAttractionAffector* createAttractionAffector(const irr::core::vector3df&, irr::f32, bool,
                                                                      bool, bool, bool) override {
        return nullptr;
    }
    irr::scene::IParticleAffector* createScaleParticleAffector(const irr::core::dimension2df&) override {
        return nullptr;
    }
    irr::scene::IParticleFadeOutAffector* createFadeOutParticleAffector(const irr::video::SColor&,
                                                                        irr::u32) override {
        return nullptr;
    }
    irr::scene::IParticleGravityAffector* createGravityAffector(const irr::core::vector3df&, irr::u32) override {
        return nullptr;
    }
    irr::scene::IParticleRotationAffector* createRotationAffector(const irr::core::vector3df&,
                                                                  const irr::core::vector3df&) override {
        return nullptr;
    }

    // The physics set-up of a particle effect: once the physics world runs, the node's
    // particles are moved by a particle system (or fluid) of the physics world.
    void createPhysicsParticleSystem(irr::f32 collisionRadius, irr::f32 damping, irr::f32 restitution,
                                     irr::f32 friction, irr::f32 mass, irr::f32 viscosity, irr::f32 stiffness,
                                     bool isFluid);

    irr::u32 getParticleCount() const { return Particles.size(); }
    // The particles the node has room for (charged to the level's memory).
    irr::u32 getCapacity() const { return capacity; }
    std::uint64_t getChargedBytes() const { return memory.charged(); }
    const irr::scene::SParticle& getParticle(irr::u32 index) const { return Particles[index]; }
    irr::scene::SParticle& getParticle(irr::u32 index) { return Particles[index]; }
    ParticleExtra& getParticleExtra(irr::u32 index) { return Extras[index]; }
    irr::core::array<irr::scene::SParticle>& getParticles() { return Particles; }
    irr::core::array<ParticleExtra>& getParticleExtras() { return Extras; }
    irr::scene::SMeshBuffer* getBuffer() const { return Buffer; }

    // Texture coordinates of every quad: left, top, right, bottom.
    irr::core::rectf TextureRect{0.0f, 0.0f, 1.0f, 1.0f};
    bool PhysicsParticles = false;
    // Range (min, max radians) of the rotation each new particle is born with.
    irr::core::vector2df startRotation{0.0f, 0.0f};
    irr::core::dimension2df ParticleSize{5.0f, 5.0f};
    irr::u32 LastEmitTime = 0;
    bool ParticlesAreGlobal = true;

    // The physics path's update (OnAnimate, while the physics world runs).
    void updateParticles(irr::u32 now);
    bool onPhysicsPath() const;
    phys::ParticleBase* getPhysicsSystem() const { return physicsSystem; }

private:
    // Room for `wanted` particles (at most maxParticles), charged; false when the budget
    // refused the growth (the capacity stays as it was).
    bool growCapacity(irr::u32 wanted);
    // The charge for the capacity and the emitter's batch of twice its rate.
    bool chargeMemory(irr::u32 particles);
    // How many of `count` new particles there is room for, growing the capacity for them.
    irr::u32 roomFor(irr::u32 count);
    void appendEmitted(const irr::scene::SParticle* emitted, irr::s32 count);
    void removeParticle(irr::u32 index);
    void resizeQuadBuffers(irr::u32 count);
    void finishBox();

    irr::core::list<irr::scene::IParticleAffector*> Affectors;
    irr::scene::IParticleEmitter* Emitter = nullptr;
    irr::core::array<irr::scene::SParticle> Particles;
    irr::core::array<ParticleExtra> Extras;
    irr::scene::SMeshBuffer* Buffer = nullptr;
    phys::ParticleBase* physicsSystem = nullptr;
    irr::u32 capacity = 0;
    bool capacityRefused = false; // the budget refused a growth: the node grows no more
    MemoryCharge memory;
};

// The system's own affectors also see the rotation and extra values of every particle.
class ParticleExtraAffector : public irr::scene::IParticleAffector {
public:
    virtual void affectExtras(irr::u32 now, irr::scene::SParticle* particles,
                              ParticleSystemNode::ParticleExtra* extras, irr::u32 count) = 0;
};
