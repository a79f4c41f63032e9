#include "CameraTimeFixture.h"

#include "core/Globals.h"

using namespace irr;

namespace {
std::int64_t cameraFixtureClockMs = 0;
std::int64_t cameraFixtureClock() { return cameraFixtureClockMs; }
} // namespace

namespace test {

void CameraTimeFixture::SetUp() {
    CameraFixture::SetUp();
    stopwatch = std::make_unique<Stopwatch>(L"Frame", 0.0f, StopwatchClock{cameraFixtureClock, 1000});
    frameStopwatch = stopwatch.get();
    tick(0.0f);
}

void CameraTimeFixture::TearDown() {
    clearPlayers();
    frameStopwatch = nullptr;
    stopwatch.reset();
    CameraFixture::TearDown();
}

void CameraTimeFixture::tick(f32 seconds) {
    cameraFixtureClockMs += static_cast<std::int64_t>(seconds * 1000.0f + 0.5f);
    stopwatch->tick();
}

PlacedBody* CameraTimeFixture::addPlayer(const core::vector3df& at, int index) {
    auto* body = new PlacedBody(root(), smgr(), -1);
    body->drop();
    body->place(at);
    setPlayer(index, body);
    return body;
}

CameraObject* CameraTimeFixture::addModeCamera(s32 mode, const core::vector3df& at, scene::ISceneNode* parent,
                                               s32 id) {
    auto* camera = new CameraObject(parent ? parent : root(), smgr(), id);
    camera->drop();
    camera->CameraMode = mode;
    camera->deleteBehaviours();
    camera->createBehaviours();
    camera->setPosition(at);
    camera->updateAbsolutePosition();
    return camera;
}

void CameraTimeFixture::registerIDs() { manager->rebuildNodeIDs(); }

} // namespace test
