#include "ShadedPhysicsGlFixture.h"

#include "core/Globals.h"
#include "level/MeshGate.h"
#include "render/EffectHandler.h"
#include "render/RenderManagers.h"
#include "render/RenderServices.h"

using namespace irr;

void ShadedPhysicsGlFixture::SetUp() {
    ASSERT_TRUE(openRendering(core::dimension2du(640, 480)));
    EffectHandlerSetup setup;
    setup.renderCallbacksEnabled = true;
    startRendering(setup);
    registerMeshGate(device->getSceneManager());
    registerPhysicsObjectTypes();
    physics = std::make_unique<PhysicsManager>();
    physicsManager = physics.get();
    ASSERT_TRUE(physics->init());
}

void ShadedPhysicsGlFixture::TearDown() {
    device->getSceneManager()->clear();
    physics.reset();
    physicsManager = nullptr;
    resetRenderServices();
    closeRendering();
}

PhysicsObject* ShadedPhysicsGlFixture::addObject(const std::function<void(io::IAttributes*)>& fill) {
    scene::ISceneManager* scene = device->getSceneManager();
    auto* object = new PhysicsObject(scene->getRootSceneNode(), scene, -1);
    object->drop();
    io::IAttributes* a = device->getFileSystem()->createEmptyAttributes();
    fill(a);
    object->deserializeAttributes(a);
    a->drop();
    return object;
}

video::IImage* ShadedPhysicsGlFixture::drawFrame(u32 timeMs, const char* suffix) {
    device->getTimer()->setTime(timeMs);
    device->run();
    device->getSceneManager()->getRootSceneNode()->OnAnimate(timeMs);
    return rendertest::shootEffectFrame(device->getVideoDriver(), effectHandler, suffix);
}
