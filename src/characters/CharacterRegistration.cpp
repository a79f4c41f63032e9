#include "characters/CharacterRegistration.h"

#include "characters/CharacterContacts.h"
#include "characters/CharacterObject.h"
#include "characters/CharacterProfile.h"
#include "characters/CharacterStates.h"
#include "characters/SuspicionMeter.h"
#include "characters/SuspicionRules.h"
#include "characters/WaypointObject.h"
#include "characters/animators/AnimatorBase.h"
#include "level/LevelHooks.h"
#include "level/SceneNodeTypes.h"
#include "physics/world/PhysicsHooks.h"

void registerCharacterLevelSlots() {
    LevelHookTable::Characters& level = levelHooks().characters;
    level.makeProfile = [](const std::string& file) -> std::shared_ptr<CharacterProfile> {
        auto profile = std::make_shared<CharacterProfile>();
        profile->fileName = file;
        if (file.empty())
            return profile;
        if (profile->load(file) != 0)
            return nullptr;
        profile->finishLoad();
        return profile;
    };
    level.resetSuspicion = [](std::shared_ptr<SuspicionMeter>& record) {
        if (record)
            record->resetForLevel();
        else
            record = std::make_shared<SuspicionMeter>();
    };
    level.updateSuspicion = updateSuspicion;
    level.reduceSuspicion = reduceSuspicion;
    level.isSuspicionFull = [](const SuspicionMeter& meter, bool pending) {
        return (pending ? meter.pendingValue : meter.value) >= 100.0f;
    };
}

void registerCharacters() {
    registerWaypointType();
    registerSceneNodeType(levelObjectRow<CharacterObject>(typeId("crct"), "CharacterObject"));

    registerCharacterLevelSlots();

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
    physics.walkingPush = [](void* character, irr::core::vector3df& walkVector, irr::f32& pushValue) {
        return walkingPush(static_cast<const CharacterObject*>(character), walkVector, pushValue);
    };
    physics.onControllersMet = [](void* character, void* other) {
        onCharactersMet(static_cast<CharacterObject*>(character), static_cast<CharacterObject*>(other));
    };
    // A physics object's ended mesh animation starts the animators it names.
    physics.enableAnimators = enableAnimatorsByID;
    physics.setAnimatorEnabled = [](irr::scene::ISceneNodeAnimator* animator, bool enabled) {
        AnimatorBase* own = asGameAnimator(animator);
        if (own)
            own->setEnabled(enabled);
        return own != nullptr;
    };
}
