#include "render/ParticleObject.h"

#include "level/AttributeExtras.h"
#include "render/ParticleAffectors.h"
#include "render/ParticleSystemNode.h"
#include "render/ShaderManager.h"

#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"

#include "core/Globals.h"
#include "core/Stopwatch.h"

#include <algorithm>
#include <cmath>

using namespace irr;

namespace {

const c8* const particleEmitterTypeNames[] = {"Point", "Ring", "Box", "Cylinder", "Sphere", "Mesh", "Animated Mesh", nullptr};
const c8* const particleBlendTypeNames[] = {"Opaque", "Alpha Blend", "Non-Premultiplied", "Additive", "Modulate", nullptr};

// The level is being played while a physics manager exists (it never stops running).
bool particlePhysicsRunning() { return physicsManager != nullptr; }

bool isNonZeroVector(const core::vector3df& v) {
    return std::fabs(v.X) > 1e-6f || std::fabs(v.Y) > 1e-6f || std::fabs(v.Z) > 1e-6f;
}

core::dimension2df negatedSize(const core::dimension2df& size) { return core::dimension2df(-size.Width, -size.Height); }

} // namespace

ParticleObject::ParticleObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : LevelObject(parent, manager, id) {
    Box = core::aabbox3df(-1, -1, -1, 1, 1, 1);
    setAutomaticCulling(scene::EAC_OFF);
    emitterFactory = manager->addParticleSystemSceneNode(false, this, -1);
    emitterFactory->setVisible(false);
    emitterFactory->setIsDebugObject(true);
    createParticleSystem();
}

ParticleObject::~ParticleObject() = default;

void ParticleObject::addNewAffector(scene::IParticleAffector* affector) {
    if (!affector)
        return;
    particleNode->addAffector(affector);
    affector->drop();
}

scene::IParticleEmitter* ParticleObject::makeEmitter() {
    const ParticleSettings& s = settings;
    const u32 minRate = static_cast<u32>(std::max(s.particlesPerSecond.X, 0));
    const u32 maxRate = static_cast<u32>(std::max(s.particlesPerSecond.Y, 0));
    const core::dimension2df minSize = negatedSize(s.minStartSize);
    const core::dimension2df maxSize = negatedSize(s.maxStartSize);
    switch (EmitterType) {
    case PointEmitter:
        return emitterFactory->createPointEmitter(s.direction, minRate, maxRate, s.minStartColor, s.maxStartColor,
                                                  s.minLifeTime, s.maxLifeTime, s.maxAngleDegrees, minSize, maxSize);
    case RingEmitter:
        return emitterFactory->createRingEmitter(s.center, s.radius, s.ringThickness, s.direction, minRate, maxRate,
                                                 s.minStartColor, s.maxStartColor, s.minLifeTime, s.maxLifeTime,
                                                 s.maxAngleDegrees, minSize, maxSize);
    case BoxEmitter:
        return emitterFactory->createBoxEmitter(core::aabbox3df(-s.box, s.box), s.direction, minRate, maxRate,
                                                s.minStartColor, s.maxStartColor, s.minLifeTime, s.maxLifeTime,
                                                s.maxAngleDegrees, minSize, maxSize);
    case CylinderEmitter:
        return emitterFactory->createCylinderEmitter(s.center, s.radius, s.normal, s.length, s.outlineOnly,
                                                     s.direction, minRate, maxRate, s.minStartColor, s.maxStartColor,
                                                     s.minLifeTime, s.maxLifeTime, s.maxAngleDegrees, minSize, maxSize);
    case SphereEmitter:
        return emitterFactory->createSphereEmitter(s.center, s.radius, s.direction, minRate, maxRate, s.minStartColor,
                                                   s.maxStartColor, s.minLifeTime, s.maxLifeTime, s.maxAngleDegrees,
                                                   minSize, maxSize);
    case MeshEmitter: {
        scene::IAnimatedMesh* mesh = s.meshFilePath.empty() ? nullptr : SceneManager->getMesh(s.meshFilePath);
        if (!mesh)
            return nullptr;
        return emitterFactory->createMeshEmitter(mesh, s.useNormalDirection, s.direction, s.normalDirectionModifier,
                                                 s.meshBufferIndex, s.everyMeshVertex, minRate, maxRate,
                                                 s.minStartColor, s.maxStartColor, s.minLifeTime, s.maxLifeTime,
                                                 s.maxAngleDegrees, minSize, maxSize);
    }
    default:
        return nullptr;
    }
}

void ParticleObject::createParticleSystem() {
    if (!particleNode) {
        particleNode = new ParticleSystemNode(this, SceneManager);
        for (u32 i = 0; i < particleNode->getMaterialCount(); ++i) {
            video::SMaterial& material = particleNode->getMaterial(i);
            material.Lighting = false;
            material.MaterialType = video::EMT_TRANSPARENT_ALPHA_CHANNEL;
            material.ZWriteEnable = false;
            if (SceneManager->getVideoDriver())
                material.setTexture(0, SceneManager->getVideoDriver()->getTexture("Content/Models/Editor/Blue.png"));
        }
        particleNode->setIsDebugObject(true);
        particleNode->drop();
    }
    if (EmitterType != AnimatedMeshEmitter) {
        // The node holds the emitter; currentEmitter only names it.
        currentEmitter = makeEmitter();
        particleNode->setEmitter(currentEmitter);
        if (currentEmitter)
            currentEmitter->drop(); // the node holds it
    }
    particleNode->setAutomaticCulling(scene::EAC_FRUSTUM_BOX);
    particleNode->setParticlesAreGlobal(settings.globalParticles);
    particleNode->removeAllAffectors();
    particleNode->startRotation = settings.startRotation;

    if (isNonZeroVector(settings.gravity) && settings.gravityFullEffectMS != 0)
        addNewAffector(emitterFactory->createGravityAffector(settings.gravity, settings.gravityFullEffectMS));
    particleNode->setParticleSize(settings.maxStartSize);
    if (settings.scaleOverTime) {
        addNewAffector(emitterFactory->createScaleParticleAffector(negatedSize(settings.maxEndSize)));
        particleNode->setParticleSize(
            core::dimension2df(std::max(settings.maxStartSize.Width, settings.maxEndSize.Width),
                               std::max(settings.maxStartSize.Height, settings.maxEndSize.Height)));
    }
    if (isNonZeroVector(settings.pivotRotationSpeed))
        addNewAffector(emitterFactory->createRotationAffector(settings.pivotRotationSpeed, settings.pivotRotationPosition));
    if (settings.hasAttractPoint)
        addNewAffector(emitterFactory->createAttractionAffector(settings.attractPoint, settings.attractSpeed, true,
                                                                true, true, true));
    if (settings.fadeInTime != 0 || settings.fadeOut)
        addNewAffector(new ParticleFadeInOutAffector(settings.fadeInTime,
                                                     settings.fadeOut ? settings.minLifeTime / 4 : 0,
                                                     settings.fadeOutColor));
    if (settings.rotationSpeed != 0.0f)
        addNewAffector(new ParticleRateAffector(settings.rotationSpeed));
}

void ParticleObject::setEmitterRates(u32 minRate, u32 maxRate) {
    scene::IParticleEmitter* emitter = particleNode ? particleNode->getEmitter() : nullptr;
    if (!emitter)
        return;
    emitter->setMinParticlesPerSecond(minRate);
    emitter->setMaxParticlesPerSecond(maxRate);
}

void ParticleObject::restart() {
    CurrentTimer = 0.0f;
    if (!particleNode)
        return;
    const u32 now = (gameDevice ? gameDevice->getTimer()->getTime() : 0) + 1;
    particleNode->LastEmitTime = now;
    particleNode->OnAnimate(now);
    particleNode->clearParticles();
}

void ParticleObject::setVisible(bool visible) {
    if (!particleNode)
        return;
    scene::IParticleEmitter* emitter = particleNode->getEmitter();
    if (!visible) {
        DesiredVisible = false;
        setEmitterRates(0, 0);
        return;
    }
    if (!emitter) {
        LevelObject::setVisible(true);
        DesiredVisible = true;
        return;
    }
    if (emitter->getMaxParticlesPerSecond() != 0)
        return;
    DesiredVisible = true;
    CurrentTimer = 0.0f;
    if (!IsVisible)
        restart();
    setEmitterRates(static_cast<u32>(std::max(settings.particlesPerSecond.X, 0)),
                    static_cast<u32>(std::max(settings.particlesPerSecond.Y, 0)));
    LevelObject::setVisible(true);
}

s32 ParticleObject::blendMaterialType() const {
    switch (BlendType) {
    case Opaque:
        return shaderManager ? shaderManager->particleSolidMaterial : video::EMT_SOLID;
    case NonPremultiplied:
        return shaderManager ? shaderManager->particleAlphaRefMaterial : video::EMT_TRANSPARENT_ALPHA_CHANNEL;
    case Additive:
        return shaderManager ? shaderManager->particleAddMaterial : video::EMT_TRANSPARENT_ADD_COLOR;
    case Modulate:
        return video::EMT_TRANSPARENT_VERTEX_ALPHA;
    default:
        return shaderManager ? shaderManager->particleAlphaMaterial : video::EMT_TRANSPARENT_ALPHA_CHANNEL;
    }
}

void ParticleObject::OnAnimate(u32 timeMs) {
    if (animatedThisFrame())
        return;
    if (firstAnimate) {
        if (particleNode && settings.fadeOut)
            particleNode->getMaterial(0).ZWriteEnable = false;
        firstAnimate = false;
    }
    if (DurationTimer != 0.0f && CurrentTimer >= 0.0f)
        CurrentTimer += frameStopwatch ? frameStopwatch->delta() : 0.0f;
    if (DurationTimer > 0.0f && DurationTimer <= CurrentTimer) {
        if (!particlePhysicsRunning()) {
            CurrentTimer = 0.0f;
            scene::IParticleEmitter* emitter = particleNode ? particleNode->getEmitter() : nullptr;
            setVisible(false);
            setVisible(emitter ? settings.particlesPerSecond.X != 0 : true);
        } else {
            setEmitterRates(0, 0);
            CurrentTimer = -1.0f;
        }
    }
    const s32 material = blendMaterialType();
    if (particleNode) {
        for (u32 i = 0; i < particleNode->getMaterialCount(); ++i)
            particleNode->getMaterial(i).MaterialType = static_cast<video::E_MATERIAL_TYPE>(material);
        particleNode->setVisible(true);
        particleNode->setDebugDataVisible(particlePhysicsRunning() ? 0 : DebugDataVisible);
    }
    LevelObject::OnAnimate(timeMs);
    if (settings.transformDirection && particleNode && particleNode->getEmitter()) {
        core::vector3df direction = settings.direction;
        AbsoluteTransformation.rotateVect(direction);
        particleNode->getEmitter()->setDirection(direction);
    }
}

void ParticleObject::OnRegisterSceneNode() {
    const bool wasVisible = IsVisible;
    IsVisible = true;
    if (Parent && Parent->isTrulyVisible())
        ISceneNode::OnRegisterSceneNode();
    IsVisible = wasVisible;
}

video::SMaterial& ParticleObject::getMaterial(u32 index) {
    if (particleNode)
        return particleNode->getMaterial(index);
    return video::IdentityMaterial;
}

u32 ParticleObject::getMaterialCount() const { return particleNode ? particleNode->getMaterialCount() : 1; }

scene::ISceneNode* ParticleObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new ParticleObject(newParent, newManager, ID);
    const s32 newId = assignUniqueObjectID(copy);
    cloneMembers(copy, this, newManager);
    copy->EmitterType = EmitterType;
    copy->settings = settings;
    copy->BlendType = BlendType;
    copy->DurationTimer = DurationTimer;
    if (particleNode && copy->particleNode)
        copy->particleNode->getMaterial(0) = particleNode->getMaterial(0);
    copy->createParticleSystem();
    copy->Box = Box;
    copy->setID(newId);
    copy->drop();
    return copy;
}

void ParticleObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    if (!out)
        return;
    LevelObject::serializeAttributes(out, options);
    const ParticleSettings& s = settings;
    out->addEnum("EmitterType", EmitterType, particleEmitterTypeNames);
    out->addEnum("BlendType", BlendType, particleBlendTypeNames);
    out->addBool("FadeOut", s.fadeOut);
    out->addColor("FadeOutColor", s.fadeOutColor);
    out->addInt("FadeInTime", static_cast<s32>(s.fadeInTime));
    out->addBool("GlobalParticles", s.globalParticles);
    out->addBool("TransformDirection", s.transformDirection);
    out->addVector2d("MinStartSize", core::vector2df(s.minStartSize.Width, s.minStartSize.Height));
    out->addVector2d("MaxStartSize", core::vector2df(s.maxStartSize.Width, s.maxStartSize.Height));
    out->addBool("ScaleOverTime", s.scaleOverTime);
    if (s.scaleOverTime) {
        out->addVector2d("MinEndSize", core::vector2df(s.minEndSize.Width, s.minEndSize.Height));
        out->addVector2d("MaxEndSize", core::vector2df(s.maxEndSize.Width, s.maxEndSize.Height));
    }
    out->addVector2d("StartRotation", s.startRotation);
    out->addVector3d("Direction", s.direction);
    out->addVector3d("Gravity", s.gravity);
    out->addInt("GravityFullEffectMS", static_cast<s32>(s.gravityFullEffectMS));
    out->addPosition2d("ParticlesPerSecond", core::position2di(s.particlesPerSecond.X, s.particlesPerSecond.Y));
    out->addColor("MinStartColor", s.minStartColor);
    out->addColor("MaxStartColor", s.maxStartColor);
    out->addInt("MinLifeTime", static_cast<s32>(s.minLifeTime));
    out->addInt("MaxLifeTime", static_cast<s32>(s.maxLifeTime));
    out->addInt("MaxAngleDegrees", s.maxAngleDegrees);
    if (EmitterType == BoxEmitter)
        out->addVector3d("Box", s.box);
    if (EmitterType == SphereEmitter || EmitterType == RingEmitter)
        out->addVector3d("Center", s.center);
    if (EmitterType == SphereEmitter || EmitterType == RingEmitter || EmitterType == CylinderEmitter)
        out->addFloat("Radius", s.radius);
    if (EmitterType == RingEmitter)
        out->addFloat("RingThickness", s.ringThickness);
    if (EmitterType == CylinderEmitter) {
        out->addVector3d("Normal", s.normal);
        out->addFloat("Length", s.length);
        out->addBool("OutlineOnly", s.outlineOnly);
    }
    if (EmitterType == MeshEmitter) {
        out->addString("MeshFilePath", s.meshFilePath.c_str());
        out->addInt("MeshBufferIndex", s.meshBufferIndex);
        out->addFloat("NormalDirectionModifier", s.normalDirectionModifier);
        out->addBool("UseNormalDirection", s.useNormalDirection);
        out->addBool("EveryMeshVertex", s.everyMeshVertex);
    }
    out->addBool("HasAttractPoint", s.hasAttractPoint);
    if (s.hasAttractPoint) {
        out->addVector3d("AttractPoint", s.attractPoint);
        out->addFloat("AttractSpeed", s.attractSpeed);
    }
    out->addVector3d("PivotRotationSpeed", s.pivotRotationSpeed);
    out->addVector3d("PivotRotationPosition", s.pivotRotationPosition);
    out->addFloat("RotationSpeed", s.rotationSpeed);
    out->addFloat("DurationTimer", DurationTimer);
    if (UsePhysics || isEditorWrite(options))
        out->addBool("UsePhysics", UsePhysics);
    if (UsePhysics) {
        out->addFloat("CollisionRadius", CollisionRadius);
        out->addFloat("Damping", Damping);
        out->addFloat("Restitution", Restitution);
        out->addFloat("Friction", Friction);
        out->addFloat("Mass", Mass);
        out->addBool("IsFluid", IsFluid);
        if (IsFluid) {
            out->addFloat("Viscosity", Viscosity);
            out->addFloat("Stiffness", Stiffness);
        }
    }
    if (particlePhysicsRunning()) {
        out->addBool("DesiredVisible", DesiredVisible);
        if (CurrentTimer != 0.0f)
            out->addFloat("CurrentTimer", CurrentTimer);
    }
}

void ParticleObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    if (!in)
        return;
    LevelObject::deserializeAttributes(in, options);
    ParticleSettings& s = settings;
    const auto has = [in](const c8* key) { return in->existsAttribute(key); };
    const auto size2 = [in](const c8* key) {
        const core::vector2df v = in->getAttributeAsVector2d(key);
        return core::dimension2df(v.X, v.Y);
    };
    EmitterType = in->getAttributeAsEnumeration("EmitterType", particleEmitterTypeNames);
    if (EmitterType < 0)
        EmitterType = PointEmitter;
    BlendType = has("BlendType") ? in->getAttributeAsEnumeration("BlendType", particleBlendTypeNames) : AlphaBlend;
    if (BlendType < 0)
        BlendType = AlphaBlend;
    if (has("FadeOut"))
        s.fadeOut = in->getAttributeAsBool("FadeOut");
    if (has("FadeOutColor"))
        s.fadeOutColor = in->getAttributeAsColor("FadeOutColor");
    if (has("FadeInTime"))
        s.fadeInTime = static_cast<u32>(in->getAttributeAsInt("FadeInTime"));
    s.globalParticles = in->getAttributeAsBool("GlobalParticles");
    s.transformDirection = in->getAttributeAsBool("TransformDirection");
    // The older separate size keys, overridden by the pairs below when present.
    s.minStartSize.set(in->getAttributeAsFloat("MinStartSizeX"), in->getAttributeAsFloat("MinStartSizeY"));
    s.maxStartSize.set(in->getAttributeAsFloat("MaxStartSizeX"), in->getAttributeAsFloat("MaxStartSizeY"));
    s.startRotation = in->getAttributeAsVector2d("StartRotation");
    if ((std::fabs(s.startRotation.X) > 1e-6f || std::fabs(s.startRotation.Y) > 1e-6f) &&
        s.startRotation.X == s.startRotation.Y)
        s.startRotation.Y += 1.0f;
    s.scaleOverTime = in->getAttributeAsBool("ScaleOverTime");
    s.minEndSize.set(in->getAttributeAsFloat("MinEndSizeX"), in->getAttributeAsFloat("MinEndSizeY"));
    if (has("MinStartSize"))
        s.minStartSize = size2("MinStartSize");
    if (has("MaxStartSize"))
        s.maxStartSize = size2("MaxStartSize");
    if (has("MinEndSize"))
        s.minEndSize = size2("MinEndSize");
    if (has("MaxEndSize"))
        s.maxEndSize = size2("MaxEndSize");
    if (has("UsePhysics"))
        UsePhysics = in->getAttributeAsBool("UsePhysics");
    if (UsePhysics) {
        if (has("Mass"))
            Mass = in->getAttributeAsFloat("Mass");
        if (has("Friction"))
            Friction = in->getAttributeAsFloat("Friction");
        if (has("Restitution"))
            Restitution = in->getAttributeAsFloat("Restitution");
        // The older key first, so that the written one ("Damping") wins.
        if (has("LinearDamping"))
            Damping = in->getAttributeAsFloat("LinearDamping");
        if (has("Damping"))
            Damping = in->getAttributeAsFloat("Damping");
        if (has("CollisionRadius"))
            CollisionRadius = in->getAttributeAsFloat("CollisionRadius");
        if (has("IsFluid"))
            IsFluid = in->getAttributeAsBool("IsFluid");
        if (IsFluid) {
            if (has("Viscosity"))
                Viscosity = in->getAttributeAsFloat("Viscosity");
            if (has("Stiffness"))
                Stiffness = in->getAttributeAsFloat("Stiffness");
        }
        if (particleNode)
            particleNode->createPhysicsParticleSystem(CollisionRadius > 0.0f ? CollisionRadius : s.maxStartSize.Height,
                                                      Damping, Restitution, Friction, Mass, Viscosity, Stiffness,
                                                      IsFluid);
    }
    s.direction = in->getAttributeAsVector3d("Direction");
    s.gravity = in->getAttributeAsVector3d("Gravity");
    if (has("GravityFullEffectMS") && isNonZeroVector(s.gravity))
        s.gravityFullEffectMS = static_cast<u32>(in->getAttributeAsInt("GravityFullEffectMS"));
    s.particlesPerSecond.X = in->getAttributeAsInt("MinParticlesPerSecond");
    s.particlesPerSecond.Y = in->getAttributeAsInt("MaxParticlesPerSecond");
    if (has("ParticlesPerSecond")) {
        const core::position2di rates = in->getAttributeAsPosition2d("ParticlesPerSecond");
        s.particlesPerSecond.set(rates.X, rates.Y);
    }
    s.minStartColor = in->getAttributeAsColor("MinStartColor");
    s.maxStartColor = in->getAttributeAsColor("MaxStartColor");
    s.minLifeTime = static_cast<u32>(in->getAttributeAsInt("MinLifeTime"));
    s.maxLifeTime = static_cast<u32>(in->getAttributeAsInt("MaxLifeTime"));
    s.maxAngleDegrees = in->getAttributeAsInt("MaxAngleDegrees");
    if (EmitterType == BoxEmitter)
        s.box = has("Box") ? in->getAttributeAsVector3d("Box") : core::vector3df(3, 3, 3);
    if (EmitterType == SphereEmitter || EmitterType == RingEmitter)
        s.center = has("Center") ? in->getAttributeAsVector3d("Center") : core::vector3df(0, 0, 0);
    if (EmitterType == SphereEmitter || EmitterType == RingEmitter || EmitterType == CylinderEmitter)
        s.radius = has("Radius") ? in->getAttributeAsFloat("Radius") : 5.0f;
    if (EmitterType == RingEmitter)
        s.ringThickness = has("RingThickness") ? in->getAttributeAsFloat("RingThickness") : 1.0f;
    if (EmitterType == CylinderEmitter) {
        s.normal = has("Normal") ? in->getAttributeAsVector3d("Normal") : core::vector3df(0, 1, 0);
        s.length = has("Length") ? in->getAttributeAsFloat("Length") : 10.0f;
        s.outlineOnly = has("OutlineOnly") && in->getAttributeAsBool("OutlineOnly");
    }
    if (EmitterType == MeshEmitter) {
        readIfPresent(in, "MeshFilePath", s.meshFilePath);
        if (has("MeshBufferIndex"))
            s.meshBufferIndex = in->getAttributeAsInt("MeshBufferIndex");
        if (has("NormalDirectionModifier"))
            s.normalDirectionModifier = in->getAttributeAsFloat("NormalDirectionModifier");
        if (has("UseNormalDirection"))
            s.useNormalDirection = in->getAttributeAsBool("UseNormalDirection");
        if (has("EveryMeshVertex"))
            s.everyMeshVertex = in->getAttributeAsBool("EveryMeshVertex");
    }
    if (has("HasAttractPoint"))
        s.hasAttractPoint = in->getAttributeAsBool("HasAttractPoint");
    if (has("AttractPoint"))
        s.attractPoint = in->getAttributeAsVector3d("AttractPoint");
    if (has("AttractSpeed"))
        s.attractSpeed = in->getAttributeAsFloat("AttractSpeed");
    if (has("PivotRotationSpeed"))
        s.pivotRotationSpeed = in->getAttributeAsVector3d("PivotRotationSpeed");
    if (has("PivotRotationPosition"))
        s.pivotRotationPosition = in->getAttributeAsVector3d("PivotRotationPosition");
    if (has("RotationSpeed"))
        s.rotationSpeed = in->getAttributeAsFloat("RotationSpeed");
    DurationTimer = in->getAttributeAsFloat("DurationTimer");
    if (particlePhysicsRunning()) {
        if (has("DesiredVisible"))
            DesiredVisible = in->getAttributeAsBool("DesiredVisible") && IsVisible;
        if (has("CurrentTimer")) {
            CurrentTimer = in->getAttributeAsFloat("CurrentTimer");
            if (CurrentTimer < 0.0f)
                CurrentTimer = DurationTimer;
        }
    }
    createParticleSystem();
    setVisible(particlePhysicsRunning() ? DesiredVisible : IsVisible);
}

void registerParticleObjectType() {
    SceneNodeTypeRow row;
    row.type = typeId("ptc1");
    row.typeName = "ParticleObject";
    row.create = [](scene::ISceneNode* parent, scene::ISceneManager* manager) -> scene::ISceneNode* {
        auto* object = new ParticleObject(parent, manager);
        object->drop();
        return object;
    };
    registerSceneNodeType(row);
}
