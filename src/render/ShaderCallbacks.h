#pragma once

#include "render/HardwareSkinning.h"
#include "render/DrawnObjects.h"

#include <irrlicht.h>

#include <string>

// The constant callbacks of the shader manager's materials: the Phong family, the glow,
// circle, meter, particle and water shaders. Each sends what its GLSL source under
// "Content/Shaders/glsl/" reads: the transforms, the sampler units (OpenGL only) and its
// own values. Array constants go by their first element ("lights[0]") while the shader
// manager's useIndexedArrayNames is set. The node being drawn is the one the light manager
// records around each node's render (this engine's materials do not carry their node).

// Process-wide values read by the callbacks; whoever draws sets them just before the draw.
extern irr::f32 currentMeterValue;  // 0 at start
extern irr::f32 currentMeterAlpha;  // 1 at start
extern irr::f32 currentClipPlane[4]; // the reflection passes' clip plane; all 0 = none

// The camera and shadow-cascade matrices of the current scene pass (updateShadowConstants).
struct ShadowConstants {
    irr::core::matrix4 cameraViewProj;     // the active camera's projection x view
    irr::core::matrix4 cascadeViewProj[3]; // each cascade's light projection x light view
};
ShadowConstants& shadowConstants();
// Run by the scene pass after the camera set its transforms, before the scene is drawn.
void updateShadowConstants();
// The view depths at which the Phong pixel stage leaves cascades 0, 1 and 2 ("mSplitDistance";
// -1: no such cascade, 0 each without a cascade record).
void shaderSplitDistances(irr::f32 out[3]);

// Four floats r, g, b, a, each channel / 255.
void colorToFloat4(irr::video::SColor colour, irr::f32 out[4]);
// The highlight colour of a highlight mode (1..6; mode 5 scaled by half the flash time
// left); false for other modes.
bool highlightModeColour(irr::s32 mode, irr::f32 flashTime, irr::f32 out[4]);

// One light for the shaders: five float4 rows (colour; position and type code; direction;
// attenuation; cone cosines, falloff and radius x 1.5).
struct LightRecord {
    irr::f32 rows[20];
};
constexpr irr::u32 maxLightRecords = 8;
LightRecord defaultLightRecord();
void buildLightRecord(const irr::video::SLight& light, LightRecord& record);

// Switches of the Phong pixel stage that a specialised program leaves out, as bits of its
// key. A software rasterizer pays for both sides of a branch, so a draw whose switches are
// off runs a program without their work; the values it shows are the same.
namespace phongPixelFeature {
constexpr irr::u32 noShadows = 0x01;
constexpr irr::u32 noFog = 0x02;
constexpr irr::u32 noRim = 0x04;
constexpr irr::u32 noSpecular = 0x08;
constexpr irr::u32 pointLightsOnly = 0x10; // every light sent for the draw is a point light
constexpr irr::u32 noShadowLookup = 0x20;  // no caster's shadow reaches the draw's pixels
constexpr irr::u32 oneCascade = 0x40;      // the shadows have one cascade
constexpr irr::u32 all = 0x7F;
} // namespace phongPixelFeature
// The bits that hold for every material of `node` drawn now: its shadow and rim switches, the
// number of cascades, the scene's fog and the lights the light manager chose for it (run after
// that choice). Where the shadows reach the node is the shader manager's to add.
irr::u32 phongNodePixelFeatures(irr::scene::ISceneNode* node);
// Whether a Phong draw of the node takes shadows now (the switches, and its object's).
bool phongNodeReceivesShadows(irr::scene::ISceneNode* node);
// noSpecular when the material's specular intensity is 0.
irr::u32 phongMaterialPixelFeatures(const irr::video::SMaterial& material);
// The "#define" lines of a feature key, in bit order.
std::string phongPixelFeatureDefines(irr::u32 features);

// Projection x view x world of the current draw.
irr::core::matrix4 worldViewProjection(irr::video::IVideoDriver* driver);

// The name of a constant array: "name" or "name[0]" by the shader manager's switch.
const char* arrayConstantName(const char* bare, const char* indexed);

// Common part: the material last given by the engine.
class GameShaderCallback : public irr::video::IShaderConstantSetCallBack {
public:
    void OnSetMaterial(const irr::video::SMaterial& material) override { currentMaterial = &material; }

protected:
    const irr::video::SMaterial* currentMaterial = nullptr;
};

// Phong family: transforms, shadow cascades, lights, skinning and instancing rows, material
// information, highlight, fog and clip plane. The variant's feature flags come as user data.
class PhongShaderCallback : public GameShaderCallback {
public:
    PhongShaderCallback();
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;
    // Sends the lights the light manager chose for the node being drawn ("iLight*" counts
    // and starts, "lights") and copies the records into `records`.
    static void setLights(irr::video::IMaterialRendererServices* services, LightRecord records[maxLightRecords]);

    LightRecord lightRecords[maxLightRecords];
    JointRowBuffer jointRows;

private:
    void sendShadowMapConstants(irr::video::IMaterialRendererServices* services);
    void sendSwitches(irr::video::IMaterialRendererServices* services, bool openGL);
    void sendJointTransforms(irr::video::IMaterialRendererServices* services);
    bool sendInstanceTransforms(irr::video::IMaterialRendererServices* services, irr::s32 flags);
    void sendMaterialFlags(irr::video::IMaterialRendererServices* services, bool openGL);
    void sendMatrices(irr::video::IMaterialRendererServices* services, irr::s32 flags, bool instanced);
    void sendMaterialInformation(irr::video::IMaterialRendererServices* services);
    void setFog(irr::video::IMaterialRendererServices* services);

    irr::scene::ISceneNode* drawnNode = nullptr;
    irr::scene::ISceneNode* drawnObject = nullptr;
    irr::scene::ISceneNode* meshNode = nullptr;
    ShadedObjectState objectState;
    irr::s32 level = 0;
};

// Glow (and the skinned glow): pulsing alpha, highlight colour, camera, transforms and, for
// skinned objects, the joint rows.
class SkinningShaderCallback : public GameShaderCallback {
public:
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;
    irr::scene::ISceneNode* owner = nullptr;
    irr::core::matrix4 viewProjection;

private:
    JointRowBuffer jointRows;
};

// Circular wipe of the screen transitions: its radius from the loading overlay's transition.
class CircleShaderCallback : public GameShaderCallback {
public:
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;
};

// HUD meter and loading bar: "meterValue", "meterAlpha", the diffuse and mask samplers.
class MeterShaderCallback : public GameShaderCallback {
public:
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;
};

// Particles: transform, clip plane and the additive flag of a particle node.
class AdditiveShaderCallback : public GameShaderCallback {
public:
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;
};

// Water: transforms with the mirrored view, wave and wind values, colours, switches and,
// for lit water, the lights.
class WaterShaderCallback : public GameShaderCallback {
public:
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;
    LightRecord lightRecords[maxLightRecords];
};
