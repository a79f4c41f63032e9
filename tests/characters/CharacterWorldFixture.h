#pragma once

#include "characters/CharacterObject.h"
#include "characters/WaypointObject.h"

#include "../physics/PhysicsObjectFixture.h"
#include "support/StubPlayer.h"

#include <functional>
#include <memory>
#include <vector>

// A level with a physics world (the physics-object fixture), the character subsystem
// registered, a floor whose top is at y = 0 and the suspicion rules of Content/. Characters
// are read from attributes as a level file gives them; paths are waypoint trees.
class CharacterWorldFixture : public PhysicsObjectFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // A path start (ID startID) at the origin with one point per position (IDs startID + 1
    // on), linear unless told otherwise.
    WaypointObject* addPath(irr::s32 startID, const std::vector<irr::core::vector3df>& points, bool linear = true);
    // A character standing on the floor at (x, z), walking the path of pathID (0: none);
    // extra attributes come from fill. The level's ID map is rebuilt.
    CharacterObject* addCharacter(irr::f32 x, irr::f32 z, irr::s32 pathID,
                                  const std::function<void(irr::io::IAttributes*)>& fill = {});
    // A static box (full extents) standing on the floor, its centre at (x, z).
    PhysicsObject* addWall(irr::f32 x, irr::f32 z, const irr::core::vector3df& extents);
    // Runs frames until the character's vision cone has noticed the player, for at most the
    // seconds given; whether it has.
    bool runUntilNoticed(CharacterObject* character, irr::f32 seconds);
    // Runs frames of 0.0167 s for about the seconds given.
    void run(irr::f32 seconds);
    // A player 0 standing at the position (the list is emptied afterwards).
    test::StubPlayer* addPlayer(const irr::core::vector3df& position);
    // The character's horizontal facing (its -Z axis in the world).
    static irr::core::vector3df facing(CharacterObject* character);
    irr::s32 stateOf(CharacterObject* character) const;

    irr::s32 nextCharacterID = 100;
    // What isSimulationRunning answers (play, unless a test looks at the level as edited).
    bool simulating = true;
};
