#pragma once

#include "level/LevelObject.h"
#include "player/MovementTuning.h"

// The movement tuning as a scene node of type 'move': one instance for the whole run, made
// at start-up (no parent, the game's scene manager, id -1) and kept in movementObject; a
// level may hold more (the factory's "ConfigTentMovementObject"), each reading the tuning
// file again when it is made. The tuning keys are never written to a level file.
class ConfigTentMovementObject : public LevelObject, public MovementTuning {
public:
    ConfigTentMovementObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);
    ~ConfigTentMovementObject() override;

    const irr::core::aabbox3df& getBoundingBox() const override;
    irr::scene::ESCENE_NODE_TYPE getType() const override;
    // A new object under the new parent (this one's when null): its tuning comes from the
    // file again, not from this object.
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    // Reads the tuning file; a key it lacks keeps its current value.
    void loadConfig();

    // Every tuning key with its value (the file's, or the default for a key it lacks).
    irr::io::IAttributes* getTuningAttributes() const { return tuningAttributes; }
    const irr::core::stringc& getTuningPath() const { return tuningPath; }

private:
    irr::io::IAttributes* tuningAttributes = nullptr;
    irr::core::stringc tuningPath;
};

// The gravity of the physics scene: the movement object's Gravity. False (gravity untouched)
// while there is no movement object. The physics manager (its scene gravity, and the negated
// y it keeps) and the level settings ("UseDefaultGravity") take it from here.
bool getMovementGravity(irr::core::vector3df& gravity);
