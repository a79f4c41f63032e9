// The effect handler's post-processing chain (screen-space effects drawn on the screen quad
// between two ping-pong targets) and its depth pass.
#include "render/EffectHandler.h"
#include "render/LightManager.h"
#include "render/ShaderPreprocessor.h"

#include "core/Globals.h"
#include "core/Log.h"

#include <algorithm>
#include <cstdlib>
#include <string>

using namespace irr;

void SSAORenderCallback::OnPreRender(EffectHandler* handler) {
    video::IVideoDriver* driver = handler->driver;
    mViewProj = driver->getTransform(video::ETS_PROJECTION) * driver->getTransform(video::ETS_VIEW);
    handler->setPostProcessingEffectConstant(materialType, "mViewProj", mViewProj.pointer());
}

void EffectHandler::initPostProcessing() {
    for (PostProcessingEffectRecord& record : postEffects)
        if (record.callback)
            record.callback->drop();
    postEffects.clear();
    postEffects.shrink_to_fit();
    postEffectsSorted = true;
    // Only the OpenGL driver runs the game's shaders: the others look for no effect files.
    if (shaderEffectsUnsupported || driverType != video::EDT_OPENGL)
        return;
    const core::stringc folder = driverType == video::EDT_DIRECT3D9 ? "hlsl/" : "glsl/";
    const core::stringc extension = driverType == video::EDT_DIRECT3D9 ? ".hlsl" : ".glsl";
    auto effectFile = [&](const char* name) { return io::path(core::stringc("Content/Shaders/") + folder + name + extension); };
    if (bloomEnabled)
        for (const char* name : {"BlurHP", "BlurVP", "BloomP"})
            addPostProcessingEffectFromFile(effectFile(name));
    if (ssaoEnabled) {
        const bool ssaoAdded = addPostProcessingEffectFromFile(effectFile("SSAO"));
        const s32 ssaoMaterial = ssaoAdded ? postEffects.back().materialType : -1;
        for (const char* name : {"BlurHP", "BlurVP", "SSAOCombine"})
            addPostProcessingEffectFromFile(effectFile(name));
        if (ssaoAdded)
            setPostProcessingRenderCallback(ssaoMaterial, new SSAORenderCallback(ssaoMaterial));
        depthPassEnabled = true;
        getDepthTexture();
        randomVectorTexture = createRandomVectorTexture(core::dimension2du(512, 512), "randVec");
        screenQuad.material.TextureLayer[3].Texture = randomVectorTexture;
    }
}

bool EffectHandler::addPostProcessingEffectFromFile(const io::path& file) {
    if (shaderEffectsUnsupported || !gpu)
        return false;
    if (!device->getFileSystem()->existFile(file)) {
        logMessagePair("ERROR: Could not open post-processing effect: ", file.c_str());
        return false;
    }
    ShaderPreprocessor preprocessor(driver);
    preprocessor.addDefine("SCREENX", std::to_string(renderSize.Width));
    preprocessor.addDefine("SCREENY", std::to_string(renderSize.Height));
    const auto vertexTarget = driver->queryFeature(video::EVDF_VERTEX_SHADER_3_0) ? video::EVST_VS_3_0 : video::EVST_VS_2_0;
    const auto pixelTarget = driver->queryFeature(video::EVDF_PIXEL_SHADER_3_0) ? video::EPST_PS_3_0 : video::EPST_PS_2_0;
    const std::string pixel = preprocessor.preprocessFile(file.c_str());
    const char* vertexText = effectShaderSource(RoleScreenQuadVertex, driverColumn);
    const std::string vertex = preprocessor.preprocessSource(vertexText ? vertexText : "");
    auto* callback = new ScreenQuadShaderCallback(this, true);
    const s32 material = gpu->addHighLevelShaderMaterial(
        vertex.c_str(), "vertexMain", vertexTarget, pixel.c_str(), "pixelMain", pixelTarget, nullptr, "main",
        video::EGST_GS_4_0, scene::EPT_TRIANGLES, scene::EPT_TRIANGLE_STRIP, 0, callback, video::EMT_SOLID, 0,
        video::EGSL_DEFAULT);
    if (material < 0) {
        // A failed effect is left out of the chain rather than drawn with a broken material.
        logMessagePair("ERROR: Could not compile post-processing effect, it is skipped: ", file.c_str());
        callback->drop();
        return false;
    }
    PostProcessingEffectRecord record;
    record.callback = callback; // the record keeps the creation reference
    record.materialType = material;
    postEffects.push_back(std::move(record));
    postEffectsSorted = postEffects.size() < 2;
    return true;
}

void EffectHandler::setPostProcessingEffectConstant(s32 materialType, const core::stringc& name, const f32* data) {
    PostProcessingEffectRecord* record = findPostEffect(materialType);
    if (record && record->callback)
        record->callback->uniforms[name] = ScreenQuadShaderCallback::Uniform{data, 16};
}

video::ITexture* EffectHandler::createRandomVectorTexture(const core::dimension2du& size, const io::path& name) {
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, size);
    if (!image)
        return nullptr;
    std::srand(device->getTimer()->getRealTime());
    auto draw = [] { return static_cast<f32>(std::rand() % 32768) / 32767.0f; };
    for (u32 x = 0; x < size.Width; ++x)
        for (u32 y = 0; y < size.Height; ++y) {
            f32 a, b, c;
            do {
                a = draw();
                b = draw();
                c = draw();
            } while (a * a + b * b + c * c > 1.0f);
            image->setPixel(x, y, video::SColorf(a, b, c, 1.0f).toSColor());
        }
    video::ITexture* texture = driver->addTexture(name, image);
    image->drop();
    return texture;
}

void EffectHandler::renderPostProcessChain(u32 count, video::ITexture* output) {
    count = core::min_(count, static_cast<u32>(postEffects.size()));
    video::SMaterial& quad = screenQuad.material;
    quad.TextureLayer[1].Texture = colorRTT;
    quad.TextureLayer[2].Texture = depthRTT;
    for (u32 i = 0; i < count; ++i) {
        PostProcessingEffectRecord& record = postEffects[i];
        quad.MaterialType = static_cast<video::E_MATERIAL_TYPE>(record.materialType);
        quad.TextureLayer[0].Texture = i == 0 ? colorRTT : screenQuad.renderTargets[i % 2 == 1 ? 1 : 0];
        video::ITexture* target = i + 1 == count ? output : screenQuad.renderTargets[i % 2 == 0 ? 1 : 0];
        driver->setRenderTarget(target, true, true, postClearColor);
        if (record.renderCallback)
            record.renderCallback->OnPreRender(this);
        screenQuad.render(driver);
        if (record.renderCallback)
            record.renderCallback->OnPostRender(this);
    }
}

// --- depth pass ---------------------------------------------------------------------------------

scene::ISceneNode* EffectHandler::nodeForDepthMaterial() const {
    if (casterBeingDrawn)
        return casterBeingDrawn;
    return lightManager ? lightManager->currentNode : nullptr;
}

void EffectHandler::renderDepthPass() {
    video::ITexture* target = getDepthTexture();
    scene::ICameraSceneNode* camera = device->getSceneManager()->getActiveCamera();
    if (!target || !camera)
        return;
    driver->setRenderTarget(target, true, true, video::SColor(255, 255, 255, 255));
    depthFarValue = camera->getFarValue();
    for (DepthShaderCallback* callback : {depthCallback, skinnedDepthCallback, instancedDepthCallback})
        if (callback)
            callback->farValue = depthFarValue;
    camera->render();
    for (scene::ISceneNode* node : depthPassNodes) {
        if (!node->isTrulyVisible())
            continue;
        const u32 materials = node->getMaterialCount();
        savedMaterialTypes.clear();
        for (u32 i = 0; i < materials; ++i)
            savedMaterialTypes.push_back(node->getMaterial(i).MaterialType);
        for (u32 i = 0; i < materials; ++i)
            node->getMaterial(i).MaterialType = static_cast<video::E_MATERIAL_TYPE>(depthMaterial);
        casterBeingDrawn = node;
        node->render();
        casterBeingDrawn = nullptr;
        for (u32 i = 0; i < materials; ++i)
            node->getMaterial(i).MaterialType = static_cast<video::E_MATERIAL_TYPE>(savedMaterialTypes[i]);
    }
    driver->setRenderTarget(nullptr, false, false, video::SColor(0));
}
