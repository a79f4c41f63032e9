#include "render/HardwareSkinning.h"

#include "render/EffectHandler.h"
#include "render/EffectShaderCallbacks.h"
#include "render/DrawnObjects.h"
#include "render/ShaderManager.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"

#include <set>

using namespace irr;

namespace {

// Meshes whose skinning the shaders do, and meshes already reported as too big for them.
std::set<const scene::ISkinnedMesh*>& shaderSkinnedMeshes() {
    static std::set<const scene::ISkinnedMesh*> meshes;
    return meshes;
}
std::set<const scene::ISkinnedMesh*>& oversizedMeshesReported() {
    static std::set<const scene::ISkinnedMesh*> meshes;
    return meshes;
}

// More joints than the shaders' array holds: the engine skins such a mesh (logged once).
bool fitsTheShaders(const scene::ISkinnedMesh* mesh) {
    const u32 joints = mesh->getAllJoints().size();
    if (joints <= maxHardwareJoints)
        return true;
    if (oversizedMeshesReported().insert(mesh).second)
        logMessagef("Warning: A skinned mesh has %d joints, more than the shaders hold (75): the engine skins it.",
                    static_cast<int>(joints));
    return false;
}

bool isPhysicsOwnerType(scene::ESCENE_NODE_TYPE type) {
    return type == typeId("phsx") || type == typeId("apsx") || type == typeId("ties") || type == typeId("crct");
}

} // namespace

void isAnimatedMeshOwnerType(scene::ISceneNode* node, scene::ISceneNode*& object, scene::ISceneNode*& meshNode) {
    if (!node)
        return;
    const scene::ESCENE_NODE_TYPE type = node->getType();
    if (isPhysicsOwnerType(type)) {
        object = node;
    } else if (type == scene::ESNT_ANIMATED_MESH) {
        meshNode = node;
        object = findAncestorOfKindUp(node, typeId("phsx"));
    }
}

bool isHardwareSkinningActive() {
    return effectHandler && effectHandler->hardwareSkinning && shaderManager && shaderManager->areShadersEnabled() &&
           shaderManager->findVariantMaterial(shaderFlag::skinning) > 0;
}

void prepareSkinnedMeshForShader(scene::ISkinnedMesh* mesh) {
    if (!isHardwareSkinningActive() || !mesh || !fitsTheShaders(mesh))
        return;
    core::array<scene::SSkinMeshBuffer*>& buffers = mesh->getMeshBuffers();
    for (u32 b = 0; b < buffers.size(); ++b)
        if (buffers[b]->getVertexType() != video::EVT_TANGENTS)
            buffers[b]->convertToTangents();
    for (u32 b = 0; b < buffers.size(); ++b)
        for (u32 v = 0; v < buffers[b]->getVertexCount(); ++v)
            buffers[b]->getVertex(v)->Color = video::SColor(0);
    const core::array<scene::ISkinnedMesh::SJoint*>& joints = mesh->getAllJoints();
    for (u32 j = 0; j < joints.size(); ++j) {
        const u32 number = (j + 1) & 0xFF;
        const core::array<scene::ISkinnedMesh::SWeight>& weights = joints[j]->Weights;
        for (u32 w = 0; w < weights.size(); ++w) {
            const scene::ISkinnedMesh::SWeight& weight = weights[w];
            if (weight.buffer_id >= buffers.size() || weight.vertex_id >= buffers[weight.buffer_id]->getVertexCount())
                continue;
            auto* vertex = static_cast<video::S3DVertexTangents*>(buffers[weight.buffer_id]->getVertex(weight.vertex_id));
            video::SColor& c = vertex->Color;
            if (c.getRed() == 0) {
                c.setRed(number);
                vertex->Binormal.X = weight.strength;
            } else if (c.getGreen() == 0) {
                c.setGreen(number);
                vertex->Binormal.Y = weight.strength;
            } else if (c.getBlue() == 0) {
                c.setBlue(number);
                vertex->Binormal.Z = weight.strength;
            } else if (c.getAlpha() == 0) {
                // The fourth weight has no vertex float here: the shader takes what the
                // first three leave of 1.
                c.setAlpha(number);
            }
        }
    }
    for (u32 b = 0; b < buffers.size(); ++b)
        buffers[b]->setDirty(scene::EBT_VERTEX);
}

void updateHardwareSkinning(scene::ISkinnedMesh* mesh) {
    if (!mesh)
        return;
    const bool onCard = isHardwareSkinningActive() && fitsTheShaders(mesh);
    const bool wasOnCard = shaderSkinnedMeshes().erase(mesh) != 0;
    mesh->setHardwareSkinning(onCard);
    if (onCard)
        shaderSkinnedMeshes().insert(mesh);
    else if (wasOnCard)
        // The vertices hold the bind pose: animating to a frame no node shows makes the
        // engine skin them again at the next draw, whatever frame that shows.
        mesh->animateMesh(-1.0f, 1.0f);
}

bool isMeshSkinnedByShaders(const scene::ISkinnedMesh* mesh) { return mesh && shaderSkinnedMeshes().count(mesh) != 0; }

void forgetSkinnedMesh(const scene::ISkinnedMesh* mesh) {
    shaderSkinnedMeshes().erase(mesh);
    oversizedMeshesReported().erase(mesh);
}

scene::ISkinnedMesh* skinnedMeshOf(scene::ISceneNode* node) {
    if (!node || node->getType() != scene::ESNT_ANIMATED_MESH)
        return nullptr;
    scene::IAnimatedMesh* mesh = static_cast<scene::IAnimatedMeshSceneNode*>(node)->getMesh();
    if (!mesh || mesh->getMeshType() != scene::EAMT_SKINNED)
        return nullptr;
    return static_cast<scene::ISkinnedMesh*>(mesh);
}

u32 hardwareJointCount(scene::IAnimatedMeshSceneNode* node) {
    scene::ISkinnedMesh* mesh = skinnedMeshOf(node);
    if (!mesh)
        return 0;
    const u32 joints = mesh->getAllJoints().size();
    if (joints <= 1 || !fitsTheShaders(mesh))
        return 0;
    return joints;
}

void writeJointRows(scene::ISkinnedMesh* mesh, u32 count, f32* rows) {
    if (!mesh || !rows)
        return;
    const core::array<scene::ISkinnedMesh::SJoint*>& joints = mesh->getAllJoints();
    count = core::min_(count, core::min_(joints.size(), maxHardwareJoints));
    for (u32 j = 0; j < count; ++j)
        matrixToJointRows(joints[j]->GlobalAnimatedMatrix * joints[j]->GlobalInversedMatrix, rows + j * 12);
}

bool prepareNodeForHardwareSkinning(scene::IAnimatedMeshSceneNode* node) {
    scene::ISkinnedMesh* mesh = skinnedMeshOf(node);
    if (!mesh || hardwareJointCount(node) <= 1)
        return false;
    prepareSkinnedMeshForShader(mesh);
    updateHardwareSkinning(mesh);
    return isMeshSkinnedByShaders(mesh);
}

const f32* jointRowsForDrawnNode(scene::ISceneNode* drawn, u32& count, JointRowBuffer& scratch) {
    count = 0;
    scene::ISceneNode* object = nullptr;
    scene::ISceneNode* meshNode = nullptr;
    isAnimatedMeshOwnerType(drawn, object, meshNode);
    if (object) {
        u32 ownerCount = 0;
        const f32* rows = readObjectJointRows(object, ownerCount);
        if (rows && ownerCount > 0) {
            count = core::min_(ownerCount, maxHardwareJoints);
            return rows;
        }
    }
    // A node without an owner that keeps rows: the mesh's joints as the engine has just
    // animated them for this node's draw.
    scene::ISkinnedMesh* mesh = skinnedMeshOf(meshNode ? meshNode : drawn);
    if (!isMeshSkinnedByShaders(mesh))
        return nullptr;
    count = core::min_(mesh->getAllJoints().size(), maxHardwareJoints);
    writeJointRows(mesh, count, scratch.rows);
    return count > 0 ? scratch.rows : nullptr;
}
