#pragma once

#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"

#include "../render/RenderFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// Physics objects drawn by the game's shaders on the OpenGL driver under Xvfb: the render
// managers as start-up makes them (with the render callbacks), the physics object types and
// a physics manager.
class ShadedPhysicsGlFixture : public ::testing::Test, protected rendertest::RenderGlFixture {
protected:
    void SetUp() override;
    void TearDown() override;
    // A physics object under the scene's root read from the attributes; the scene keeps it.
    PhysicsObject* addObject(const std::function<void(irr::io::IAttributes*)>& fill);
    // One frame at the time given (render callbacks, then the scene); the shot is the
    // caller's to drop, kept under PADDLESTONE_KEEP_SCREENSHOT with the suffix.
    irr::video::IImage* drawFrame(irr::u32 timeMs, const char* suffix);

    std::unique_ptr<PhysicsManager> physics;
};
