#pragma once

#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"

#include "core/Stopwatch.h"

#include "../level/LevelTestSupport.h"

#include <memory>

// A level fixture (null device, level manager, factories, log capture) working from the
// source folder, with a physics manager stepping synchronously, the physics object type
// registered and a frame stopwatch the test drives.
class PhysicsObjectFixture : public test::LevelFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // A physics object under the parent (the scene root when null) read from the attributes.
    PhysicsObject* makeObject(const std::function<void(irr::io::IAttributes*)>& fill,
                              irr::scene::ISceneNode* parent = nullptr);
    // One frame of the game's loop: fetch, count, animate the level, start the next step.
    void frame(irr::f32 seconds = PhysicsManager::fixedStepSize);
    void frames(int count) {
        for (int i = 0; i < count; ++i)
            frame();
    }
    irr::io::IAttributes* newAttributes() const;
    PhysicsObject* findObject(const char* name) const;

    // Whether frame() draws the scene after its update, as the game does.
    bool drawEachFrame = true;
    std::unique_ptr<Stopwatch> stopwatch;
    std::unique_ptr<PhysicsManager> physics;
    irr::u32 timeMs = 0;
};

// The float the fixture's clock adds per frame.
void advanceFixtureClock(irr::f32 seconds);
