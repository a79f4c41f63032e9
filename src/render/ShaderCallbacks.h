#pragma once

#include <irrlicht.h>

// The constant callbacks of the shader manager's materials: the Phong family, the glow,
// circle, meter, particle and water shaders. Each sends what its GLSL source under
// "Content/Shaders/glsl/" reads: the transforms, the sampler units (OpenGL only) and its
// own values. Array constants go by their first element ("lights[0]") while the shader
// manager's useIndexedArrayNames is set.

// Process-wide values read by the callbacks; whoever draws sets them just before the draw.
extern irr::f32 currentMeterValue;  // 0 at start
extern irr::f32 currentMeterAlpha;  // 1 at start
extern irr::f32 currentClipPlane[4]; // the reflection passes' clip plane; all 0 = none

// Four floats r, g, b, a, each channel / 255.
void colorToFloat4(irr::video::SColor colour, irr::f32 out[4]);

// One light for the shaders: five float4 rows (colour; position and type code; direction;
// attenuation; cone cosines, falloff and radius x 1.5).
struct LightRecord {
    irr::f32 rows[20];
};
constexpr irr::u32 maxLightRecords = 8;
LightRecord defaultLightRecord();
void buildLightRecord(const irr::video::SLight& light, LightRecord& record);

// Projection x view x world of the current draw.
irr::core::matrix4 worldViewProjection(irr::video::IVideoDriver* driver);

// The name of a constant array: "name" or "name[0]" by the shader manager's switch.
const char* arrayConstantName(const char* bare, const char* indexed);

// Common part: the driver type and the material last given by the engine.
class GameShaderCallback : public irr::video::IShaderConstantSetCallBack {
public:
    void OnSetMaterial(const irr::video::SMaterial& material) override { currentMaterial = &material; }

protected:
    const irr::video::SMaterial* currentMaterial = nullptr;
};

// Phong family: transforms, samplers, material flags and the lights the light manager chose
// for the node being drawn.
class PhongShaderCallback : public GameShaderCallback {
public:
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;
    // Sends the chosen lights ("iLight*" counts and starts, "lights") and copies the records.
    static void setLights(irr::video::IMaterialRendererServices* services, LightRecord records[maxLightRecords]);

    // Counts and starts of the directional, point and spot lights ("iLightDirIni",
    // "iLightDirNum", ...), and the number of records the shaders hold.
    struct LightChoice {
        irr::s32 counts[6] = {0, 0, 0, 0, 0, 0};
        irr::u32 perObject = 0;
    };

private:
    // What this callback last sent to its program.
    struct SentConstants {
        irr::f32 lighting = 0.0f;
        irr::f32 material[4] = {0, 0, 0, 0};
        irr::f32 ambient[4] = {0, 0, 0, 0};
        LightChoice lights;
        LightRecord records[maxLightRecords] = {};
    };
    SentConstants sent;
    bool sentOnce = false;
};

// Glow (and the skinned glow): transforms and the diffuse sampler.
class SkinningShaderCallback : public GameShaderCallback {
public:
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;
};

// Circular wipe of the screen transitions: its radius from the overlay's transition value.
class CircleShaderCallback : public GameShaderCallback {
public:
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;
};

// HUD meter and loading bar: "meterValue", "meterAlpha", the diffuse and mask samplers.
class MeterShaderCallback : public GameShaderCallback {
public:
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;
};

// Particles: transform, clip plane and the additive flag.
class AdditiveShaderCallback : public GameShaderCallback {
public:
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;
};

// Water: transforms and its three samplers.
class WaterShaderCallback : public GameShaderCallback {
public:
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;
};
