#pragma once

#include "physics/world/PhysicsManager.h"

#include "core/GameSettings.h"
#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>

class ConfigTentMovementObject;

// A physics manager with its neighbours: settings (with "Game_PhysicsThreads"), the movement
// object (its gravity) and a null engine device for meshes and nodes. The manager is made
// by makeManager, stored in physicsManager, and destroyed with the fixture.
class PhysicsFixture : public ::testing::Test {
protected:
    PhysicsFixture();
    ~PhysicsFixture() override;

    // A manager made with the given thread setting, initialised.
    PhysicsManager& makeManager(int threads = 0);
    void setGravity(const irr::core::vector3df& gravity);
    void destroyManager();

    // A dynamic ball (radius 0.5) at the height, with default filter words, in the manager's scene.
    phys::RigidDynamic* addBall(float height, float mass = 1.0f);

    irr::scene::ISceneManager* sceneManager() const { return device->getSceneManager(); }

    test::TempDir dir;
    test::NullDevice device;
    std::unique_ptr<GameSettings> settings;
    ConfigTentMovementObject* movement = nullptr;
    PhysicsManager* manager = nullptr;
};
