#include "level/DrawnTriangles.h"

#include "core/LoadBudget.h"

using namespace irr;

std::uint64_t meshTriangles(const scene::IMesh* mesh) {
    if (!mesh)
        return 0;
    std::uint64_t triangles = 0;
    for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i)
        if (const scene::IMeshBuffer* buffer = mesh->getMeshBuffer(i))
            triangles += buffer->getIndexCount() / 3;
    return triangles;
}

std::uint64_t nodeTriangles(scene::ISceneNode* node) {
    const scene::IMesh* mesh = nullptr;
    switch (node ? node->getType() : scene::ESNT_UNKNOWN) {
    case scene::ESNT_MESH:
    case scene::ESNT_CUBE:
    case scene::ESNT_SPHERE:
        mesh = static_cast<scene::IMeshSceneNode*>(node)->getMesh();
        break;
    case scene::ESNT_ANIMATED_MESH:
        mesh = static_cast<scene::IAnimatedMeshSceneNode*>(node)->getMesh();
        break;
    default:
        break;
    }
    return meshTriangles(mesh);
}

bool chargeDrawnTriangles(scene::ISceneNode* node) {
    const std::uint64_t triangles = nodeTriangles(node);
    return triangles == 0 || loadBudget().charge(LoadBudget::Triangles, triangles);
}
