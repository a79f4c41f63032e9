#pragma once

#include "level/SceneNodeBase.h"

#include <irrlicht.h>

// The level's dynamic light ("light" in level files, type 'lght'): the engine's light scene
// node with a per-sub-level visibility switch, a priority kept from the level file, a light
// box of 1.5 x Radius for the light manager, and the light manager's zone cache. Each frame
// it registers for the light pass and adds itself to the driver; the light manager then
// switches it per drawn node through setVisible.
class LightObject : public SceneNodeBase<irr::scene::ILightSceneNode> {
public:
    enum Priority { PriorityLow = 0, PriorityMedium = 1, PriorityHigh = 2 };

    LightObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id,
                const irr::core::vector3df& position = irr::core::vector3df(0, 0, 0),
                irr::f32 radius = 100.0f,
                const irr::video::SColorf& colour = irr::video::SColorf(1.0f, 1.0f, 1.0f, 1.0f));

    void OnRegisterSceneNode() override;
    void render() override;
    const irr::core::aabbox3df& getBoundingBox() const override { return BBox; }
    irr::scene::ESCENE_NODE_TYPE getType() const override { return irr::scene::ESNT_LIGHT; }
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    void setLightData(const irr::video::SLight& light) override { LightData = light; }
    const irr::video::SLight& getLightData() const override { return LightData; }
    irr::video::SLight& getLightData() override { return LightData; }
    void setVisible(bool visible) override;
    void setRadius(irr::f32 radius) override;
    irr::f32 getRadius() const override { return LightData.Radius; }
    void setLightType(irr::video::E_LIGHT_TYPE type) override { LightData.Type = type; }
    irr::video::E_LIGHT_TYPE getLightType() const override { return LightData.Type; }
    void enableCastShadow(bool shadow = true) override { LightData.CastShadows = shadow; }
    bool getCastShadow() const override { return LightData.CastShadows; }

    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // Direction from the absolute rotation (spot, directional); box, culling and position.
    void doLightRecalc();

    irr::s32 getDriverLightIndex() const { return DriverLightIndex; }
    irr::s32 getPriority() const { return LightPriority; }
    bool isVisibleInSublevelOnly() const { return VisibleInSublevelOnly; }
    void setVisibleInSublevelOnly(bool only) { VisibleInSublevelOnly = only; }

    // The light manager's zone of this light, once found; never cleared while it lives.
    irr::scene::ISceneNode* cachedZone = nullptr;

private:
    irr::video::SLight LightData;
    irr::core::aabbox3df BBox{-1, -1, -1, 1, 1, 1};
    irr::s32 DriverLightIndex = -1;
    irr::s32 LightPriority = PriorityMedium;
    bool LightIsOn = true;
    bool VisibleInSublevelOnly = false;
};

// The factory row: "light" makes a LightObject (ID -1, at the origin, radius 100, white).
void registerLightObjectType();
