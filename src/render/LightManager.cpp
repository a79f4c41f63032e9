#include "render/LightManager.h"

#include "render/LightObject.h"
#include "render/EffectHandler.h"
#include "render/DrawnObjects.h"
#include "render/ShaderManager.h"

#include "core/Globals.h"

#include "level/NodeHelpers.h"
#include "level/SceneNodeBase.h"
#include "level/SceneNodeTypes.h"
#include "level/SubLevelObject.h"

#include <span>

using namespace irr;

namespace {

bool isLitNodeType(scene::ESCENE_NODE_TYPE type) {
    return type == scene::ESNT_CUBE || type == scene::ESNT_MESH || type == scene::ESNT_ANIMATED_MESH ||
           type == typeId("phsx") || type == typeId("plr1");
}

bool isPhysicsObjectType(scene::ESCENE_NODE_TYPE type) {
    return type == typeId("phsx") || type == typeId("apsx") || type == typeId("ties") || type == typeId("crct");
}

// A box of the node's untransformed size centred on a point.
core::aabbox3df boxAround(scene::ISceneNode* node, const core::vector3df& centre) {
    const core::aabbox3df& own = node->getBoundingBox();
    const core::vector3df half = (own.MaxEdge - own.MinEdge) * 0.5f;
    return core::aabbox3df(centre - half, centre + half);
}

bool boxesTouch(const core::aabbox3df& a, const core::aabbox3df& b) {
    return a.MaxEdge.X >= b.MinEdge.X && a.MaxEdge.Y >= b.MinEdge.Y && a.MaxEdge.Z >= b.MinEdge.Z &&
           b.MaxEdge.X >= a.MinEdge.X && b.MaxEdge.Y >= a.MinEdge.Y && b.MaxEdge.Z >= a.MinEdge.Z;
}

LightObject* asLightObject(scene::ISceneNode* node) {
    if (!node || node->getType() != scene::ESNT_LIGHT || !extrasOf(node))
        return nullptr;
    return static_cast<LightObject*>(static_cast<scene::ILightSceneNode*>(node));
}

// The driver copies each drawn material into its own and then asks its copy for the texture
// matrix of every texture unit, making one where the copy has none: a material without them
// costs a heap allocation per unit on every draw. Identity matrices, made once, draw exactly
// as none and keep the draws free of allocations. A mesh node that draws its mesh's own
// materials gets them on those.
void giveTextureMatrices(video::SMaterial& material) {
    for (u32 layer = 0; layer < video::MATERIAL_MAX_TEXTURES; ++layer)
        material.getTextureMatrix(layer);
}

void giveNodeTextureMatrices(scene::ISceneNode* node) {
    if (node->getType() == scene::ESNT_MESH) {
        auto* meshNode = static_cast<scene::IMeshSceneNode*>(node);
        if (meshNode->isReadOnlyMaterials()) {
            if (scene::IMesh* mesh = meshNode->getMesh())
                for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i)
                    giveTextureMatrices(mesh->getMeshBuffer(i)->getMaterial());
            return;
        }
    }
    for (u32 i = 0; i < node->getMaterialCount(); ++i)
        giveTextureMatrices(node->getMaterial(i));
}

} // namespace

LightManager::LightManager(scene::ISceneManager* manager) : sceneManager(manager) {
    if (sceneManager)
        sceneManager->setLightManager(this);
}

LightManager::~LightManager() {
    zoneMap.clear();
    candidateLights.clear();
    nodeChoices.clear();
}

void LightManager::OnPreRender(core::array<scene::ISceneNode*>& lights) {
    lightList = &lights;
    readPassLights();
}

void LightManager::readPassLights() {
    passLights.swap(previousPassLights);
    passLights.clear();
    if (!lightList)
        return;
    for (u32 i = 0; i < lightList->size(); ++i) {
        scene::ISceneNode* lightNode = (*lightList)[i];
        if (lightNode->getType() != scene::ESNT_LIGHT)
            continue;
        auto* light = static_cast<scene::ILightSceneNode*>(lightNode);
        const core::vector3df p = light->getAbsolutePosition();
        const f32 extent = light->getRadius() * 1.5f;
        LightObject* object = asLightObject(light);
        scene::ISceneNode* zone = object ? object->cachedZone : nullptr;
        if (!zone) {
            zone = findZone(light);
            if (object)
                object->cachedZone = zone;
        }
        passLights.push_back(PassLight{light, p, core::aabbox3df(p - core::vector3df(extent), p + core::vector3df(extent)),
                                       zone});
    }
    if (passLights != previousPassLights)
        ++lightsGeneration;
}

void LightManager::OnPostRender() {
    if (!lightList)
        return;
    for (u32 i = 0; i < lightList->size(); ++i) {
        (*lightList)[i]->setVisible(true);
        (*lightList)[i]->setDebugDataVisible(0);
    }
}

void LightManager::OnRenderPassPreRender(scene::E_SCENE_NODE_RENDER_PASS) {}
void LightManager::OnRenderPassPostRender(scene::E_SCENE_NODE_RENDER_PASS) {}

void LightManager::OnNodePreRender(scene::ISceneNode* node) {
    // A level's first draws under its loading screen are where the driver compiles the level's
    // programs (and where the specialised ones are built): a loading frame between two nodes
    // keeps the loading screen moving through them (it draws only under the full cover, at
    // most ten times a second).
    if (effectHandler)
        effectHandler->loadingFrameBetweenDraws();
    currentNode = node;
    if (node)
        giveNodeTextureMatrices(node);
    if (node && isLitNodeType(node->getType()))
        turnOnNearestLights(node);
    // The lights are chosen: the node's Phong materials can take their specialised programs.
    if (shaderManager) {
        shaderManager->specializeNodeMaterials(node);
        shaderManager->tintFixedFunctionMaterials(node);
    }
}

void LightManager::OnNodePostRender(scene::ISceneNode* node) {
    if (shaderManager) {
        shaderManager->drawRemainingPieces(node);
        shaderManager->restoreNodeMaterials(node);
        shaderManager->restoreFixedFunctionMaterials(node);
    }
    if (!node || node->getType() != scene::ESNT_ANIMATED_MESH || !node->getParent())
        return;
    scene::ISceneNode* parent = node->getParent();
    const scene::ESCENE_NODE_TYPE type = parent->getType();
    if (type == typeId("dyno") || type == typeId("plr1") || isTypeOf(type, typeId("phsx")))
        notifyMeshRendered(parent);
}

void LightManager::turnOnNearestLights(scene::ISceneNode* node) {
    core::aabbox3df box = node->getTransformedBoundingBox();
    core::vector3df centre = box.getCenter();
    bool alwaysLit = false;
    if (node->getType() == scene::ESNT_ANIMATED_MESH) {
        scene::ISceneNode* parent = node->getParent();
        scene::ISceneNode* owner = parent && parent->getType() == typeId("phsx")
                                       ? parent
                                       : findAncestorOfKindUp(node, typeId("phsx"));
        if (owner) {
            core::vector3df point;
            if (readInstancePoint(owner, point)) {
                centre = point;
                alwaysLit = true;
            }
            if (tracksSkinningJoints(owner)) {
                scene::IBoneSceneNode* joint = static_cast<scene::IAnimatedMeshSceneNode*>(node)->getJointNode(1u);
                if (joint) {
                    centre = joint->getAbsolutePosition();
                    box = boxAround(node, centre);
                }
            }
        }
        if (parent && parent->getType() == typeId("plr1")) {
            centre = parent->getAbsolutePosition();
            box = boxAround(node, centre);
        }
    }

    candidateLights.set_used(0);
    if (!lightList)
        return;
    NodeChoice& choice = nodeChoices[node];
    if (choice.lightsGeneration != lightsGeneration || choice.maxLights != maxLightsPerNode ||
        choice.alwaysLit != alwaysLit || !(choice.box == box) || choice.centre != centre) {
        choice.maxLights = maxLightsPerNode;
        choice.box = box;
        choice.centre = centre;
        choice.alwaysLit = alwaysLit;
        choice.lightsGeneration = lightsGeneration;
        chooseLights(node, box, centre, alwaysLit, choice.chosen);
    }
    const u32 count = static_cast<u32>(choice.chosen.size());
    candidateLights.set_used(count);
    for (u32 i = 0; i < count; ++i)
        candidateLights[i] = choice.chosen[i];
    for (u32 i = 0; i < count; ++i)
        candidateLight(i)->setVisible(i < maxLightsPerNode);
}

void LightManager::chooseLights(scene::ISceneNode* node, const core::aabbox3df& box, const core::vector3df& centre,
                                bool alwaysLit, std::vector<SortPair>& chosen) {
    chosen.clear();
    scene::ISceneNode* nodeZone = findZone(node);
    scene::ISceneNode* root = sceneManager ? sceneManager->getRootSceneNode() : nullptr;
    for (const PassLight& light : passLights) {
        const bool zoneMatches = !light.zone || nodeZone == root || light.zone == root || light.zone == nodeZone;
        if (!zoneMatches)
            continue;
        if (!boxesTouch(box, light.box) && !alwaysLit)
            continue;
        const f64 dx = static_cast<f64>(centre.X) - light.position.X;
        const f64 dy = static_cast<f64>(centre.Y) - light.position.Y;
        const f64 dz = static_cast<f64>(centre.Z) - light.position.Z;
        chosen.push_back(SortPair{light.light, static_cast<f32>(dx * dx + dy * dy + dz * dz)});
    }
    const u32 count = static_cast<u32>(chosen.size());
    if (count > maxLightsPerNode)
        quickSortPairs(std::span<SortPair>(chosen.data(), count), 0, static_cast<s32>(count) - 1);
}

scene::ISceneNode* LightManager::findZone(scene::ISceneNode* node) {
    core::map<scene::ISceneNode*, scene::ISceneNode*>::Node* cached = zoneMap.find(node);
    if (cached)
        return cached->getValue();
    scene::ISceneNode* zone = searchZone(node);
    zoneMap.set(node, zone);
    return zone;
}

scene::ISceneNode* LightManager::searchZone(scene::ISceneNode* start) {
    if (!start)
        return nullptr;
    if (isPhysicsObjectType(start->getType()) && isMovingObject(start))
        return nullptr;
    scene::ISceneNode* root = sceneManager ? sceneManager->getRootSceneNode() : nullptr;
    for (scene::ISceneNode* current = start; current; current = current->getParent()) {
        if (current->getType() == typeId("slvl") && extrasOf(current) &&
            static_cast<SubLevelObject*>(current)->isMember(start))
            return current;
        if (current == root)
            return root;
    }
    return nullptr;
}

void LightManager::resetLights() {
    if (lightList)
        lightList->clear();
    currentNode = nullptr;
    candidateLights.set_used(0);
    zoneMap.clear();
    passLights.clear();
    previousPassLights.clear();
    nodeChoices.clear();
    ++lightsGeneration;
}
