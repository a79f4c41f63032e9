#include "characters/CharacterRegistration.h"

#include "characters/CharacterContacts.h"
#include "characters/CharacterObject.h"
#include "characters/CharacterProfile.h"
#include "characters/CharacterStates.h"
#include "characters/SuspicionMeter.h"
#include "characters/SuspicionRules.h"
#include "characters/WaypointObject.h"
#include "characters/animators/AnimatorBase.h"
#include "core/ShellHooks.h"
#include "level/LevelHooks.h"
#include "level/SceneNodeTypes.h"
#include "physics/world/PhysicsHooks.h"

void registerCharacters() {
    registerWaypointType();
    registerSceneNodeType(levelObjectRow<CharacterObject>(typeId("crct"), "CharacterObject"));
    CharacterHooks& shell = shellHooks().characters;
    shell.loadSuspicionConfig = [] { return loadSuspicionConfig(); };
    shell.unloadSuspicionConfig = unloadSuspicionConfig;

    LevelHookTable::Characters& level = levelHooks().characters;
    level.loadProfile = [](CharacterProfile& profile, const std::string& file) {
        return profile.load(file) == 0;
    };
    level.finishProfile = [](CharacterProfile& profile) { profile.finishLoad(); };
    level.updateSuspicion = updateSuspicion;
    level.reduceSuspicion = reduceSuspicion;

    // Physics objects raise suspicion by speed, rest and floor hits through these.
    PhysicsHookTable::Characters& physics = physicsHooks().characters;
    physics.addSuspicion = [](SuspicionMeter* meter, irr::f32 amount, irr::s32 kind, const irr::core::vector3df& at) {
        return meter && addSuspicion(at, *meter, amount, static_cast<SuspicionType>(kind));
    };
    physics.getSuspicionValues = [](irr::s32 characterType, irr::s32 kind, irr::f32& amount, irr::f32& threshold) {
        const SuspicionRule rule = getSuspicionValues(characterType, kind);
        amount = rule.amount;
        threshold = rule.speedThreshold;
    };
    physics.onCharacterStruck = onCharacterStruck;
    // Only characters make controllers: a controller's user data is its character.
    physics.onControllerShapeHit = [](void* character, phys::Shape* shape, phys::RigidActor* actor,
                                      const irr::core::vector3df& position) {
        onCharacterRanInto(static_cast<CharacterObject*>(character), shape, actor, position);
    };
    // A physics object's ended mesh animation starts the animators it names.
    physics.enableAnimators = enableAnimatorsByID;
}
