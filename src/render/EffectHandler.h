#pragma once

#include "render/EffectShaderCallbacks.h"
#include "render/PlanarMirror.h"
#include "render/ShadowMapCache.h"
#include "render/ShadowReceivers.h"

#include "core/Delegate.h"

#include <irrlicht.h>

#include <memory>
#include <set>
#include <vector>

class ShaderPreprocessor;
class ShadowCascades;
class CharacterTextureSource;

// An object with a pre-render and a post-render step around one post effect's draw.
class PostProcessingRenderCallback {
public:
    virtual ~PostProcessingRenderCallback() = default;
    virtual void OnPreRender(class EffectHandler* handler) = 0;
    virtual void OnPostRender(class EffectHandler* handler) = 0;
};

// The SSAO effect's matrix: the driver's projection x view before each draw of the effect.
class SSAORenderCallback : public PostProcessingRenderCallback {
public:
    explicit SSAORenderCallback(irr::s32 materialType) : materialType(materialType) {}
    void OnPreRender(class EffectHandler* handler) override;
    void OnPostRender(class EffectHandler*) override {}
    irr::core::matrix4 mViewProj;
    irr::s32 materialType;
};

// One post effect of the chain; records are kept sorted by material type.
struct PostProcessingEffectRecord {
    ScreenQuadShaderCallback* callback = nullptr;
    std::unique_ptr<PostProcessingRenderCallback> renderCallback;
    irr::s32 materialType = 0;
};

// One shadow-casting light (every one the game makes is directional).
struct ShadowLight {
    ShadowLight(irr::u32 resolution, const irr::core::vector3df& position, const irr::core::vector3df& target,
                irr::video::SColorf colour, irr::f32 nearValue, irr::f32 farValue, irr::f32 width);

    irr::video::SColorf colour;
    irr::core::vector3df position;
    irr::core::vector3df target;
    irr::f32 farPlaneScale = 1.0f;
    irr::f32 nearValue = 0.1f;
    irr::f32 farValue = 0.0f;
    irr::f32 width = 0.0f;
    irr::core::matrix4 viewMatrix;
    irr::core::matrix4 projectionMatrix;
    irr::u32 resolution = 0;
    bool directional = true;
};

// An entry of the shadow-node list: mode 0 receive only, 1 cast only, 2 both, 3 excluded.
struct ShadowNode {
    irr::scene::ISceneNode* node = nullptr;
    irr::s32 mode = 2;
    irr::s32 filter = 0;
};

// The built-in shader roles of the effect materials (their GLSL texts: effectShaderSource).
enum EffectShaderRole {
    RoleLightModulate = 0,
    RoleDepth = 1,
    RoleDepthAlpha = 2,
    RoleDepthVertex = 3,
    RoleSkinnedDepthVertex = 4,
    RoleInstancedDepthVertex = 5,
    RoleShadow = 6,
    RoleShadowVertex = 7,
    RoleCopy = 8,
    RoleWhiteWash = 9,
    RoleLuminance = 10,
    RoleScreenQuadVertex = 11,
    RoleVsmBlur = 12,
    EffectShaderRoleCount = 13
};
// Charges a render target a level asks for (a water surface's, a mirror's) to the load's
// budget (core/LoadBudget.h): its pixels, and its memory at 8 bytes a pixel (colour and
// depth). False past either (the budget logs why): the target is not made.
bool chargeLevelRenderTarget(const irr::core::dimension2du& size);

// The source text of a role for a driver column (0 OpenGL). Only the GLSL column is built
// into this program: the Direct3D columns answer null.
const char* effectShaderSource(int role, int driverColumn);

// The frame renderer: the render targets, the built-in depth, shadow, white-wash,
// luminance and screen-quad materials with their constant callbacks, the shadow lights and
// shadow-node list, the depth-pass node list, the screen quad, the split-screen and
// post-processing switches; and the frame itself (render callbacks, the viewports with
// their cameras, the scene pass, the copy to the back buffer). One instance, reached
// through `effectHandler`.
class EffectHandler {
public:
    // A screen render-target size of zero area means the driver's screen size.
    EffectHandler(irr::IrrlichtDevice* device, const irr::core::dimension2du& screenRTTSize);
    ~EffectHandler();
    // The node a depth material is drawing: the shadow or depth pass's caster, else the one
    // the light manager records.
    irr::scene::ISceneNode* nodeForDepthMaterial() const;
    EffectHandler(const EffectHandler&) = delete;
    EffectHandler& operator=(const EffectHandler&) = delete;

    // Start-up's post-processing set-up: the bloom effects, then the SSAO effects, from
    // "Content/Shaders/glsl/<name>.glsl" (bloom and SSAO stay off in this game).
    void initPostProcessing();
    // Compiles one post effect (its pixel stage from the file, the built-in screen-quad
    // vertex stage) and appends its record; a missing file or a failed compile is logged in
    // one line and adds nothing (answers false).
    bool addPostProcessingEffectFromFile(const irr::io::path& file);
    // Keeps the render callback for the record of that material type (none: dropped).
    void setPostProcessingRenderCallback(irr::s32 materialType, PostProcessingRenderCallback* callback);
    // Points the effect's uniform `name` at 16 floats that stay the caller's; nothing when no
    // record has the material type.
    void setPostProcessingEffectConstant(irr::s32 materialType, const irr::core::stringc& name, const irr::f32* data);
    // An image of random vectors in the positive octant of the unit ball, as a texture.
    irr::video::ITexture* createRandomVectorTexture(const irr::core::dimension2du& size, const irr::io::path& name);
    // The chain: effect 0 reads colorRTT, each effect writes the next ping-pong target, the
    // last one the output (null: the back buffer).
    void renderPostProcessChain(irr::u32 count, irr::video::ITexture* output);

    // --- depth pass ----------------------------------------------------------------------
    // Draws the depth-pass nodes into depthRTT with the depth material (the camera's far
    // value as MaxD), each node's material types restored afterwards.
    void renderDepthPass();

    // --- shadows -------------------------------------------------------------------------
    // One directional shadow light from the level's light position and target, a new shadow
    // camera and cascade record (one cascade, or three with shadow distance 2).
    void setShadowQuality(const irr::core::vector3df& position, const irr::core::vector3df& target);
    // The frame's shadow pass: the cascades follow the active camera and the casters of the
    // shadow-node list are drawn into the shadow atlas, cascade k in its third. The atlas is
    // kept between passes: a cascade is drawn again only where a caster in it changed, or
    // whole when its light view moved; casters outside a cascade are not drawn into it.
    void updateShadowCascades();
    // The steps the pass's light matrices move in: the focus in world units, a crop's bounds
    // in its light box (-1..1), its depth range in world units.
    static constexpr irr::f32 shadowFocusStep = 5.0f;
    static constexpr irr::f32 shadowCropStep = 0.125f;
    static constexpr irr::f32 shadowDepthStep = 8.0f;
    // Draws one entry of the shadow-node list with the depth material its materials need.
    void renderShadowCaster(irr::u32 entry, irr::scene::ICameraSceneNode* lightCamera, bool skipNonStatic);
    // Whether an entry of the shadow-node list is drawn into the maps at all: it casts (mode 1
    // or 2), is not drawn as an instance of another object, is static when the cascade takes
    // only static objects, and is visible or draws instances (`instanced`).
    bool castsIntoMap(irr::u32 entry, bool skipNonStatic, bool& instanced);
    // Fills the current viewport of the current target with the cleared shadow map: white,
    // at the far depth.
    void clearShadowViewport();
    // The shadow atlas of the current shadow light's resolution (null without a light or
    // when it cannot be made): what receiving materials put into their shadow layer.
    irr::video::ITexture* getShadowReceiverTexture();
    // Puts the shadow atlas into the shadow layer of every material of the node (point
    // sampled, clamped).
    void bindShadowMaps(irr::scene::ISceneNode* node);

    // --- character textures and thumbnail --------------------------------------------------
    // Per frame: the caustics phase, then the first player's composed textures.
    void updateCharacterTextures(irr::f32 frameSeconds);
    // The highlight layers, weighted, into tentaroLimbs (layer 3 of the character's
    // material 0).
    void composeBodyTexture(CharacterTextureSource* character);
    // The base body texture and its overlay into tentaroTexture (layer 0 of material 0).
    void composeCharacterTexture(CharacterTextureSource* character);
    // The limb masks tinted with their controls' colours over the target.
    void drawLimbOverlays(CharacterTextureSource* character, irr::video::ITexture* target);
    // Draws the texture upside down (the scene is rendered into a screen texture).
    bool flipsCharacterTextures() const;
    // One scene pass into the "thumbnail" target (height 360, the screen's aspect), written
    // to folder + name + ".jpg".
    void saveThumbnail(const irr::io::path& folder, const irr::io::path& name);

    // --- the frame ---------------------------------------------------------------------
    // Runs the render callbacks, each frame's count of extra scene passes afresh.
    void runRenderCallbacks();
    // The scene passes the render callbacks may add to a frame: the water surfaces' images
    // (surfaces of one plane share theirs) and the reflective objects' mirror images. Each
    // takes one before it draws; past the limit a surface shows the water colour and a mirror
    // its fixed textures, and one line says so (repeated lines counted).
    static constexpr irr::u32 maxExtraScenePasses = 10;
    bool takeExtraScenePass();
    irr::u32 extraScenePassLimit = maxExtraScenePasses; // a smaller one for tests
    irr::u32 extraScenePassesAsked = 0;                 // this frame's
    // Whether the shadow pass may leave out the casters whose shadows fall outside the view's
    // section of each cascade: only the view reads the maps (one viewport, no head-mounted
    // display, no water or mirror pass for a second of frames). Updated by the shadow pass.
    bool shadowsReadByViewAlone();
    irr::u32 framesWithoutExtraPass = 0;
    static constexpr irr::u32 extraPassQuietFrames = 60;
    // Draws the frame into the target, or the back buffer for null.
    void update(irr::video::ITexture* target = nullptr);
    void renderScene();
    // A scene pass into the texture (a mirror's or water's image) with the user clip plane 0
    // on or off: under a level's loading screen, loading frames are shown between its draws.
    void renderSceneInto(irr::video::ITexture* target, bool clipPlane);
    void renderScenePass();
    // Between two draws of a scene pass under a level's loading screen: a loading frame in the
    // window (drawn at most ten times a second), then the pass goes on where it draws.
    void loadingFrameBetweenDraws();
    // A level's loading screen covers the window, and the scene passes draw where they say.
    bool underLoadingScreen() const;
    irr::core::recti getPlayerViewport(irr::s32 count, irr::s32 index) const;
    void setPlayerViewport(irr::s32 count, irr::s32 index);
    // On level unload: the shadow camera, the shadow nodes and the render callbacks go.
    void resetLevelState();

    // --- targets and lists ----------------------------------------------------------------
    void addNodeToDepthPass(irr::scene::ISceneNode* node);
    void removeNodeFromDepthPass(irr::scene::ISceneNode* node);
    bool isInDepthPass(irr::scene::ISceneNode* node) const;
    irr::video::ITexture* getDepthTexture();
    // The square shadow map "XEFFECTS_SM_<resolution>" (cascade 0) or
    // "XEFFECTS_SM_<resolution><cascade>", made on first use.
    irr::video::ITexture* getShadowMapTexture(irr::u32 resolution, irr::s32 cascade = 0);
    // The shadow atlas of the three cascades side by side ("XEFFECTS_SM_ATLAS_<resolution>",
    // three times as wide as high), made on first use; bound in texture layer 2. Null for a
    // resolution above largestShadowResolution (the driver is not asked).
    irr::video::ITexture* getShadowAtlasTexture(irr::u32 resolution);
    // The largest shadow map side whose atlas fits in the driver's largest texture.
    irr::u32 largestShadowResolution = 0;
    // A shadow quality whose atlas the driver cannot make falls back to the largest half of it
    // that it can (0 when none: no maps): every shadow light takes it, one warning line says
    // so, and the settings keep it, as they keep a window size the display cannot show. On the
    // null driver, which makes no targets, only largestShadowResolution counts.
    void fitShadowResolution();
    // A 1024 x 1024 mirror-image target for a reflective object: the one returned last to
    // the pool, else a new one, charged to the level load's budget. Null, logged,
    // when the driver cannot make it or the budget has no room. Users return theirs to
    // planeReflectionPool when they go.
    irr::video::ITexture* getPlaneReflectionTexture();
    // Loads the 32 caustics frames once (a missing file leaves a null frame).
    void loadCausticsTextures();
    // The caustics frame of the current phase (null before loading or for a missing file).
    irr::video::ITexture* getCausticsFrame() const;
    irr::video::ECOLOR_FORMAT depthFormat() const;
    // The shadow atlas keeps depth as 24-bit fixed point in three bytes (the depth
    // materials pack it while the shadow pass draws): a software rasterizer reads a byte
    // texel several times faster than a float one.
    irr::video::ECOLOR_FORMAT shadowAtlasFormat() const { return irr::video::ECF_A8R8G8B8; }
    bool areShaderEffectsSupported() const { return !shaderEffectsUnsupported; }

    DelegateList renderCallbacks; // fired before the main render while reflections are on
    DelegateList frameEvents;
    irr::io::path thumbnailFolder;
    irr::io::path thumbnailName;
    irr::IrrlichtDevice* device;
    irr::video::IVideoDriver* driver;

    irr::s32 depthMaterial = irr::video::EMT_SOLID;
    irr::s32 depthAlphaMaterial = irr::video::EMT_SOLID;
    irr::s32 skinnedDepthMaterial = irr::video::EMT_SOLID;
    irr::s32 skinnedDepthAlphaMaterial = irr::video::EMT_SOLID;
    irr::s32 instancedDepthMaterial = irr::video::EMT_SOLID;
    irr::s32 instancedDepthAlphaMaterial = irr::video::EMT_SOLID;
    irr::s32 shadowMaterials[5] = {0, 0, 0, 0, 0}; // sample amounts 1, 4, 8, 12, 16
    irr::s32 lightModulateMaterial = irr::video::EMT_SOLID;
    irr::s32 copyMaterial = irr::video::EMT_SOLID;
    irr::s32 whiteWashMaterial = irr::video::EMT_SOLID;
    irr::s32 whiteWashRefMaterial = irr::video::EMT_SOLID;
    irr::s32 luminanceMaterial = irr::video::EMT_SOLID;
    irr::s32 whiteWashAddMaterial = irr::video::EMT_SOLID;
    irr::s32 vsmBlurHorizontalMaterial = irr::video::EMT_SOLID;
    irr::s32 vsmBlurVerticalMaterial = irr::video::EMT_SOLID;

    DepthShaderCallback* depthCallback = nullptr;
    DepthShaderCallback* skinnedDepthCallback = nullptr;
    DepthShaderCallback* instancedDepthCallback = nullptr;
    ShadowShaderCallback* shadowCallback = nullptr;
    ScreenQuadShaderCallback* screenQuadCallback = nullptr;

    irr::video::ITexture* screenRTT = nullptr;
    irr::video::ITexture* colorRTT = nullptr;
    irr::video::ITexture* depthRTT = nullptr;
    irr::video::ITexture* tentaroTexture = nullptr;
    irr::video::ITexture* tentaroLimbs = nullptr;
    // Four highlight layers, then the right-arm, left-arm, right-leg and left-leg textures.
    irr::video::ITexture* limbTextures[8] = {};
    irr::video::ITexture* transparentTexture = nullptr;
    bool limbOverlay = false;
    irr::video::ITexture* textureSlots[4] = {};
    irr::video::ITexture* shadowMaps[4] = {};

    std::vector<PostProcessingEffectRecord> postEffects;
    bool postEffectsSorted = true;
    std::vector<ShadowLight> shadowLights;
    std::vector<ShadowNode> shadowNodes;
    // Sorted by address. A set: an unload removes every node one at a time, and erasing each
    // from a sorted array would move the rest each time.
    std::set<irr::scene::ISceneNode*> depthPassNodes;
    std::vector<irr::video::ITexture*> planeReflectionPool;
    std::vector<irr::video::ITexture*> causticsFrames;

    irr::core::vector3df lightDirection;
    irr::u32 shadowCasterCounters[2] = {0, 0};
    irr::u32 shadowCastersDrawn = 0; // casters drawn into the maps by the last shadow pass
    irr::core::matrix4 fallbackShadowMatrix;
    irr::core::dimension2du renderSize;
    irr::core::dimension2du screenSize;
    irr::video::SColor postClearColor{0};
    irr::video::SColor clearColor{0};
    ScreenQuad screenQuad;
    irr::scene::ICameraSceneNode* shadowCamera = nullptr;
    std::unique_ptr<ShadowCascades> shadowCascades;
    std::unique_ptr<ShadowMapCache> shadowCache; // what the atlas holds between passes
    std::unique_ptr<ShadowReceivers> shadowReceivers; // where the last pass's casters can shadow
    MirrorPassCulling viewCulling; // what a viewport's pass leaves out
    std::vector<ShadowReceivers::Cascade> receiverCascades; // scratch of the shadow pass
    std::vector<ShadowMapCache::Area> regionParts[ShadowCascades::maxSplits]; // scratch of the shadow pass
    irr::f32 maxDepth = 1.0f;       // the current shadow light's depth range
    irr::f32 depthFarValue = 0.0f;  // the camera far value of the last depth pass
    std::vector<irr::s32> savedMaterialTypes;
    std::vector<bool> savedDepthWrites;
    std::vector<irr::video::ITexture*> savedShadowTextures;
    std::vector<bool> shadowCasterDrawn;            // per entry, for the cascade being prepared
    ShadowMapCache::ReadArea shadowReadArea;        // of the cascade being prepared
    std::vector<irr::core::matrix4> instanceTransforms; // scratch of castsIntoMap
    irr::video::ITexture* thumbnailTarget = nullptr;
    irr::video::ITexture* randomVectorTexture = nullptr;
    irr::scene::ISceneNode* casterBeingDrawn = nullptr; // the node the depth materials draw
    irr::s32 renderStage = 0; // 0 viewports, 1 frame done, 2 render callbacks
    // While a scene pass runs under a level's loading screen: a loading frame may be shown
    // between two of its draws (the window's picture is then the loading frame, which the
    // pass's next draws go on over, hidden by the cover).
    bool loadingFramesBetweenDraws = false;
    irr::video::ITexture* passTarget = nullptr; // the pass's texture; null: the window
    bool passClipPlane = false;
    irr::u32 renderCallbackRound = 0; // counts the runs of the render callbacks
    irr::video::E_DRIVER_TYPE driverType;
    irr::f32 causticsPhase = 0.0f;
    irr::u32 thumbnailValues[3] = {0, 0, 0};
    irr::f32 shadowDistance;
    irr::s32 shadowDistanceMode = 1;
    irr::s32 viewportCount = 1;
    bool shaderEffectsUnsupported = false;
    bool use32BitDepth = true;
    bool depthPassEnabled = false;
    bool causticsLoaded = false;
    bool shadowsEnabled = true;
    bool levelShadowsEnabled = true;
    bool renderCallbacksEnabled = true;
    bool hardwareSkinning = true;
    bool instancing = true;
    bool splitScreen = false;
    bool renderToScreenTarget = false;
    bool bloomEnabled = false;
    bool ssaoEnabled = false;
    bool thumbnailRequested = false;
    bool editorRefreshRequested = false;
    bool skipNextScenePass = false;

private:
    // The record of a material type (the records sorted first when they need it), or null.
    PostProcessingEffectRecord* findPostEffect(irr::s32 materialType);
    irr::s32 compileEffect(ShaderPreprocessor& preprocessor, int vertexRole, int pixelRole,
                           irr::video::E_VERTEX_SHADER_TYPE vertexTarget,
                           irr::video::E_PIXEL_SHADER_TYPE pixelTarget,
                           irr::video::IShaderConstantSetCallBack* callback, irr::video::E_MATERIAL_TYPE base);
    void buildMaterials();
    irr::video::IGPUProgrammingServices* gpu = nullptr;
    int driverColumn = 0;
    // The shadow atlases made, by resolution: asked for every frame, found without a name.
    std::vector<std::pair<irr::u32, irr::video::ITexture*>> shadowAtlases;
};
