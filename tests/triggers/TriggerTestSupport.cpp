#include "TriggerTestSupport.h"

#include "core/FileChecks.h"
#include "core/Globals.h"
#include "physics/world/PhysicsHooks.h"
#include "triggers/TriggerRegistration.h"
#include "triggers/TriggerServices.h"

namespace test {

namespace {

std::int64_t triggerClockCount = 0;
std::int64_t readTriggerClock() { return triggerClockCount; }
constexpr std::int64_t triggerClockFrequency = 1000000;

} // namespace

void TriggerFixture::SetUp() {
    LevelFixture::SetUp();
    // Each test is a level of its own: the bounds kept per level load start afresh.
    forgetFileRefusals();
    registerTriggerSubsystem();
    simulateRunningPhysics();
    physics = std::make_unique<PhysicsManager>();
    physicsManager = physics.get();
    ASSERT_TRUE(physics->init());
    triggerClockCount = 0;
    stopwatch = std::make_unique<Stopwatch>(L"frame", 0.0f, StopwatchClock{&readTriggerClock, triggerClockFrequency});
    frameStopwatch = stopwatch.get();
}

void TriggerFixture::TearDown() {
    for (irr::io::IAttributes* set : attributeSets)
        set->drop();
    attributeSets.clear();
    smgr()->clear(); // the triggers release their volumes first
    physicsManager = nullptr;
    physics.reset();
    frameStopwatch = nullptr;
    stopwatch.reset();
    resetTriggerServices();
    resetExpressionContext();
    resetPhysicsHooks();
    LevelFixture::TearDown();
}

irr::io::IAttributes* TriggerFixture::attributes() {
    irr::io::IAttributes* set = device->get()->getFileSystem()->createEmptyAttributes();
    attributeSets.push_back(set);
    return set;
}

void TriggerFixture::frame(irr::f32 frameSeconds, irr::f32 playSeconds) {
    triggerClockCount += static_cast<std::int64_t>(frameSeconds * triggerClockFrequency + 0.5);
    stopwatch->tick();
    manager->setSimulatedSeconds(playSeconds);
    manager->update();
    // The game draws each frame it updates; a draw pass animates the scene once more.
    smgr()->drawAll();
}

void TriggerFixture::frames(int count, irr::f32 seconds) {
    for (int i = 0; i < count; ++i)
        frame(seconds);
}

TriggerObject* TriggerFixture::addTrigger(irr::s32 id, TriggerCondition condition, irr::scene::ISceneNode* parent) {
    auto* trigger = new TriggerObject(parent ? parent : root(), smgr(), id);
    trigger->drop();
    trigger->TriggerConditionIndex = static_cast<irr::s32>(condition);
    manager->registerNodeIDs(trigger);
    return trigger;
}

RecordingAction* TriggerFixture::record(TriggerObject* trigger, const std::string& name) {
    auto* action = new RecordingAction(trigger, &journal, name);
    trigger->setAction(action);
    return action;
}

TriggerEventObject* TriggerFixture::addEvent(irr::scene::ISceneNode* parent, irr::f32 delay, const std::string& name) {
    auto* event = new TriggerEventObject(parent, smgr(), -1);
    event->drop();
    event->EventDelay = delay;
    event->setAction(new RecordingAction(event->ownerTrigger(), &journal, name));
    return event;
}

ConditionalTrigger* TriggerFixture::addConditional(irr::scene::ISceneNode* parent, irr::s32 id,
                                                   TriggerCondition condition) {
    auto* conditional = new ConditionalTrigger(parent, smgr(), id);
    conditional->drop();
    conditional->TriggerConditionIndex = static_cast<irr::s32>(condition);
    manager->registerNodeIDs(conditional);
    return conditional;
}

FakeObject* TriggerFixture::addObject(irr::s32 id, const char (&type)[5]) {
    auto* object = new FakeObject(root(), smgr(), id, typeId(type));
    object->drop();
    manager->registerNodeIDs(object);
    return object;
}

PhysicsObject* TriggerFixture::addBody(irr::s32 id, const irr::core::vector3df& position, const char* state) {
    auto* object = new PhysicsObject(root(), smgr(), id);
    object->drop();
    irr::io::IAttributes* keys = attributes();
    keys->addInt("Id", id);
    keys->addVector3d("Position", position);
    keys->addEnum("BoundType", "Box", boundTypeNames);
    keys->addEnum("PhysicsState", state, physicsStateNames);
    object->deserializeAttributes(keys);
    object->updateAbsolutePosition();
    manager->registerNodeIDs(object);
    return object;
}

} // namespace test
