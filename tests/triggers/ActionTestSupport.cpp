#include "ActionTestSupport.h"

#include "camera/CameraRegistration.h"
#include "camera/CameraServices.h"
#include "core/Globals.h"
#include "gui/GuiHooks.h"
#include "level/MeshGate.h"
#include "level/SceneNodeBase.h"
#include "render/RenderServices.h"
#include "triggers/actions/TriggerActionRegistration.h"

using namespace irr;

namespace test {

void ActionFixture::SetUp() {
    // The game's content, and the tables the level manager reads as it starts (the
    // achievements' among them), come from the source tree wherever the test runs.
    workingDir = std::make_unique<ScopedWorkingDir>(sourceDir());
    TriggerFixture::SetUp();
    registerMeshGate(smgr());
    registerPhysicsObjectTypes();
    sound = std::make_unique<SoundManager>();
    sound->init();
    soundManager = sound.get();
    registerCameraSubsystem();
    registerTriggerActions();
    cameras = createCameraManager(0);
    cameraManagers[0] = cameras;
    cameras->onLevelLoaded();
    log.lines.clear();
}

void ActionFixture::TearDown() {
    destroyCameraManager(cameras);
    cameraManagers[0] = nullptr;
    smgr()->clear(); // the objects release their bodies and sounds first
    unregisterTriggerActions();
    resetCameraServices();
    resetRenderServices();
    resetGuiHooks();
    soundManager = nullptr;
    sound.reset();
    TriggerFixture::TearDown();
}

void ActionFixture::step(f32 seconds, const std::function<void()>& inUpdate) {
    physics->endStep();
    physics->updateStepCount(seconds);
    frame(seconds);
    if (inUpdate)
        inUpdate();
    if (cameras)
        cameras->update(seconds);
    sound->update(seconds);
    physics->beginStep();
    physics->stepDuringRender();
    physics->stepDuringRender();
}

void ActionFixture::steps(int count, f32 seconds) {
    for (int i = 0; i < count; ++i)
        step(seconds);
}

PhysicsObject* ActionFixture::addCrate(s32 id, const core::vector3df& position, const char* state) {
    auto* object = new PhysicsObject(root(), smgr(), id);
    object->drop();
    io::IAttributes* keys = attributes();
    keys->addString("Name", ("Crate" + std::to_string(id)).c_str());
    keys->addInt("Id", id);
    keys->addVector3d("Position", position);
    keys->addString("MeshFileName", "Content/Models/Props/Crate.obj");
    keys->addEnum("BoundType", "Box", boundTypeNames);
    keys->addEnum("PhysicsState", state, physicsStateNames);
    keys->addFloat("Mass", 10.0f);
    object->deserializeAttributes(keys);
    object->updateAbsolutePosition();
    manager->registerNodeIDs(object);
    return object;
}

CameraObject* ActionFixture::addCameraObject(s32 id, const core::vector3df& position) {
    auto* camera = new CameraObject(root(), smgr(), id);
    camera->drop();
    camera->setPosition(position);
    camera->updateAbsolutePosition();
    manager->registerNodeIDs(camera);
    return camera;
}

TriggerObject* ActionFixture::addActionTrigger(s32 id, s32 actionType,
                                               const std::function<void(io::IAttributes*)>& keys,
                                               TriggerCondition condition) {
    TriggerObject* trigger = addTrigger(id, condition);
    io::IAttributes* set = attributes();
    set->addEnum("OnTriggerEvent", triggerActionNames[actionType], triggerActionNames);
    if (keys)
        keys(set);
    trigger->deserializeAttributes(set);
    return trigger;
}

std::string ActionFixture::keysOf(const TriggerAction& action) {
    io::IAttributes* set = gameDevice->getFileSystem()->createEmptyAttributes();
    action.serializeAttributes(set);
    std::string text;
    for (u32 i = 0; i < set->getAttributeCount(); ++i)
        text += std::string(set->getAttributeName(i)) + "=" + set->getAttributeAsString(i).c_str() + ";";
    set->drop();
    return text;
}

} // namespace test
