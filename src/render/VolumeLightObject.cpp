#include "render/VolumeLightObject.h"

#include "core/Log.h"
#include "level/LevelObject.h"
#include "level/NodeHelpers.h"

#include <algorithm>

using namespace irr;

namespace {
const core::aabbox3df emptyVolumeBox(0, 0, 0, 0, 0, 0);
// More subdivisions than this overflow the mesh's 16-bit indices (and a negative count in a
// file would read as four billion and exhaust memory).
const u32 maxVolumeSubdivisions = 2730;

u32 readSubdivisions(io::IAttributes* in, const char* key) {
    const s32 stored = in->getAttributeAsInt(key);
    if (stored < 0 || static_cast<u32>(stored) > maxVolumeSubdivisions) {
        logMessagef("Warning: A volume light has %d for \"%s\"; %u is used.", stored, key, maxVolumeSubdivisions);
        return maxVolumeSubdivisions;
    }
    return stored == 0 ? 1u : static_cast<u32>(stored);
}

// The engine's own material for this mesh multiplies the colour by itself and takes the
// alpha from a texture it does not give, so without a texture the volume covers what lies
// behind it with its colour. Added in proportion to the vertex alpha, the colour brightens
// the scene and fades out towards the tail.
void glowByVertexAlpha(video::SMaterial& material) {
    material.MaterialType = video::EMT_ONETEXTURE_BLEND;
    material.MaterialTypeParam = video::pack_textureBlendFunc(
        video::EBF_SRC_ALPHA, video::EBF_ONE, video::EMFN_MODULATE_1X, video::EAS_VERTEX_COLOR);
    material.Lighting = false;
    material.ZWriteEnable = false;
}

// The mesh is a stack of slices, and a look through its middle crosses about one slice per
// subdivision: each slice takes its share of the colour's alpha, so that the whole volume
// shows about as much of the light as its colours' alpha says. A colour with any alpha at
// all keeps at least the smallest.
void shareAlphaAmongSlices(scene::IMesh* mesh, u32 subDivideU, u32 subDivideV) {
    if (!mesh || mesh->getMeshBufferCount() == 0)
        return;
    scene::IMeshBuffer* buffer = mesh->getMeshBuffer(0);
    if (buffer->getVertexType() != video::EVT_STANDARD)
        return;
    const u32 slices = std::max(1u, (subDivideU + subDivideV) / 2 + 1);
    auto* vertices = static_cast<video::S3DVertex*>(buffer->getVertices());
    for (u32 i = 0; i < buffer->getVertexCount(); ++i) {
        const u32 alpha = vertices[i].Color.getAlpha();
        vertices[i].Color.setAlpha(alpha == 0 ? 0 : std::max(1u, (alpha + slices / 2) / slices));
    }
    buffer->setDirty(scene::EBT_VERTEX);
}
} // namespace

VolumeLightObject::VolumeLightObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id, u32 subdivU,
                                     u32 subdivV, video::SColor foot, video::SColor tail,
                                     const core::vector3df& position, const core::vector3df& rotation,
                                     const core::vector3df& scale)
    : SceneNodeBase<scene::IVolumeLightSceneNode>(parent, manager, id, position, rotation, scale),
      subDivideU(subdivU), subDivideV(subdivV), footColor(foot), tailColor(tail) {
    constructLight();
}

VolumeLightObject::~VolumeLightObject() {
    if (!mesh)
        return;
    video::IVideoDriver* driver = SceneManager ? SceneManager->getVideoDriver() : nullptr;
    if (driver)
        for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i)
            driver->removeHardwareBuffer(mesh->getMeshBuffer(i));
    mesh->drop();
}

void VolumeLightObject::constructLight() {
    scene::IMesh* old = mesh;
    mesh = SceneManager->getGeometryCreator()->createVolumeLightMesh(subDivideU, subDivideV, footColor, tailColor,
                                                                      lpDistance, lightDimension);
    shareAlphaAmongSlices(mesh, subDivideU, subDivideV);
    if (!old) {
        if (mesh && mesh->getMeshBufferCount() > 0)
            glowByVertexAlpha(mesh->getMeshBuffer(0)->getMaterial());
        return;
    }
    if (mesh && mesh->getMeshBufferCount() > 0 && old->getMeshBufferCount() > 0)
        mesh->getMeshBuffer(0)->getMaterial() = old->getMeshBuffer(0)->getMaterial();
    old->drop();
}

void VolumeLightObject::setSubDivideU(const u32 inU) {
    if (inU == subDivideU)
        return;
    subDivideU = inU;
    constructLight();
}

void VolumeLightObject::setSubDivideV(const u32 inV) {
    if (inV == subDivideV)
        return;
    subDivideV = inV;
    constructLight();
}

void VolumeLightObject::setFootColor(const video::SColor inColor) {
    if (inColor.color == footColor.color)
        return;
    footColor = inColor;
    constructLight();
}

void VolumeLightObject::setTailColor(const video::SColor inColor) {
    if (inColor.color == tailColor.color)
        return;
    tailColor = inColor;
    constructLight();
}

const core::aabbox3df& VolumeLightObject::getBoundingBox() const {
    return mesh ? mesh->getBoundingBox() : emptyVolumeBox;
}

video::SMaterial& VolumeLightObject::getMaterial(u32 i) {
    if (mesh && i < mesh->getMeshBufferCount())
        return mesh->getMeshBuffer(i)->getMaterial();
    return ISceneNode::getMaterial(i);
}

void VolumeLightObject::OnRegisterSceneNode() {
    if (!IsVisible)
        return;
    SceneManager->registerNodeForRendering(this, scene::ESNRP_TRANSPARENT_EFFECT);
    if (IsVisible)
        ISceneNode::OnRegisterSceneNode();
}

void VolumeLightObject::render() {
    if (!mesh || mesh->getMeshBufferCount() == 0)
        return;
    video::IVideoDriver* driver = SceneManager->getVideoDriver();
    driver->setTransform(video::ETS_WORLD, AbsoluteTransformation);
    driver->setMaterial(mesh->getMeshBuffer(0)->getMaterial());
    driver->drawMeshBuffer(mesh->getMeshBuffer(0));
}

void VolumeLightObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    SceneNodeBase<scene::IVolumeLightSceneNode>::serializeAttributes(out, options);
    out->addFloat("lpDistance", lpDistance);
    out->addInt("subDivideU", static_cast<s32>(subDivideU));
    out->addInt("subDivideV", static_cast<s32>(subDivideV));
    out->addColor("footColor", footColor);
    out->addColor("tailColor", tailColor);
    out->addVector3d("lightDimension", lightDimension);
}

void VolumeLightObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    if (!in)
        return;
    lpDistance = in->getAttributeAsFloat("lpDistance");
    // Below 8 (or not a number) the light would have no length to speak of.
    if (!(lpDistance >= 8.0f))
        lpDistance = 8.0f;
    subDivideU = readSubdivisions(in, "subDivideU");
    subDivideV = readSubdivisions(in, "subDivideV");
    footColor = in->getAttributeAsColor("footColor");
    tailColor = in->getAttributeAsColor("tailColor");
    lightDimension = in->getAttributeAsVector3d("lightDimension");
    constructLight();
    SceneNodeBase<scene::IVolumeLightSceneNode>::deserializeAttributes(in, options);
}

scene::ISceneNode* VolumeLightObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new VolumeLightObject(newParent, newManager, ID, subDivideU, subDivideV, footColor, tailColor,
                                       getPosition(), core::vector3df(0, 0, 0), core::vector3df(1, 1, 1));
    const s32 newID = assignUniqueObjectID(copy);
    LevelObject::cloneMembers(copy, this, newManager);
    copy->getMaterial(0) = getMaterial(0);
    copy->setID(newID);
    if (newParent)
        copy->drop();
    return copy;
}
