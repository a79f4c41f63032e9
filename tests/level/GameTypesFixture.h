#pragma once

#include "LevelTestSupport.h"

#include "core/Stopwatch.h"
#include "level/SceneNodeTypes.h"
#include "physics/world/PhysicsManager.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace test {

// The level's fixture with every subsystem's level object types registered as the game
// registers them, a physics world and the frame stopwatch. The type rows they replace or add
// are put back as they were afterwards, since other tests of the program rely on the level's own.
class GameTypesFixture : public LevelFixture {
protected:
    // Call from SetUp after LevelFixture::SetUp; the stopwatch reads the given clock (microseconds).
    bool startGameTypes(std::int64_t (*clock)());
    void TearDown() override;

    std::unique_ptr<Stopwatch> stopwatch;
    std::unique_ptr<PhysicsManager> physics;
    std::vector<SceneNodeTypeRow> savedRows;
};

} // namespace test
