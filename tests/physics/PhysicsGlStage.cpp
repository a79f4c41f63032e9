#include "PhysicsGlStage.h"

#include "physics/objects/PhysicsObject.h"

#include "core/Globals.h"
#include "level/LevelFile.h"
#include "level/MeshGate.h"
#include "level/SceneNodeBase.h"
#include "level/SceneNodeFactory.h"

#include "support/GraphicsDriver.h"

using namespace irr;

namespace {

std::int64_t glStageClock = 0;
std::int64_t readGlStageClock() { return glStageClock; }

} // namespace

PhysicsGlStage::PhysicsGlStage(u32 width, u32 height) {
    test::keepGraphicsDriverLoaded();
    SIrrlichtCreationParameters params;
    params.DriverType = video::EDT_OPENGL;
    params.WindowSize = core::dimension2du(width, height);
    params.Doublebuffer = false; // the screenshot reads the front buffer
    params.Vsync = false;
    params.LoggingLevel = ELL_ERROR;
    device = createDeviceEx(params);
    if (!device)
        return;
    gameDevice = device;
    smgr = device->getSceneManager();
    driver = device->getVideoDriver();
    levels = std::make_unique<LevelManager>(device);
    levelManager = levels.get();
    if (!levels->init())
        return;
    registerSceneNodeFactory(smgr);
    registerMeshGate(smgr);
    registerPhysicsObjectTypes();
    stopwatch = std::make_unique<Stopwatch>(L"frame", 0.0f, StopwatchClock{&readGlStageClock, 1000});
    frameStopwatch = stopwatch.get();
    auto manager = std::make_unique<PhysicsManager>();
    physicsManager = manager.get();
    if (manager->init())
        physics = std::move(manager);
    else
        physicsManager = nullptr;
}

PhysicsGlStage::~PhysicsGlStage() {
    if (smgr)
        smgr->clear();
    physics.reset();
    physicsManager = nullptr;
    frameStopwatch = nullptr;
    levels.reset();
    levelManager = nullptr;
    if (device)
        device->drop();
    gameDevice = nullptr;
    levelAnimateFrame = 0;
}

bool PhysicsGlStage::load(const char* levelFile) {
    if (!SceneLoader(smgr).load(levelFile))
        return false;
    smgr->setAmbientLight(video::SColorf(0.45f, 0.45f, 0.5f));
    smgr->addLightSceneNode(nullptr, core::vector3df(-10, 30, -20), video::SColorf(0.9f, 0.9f, 0.85f), 80.0f);
    return true;
}

void PhysicsGlStage::play(int frames) {
    for (int frame = 0; frame < frames; ++frame) {
        glStageClock += 17;
        stopwatch->tick();
        physics->endStep();
        physics->updateStepCount(PhysicsManager::fixedStepSize);
        if (++levelAnimateFrame == 0)
            levelAnimateFrame = 1;
        timeMs += 17;
        smgr->getRootSceneNode()->OnAnimate(timeMs);
        physics->beginStep();
        physics->stepDuringRender();
        physics->stepDuringRender();
    }
}

video::IImage* PhysicsGlStage::drawAndShoot(video::SColor background) {
    driver->beginScene(true, true, background);
    smgr->drawAll();
    driver->endScene();
    return driver->createScreenShot();
}
