#include "render/InstancedMeshBuffer.h"

using namespace irr;

void InstancedMeshBuffer::recalculateBoundingBox() {
    if (Vertices.empty()) {
        BoundingBox.reset(0, 0, 0);
        return;
    }
    BoundingBox.reset(Vertices[0].Pos);
    for (u32 i = 1; i < Vertices.size(); ++i)
        BoundingBox.addInternalPoint(Vertices[i].Pos);
}

void InstancedMeshBuffer::append(const void* const vertices, u32 vertexCount, const u16* const indices,
                                 u32 indexCount) {
    if (vertices == Vertices.const_pointer())
        return;
    const u32 old = Vertices.size();
    Vertices.reallocate(old + vertexCount);
    const auto* source = static_cast<const video::S3DVertex2TCoords*>(vertices);
    for (u32 i = 0; i < vertexCount; ++i) {
        Vertices.push_back(source[i]);
        BoundingBox.addInternalPoint(source[i].Pos);
    }
    Indices.reallocate(Indices.size() + indexCount);
    for (u32 i = 0; i < indexCount; ++i)
        Indices.push_back(static_cast<u16>(indices[i] + old));
}

void InstancedMeshBuffer::append(const scene::IMeshBuffer* const other) {
    if (!other || other == this)
        return;
    const u32 old = Vertices.size();
    const u32 count = other->getVertexCount();
    Vertices.reallocate(old + count);
    // Each vertex is read by the other buffer's own vertex type: reading standard vertices
    // as two-coordinate ones would run past the end of its array.
    for (u32 i = 0; i < count; ++i) {
        switch (other->getVertexType()) {
        case video::EVT_2TCOORDS:
            Vertices.push_back(static_cast<const video::S3DVertex2TCoords*>(other->getVertices())[i]);
            break;
        case video::EVT_TANGENTS: {
            const video::S3DVertexTangents& v = static_cast<const video::S3DVertexTangents*>(other->getVertices())[i];
            Vertices.push_back(video::S3DVertex2TCoords(v.Pos, v.Normal, v.Color, v.TCoords));
            break;
        }
        default: {
            const video::S3DVertex& v = static_cast<const video::S3DVertex*>(other->getVertices())[i];
            Vertices.push_back(video::S3DVertex2TCoords(v.Pos, v.Normal, v.Color, v.TCoords));
            break;
        }
        }
    }
    const u32 indexCount = other->getIndexCount();
    Indices.reallocate(Indices.size() + indexCount);
    for (u32 i = 0; i < indexCount; ++i) {
        const u32 index = other->getIndexType() == video::EIT_32BIT
                              ? reinterpret_cast<const u32*>(other->getIndices())[i]
                              : other->getIndices()[i];
        Indices.push_back(static_cast<u16>(index + old));
    }
    BoundingBox.addInternalPoint(other->getBoundingBox().MaxEdge);
    BoundingBox.addInternalPoint(other->getBoundingBox().MinEdge);
}

void InstancedMeshBuffer::setHardwareMappingHint(scene::E_HARDWARE_MAPPING hint, scene::E_BUFFER_TYPE buffer) {
    if (buffer == scene::EBT_VERTEX_AND_INDEX || buffer == scene::EBT_VERTEX)
        MappingHintVertex = hint;
    if (buffer == scene::EBT_VERTEX_AND_INDEX || buffer == scene::EBT_INDEX)
        MappingHintIndex = hint;
}

void InstancedMeshBuffer::setDirty(scene::E_BUFFER_TYPE buffer) {
    if (buffer == scene::EBT_VERTEX_AND_INDEX || buffer == scene::EBT_VERTEX)
        ++ChangedIDVertex;
    if (buffer == scene::EBT_VERTEX_AND_INDEX || buffer == scene::EBT_INDEX)
        ++ChangedIDIndex;
}
