// Planar reflection: a reflective object is a flat mirror across its local XZ plane. Each
// frame, before the main render, the active camera is mirrored across it, the scene is drawn
// from there into the object's reflection target (the mirror itself hidden, everything behind
// it cut away), and the target goes into the reflection layer of the object's materials.
#include "physics/objects/PhysicsObject.h"

#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "core/Stopwatch.h"
#include "render/DrawnBounds.h"
#include "render/EffectHandler.h"
#include "render/HmdRenderer.h"
#include "render/PlanarMirror.h"
#include "render/ShaderCallbacks.h"
#include "render/TextureLayers.h"

using namespace irr;

namespace {

constexpr const char* mirrorWhiteTexture = "Content/Models/Editor/White.png";
constexpr const char* mirrorGradientTexture = "Content/Models/Editor/Gradient.png";

} // namespace

core::plane3df PhysicsObject::mirrorPlane() const {
    const core::matrix4& absolute = getAbsoluteTransformation();
    core::vector3df point(0.0f, 0.0f, 0.0f);
    absolute.transformVect(point);
    core::matrix4 inverse;
    if (!absolute.getInverse(inverse))
        inverse.makeIdentity();
    core::matrix4 inverseTranspose = inverse.getTransposed();
    core::vector3df normal(0.0f, 1.0f, 0.0f);
    inverseTranspose.rotateVect(normal);
    return core::plane3df(normal, -normal.dotProduct(point));
}

core::vector3df PhysicsObject::mirrorPoint(const core::vector3df& p) const {
    const core::plane3df plane = unitPlane(mirrorPlane());
    const core::vector3df closest = p - plane.Normal * plane.getDistanceTo(p);
    return p + (closest - p) * 2.0f;
}

PictureWindow PhysicsObject::readWindow(const core::matrix4& projection, const core::matrix4& view) const {
    if (!meshNode || !reflection->reflectionTexture)
        return PictureWindow();
    // The image is read where the mirror's surface projects through the mirrored view and the
    // camera's own projection (the shader's reflection view); two texels more each way hold
    // what the filtering reads beside it.
    core::aabbox3df box = drawnLocalBox(meshNode);
    meshNode->getAbsoluteTransformation().transformBoxEx(box);
    const core::dimension2du size = reflection->reflectionTexture->getSize();
    const f32 texel = 2.0f / static_cast<f32>(core::max_(core::min_(size.Width, size.Height), 1u));
    return windowOfBox(box, projection, view, 2.0f * texel);
}

void PhysicsObject::renderReflection() {
    if (!isTrulyVisible() || !IsReflective || !physicsManager || !physicsManager->isSimulationActive() ||
        !effectHandler || !effectHandler->renderCallbacksEnabled || !reflection->reflectionTexture || !SceneManager)
        return;
    scene::ICameraSceneNode* camera = SceneManager->getActiveCamera();
    video::IVideoDriver* driver = SceneManager->getVideoDriver();
    if (!camera || !driver)
        return;
    // The image is a scene pass of the frame's few: without room the mirror shows its fixed
    // textures this frame.
    if (!effectHandler->takeExtraScenePass()) {
        reflection->reflectionReady = false;
        return;
    }
    // The scene draws inside this callback: the object lives until the callback ends,
    // whatever the draw does to it.
    grab();
    const bool receivedInput = camera->isInputReceiverEnabled();
    camera->setInputReceiverEnabled(false);
    const core::vector3df target = camera->getTarget();
    const f32 farValue = camera->getFarValue();
    const core::vector3df position = camera->getPosition();
    const core::vector3df up = camera->getUpVector();
    const core::matrix4 projection = camera->getProjectionMatrix();
    const bool meshVisible = meshNode && meshNode->isVisible();
    if (meshNode)
        meshNode->setVisible(false);

    const core::plane3df plane = mirrorPlane();
    camera->setPosition(mirrorPoint(position));
    camera->setTarget(getAbsolutePosition());
    camera->setFarValue(60.0f);
    core::vector3df normal = plane.Normal;
    if (normal.getLength() != 0.0f)
        normal.normalize();
    camera->setUpVector(normal);
    const u32 ms = static_cast<u32>(frameStopwatch ? frameStopwatch->delta() * 1000.0f : 0.0f);
    camera->OnAnimate(ms);
    camera->render();
    reflection->reflectionViewMatrix = camera->getViewMatrix();
    driver->setRenderTarget(reflection->reflectionTexture, true, true, video::SColor(0));

    // What lies behind the mirror is cut away: by the shaders' clip-plane constant, a user
    // clip plane where the driver takes one in clip space, and the projection's near plane
    // (the game's shaders ignore user clip planes).
    core::plane3df viewPlane = unitPlane(plane);
    camera->getViewMatrix().transformPlane(viewPlane);
    viewPlane = unitPlane(viewPlane);
    const core::plane3df clip = clipSpacePlane(viewPlane, camera->getProjectionMatrix());
    currentClipPlane[0] = clip.Normal.X;
    currentClipPlane[1] = clip.Normal.Y;
    currentClipPlane[2] = clip.Normal.Z;
    currentClipPlane[3] = clip.D;
    const video::E_DRIVER_TYPE type = driver->getDriverType();
    if (type != video::EDT_OPENGL)
        driver->setClipPlane(0, clip, true);
    const core::matrix4 oblique = obliqueProjection(projection, viewPlane);
    camera->setProjectionMatrix(oblique, false);
    // Each eye of a head-mounted display sees from its own place: only one camera's view can
    // be culled for.
    if (!hmdRenderer)
        reflection->passCulling.hideOutside(SceneManager->getRootSceneNode(), oblique, camera->getViewMatrix(),
                                            readWindow(projection, camera->getViewMatrix()));
    effectHandler->renderSceneInto(reflection->reflectionTexture, type != video::EDT_OPENGL);
    reflection->passCulling.restore();

    for (f32& value : currentClipPlane)
        value = 0.0f;
    driver->enableClipPlane(0, false);
    driver->setRenderTarget(nullptr, false, false, video::SColor(0));
    reflection->reflectionReady = true;

    camera->setFarValue(farValue);
    camera->setUpVector(up);
    camera->setPosition(position);
    camera->setTarget(target);
    camera->setProjectionMatrix(projection, false);
    camera->OnAnimate(ms);
    camera->render();
    camera->setInputReceiverEnabled(receivedInput);
    if (meshNode)
        meshNode->setVisible(meshVisible);
    drop();
}

void PhysicsObject::updateReflectionLayer() {
    // The reflection shares its layer with the highlight texture (which reflective objects
    // never show): only reflective objects set it here.
    if (!meshNode || !IsReflective || !SceneManager)
        return;
    video::IVideoDriver* driver = SceneManager->getVideoDriver();
    const bool ready = effectHandler && effectHandler->renderStage != 2 && effectHandler->renderCallbacksEnabled &&
                       reflection->reflectionTexture && reflection->reflectionReady;
    for (u32 i = 0; i < meshNode->getMaterialCount(); ++i) {
        video::SMaterial& material = meshNode->getMaterial(i);
        if (ready) {
            material.setTexture(textureLayer::reflection, reflection->reflectionTexture);
        } else if (driver) {
            if (!reflection->fixedReflection || !reflection->fixedDiffuse) {
                reflection->fixedReflection = driver->getTexture(mirrorWhiteTexture);
                reflection->fixedDiffuse = driver->getTexture(mirrorGradientTexture);
            }
            material.DiffuseColor = video::SColor(255, 255, 255, 255);
            material.setTexture(textureLayer::reflection, reflection->fixedReflection);
            material.setTexture(textureLayer::diffuse, reflection->fixedDiffuse);
        }
    }
}

void PhysicsObject::clearReflectionLayer() {
    if (!meshNode || !SceneManager || !SceneManager->getVideoDriver())
        return;
    video::ITexture* white = SceneManager->getVideoDriver()->getTexture(mirrorWhiteTexture);
    for (u32 i = 0; i < meshNode->getMaterialCount(); ++i)
        meshNode->getMaterial(i).setTexture(textureLayer::reflection, white);
}

void PhysicsObject::setReflective(bool on) {
    if (on == IsReflective)
        return;
    if (effectHandler) {
        if (on)
            effectHandler->renderCallbacks.addMember(this, &PhysicsObject::renderReflection);
        else
            effectHandler->renderCallbacks.removeMember(this, &PhysicsObject::renderReflection);
    }
    if (!on) {
        if (reflection->reflectionTexture && effectHandler)
            effectHandler->planeReflectionPool.push_back(reflection->reflectionTexture);
        reflection->reflectionTexture = nullptr;
        reflection->reflectionReady = false;
        clearReflectionLayer();
    }
    IsReflective = on;
}
