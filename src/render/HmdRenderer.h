#pragma once

#include <irrlicht.h>

// The geometry of a head-mounted display with magnifying lenses.
struct HmdDescription {
    irr::s32 resolutionX = 1280; // pixels, both eyes together
    irr::s32 resolutionY = 800;
    irr::f32 screenWidth = 0.11f; // metres, both eyes
    irr::f32 screenHeight = 0.06875f;
    irr::f32 interpupillaryDistance = 0.064f;
    irr::f32 lensSeparation = 0.064f;
    irr::f32 eyeToScreen = 0.041f;
    irr::f32 distortion[4] = {1.0f, 0.22f, 0.24f, 0.0f}; // k0..k3 of the warp polynomial
};

// The constants of the lens warp: output scale, input scale, lens centre and the warp
// polynomial's coefficients.
class HmdDistortionCallback : public irr::video::IShaderConstantSetCallBack {
public:
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;

    irr::f32 scale[2] = {1.0f, 1.0f};
    irr::f32 scaleIn[2] = {1.0f, 1.0f};
    irr::f32 lensCenter[2] = {0.0f, 0.0f};
    irr::f32 hmdWarpParam[4] = {1.0f, 0.0f, 0.0f, 0.0f};
};

// Stereo output for a head-mounted display: the scene drawn once per eye, from two cameras
// half an eye distance to either side of the active camera with their projection centres
// shifted toward the lens centres, into one render target, which is then drawn into the
// left or right half of the back buffer through a barrel warp around each lens centre. No
// head tracking exists here: the head's orientation is always zero.
class HmdRenderer {
public:
    // The world scale is scene units per metre.
    HmdRenderer(irr::IrrlichtDevice* device, const HmdDescription& description, irr::f32 worldScale);
    ~HmdRenderer();
    HmdRenderer(const HmdRenderer&) = delete;
    HmdRenderer& operator=(const HmdRenderer&) = delete;

    // The eye camera and the head nodes (made again after each level load, which clears the
    // scene), then the view set-up.
    void createHmdViewNodes();
    // Derives projections, viewports, eye separation, lens shift and the warp constants from
    // the description, and makes the render target once.
    void setupHmdView(const HmdDescription& description);
    // Draws both eyes in place of the scene pass for the active camera.
    void renderHmdEyes();

    bool isMaterialCompiled() const { return compiledMaterial >= 0; }
    // A display reports itself ready; no device layer exists here, so nothing sets it but a
    // caller that wants to see the pass (a test, a preview).
    bool DeviceReady = false;

    irr::video::ITexture* renderTarget = nullptr;
    irr::scene::ICameraSceneNode* eyeCamera = nullptr;
    irr::scene::ISceneNode* rootNode = nullptr;
    irr::scene::ISceneNode* pitchNode = nullptr;
    irr::scene::ISceneNode* yawNode = nullptr;
    irr::scene::ISceneNode* rollNode = nullptr;
    irr::scene::ISceneNode* leftEyeNode = nullptr;
    irr::scene::ISceneNode* rightEyeNode = nullptr;
    HmdDescription description;
    irr::f32 worldScale;
    irr::f32 eyeSeparation = 0.0f;
    irr::f32 lensShift = 0.0f;
    irr::f32 distortionScale = 1.0f;
    irr::f32 fieldOfView = 0.0f;
    irr::core::matrix4 leftProjection;
    irr::core::matrix4 rightProjection;
    irr::core::recti leftViewport{0, 0, 0, 0};
    irr::core::recti rightViewport{0, 0, 0, 0};
    irr::video::SMaterial distortionMaterial;
    irr::video::S3DVertex quadVertices[4];
    irr::u16 quadIndices[6] = {0, 1, 2, 0, 2, 3};
    HmdDistortionCallback* callback;
    irr::s32 compiledMaterial = -1; // the warp shader's material type; -1 when it did not compile

private:
    void drawEye(const irr::core::matrix4& projection, irr::scene::ISceneNode* eye, const irr::core::recti& viewport,
                 irr::f32 lensCentreX, irr::scene::ICameraSceneNode* camera);

    irr::IrrlichtDevice* device;
    irr::video::IVideoDriver* driver;
    irr::scene::ISceneManager* sceneManager;
    irr::ITimer* timer;
};

// The process-wide switch of head-mounted-display output, off when the program starts;
// nothing in the game turns it on (no display layer exists here).
extern bool HmdOutputEnabled;
// The effect handler's HMD pass, or null (the frame then uses the plain scene pass).
extern HmdRenderer* hmdRenderer;

// With the switch on: makes the pass with the display description the game uses (1280 x
// 800, world scale 10) and keeps it only when its material compiled and the display reports
// itself ready. Without the switch nothing happens.
void createHmdOutput(irr::IrrlichtDevice* device);
void destroyHmdOutput();
