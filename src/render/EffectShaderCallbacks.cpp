#include "render/EffectShaderCallbacks.h"

#include "render/EffectHandler.h"
#include "render/LightManager.h"
#include "render/DrawnObjects.h"
#include "render/ShaderCallbacks.h"
#include "render/ShaderManager.h"

#include "core/Globals.h"
#include "core/ProgramQueries.h"

#include <cfloat>
#include <cmath>

using namespace irr;

void matrixToJointRows(const core::matrix4& m, f32 rows[12]) {
    for (int row = 0; row < 3; ++row) {
        rows[row * 4 + 0] = m[row];
        rows[row * 4 + 1] = m[row + 4];
        rows[row * 4 + 2] = m[row + 8];
        rows[row * 4 + 3] = m[row + 12];
    }
}

namespace {
scene::ISceneNode* nodeBeingDrawn() {
    if (effectHandler)
        return effectHandler->nodeForDepthMaterial();
    return lightManager ? lightManager->currentNode : nullptr;
}

// The absolute value of the determinant of the upper 3 x 3 part times the w row.
f64 determinantOf(const core::matrix4& m) {
    const f64 a = m[0] * (static_cast<f64>(m[5]) * m[10] - static_cast<f64>(m[6]) * m[9]);
    const f64 b = m[4] * (static_cast<f64>(m[1]) * m[10] - static_cast<f64>(m[2]) * m[9]);
    const f64 c = m[8] * (static_cast<f64>(m[1]) * m[6] - static_cast<f64>(m[2]) * m[5]);
    return (a - b + c) * m[15];
}
} // namespace

DepthShaderCallback::DepthShaderCallback(EffectHandler* handler, bool skinningKind, bool instancingKind)
    : effectHandler(handler), instanceBuffer(instanceSlots * 12, 0.0f), skinning(skinningKind),
      instancing(instancingKind) {
    instanceTransforms.reserve(instanceSlots);
}

void DepthShaderCallback::OnSetConstants(video::IMaterialRendererServices* services, s32 userData) {
    video::IVideoDriver* driver = services->getVideoDriver();
    worldViewProj = driver->getTransform(video::ETS_PROJECTION);
    worldViewProj *= driver->getTransform(video::ETS_VIEW);
    viewProj = worldViewProj;
    worldViewProj = viewProj * driver->getTransform(video::ETS_WORLD);
    services->setVertexShaderConstant("mWorldViewProj", worldViewProj.pointer(), 16);
    services->setVertexShaderConstant("MaxD", &farValue, 1);
    const f32 packed = packDepth ? 1.0f : 0.0f;
    services->setPixelShaderConstant("PackDepth", &packed, 1);
    if (skinning && effectHandler && effectHandler->hardwareSkinning) {
        u32 count = 0;
        const f32* rows = jointRowsForDrawnNode(effectHandler->nodeForDepthMaterial(), count, jointRows);
        if (rows)
            services->setVertexShaderConstant(arrayConstantName("mJointTransform", "mJointTransform[0]"), rows,
                                              static_cast<int>(count * 12));
        const f32 skinned = rows ? 1.0f : 0.0f;
        services->setVertexShaderConstant("skinned", &skinned, 1);
    }
    if (instancing)
        sendInstancingConstants(services, userData);
}

void DepthShaderCallback::sendInstancingConstants(video::IMaterialRendererServices* services, s32 userData) {
    if (!effectHandler || !effectHandler->instancing || !isSimulationRunning() || !shaderManager ||
        shaderManager->shaderLevel < 3)
        return;
    f32 instanced = 0.0f;
    instanceTransforms.clear();
    if ((userData == 0 || userData == 3) && readInstanceTransforms(nodeBeingDrawn(), instanceTransforms) &&
        instanceTransforms.size() > 1) {
        services->setVertexShaderConstant("mWorldViewProj", viewProj.pointer(), 16);
        std::fill(instanceBuffer.begin(), instanceBuffer.end(), 0.0f);
        const std::size_t slots = std::min<std::size_t>(instanceTransforms.size(), instanceSlots);
        for (std::size_t i = 0; i < slots; ++i)
            matrixToJointRows(instanceTransforms[i], &instanceBuffer[i * 12]);
        services->setVertexShaderConstant(arrayConstantName("mJointTransform", "mJointTransform[0]"),
                                          instanceBuffer.data(), static_cast<int>(instanceBuffer.size()));
        instanced = 1.0f;
    }
    services->setVertexShaderConstant("instanced", &instanced, 1);
}

void ShadowShaderCallback::OnSetConstants(video::IMaterialRendererServices* services, s32 userData) {
    (void)userData;
    video::IVideoDriver* driver = services->getVideoDriver();
    const core::matrix4& world = driver->getTransform(video::ETS_WORLD);
    services->setVertexShaderConstant("mWorldViewProj", worldViewProjection(driver).pointer(), 16);
    core::matrix4 lightWorldViewProj = lightProjection * lightView;
    lightWorldViewProj *= world;
    services->setVertexShaderConstant("mWorldViewProj2", lightWorldViewProj.pointer(), 16);
    if (std::fabs(determinantOf(world)) > FLT_MIN) {
        core::matrix4 inverse;
        if (world.getInverse(inverse))
            inverseWorld = inverse;
    }
    core::vector3df local = lightPosition;
    inverseWorld.transformVect(local);
    services->setVertexShaderConstant("LightPos", &local.X, 3);
    services->setVertexShaderConstant("MaxD", &farValue, 1);
    services->setVertexShaderConstant("MAPRES", &mapResolution, 1);
    services->setPixelShaderConstant("LightColour", lightColour, 4);
}

void ScreenQuadShaderCallback::OnSetConstants(video::IMaterialRendererServices* services, s32 userData) {
    (void)userData;
    video::IVideoDriver* driver = services->getVideoDriver();
    if (driver->getDriverType() == video::EDT_OPENGL) {
        const char* samplers[4] = {"ColorMapSampler", "ScreenMapSampler", "DepthMapSampler", "UserMapSampler"};
        for (s32 unit = 0; unit < 4; ++unit)
            services->setPixelShaderConstant(samplers[unit], &unit, 1);
    }
    if (defaultVertexShader) {
        const core::dimension2du size = driver->getCurrentRenderTargetSize();
        const f32 screen[2] = {static_cast<f32>(size.Width), static_cast<f32>(size.Height)};
        services->setVertexShaderConstant("screenX", &screen[0], 1);
        services->setVertexShaderConstant("screenY", &screen[1], 1);
        scene::ISceneManager* scene = gameDevice ? gameDevice->getSceneManager() : nullptr;
        scene::ICameraSceneNode* camera = scene ? scene->getActiveCamera() : nullptr;
        if (camera) {
            const core::recti view = driver->getViewPort();
            const core::position2di corners[4] = {
                view.UpperLeftCorner, core::position2di(view.LowerRightCorner.X, view.UpperLeftCorner.Y),
                core::position2di(view.UpperLeftCorner.X, view.LowerRightCorner.Y), view.LowerRightCorner};
            const char* starts[4] = {"LineStarts0", "LineStarts1", "LineStarts2", "LineStarts3"};
            const char* ends[4] = {"LineEnds0", "LineEnds1", "LineEnds2", "LineEnds3"};
            for (int i = 0; i < 4; ++i) {
                const core::line3df ray =
                    scene->getSceneCollisionManager()->getRayFromScreenCoordinates(corners[i], camera);
                services->setVertexShaderConstant(starts[i], &ray.start.X, 3);
                services->setVertexShaderConstant(ends[i], &ray.end.X, 3);
            }
        }
    }
    for (const auto& [name, uniform] : uniforms)
        if (uniform.data)
            services->setPixelShaderConstant(name.c_str(), uniform.data, static_cast<int>(uniform.count));
}

ScreenQuad::ScreenQuad() {
    const f32 corners[6][4] = {{-1, -1, 0, 1}, {-1, 1, 0, 0}, {1, 1, 1, 0},
                               {1, -1, 1, 1},  {-1, -1, 0, 1}, {1, 1, 1, 0}};
    for (int i = 0; i < 6; ++i)
        vertices[i] = video::S3DVertex(corners[i][0], corners[i][1], 0.0f, 0.0f, 0.0f, 1.0f, video::SColor(0),
                                       corners[i][2], corners[i][3]);
    material.Wireframe = false;
    material.Lighting = false;
    material.ZWriteEnable = false;
}

void ScreenQuad::render(video::IVideoDriver* driver) {
    static const u16 indices[6] = {0, 1, 2, 3, 4, 5};
    driver->setMaterial(material);
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->drawIndexedTriangleList(vertices, 6, indices, 2);
}
