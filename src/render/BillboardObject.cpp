#include "render/BillboardObject.h"

#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"

#include "core/Globals.h"

using namespace irr;

BillboardObject::BillboardObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id,
                                 const core::vector3df& position, const core::dimension2df& size,
                                 video::SColor top, video::SColor bottom)
    : LevelObject(parent, manager, id) {
    setPosition(position);
    Material.Lighting = false;
    Vertices[0].TCoords.set(1.0f, 1.0f);
    Vertices[1].TCoords.set(1.0f, 0.0f);
    Vertices[2].TCoords.set(0.0f, 0.0f);
    Vertices[3].TCoords.set(0.0f, 1.0f);
    setColor(top, bottom);
    setSize(size);
}

void BillboardObject::setSize(const core::dimension2df& size) {
    Size = size;
    if (Size.Width == 0.0f)
        Size.Width = 1.0f;
    if (Size.Height == 0.0f)
        Size.Height = 1.0f;
    const f32 half = (Size.Width + Size.Height) / 6.0f;
    Box = core::aabbox3df(-half, -half, -half, half, half, half);
}

void BillboardObject::setColor(const video::SColor& top, const video::SColor& bottom) {
    Vertices[0].Color = bottom;
    Vertices[1].Color = top;
    Vertices[2].Color = top;
    Vertices[3].Color = bottom;
}

void BillboardObject::setColor(const video::SColor& overall) {
    for (video::S3DVertex& vertex : Vertices)
        vertex.Color = overall;
}

void BillboardObject::getColor(video::SColor& top, video::SColor& bottom) const {
    top = Vertices[1].Color;
    bottom = Vertices[0].Color;
}

void BillboardObject::OnRegisterSceneNode() {
    if (!IsVisible)
        return;
    SceneManager->registerNodeForRendering(this, scene::ESNRP_TRANSPARENT);
    ISceneNode::OnRegisterSceneNode();
}

void BillboardObject::render() {
    scene::ICameraSceneNode* camera = SceneManager->getActiveCamera();
    video::IVideoDriver* driver = SceneManager->getVideoDriver();
    if (!camera || !driver)
        return;
    const core::vector3df pos = getAbsolutePosition();
    core::vector3df view;
    core::vector3df up;
    if (FaceCamera) {
        view = camera->getTarget() - camera->getAbsolutePosition();
        up = camera->getUpVector();
    } else {
        const core::matrix4 rotation = core::matrix4().setRotationDegrees(getAbsoluteTransformation().getRotationDegrees());
        view.set(0, 0, 1);
        up.set(0, 1, 0);
        rotation.rotateVect(view);
        rotation.rotateVect(up);
    }
    if (view.getLength() != 0.0f)
        view.normalize();
    core::vector3df horizontal = up.crossProduct(view);
    if (horizontal.getLength() == 0.0f)
        horizontal.set(up.Y, up.X, up.Z);
    horizontal.normalize();
    horizontal *= Size.Width * 0.5f;
    core::vector3df vertical = horizontal.crossProduct(view);
    vertical.normalize();
    vertical *= Size.Height * 0.5f;

    for (video::S3DVertex& vertex : Vertices)
        vertex.Normal = -view;
    Vertices[0].Pos = pos + horizontal + vertical;
    Vertices[1].Pos = pos + horizontal - vertical;
    Vertices[2].Pos = pos - horizontal - vertical;
    Vertices[3].Pos = pos - horizontal + vertical;

    if (DebugDataVisible & scene::EDS_BBOX) {
        driver->setTransform(video::ETS_WORLD, AbsoluteTransformation);
        video::SMaterial debug;
        debug.Lighting = false;
        driver->setMaterial(debug);
        driver->draw3DBox(Box, video::SColor(0, 208, 195, 152));
    }
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->setMaterial(Material);
    driver->drawIndexedTriangleList(Vertices, 4, Indices, 2);
}

void BillboardObject::setVisible(bool visible) {
    if (visible && !IsVisible) {
        const u32 now = gameDevice ? gameDevice->getTimer()->getTime() : 0;
        auto it = Animators.begin();
        while (it != Animators.end()) {
            scene::ISceneNodeAnimator* animator = *it;
            ++it;
            animator->animateNode(this, now);
        }
    }
    LevelObject::setVisible(visible);
}

scene::ISceneNode* BillboardObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new BillboardObject(newParent, newManager, ID, getPosition(), Size);
    const s32 newId = assignUniqueObjectID(copy);
    cloneMembers(copy, this, newManager);
    copy->Material = Material;
    copy->FaceCamera = FaceCamera;
    copy->setID(newId);
    // The parent holds the copy, as it holds every copied level object.
    if (newParent)
        copy->drop();
    return copy;
}

void BillboardObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    video::SColor top;
    video::SColor bottom;
    getColor(top, bottom);
    out->addFloat("Width", Size.Width);
    out->addFloat("Height", Size.Height);
    out->addColor("Shade_Top", top);
    out->addColor("Shade_Down", bottom);
    out->addBool("FaceCamera", FaceCamera);
}

void BillboardObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    LevelObject::deserializeAttributes(in, options);
    setSize(core::dimension2df(in->getAttributeAsFloat("Width"), in->getAttributeAsFloat("Height")));
    setColor(in->getAttributeAsColor("Shade_Top"), in->getAttributeAsColor("Shade_Down"));
    if (in->existsAttribute("FaceCamera"))
        FaceCamera = in->getAttributeAsBool("FaceCamera");
}

void registerBillboardObjectType() {
    SceneNodeTypeRow row;
    row.type = typeId("bill");
    row.typeName = "BillboardObject";
    row.create = [](scene::ISceneNode* parent, scene::ISceneManager* manager) -> scene::ISceneNode* {
        auto* billboard = new BillboardObject(parent, manager, -1);
        billboard->drop();
        return billboard;
    };
    registerSceneNodeType(row);
}
