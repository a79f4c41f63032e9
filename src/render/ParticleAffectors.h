#pragma once

#include "render/ParticleSystemNode.h"

#include <IParticleAffector.h>
#include <SColor.h>

// Fades a particle's alpha in after birth and its colour towards a target colour before
// death; between the two the start alpha comes back.
class ParticleFadeInOutAffector : public irr::scene::IParticleAffector {
public:
    // Times in whole milliseconds; 0 is stored as 1.
    ParticleFadeInOutAffector(irr::u32 fadeInTimeMs, irr::u32 fadeOutTimeMs, const irr::video::SColor& target);

    void affect(irr::u32 now, irr::scene::SParticle* particles, irr::u32 count) override;
    irr::scene::E_PARTICLE_AFFECTOR_TYPE getType() const override { return irr::scene::EPAT_FADE_OUT; }
    void setTargetColor(const irr::video::SColor& color) { TargetColor = color; }
    void setFadeOutTime(irr::u32 timeMs) { FadeOutTime = static_cast<irr::f32>(timeMs); }
    const irr::video::SColor& getTargetColor() const { return TargetColor; }
    // Reports the fade-in time, as the saved effects have always read it.
    irr::u32 getFadeOutTime() const { return static_cast<irr::u32>(FadeInTime); }
    void setFadeInTime(irr::f32 timeMs) { FadeInTime = timeMs; }
    irr::f32 getFadeInTime() const { return FadeInTime; }
    irr::f32 getStoredFadeOutTime() const { return FadeOutTime; }

    void serializeAttributes(irr::io::IAttributes* out, irr::io::SAttributeReadWriteOptions* options) const override;
    void deserializeAttributes(irr::io::IAttributes* in, irr::io::SAttributeReadWriteOptions* options) override;

private:
    irr::video::SColor TargetColor;
    irr::f32 FadeInTime;
    irr::f32 FadeOutTime;
};

// Turns every particle's quad at a constant rate (radians per second).
class ParticleRateAffector : public ParticleExtraAffector {
public:
    explicit ParticleRateAffector(irr::f32 radiansPerSecond) : Rate(radiansPerSecond) {}

    // Without the rotations only the clock advances.
    void affect(irr::u32 now, irr::scene::SParticle* particles, irr::u32 count) override;
    void affectExtras(irr::u32 now, irr::scene::SParticle* particles, ParticleSystemNode::ParticleExtra* extras,
                      irr::u32 count) override;
    irr::scene::E_PARTICLE_AFFECTOR_TYPE getType() const override {
        return static_cast<irr::scene::E_PARTICLE_AFFECTOR_TYPE>(-1);
    }

    irr::f32 Rate;
    irr::u32 LastTime = 0;
};
