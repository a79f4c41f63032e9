// The visible side of a physics object: the one-time link-up after loading, showing and
// hiding with the body, the bound's debug shape, the skinned animation and its joint
// transforms, mesh reload, shadow layers, lighting, bounds of animated meshes, the surface
// probe of a grabbing hand and the helper children of clones.
#include "physics/objects/PhysicsObject.h"

#include "physics/world/PhysicsHooks.h"
#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "level/LevelManager.h"
#include "level/DrawnTriangles.h"
#include "level/MeshGate.h"
#include "level/TransformNode.h"
#include "level/NodeHelpers.h"
#include "level/SubLevelObject.h"
#include "player/PlayerObject.h"
#include "render/EffectHandler.h"
#include "render/EffectShaderCallbacks.h"
#include "render/HardwareSkinning.h"
#include "render/ShaderManager.h"
#include "render/TextureLayers.h"

#include <cmath>
#include <cstring>

using namespace irr;

namespace {

constexpr const char* whiteTextureFile = "Content/Models/Editor/White.png";

bool meshShadersOn() { return shaderManager && shaderManager->areShadersEnabled(); }

scene::ISkinnedMesh* skinnedMeshOf(scene::IAnimatedMeshSceneNode* node) {
    scene::IAnimatedMesh* mesh = node ? node->getMesh() : nullptr;
    return mesh && mesh->getMeshType() == scene::EAMT_SKINNED ? static_cast<scene::ISkinnedMesh*>(mesh) : nullptr;
}

// Lets the renderer prepare a skinned mesh for its skinning shader (it switches the card's
// skinning on only where the shader settings allow).
void prepareSkinning(scene::IAnimatedMeshSceneNode* node) {
    prepareNodeForHardwareSkinning(node);
}

f32 largestSide(const core::aabbox3df& box) {
    const core::vector3df size = box.getExtent();
    return std::max(size.X, std::max(size.Y, size.Z));
}

} // namespace

void PhysicsObject::updateMesh() {
    linkUpPending = false;
    PhysicsBodySettings& b = *bodySettings;
    PhysicsMeshSettings& m = *meshSettings;
    phys::RigidDynamic* dynamic = getDynamicActor();
    if (b.CenterMassObjectID != 0 && dynamic && levelManager)
        if (scene::ISceneNode* centre = levelManager->getSceneNodeFromID(b.CenterMassObjectID)) {
            const core::vector3df parentScale =
                centre->getParent() ? centre->getParent()->getScale() : core::vector3df(1.0f, 1.0f, 1.0f);
            dynamic->setCMassLocalPose(
                phys::Transform(toPhys(centre->getPosition() * parentScale), eulerDegreesToQuat(centre->getRotation())));
        }
    if (meshNode) {
        m.highlightScaleDivisor = std::max(m.highlightScaleDivisor, largestSide(getTransformedBoundingBox()));
        video::IVideoDriver* driver = SceneManager ? SceneManager->getVideoDriver() : nullptr;
        for (u32 i = 0; driver && i < meshNode->getMaterialCount(); ++i)
            if (!meshNode->getMaterial(i).getTexture(0))
                meshNode->getMaterial(i).setTexture(0, driver->getTexture(whiteTextureFile));
    }
    buildInstancedMesh();
    if (physicsManager && physicsManager->isSimulationActive() && VisibleInSublevelOnly && findSublevelAncestor(this))
        setVisible(false);
    PhysicsResetRules& r = *resetRules;
    if (r.RespawnOverridePosID > 0 && levelManager)
        r.positionNode = levelManager->getSceneNodeFromID(r.RespawnOverridePosID);
    if (m.GlowParentID > 0 && levelManager)
        m.glowParent = asPhysicsObject(levelManager->getSceneNodeFromID(m.GlowParentID));
    linkUserData();
}

phys::RigidDynamic* PhysicsObject::getDynamicActor() {
    return actor && actor->getType() == phys::ActorType::RigidDynamic ? actor->asRigidDynamic() : nullptr;
}

bool PhysicsObject::hasMotionAnimators() const {
    for (scene::ISceneNodeAnimator* animator : Animators)
        switch (static_cast<s32>(animator->getType())) {
        case 0: case 3: case 1000: case 1001: case 1006: case 1008: case 1009: case 1011: case 1012: return true;
        default: break;
        }
    return false;
}

void PhysicsObject::setVisible(bool visible) {
    const bool wasVisible = IsVisible;
    if (actor) {
        PlayerObject* player = playerCount() > 0 ? getPlayer(0) : nullptr;
        if (player) {
            if (holdCount != 0)
                player->releaseObject(this, 4, false);
            for (PhysicsUserData* member : userData->children)
                if (PhysicsObject* object = member ? asPhysicsObject(member->node) : nullptr)
                    if (object->holdCount != 0)
                        player->releaseObject(object, 4, false);
        }
        if (!userData->sharedBody)
            setCollisionEnabled(visible);
    }
    if (meshNode) {
        meshNode->setVisible(visible);
        if (!meshShadersOn()) {
            const f32 s = meshSettings->AlphaOverride <= 0.0f ? 0.000001f : 1.0f;
            meshNode->setScale(core::vector3df(s, s, s));
        }
        if (hardwareJointCount > 1)
            meshNode->setAutomaticCulling(scene::EAC_OFF);
    }
    if (meshSettings->debugShapeNode)
        meshSettings->debugShapeNode->setVisible(visible);
    if (visible && !wasVisible) {
        scene::ISceneNode* culled = meshNode ? static_cast<scene::ISceneNode*>(meshNode) : instancedMeshNode;
        if (culled) {
            culled->setAutomaticCulling(scene::EAC_OFF);
            meshSettings->cullingDelay = 0;
        }
    }
    ISceneNode::setVisible(visible);
    if (visible && !wasVisible) {
        syncBodyWithNode(lastAnimateMs);
        if (hardwareJointCount > 1 && meshNode)
            updateAnimation(true);
        updateAbsolutePosition();
        for (scene::ISceneNode* child : Children)
            updateTransformsRecursive(child);
    }
}

void PhysicsObject::updateCollisionDebugNode() {
    scene::ISceneNode* debugNode = meshSettings->debugShapeNode;
    const bool simulating = physicsManager && physicsManager->isSimulationActive();
    if (meshNode)
        meshNode->setDebugDataVisible(simulating ? 0 : DebugDataVisible);
    if (!debugNode)
        return;
    debugNode->setPosition(getAbsolutePosition());
    const core::matrix4& absolute = getAbsoluteTransformation();
    core::vector3df scale = absolute.getScale();
    const BoundType bound = bodySettings->boundType;
    if (bound == BoundType::Convex || bound == BoundType::Mesh) {
        if (scale.Y < 0.0f && scale.Z < 0.0f) {
            scale.Y = -scale.Y;
            scale.Z = -scale.Z;
        } else if (scale.X < 0.0f) {
            scale.X = -scale.X;
            if (scale.Z < 0.0f)
                scale.Z = -scale.Z;
            else
                scale.Y = -scale.Y;
        }
        debugNode->setScale(scale * 1.01f);
    } else if (bound == BoundType::Box) {
        const core::vector3df size = isVectorSet(bodySettings->BoxExtents)
                                         ? bodySettings->BoxExtents
                                         : meshSettings->localBounds.getExtent() * scale;
        debugNode->setScale(size * 1.01f);
    }
    debugNode->setRotation(absolute.getRotationDegrees());
    const bool hidden = (DebugDataVisible == 0 && meshNode) || bound == BoundType::None ||
                        !isVisibleInHierarchy(this) || simulating;
    debugNode->setVisible(!hidden && isTrulyVisible());
    debugNode->setDebugDataVisible(0);
    if (!meshNode)
        debugNode->setDebugDataVisible(DebugDataVisible);
    debugNode->updateAbsolutePosition();
}

// --- skinned animation --------------------------------------------------------------------

void PhysicsObject::updateAnimation(bool) {
    if (IsVisible && hardwareJointCount > 1 && meshNode && meshSettings->AnimFPS > 0.0f)
        meshNode->animateJoints(false);
    updateJointTransforms();
    animationUpdatedEvent.invoke();
}

void PhysicsObject::updateJointTransforms() {
    if (!IsVisible || hardwareJointCount <= 1 || !meshNode || meshSettings->AnimFPS <= 0.0f || !effectHandler ||
        !effectHandler->hardwareSkinning)
        return;
    scene::ISkinnedMesh* skinned = skinnedMeshOf(meshNode);
    if (!skinned)
        return;
    allocateJointTransforms();
    const core::array<scene::ISkinnedMesh::SJoint*>& joints = skinned->getAllJoints();
    const u32 count = std::min<u32>(getHardwareJointCount(), joints.size());
    for (u32 i = 0; i < count; ++i) {
        const core::matrix4 skinning = joints[i]->GlobalAnimatedMatrix * joints[i]->GlobalInversedMatrix;
        matrixToJointRows(skinning, meshSettings->jointTransforms + i * 12);
    }
}

void PhysicsObject::updateHardwareJointCount() {
    if (!meshNode) {
        hardwareJointCount = 0;
        return;
    }
    scene::ISkinnedMesh* skinned = skinnedMeshOf(meshNode);
    hardwareJointCount =
        meshNode->getJointCount() > 1 && skinned ? std::min<u32>(skinned->getAllJoints().size(), maxHardwareJoints) : 0;
}

void PhysicsObject::allocateJointTransforms() {
    if (!meshSettings->jointTransforms) {
        meshSettings->jointTransforms = new f32[maxHardwareJoints * 12];
        std::memset(meshSettings->jointTransforms, 0, sizeof(f32) * maxHardwareJoints * 12);
    }
}

core::aabbox3df PhysicsObject::computeAnimatedBounds() {
    core::aabbox3df box(-1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f);
    scene::ISkinnedMesh* skinned = skinnedMeshOf(meshNode);
    if (!meshNode || !skinned)
        return box;
    const s32 start = meshNode->getStartFrame(), end = meshNode->getEndFrame();
    meshNode->setFrameLoop(0, 1000000);
    skinned->setHardwareSkinning(false);
    for (s32 frame = 0; frame < end; ++frame) {
        skinned->animateMesh(static_cast<f32>(frame), 1.0f);
        skinned->skinMesh();
        box.addInternalPoint(skinned->getBoundingBox().MaxEdge);
        box.addInternalPoint(skinned->getBoundingBox().MinEdge);
    }
    skinned->animateMesh(0.0f, 1.0f);
    skinned->skinMesh();
    meshNode->setFrameLoop(start, end);
    skinned->setHardwareSkinning(effectHandler && effectHandler->hardwareSkinning && meshShadersOn());
    return box;
}

void PhysicsObject::applyCustomBounds() {
    // An all-zero box is the attribute's default: it names no bounds.
    const core::aabbox3df& custom = meshSettings->CustomBounds;
    if (!meshNode || !meshNode->getMesh() || (!isVectorSet(custom.MinEdge) && !isVectorSet(custom.MaxEdge)))
        return;
    core::aabbox3df box = meshNode->getMesh()->getBoundingBox();
    box.addInternalBox(meshSettings->CustomBounds);
    meshNode->getMesh()->setBoundingBox(box);
}

void PhysicsObject::startPendingAnimator() {
    const s32 id = meshSettings->pendingAnimatorID;
    if (id == -1)
        return;
    // Cleared first: an animator started here names the next one when it applies.
    meshSettings->pendingAnimatorID = -1;
    if (const auto& enable = physicsHooks().characters.enableAnimators)
        enable(this, id);
}

// --- mesh reload and small services -------------------------------------------------------

void PhysicsObject::reloadMesh(const core::stringc& fileName) {
    const core::stringc previous = meshSettings->MeshFileName;
    meshSettings->MeshFileName = fileName;
    const bool hadNode = meshNode != nullptr;
    core::vector3df position;
    s32 start = 0, end = 0;
    if (meshNode) {
        position = meshNode->getPosition();
        start = meshNode->getStartFrame();
        end = meshNode->getEndFrame();
        scene::IAnimatedMesh* mesh = SceneManager ? getGameMesh(SceneManager, fileName) : nullptr;
        // Past the level's triangles the node keeps the mesh it has.
        if (mesh && meshSettings->drawnTriangles.growTo(meshTriangles(mesh))) {
            meshNode->setMesh(mesh);
            updateHardwareJointCount();
            if (hardwareJointCount > 1)
                prepareSkinning(meshNode);
        }
    } else {
        replaceMeshNode(previous);
    }
    loadMesh();
    if (meshNode) {
        meshNode->setPosition(position);
        if (hadNode)
            meshNode->setFrameLoop(start, end);
        updateAnimation(true);
        updateVisualState();
    }
}

void PhysicsObject::updateShadowLayers() {
    if (!meshNode)
        return;
    const bool on = ReceiveShadow && effectHandler && effectHandler->shadowsEnabled && effectHandler->levelShadowsEnabled;
    for (u32 i = 0; i < meshNode->getMaterialCount(); ++i) {
        video::SMaterial& material = meshNode->getMaterial(i);
        // The engine's materials have four layers: the three cascades' shadow maps share
        // the atlas layer.
        material.setTexture(textureLayer::shadowAtlas, on ? effectHandler->shadowMaps[0] : nullptr);
    }
}

void PhysicsObject::setLighting(bool on) {
    if (meshNode)
        meshNode->setMaterialFlag(video::EMF_LIGHTING, on);
}

bool PhysicsObject::findSurfacePoint(const core::vector3df& point, core::vector3df& hit, f32& distance) {
    hit = point;
    distance = 0.0f;
    if (!meshNode || !SceneManager)
        return false;
    const core::vector3df centre = meshNode->getTransformedBoundingBox().getCenter();
    core::vector3df direction = centre - point;
    if (!direction.equals(core::vector3df()))
        direction.normalize();
    if (!getTriangleSelector()) {
        scene::ITriangleSelector* selector = SceneManager->createTriangleSelector(meshNode);
        setTriangleSelector(selector);
        if (selector)
            selector->drop();
    }
    scene::ITriangleSelector* selector = getTriangleSelector();
    if (!selector)
        return false;
    const core::line3df ray(point - direction * 10.0f, centre);
    core::vector3df collision;
    core::triangle3df triangle;
    scene::ISceneNode* struck = nullptr;
    if (!SceneManager->getSceneCollisionManager()->getCollisionPoint(ray, selector, collision, triangle, struck))
        return false;
    distance = point.getDistanceFrom(collision);
    if (distance < 0.8f) {
        hit = collision;
        return true;
    }
    return false;
}

void PhysicsObject::removeDebugChildren() {
    removeMeshNodeFromShadowPasses();
    LevelObject::removeDebugChildren();
    // The detached children's list references passed to this object: the mesh node is
    // forgotten here, the helper node stays known until the object goes.
    if (meshNode && !meshNode->getParent())
        meshNode->drop();
    if (ignoreNode && !ignoreNode->getParent())
        ignoreNodeDetached = true;
    if (scene::ISceneNode* debugNode = meshSettings->debugShapeNode) {
        debugNode->setVisible(false);
        if (SceneManager)
            SceneManager->addToDeletionQueue(debugNode);
        meshSettings->debugShapeNode = nullptr;
    }
    meshNode = nullptr;
    updateHardwareJointCount();
}

void PhysicsObject::findHelperNodes(PhysicsObject* source, PhysicsObject* copy) {
    if (!source || !copy || !copy->SceneManager)
        return;
    if (source->ignoreNode)
        for (scene::ISceneNode* child : copy->Children)
            if (child->getName() == core::stringc("IgnoreNode") && child != copy->ignoreNode) {
                copy->ignoreNode = static_cast<TransformNode*>(child);
                break;
            }
    if (physicsManager && physicsManager->isSimulationActive() && source->meshNode && !copy->Children.empty()) {
        scene::ISceneNode* found = copy->SceneManager->getSceneNodeFromName("MeshNode", copy);
        if (found && found->getType() == scene::ESNT_ANIMATED_MESH) {
            copy->meshNode = static_cast<scene::IAnimatedMeshSceneNode*>(found);
            copy->loadMesh();
        }
    }
}
