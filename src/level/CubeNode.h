#pragma once

#include <irrlicht.h>

// The cube that level files name "cube", made by the game's factory in place of the
// engine's: the same type, size, material, attributes ("Size" and the engine node's keys)
// and debug drawing, but drawn with its mesh's own material. (The engine's cube copies its
// material for every draw, which with the driver's texture matrices costs four heap
// allocations a draw.)
class CubeNode : public irr::scene::IMeshSceneNode {
public:
    static constexpr irr::f32 defaultSize = 10.0f;

    CubeNode(irr::f32 size, irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id,
             const irr::core::vector3df& position = irr::core::vector3df(0, 0, 0),
             const irr::core::vector3df& rotation = irr::core::vector3df(0, 0, 0),
             const irr::core::vector3df& scale = irr::core::vector3df(1, 1, 1));
    ~CubeNode() override;

    void OnRegisterSceneNode() override;
    void render() override;
    const irr::core::aabbox3df& getBoundingBox() const override;
    irr::video::SMaterial& getMaterial(irr::u32 i) override;
    irr::u32 getMaterialCount() const override { return 1; }
    irr::scene::ESCENE_NODE_TYPE getType() const override { return irr::scene::ESNT_CUBE; }
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    // The cube's mesh is its own: another cannot be set, and its material is never shared.
    void setMesh(irr::scene::IMesh*) override {}
    irr::scene::IMesh* getMesh() override { return Mesh; }
    void setReadOnlyMaterials(bool) override {}
    bool isReadOnlyMaterials() const override { return false; }
    // Stencil shadows are not drawn by the game.
    irr::scene::IShadowVolumeSceneNode* addShadowVolumeSceneNode(const irr::scene::IMesh* = nullptr, irr::s32 = -1,
                                                                 bool = true, irr::f32 = 1000.0f) override {
        return nullptr;
    }

    irr::f32 getSize() const { return Size; }

private:
    // A new mesh of the size (its material back to the default).
    void makeMesh();

    irr::scene::IMesh* Mesh = nullptr;
    irr::f32 Size;
};

// Adds the factory's row for "cube" to the type table.
void registerCubeNodeType();
