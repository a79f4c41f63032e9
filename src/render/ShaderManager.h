#pragma once

#include "render/ShadowReceivers.h"

#include <irrlicht.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

class SkinningShaderCallback;
class CircleShaderCallback;
class AdditiveShaderCallback;
class MeterShaderCallback;
class WaterShaderCallback;
class PhongShaderCallback;

// Feature flags of a surface: the key from which the shader manager picks a material.
namespace shaderFlag {
constexpr irr::s32 transparent = 0x001; // alpha-blended base material
constexpr irr::s32 reflection = 0x002;
constexpr irr::s32 highlight = 0x004;
constexpr irr::s32 skinning = 0x008;
constexpr irr::s32 caustics = 0x020;
constexpr irr::s32 playerTranslucent = 0x040; // alpha-blended base material
constexpr irr::s32 player = 0x080;
constexpr irr::s32 instancing = 0x100;
constexpr irr::s32 lightMap = 0x200;
} // namespace shaderFlag

// The flags of the Phong variants rebuildShaders makes, in their order. Every other
// combination is served by the plain variant.
extern const irr::s32 phongVariantFlags[15];

// Owns the game's own material shaders: the Phong family (one source compiled once per
// combination of feature flags), the named shaders (circle, meter, particle, glow, water)
// and their constant callbacks, and answers which engine material a surface with given
// feature flags uses. Quality 2 and a failed plain Phong variant fall back to the engine's
// fixed-function materials. One instance, reached through `shaderManager`.
class ShaderManager {
public:
    ShaderManager();
    ~ShaderManager();
    ShaderManager(const ShaderManager&) = delete;
    ShaderManager& operator=(const ShaderManager&) = delete;

    // Start-up: callbacks, quality, highlight textures, named shaders and the Phong family.
    void init();
    // Both compile a variant of the family that waits (see rebuildShaders) when asked for it.
    irr::s32 getMaterialType(irr::s32 flags);
    // Whether the material type is one of the general Phong variants.
    bool isPhongMaterial(irr::s32 type) const { return variantFlagsOfMaterial.count(type) != 0; }
    // The variant map's value, 0 when the key is absent.
    irr::s32 findVariantMaterial(irr::s32 flags);
    // The Phong variant `material` specialised for the pixel features (phongPixelFeature bits),
    // compiled on first use and kept; -1 when `material` is no Phong variant or the program
    // failed (its users keep the general one).
    irr::s32 specializedMaterial(irr::s32 material, irr::u32 features);
    // Around a node's draw (the light manager's hooks): its Phong materials take the program
    // specialised for what is off in this draw, and get their own back afterwards.
    // A node that receives shadows reads the shadow maps only where a caster's shadow can
    // reach it (EffectHandler::shadowReceivers): nowhere, everywhere, or in pieces of the
    // target, the first drawn by the scene manager within the driver's scissor box and the
    // others by drawRemainingPieces after it.
    void specializeNodeMaterials(irr::scene::ISceneNode* node);
    void drawRemainingPieces(irr::scene::ISceneNode* node);
    void restoreNodeMaterials(irr::scene::ISceneNode* node);
    // Around a node's draw without shaders (the same hooks): a mesh's lit fixed-function
    // materials take the diffuse colour times the vertex colour, which is what the Phong
    // vertex stage hands on, and get their own colours back afterwards.
    void tintFixedFunctionMaterials(irr::scene::ISceneNode* node);
    void restoreFixedFunctionMaterials(irr::scene::ISceneNode* node);
    // Off: every draw runs the general variants.
    bool specializeDraws = true;
    // Nodes drawn in pieces so far.
    std::size_t drawsInPieces = 0;
    // How many specialised programs compiled so far.
    std::size_t specializedProgramCount() const;
    bool areShadersEnabled() const { return shaderLevel >= 2 && graphicsQuality != 2; }
    // The light objects' and the frame's test: the Phong shaders light the scene.
    bool isShaderLightingOn() const { return areShadersEnabled(); }
    // Compiles the plain variant at once (every other falls back to it, and its failure turns
    // the shaders off); the others of phongVariantFlags wait until they are first asked for
    // or buildWaitingVariants runs (the title draws none of them, and each costs the start).
    void rebuildShaders();
    // Compiles the variants that still wait, in their order; stops early when the game quits.
    // Called once a level has loaded, so that no variant compiles while it plays.
    void buildWaitingVariants();
    // The flags whose variants wait, in their order.
    const std::vector<irr::s32>& waitingVariants() const { return variantsWaiting; }
    irr::s32 buildShaderVariant(irr::s32 flags, const std::string& vertexSource,
                                const std::string& pixelSource, irr::video::IGPUProgrammingServices* gpu);
    void loadShaders();
    // True on the drivers whose shaders this build has (OpenGL).
    bool runsGameShaders() const;
    // A missing source file is logged here (the engine would only report a failed compile);
    // its shaders then fail and their users fall back.
    bool reportMissingShaderFile(const irr::io::path& file) const;
    void writeCompileBatch();
    // Vertex extension, pixel extension and sub-folder of the driver's shader files.
    void getShaderFileName(irr::core::stringc& vertexExtension, irr::core::stringc& pixelExtension,
                           irr::core::stringc& subfolder) const;

    SkinningShaderCallback* skinningCallback = nullptr;
    CircleShaderCallback* circleCallback = nullptr;
    AdditiveShaderCallback* additiveCallback = nullptr;
    MeterShaderCallback* meterCallback = nullptr;
    WaterShaderCallback* waterCallback = nullptr;
    std::vector<PhongShaderCallback*> phongCallbacks;
    std::vector<irr::s32> transparentVariantMaterials;
    std::vector<irr::core::stringc> writtenVariantNames;
    irr::core::stringc shaderFolder = "Content/Shaders/";
    irr::core::stringc baseShaderName = "ShaderPhong";
    irr::s32 glowMaterial = 0;
    irr::s32 glowSkinnedMaterial = 0;
    irr::s32 circleMaterial = 0;
    irr::s32 meterMaterial = 0;
    irr::s32 waterMaterial = irr::video::EMT_TRANSPARENT_ALPHA_CHANNEL;
    irr::s32 waterMaterialSM3 = irr::video::EMT_TRANSPARENT_ALPHA_CHANNEL;
    irr::s32 particleSolidMaterial = irr::video::EMT_SOLID;
    irr::s32 particleAddMaterial = irr::video::EMT_TRANSPARENT_ADD_COLOR;
    irr::s32 particleAlphaMaterial = irr::video::EMT_TRANSPARENT_ALPHA_CHANNEL;
    irr::s32 particleAlphaRefMaterial = irr::video::EMT_TRANSPARENT_ALPHA_CHANNEL;
    irr::s32 shaderLevel = 0;
    irr::video::ITexture* highlightInRangeTexture = nullptr;
    irr::video::ITexture* highlightSuspiciousTexture = nullptr;
    irr::video::ITexture* highlightImportantTexture = nullptr;
    irr::video::ITexture* highlightGrabbedTexture = nullptr;
    irr::IrrlichtDevice* device = nullptr;
    irr::video::E_DRIVER_TYPE driverType = irr::video::EDT_NULL;
    irr::s32 graphicsQuality = 0;
    bool useIndexedArrayNames = false;
    bool variantsBuilt = false;
    bool writeShaderSources = false;
    bool usePrecompiledShaders = true;

private:
    // The shadow switch of a node's draw: noShadowLookup where no shadow reaches it, and the
    // first piece's when it is drawn in pieces.
    irr::u32 shadowLookupFeatures(irr::scene::ISceneNode* node);
    void swapNodeMaterials(irr::scene::ISceneNode* node, irr::u32 nodePixelFeatures);
    void unswapNodeMaterials(irr::scene::ISceneNode* node);
    void endPieces();
    irr::s32 compilePhongVariant(irr::s32 flags, const std::string& extraDefines, const std::string& vertexSource,
                                 const std::string& pixelSource, irr::video::IGPUProgrammingServices* gpu);
    void forgetSpecializedMaterials();

    // The sources of the Phong family as rebuildShaders read them (light count in front).
    std::string phongVertexSource;
    std::string phongPixelSource;
    std::vector<irr::s32> variantsWaiting;
    // Compiles the variant of `flags` when it waits.
    void buildWhenWaiting(irr::s32 flags);
    // General Phong variant material to its feature flags.
    std::map<irr::s32, irr::s32> variantFlagsOfMaterial;
    // {general material, pixel features} to the specialised material (-1: failed).
    std::map<std::pair<irr::s32, irr::u32>, irr::s32> specializedMaterials;
    // A material swapped for a draw; a draw may draw other nodes inside (an image pass), so
    // the swaps of every node being drawn are kept until its draw ends.
    struct SwappedMaterial {
        irr::scene::ISceneNode* node;
        irr::u32 index;
        irr::s32 general;
        irr::s32 specialized;
        irr::video::ITexture* atlas; // taken off for a program that reads no shadow map
    };
    std::vector<SwappedMaterial> swappedMaterials;
    // The node being drawn in pieces (null: none), its pieces and its pixel features.
    irr::scene::ISceneNode* piecesNode = nullptr;
    std::vector<ShadowReceivers::Piece> pieces;
    irr::u32 nodeFeatures = 0;
    // Colours tinted for a draw: the material's own, and what the draw was given.
    struct TintedMaterial {
        irr::scene::ISceneNode* node;
        irr::u32 index;
        irr::video::SColor diffuse;
        irr::video::SColor ambient;
        irr::video::SColor shown;
    };
    std::vector<TintedMaterial> tintedMaterials;

    std::string readShaderFile(const irr::io::path& file) const;
    void writeVariantSource(irr::s32 flags, const std::string& text);
    irr::s32 compileNamedShader(const irr::io::path& vertexFile, const char* vertexEntry,
                                const irr::io::path& pixelFile, const char* pixelEntry,
                                irr::video::IShaderConstantSetCallBack* callback,
                                irr::video::E_MATERIAL_TYPE base,
                                irr::video::E_VERTEX_SHADER_TYPE vertexTarget = irr::video::EVST_VS_2_0,
                                irr::video::E_PIXEL_SHADER_TYPE pixelTarget = irr::video::EPST_PS_2_0);
};

// The variant map: feature flags to engine material type, for the whole process.
std::map<irr::s32, irr::s32>& shaderVariantMap();
