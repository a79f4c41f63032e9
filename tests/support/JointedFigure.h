#pragma once

#include <irrlicht.h>

#include <initializer_list>

namespace test {

// An animated mesh node of a unit box on a chain of two joints, its joint nodes made (the
// joints under the node, the second under the first).
inline irr::scene::IAnimatedMeshSceneNode* addJointedFigure(irr::scene::ISceneManager* scene,
                                                            const irr::core::vector3df& position) {
    using namespace irr;
    scene::ISkinnedMesh* mesh = scene->createSkinnedMesh();
    scene::SSkinMeshBuffer* buffer = mesh->addMeshBuffer();
    for (int corner = 0; corner < 8; ++corner)
        buffer->Vertices_Standard.push_back(video::S3DVertex(
            static_cast<f32>(corner & 1) - 0.5f, static_cast<f32>((corner >> 1) & 1) - 0.5f,
            static_cast<f32>((corner >> 2) & 1) - 0.5f, 0, 1, 0, video::SColor(255, 255, 255, 255),
            0, 0));
    for (u16 index : {0, 1, 2, 1, 3, 2, 4, 6, 5, 5, 6, 7})
        buffer->Indices.push_back(index);
    buffer->recalculateBoundingBox();
    scene::ISkinnedMesh::SJoint* root = mesh->addJoint(nullptr);
    root->Name = "root";
    mesh->addJoint(root)->Name = "tip";
    mesh->finalize();
    scene::IAnimatedMeshSceneNode* node =
        scene->addAnimatedMeshSceneNode(mesh, nullptr, -1, position);
    mesh->drop();
    node->setJointMode(scene::EJUOR_CONTROL);
    node->updateAbsolutePosition();
    return node;
}

} // namespace test
