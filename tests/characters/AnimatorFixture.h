#pragma once

#include "../physics/PhysicsObjectFixture.h"

#include "characters/animators/AnimatorBase.h"
#include "render/EffectHandler.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class AnimatorFactory;
class SplineObject;

// The physics-object fixture with the animator factory on the scene manager, trigger
// volumes wired to the physics world, and helpers to make animators from attributes and
// to compare what two animators write.
class AnimatorFixture : public PhysicsObjectFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new animator of the type name on the node, read from the filled attributes.
    AnimatorBase* makeAnimator(const char* type, irr::scene::ISceneNode* node,
                               const std::function<void(irr::io::IAttributes*)>& fill);
    // "name=value" of every attribute the animator writes, in order.
    std::vector<std::string> written(irr::scene::ISceneNodeAnimator* animator,
                                     irr::io::SAttributeReadWriteOptions* options = nullptr) const;
    // An empty node under the root at the position, with an object ID.
    irr::scene::ISceneNode* addNode(const irr::core::vector3df& position, irr::s32 id = -1);
    // A registered straight path along x from x0 to x0 + length, timed 0 to 1.
    SplineObject* addStraightPath(irr::s32 id, irr::f32 length, irr::f32 x0 = 0.0f);
    // A box physics object in the state at the position.
    PhysicsObject* addBox(const char* state, const irr::core::vector3df& position, irr::s32 id = -1);
    // Runs frames of the given seconds each.
    void run(irr::f32 seconds, int count) {
        for (int i = 0; i < count; ++i)
            frame(seconds);
    }

    // An effect handler with hardware skinning on, the global one until the test ends.
    void useHardwareSkinning();

    AnimatorFactory* factory = nullptr;
    std::unique_ptr<EffectHandler> skinningHandler;
};
