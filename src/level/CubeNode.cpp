#include "level/CubeNode.h"

#include "level/SceneNodeTypes.h"

#include <algorithm>

using namespace irr;

CubeNode::CubeNode(f32 size, scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id,
                   const core::vector3df& position, const core::vector3df& rotation, const core::vector3df& scale)
    : scene::IMeshSceneNode(parent, manager, id, position, rotation, scale), Size(size) {
    makeMesh();
}

CubeNode::~CubeNode() {
    if (Mesh)
        Mesh->drop();
}

void CubeNode::makeMesh() {
    if (Mesh)
        Mesh->drop();
    Mesh = SceneManager->getGeometryCreator()->createCubeMesh(core::vector3df(Size));
}

void CubeNode::OnRegisterSceneNode() {
    if (IsVisible)
        SceneManager->registerNodeForRendering(this);
    ISceneNode::OnRegisterSceneNode();
}

void CubeNode::render() {
    video::IVideoDriver* driver = SceneManager->getVideoDriver();
    scene::IMeshBuffer* buffer = Mesh ? Mesh->getMeshBuffer(0) : nullptr;
    if (!driver || !buffer)
        return;
    driver->setTransform(video::ETS_WORLD, AbsoluteTransformation);
    if (DebugDataVisible & scene::EDS_HALF_TRANSPARENCY) {
        video::SMaterial half = buffer->getMaterial();
        half.MaterialType = video::EMT_TRANSPARENT_ADD_COLOR;
        driver->setMaterial(half);
    } else {
        driver->setMaterial(buffer->getMaterial());
    }
    driver->drawMeshBuffer(buffer);
    if (!DebugDataVisible)
        return;
    // What the editor shows of a cube: its box, its normals, its wire mesh.
    video::SMaterial lines;
    lines.Lighting = false;
    lines.AntiAliasing = 0;
    driver->setMaterial(lines);
    if (DebugDataVisible & scene::EDS_BBOX)
        driver->draw3DBox(buffer->getBoundingBox(), video::SColor(255, 255, 255, 255));
    if (DebugDataVisible & scene::EDS_BBOX_BUFFERS)
        driver->draw3DBox(buffer->getBoundingBox(), video::SColor(255, 190, 128, 128));
    if (DebugDataVisible & scene::EDS_NORMALS) {
        const f32 length = SceneManager->getParameters()->getAttributeAsFloat(scene::DEBUG_NORMAL_LENGTH);
        const video::SColor colour = SceneManager->getParameters()->getAttributeAsColor(scene::DEBUG_NORMAL_COLOR);
        driver->drawMeshBufferNormals(buffer, length, colour);
    }
    if (DebugDataVisible & scene::EDS_MESH_WIRE_OVERLAY) {
        lines.Wireframe = true;
        driver->setMaterial(lines);
        driver->drawMeshBuffer(buffer);
    }
}

const core::aabbox3df& CubeNode::getBoundingBox() const { return Mesh->getMeshBuffer(0)->getBoundingBox(); }

video::SMaterial& CubeNode::getMaterial(u32 i) {
    if (i > 0 || !Mesh)
        return ISceneNode::getMaterial(i);
    return Mesh->getMeshBuffer(0)->getMaterial();
}

void CubeNode::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    ISceneNode::serializeAttributes(out, options);
    out->addFloat("Size", Size);
}

void CubeNode::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    const f32 size = std::max(in->getAttributeAsFloat("Size"), 0.0001f);
    if (size != Size) {
        Size = size;
        makeMesh();
    }
    ISceneNode::deserializeAttributes(in, options);
}

scene::ISceneNode* CubeNode::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new CubeNode(Size, newParent, newManager, ID, RelativeTranslation, RelativeRotation, RelativeScale);
    copy->cloneMembers(this, newManager);
    copy->getMaterial(0) = getMaterial(0);
    if (newParent)
        copy->drop();
    return copy;
}

void registerCubeNodeType() {
    SceneNodeTypeRow row;
    row.type = scene::ESNT_CUBE;
    row.typeName = "cube";
    row.create = [](scene::ISceneNode* parent, scene::ISceneManager* manager) -> scene::ISceneNode* {
        auto* cube = new CubeNode(CubeNode::defaultSize, parent, manager, -1);
        cube->drop();
        return cube;
    };
    registerSceneNodeType(row);
}
