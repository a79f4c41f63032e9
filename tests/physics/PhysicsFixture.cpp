#include "PhysicsFixture.h"

#include "physics/world/PhysicsFiltering.h"

#include "core/Globals.h"
#include "player/ConfigTentMovementObject.h"

PhysicsFixture::PhysicsFixture() {
    settings = std::make_unique<GameSettings>(dir.file("PaddlestoneConfig.xml"));
    settings->load(true);
    gameSettings = settings.get();
    movement = new ConfigTentMovementObject(nullptr, device->getSceneManager(), -1);
    movementObject = movement;
}

PhysicsFixture::~PhysicsFixture() {
    destroyManager();
    movementObject = nullptr;
    movement->drop();
    gameSettings = nullptr;
}

PhysicsManager& PhysicsFixture::makeManager(int threads) {
    destroyManager();
    setSettingInt("Game_PhysicsThreads", threads);
    manager = new PhysicsManager();
    physicsManager = manager;
    EXPECT_TRUE(manager->init());
    return *manager;
}

void PhysicsFixture::destroyManager() {
    delete manager;
    manager = nullptr;
    physicsManager = nullptr;
}

void PhysicsFixture::setGravity(const irr::core::vector3df& gravity) { movement->Gravity = gravity; }

phys::RigidDynamic* PhysicsFixture::addBall(float height, float mass) {
    phys::RigidActor* actor = manager->createSphereActor(phys::Transform(phys::Vec3(0, height, 0)), 0.5f, mass,
                                                         0.5f, 0.1f, false, false);
    setActorFilterData(actor, collisionCategory::Dynamic, 0x0FFFFF8F);
    return actor ? actor->asRigidDynamic() : nullptr;
}
