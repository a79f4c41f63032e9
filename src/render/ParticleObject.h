#pragma once

#include "level/LevelObject.h"

#include <irrlicht.h>

class ParticleSystemNode;

// What a particle effect emits and how its particles change, as the level file keeps it.
struct ParticleSettings {
    irr::io::path meshFilePath;
    irr::s32 meshBufferIndex = -1;
    irr::f32 normalDirectionModifier = 100.0f;
    bool useNormalDirection = true;
    bool everyMeshVertex = true;
    irr::core::dimension2df minStartSize{5.0f, 5.0f};
    irr::core::dimension2df maxStartSize{5.0f, 5.0f};
    irr::core::dimension2df minEndSize{15.0f, 15.0f};
    irr::core::dimension2df maxEndSize{20.0f, 20.0f};
    irr::core::vector3df direction{0.0f, 0.03f, 0.0f};
    irr::core::vector3df gravity{0.0f, 0.0f, 0.0f};
    irr::core::vector3df box{3.0f, 3.0f, 3.0f};
    irr::core::vector3df center{0.0f, 0.0f, 0.0f};
    irr::core::vector3df normal{0.0f, 1.0f, 0.0f};
    irr::core::vector3df pivotRotationSpeed{0.0f, 0.0f, 0.0f};
    irr::core::vector3df pivotRotationPosition{0.0f, 0.0f, 0.0f};
    irr::core::vector2df startRotation{0.0f, 0.0f}; // min, max radians
    irr::video::SColor minStartColor{0xFF000000};
    irr::video::SColor maxStartColor{0xFFFFFFFF};
    irr::video::SColor fadeOutColor{0x00FFFFFF};
    irr::core::vector2di particlesPerSecond{5, 50}; // min, max
    irr::u32 minLifeTime = 2000;
    irr::u32 maxLifeTime = 4000;
    irr::s32 maxAngleDegrees = 0;
    irr::u32 gravityFullEffectMS = 1000;
    irr::u32 fadeInTime = 0;
    irr::f32 radius = 5.0f;
    irr::f32 ringThickness = 1.0f;
    irr::f32 length = 10.0f;
    bool outlineOnly = false;
    bool globalParticles = true;
    bool transformDirection = false;
    bool fadeOut = false;
    bool scaleOverTime = false;
    irr::core::vector3df attractPoint{0.0f, 0.0f, 0.0f};
    irr::f32 attractSpeed = 1.0f;
    bool hasAttractPoint = false;
    irr::f32 rotationSpeed = 0.0f; // radians per second
};

// The level's particle effect ("ParticleObject", type 'ptc1'): builds a particle node, an
// emitter of the chosen shape and the affectors its settings ask for, and keeps the node's
// materials, emission and direction in step each frame. Hiding it stops the emission and
// lets the living particles finish.
class ParticleObject : public LevelObject {
public:
    enum EmitterKind { PointEmitter, RingEmitter, BoxEmitter, CylinderEmitter, SphereEmitter, MeshEmitter, AnimatedMeshEmitter };
    enum BlendKind { Opaque, AlphaBlend, NonPremultiplied, Additive, Modulate };

    ParticleObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);
    ~ParticleObject() override;

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("ptc1"); }
    void OnRegisterSceneNode() override;
    void OnAnimate(irr::u32 timeMs) override;
    void setVisible(bool visible) override;
    irr::video::SMaterial& getMaterial(irr::u32 index) override;
    irr::u32 getMaterialCount() const override;
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // Builds or rebuilds the node, the emitter and the affectors from the settings.
    void createParticleSystem();
    // Starts the emission afresh: no particles, the node's clock at the device's time + 1.
    void restart();

    ParticleSystemNode* getParticleNode() const { return particleNode; }
    irr::scene::IParticleEmitter* getCurrentEmitter() const { return currentEmitter; }

    irr::s32 EmitterType = PointEmitter;
    irr::s32 BlendType = AlphaBlend;
    ParticleSettings settings;
    irr::f32 CollisionRadius = -1.0f;
    irr::f32 Damping = 0.0f;
    irr::f32 Restitution = 0.2f;
    irr::f32 Friction = 0.05f;
    irr::f32 Mass = 1.0f;
    irr::f32 Viscosity = 60.0f;
    irr::f32 Stiffness = 45.0f;
    bool IsFluid = false;
    bool UsePhysics = false;
    irr::f32 DurationTimer = 0.0f;
    irr::f32 CurrentTimer = 0.0f;
    bool DesiredVisible = true;

private:
    irr::scene::IParticleEmitter* makeEmitter();
    void addNewAffector(irr::scene::IParticleAffector* affector);
    void setEmitterRates(irr::u32 minRate, irr::u32 maxRate);
    irr::s32 blendMaterialType() const;

    irr::scene::IParticleEmitter* currentEmitter = nullptr;
    irr::scene::IParticleSystemSceneNode* emitterFactory = nullptr;
    ParticleSystemNode* particleNode = nullptr;
    bool firstAnimate = true;
};

// The factory row: "ParticleObject" makes a ParticleObject.
void registerParticleObjectType();
