#include "render/LightObject.h"

#include "render/ShaderManager.h"

#include "core/Globals.h"

#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"
#include "level/SubLevelObject.h"

using namespace irr;

namespace {
const char* const lightTypeNames[] = {"Point", "Spot", "Directional", nullptr};
const char* const lightPriorityNames[] = {"Low", "Medium", "High", nullptr};

// An enumeration read by name; a missing key or an unknown name reads as the first entry.
s32 readLightEnum(io::IAttributes* in, const char* key, const char* const* names, s32 count) {
    const s32 index = in->getAttributeAsEnumeration(key, names);
    return index >= 0 && index < count ? index : 0;
}
} // namespace

LightObject::LightObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id,
                         const core::vector3df& position, f32 radius, const video::SColorf& colour)
    : SceneNodeBase<scene::ILightSceneNode>(parent, manager, id, position) {
    LightData.AmbientColor = video::SColorf(0.0f, 0.0f, 0.0f, 1.0f);
    LightData.DiffuseColor = colour;
    LightData.SpecularColor = video::SColorf(colour.r * 0.7f + 0.3f, colour.g * 0.7f + 0.3f,
                                             colour.b * 0.7f + 0.3f, colour.a * 0.7f + 0.3f);
    LightData.Attenuation = core::vector3df(0.0f, 1.0f / radius, 0.0f);
    LightData.OuterCone = 45.0f;
    LightData.InnerCone = 0.0f;
    LightData.Falloff = 2.0f;
    LightData.Position = core::vector3df(0, 0, 0);
    LightData.Direction = core::vector3df(0, 0, 1);
    LightData.Radius = radius;
    LightData.Type = video::ELT_POINT;
    LightData.CastShadows = true;
    doLightRecalc();
}

void LightObject::doLightRecalc() {
    if (LightData.Type == video::ELT_SPOT || LightData.Type == video::ELT_DIRECTIONAL) {
        LightData.Direction = core::vector3df(0, 0, 1);
        getAbsoluteTransformation().rotateVect(LightData.Direction);
        LightData.Direction.normalize();
    }
    if (LightData.Type == video::ELT_POINT || LightData.Type == video::ELT_SPOT) {
        const f32 e = LightData.Radius * 1.5f;
        BBox.reset(-e, -e, -e);
        BBox.addInternalPoint(e, e, e);
        setAutomaticCulling(scene::EAC_FRUSTUM_BOX);
        LightData.Position = getAbsolutePosition();
    }
    if (LightData.Type == video::ELT_DIRECTIONAL) {
        BBox.reset(0, 0, 0);
        setAutomaticCulling(scene::EAC_OFF);
    }
}

void LightObject::OnRegisterSceneNode() {
    doLightRecalc();
    if (IsVisible && (!VisibleInSublevelOnly || !findSublevelAncestor(this)))
        SceneManager->registerNodeForRendering(this, scene::ESNRP_LIGHT);
    if (DriverLightIndex >= 0 && SceneManager->getVideoDriver())
        SceneManager->getVideoDriver()->turnLightOn(DriverLightIndex, false);
    if (IsVisible)
        ISceneNode::OnRegisterSceneNode();
}

void LightObject::render() {
    video::IVideoDriver* driver = SceneManager->getVideoDriver();
    if (!driver)
        return;
    if (DebugDataVisible & scene::EDS_BBOX) {
        driver->setTransform(video::ETS_WORLD, AbsoluteTransformation);
        video::SMaterial material;
        material.Lighting = false;
        driver->setMaterial(material);
        const video::SColor colour = LightData.DiffuseColor.toSColor();
        if (LightData.Type == video::ELT_DIRECTIONAL)
            driver->draw3DLine(core::vector3df(0, 0, 0), LightData.Direction * LightData.Radius, colour);
        else
            driver->draw3DBox(BBox, colour);
    }
    DriverLightIndex = driver->addDynamicLight(LightData);
    setVisible(LightIsOn);
}

void LightObject::setVisible(bool visible) {
    if (visible == IsVisible)
        return;
    IsVisible = visible;
    video::IVideoDriver* driver = SceneManager ? SceneManager->getVideoDriver() : nullptr;
    if (DriverLightIndex < 0 || !driver)
        return;
    LightIsOn = visible;
    // With shader lighting the Phong shaders take their lights from the light manager; the
    // fixed-function pipeline is switched here.
    if (shaderManager && !shaderManager->isShaderLightingOn() && driver->getDriverType() == video::EDT_OPENGL)
        driver->turnLightOn(DriverLightIndex, LightIsOn);
}

void LightObject::setRadius(f32 radius) {
    LightData.Radius = radius;
    LightData.Attenuation = core::vector3df(0.0f, 1.0f / radius, 0.0f);
    doLightRecalc();
}

scene::ISceneNode* LightObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new LightObject(newParent, newManager, ID, RelativeTranslation, LightData.Radius,
                                 LightData.DiffuseColor);
    const s32 newID = assignUniqueObjectID(copy);
    cloneSceneNodeMembers(copy, this, newManager);
    copy->LightData = LightData;
    copy->LightPriority = LightPriority;
    copy->BBox = BBox;
    copy->VisibleInSublevelOnly = VisibleInSublevelOnly;
    copy->setID(newID);
    copy->drop();
    return copy;
}

void LightObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    SceneNodeBase<scene::ILightSceneNode>::serializeAttributes(out, options);
    out->addBool("VisibleInSublevelOnly", VisibleInSublevelOnly);
    out->addColorf("AmbientColor", LightData.AmbientColor);
    out->addColorf("DiffuseColor", LightData.DiffuseColor);
    out->addColorf("SpecularColor", LightData.SpecularColor);
    out->addVector3d("Attenuation", LightData.Attenuation);
    out->addFloat("Radius", LightData.Radius);
    out->addFloat("OuterCone", LightData.OuterCone);
    out->addFloat("InnerCone", LightData.InnerCone);
    out->addFloat("Falloff", LightData.Falloff);
    out->addBool("CastShadows", LightData.CastShadows);
    out->addEnum("LightType", static_cast<s32>(LightData.Type), lightTypeNames);
}

void LightObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    if (in->existsAttribute("VisibleInSublevelOnly"))
        VisibleInSublevelOnly = in->getAttributeAsBool("VisibleInSublevelOnly");
    if (in->existsAttribute("LightPriority"))
        LightPriority = readLightEnum(in, "LightPriority", lightPriorityNames, 3);
    LightData.AmbientColor = in->getAttributeAsColorf("AmbientColor");
    LightData.DiffuseColor = in->getAttributeAsColorf("DiffuseColor");
    LightData.SpecularColor = in->getAttributeAsColorf("SpecularColor");
    LightData.Radius = in->getAttributeAsFloat("Radius");
    if (in->existsAttribute("Attenuation"))
        LightData.Attenuation = in->getAttributeAsVector3d("Attenuation");
    if (in->existsAttribute("OuterCone"))
        LightData.OuterCone = in->getAttributeAsFloat("OuterCone");
    if (in->existsAttribute("InnerCone"))
        LightData.InnerCone = in->getAttributeAsFloat("InnerCone");
    if (in->existsAttribute("Falloff"))
        LightData.Falloff = in->getAttributeAsFloat("Falloff");
    LightData.CastShadows = in->getAttributeAsBool("CastShadows");
    LightData.Type = static_cast<video::E_LIGHT_TYPE>(readLightEnum(in, "LightType", lightTypeNames, 3));
    doLightRecalc();
    SceneNodeBase<scene::ILightSceneNode>::deserializeAttributes(in, options);
}

void registerLightObjectType() {
    SceneNodeTypeRow row;
    row.type = scene::ESNT_LIGHT;
    row.typeName = "light";
    row.create = [](scene::ISceneNode* parent, scene::ISceneManager* manager) -> scene::ISceneNode* {
        auto* light = new LightObject(parent, manager, -1);
        light->drop();
        return light;
    };
    registerSceneNodeType(row);
}
