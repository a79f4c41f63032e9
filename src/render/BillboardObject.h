#pragma once

#include "level/LevelObject.h"

#include <irrlicht.h>

// A textured quad of the level ("BillboardObject", type 'bill'), turned towards the active
// camera or held in the object's own orientation, shaded from a top to a bottom colour.
class BillboardObject : public LevelObject {
public:
    BillboardObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id,
                    const irr::core::vector3df& position = irr::core::vector3df(0, 0, 0),
                    const irr::core::dimension2df& size = irr::core::dimension2df(6.0f, 6.0f),
                    irr::video::SColor top = irr::video::SColor(0xFFFFFFFF),
                    irr::video::SColor bottom = irr::video::SColor(0xFFFFFFFF));

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("bill"); }
    void OnRegisterSceneNode() override;
    void render() override;
    void setVisible(bool visible) override;
    irr::video::SMaterial& getMaterial(irr::u32) override { return Material; }
    irr::u32 getMaterialCount() const override { return 1; }
    const irr::core::aabbox3df& getBoundingBox() const override { return Box; }
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // A width or height of 0 becomes 1; the box follows.
    virtual void setSize(const irr::core::dimension2df& size);
    virtual const irr::core::dimension2df& getSize() const { return Size; }
    virtual void setColor(const irr::video::SColor& top, const irr::video::SColor& bottom);
    virtual void setColor(const irr::video::SColor& overall);
    virtual void getColor(irr::video::SColor& top, irr::video::SColor& bottom) const;
    virtual void setFaceCamera(bool face) { FaceCamera = face; }
    bool isFacingCamera() const { return FaceCamera; }
    const irr::video::S3DVertex* getVertices() const { return Vertices; }

private:
    irr::video::SMaterial Material;
    irr::core::dimension2df Size;
    irr::video::S3DVertex Vertices[4];
    irr::u16 Indices[6] = {0, 2, 1, 0, 3, 2};
    bool FaceCamera = true;
};

// The factory row: "BillboardObject" makes a 6 x 6 white billboard.
void registerBillboardObjectType();
