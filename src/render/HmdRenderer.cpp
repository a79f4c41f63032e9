#include "render/HmdRenderer.h"

#include "render/EffectHandler.h"

#include "core/Globals.h"
#include "level/LevelManager.h"

#include <cmath>

using namespace irr;

bool HmdOutputEnabled = false;
HmdRenderer* hmdRenderer = nullptr;

namespace {
const char* const hmdVertexShader = R"(
void main() {
    gl_Position = vec4(gl_Vertex.xy, 0.0, 1.0);
    gl_TexCoord[0] = gl_MultiTexCoord0;
}
)";

// Outside the rendered eye picture the warp shows black.
const char* const hmdPixelShader = R"(
uniform sampler2D texid;
uniform vec2 scale;
uniform vec2 scaleIn;
uniform vec2 lensCenter;
uniform vec4 hmdWarpParam;
void main() {
    vec2 uv = gl_TexCoord[0].xy * 2.0 - 1.0;
    vec2 theta = (uv - lensCenter) * scaleIn;
    float rSq = theta.x * theta.x + theta.y * theta.y;
    vec2 rvector = theta * (hmdWarpParam.x + hmdWarpParam.y * rSq + hmdWarpParam.z * rSq * rSq +
                            hmdWarpParam.w * rSq * rSq * rSq);
    vec2 tc = (lensCenter + scale * rvector + 1.0) / 2.0;
    if (any(notEqual(clamp(tc, vec2(0.0), vec2(1.0)), tc)))
        gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0);
    else
        gl_FragColor = texture2D(texid, tc);
}
)";

// The horizontal offset of a distance from the middle of one eye's half of the screen, in
// that half's [-1, 1] space.
f32 halfScreenOffset(const HmdDescription& d, f32 distance) {
    const double quarter = static_cast<double>(d.screenWidth) * 0.25 - static_cast<double>(distance) * 0.5;
    return static_cast<f32>(quarter * 4.0 / static_cast<double>(d.screenWidth));
}
} // namespace

void HmdDistortionCallback::OnSetConstants(video::IMaterialRendererServices* services, s32) {
    services->setPixelShaderConstant("scale", scale, 2);
    services->setPixelShaderConstant("scaleIn", scaleIn, 2);
    services->setPixelShaderConstant("lensCenter", lensCenter, 2);
    services->setPixelShaderConstant("hmdWarpParam", hmdWarpParam, 4);
}

HmdRenderer::HmdRenderer(IrrlichtDevice* device, const HmdDescription& description, f32 worldScale)
    : description(description), worldScale(worldScale), callback(new HmdDistortionCallback()), device(device),
      driver(device->getVideoDriver()), sceneManager(device->getSceneManager()), timer(device->getTimer()) {
    const video::SColor cyan(255, 0, 255, 255);
    const core::vector3df normal(1, 1, 0);
    quadVertices[0] = video::S3DVertex(core::vector3df(-1, -1, 1), normal, cyan, core::vector2df(0, 0));
    quadVertices[1] = video::S3DVertex(core::vector3df(-1, 1, 1), normal, cyan, core::vector2df(0, 1));
    quadVertices[2] = video::S3DVertex(core::vector3df(1, 1, 1), normal, cyan, core::vector2df(1, 1));
    quadVertices[3] = video::S3DVertex(core::vector3df(1, -1, 1), normal, cyan, core::vector2df(1, 0));

    distortionMaterial.Lighting = false;
    distortionMaterial.Wireframe = false;
    distortionMaterial.TextureLayer[0].TextureWrapU = video::ETC_CLAMP_TO_EDGE;
    distortionMaterial.TextureLayer[0].TextureWrapV = video::ETC_CLAMP_TO_EDGE;
    if (video::IGPUProgrammingServices* gpu = driver->getGPUProgrammingServices();
        gpu && driver->getDriverType() == video::EDT_OPENGL && driver->queryFeature(video::EVDF_ARB_GLSL)) {
        compiledMaterial = gpu->addHighLevelShaderMaterial(
            hmdVertexShader, "main", video::EVST_VS_3_0, hmdPixelShader, "main", video::EPST_PS_3_0, callback,
            video::EMT_SOLID, 0, video::EGSL_DEFAULT);
    }
    if (compiledMaterial >= 0)
        distortionMaterial.MaterialType = static_cast<video::E_MATERIAL_TYPE>(compiledMaterial);
    createHmdViewNodes();
    if (levelManager)
        levelManager->onLevelLoaded.addMember(this, &HmdRenderer::createHmdViewNodes);
}

HmdRenderer::~HmdRenderer() {
    if (levelManager)
        levelManager->onLevelLoaded.removeMember(this, &HmdRenderer::createHmdViewNodes);
    for (video::SMaterialLayer& layer : distortionMaterial.TextureLayer)
        layer.Texture = nullptr;
    callback->drop();
}

void HmdRenderer::createHmdViewNodes() {
    eyeCamera = sceneManager->addCameraSceneNode(nullptr, core::vector3df(0, 0, 0), core::vector3df(0, 0, 100), -1,
                                                 true);
    rootNode = sceneManager->addEmptySceneNode(nullptr);
    pitchNode = sceneManager->addEmptySceneNode(rootNode);
    yawNode = sceneManager->addEmptySceneNode(pitchNode);
    rollNode = sceneManager->addEmptySceneNode(yawNode);
    leftEyeNode = sceneManager->addEmptySceneNode(rollNode, -1);
    leftEyeNode->setPosition(core::vector3df(-0.25f, 0, 0));
    rightEyeNode = sceneManager->addEmptySceneNode(rollNode, -1);
    rightEyeNode->setPosition(core::vector3df(0.25f, 0, 0));
    // Made by the pass, not by the level: never saved with it.
    for (scene::ISceneNode* node : {static_cast<scene::ISceneNode*>(eyeCamera), rootNode})
        node->setIsDebugObject(true);
    setupHmdView(description);
}

void HmdRenderer::setupHmdView(const HmdDescription& d) {
    description = d;
    const f32* k = d.distortion;
    const f32 aspect = static_cast<f32>(d.resolutionX) / (static_cast<f32>(d.resolutionY) * 2.0f);
    const f32 r = -1.0f - halfScreenOffset(d, d.lensSeparation);
    const f32 r2 = r * r;
    distortionScale = k[1] * r2 + k[0] + k[2] * r2 * r2 + k[3] * r2 * r2 * r2;
    fieldOfView = 2.0f * std::atan2(d.screenHeight * distortionScale, 2.0f * d.eyeToScreen);
    const f32 h = halfScreenOffset(d, d.interpupillaryDistance);

    core::matrix4 centre(core::matrix4::EM4CONST_NOTHING);
    const f32 yScale = 1.0f / std::tan(fieldOfView / 2.0f);
    for (s32 i = 0; i < 16; ++i)
        centre[i] = 0.0f;
    centre[0] = yScale / aspect;
    centre[5] = yScale;
    centre[10] = 1.0001f;
    centre[11] = 1.0f;
    centre[14] = -1.0001f;
    leftProjection = centre;
    leftProjection[8] = h;
    rightProjection = centre;
    rightProjection[8] = -h;

    eyeSeparation = static_cast<f32>(static_cast<double>(worldScale) * d.interpupillaryDistance * 0.5);
    if (leftEyeNode)
        leftEyeNode->setPosition(core::vector3df(eyeSeparation, 0, 0));
    if (rightEyeNode)
        rightEyeNode->setPosition(core::vector3df(-eyeSeparation, 0, 0));
    leftViewport = core::recti(0, 0, d.resolutionX / 2, d.resolutionY);
    rightViewport = core::recti(d.resolutionX / 2, 0, d.resolutionX, d.resolutionY);
    lensShift = halfScreenOffset(d, d.lensSeparation);

    callback->scale[0] = 1.0f / distortionScale;
    callback->scale[1] = aspect / distortionScale;
    callback->scaleIn[0] = 1.0f;
    callback->scaleIn[1] = 1.0f / aspect;
    for (s32 i = 0; i < 4; ++i)
        callback->hmdWarpParam[i] = k[i];

    if (!renderTarget && driver->queryFeature(video::EVDF_RENDER_TO_TARGET)) {
        const core::dimension2du size(static_cast<u32>(distortionScale * static_cast<f32>(d.resolutionX) * 0.5f),
                                      static_cast<u32>(distortionScale * static_cast<f32>(d.resolutionY)));
        renderTarget = driver->addRenderTargetTexture(size, "rt", video::ECF_UNKNOWN);
        distortionMaterial.setTexture(0, renderTarget);
    }
}

void HmdRenderer::renderHmdEyes() {
    scene::ICameraSceneNode* camera = sceneManager->getActiveCamera();
    if (!camera)
        return;
    camera->OnAnimate(timer->getTime());
    core::matrix4 head;
    if (DeviceReady && rootNode) {
        // No orientation source: every head angle is 0.
        rootNode->setRotation(camera->getRotation());
        pitchNode->setRotation(core::vector3df(0, 0, 0));
        yawNode->setRotation(core::vector3df(0, 0, 0));
        rollNode->setRotation(core::vector3df(0, 0, 0));
        rootNode->updateAbsolutePosition();
        pitchNode->updateAbsolutePosition();
        yawNode->updateAbsolutePosition();
        rollNode->updateAbsolutePosition();
        head.setRotationRadians(rollNode->getAbsoluteTransformation().getRotationDegrees() * core::DEGTORAD);
    }
    core::vector3df forward(0, 0, -1);
    head.transformVect(forward);
    core::vector3df up(0, 1, 0);
    head.transformVect(up);
    camera->setTarget(camera->getPosition() + forward);
    camera->setUpVector(up);

    drawEye(leftProjection, leftEyeNode, leftViewport, lensShift, camera);
    drawEye(rightProjection, rightEyeNode, rightViewport, -lensShift, camera);
    sceneManager->setActiveCamera(camera);
}

void HmdRenderer::drawEye(const core::matrix4& projection, scene::ISceneNode* eye, const core::recti& viewport,
                          f32 lensCentreX, scene::ICameraSceneNode* camera) {
    driver->setRenderTarget(renderTarget, true, true, video::SColor(0));
    if (renderTarget) {
        const core::dimension2du size = renderTarget->getSize();
        driver->setViewPort(core::recti(0, 0, static_cast<s32>(size.Width), static_cast<s32>(size.Height)));
    } else {
        driver->setViewPort(viewport);
    }
    eye->updateAbsolutePosition();
    const core::vector3df eyePosition = eye->getAbsolutePosition();
    eyeCamera->setProjectionMatrix(projection, false);
    eyeCamera->setPosition(eyePosition + camera->getPosition());
    eyeCamera->updateAbsolutePosition();
    eyeCamera->setTarget(eyePosition + camera->getTarget());
    eyeCamera->setUpVector(camera->getUpVector());
    sceneManager->setActiveCamera(eyeCamera);
    if (effectHandler)
        effectHandler->renderScenePass();
    else
        sceneManager->drawAll();

    driver->setRenderTarget(nullptr, false, false);
    driver->setViewPort(viewport);
    callback->lensCenter[0] = lensCentreX;
    callback->lensCenter[1] = 0.0f;
    driver->setMaterial(distortionMaterial);
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->drawVertexPrimitiveList(quadVertices, 4, quadIndices, 2, video::EVT_STANDARD, scene::EPT_TRIANGLES,
                                    video::EIT_16BIT);
}

void createHmdOutput(IrrlichtDevice* device) {
    if (!HmdOutputEnabled || hmdRenderer || !device)
        return;
    HmdDescription description;
    auto* renderer = new HmdRenderer(device, description, 10.0f);
    // Without a display that reports itself, or without the warp, the frame stays plain.
    if (!renderer->isMaterialCompiled() || !renderer->DeviceReady) {
        delete renderer;
        return;
    }
    hmdRenderer = renderer;
}

void destroyHmdOutput() {
    delete hmdRenderer;
    hmdRenderer = nullptr;
}
