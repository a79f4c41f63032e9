#pragma once

#include "render/HardwareSkinning.h"

#include <irrlicht.h>

#include <map>
#include <vector>

class EffectHandler;

// Packs a transformation into three float4 rows (x, y and z of the transformed point are
// the dot products of the rows with (p, 1)): the layout of "mJointTransform".
void matrixToJointRows(const irr::core::matrix4& m, irr::f32 rows[12]);

// Constants of the depth materials: "mWorldViewProj", "MaxD", and for the skinning and
// instancing kinds "skinned" with the joint rows, or "instanced" with the instance rows.
class DepthShaderCallback : public irr::video::IShaderConstantSetCallBack {
public:
    static constexpr irr::u32 instanceSlots = 75;

    DepthShaderCallback(EffectHandler* handler, bool skinning, bool instancing);

    void OnSetMaterial(const irr::video::SMaterial& material) override { currentMaterial = &material; }
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;

    EffectHandler* effectHandler;
    irr::f32 farValue = 0.0f; // "MaxD": set by the pass before it draws
    bool packDepth = false;   // "PackDepth": on while the shadow pass draws into the atlas
    irr::core::matrix4 worldViewProj;
    irr::core::matrix4 viewProj;
    const irr::video::SMaterial* currentMaterial = nullptr;
    std::vector<irr::f32> instanceBuffer; // 75 transforms of three float4 rows
    JointRowBuffer jointRows;             // a drawn node's own joints
    const bool skinning;
    const bool instancing;

private:
    void sendInstancingConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData);
    std::vector<irr::core::matrix4> instanceTransforms;
};

// Constants of the shadow materials, from the shadow light a pass draws for.
class ShadowShaderCallback : public irr::video::IShaderConstantSetCallBack {
public:
    explicit ShadowShaderCallback(EffectHandler* handler) : effectHandler(handler) {}
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;

    EffectHandler* effectHandler;
    irr::core::matrix4 inverseWorld;
    irr::f32 lightColour[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    irr::core::matrix4 lightProjection;
    irr::core::matrix4 lightView;
    irr::core::vector3df lightPosition;
    irr::f32 farValue = 0.0f;      // "MaxD"
    irr::f32 mapResolution = 0.0f; // "MAPRES"
};

// Constants of a full-screen pass: sampler units, screen size and the camera's corner rays
// for the screen-quad vertex shader, then the effect's own uniforms by name.
class ScreenQuadShaderCallback : public irr::video::IShaderConstantSetCallBack {
public:
    struct Uniform {
        const irr::f32* data = nullptr; // owned by whoever registered it
        irr::u32 count = 0;
    };

    ScreenQuadShaderCallback(EffectHandler* handler, bool defaultVertexShader)
        : effectHandler(handler), defaultVertexShader(defaultVertexShader) {}
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;

    EffectHandler* effectHandler;
    bool defaultVertexShader;
    std::map<irr::core::stringc, Uniform> uniforms;
};

// Two triangles covering the screen, drawn by every full-screen pass.
class ScreenQuad {
public:
    ScreenQuad();
    // Draws the six vertices with the quad's material and an identity world transform.
    void render(irr::video::IVideoDriver* driver);

    irr::video::ITexture* renderTargets[2] = {nullptr, nullptr}; // "screenQuad0", "ScreenQuad1"
    irr::video::S3DVertex vertices[6];
    irr::video::SMaterial material;
};
