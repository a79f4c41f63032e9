#include "render/ParticleSystemNode.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/ProgramQueries.h"
#include "phys/Particles.h"
#include "physics/world/PhysicsManager.h"

#include <ICameraSceneNode.h>
#include <ITimer.h>
#include <IRandomizer.h>
#include <IrrlichtDevice.h>
#include <IParticleAffector.h>
#include <IParticleEmitter.h>
#include <ISceneManager.h>
#include <IVideoDriver.h>
#include <SViewFrustum.h>

#include <algorithm>
#include <cmath>

using namespace irr;

namespace {

const c8* const particleEmitterNames[] = {"Point", "AnimatedMesh", "Box", "Cylinder", "Mesh", "Ring", "Sphere", nullptr};
const c8* const particleAffectorNames[] = {"None", "Attract", "FadeOut", "Gravity", "Rotate", "Scale", nullptr};
constexpr s32 noParticleEmitter = 7;

// Turns v about the unit axis by the angle (the quaternion's rotation matrix).
core::vector3df turnAboutViewAxis(const core::vector3df& v, const core::vector3df& axis, f32 angle) {
    const double half = static_cast<double>(angle) * 0.5;
    const double s = std::sin(half);
    const double x = axis.X * s, y = axis.Y * s, z = axis.Z * s, w = std::cos(half);
    const f32 m0 = static_cast<f32>(1 - 2 * y * y - 2 * z * z), m1 = static_cast<f32>(2 * x * y - 2 * w * z),
              m2 = static_cast<f32>(2 * x * z + 2 * w * y), m4 = static_cast<f32>(2 * x * y + 2 * w * z),
              m5 = static_cast<f32>(1 - 2 * x * x - 2 * z * z), m6 = static_cast<f32>(2 * y * z - 2 * w * x),
              m8 = static_cast<f32>(2 * x * z - 2 * w * y), m9 = static_cast<f32>(2 * y * z + 2 * w * x),
              m10 = static_cast<f32>(1 - 2 * x * x - 2 * y * y);
    return core::vector3df(m0 * v.X + m4 * v.Y + m8 * v.Z, m1 * v.X + m5 * v.Y + m9 * v.Z,
                           m2 * v.X + m6 * v.Y + m10 * v.Z);
}

// An emitter makes up to twice its rate in one call before the node's cap applies: a rate
// above what the node can hold would make a frame build millions of particles to drop them.
void capEmitterRate(scene::IParticleEmitter& emitter) {
    if (emitter.getMaxParticlesPerSecond() > ParticleSystemNode::maxParticles)
        emitter.setMaxParticlesPerSecond(ParticleSystemNode::maxParticles);
    if (emitter.getMinParticlesPerSecond() > emitter.getMaxParticlesPerSecond())
        emitter.setMinParticlesPerSecond(emitter.getMaxParticlesPerSecond());
}

} // namespace

ParticleSystemNode::ParticleSystemNode(scene::ISceneNode* parent, scene::ISceneManager* manager,
                                       const core::vector3df& position, const core::vector3df& rotation,
                                       const core::vector3df& scale)
    : SceneNodeBase<scene::IParticleSystemSceneNode>(parent, manager, -1, position, rotation, scale),
      Buffer(new scene::SMeshBuffer()) {}

ParticleSystemNode::~ParticleSystemNode() {
    // The physics particles go with the node (a level unload would otherwise leave them in
    // the scene until it is destroyed).
    if (physicsSystem && physicsManager)
        physicsManager->releaseActor(physicsSystem, false);
    if (Emitter)
        Emitter->drop();
    Buffer->drop();
    removeAllAffectors();
}

void ParticleSystemNode::clearParticles() {
    Particles.set_used(0);
    Extras.set_used(0);
    if (physicsSystem && onPhysicsPath())
        physicsSystem->releaseParticles();
}

void ParticleSystemNode::setEmitter(scene::IParticleEmitter* emitter) {
    if (emitter == Emitter)
        return;
    if (Emitter)
        Emitter->drop();
    Emitter = emitter;
    if (!Emitter)
        return;
    Emitter->grab();
    capEmitterRate(*Emitter);
    // The emitter's own batch is charged with the capacity; a node the budget has no room
    // for keeps no emitter.
    if (!chargeMemory(capacity)) {
        Emitter->drop();
        Emitter = nullptr;
        return;
    }
    const double expected = std::floor(static_cast<double>(Emitter->getMaxParticlesPerSecond()) *
                                       static_cast<double>(Emitter->getMaxLifeTime()) / 1000.0);
    growCapacity(static_cast<u32>(std::min(expected, static_cast<double>(maxParticles))));
}

bool ParticleSystemNode::chargeMemory(u32 particles) {
    // An engine emitter keeps the particles of its largest batch: up to twice its rate, in an
    // array that grows by a quarter at a time.
    const std::uint64_t rate = Emitter ? std::min(Emitter->getMaxParticlesPerSecond(), maxParticles) : 0;
    const std::uint64_t batch = rate != 0 ? 2 * rate + (2 * rate) / 4 + 1 : 0;
    return memory.growTo(static_cast<std::uint64_t>(particles) * bytesPerParticle + batch * sizeof(scene::SParticle));
}

bool ParticleSystemNode::growCapacity(u32 wanted) {
    wanted = std::min(wanted, maxParticles);
    if (wanted <= capacity)
        return true;
    if (capacityRefused || !chargeMemory(wanted)) {
        capacityRefused = true;
        return false;
    }
    Particles.reallocate(wanted);
    Extras.reallocate(wanted);
    capacity = wanted;
    return true;
}

u32 ParticleSystemNode::roomFor(u32 count) {
    const u32 live = Particles.size();
    const u32 wanted = static_cast<u32>(std::min<std::uint64_t>(static_cast<std::uint64_t>(live) + count, maxParticles));
    // Grown by half at least, so that a population rising a few particles a frame grows
    // the arrays (and charges) a few times, not every frame.
    if (wanted > capacity)
        growCapacity(std::max(wanted, std::min(maxParticles, capacity + capacity / 2)));
    return capacity > live ? std::min(count, capacity - live) : 0;
}

void ParticleSystemNode::addAffector(scene::IParticleAffector* affector) {
    if (!affector)
        return;
    // The physics world's own gravity stands for a gravity affector.
    if (onPhysicsPath() && affector->getType() == scene::EPAT_GRAVITY) {
        if (physicsSystem)
            physicsSystem->setActorFlag(phys::ActorFlag::DisableGravity, false);
        return;
    }
    affector->grab();
    Affectors.push_back(affector);
}

void ParticleSystemNode::removeAllAffectors() {
    for (scene::IParticleAffector* affector : Affectors)
        affector->drop();
    Affectors.clear();
}

void ParticleSystemNode::appendEmitted(const scene::SParticle* emitted, s32 count) {
    const u32 added = roomFor(static_cast<u32>(count));
    const core::matrix4& absolute = getAbsoluteTransformation();
    for (u32 k = 0; k < added; ++k) {
        scene::SParticle particle = emitted[k];
        absolute.rotateVect(particle.startVector);
        if (ParticlesAreGlobal)
            absolute.transformVect(particle.pos);
        Particles.push_back(particle);
        ParticleExtra extra;
        if (startRotation.X != 0.0f || startRotation.Y != 0.0f) {
            const f32 t = gameDevice ? gameDevice->getRandomizer()->frand() : 0.0f;
            extra.rotation = startRotation.X + (startRotation.Y - startRotation.X) * t;
        }
        Extras.push_back(extra);
    }
}

void ParticleSystemNode::removeParticle(u32 index) {
    const u32 last = Particles.size() - 1;
    if (index != last) {
        Particles[index] = Particles[last];
        Extras[index] = Extras[last];
    }
    Particles.set_used(last);
    Extras.set_used(last);
}

void ParticleSystemNode::doParticleSystem(u32 now) {
    if (LastEmitTime == 0) {
        LastEmitTime = now;
        return;
    }
    s32 dt = static_cast<s32>(now - LastEmitTime);
    if (dt <= 0)
        dt = 0;
    LastEmitTime = now;

    if (Emitter && IsVisible && Emitter->getMaxParticlesPerSecond() != 0) {
        scene::SParticle* emitted = nullptr;
        capEmitterRate(*Emitter); // the rate may have changed since it was set
        const s32 count = Emitter->emitt(now, static_cast<u32>(dt), emitted);
        if (count > 0 && emitted)
            appendEmitted(emitted, count);
    }

    for (scene::IParticleAffector* affector : Affectors) {
        if (auto* own = dynamic_cast<ParticleExtraAffector*>(affector))
            own->affectExtras(now, Particles.pointer(), Extras.pointer(), Particles.size());
        else
            affector->affect(now, Particles.pointer(), Particles.size());
    }

    if (ParticlesAreGlobal)
        Buffer->BoundingBox.reset(AbsoluteTransformation.getTranslation());
    else
        Buffer->BoundingBox.reset(core::vector3df(0, 0, 0));

    const f32 step = static_cast<f32>(dt);
    for (u32 i = 0; i < Particles.size();) {
        scene::SParticle& particle = Particles[i];
        if (particle.endTime < now || now < particle.startTime) {
            removeParticle(i);
            continue;
        }
        particle.pos += particle.vector * step;
        Buffer->BoundingBox.addInternalPoint(particle.pos);
        ++i;
    }
    finishBox();
}

void ParticleSystemNode::finishBox() {
    const f32 pad = std::max(ParticleSize.Width, ParticleSize.Height) * 0.5f;
    core::aabbox3df& box = Buffer->BoundingBox;
    box.MinEdge -= core::vector3df(pad, pad, pad);
    box.MaxEdge += core::vector3df(pad, pad, pad);
    if (ParticlesAreGlobal) {
        core::matrix4 inverse;
        if (!AbsoluteTransformation.getInverse(inverse))
            for (u32 k = 0; k < 16; ++k)
                inverse[k] = 0.0f;
        inverse.transformBoxEx(box);
    }
}

void ParticleSystemNode::createPhysicsParticleSystem(f32 collisionRadius, f32 damping, f32 restitution,
                                                     f32 friction, f32 mass, f32 viscosity, f32 stiffness,
                                                     bool isFluid) {
    if (physicsSystem || !physicsManager || !isSimulationActive())
        return;
    if (!isFluid)
        viscosity = stiffness = -1.0f;
    physicsSystem = physicsManager->createParticleSystem(collisionRadius, damping, restitution, friction, mass,
                                                         viscosity, stiffness);
    if (physicsSystem)
        physicsSystem->setActorFlag(phys::ActorFlag::DisableGravity, true);
    PhysicsParticles = true;
}

bool ParticleSystemNode::onPhysicsPath() const {
    return PhysicsParticles && physicsManager && isSimulationActive();
}

void ParticleSystemNode::updateParticles(u32 now) {
    if (LastEmitTime == 0) {
        LastEmitTime = now;
        return;
    }
    const u32 dt = now - LastEmitTime;
    LastEmitTime = now;

    if (Emitter && IsVisible) {
        scene::SParticle* emitted = nullptr;
        capEmitterRate(*Emitter); // the rate may have changed since it was set
        const s32 count = Emitter->emitt(now, dt, emitted);
        const u32 added = count > 0 && emitted ? roomFor(static_cast<u32>(count)) : 0;
        if (added > 0) {
            const core::matrix4& absolute = getAbsoluteTransformation();
            std::vector<u32> indices;
            indices.reserve(added);
            for (u32 k = 0; k < added; ++k) {
                scene::SParticle particle = emitted[k];
                absolute.rotateVect(particle.startVector);
                absolute.rotateVect(particle.vector);
                if (ParticlesAreGlobal)
                    absolute.transformVect(particle.pos);
                // Per millisecond to per second, in the two roundings the effects were tuned with.
                particle.vector = particle.vector * 59.88024139404297f;
                particle.vector = particle.vector * 16.700000762939453f;
                indices.push_back(Particles.size());
                Particles.push_back(particle);
                Extras.push_back(ParticleExtra());
            }
            if (physicsSystem) {
                phys::ParticleCreationData creation;
                creation.numParticles = added;
                creation.indexBuffer = phys::StridedData<u32>(indices.data());
                const u32 stride = sizeof(scene::SParticle);
                const scene::SParticle& first = Particles[indices.front()];
                creation.positionBuffer = phys::StridedData<phys::Vec3>(
                    reinterpret_cast<const phys::Vec3*>(&first.pos), stride);
                creation.velocityBuffer = phys::StridedData<phys::Vec3>(
                    reinterpret_cast<const phys::Vec3*>(&first.vector), stride);
                physicsSystem->createParticles(creation);
            }
        }
    }

    for (scene::IParticleAffector* affector : Affectors) {
        if (auto* own = dynamic_cast<ParticleExtraAffector*>(affector))
            own->affectExtras(now, Particles.pointer(), Extras.pointer(), Particles.size());
        else
            affector->affect(now, Particles.pointer(), Particles.size());
    }

    if (ParticlesAreGlobal)
        Buffer->BoundingBox.reset(AbsoluteTransformation.getTranslation());
    else
        Buffer->BoundingBox.reset(core::vector3df(0, 0, 0));

    // Removal keeps physics index i equal to record index i: the last record moves into the
    // hole on both sides and the last physics particle goes.
    for (u32 i = 0; i < Particles.size();) {
        const scene::SParticle& particle = Particles[i];
        if (!(particle.endTime < now || now < particle.startTime)) {
            ++i;
            continue;
        }
        const u32 last = Particles.size() - 1;
        removeParticle(i);
        if (physicsSystem) {
            if (i < last) {
                const phys::StridedData<u32> index(&i);
                physicsSystem->setPositions(1, index,
                                            phys::StridedData<phys::Vec3>(reinterpret_cast<const phys::Vec3*>(&Particles[i].pos)));
                physicsSystem->setVelocities(
                    1, index, phys::StridedData<phys::Vec3>(reinterpret_cast<const phys::Vec3*>(&Particles[i].vector)));
            }
            physicsSystem->releaseParticles(1, phys::StridedData<u32>(&last));
        }
    }

    if (physicsSystem) {
        if (phys::ParticleReadData* read = physicsSystem->lockParticleReadData()) {
            const u32 range = std::min(read->validParticleRange, Particles.size());
            for (u32 i = 0; i < range; ++i) {
                if (!(read->flagsBuffer.at(i) & phys::ParticleValid))
                    continue;
                const phys::Vec3 p = read->positionBuffer.at(i);
                Particles[i].pos.set(p.x, p.y, p.z);
                Buffer->BoundingBox.addInternalPoint(Particles[i].pos);
            }
            read->unlock();
        }
    }
    finishBox();
}

void ParticleSystemNode::OnAnimate(u32 timeMs) {
    SceneNodeBase<scene::IParticleSystemSceneNode>::OnAnimate(timeMs);
    if (onPhysicsPath())
        updateParticles(gameDevice ? gameDevice->getTimer()->getTime() : timeMs);
}

void ParticleSystemNode::OnRegisterSceneNode() {
    if (!onPhysicsPath())
        doParticleSystem(gameDevice ? gameDevice->getTimer()->getTime() : 0);
    if (IsVisible && Particles.size() != 0) {
        SceneManager->registerNodeForRendering(this, scene::ESNRP_AUTOMATIC);
        scene::ISceneNode::OnRegisterSceneNode();
    }
}

void ParticleSystemNode::resizeQuadBuffers(u32 count) {
    const u32 oldVertices = Buffer->Vertices.size();
    if (oldVertices < count * 4 || Buffer->Indices.size() < count * 6) {
        Buffer->Vertices.set_used(count * 4);
        for (u32 i = oldVertices; i < count * 4; i += 4) {
            Buffer->Vertices[i + 0].TCoords.set(TextureRect.LowerRightCorner.X, TextureRect.LowerRightCorner.Y);
            Buffer->Vertices[i + 1].TCoords.set(TextureRect.LowerRightCorner.X, TextureRect.UpperLeftCorner.Y);
            Buffer->Vertices[i + 2].TCoords.set(TextureRect.UpperLeftCorner.X, TextureRect.UpperLeftCorner.Y);
            Buffer->Vertices[i + 3].TCoords.set(TextureRect.UpperLeftCorner.X, TextureRect.LowerRightCorner.Y);
        }
        const u32 oldIndices = Buffer->Indices.size();
        Buffer->Indices.set_used(count * 6);
        for (u32 i = oldIndices / 6; i < count; ++i) {
            const u16 b = static_cast<u16>(i * 4);
            u16* quad = &Buffer->Indices[i * 6];
            quad[0] = b;
            quad[1] = static_cast<u16>(b + 2);
            quad[2] = static_cast<u16>(b + 1);
            quad[3] = b;
            quad[4] = static_cast<u16>(b + 3);
            quad[5] = static_cast<u16>(b + 2);
        }
    }
}

void ParticleSystemNode::render() {
    video::IVideoDriver* driver = SceneManager->getVideoDriver();
    scene::ICameraSceneNode* camera = SceneManager->getActiveCamera();
    if (!driver || !camera)
        return;
    const core::matrix4& m = camera->getViewFrustum()->getTransform(video::ETS_VIEW);
    const core::vector3df view(-m[2], -m[6], -m[10]);
    const u32 count = Particles.size();
    resizeQuadBuffers(count);

    const f32 left = TextureRect.UpperLeftCorner.X, top = TextureRect.UpperLeftCorner.Y;
    const f32 right = TextureRect.LowerRightCorner.X, bottom = TextureRect.LowerRightCorner.Y;
    for (u32 i = 0; i < count; ++i) {
        const scene::SParticle& particle = Particles[i];
        core::vector3df horizontal = core::vector3df(m[0], m[4], m[8]) * (0.5f * particle.size.Width);
        core::vector3df vertical = core::vector3df(m[1], m[5], m[9]) * (-0.5f * particle.size.Height);
        const f32 rotation = Extras[i].rotation;
        if (rotation != 0.0f) {
            horizontal = turnAboutViewAxis(horizontal, view, rotation);
            vertical = turnAboutViewAxis(vertical, view, rotation);
        }
        video::S3DVertex* quad = &Buffer->Vertices[i * 4];
        quad[0].Pos = particle.pos + horizontal + vertical;
        quad[1].Pos = particle.pos + horizontal - vertical;
        quad[2].Pos = particle.pos - horizontal - vertical;
        quad[3].Pos = particle.pos - horizontal + vertical;
        quad[0].TCoords.set(right, bottom);
        quad[1].TCoords.set(right, top);
        quad[2].TCoords.set(left, top);
        quad[3].TCoords.set(left, bottom);
        for (u32 k = 0; k < 4; ++k) {
            quad[k].Color = particle.color;
            quad[k].Normal = view;
        }
    }

    core::matrix4 world;
    if (!ParticlesAreGlobal)
        world.setTranslation(AbsoluteTransformation.getTranslation());
    driver->setTransform(video::ETS_WORLD, world);
    driver->setMaterial(Buffer->Material);
    driver->drawVertexPrimitiveList(Buffer->Vertices.const_pointer(), count * 4, Buffer->Indices.const_pointer(),
                                    count * 2, video::EVT_STANDARD, scene::EPT_TRIANGLES, video::EIT_16BIT);

    if (DebugDataVisible & scene::EDS_BBOX) {
        driver->setTransform(video::ETS_WORLD, AbsoluteTransformation);
        video::SMaterial debug;
        debug.Lighting = false;
        driver->setMaterial(debug);
        driver->draw3DBox(Buffer->BoundingBox, video::SColor(0x00FFFFFF));
    }
}

void ParticleSystemNode::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    SceneNodeBase<scene::IParticleSystemSceneNode>::serializeAttributes(out, options);
    out->addBool("GlobalParticles", ParticlesAreGlobal);
    out->addFloat("ParticleWidth", ParticleSize.Width);
    out->addFloat("ParticleHeight", ParticleSize.Height);
    const s32 emitterType = Emitter ? static_cast<s32>(Emitter->getType()) : noParticleEmitter;
    out->addEnum("Emitter", emitterType, particleEmitterNames);
    if (Emitter)
        Emitter->serializeAttributes(out, options);
    for (scene::IParticleAffector* affector : Affectors) {
        const s32 type = static_cast<s32>(affector->getType());
        out->addEnum("Affector", type >= 0 && type < 6 ? type : 0, particleAffectorNames);
        affector->serializeAttributes(out, options);
    }
    if (options && (options->Flags & io::EARWF_FOR_EDITOR))
        out->addEnum("Affector", 0, particleAffectorNames);
}

void ParticleSystemNode::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    SceneNodeBase<scene::IParticleSystemSceneNode>::deserializeAttributes(in, options);
    ParticlesAreGlobal = in->getAttributeAsBool("GlobalParticles");
    ParticleSize.Width = in->getAttributeAsFloat("ParticleWidth");
    ParticleSize.Height = in->getAttributeAsFloat("ParticleHeight");
    if (in->existsAttribute("Emitter")) {
        setEmitter(nullptr);
        removeAllAffectors();
    }
}
