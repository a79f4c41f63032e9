// The head-mounted-display pass's view set-up from the game's display description, the
// identity warp, and the switch that keeps it out of every run without a display.
#include "render/HmdRenderer.h"

#include "core/Globals.h"
#include "support/NullDevice.h"

#include "RenderFixture.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace irr;

namespace {

class HmdRendererTest : public ::testing::Test {
protected:
    void SetUp() override { rendertest::resetRenderGlobals(); }
    void TearDown() override {
        destroyHmdOutput();
        HmdOutputEnabled = false;
        rendertest::resetRenderGlobals();
    }
    test::NullDevice device;
};

TEST_F(HmdRendererTest, ViewSetUpFollowsTheDisplayDescription) {
    HmdRenderer renderer(device.get(), HmdDescription(), 10.0f);
    EXPECT_NEAR(renderer.distortionScale, 1.271324f, 1e-5f);
    EXPECT_NEAR(renderer.fieldOfView, 1.634570f, 1e-5f);
    EXPECT_NEAR(renderer.lensShift, -0.163636f, 1e-5f);
    EXPECT_NEAR(renderer.eyeSeparation, 0.32f, 1e-6f);
    EXPECT_EQ(renderer.leftViewport, core::recti(0, 0, 640, 800));
    EXPECT_EQ(renderer.rightViewport, core::recti(640, 0, 1280, 800));
    EXPECT_NEAR(renderer.callback->scale[0], 0.786581f, 1e-5f);
    EXPECT_NEAR(renderer.callback->scale[1], 0.629265f, 1e-5f);
    EXPECT_FLOAT_EQ(renderer.callback->scaleIn[0], 1.0f);
    EXPECT_FLOAT_EQ(renderer.callback->scaleIn[1], 1.25f);
    const f32 warp[4] = {1.0f, 0.22f, 0.24f, 0.0f};
    for (int i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ(renderer.callback->hmdWarpParam[i], warp[i]);

    // Projections: the engine's left-handed perspective (near 1, far 10000) with the centre
    // shifted by -0.163636 for the left eye and +0.163636 for the right.
    const f32 yScale = 1.0f / std::tan(renderer.fieldOfView / 2.0f);
    EXPECT_NEAR(renderer.leftProjection[5], yScale, 1e-5f);
    EXPECT_NEAR(renderer.leftProjection[0], yScale / 0.8f, 1e-5f);
    EXPECT_FLOAT_EQ(renderer.leftProjection[10], 1.0001f);
    EXPECT_FLOAT_EQ(renderer.leftProjection[11], 1.0f);
    EXPECT_FLOAT_EQ(renderer.leftProjection[14], -1.0001f);
    EXPECT_FLOAT_EQ(renderer.leftProjection[15], 0.0f);
    EXPECT_NEAR(renderer.leftProjection[8], -0.163636f, 1e-5f);
    EXPECT_NEAR(renderer.rightProjection[8], 0.163636f, 1e-5f);
    // The eye nodes sit half the eye distance out, in scene units.
    EXPECT_EQ(renderer.leftEyeNode->getPosition(), core::vector3df(0.32f, 0, 0));
    EXPECT_EQ(renderer.rightEyeNode->getPosition(), core::vector3df(-0.32f, 0, 0));
    EXPECT_EQ(device->getSceneManager()->getActiveCamera(), renderer.eyeCamera);
    // The null driver renders to no texture: no target, both eyes draw to the back buffer.
    EXPECT_EQ(renderer.renderTarget, nullptr);
    EXPECT_FALSE(renderer.isMaterialCompiled());
    EXPECT_FALSE(renderer.DeviceReady) << "no display has reported itself";
}

TEST_F(HmdRendererTest, WarpOfTheIdentityPolynomialMapsEveryCoordinateToItself) {
    // The pixel stage's arithmetic, as the shader does it.
    const auto warp = [](f32 u, f32 v, const f32 k[4], const f32 scale[2], const f32 scaleIn[2], const f32 lens[2]) {
        const f32 x = u * 2 - 1, y = v * 2 - 1;
        const f32 tx = (x - lens[0]) * scaleIn[0], ty = (y - lens[1]) * scaleIn[1];
        const f32 r = tx * tx + ty * ty;
        const f32 f = k[0] + k[1] * r + k[2] * r * r + k[3] * r * r * r;
        return core::vector2df((lens[0] + scale[0] * tx * f + 1) / 2, (lens[1] + scale[1] * ty * f + 1) / 2);
    };
    const f32 identity[4] = {1, 0, 0, 0}, one[2] = {1, 1}, zero[2] = {0, 0};
    for (f32 u : {0.0f, 0.25f, 0.5f, 0.9f})
        for (f32 v : {0.0f, 0.6f, 1.0f})
            EXPECT_TRUE(warp(u, v, identity, one, one, zero).getDistanceFrom(core::vector2df(u, v)) < 1e-6f);
    // The game's warp pushes a point off the lens centre outward (barrel distortion).
    HmdRenderer renderer(device.get(), HmdDescription(), 10.0f);
    const f32 lens[2] = {renderer.lensShift, 0};
    const core::vector2df edge = warp(0.95f, 0.5f, renderer.callback->hmdWarpParam, renderer.callback->scale,
                                      renderer.callback->scaleIn, lens);
    const core::vector2df middle = warp(0.5f + lens[0] / 2, 0.5f, renderer.callback->hmdWarpParam,
                                        renderer.callback->scale, renderer.callback->scaleIn, lens);
    EXPECT_NEAR(middle.X, 0.5f + lens[0] / 2, 1e-6f);
    EXPECT_GT(edge.X, 0.95f);
}

TEST_F(HmdRendererTest, WithoutADisplayTheFrameKeepsThePlainScenePass) {
    createHmdOutput(device.get());
    EXPECT_EQ(hmdRenderer, nullptr); // switch off
    HmdOutputEnabled = true;
    createHmdOutput(device.get());
    EXPECT_EQ(hmdRenderer, nullptr); // no display reports itself ready
}

} // namespace
