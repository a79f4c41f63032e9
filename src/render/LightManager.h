#pragma once

#include "core/Sorting.h"

#include <irrlicht.h>

#include <unordered_map>
#include <vector>

// Chooses, for every mesh-like node the scene manager draws, which of the scene's lights
// shine on it: the lights whose boxes (1.5 x radius) touch the node's box and whose zone
// (sub-level) matches the node's, the nearest first, at most maxLightsPerNode switched on.
// Installed on the scene manager as its light manager; the scene manager calls it around
// its passes and around each node's render. It records the node being drawn (currentNode)
// and the chosen lights (candidateLights) for the shader constant callbacks.
// The lights' boxes and zones are read once per pass (OnPreRender); each node's choice is
// kept and used again while its box and the pass's lights stay as they were, so a still
// level costs one look-up per drawn node however many lights it has.
class LightManager : public irr::scene::ILightManager {
public:
    // Installs itself on the scene manager (which then holds a reference).
    explicit LightManager(irr::scene::ISceneManager* sceneManager);
    ~LightManager() override;

    void OnPreRender(irr::core::array<irr::scene::ISceneNode*>& lightList) override;
    void OnPostRender() override;
    void OnRenderPassPreRender(irr::scene::E_SCENE_NODE_RENDER_PASS renderPass) override;
    void OnRenderPassPostRender(irr::scene::E_SCENE_NODE_RENDER_PASS renderPass) override;
    void OnNodePreRender(irr::scene::ISceneNode* node) override;
    void OnNodePostRender(irr::scene::ISceneNode* node) override;

    // On level unload: forgets the light list, the node, the candidates and the zones.
    void resetLights();

    // The zone of a node: the nearest ancestor-or-self sub-level that lists it among its
    // members, else the scene root, else none; cached per node until the next reset.
    irr::scene::ISceneNode* findZone(irr::scene::ISceneNode* node);

    // The light of candidate i (nearest first once more than maxLightsPerNode were found).
    irr::scene::ILightSceneNode* candidateLight(irr::u32 i) const {
        return static_cast<irr::scene::ILightSceneNode*>(candidateLights[i].item);
    }

    // Lights chosen for the node being drawn: {light node, squared distance}.
    irr::core::array<SortPair> candidateLights;
    irr::scene::ISceneManager* sceneManager;
    irr::core::array<irr::scene::ISceneNode*>* lightList = nullptr;
    irr::scene::ISceneNode* currentNode = nullptr;
    irr::u32 maxLightsPerNode = 4;
    irr::core::map<irr::scene::ISceneNode*, irr::scene::ISceneNode*> zoneMap;

private:
    // A light of the pass as the choice reads it.
    struct PassLight {
        irr::scene::ILightSceneNode* light;
        irr::core::vector3df position;
        irr::core::aabbox3df box;
        irr::scene::ISceneNode* zone;
        bool operator==(const PassLight& other) const {
            return light == other.light && position == other.position && box == other.box && zone == other.zone;
        }
    };
    // A node's last choice and what it was made from.
    struct NodeChoice {
        irr::core::aabbox3df box;
        irr::core::vector3df centre;
        bool alwaysLit = false;
        irr::u32 lightsGeneration = 0;
        irr::u32 maxLights = 0;
        std::vector<SortPair> chosen;
    };

    void readPassLights();
    void turnOnNearestLights(irr::scene::ISceneNode* node);
    void chooseLights(irr::scene::ISceneNode* node, const irr::core::aabbox3df& box,
                      const irr::core::vector3df& centre, bool alwaysLit, std::vector<SortPair>& chosen);
    irr::scene::ISceneNode* searchZone(irr::scene::ISceneNode* start);

    std::vector<PassLight> passLights;
    std::vector<PassLight> previousPassLights;
    // Raised whenever a pass's lights differ from the pass before.
    irr::u32 lightsGeneration = 1;
    std::unordered_map<irr::scene::ISceneNode*, NodeChoice> nodeChoices;
};
