// The physics object: construction, destruction, the scene-node operations it overrides,
// its mesh child and cloning.
#include "physics/objects/PhysicsObject.h"
#include "physics/joints/JointObject.h"

#include "physics/world/PhysicsManager.h"

#include "core/GameSettings.h"
#include "core/Log.h"
#include "core/RepeatedLog.h"
#include "core/Globals.h"
#include "core/SoundManager.h"
#include "core/Stopwatch.h"
#include "level/LevelManager.h"
#include "level/DrawnTriangles.h"
#include "level/MeshGate.h"
#include "level/NodeHelpers.h"
#include "level/TransformNode.h"
#include "platform/TextureFiltering.h"
#include "platform/audio/EventSystem.h"
#include "render/EffectHandler.h"
#include "render/HardwareSkinning.h"
#include "render/ShaderManager.h"

#include <cmath>

using namespace irr;

const char* const boundTypeNames[] = {"Box", "Sphere", "Cylinder", "Capsule", "Convex", "Mesh", "Cloth", "None", nullptr};
const char* const physicsStateNames[] = {"Static", "Kinematic", "Dynamic", nullptr};
const char* const resetModeNames[] = {"No", "Respawn", "Jump to Position", nullptr};
const char* const collisionGroupNames[] = {"", "Custom1", "Custom2", "Custom3", "Custom4", nullptr};
const char* const suspTouchModeNames[] = {"Arms", "Legs", "Default", nullptr};
const char* const detailModeNames[] = {"Default", "High", "Low", nullptr};

f32 objectFrameSeconds() { return frameStopwatch ? frameStopwatch->delta() : 0.0f; }

bool isPoseValid(const phys::Quat& q) {
    if (!std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.z) || !std::isfinite(q.w))
        return false;
    return std::fabs(std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w) - 1.0f) < 0.01f;
}

bool isVectorSet(const core::vector3df& v) {
    return std::fabs(v.X) > 1e-6f || std::fabs(v.Y) > 1e-6f || std::fabs(v.Z) > 1e-6f;
}

phys::Quat eulerDegreesToQuat(const core::vector3df& degrees) {
    core::quaternion q;
    q.set(degrees.X * 0.01745f, degrees.Y * 0.01745f, degrees.Z * 0.01745f);
    return {q.X, q.Y, q.Z, q.W};
}

PhysicsObject* asPhysicsObject(scene::ISceneNode* node) {
    return static_cast<PhysicsObject*>(asType(node, typeId("phsx")));
}

PhysicsObject* findPhysicsObjectOfNode(const scene::ISceneNode* node) {
    const PhysicsUserData* record = node ? findUserDataOfNode(node) : nullptr;
    return record && record->physicsObject ? static_cast<PhysicsObject*>(record->physicsObject) : nullptr;
}

bool setMeshVertexAlpha(scene::IMesh* mesh, u32 alpha) {
    if (!mesh)
        return true;
    for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
        scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
        if (!buffer)
            continue;
        u8* vertices = static_cast<u8*>(buffer->getVertices());
        const u32 stride = video::getVertexPitchFromType(buffer->getVertexType());
        // The colour follows position and normal in every engine layout.
        for (u32 v = 0; v < buffer->getVertexCount(); ++v) {
            video::SColor* colour = reinterpret_cast<video::SColor*>(vertices + v * stride + 24);
            colour->setAlpha(alpha & 0xFFu);
        }
        buffer->setDirty(scene::EBT_VERTEX);
    }
    return true;
}

namespace {

// One callback for every physics object's mesh node: the end of a non-looping animation
// starts the animators its owner waits for.
class PhysicsAnimationEndCallback : public scene::IAnimationEndCallBack {
public:
    void OnAnimationEnd(scene::IAnimatedMeshSceneNode* node) override {
        if (PhysicsObject* owner = asPhysicsObject(findAncestorOfKindUp(node, typeId("phsx"))))
            owner->startPendingAnimator();
    }
};

// Never freed: the nodes grab and drop it, so it must outlive all of them.
PhysicsAnimationEndCallback& physicsAnimationEnd() {
    static PhysicsAnimationEndCallback* callback = new PhysicsAnimationEndCallback();
    return *callback;
}

} // namespace

PhysicsObject::PhysicsObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : PhysicsObjectBase(parent, manager, id), userData(std::make_unique<PhysicsUserData>(this)),
      bodySettings(std::make_unique<PhysicsBodySettings>()), resetRules(std::make_unique<PhysicsResetRules>()),
      reflection(std::make_unique<PhysicsReflection>()),
      suspicionSettings(std::make_unique<PhysicsSuspicionSettings>()),
      meshSettings(std::make_unique<PhysicsMeshSettings>()) {
    ignoreNode = new TransformNode(this, manager, -1);
    ignoreNode->setName("IgnoreNode");
    ignoreNode->setIsDebugObject(true);
    ignoreNode->drop();
}

PhysicsObject::~PhysicsObject() {
    leaveCheckpointSave();
    // Joints holding this body forget it (and unlink it from the body it was joined to).
    const std::vector<scene::ISceneNode*> attached = bodySettings->jointHolders.all();
    for (scene::ISceneNode* node : attached)
        if (node && node->getType() == typeId("jont"))
            static_cast<JointObject*>(node)->forgetBody(this);
    if (actor && !userData->sharedBody && physicsManager)
        physicsManager->releaseActor(actor, false);
    actor = nullptr;
    if (bodySettings->cloth && physicsManager)
        physicsManager->releaseActor(reinterpret_cast<phys::Actor*>(bodySettings->cloth), false);
    bodySettings->cloth = nullptr;
    // The events belong to the sound manager's event system; without it they are gone.
    if (soundManager && soundManager->getEventSystem())
        for (audio::Event* event : {bodySettings->collisionEvent, bodySettings->dragEvent, bodySettings->grabEvent,
                                    bodySettings->onDynamicEvent}) {
            if (!event)
                continue;
            event->stop(true);
            soundManager->releaseEvent(event);
        }
    if (ignoreNodeDetached && ignoreNode)
        ignoreNode->drop();
    delete[] meshSettings->jointTransforms;
    meshSettings->jointTransforms = nullptr;
    // The compound links of the records that pointed at this one.
    if (userData->parent) {
        auto& siblings = userData->parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), userData.get()), siblings.end());
    }
    for (PhysicsUserData* child : userData->children)
        if (child->parent == userData.get())
            child->parent = nullptr;
    // The end-of-update list outlives the object: its touch-list delegate must go with it.
    if (touchTracking && levelManager)
        levelManager->onEndOfUpdate.removeMember(this, &PhysicsObject::clearTouchList);
    // Unhook from the effect handler's lists, which outlive the level's nodes.
    removeMeshNodeFromShadowPasses();
    if (instancedMeshNode && effectHandler) {
        auto& list = effectHandler->shadowNodes;
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [this](const ShadowNode& entry) { return entry.node == instancedMeshNode; }),
                   list.end());
        effectHandler->removeNodeFromDepthPass(instancedMeshNode);
    }
    setReflective(false);
    releaseInstancedBuffer();
    // The copies bound to this source forget it.
    while (!meshSettings->instances.empty())
        unregisterInstance(meshSettings->instances.front().instance);
    // A copy goes with its instance (or before the instance makes a new one): its entry goes
    // from the source's list, which would otherwise point at both.
    if (instanceSource) {
        auto& list = instanceSource->mesh().instances;
        list.erase(std::remove_if(list.begin(), list.end(), [this](const PhysicsInstance& entry) { return entry.clone == this; }),
                   list.end());
        instanceSource->activeInstanceCount = list.size() >= 6 ? static_cast<u32>(list.size()) : 0;
    }
}

void PhysicsObject::OnRegisterSceneNode() {
    updateShadowLayers();
    updateReflectionLayer();
    if (meshSettings->highlightMode != 0 && SceneManager)
        SceneManager->registerNodeForRendering(this, scene::ESNRP_TRANSPARENT);
    // The distance limit thins out the main view only: far objects still cast their shadows
    // and show in reflections.
    const bool mainPass = !effectHandler || effectHandler->renderStage == 0;
    bool inRange = true;
    if (meshSettings->DetailDistanceLimit != 0.0f && mainPass && SceneManager && SceneManager->getActiveCamera()) {
        const f32 distanceSq =
            SceneManager->getActiveCamera()->getAbsolutePosition().getDistanceFromSQ(getAbsolutePosition());
        if (distanceSq > meshSettings->DetailDistanceLimit * meshSettings->DetailDistanceLimit)
            inRange = false;
    }
    for (scene::ISceneNode* child : Children) {
        bool pass;
        if (instancedMeshNode)
            pass = child != meshNode || meshSettings->highlightMode != 0;
        else if (isInstance && instanceSource && instanceSource->getInstancedMeshNode())
            pass = IsVisible && !plainShading; // drawn by its source's merged node
        else
            pass = IsVisible && inRange;
        if (pass)
            child->OnRegisterSceneNode();
    }
}

void PhysicsObject::OnAnimate(u32 timeMs) {
    if (animatedThisFrame())
        return;
    markAnimatedThisFrame();
    lastAnimateMs = timeMs;
    if (linkUpPending)
        updateMesh();
    else if (instanceBuildPending)
        buildInstancedMesh();
    applyResetRules();
    updatePhysics();
    updateVisualState();
    updateCollisionDebugNode();
    if (IsVisible || instancedMeshNode)
        syncBodyWithNode(timeMs);
    if (lifetime < 2.0f) {
        updateAnimation(true);
        lifetime += objectFrameSeconds();
    } else if (hardwareJointCount > 1 && effectHandler && effectHandler->hardwareSkinning) {
        // The skinning shader draws the joint rows this writes: without it a skinned pose
        // would stand still after the first two seconds (the processor's skinning animates
        // every frame through the visual update).
        updateAnimation(true);
    }
}

phys::RigidStatic* PhysicsObject::getStaticActor() {
    return actor && actor->getType() == phys::ActorType::RigidStatic ? actor->asRigidStatic() : nullptr;
}

bool PhysicsObject::isTrulyVisible() const { return alwaysVisible || isVisibleInHierarchy(const_cast<PhysicsObject*>(this)); }

video::SMaterial& PhysicsObject::getMaterial(u32 index) {
    if (meshNode)
        return meshNode->getMaterial(index);
    return video::IdentityMaterial;
}

u32 PhysicsObject::getMaterialCount() const { return meshNode ? meshNode->getMaterialCount() : 0; }

scene::ISceneNode* PhysicsObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new PhysicsObject(newParent, newManager, ID);
    const s32 newID = assignUniqueObjectID(copy);
    LevelObject::cloneMembers(copy, this, newManager);
    copy->copyPhysicsSettings(*this);
    copy->replaceMeshNode("");
    copy->loadMesh();
    copy->setID(newID);
    copy->drop();
    return copy;
}

bool PhysicsObject::checkPhysicsDetail() const {
    if (!physicsManager || !physicsManager->isSimulationActive())
        return true;
    s32 detail = 2;
    if (gameSettings && gameSettings->getAttributes() &&
        gameSettings->getAttributes()->existsAttribute("Game_PhysicsDetail"))
        detail = getSettingInt("Game_PhysicsDetail");
    const bool lowShaders = shaderManager && (shaderManager->shaderLevel < 2 || shaderManager->graphicsQuality == 2);
    if (detail == 0 || detail == 1 || lowShaders)
        return meshSettings->DetailMode != 1;
    if (detail == 2)
        return meshSettings->DetailMode != 2;
    return true;
}

void PhysicsObject::replaceMeshNode(const core::stringc& previous) {
    auto removeMeshNode = [this] {
        if (!meshNode)
            return;
        removeMeshNodeFromShadowPasses();
        meshNode->setVisible(false);
        meshNode->remove();
        meshNode = nullptr;
    };
    const core::stringc& file = meshSettings->MeshFileName;
    if (file.size() < 2) {
        if (meshNode) {
            removeMeshNode();
            updateHardwareJointCount();
        }
        return;
    }
    scene::IAnimatedMesh* mesh = SceneManager ? getGameMesh(SceneManager, file) : nullptr;
    if (!mesh) {
        // A missing or refused mesh shows as nothing; the object keeps its bound. A mesh past
        // the load's budget has had its line.
        if (!wasMeshLeftOut(SceneManager, file))
            logRepeatable(std::string("ERROR: Could not load the mesh \"") + file.c_str() + "\" of " +
                          getNodeDisplayName(this).c_str() + "; it has no visible mesh.");
        return;
    }
    if (meshNode && file.equals_ignore_case(previous))
        return;
    removeMeshNode();
    // The node's triangles are charged to the level's; past them it is left out.
    if (checkPhysicsDetail() && meshSettings->drawnTriangles.growTo(meshTriangles(mesh))) {
        meshNode = SceneManager->addAnimatedMeshSceneNode(mesh, this, -1);
        if (meshNode)
            meshNode->setIsDebugObject(true);
    }
    updateHardwareJointCount();
    if (meshNode && hardwareJointCount > 1)
        prepareNodeForHardwareSkinning(meshNode);
}

void PhysicsObject::loadMesh() {
    if (!meshNode)
        return;
    removeMeshNodeFromShadowPasses();
    if (effectHandler) {
        const s32 mode = CastShadow && ReceiveShadow ? 2 : CastShadow ? 1 : ReceiveShadow ? 0 : 3;
        effectHandler->shadowNodes.push_back({meshNode, mode, 1});
        effectHandler->addNodeToDepthPass(meshNode);
        meshNodeInShadowPasses = true;
    }
    meshNode->setName("MeshNode");
    meshNode->setAutomaticCulling(scene::EAC_FRUSTUM_BOX);
    if (hardwareJointCount > 1) {
        const core::stringc& source = meshSettings->UseAnimationFrom.size() > 1 ? meshSettings->UseAnimationFrom
                                                                               : meshSettings->MeshFileName;
        scene::IAnimatedMesh* animation = SceneManager ? getGameMesh(SceneManager, source) : nullptr;
        if (!animation) {
            logRepeatable(std::string("ERROR: Could not find animated mesh for: ") + getNodeDisplayName(this).c_str());
        } else {
            if (animation != meshNode->getMesh() && animation->getMeshType() == scene::EAMT_SKINNED &&
                meshNode->getMesh()->getMeshType() == scene::EAMT_SKINNED)
                static_cast<scene::ISkinnedMesh*>(meshNode->getMesh())
                    ->useAnimationFrom(static_cast<scene::ISkinnedMesh*>(animation));
            prepareNodeForHardwareSkinning(meshNode);
            if (effectHandler && effectHandler->hardwareSkinning)
                allocateJointTransforms();
            meshNode->setAnimationEndCallback(&physicsAnimationEnd());
            meshNode->setAutomaticCulling(scene::EAC_OFF);
            meshSettings->cullingDelay = 0;
            if (RecalculateBounds) {
                meshSettings->CustomBounds = computeAnimatedBounds();
                RecalculateBounds = false;
            }
        }
    }
    meshNode->setIsDebugObject(true);
    if (meshNode->getMesh())
        meshNode->getMesh()->setHardwareMappingHint(scene::EHM_STATIC, scene::EBT_VERTEX_AND_INDEX);
    meshNode->setAnimationSpeed(meshSettings->AnimFPS);
    if (meshNode->getMesh() && meshNode->getMesh()->getFrameCount() > 1) {
        meshNode->setFrameLoop(meshSettings->StartFrame, meshSettings->EndFrame);
        meshNode->setCurrentFrame(static_cast<f32>(meshSettings->SpawnFrame));
    }
    for (u32 i = 0; i < meshNode->getMaterialCount(); ++i) {
        video::SMaterial& material = meshNode->getMaterial(i);
        for (u32 layer = 0; layer < video::MATERIAL_MAX_TEXTURES; ++layer)
            material.TextureLayer[layer].AnisotropicFilter = platform::anisotropicFilterLevel(!DisableAntialiasing);
        material.AntiAliasing = DisableAntialiasing ? video::EAAM_OFF : video::EAAM_SIMPLE;
    }
    applyCustomBounds();
    meshNode->setVisible(IsVisible);
}

void PhysicsObject::updateLocalBounds() {
    if (meshNode) {
        meshSettings->localBounds = meshNode->getBoundingBox();
        if (bodySettings->boundType == BoundType::Box) {
            const core::vector3df half = (meshSettings->localBounds.MaxEdge - meshSettings->localBounds.MinEdge) * 0.5f;
            meshSettings->localBounds = core::aabbox3df(-half, half);
        }
    } else if (meshSettings->debugShapeNode && bodySettings->boundType != BoundType::None) {
        meshSettings->localBounds = meshSettings->debugShapeNode->getBoundingBox();
    }
}

void PhysicsObject::applySpawnFrameCorrection() {
    if (meshSettings->SpawnFrame < meshSettings->StartFrame || meshSettings->SpawnFrame > meshSettings->EndFrame)
        meshSettings->SpawnFrame = meshSettings->StartFrame;
}
