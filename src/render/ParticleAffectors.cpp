#include "render/ParticleAffectors.h"

#include <IAttributes.h>

#include <algorithm>

using namespace irr;

ParticleFadeInOutAffector::ParticleFadeInOutAffector(u32 fadeInTimeMs, u32 fadeOutTimeMs,
                                                     const video::SColor& target)
    : TargetColor(target), FadeInTime(fadeInTimeMs == 0 ? 1.0f : static_cast<f32>(fadeInTimeMs)),
      FadeOutTime(fadeOutTimeMs == 0 ? 1.0f : static_cast<f32>(fadeOutTimeMs)) {}

void ParticleFadeInOutAffector::affect(u32 now, scene::SParticle* particles, u32 count) {
    if (!Enabled || count == 0)
        return;
    for (u32 i = 0; i < count; ++i) {
        scene::SParticle& particle = particles[i];
        const f32 age = static_cast<f32>(now - particle.startTime);
        if (FadeInTime > age) {
            particle.color.setAlpha(static_cast<u32>((age / FadeInTime) * static_cast<f32>(particle.startColor.getAlpha())));
            continue;
        }
        const f32 remaining = static_cast<f32>(particle.endTime - now);
        if (FadeOutTime > remaining) {
            const f32 d = std::clamp(remaining / FadeOutTime, 0.0f, 1.0f);
            particle.color = particle.startColor.getInterpolated(TargetColor, d);
        } else {
            particle.color.setAlpha(particle.startColor.getAlpha());
        }
    }
}

void ParticleFadeInOutAffector::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    out->addColor("TargetColor", TargetColor);
    out->addFloat("FadeInTime", FadeInTime);
    out->addFloat("FadeOutTime", FadeOutTime);
}

void ParticleFadeInOutAffector::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    TargetColor = in->getAttributeAsColor("TargetColor");
    FadeInTime = in->getAttributeAsFloat("FadeInTime");
    FadeOutTime = in->getAttributeAsFloat("FadeOutTime");
}

void ParticleRateAffector::affect(u32 now, scene::SParticle* particles, u32 count) {
    affectExtras(now, particles, nullptr, count);
}

void ParticleRateAffector::affectExtras(u32 now, scene::SParticle*, ParticleSystemNode::ParticleExtra* extras,
                                        u32 count) {
    if (LastTime == 0) {
        LastTime = now;
        return;
    }
    const f32 dt = static_cast<f32>(now - LastTime) / 1000.0f;
    LastTime = now;
    if (!Enabled || !extras)
        return;
    for (u32 i = 0; i < count; ++i)
        extras[i].rotation += Rate * dt;
}
