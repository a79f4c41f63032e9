// Instanced drawing: a physics object repeated by six or more instance objects draws itself
// and every copy as one merged mesh ("InstancedMeshNode"); each copy keeps its own body and
// node, and the shaders place it by its own transform (the copy index rides in the second
// texture coordinate). Also the merged node's bounds and the centroid used for lighting.
#include "physics/objects/PhysicsObject.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "level/InstancedObject.h"
#include "level/NodeHelpers.h"
#include "level/TransformNode.h"
#include "render/EffectHandler.h"
#include "render/InstancedMeshBuffer.h"

#include <algorithm>
#include <cmath>

using namespace irr;

namespace {

constexpr u32 maxInstanceCopies = 75;
constexpr u32 mergeThreshold = 6;

bool panIsSet(const core::vector2df& pan) { return std::fabs(pan.X) > 1e-6f || std::fabs(pan.Y) > 1e-6f; }

void setTextureOffset(scene::ISceneNode* node, const core::vector2df& offset) {
    if (!node || node->getMaterialCount() == 0)
        return;
    node->getMaterial(0).getTextureMatrix(0).setTextureTranslate(offset.X, offset.Y);
}

core::vector2df textureOffsetOf(scene::ISceneNode* node) {
    if (!node || node->getMaterialCount() == 0)
        return core::vector2df();
    const core::vector3df t = node->getMaterial(0).getTextureMatrix(0).getTranslation();
    return core::vector2df(t.X, t.Y);
}

void removeShadowNode(scene::ISceneNode* node) {
    if (!effectHandler || !node)
        return;
    auto& list = effectHandler->shadowNodes;
    list.erase(std::remove_if(list.begin(), list.end(), [node](const ShadowNode& entry) { return entry.node == node; }),
               list.end());
    effectHandler->removeNodeFromDepthPass(node);
}

} // namespace

void PhysicsObject::registerInstance(InstancedObject* instance) {
    if (!instance)
        return;
    PhysicsObject* clone = asPhysicsObject(instance->getCopy());
    if (clone) {
        clone->isInstance = true;
        clone->instanceSource = this;
    }
    auto& list = meshSettings->instances;
    if (std::find_if(list.begin(), list.end(), [instance](const PhysicsInstance& e) { return e.instance == instance; }) !=
        list.end())
        return;
    list.push_back({instance, clone});
    activeInstanceCount = list.size() >= mergeThreshold ? static_cast<u32>(list.size()) : 0;
    instanceBuildPending = true;
}

void PhysicsObject::unregisterInstance(InstancedObject* instance) {
    if (!instance)
        return;
    auto& list = meshSettings->instances;
    auto it = std::find_if(list.begin(), list.end(), [instance](const PhysicsInstance& e) { return e.instance == instance; });
    if (it == list.end())
        return;
    if (it->clone) {
        it->clone->isInstance = false;
        it->clone->instanceSource = nullptr;
    }
    list.erase(it);
    activeInstanceCount = list.size() >= mergeThreshold ? static_cast<u32>(list.size()) : 0;
}

void PhysicsObject::buildInstancedMesh() {
    instanceBuildPending = false;
    if (instancedMeshNode)
        return;
    PhysicsMeshSettings& m = *meshSettings;
    auto& list = m.instances;
    if (!meshNode || m.instanceBindCount < mergeThreshold || HasTransparency || !SceneManager) {
        const core::vector2df base = textureOffsetOf(meshNode);
        for (u32 i = 0; i < m.instanceBindCount && i < list.size(); ++i)
            if (list[i].instance && list[i].clone)
                setTextureOffset(list[i].clone->getMeshNode(), base + list[i].instance->TexturePan);
        while (!list.empty())
            unregisterInstance(list.front().instance);
        return;
    }
    // A copy whose mesh the level's triangles left out is not drawn in the merge either.
    for (std::size_t i = list.size(); i-- > 0;)
        if (list[i].clone && !list[i].clone->getMeshNode())
            unregisterInstance(list[i].instance);
    u32 copies = std::min<u32>(m.instanceBindCount, static_cast<u32>(list.size())) + 1;
    if (m.instanceBindCount > maxInstanceCopies) {
        logMessagePair("ERROR: Attempting to go over max instances.", getNodeDisplayName(this).c_str());
        copies = maxInstanceCopies;
        while (list.size() > maxInstanceCopies)
            unregisterInstance(list.back().instance);
    }
    // The shaders receive 75 transforms (indices 0 to 74): no copy index may reach beyond.
    copies = std::min(copies, maxInstanceCopies);
    scene::IMeshManipulator* manipulator = SceneManager->getMeshManipulator();
    scene::IMesh* frame = meshNode->getMesh() ? meshNode->getMesh()->getMesh(0, 255, -1, -1) : nullptr;
    scene::IMesh* twoCoords = frame ? manipulator->createMeshWith2TCoords(frame) : nullptr;
    if (!twoCoords || twoCoords->getMeshBufferCount() == 0) {
        if (twoCoords)
            twoCoords->drop();
        return;
    }
    scene::IMeshBuffer* sourceBuffer = twoCoords->getMeshBuffer(0);
    const video::SMaterial savedMaterial = meshNode->getMaterial(0);
    const u32 vertexCount = sourceBuffer->getVertexCount();
    if (vertexCount == 0) {
        twoCoords->drop();
        return;
    }
    if (vertexCount * copies > 65535) {
        logMessagePair("ERROR: Too many vertices for instanced object", getNodeDisplayName(this).c_str());
        copies = 65535 / vertexCount;
    }
    // An instance left without a copy in the merge draws itself: it is unbound, not hidden.
    while (copies > 0 && list.size() > copies - 1)
        unregisterInstance(list.back().instance);
    auto* merged = new InstancedMeshBuffer();
    merged->setHardwareMappingHint(scene::EHM_STATIC, scene::EBT_VERTEX_AND_INDEX);
    // The merge is the level's own, in no cache: the driver keeps the copy it makes of it on the
    // card (and the buffer with it) until asked to let go.
    releaseInstancedBuffer();
    instancedBuffer = merged;
    merged->grab();
    auto* vertices = static_cast<video::S3DVertex2TCoords*>(sourceBuffer->getVertices());
    const core::vector2df base = textureOffsetOf(meshNode);
    for (u32 k = 0; k < copies; ++k) {
        core::vector2df pan;
        if (k >= 1 && k - 1 < list.size()) {
            const PhysicsInstance& entry = list[k - 1];
            if (entry.instance)
                pan = entry.instance->TexturePan;
            if (entry.clone)
                setTextureOffset(entry.clone->getMeshNode(), base + pan);
        }
        for (u32 v = 0; v < vertexCount; ++v) {
            vertices[v].TCoords2.X = static_cast<f32>(k);
            vertices[v].TCoords += pan;
        }
        merged->append(sourceBuffer);
        if (panIsSet(pan))
            for (u32 v = 0; v < vertexCount; ++v)
                vertices[v].TCoords -= pan;
    }
    auto* mesh = new scene::SMesh();
    mesh->addMeshBuffer(merged);
    merged->drop();
    instancedMesh = manipulator->createAnimatedMesh(mesh, scene::EAMT_UNKNOWN);
    mesh->drop();
    twoCoords->drop();
    updateInstancedBounds();

    scene::ISceneNode* parent = ignoreNode ? static_cast<scene::ISceneNode*>(ignoreNode) : SceneManager->getRootSceneNode();
    instancedMeshNode = SceneManager->addAnimatedMeshSceneNode(instancedMesh, parent, -1, core::vector3df(),
                                                               core::vector3df(), core::vector3df(1.0f, 1.0f, 1.0f), false);
    if (instancedMeshNode) {
        instancedMeshNode->setIsDebugObject(true);
        instancedMeshNode->setName("InstancedMeshNode");
        if (effectHandler) {
            effectHandler->addNodeToDepthPass(instancedMeshNode);
            effectHandler->shadowNodes.push_back({instancedMeshNode, 2, 0});
        }
        removeMeshNodeFromShadowPasses();
        instancedMeshNode->getMaterial(0) = savedMaterial;
        instancedMeshNode->setAutomaticCulling(scene::EAC_OFF);
        m.cullingDelay = 0;
    }
    core::matrix4 scale;
    scale.setScale(getScale());
    core::aabbox3df box = meshNode->getBoundingBox();
    scale.transformBoxEx(box);
    box.repair();
    const f32 lo = std::min(box.MinEdge.X, box.MinEdge.Z), hi = std::max(box.MaxEdge.X, box.MaxEdge.Z);
    const f32 d = hi - lo;
    m.instanceBoundsPadding = std::sqrt(3.0f * d * d);
    updateInstancedBounds();
    instancedMesh->drop(); // the node keeps it
    for (const PhysicsInstance& entry : list)
        if (entry.clone && entry.clone->getMeshNode())
            removeShadowNode(entry.clone->getMeshNode());
    meshNode->getMaterial(0) = savedMaterial;
}

void PhysicsObject::releaseInstancedBuffer() {
    if (!instancedBuffer)
        return;
    if (SceneManager && SceneManager->getVideoDriver())
        SceneManager->getVideoDriver()->removeHardwareBuffer(instancedBuffer);
    instancedBuffer->drop();
    instancedBuffer = nullptr;
}

void PhysicsObject::updateInstancedBounds() {
    if (!instancedMesh)
        return;
    PhysicsMeshSettings& m = *meshSettings;
    core::aabbox3df box(getAbsolutePosition());
    for (u32 i = 0; i < activeInstanceCount && i < m.instances.size(); ++i)
        if (PhysicsObject* clone = m.instances[i].clone)
            box.addInternalPoint(clone->getAbsolutePosition());
    const core::vector3df pad(m.instanceBoundsPadding, m.instanceBoundsPadding, m.instanceBoundsPadding);
    box.MinEdge -= pad;
    box.MaxEdge += pad;
    if (scene::IMesh* frame = instancedMesh->getMesh(0))
        frame->setBoundingBox(box);
    instancedMesh->setBoundingBox(box);
}

void PhysicsObject::updateInstanceCentroid() {
    PhysicsMeshSettings& m = *meshSettings;
    m.instanceCentroidTimer -= objectFrameSeconds();
    if (!(m.instanceCentroidTimer < 0.0f))
        return;
    core::vector3df sum;
    u32 count = 0;
    if (!m.isSublevelOutlier)
        for (const PhysicsInstance& entry : m.instances)
            if (entry.instance && entry.instance->isVisible()) {
                sum += entry.instance->getAbsolutePosition();
                ++count;
            }
    m.instanceCentroid = count ? sum / static_cast<f32>(count) : core::vector3df();
    m.instanceCentroidTimer = 0.6f;
}

void PhysicsObject::removeMeshNodeFromShadowPasses() {
    if (!meshNodeInShadowPasses)
        return;
    removeShadowNode(meshNode);
    meshNodeInShadowPasses = false;
}

bool PhysicsObject::getInstanceTransforms(std::vector<core::matrix4>& out) const {
    if (!instancedMeshNode || !meshNode)
        return false;
    out.clear();
    out.push_back(meshNode->getAbsoluteTransformation());
    for (const PhysicsInstance& entry : meshSettings->instances) {
        if (out.size() >= maxInstanceCopies)
            break;
        scene::ISceneNode* copy = entry.clone ? entry.clone->getMeshNode() : nullptr;
        core::matrix4 zero;
        zero.makeIdentity();
        std::fill(zero.pointer(), zero.pointer() + 16, 0.0f);
        out.push_back(copy && entry.clone->isTrulyVisible() ? copy->getAbsoluteTransformation() : zero);
    }
    return true;
}
