#include "PhysicsObjectFixture.h"

#include "physics/world/PhysicsHooks.h"

#include "core/Globals.h"
#include "level/MeshGate.h"
#include "level/SceneNodeBase.h"

#include "support/TempDir.h"

namespace {

std::int64_t fixtureClockCount = 0;
std::int64_t readFixtureClock() { return fixtureClockCount; }

} // namespace

void advanceFixtureClock(irr::f32 seconds) { fixtureClockCount += static_cast<std::int64_t>(seconds * 1000000.0); }

void PhysicsObjectFixture::SetUp() {
    LevelFixture::SetUp();
    workingDir = std::make_unique<test::ScopedWorkingDir>(test::sourceDir());
    registerMeshGate(smgr());
    registerPhysicsObjectTypes();
    stopwatch = std::make_unique<Stopwatch>(L"frame", 0.0f, StopwatchClock{&readFixtureClock, 1000000});
    frameStopwatch = stopwatch.get();
    physics = std::make_unique<PhysicsManager>();
    physicsManager = physics.get();
    ASSERT_TRUE(physics->init());
    log.lines.clear();
}

void PhysicsObjectFixture::TearDown() {
    smgr()->clear();
    physics.reset();
    physicsManager = nullptr;
    frameStopwatch = nullptr;
    resetPhysicsHooks();
    LevelFixture::TearDown();
}

irr::io::IAttributes* PhysicsObjectFixture::newAttributes() const {
    return device->get()->getFileSystem()->createEmptyAttributes(device->get()->getVideoDriver());
}

PhysicsObject* PhysicsObjectFixture::makeObject(const std::function<void(irr::io::IAttributes*)>& fill,
                                                irr::scene::ISceneNode* parent) {
    auto* object = new PhysicsObject(parent ? parent : root(), smgr(), -1);
    object->drop();
    irr::io::IAttributes* attributes = newAttributes();
    fill(attributes);
    object->deserializeAttributes(attributes);
    attributes->drop();
    return object;
}

void PhysicsObjectFixture::frame(irr::f32 seconds) {
    advanceFixtureClock(seconds);
    stopwatch->tick();
    physics->endStep();
    physics->updateStepCount(seconds);
    if (++levelAnimateFrame == 0)
        levelAnimateFrame = 1;
    timeMs += static_cast<irr::u32>(seconds * 1000.0f);
    root()->OnAnimate(timeMs);
    physics->beginStep();
    // The game draws each frame it updates; a draw pass animates the scene once more.
    if (drawEachFrame)
        smgr()->drawAll();
    physics->stepDuringRender();
    physics->stepDuringRender();
}

PhysicsObject* PhysicsObjectFixture::findObject(const char* name) const {
    return asPhysicsObject(smgr()->getSceneNodeFromName(name));
}
