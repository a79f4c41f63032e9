// How a physics object looks and answers being handled: the grab notification (suspicion,
// grab sound, turning dynamic), the highlight mode and its fixed-function textures, the
// per-frame visual update (fade, pulse, culling delay), the highlight pass and the shader
// variant of its materials.
#include "physics/objects/PhysicsObject.h"

#include "physics/world/PhysicsHooks.h"
#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "core/Random.h"
#include "core/SoundManager.h"
#include "level/LevelManager.h"
#include "level/WorldTransform.h"
#include "platform/TextureFiltering.h"
#include "platform/audio/EventSystem.h"
#include "player/PlayerObject.h"
#include "render/EffectHandler.h"
#include "render/ShaderManager.h"

#include <cmath>

using namespace irr;

namespace {

bool visualShadersOn() { return shaderManager && shaderManager->areShadersEnabled(); }

const char* highlightTextureFile(s32 mode) {
    switch (mode) {
    case 1:
    case 2: return "Content/Models/Editor/PhongInRange.png";
    case 3: return "Content/Models/Editor/PhongGrabbed.png";
    case 4: return "Content/Models/Editor/PhongSuspicious.png";
    case 6: return "Content/Models/Editor/PhongImportant.png";
    default: return nullptr;
    }
}

bool isHandHighlight(s32 mode) { return mode >= 1 && mode <= 3; }

void showLikeThePhongVariant(video::SMaterial& material) {
    // The fixed-function lights then give what the shader gives: the material's diffuse
    // colour (which animators and trigger actions change) under the scene's ambient light and
    // the lights, plus the material's own emissive and specular. The engine would otherwise
    // take the vertex colour for the diffuse one (a skinned mesh keeps joint numbers there);
    // the shader manager multiplies it in for each draw. A diffuse colour copied into the
    // emissive one would light every surface twice and blow pale ones out to white.
    material.ColorMaterial = video::ECM_NONE;
    material.AmbientColor = material.DiffuseColor;
    // A scaled object's normals are scaled with it; the shader makes them unit length again.
    material.NormalizeNormals = true;
}

} // namespace

void PhysicsObject::notifyGrab(bool grabbed, core::vector3df grabPoint) {
    PhysicsBodySettings& b = *bodySettings;
    if (grabbed && holdCount == 0) {
        PhysicsSuspicionSettings& s = *suspicionSettings;
        const auto& add = physicsHooks().characters.addSuspicion;
        if (s.SuspGrabAmount != 0.0f && gameDifficulty != 0 && s.SuspGrabLimit != 0 && add) {
            SuspicionMeter* record = nullptr;
            if (levelManager)
                record = playerCount() > 0 && getPlayer(0) ? levelManager->getPlayerSuspicion(0)
                                                           : levelManager->suspicionMeter.get();
            if (add(record, s.SuspGrabAmount, 0, grabPoint)) {
                s.displayTimer = 2.0f;
                --s.SuspGrabLimit;
            }
        }
        if (!b.SoundGrabEvent.empty() && soundManager)
            b.grabEvent = soundManager->getEvent(b.SoundGrabEvent.c_str());
        if (b.grabEvent) {
            if (soundManager && !soundManager->muted) {
                const core::vector3df at = getAbsolutePosition();
                const audio::Vector3 position{at.X, at.Y, at.Z}, still{0.0f, 0.0f, 0.0f}, forward{0.0f, 0.0f, 1.0f};
                b.grabEvent->set3DAttributes(&position, &still, &forward);
                soundManager->startEvent(b.grabEvent);
            }
            b.collisionSoundCooldown = 0.1f * randomFloatRaw() + 0.1f;
        }
        if (TurnDynamicOnGrab && userData->state == PhysicsState::Kinematic)
            setCompoundKinematic(false);
        holdCount = 1;
    } else if (grabbed) {
        ++holdCount;
    } else if (holdCount != 0) {
        b.collisionSoundCooldown = 0.0f;
        thrown = true;
        --holdCount;
    }
}

void PhysicsObject::updateHighlightMode() {
    PhysicsMeshSettings& m = *meshSettings;
    PhysicsSuspicionSettings& s = *suspicionSettings;
    PlayerObject* player = playerCount() > 0 ? getPlayer(0) : nullptr;
    const bool playerReady = player && player->isModeSettled() && !isGameplaySuspended();
    s32 mode = 0, fixedMode = 0;
    if (s.displayTimer > 0.0f) {
        s.displayTimer -= objectFrameSeconds();
        mode = 5;
        fixedMode = 4;
    } else if (holdCount != 0 || (m.grabRangeHighlight != 0.0f && IsGrabbable)) {
        mode = fixedMode = 3;
    } else if (IsGold && limbTouchCounts[0] == 0 && limbTouchCounts[1] == 0) {
        mode = fixedMode = 6;
    } else if (limbTouchCounts[0] != 0 && (IsGrabbable || !actor) && playerReady) {
        mode = fixedMode = 1;
    } else if (limbTouchCounts[1] != 0 && IsGrabbable && holdCount == 0 && playerReady) {
        mode = fixedMode = 2;
    }
    m.highlightMode = mode;
    if (mode == 0 && !(actor && actor->asRigidDynamic()))
        inheritHighlightMode();
    if (!visualShadersOn())
        setHighlightTexture(fixedMode);
}

void PhysicsObject::setHighlightTexture(s32 mode) {
    if (!meshNode || meshNode->getMaterialCount() == 0 || meshNode->getMaterial(0).MaterialType != 1)
        return;
    const char* file = highlightTextureFile(mode);
    video::ITexture* texture =
        file && SceneManager && SceneManager->getVideoDriver() ? SceneManager->getVideoDriver()->getTexture(file) : nullptr;
    for (u32 i = 0; i < meshNode->getMaterialCount(); ++i)
        meshNode->getMaterial(i).setTexture(1, texture);
}

void PhysicsObject::inheritHighlightMode() {
    PhysicsObject* parent = asPhysicsObject(Parent);
    if (!parent || parent->getMeshNode())
        return;
    PhysicsMeshSettings& m = *meshSettings;
    if (isHandHighlight(parent->mesh().highlightMode)) {
        m.highlightMode = parent->mesh().highlightMode;
        return;
    }
    for (PhysicsUserData* child : parent->getUserData()->children) {
        PhysicsObject* sibling = child ? asPhysicsObject(child->node) : nullptr;
        if (sibling && isHandHighlight(sibling->mesh().highlightMode) && m.highlightMode != 3)
            m.highlightMode = sibling->mesh().highlightMode;
    }
}

void PhysicsObject::updateVisualState() {
    updateHighlightMode();
    PhysicsMeshSettings& m = *meshSettings;
    if (m.cullingDelay >= 0 && ++m.cullingDelay > 30) {
        if (meshNode)
            meshNode->setAutomaticCulling(scene::EAC_FRUSTUM_BOX);
        if (instancedMeshNode)
            instancedMeshNode->setAutomaticCulling(scene::EAC_FRUSTUM_BOX);
        m.cullingDelay = -1;
    }
    if (!meshNode)
        return;
    plainShading = m.highlightMode == 0 && !alwaysVisible;
    const f32 delta = objectFrameSeconds();
    if (std::fabs(m.fadeAlphaTarget - m.fadeAlpha) > 0.001f) {
        m.fadeAlpha = core::clamp(m.fadeAlpha + delta * (m.fadeAlphaTarget - m.fadeAlpha) * 3.0f, 0.0f, 1.0f);
        if (m.fadeAlpha > 0.99f)
            m.fadeAlpha = 1.0f;
    }
    updateMaterials(false);
    if (holdCount != 0) {
        m.highlightPulse = 1.0f;
    } else {
        m.highlightPulse -= 2.0f * delta;
        if (m.highlightPulse < 0.0f)
            m.highlightPulse = 1.0f;
    }
    if (!(effectHandler && effectHandler->hardwareSkinning))
        updateAnimation(true);
    if (physicsManager && physicsManager->isSimulationActive() && bodySettings->cloth) {
        updateClothMesh();
        return;
    }
    // A driver that draws into no texture (the null driver) has no reflection to give: the
    // mirror keeps its fixed textures, which is no fault.
    video::IVideoDriver* driver = SceneManager ? SceneManager->getVideoDriver() : nullptr;
    if (physicsManager && physicsManager->isSimulationActive() && IsReflective && !reflection->reflectionTexture &&
        driver && driver->queryFeature(video::EVDF_RENDER_TO_TARGET)) {
        reflection->reflectionTexture = effectHandler ? effectHandler->getPlaneReflectionTexture() : nullptr;
        if (!reflection->reflectionTexture)
            setReflective(false);
    }
}

void PhysicsObject::render() {
    // Heavily jointed meshes (characters) are not outlined: their copy would not follow the pose.
    if (!IsVisible || !meshNode || !meshNode->isVisible() || meshNode->getJointCount() >= 10)
        return;
    if (!shaderManager || shaderManager->glowMaterial <= 0)
        return;
    PhysicsMeshSettings& m = *meshSettings;
    const core::vector3df scale = meshNode->getScale();
    const core::vector3df position = meshNode->getPosition();
    const f32 growth = 0.25f / m.highlightScaleDivisor;
    const f32 s = 1.0f + growth - m.highlightPulse * growth;
    const core::vector3df centre = meshNode->getTransformedBoundingBox().getCenter();
    // The skinned glow exists only where the driver needs a separate skinned variant.
    const bool skinned = hardwareJointCount != 0 && shaderManager->glowSkinnedMaterial > 0;
    meshNode->setMaterialType(
        static_cast<video::E_MATERIAL_TYPE>(skinned ? shaderManager->glowSkinnedMaterial : shaderManager->glowMaterial));
    meshNode->setMaterialFlag(video::EMF_ZWRITE_ENABLE, false);
    meshNode->setScale(core::vector3df(s, s, s));
    meshNode->updateAbsolutePosition();
    // Grown about the middle of its box, not about the mesh origin.
    const core::vector3df grownCentre = meshNode->getTransformedBoundingBox().getCenter();
    setNodeWorldPosition(meshNode, meshNode->getAbsolutePosition() + centre - grownCentre);
    meshNode->updateAbsolutePosition();
    meshNode->render();
    meshNode->setPosition(position);
    meshNode->setScale(scale);
    meshNode->updateAbsolutePosition();
    meshNode->setMaterialFlag(video::EMF_ZWRITE_ENABLE, true);
    updateMaterials(true);
}

void PhysicsObject::updateMaterials(bool force) {
    if (!meshNode)
        return;
    PhysicsMeshSettings& m = *meshSettings;
    u32 flags = 0;
    if (HasTransparency || m.AlphaOverride < 1.0f || m.fadeAlpha < 1.0f)
        flags |= 0x1;
    if (IsReflective && effectHandler && effectHandler->areShaderEffectsSupported())
        flags |= 0x2;
    if (m.highlightMode != 0)
        flags |= 0x4;
    if (hardwareJointCount != 0)
        flags |= 0x8;
    if (caustics)
        flags |= 0x20;
    if (UseLightMap)
        flags |= 0x200;
    const bool shaders = visualShadersOn();
    if ((flags != m.materialFlags || force) && shaderManager) {
        m.materialType = shaderManager->getMaterialType(static_cast<s32>(flags));
        m.materialFlags = flags;
        meshNode->setMaterialType(static_cast<video::E_MATERIAL_TYPE>(m.materialType));
    }
    if (instancedMeshNode) {
        s32 type = 0;
        if (shaders && shaderManager) {
            type = shaderManager->findVariantMaterial(static_cast<s32>(flags) | shaderFlag::instancing);
            if (type <= 0)
                type = shaderManager->findVariantMaterial(shaderFlag::instancing);
        }
        instancedMeshNode->setMaterialType(static_cast<video::E_MATERIAL_TYPE>(type < 0 ? 0 : type));
    }
    meshNode->setMaterialFlag(video::EMF_ANISOTROPIC_FILTER, platform::anisotropicFilterLevel(!DisableAntialiasing) != 0);
    meshNode->setMaterialFlag(video::EMF_TRILINEAR_FILTER, !DisableAntialiasing);
    if (!shaders)
        for (u32 i = 0; i < meshNode->getMaterialCount(); ++i)
            showLikeThePhongVariant(meshNode->getMaterial(i));
}

