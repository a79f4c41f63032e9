#pragma once

#include <irrlicht.h>

// The merged geometry of an instanced mesh node: vertices with a second texture coordinate
// (the instance data) and 16-bit indices. It behaves as the engine's mesh buffer of that
// vertex type, except that appending another buffer really appends its geometry.
class InstancedMeshBuffer : public irr::scene::IMeshBuffer {
public:
    const irr::video::SMaterial& getMaterial() const override { return Material; }
    irr::video::SMaterial& getMaterial() override { return Material; }
    irr::video::E_VERTEX_TYPE getVertexType() const override { return irr::video::EVT_2TCOORDS; }
    const void* getVertices() const override { return Vertices.const_pointer(); }
    void* getVertices() override { return Vertices.pointer(); }
    irr::u32 getVertexCount() const override { return Vertices.size(); }
    irr::video::E_INDEX_TYPE getIndexType() const override { return irr::video::EIT_16BIT; }
    const irr::u16* getIndices() const override { return Indices.const_pointer(); }
    irr::u16* getIndices() override { return Indices.pointer(); }
    irr::u32 getIndexCount() const override { return Indices.size(); }
    const irr::core::aabbox3df& getBoundingBox() const override { return BoundingBox; }
    void setBoundingBox(const irr::core::aabbox3df& box) override { BoundingBox = box; }
    void recalculateBoundingBox() override;
    const irr::core::vector3df& getPosition(irr::u32 i) const override { return Vertices[i].Pos; }
    irr::core::vector3df& getPosition(irr::u32 i) override { return Vertices[i].Pos; }
    const irr::core::vector3df& getNormal(irr::u32 i) const override { return Vertices[i].Normal; }
    irr::core::vector3df& getNormal(irr::u32 i) override { return Vertices[i].Normal; }
    const irr::core::vector2df& getTCoords(irr::u32 i) const override { return Vertices[i].TCoords; }
    irr::core::vector2df& getTCoords(irr::u32 i) override { return Vertices[i].TCoords; }
    void append(const void* const vertices, irr::u32 vertexCount, const irr::u16* const indices,
                irr::u32 indexCount) override;
    void append(const irr::scene::IMeshBuffer* const other) override;
    irr::scene::E_HARDWARE_MAPPING getHardwareMappingHint_Vertex() const override { return MappingHintVertex; }
    irr::scene::E_HARDWARE_MAPPING getHardwareMappingHint_Index() const override { return MappingHintIndex; }
    void setHardwareMappingHint(irr::scene::E_HARDWARE_MAPPING hint,
                                irr::scene::E_BUFFER_TYPE buffer = irr::scene::EBT_VERTEX_AND_INDEX) override;
    void setDirty(irr::scene::E_BUFFER_TYPE buffer = irr::scene::EBT_VERTEX_AND_INDEX) override;
    irr::u32 getChangedID_Vertex() const override { return ChangedIDVertex; }
    irr::u32 getChangedID_Index() const override { return ChangedIDIndex; }

    irr::u32 ChangedIDVertex = 1;
    irr::u32 ChangedIDIndex = 1;
    irr::scene::E_HARDWARE_MAPPING MappingHintVertex = irr::scene::EHM_NEVER;
    irr::scene::E_HARDWARE_MAPPING MappingHintIndex = irr::scene::EHM_NEVER;
    irr::video::SMaterial Material;
    irr::core::array<irr::video::S3DVertex2TCoords> Vertices;
    irr::core::array<irr::u16> Indices;
    irr::core::aabbox3df BoundingBox;
};
