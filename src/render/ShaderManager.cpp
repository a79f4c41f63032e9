#include "render/ShaderManager.h"
#include "render/ShaderUniforms.h"

#include "render/EffectHandler.h"
#include "render/LightManager.h"
#include "render/RenderServices.h"
#include "render/ShaderCallbacks.h"
#include "render/TextureMipMaps.h"
#include "render/ShadowReceivers.h"
#include "render/TextureLayers.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "core/ProcessGuards.h"
#include "platform/GraphicsScissor.h"
#include "platform/TextureFiltering.h"

#include <algorithm>

using namespace irr;

const s32 phongVariantFlags[15] = {0x0, 0x100, 0x1, 0x8, 0x9, 0xC8, 0x88, 0x4,
                                   0x5, 0xC, 0xD, 0x2, 0x3, 0x200, 0x201};

std::map<s32, s32>& shaderVariantMap() {
    static std::map<s32, s32> map;
    return map;
}

namespace {

// Feature define lines in the order they are written into a variant's source.
struct FeatureDefineLine {
    s32 flag;
    const char* line;
};
const FeatureDefineLine featureDefineLines[] = {
    {shaderFlag::reflection, "#define USE_REFLECTION \n"},
    {shaderFlag::instancing, "#define USE_INSTANCING \n"},
    {shaderFlag::highlight, "#define USE_HIGHLIGHT \n"},
    {shaderFlag::skinning, "#define USE_SKINNING \n"},
    {shaderFlag::caustics, "#define USE_CAUSTICS \n"},
    {shaderFlag::lightMap, "#define USE_LIGHTMAP \n"},
    {shaderFlag::player, "#define USE_TENTARO \n"},
    {shaderFlag::playerTranslucent, "#define USE_TENTTRANS \n"},
};

bool hardwareSkinningOn() { return effectHandler && effectHandler->hardwareSkinning; }

template <class T> void dropCallback(T*& callback) {
    if (callback)
        callback->drop();
    callback = nullptr;
}

} // namespace

// The programs of another shader manager's driver are gone.
ShaderManager::ShaderManager() { shaderUniforms().forget(); }

ShaderManager::~ShaderManager() {
    shaderUniforms().forget();
    dropCallback(skinningCallback);
    dropCallback(circleCallback);
    dropCallback(additiveCallback);
    dropCallback(meterCallback);
    dropCallback(waterCallback);
    for (PhongShaderCallback*& callback : phongCallbacks)
        dropCallback(callback);
    phongCallbacks.clear();
}

void ShaderManager::init() {
    device = gameDevice;
    if (!device)
        return;
    video::IVideoDriver* driver = device->getVideoDriver();
    driverType = driver->getDriverType();
    if (driverType != video::EDT_DIRECT3D9)
        usePrecompiledShaders = false;

    shaderLevel = 3;
    // A restart makes a new device: material types of the old one mean nothing any more.
    shaderVariantMap().clear();
    shaderVariantMap()[0] = -1;
    variantFlagsOfMaterial.clear();
    forgetSpecializedMaterials();

    skinningCallback = new SkinningShaderCallback();
    circleCallback = new CircleShaderCallback();
    additiveCallback = new AdditiveShaderCallback();
    meterCallback = new MeterShaderCallback();
    waterCallback = new WaterShaderCallback();

    graphicsQuality = getSettingInt("Graphics_Quality");
    if (graphicsQuality == 1 && driverType != video::EDT_DIRECT3D9)
        graphicsQuality = 0;
    device->getSceneManager()->getParameters()->setAttribute(scene::ALLOW_ZWRITE_ON_TRANSPARENT,
                                                             graphicsQuality == 2);
    useIndexedArrayNames = false;
    variantsBuilt = false;

    {
        // Textures of the scene's materials, even while the start-up loads its pictures flat.
        const TextureMipMaps sceneTextures(driver, true);
        highlightInRangeTexture = driver->getTexture("Content/Models/Editor/PhongInRange.png");
        highlightSuspiciousTexture = driver->getTexture("Content/Models/Editor/PhongSuspicious.png");
        highlightImportantTexture = driver->getTexture("Content/Models/Editor/PhongImportant.png");
        highlightGrabbedTexture = driver->getTexture("Content/Models/Editor/PhongGrabbed.png");
    }

    if (driverType == video::EDT_OPENGL && !platform::anisotropicFilterAllowed())
        logMessagePair("Anisotropic texture filtering is off on this renderer: ",
                       platform::currentRendererName().c_str());

    const core::stringc vendor = driver->getVendorInfo();
    useIndexedArrayNames = driverType == video::EDT_OPENGL && vendor.find("ATI") < 0;

    loadShaders();
    rebuildShaders();
    writeCompileBatch();
}

void ShaderManager::getShaderFileName(core::stringc& vertexExtension, core::stringc& pixelExtension,
                                      core::stringc& subfolder) const {
    if (driverType == video::EDT_OPENGL) {
        vertexExtension = ".vert";
        pixelExtension = ".frag";
        subfolder = "glsl/";
    } else {
        vertexExtension = ".hlsl";
        pixelExtension = ".hlsl";
        subfolder = "hlsl/";
    }
}

s32 ShaderManager::compileNamedShader(const io::path& vertexFile, const char* vertexEntry,
                                      const io::path& pixelFile, const char* pixelEntry,
                                      video::IShaderConstantSetCallBack* callback,
                                      video::E_MATERIAL_TYPE base, video::E_VERTEX_SHADER_TYPE vertexTarget,
                                      video::E_PIXEL_SHADER_TYPE pixelTarget) {
    video::IGPUProgrammingServices* gpu = device->getVideoDriver()->getGPUProgrammingServices();
    // A game that is quitting compiles nothing more (each program takes its while).
    if (!gpu || !runsGameShaders() || gameQuitting())
        return -1;
    const bool vertexFound = reportMissingShaderFile(vertexFile);
    const bool pixelFound = reportMissingShaderFile(pixelFile);
    if (!vertexFound || !pixelFound)
        return -1;
    return gpu->addHighLevelShaderMaterialFromFiles(vertexFile, vertexEntry, vertexTarget, pixelFile, pixelEntry,
                                                    pixelTarget, "", "main", video::EGST_GS_4_0,
                                                    scene::EPT_TRIANGLES, scene::EPT_TRIANGLE_STRIP, 0, callback,
                                                    base, 0, video::EGSL_DEFAULT);
}

void ShaderManager::loadShaders() {
    core::stringc vertexExtension, pixelExtension, subfolder;
    getShaderFileName(vertexExtension, pixelExtension, subfolder);
    const core::stringc folder = shaderFolder + subfolder;
    auto vertexFile = [&](const char* stem) { return io::path(folder + stem + vertexExtension); };
    auto pixelFile = [&](const char* stem) { return io::path(folder + stem + pixelExtension); };
    using video::E_MATERIAL_TYPE;

    circleMaterial = compileNamedShader(vertexFile("CircleShader"), "BasicVS", pixelFile("CircleShader"),
                                        "MyShader", circleCallback, video::EMT_TRANSPARENT_ALPHA_CHANNEL);
    meterMaterial = compileNamedShader(vertexFile("MeterShader"), "BasicVS", pixelFile("MeterShader"), "MyShader",
                                       meterCallback, video::EMT_TRANSPARENT_ALPHA_CHANNEL);
    const E_MATERIAL_TYPE particleBases[4] = {video::EMT_TRANSPARENT_ALPHA_CHANNEL, video::EMT_TRANSPARENT_ADD_COLOR,
                                              video::EMT_TRANSPARENT_ALPHA_CHANNEL_REF, video::EMT_SOLID};
    s32* particleFields[4] = {&particleAlphaMaterial, &particleAddMaterial, &particleAlphaRefMaterial,
                              &particleSolidMaterial};
    for (int i = 0; i < 4; ++i)
        *particleFields[i] = compileNamedShader(vertexFile("ParticleShader"), "BasicVS", pixelFile("ParticleShader"),
                                                "MyShader", additiveCallback, particleBases[i]);
    glowMaterial = compileNamedShader(vertexFile("ShaderGlow"), "BasicVS", pixelFile("ShaderGlow"), "IxionPS",
                                      skinningCallback, video::EMT_TRANSPARENT_ADD_COLOR);

    // The water files are fixed paths; on OpenGL both water materials share them.
    io::path waterVertex = "Content/Shaders/hlsl/Water_vs.hlsl";
    io::path waterPixel = "Content/Shaders/hlsl/Water_ps.hlsl";
    io::path litWaterVertex = "Content/Shaders/hlsl/Water_vsL.hlsl";
    io::path litWaterPixel = "Content/Shaders/hlsl/Water_psL.hlsl";
    if (driverType == video::EDT_OPENGL) {
        waterVertex = litWaterVertex = "Content/Shaders/glsl/Water_vs.glsl";
        waterPixel = litWaterPixel = "Content/Shaders/glsl/Water_ps.glsl";
    }
    waterMaterial = compileNamedShader(waterVertex, "main", waterPixel, "main", waterCallback,
                                       video::EMT_TRANSPARENT_ALPHA_CHANNEL);
    waterMaterialSM3 = compileNamedShader(litWaterVertex, "main", litWaterPixel, "main", waterCallback,
                                          video::EMT_TRANSPARENT_ALPHA_CHANNEL, video::EVST_VS_3_0,
                                          video::EPST_PS_3_0);
    if (waterMaterialSM3 < 0)
        waterMaterialSM3 = waterMaterial;
}

bool ShaderManager::reportMissingShaderFile(const io::path& file) const {
    if (device->getFileSystem()->existFile(file))
        return true;
    logMessagePair("ERROR: Could not open shader file: ", file.c_str());
    return false;
}

bool ShaderManager::runsGameShaders() const { return driverType == video::EDT_OPENGL; }

std::string ShaderManager::readShaderFile(const io::path& file) const {
    // Only the OpenGL driver runs the game's shaders in this build (the Direct3D sources are
    // not part of it): the other drivers fall back without looking for files that cannot
    // exist.
    if (!runsGameShaders())
        return {};
    if (!reportMissingShaderFile(file))
        return {};
    io::IReadFile* reader = device->getFileSystem()->createAndOpenFile(file);
    if (!reader)
        return {};
    std::string text(static_cast<std::size_t>(reader->getSize()), '\0');
    const s32 read = reader->read(text.data(), static_cast<u32>(text.size()));
    text.resize(read > 0 ? static_cast<std::size_t>(read) : 0);
    reader->drop();
    return text;
}

void ShaderManager::rebuildShaders() {
    device = gameDevice;
    if (!device)
        return;
    video::IGPUProgrammingServices* gpu = device->getVideoDriver()->getGPUProgrammingServices();
    shaderLevel = 3;
    core::stringc vertexExtension, pixelExtension, subfolder;
    getShaderFileName(vertexExtension, pixelExtension, subfolder);
    const io::path vertexFile = shaderFolder + subfolder + baseShaderName + vertexExtension;
    const io::path pixelFile = shaderFolder + subfolder + baseShaderName + pixelExtension;

    // The shaders hold at most eight light records.
    u32 lights = lightManager ? lightManager->maxLightsPerNode : 4;
    if (graphicsQuality == 1)
        lights = 1;
    lights = core::clamp<u32>(lights, 1, maxLightRecords);
    const std::string prefix = "#define MAX_LIGHTS_PER_OBJECT " + std::to_string(lights) + "\n";
    const std::string vertexSource = prefix + readShaderFile(vertexFile);
    const std::string pixelSource = prefix + readShaderFile(pixelFile);
    forgetSpecializedMaterials();
    phongVertexSource = vertexSource;
    phongPixelSource = pixelSource;
    variantsWaiting.clear();

    if (graphicsQuality != 2) {
        buildShaderVariant(0, vertexSource, pixelSource, gpu);
        for (s32 flags : phongVariantFlags)
            if (flags != 0)
                variantsWaiting.push_back(flags);
        // The developer switch writes every variant's text for the compile batch at once.
        if (writeShaderSources)
            buildWaitingVariants();
        variantsBuilt = true;
        if (shaderVariantMap()[0] < 0) {
            shaderLevel = 0;
            graphicsQuality = 2;
            variantsWaiting.clear();
        }
    }
    if ((shaderLevel <= 0 || graphicsQuality == 2) && effectHandler) {
        effectHandler->hardwareSkinning = false;
        effectHandler->instancing = false;
    }
}

void ShaderManager::buildWaitingVariants() {
    while (!variantsWaiting.empty()) {
        // A game that is quitting compiles nothing more (each program takes its while).
        if (gameQuitting())
            return;
        buildWhenWaiting(variantsWaiting.front());
    }
}

void ShaderManager::buildWhenWaiting(s32 flags) {
    if (std::find(variantsWaiting.begin(), variantsWaiting.end(), flags) == variantsWaiting.end())
        return;
    // buildShaderVariant takes the flags off the list (a failed compile serves the plain one).
    buildShaderVariant(flags, phongVertexSource, phongPixelSource,
                       device ? device->getVideoDriver()->getGPUProgrammingServices() : nullptr);
}

s32 ShaderManager::buildShaderVariant(s32 flags, const std::string& vertexSource, const std::string& pixelSource,
                                      video::IGPUProgrammingServices* gpu) {
    variantsWaiting.erase(std::remove(variantsWaiting.begin(), variantsWaiting.end(), flags), variantsWaiting.end());
    if (const auto& renderLoadingFrame = renderServices().screens.renderLoadingFrame)
        renderLoadingFrame();
    const s32 material = compilePhongVariant(flags, std::string(), vertexSource, pixelSource, gpu);
    shaderVariantMap()[flags] = material;
    if (material > 0)
        variantFlagsOfMaterial[material] = flags;
    if (writeShaderSources) {
        std::string defines = driverType == video::EDT_OPENGL ? "#version 120\n" : "";
        for (const FeatureDefineLine& define : featureDefineLines)
            if ((flags & define.flag) && !(define.flag == shaderFlag::skinning && !hardwareSkinningOn()))
                defines += define.line;
        writeVariantSource(flags, defines + vertexSource);
    }
    const bool alphaBlended = (flags & (shaderFlag::transparent | shaderFlag::playerTranslucent)) != 0;
    if (material > 1 && alphaBlended && !(flags & (shaderFlag::player | shaderFlag::playerTranslucent)))
        transparentVariantMaterials.push_back(material);
    return material;
}

// One program of the Phong family: the feature defines of `flags`, then `extraDefines`, then
// the sources. Its callback's creation reference goes to phongCallbacks.
s32 ShaderManager::compilePhongVariant(s32 flags, const std::string& extraDefines, const std::string& vertexSource,
                                       const std::string& pixelSource, video::IGPUProgrammingServices* gpu) {
    std::string defines = driverType == video::EDT_OPENGL ? "#version 120\n" : "";
    const bool sm2 = driverType != video::EDT_OPENGL && graphicsQuality == 1;
    const video::E_VERTEX_SHADER_TYPE vertexTarget = sm2 ? video::EVST_VS_2_0 : video::EVST_VS_3_0;
    const video::E_PIXEL_SHADER_TYPE pixelTarget = sm2 ? video::EPST_PS_2_0 : video::EPST_PS_3_0;
    const bool alphaBlended = (flags & (shaderFlag::transparent | shaderFlag::playerTranslucent)) != 0;
    const video::E_MATERIAL_TYPE base = alphaBlended ? video::EMT_TRANSPARENT_ALPHA_CHANNEL : video::EMT_SOLID;
    for (const FeatureDefineLine& define : featureDefineLines) {
        if (!(flags & define.flag))
            continue;
        if (define.flag == shaderFlag::skinning && !hardwareSkinningOn())
            continue;
        defines += define.line;
    }
    defines += extraDefines;

    auto* callback = new PhongShaderCallback();
    s32 material = -1;
    if (gpu) {
        const std::string vertexText = defines + vertexSource;
        const std::string pixelText = driverType == video::EDT_OPENGL ? defines + pixelSource : vertexText;
        material = gpu->addHighLevelShaderMaterial(vertexText.c_str(), "BasicVS", vertexTarget, pixelText.c_str(),
                                                   "IxionPS", pixelTarget, nullptr, "main", video::EGST_GS_4_0,
                                                   scene::EPT_TRIANGLES, scene::EPT_TRIANGLE_STRIP, 0, callback,
                                                   base, flags, video::EGSL_DEFAULT);
    }
    // The list holds the creation reference: the engine's material keeps its own.
    phongCallbacks.push_back(callback);
    return material;
}

void ShaderManager::forgetSpecializedMaterials() {
    specializedMaterials.clear();
    swappedMaterials.clear();
}

s32 ShaderManager::specializedMaterial(s32 material, u32 features) {
    const auto general = variantFlagsOfMaterial.find(material);
    if (general == variantFlagsOfMaterial.end() || !device)
        return -1;
    const auto key = std::make_pair(material, features & phongPixelFeature::all);
    const auto known = specializedMaterials.find(key);
    if (known != specializedMaterials.end())
        return known->second;
    // Not now, and not remembered as failed: the game is quitting.
    if (gameQuitting())
        return -1;
    video::IGPUProgrammingServices* gpu = device->getVideoDriver()->getGPUProgrammingServices();
    // Built in the middle of a draw: under the loading screen (a level's first frames), a
    // loading frame first, as for the programs built while the level loads.
    if (effectHandler)
        effectHandler->loadingFrameBetweenDraws();
    s32 specialized = -1;
    if (gpu && runsGameShaders() && !phongPixelSource.empty())
        specialized = compilePhongVariant(general->second, phongPixelFeatureDefines(key.second), phongVertexSource,
                                          phongPixelSource, gpu);
    if (specialized <= 0) {
        logMessage("A specialised Phong program did not compile; its draws keep the general one.");
        specialized = -1;
    }
    specializedMaterials[key] = specialized;
    return specialized;
}

std::size_t ShaderManager::specializedProgramCount() const {
    std::size_t count = 0;
    for (const auto& entry : specializedMaterials)
        count += entry.second > 0 ? 1 : 0;
    return count;
}

namespace {
// Takes the node's swaps out of the list (a draw may draw other nodes inside, whose swaps
// stay), handing each whose material the node still has to `restore`.
template <class Swap, class Restore>
void takeBackSwaps(scene::ISceneNode* node, std::vector<Swap>& swaps, Restore restore) {
    if (!node)
        return;
    const u32 materials = node->getMaterialCount();
    std::size_t kept = 0;
    for (const Swap& swap : swaps) {
        if (swap.node != node)
            swaps[kept++] = swap;
        else if (swap.index < materials)
            restore(node->getMaterial(swap.index), swap);
    }
    swaps.resize(kept);
}
} // namespace

void ShaderManager::specializeNodeMaterials(scene::ISceneNode* node) {
    // Only quality 0 on OpenGL runs the Phong programs with every switch sent per draw.
    if (!node || !specializeDraws || graphicsQuality != 0 || !areShadersEnabled() || variantFlagsOfMaterial.empty())
        return;
    const u32 materials = node->getMaterialCount();
    bool phong = false;
    for (u32 i = 0; i < materials && !phong; ++i)
        phong = variantFlagsOfMaterial.count(node->getMaterial(i).MaterialType) != 0;
    if (!phong)
        return;
    u32 features = phongNodePixelFeatures(node);
    if (!(features & phongPixelFeature::noShadows))
        features |= shadowLookupFeatures(node);
    nodeFeatures = features;
    swapNodeMaterials(node, features);
}

u32 ShaderManager::shadowLookupFeatures(scene::ISceneNode* node) {
    if (!effectHandler || !effectHandler->shadowReceivers || piecesNode)
        return 0;
    video::IVideoDriver* driver = device->getVideoDriver();
    const core::matrix4 viewProjection =
        driver->getTransform(video::ETS_PROJECTION) * driver->getTransform(video::ETS_VIEW);
    s32 viewport[4] = {0, 0, 0, 0};
    // Pieces are drawn within the driver's scissor box: OpenGL only, and only nodes that draw
    // their own mesh and nothing else.
    const scene::ESCENE_NODE_TYPE type = node->getType();
    const bool cuttable = (type == scene::ESNT_MESH || type == scene::ESNT_ANIMATED_MESH ||
                           type == scene::ESNT_CUBE || type == scene::ESNT_SPHERE) &&
                          platform::currentViewport(viewport);
    if (!cuttable) {
        // The whole target stands in for the viewport: its pieces are not drawn.
        const core::dimension2du size = driver->getCurrentRenderTargetSize();
        viewport[2] = static_cast<s32>(size.Width);
        viewport[3] = static_cast<s32>(size.Height);
    }
    switch (effectHandler->shadowReceivers->reach(node, viewProjection, viewport, pieces)) {
    case ShadowReceivers::Reach::unshadowed:
        return phongPixelFeature::noShadows;
    case ShadowReceivers::Reach::facingOnly:
        return phongPixelFeature::noShadowLookup;
    case ShadowReceivers::Reach::everywhere:
        return 0;
    case ShadowReceivers::Reach::inPieces:
        break;
    }
    if (!cuttable || pieces.empty())
        return 0;
    piecesNode = node;
    const ShadowReceivers::Piece& first = pieces.front();
    platform::setScissorBox(first.x0, first.y0, first.x1 - first.x0, first.y1 - first.y0);
    return first.readsMaps ? 0u : phongPixelFeature::noShadowLookup;
}

void ShaderManager::drawRemainingPieces(scene::ISceneNode* node) {
    if (!node || node != piecesNode)
        return;
    // The first piece is what the scene manager has just drawn. The pieces of its kind come
    // next and the others after them: the program changes once.
    const u32 features = nodeFeatures & ~phongPixelFeature::noShadowLookup;
    const bool firstReads = pieces.front().readsMaps;
    for (const bool readsMaps : {firstReads, !firstReads}) {
        bool programSet = readsMaps == firstReads;
        for (std::size_t i = 1; i < pieces.size(); ++i) {
            const ShadowReceivers::Piece& piece = pieces[i];
            if (piece.readsMaps != readsMaps)
                continue;
            if (!programSet) {
                unswapNodeMaterials(node);
                swapNodeMaterials(node, features | (readsMaps ? 0u : phongPixelFeature::noShadowLookup));
                programSet = true;
            }
            platform::setScissorBox(piece.x0, piece.y0, piece.x1 - piece.x0, piece.y1 - piece.y0);
            node->render();
        }
    }
    ++drawsInPieces;
    endPieces();
}

void ShaderManager::endPieces() {
    platform::clearScissorBox();
    piecesNode = nullptr;
}

void ShaderManager::swapNodeMaterials(scene::ISceneNode* node, u32 nodePixelFeatures) {
    const u32 materials = node->getMaterialCount();
    for (u32 i = 0; i < materials; ++i) {
        video::SMaterial& material = node->getMaterial(i);
        const s32 general = material.MaterialType;
        if (variantFlagsOfMaterial.find(general) == variantFlagsOfMaterial.end())
            continue;
        const u32 features = nodePixelFeatures | phongMaterialPixelFeatures(material);
        if (!features)
            continue;
        const s32 specialized = specializedMaterial(general, features);
        if (specialized <= 0)
            continue;
        material.MaterialType = static_cast<video::E_MATERIAL_TYPE>(specialized);
        // A program that reads no map draws without the atlas bound.
        video::ITexture* atlas = nullptr;
        if (features & (phongPixelFeature::noShadows | phongPixelFeature::noShadowLookup)) {
            atlas = material.getTexture(textureLayer::shadowAtlas);
            material.setTexture(textureLayer::shadowAtlas, nullptr);
        }
        swappedMaterials.push_back(SwappedMaterial{node, i, general, specialized, atlas});
    }
}

void ShaderManager::restoreNodeMaterials(scene::ISceneNode* node) {
    unswapNodeMaterials(node);
    // A node whose pieces were not drawn leaves the target whole all the same.
    if (node && node == piecesNode)
        endPieces();
}

void ShaderManager::unswapNodeMaterials(scene::ISceneNode* node) {
    takeBackSwaps(
        node, swappedMaterials, [](video::SMaterial& material, const SwappedMaterial& swapped) {
            // Whatever the draw set on purpose stays.
            if (material.MaterialType == swapped.specialized)
                material.MaterialType = static_cast<video::E_MATERIAL_TYPE>(swapped.general);
            if (swapped.atlas && !material.getTexture(textureLayer::shadowAtlas))
                material.setTexture(textureLayer::shadowAtlas, swapped.atlas);
        });
}

void ShaderManager::tintFixedFunctionMaterials(scene::ISceneNode* node) {
    if (!node || areShadersEnabled() || node->getType() != scene::ESNT_ANIMATED_MESH)
        return;
    // A skinned mesh keeps joint numbers in its vertex colours: the shader reads white there.
    scene::IAnimatedMesh* animated = static_cast<scene::IAnimatedMeshSceneNode*>(node)->getMesh();
    scene::IMesh* mesh =
        animated && animated->getMeshType() != scene::EAMT_SKINNED ? animated->getMesh(0) : nullptr;
    if (!mesh)
        return;
    const u32 count = std::min(node->getMaterialCount(), mesh->getMeshBufferCount());
    for (u32 i = 0; i < count; ++i) {
        video::SMaterial& material = node->getMaterial(i);
        const scene::IMeshBuffer* buffer = mesh->getMeshBuffer(i);
        // Only what the fixed-function setup lights by the material's own colours.
        if (!material.Lighting || material.ColorMaterial != video::ECM_NONE || !buffer ||
            buffer->getVertexCount() == 0)
            continue;
        // Every vertex type begins with the standard vertex; a mesh file's buffer has one colour.
        const video::SColor vertex =
            static_cast<const video::S3DVertex*>(buffer->getVertices())->Color;
        if ((vertex.color & 0x00FFFFFFu) == 0x00FFFFFFu)
            continue;
        const auto tint = [&vertex](video::SColor colour) {
            colour.setRed(colour.getRed() * vertex.getRed() / 255u);
            colour.setGreen(colour.getGreen() * vertex.getGreen() / 255u);
            colour.setBlue(colour.getBlue() * vertex.getBlue() / 255u);
            return colour;
        };
        TintedMaterial tinted{node, i, material.DiffuseColor, material.AmbientColor,
                              tint(material.DiffuseColor)};
        material.DiffuseColor = tinted.shown;
        material.AmbientColor = tint(material.AmbientColor);
        tintedMaterials.push_back(tinted);
    }
}

void ShaderManager::restoreFixedFunctionMaterials(scene::ISceneNode* node) {
    takeBackSwaps(node, tintedMaterials,
                  [](video::SMaterial& material, const TintedMaterial& tinted) {
                      // A colour the draw set on purpose stays.
                      if (material.DiffuseColor == tinted.shown) {
                          material.DiffuseColor = tinted.diffuse;
                          material.AmbientColor = tinted.ambient;
                      }
                  });
}

s32 ShaderManager::getMaterialType(s32 flags) {
    if (shaderLevel >= 2 && graphicsQuality != 2) {
        s32 material = findVariantMaterial(flags);
        if (material <= 0)
            material = findVariantMaterial(0);
        return material >= 0 ? material : 0;
    }
    if (flags & shaderFlag::transparent)
        return video::EMT_TRANSPARENT_ALPHA_CHANNEL;
    if (flags & shaderFlag::lightMap)
        return video::EMT_LIGHTMAP;
    return video::EMT_SOLID;
}

s32 ShaderManager::findVariantMaterial(s32 flags) {
    buildWhenWaiting(flags);
    const auto it = shaderVariantMap().find(flags);
    return it == shaderVariantMap().end() ? 0 : it->second;
}

void ShaderManager::writeVariantSource(s32 flags, const std::string& text) {
    core::stringc vertexExtension, pixelExtension, subfolder;
    getShaderFileName(vertexExtension, pixelExtension, subfolder);
    const core::stringc name = baseShaderName + core::stringc(flags);
    io::IWriteFile* file = device->getFileSystem()->createAndWriteFile(shaderFolder + subfolder + name + ".fx");
    if (file) {
        file->write(text.data(), static_cast<u32>(text.size()));
        file->drop();
    }
    writtenVariantNames.push_back(name);
}

void ShaderManager::writeCompileBatch() {
    if (!writeShaderSources || !device)
        return;
    core::stringc vertexExtension, pixelExtension, subfolder;
    getShaderFileName(vertexExtension, pixelExtension, subfolder);
    const bool direct3D = driverType == video::EDT_DIRECT3D9;
    std::string text = "@echo off\r\nsetlocal\r\n";
    for (const core::stringc& name : writtenVariantNames)
        text += std::string("fxc.exe /T fx_2_0 /Fo ") + name.c_str() + ".cso " + name.c_str() + ".fx \r\n";
    text += "@endlocal\r\n";
    io::IWriteFile* file = device->getFileSystem()->createAndWriteFile(
        shaderFolder + (direct3D ? subfolder : core::stringc()) + "CompileShaders.bat");
    if (file) {
        file->write(text.data(), static_cast<u32>(text.size()));
        file->drop();
    }
}
