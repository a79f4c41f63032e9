#pragma once

#include "level/LevelObject.h"
#include "render/PlanarMirror.h"

#include <irrlicht.h>

// A water surface of the level (type 'wtr1'): a plane mesh (or a mesh file the level names)
// drawn with the water material, which blends a refraction image (the scene below the
// surface) and a reflection image (the scene above it, seen by a mirrored camera). Both
// images are drawn each frame into the object's own targets by its render callback on the
// effect handler, before the main render. Wind, waves, Fresnel and colour are level keys.
// The targets are charged to the level load's budget (chargeLevelRenderTarget).
class WaterObject : public LevelObject {
public:
    static constexpr const char* defaultBumpTexture = "Content/Models/Editor/WaterBump.png";

    WaterObject(irr::f32 width, irr::f32 height, irr::video::ITexture* bump, irr::scene::ISceneNode* parent,
                irr::scene::ISceneManager* manager);
    ~WaterObject() override;

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("wtr1"); }
    void OnRegisterSceneNode() override;
    void OnAnimate(irr::u32 timeMs) override;
    const irr::core::aabbox3df& getBoundingBox() const override;
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;
    void removeDebugChildren() override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // The surface (its waves included) lies at least partly inside the camera's view.
    bool isInView(irr::scene::ICameraSceneNode* camera) const;
    // The render callback: the refraction and reflection passes, only while in view. Each
    // pass draws only the nodes its image can show. The images serve every visible surface
    // of the same plane, target size and switches: the first of them in view draws them once
    // a frame with all of them hidden, and the others show them.
    void renderReflectionRefraction();
    // The two surfaces lie in one plane and would draw the same images.
    bool sharesImagesWith(const WaterObject& other) const;
    // The surface whose images this one shows: itself, or the one that drew them for it.
    const WaterObject* imageSource() const { return imagesFrom ? imagesFrom : this; }
    // The images the water material samples: the image source's targets.
    irr::video::ITexture* shownRefractionTarget() const { return imageSource()->refractionTarget; }
    irr::video::ITexture* shownReflectionTarget() const { return imageSource()->reflectionTarget; }
    // The clip-space plane of the object-space plane through the origin with that normal, as
    // the camera sees it; also the water shaders' current clip-plane constant.
    void computeClipPlane(const irr::core::vector3df& normal, irr::scene::ICameraSceneNode* camera,
                          irr::core::plane3df& out) const;
    // The view of a camera at the position looking at the target, mirrored in the water
    // plane: position, target and up vector of the mirrored camera.
    void mirrorView(const irr::core::vector3df& position, const irr::core::vector3df& target,
                    irr::core::vector3df& mirroredPosition, irr::core::vector3df& mirroredTarget,
                    irr::core::vector3df& mirroredUp) const;
    // The same plane in the camera's view space, normalised.
    irr::core::plane3df viewPlane(const irr::core::vector3df& normal, irr::scene::ICameraSceneNode* camera) const;
    // The object-space water plane through the origin with that normal, in world space.
    irr::core::plane3df worldPlane(const irr::core::vector3df& normal) const;

    irr::scene::IMeshSceneNode* getWaterMeshNode() const { return waterMeshNode; }
    irr::video::ITexture* getRefractionTarget() const { return refractionTarget; }
    irr::video::ITexture* getReflectionTarget() const { return reflectionTarget; }
    irr::u32 getSceneTime() const { return timeMs; }
    // Whether the water shader draws the surface; without it the surface is a plain surface
    // of the water colour (the driver runs no shaders, or the water shader did not compile).
    bool usesWaterShader() const;
    // Whether this frame's refraction and reflection images exist to be sampled: a
    // stand-in image shows nothing of the scene, nor does one whose pass the frame had no
    // room for (EffectHandler::takeExtraScenePass), so the shader takes the water colour.
    bool showsRefraction() const;
    bool showsReflection() const;

    irr::core::matrix4 reflectionViewMatrix;
    irr::core::stringc OverrideMeshFileName;
    irr::core::plane3df refractionClipPlane{irr::core::vector3df(0, 1, 0), -0.0f};
    irr::core::plane3df reflectionClipPlane{irr::core::vector3df(0, 1, 0), -0.0f};
    irr::core::dimension2du RenderTargetSize{512, 512};
    irr::core::dimension2df WaterSize;
    irr::core::vector2df TextureScale{1.0f, 1.0f};
    irr::f32 WindForce = 20.0f;
    irr::core::vector2df WindDirection{0.0f, 1.0f};
    irr::f32 WaveHeight = 0.3f;
    irr::video::SColorf WaterColor{0.1f, 0.1f, 0.6f, 1.0f};
    irr::f32 ColorBlendFactor = 0.2f;
    irr::f32 FresnelStrength = 1.0f;
    bool DisableReflection = false;
    bool DisableRefraction = false;
    bool UseLighting = false;
    bool DepthWriteEnable = true;

private:
    // Draws the two images for this surface and the others of `group` (hidden meanwhile).
    void renderImages(irr::scene::ICameraSceneNode* camera);
    void createWaterMesh();
    // Puts the target of that name in place of the one held (released to the driver), or
    // none when not wanted or past the level load's budget of pixels.
    void makeTarget(irr::video::ITexture*& target, bool wanted, const char* name);
    void setUpMaterials();
    // The water material, or the fixed-function stand-in when there is no water shader.
    void applyMaterialType(irr::video::SMaterial& material) const;

    irr::scene::IMeshSceneNode* waterMeshNode = nullptr;
    irr::video::IVideoDriver* videoDriver = nullptr;
    irr::scene::ISceneManager* sceneManager = nullptr;
    // Negative: no water shader.
    irr::s32 waterMaterialType = -1;
    irr::s32 litWaterMaterialType = -1;
    irr::scene::IAnimatedMesh* waterMesh = nullptr;
    irr::video::ITexture* refractionTarget = nullptr;
    irr::video::ITexture* reflectionTarget = nullptr;
    irr::video::ITexture* bumpTexture = nullptr;
    irr::video::ITexture* zeroAlphaTexture = nullptr;
    irr::u32 timeMs = 0;
    const WaterObject* imagesFrom = nullptr; // another surface that draws this one's images
    irr::u32 imagesRound = 0;                // the effect handler's callback round they were drawn in
    bool refractionPassRefused = false;      // the last images drawn had no room for that pass
    bool reflectionPassRefused = false;
    MirrorPassCulling passCulling;
};

// The factory row: 'wtr1' makes a 64 x 64 water surface with the default bump texture.
void registerWaterObjectType();
