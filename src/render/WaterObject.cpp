#include "render/WaterObject.h"
#include "render/PlanarMirror.h"

#include "level/AttributeExtras.h"
#include "render/EffectHandler.h"
#include "render/ShaderCallbacks.h"
#include "render/HmdRenderer.h"
#include "render/ShaderManager.h"

#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"

#include "core/Globals.h"
#include "core/Stopwatch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace irr;

namespace {

constexpr video::ECOLOR_FORMAT waterTargetFormat = video::ECF_A8R8G8B8;

// A physics manager exists while the level is played (it never stops running).
bool waterLevelRunning() { return physicsManager != nullptr; }

// True when no corner of the box lies inside the frustum's half-space of one of its planes:
// the box is wholly outside the view.
bool outsideFrustum(const core::aabbox3df& box, const scene::SViewFrustum& frustum) {
    core::vector3df corners[8];
    box.getEdges(corners);
    for (u32 p = 0; p < scene::SViewFrustum::VF_PLANE_COUNT; ++p) {
        bool allOutside = true;
        for (const core::vector3df& corner : corners)
            if (frustum.planes[p].classifyPointRelation(corner) != core::ISREL3D_FRONT) {
                allOutside = false;
                break;
            }
        if (allOutside)
            return true;
    }
    return false;
}

// Every water surface alive, in the order they were made: a surface that draws the images
// of its plane finds the others there.
std::vector<WaterObject*>& liveWaterObjects() {
    static std::vector<WaterObject*> objects;
    return objects;
}

// The surfaces that show the images being drawn (scratch of the render callback).
std::vector<WaterObject*>& imageGroup() {
    static std::vector<WaterObject*> group;
    return group;
}

u32 waterFrameMilliseconds() {
    return static_cast<u32>(frameStopwatch ? frameStopwatch->delta() * 1000.0f : 0.0f);
}

} // namespace

WaterObject::WaterObject(f32 width, f32 height, video::ITexture* bump, scene::ISceneNode* parent,
                         scene::ISceneManager* manager)
    : LevelObject(parent, manager, -1), WaterSize(width, height), bumpTexture(bump) {
    videoDriver = manager->getVideoDriver();
    sceneManager = manager;
    createWaterMesh();
    if (effectHandler)
        effectHandler->renderCallbacks.addMember(this, &WaterObject::renderReflectionRefraction);
    liveWaterObjects().push_back(this);
    if (shaderManager) {
        waterMaterialType = shaderManager->waterMaterial;
        litWaterMaterialType = shaderManager->waterMaterialSM3;
    }
    if (waterMeshNode)
        for (u32 i = 0; i < waterMeshNode->getMaterialCount(); ++i)
            applyMaterialType(waterMeshNode->getMaterial(i));
    if (videoDriver)
        zeroAlphaTexture = videoDriver->getTexture("Content/Models/Editor/ZeroAlpha.dds");
}

WaterObject::~WaterObject() {
    // The driver would keep the targets to the end of the program: a level loaded again and
    // again would add its water's every time.
    makeTarget(refractionTarget, false, nullptr);
    makeTarget(reflectionTarget, false, nullptr);
    if (effectHandler)
        effectHandler->renderCallbacks.removeMember(this, &WaterObject::renderReflectionRefraction);
    std::vector<WaterObject*>& live = liveWaterObjects();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    // The surfaces that showed this one's images show their own again.
    for (WaterObject* other : live)
        if (other->imagesFrom == this)
            other->imagesFrom = nullptr;
}

void WaterObject::makeTarget(video::ITexture*& target, bool wanted, const char* name) {
    if (target && videoDriver)
        videoDriver->removeTexture(target);
    target = nullptr;
    if (!wanted || !videoDriver)
        return;
    // A target is the level load's; past its budget the surface goes without the image, as
    // with the image switched off (the budget logs why).
    if (chargeLevelRenderTarget(RenderTargetSize))
        target = videoDriver->addRenderTargetTexture(RenderTargetSize, name, waterTargetFormat);
}

void WaterObject::createWaterMesh() {
    waterMesh = SceneManager->addHillPlaneMesh("RealisticWater", WaterSize, core::dimension2du(1, 1), nullptr, 0.0f,
                                               core::dimension2df(0, 0), core::dimension2df(1, 1));
    waterMeshNode = nullptr;
    if (!waterMesh)
        return;
    waterMeshNode = SceneManager->addMeshSceneNode(waterMesh->getMesh(0, 255, -1, -1), this, -1);
    if (waterMeshNode)
        waterMeshNode->setIsDebugObject(true);
}

const core::aabbox3df& WaterObject::getBoundingBox() const {
    return waterMeshNode ? waterMeshNode->getBoundingBox() : Box;
}

void WaterObject::OnAnimate(u32 now) {
    LevelObject::OnAnimate(now);
    timeMs = now;
}

void WaterObject::OnRegisterSceneNode() {
    if (!IsVisible)
        return;
    for (scene::ISceneNode* child : Children)
        child->OnRegisterSceneNode();
    if (waterMeshNode && usesWaterShader()) {
        const bool images = effectHandler && effectHandler->renderCallbacksEnabled;
        for (u32 i = 0; i < waterMeshNode->getMaterialCount(); ++i) {
            video::SMaterial& material = waterMeshNode->getMaterial(i);
            material.setTexture(1, images ? shownRefractionTarget() : zeroAlphaTexture);
            material.setTexture(2, images ? shownReflectionTarget() : zeroAlphaTexture);
        }
    }
    SceneManager->registerNodeForRendering(this, scene::ESNRP_AUTOMATIC);
}

void WaterObject::removeDebugChildren() {
    LevelObject::removeDebugChildren();
    waterMeshNode = nullptr;
}

bool WaterObject::usesWaterShader() const { return (UseLighting ? litWaterMaterialType : waterMaterialType) >= 0; }

bool WaterObject::showsRefraction() const {
    return !DisableRefraction && refractionTarget && effectHandler && effectHandler->renderCallbacksEnabled &&
           !imageSource()->refractionPassRefused;
}

bool WaterObject::showsReflection() const {
    return !DisableReflection && reflectionTarget && effectHandler && effectHandler->renderCallbacksEnabled &&
           !imageSource()->reflectionPassRefused;
}

void WaterObject::applyMaterialType(video::SMaterial& material) const {
    if (usesWaterShader()) {
        material.MaterialType = static_cast<video::E_MATERIAL_TYPE>(UseLighting ? litWaterMaterialType : waterMaterialType);
        material.setTexture(0, bumpTexture);
        return;
    }
    // Lit by its own colour and shaded a little by the scene's lights: a bump map drawn as
    // a picture, or a material type the driver does not have, looks like anything but water.
    material.MaterialType = video::EMT_SOLID;
    material.setTexture(0, nullptr);
    material.Lighting = true;
    const video::SColor colour = WaterColor.toSColor();
    material.DiffuseColor = colour;
    material.AmbientColor = colour;
    material.EmissiveColor = video::SColorf(WaterColor.r * 0.6f, WaterColor.g * 0.6f, WaterColor.b * 0.6f, 1.0f).toSColor();
    material.SpecularColor = video::SColor(255, 0, 0, 0);
}

void WaterObject::setUpMaterials() {
    if (!waterMeshNode)
        return;
    for (u32 i = 0; i < waterMeshNode->getMaterialCount(); ++i) {
        video::SMaterial& material = waterMeshNode->getMaterial(i);
        applyMaterialType(material);
        if (!usesWaterShader()) {
            material.ZWriteEnable = DepthWriteEnable;
            continue;
        }
        material.setTexture(1, DisableRefraction ? nullptr : refractionTarget);
        material.setTexture(2, DisableReflection ? nullptr : reflectionTarget);
        material.ZWriteEnable = DepthWriteEnable;
    }
}

void WaterObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    if (!out)
        return;
    LevelObject::serializeAttributes(out, options);
    out->addDimension2d("RenderTargetSize", RenderTargetSize);
    out->addVector2d("WaterSize", core::vector2df(WaterSize.Width, WaterSize.Height));
    out->addVector2d("TextureScale", TextureScale);
    out->addString("OverrideMeshFileName", OverrideMeshFileName.c_str());
    out->addFloat("WindForce", WindForce);
    out->addVector2d("WindDirection", WindDirection);
    out->addFloat("WaveHeight", WaveHeight);
    out->addColorf("WaterColor", WaterColor);
    out->addFloat("ColorBlendFactor", ColorBlendFactor);
    out->addFloat("FresnelStrength", FresnelStrength);
    out->addBool("DisableReflection", DisableReflection);
    out->addBool("DisableRefraction", DisableRefraction);
    out->addBool("UseLighting", UseLighting);
    out->addBool("DepthWriteEnable", DepthWriteEnable);
}

void WaterObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    if (!in)
        return;
    LevelObject::deserializeAttributes(in, options);
    const core::stringc previousMesh = OverrideMeshFileName;
    if (in->existsAttribute("WaterSize")) {
        const core::vector2df size = in->getAttributeAsVector2d("WaterSize");
        WaterSize.set(size.X, size.Y);
    }
    readIfPresent(in, "OverrideMeshFileName", OverrideMeshFileName);
    if (in->existsAttribute("RenderTargetSize"))
        RenderTargetSize = in->getAttributeAsDimension2d("RenderTargetSize");
    WindForce = in->getAttributeAsFloat("WindForce");
    WindDirection = in->getAttributeAsVector2d("WindDirection");
    WaveHeight = in->getAttributeAsFloat("WaveHeight");
    WaterColor = in->getAttributeAsColorf("WaterColor");
    ColorBlendFactor = in->getAttributeAsFloat("ColorBlendFactor");
    DisableReflection = in->getAttributeAsBool("DisableReflection");
    DisableRefraction = in->getAttributeAsBool("DisableRefraction");
    UseLighting = in->getAttributeAsBool("UseLighting");
    if (in->existsAttribute("DepthWriteEnable"))
        DepthWriteEnable = in->getAttributeAsBool("DepthWriteEnable");
    if (in->existsAttribute("FresnelStrength"))
        FresnelStrength = in->getAttributeAsFloat("FresnelStrength");
    if (in->existsAttribute("TextureScale"))
        TextureScale = in->getAttributeAsVector2d("TextureScale");

    const f32 lengthSq = WindDirection.X * WindDirection.X + WindDirection.Y * WindDirection.Y;
    if (lengthSq != 0.0f)
        WindDirection *= 1.0f / std::sqrt(lengthSq);

    if (waterMeshNode && waterMeshNode->getMesh())
        SceneManager->getMeshCache()->removeMesh(waterMeshNode->getMesh());
    scene::IMesh* mesh = nullptr;
    if (OverrideMeshFileName.empty()) {
        const long long key = static_cast<long long>(static_cast<double>(WaterSize.Width) * 1000.0 +
                                                     static_cast<double>(WaterSize.Height));
        char name[64];
        std::snprintf(name, sizeof(name), "RealisticWater%lld", key);
        scene::IAnimatedMesh* plane = SceneManager->addHillPlaneMesh(name, WaterSize, core::dimension2du(1, 1),
                                                                     nullptr, 0.0f, core::dimension2df(0, 0),
                                                                     core::dimension2df(1, 1));
        mesh = plane ? plane->getMesh(0) : nullptr;
    } else if (OverrideMeshFileName != previousMesh) {
        scene::IAnimatedMesh* loaded = SceneManager->getMesh(OverrideMeshFileName.c_str());
        mesh = loaded ? loaded->getMesh(0) : nullptr;
    }
    if (mesh)
        mesh->setHardwareMappingHint(scene::EHM_STATIC, scene::EBT_VERTEX_AND_INDEX);
    makeTarget(refractionTarget, !DisableRefraction, "Content/refraction");
    makeTarget(reflectionTarget, !DisableReflection, "Content/reflection");
    if (mesh && waterMeshNode)
        waterMeshNode->setMesh(mesh);
    setUpMaterials();
}

scene::ISceneNode* WaterObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new WaterObject(WaterSize.Width, WaterSize.Height, bumpTexture, newParent, newManager);
    // The copy starts from this object's ID so that it is given the next free one, not -1.
    copy->setID(ID);
    const s32 newId = assignUniqueObjectID(copy);
    if (!waterLevelRunning()) {
        // Through the attributes; the copy keeps the mesh node of its own.
        io::IAttributes* attributes = gameDevice ? gameDevice->getFileSystem()->createEmptyAttributes() : nullptr;
        if (attributes) {
            serializeAttributes(attributes);
            copy->deserializeAttributes(attributes);
            attributes->drop();
        }
        for (scene::ISceneNode* child : Children) {
            if (child == waterMeshNode)
                continue;
            // The copy holds the cloned child's only reference.
            if (scene::ISceneNode* cloned = child->clone(copy, newManager))
                cloned->setDebugDataVisible(0);
        }
        for (scene::ISceneNodeAnimator* animator : Animators)
            if (scene::ISceneNodeAnimator* cloned = animator->createClone(copy, newManager)) {
                copy->addAnimator(cloned);
                cloned->drop();
            }
    } else {
        cloneMembers(copy, this, newManager);
    }
    copy->setID(newId);
    copy->drop();
    return copy;
}

core::plane3df WaterObject::worldPlane(const core::vector3df& normal) const {
    core::plane3df plane(normal, -0.0f);
    AbsoluteTransformation.transformPlane(plane);
    return plane;
}

core::plane3df WaterObject::viewPlane(const core::vector3df& normal, scene::ICameraSceneNode* camera) const {
    core::plane3df plane = unitPlane(worldPlane(normal));
    camera->getViewMatrix().transformPlane(plane);
    return unitPlane(plane);
}

void WaterObject::computeClipPlane(const core::vector3df& normal, scene::ICameraSceneNode* camera,
                                   core::plane3df& out) const {
    out = clipSpacePlane(viewPlane(normal, camera), camera->getProjectionMatrix());
    currentClipPlane[0] = out.Normal.X;
    currentClipPlane[1] = out.Normal.Y;
    currentClipPlane[2] = out.Normal.Z;
    currentClipPlane[3] = out.D;
}

void WaterObject::mirrorView(const core::vector3df& position, const core::vector3df& target,
                             core::vector3df& mirroredPosition, core::vector3df& mirroredTarget,
                             core::vector3df& mirroredUp) const {
    const core::plane3df plane = worldPlane(core::vector3df(0, 1, 0));
    const core::vector3df n = plane.Normal;
    core::vector3df foot(0, 0, 0);
    if (!plane.getIntersectionWithLine(position, -n, foot))
        foot.set(0, 0, 0);
    mirroredPosition = position + (foot - position) * 2.0f;
    if (!plane.getIntersectionWithLine(position, (target - position) * 20000.0f, mirroredTarget))
        mirroredTarget = foot;
    mirroredUp = n;
    if (mirroredUp.getLength() != 0.0f)
        mirroredUp.normalize();
}

bool WaterObject::isInView(scene::ICameraSceneNode* camera) const {
    if (!camera)
        return false;
    // The camera's frustum follows its placement for this frame only once it has rendered.
    camera->render();
    core::aabbox3df box = waterMeshNode ? waterMeshNode->getTransformedBoundingBox() : getTransformedBoundingBox();
    // The waves lift and lower the surface in the shader.
    const f32 waves = std::fabs(WaveHeight) + 0.01f;
    box.MinEdge.Y -= waves;
    box.MaxEdge.Y += waves;
    return !outsideFrustum(box, *camera->getViewFrustum());
}

bool WaterObject::sharesImagesWith(const WaterObject& other) const {
    if (other.SceneManager != SceneManager || other.RenderTargetSize != RenderTargetSize ||
        other.DisableRefraction != DisableRefraction || other.DisableReflection != DisableReflection ||
        !other.refractionTarget != !refractionTarget || !other.reflectionTarget != !reflectionTarget)
        return false;
    const core::plane3df mine = unitPlane(worldPlane(core::vector3df(0, 1, 0)));
    const core::plane3df theirs = unitPlane(other.worldPlane(core::vector3df(0, 1, 0)));
    return mine.Normal.dotProduct(theirs.Normal) > 0.99999f &&
           std::fabs(mine.D - theirs.D) <= 0.001f * core::max_(1.0f, std::fabs(mine.D));
}

void WaterObject::renderReflectionRefraction() {
    if (!isTrulyVisible())
        return;
    const u32 round = effectHandler ? effectHandler->renderCallbackRound : 0;
    // A surface of the same plane drew this frame's images already.
    if (imagesFrom && imagesRound == round)
        return;
    imagesFrom = nullptr;
    // A surface out of view shows neither image: its passes would draw for nothing.
    if (!isInView(SceneManager->getActiveCamera()))
        return;
    // The other visible surfaces of this plane show these images; hidden while they are
    // drawn, as this one is.
    std::vector<WaterObject*>& group = imageGroup();
    group.clear();
    for (WaterObject* other : liveWaterObjects())
        if (other != this && other->isTrulyVisible() && sharesImagesWith(*other))
            group.push_back(other);
    // Held while the images are drawn: the scene's draw runs animators, which may remove nodes,
    // this surface among them; it lives until the callback ends.
    grab();
    for (WaterObject* other : group) {
        other->grab();
        other->setVisible(false);
    }
    setVisible(false);
    if (effectHandler)
        effectHandler->renderStage = 2;
    sceneManager = SceneManager;
    videoDriver = sceneManager->getVideoDriver();
    renderImages(sceneManager->getActiveCamera());
    videoDriver->enableClipPlane(0, false);
    for (f32& value : currentClipPlane)
        value = 0.0f;
    videoDriver->setRenderTarget(nullptr, false, true, video::SColor(0));
    setVisible(true);
    for (WaterObject* other : group) {
        other->setVisible(true);
        other->imagesFrom = this;
        other->imagesRound = round;
        other->reflectionViewMatrix = reflectionViewMatrix;
        other->refractionClipPlane = refractionClipPlane;
        other->reflectionClipPlane = reflectionClipPlane;
        other->drop();
    }
    group.clear();
    drop();
}

void WaterObject::renderImages(scene::ICameraSceneNode* camera) {
    if (!camera)
        return;
    // The engine's OpenGL driver takes user clip planes in world space (it applies the view
    // matrix itself); the other drivers take the clip-space plane.
    const bool worldClipPlanes = videoDriver->getDriverType() == video::EDT_OPENGL;
    // Each eye of a head-mounted display sees from its own place: only the one camera's view
    // can be culled for.
    const bool cull = !hmdRenderer;
    scene::ISceneNode* root = sceneManager->getRootSceneNode();

    // Each image is a scene pass of the frame's few (the effect handler counts them).
    const auto takePass = [] { return !effectHandler || effectHandler->takeExtraScenePass(); };
    refractionPassRefused = !DisableRefraction && refractionTarget && !takePass();
    if (!DisableRefraction && refractionTarget && !refractionPassRefused) {
        videoDriver->setRenderTarget(refractionTarget, true, true, video::SColor(0));
        computeClipPlane(core::vector3df(0, -1, 0), camera, refractionClipPlane);
        videoDriver->setClipPlane(0, worldClipPlanes ? unitPlane(worldPlane(core::vector3df(0, -1, 0))) : refractionClipPlane,
                                  true);
        const core::matrix4 projection = camera->getProjectionMatrix();
        const core::matrix4 oblique = obliqueProjection(projection, viewPlane(core::vector3df(0, -1, 0), camera));
        camera->setProjectionMatrix(oblique, camera->isOrthogonal());
        if (cull)
            passCulling.hideOutside(root, oblique, camera->getViewMatrix());
        if (effectHandler)
            effectHandler->renderSceneInto(refractionTarget, true);
        passCulling.restore();
        camera->setProjectionMatrix(projection, camera->isOrthogonal());
    }

    reflectionPassRefused = !DisableReflection && reflectionTarget && !takePass();
    if (!DisableReflection && reflectionTarget && !reflectionPassRefused) {
        videoDriver->setRenderTarget(reflectionTarget, true, true, video::SColor(0));
        const core::vector3df target = camera->getTarget();
        const f32 farValue = camera->getFarValue();
        const core::vector3df position = camera->getPosition();
        const core::vector3df up = camera->getUpVector();
        const core::matrix4 projection = camera->getProjectionMatrix();
        const bool wasVisible = isVisible();
        const bool receivedInput = camera->isInputReceiverEnabled();
        camera->setInputReceiverEnabled(false);

        core::vector3df mirroredPosition, mirroredTarget, mirroredUp;
        mirrorView(position, target, mirroredPosition, mirroredTarget, mirroredUp);
        camera->setPosition(mirroredPosition);
        camera->setTarget(mirroredTarget);
        camera->setUpVector(mirroredUp);
        camera->OnAnimate(waterFrameMilliseconds());
        camera->render();
        reflectionViewMatrix = camera->getViewMatrix();
        computeClipPlane(core::vector3df(0, 1, 0), camera, reflectionClipPlane);
        videoDriver->setClipPlane(0, worldClipPlanes ? unitPlane(worldPlane(core::vector3df(0, 1, 0))) : reflectionClipPlane,
                                  true);
        const core::matrix4 oblique = obliqueProjection(projection, viewPlane(core::vector3df(0, 1, 0), camera));
        camera->setProjectionMatrix(oblique, false);
        if (cull)
            passCulling.hideOutside(root, oblique, camera->getViewMatrix());
        if (effectHandler)
            effectHandler->renderSceneInto(reflectionTarget, true);
        passCulling.restore();

        camera->setFarValue(farValue);
        camera->setUpVector(up);
        camera->setPosition(position);
        camera->setTarget(target);
        camera->setProjectionMatrix(projection, false);
        camera->OnAnimate(waterFrameMilliseconds());
        camera->setInputReceiverEnabled(receivedInput);
        setVisible(wasVisible);
    }
}

void registerWaterObjectType() {
    SceneNodeTypeRow row;
    row.type = typeId("wtr1");
    row.typeName = "wtr1";
    row.create = [](scene::ISceneNode* parent, scene::ISceneManager* manager) -> scene::ISceneNode* {
        video::IVideoDriver* driver = manager->getVideoDriver();
        auto* water = new WaterObject(64.0f, 64.0f, driver ? driver->getTexture(WaterObject::defaultBumpTexture) : nullptr,
                                      parent, manager);
        water->drop();
        return water;
    };
    registerSceneNodeType(row);
}
