#pragma once

#include "level/SceneNodeBase.h"

#include <irrlicht.h>

// A volume of light ('vmlt'): the engine's volume-light mesh made from a foot and a tail
// colour, a distance, two subdivision counts and a size, drawn in the transparent-effect
// pass. Any change of those six values rebuilds the mesh; the material of the mesh before
// carries over, so a material given by the level survives later changes.
class VolumeLightObject : public SceneNodeBase<irr::scene::IVolumeLightSceneNode> {
public:
    VolumeLightObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id,
                      irr::u32 subdivU = 32, irr::u32 subdivV = 32,
                      irr::video::SColor foot = irr::video::SColor(51, 0, 230, 180),
                      irr::video::SColor tail = irr::video::SColor(0, 0, 0, 0),
                      const irr::core::vector3df& position = irr::core::vector3df(0, 0, 0),
                      const irr::core::vector3df& rotation = irr::core::vector3df(0, 0, 0),
                      const irr::core::vector3df& scale = irr::core::vector3df(1, 1, 1));
    ~VolumeLightObject() override;

    void OnRegisterSceneNode() override;
    void render() override;
    const irr::core::aabbox3df& getBoundingBox() const override;
    irr::video::SMaterial& getMaterial(irr::u32 i) override;
    irr::u32 getMaterialCount() const override { return 1; }
    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("vmlt"); }
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    void setSubDivideU(const irr::u32 inU) override;
    void setSubDivideV(const irr::u32 inV) override;
    irr::u32 getSubDivideU() const override { return subDivideU; }
    irr::u32 getSubDivideV() const override { return subDivideV; }
    void setFootColor(const irr::video::SColor inColor) override;
    void setTailColor(const irr::video::SColor inColor) override;
    irr::video::SColor getFootColor() const override { return footColor; }
    irr::video::SColor getTailColor() const override { return tailColor; }

    irr::f32 getDistance() const { return lpDistance; }
    const irr::core::vector3df& getLightDimension() const { return lightDimension; }
    irr::scene::IMesh* getMesh() const { return mesh; }
    // Makes the mesh anew from the six values, keeping the material of the one before.
    void constructLight();

private:
    irr::scene::IMesh* mesh = nullptr;
    irr::f32 lpDistance = 8.0f;
    irr::u32 subDivideU;
    irr::u32 subDivideV;
    irr::video::SColor footColor;
    irr::video::SColor tailColor;
    irr::core::vector3df lightDimension{1.0f, 1.2f, 1.0f};
};
