#include "CharacterWorldFixture.h"

#include "characters/CharacterRegistration.h"
#include "characters/CharacterStates.h"
#include "characters/CharacterServices.h"
#include "characters/SuspicionRules.h"
#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "triggers/TriggerServices.h"

using namespace irr;

void CharacterWorldFixture::SetUp() {
    PhysicsObjectFixture::SetUp();
    registerCharacters();
    loadSuspicionConfig();
    coreSlots().physics.isSimulationActive = [this] { return simulating; };
    makeObject([](io::IAttributes* a) {
        a->addString("Name", "Floor");
        a->addVector3d("Position", core::vector3df(0.0f, -0.5f, 0.0f));
        a->addEnum("BoundType", "Box", boundTypeNames);
        a->addVector3d("BoxExtents", core::vector3df(200.0f, 1.0f, 200.0f));
        a->addEnum("PhysicsState", "Static", physicsStateNames);
    });
    log.lines.clear();
}

void CharacterWorldFixture::TearDown() {
    clearPlayers();
    smgr()->clear();
    unloadSuspicionConfig();
    resetCharacterServices();
    PhysicsObjectFixture::TearDown();
}

WaypointObject* CharacterWorldFixture::addPath(s32 startID, const std::vector<core::vector3df>& points, bool linear) {
    auto* start = new WaypointObject(root(), smgr(), startID);
    start->drop();
    s32 id = startID;
    for (const core::vector3df& at : points) {
        auto* point = new WaypointObject(start, smgr(), ++id);
        point->drop();
        point->setPosition(at);
        point->UseLinearInterpolation = linear;
    }
    manager->rebuildNodeIDs();
    return start;
}

CharacterObject* CharacterWorldFixture::addCharacter(f32 x, f32 z, s32 pathID,
                                                     const std::function<void(io::IAttributes*)>& fill) {
    auto* character = new CharacterObject(root(), smgr(), -1);
    character->drop();
    io::IAttributes* a = newAttributes();
    a->addInt("Id", nextCharacterID++);
    a->addVector3d("Position", core::vector3df(x, 3.2f, z));
    a->addInt("ParentWaypointID", pathID);
    a->addEnum("StartState", pathID ? "Walking" : "Stopped", characterStateNames);
    if (fill)
        fill(a);
    character->deserializeAttributes(a);
    a->drop();
    manager->rebuildNodeIDs();
    return character;
}

PhysicsObject* CharacterWorldFixture::addWall(f32 x, f32 z, const core::vector3df& extents) {
    return makeObject([&](io::IAttributes* a) {
        a->addVector3d("Position", core::vector3df(x, extents.Y * 0.5f, z));
        a->addEnum("BoundType", "Box", boundTypeNames);
        a->addVector3d("BoxExtents", extents);
        a->addEnum("PhysicsState", "Static", physicsStateNames);
    });
}

bool CharacterWorldFixture::runUntilNoticed(CharacterObject* character, f32 seconds) {
    VisionCone* cone = character->getVisionCone();
    if (!cone)
        return false;
    for (int i = static_cast<int>(seconds / PhysicsManager::fixedStepSize + 0.5f); i > 0 && !cone->hasNoticed(); --i) {
        frame();
        device->get()->getTimer()->setTime(timeMs);
    }
    return cone->hasNoticed();
}

void CharacterWorldFixture::run(f32 seconds) {
    // The device timer moves with the frames (head turning steps by it).
    for (int i = static_cast<int>(seconds / PhysicsManager::fixedStepSize + 0.5f); i > 0; --i) {
        frame();
        device->get()->getTimer()->setTime(timeMs);
    }
}

test::StubPlayer* CharacterWorldFixture::addPlayer(const core::vector3df& position) {
    auto* player = new test::StubPlayer(root(), smgr(), 999);
    player->drop();
    player->setPosition(position);
    player->updateAbsolutePosition();
    setPlayer(0, player);
    return player;
}

core::vector3df CharacterWorldFixture::facing(CharacterObject* character) {
    core::vector3df forward(0.0f, 0.0f, -1.0f);
    character->getAbsoluteTransformation().rotateVect(forward);
    forward.Y = 0.0f;
    return forward.normalize();
}

s32 CharacterWorldFixture::stateOf(CharacterObject* character) const { return character->stateMachine().currentID(); }
