#pragma once

#include "triggers/TriggerAction.h"

#include <deque>

class InstancedObject;
class PhysicsObject;

// "Spawn Object": keeps a pool of copies of one template object, made when the level has
// loaded, and each time its trigger fires places the copy used longest ago at a reference
// node, a fixed pose or the event's contact point, and shows it. Copies take consecutive
// IDs from BaseID so that a checkpoint save stores them and a reload finds them again.
// A plain physics object of one material is copied by instancing: the first copy is the
// instancing source and every further copy lives in an instance of it, so that the pool
// can be drawn as one merged mesh. Each copy (the template with everything below it) is
// charged to the level load's budget of scene nodes (core/LoadBudget.h), and charges the
// memory it allocates (a cloth, particles, glyphs) as it is made; a copy past either budget
// is left out, and with it every copy after it. Copies share their template's collision
// shapes (physics/bodies/CollisionShapeCache.h). The build draws a loading frame before each
// copy and ends at a quit, as the level reader does between its objects.
class SpawnObjectAction : public TriggerAction {
public:
    static constexpr irr::s32 actionType = 9;
    enum Mode : irr::s32 { ReferenceNode = 0, Manual = 1, ContactPoint = 2 };
    static const char* const spawnModeNames[4];

    explicit SpawnObjectAction(TriggerObject* trigger);
    ~SpawnObjectAction() override;

    void update() override { buildPool(); }
    void execute(TriggerEventInfo& event) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    TriggerAction* clone(TriggerObject* newTrigger) const override;

    // Makes (or finds) the copies once, while the level plays.
    void buildPool();

    const std::deque<irr::scene::ISceneNode*>& getPool() const { return pool; }
    irr::scene::ISceneNode* getLeftoverCopy() const { return leftover; }
    // The first copy when the pool is instanced, else null.
    PhysicsObject* getInstancingSource() const { return instancingSource; }
    bool isPoolPending() const { return poolPending; }

    irr::core::vector3df TargetPosition;
    irr::core::vector3df TargetRotation;
    irr::s32 SpawnMode = ReferenceNode;
    irr::s32 BaseID = 0;
    irr::s32 ObjectID = 0;
    irr::s32 TargetID = 0;
    irr::s32 PoolSize = 1;
    bool FindExistingNodes = false;

private:
    // A hidden copy of the template made from its attributes, under the scene root.
    irr::scene::ISceneNode* makeCopy(irr::io::IAttributes* templateKeys);
    // An instance of the instancing source under the scene root, rebuilt so that it holds
    // its copy.
    InstancedObject* makeInstance(irr::s32 id);
    void placeLeftover(irr::scene::ISceneNode* chosen);

    std::deque<irr::scene::ISceneNode*> pool; // next copy first
    irr::scene::ISceneNode* leftover = nullptr;
    irr::scene::ISceneNode* templateNode = nullptr;
    PhysicsObject* instancingSource = nullptr;
    irr::core::vector3df referenceRotation;
    bool poolPending = true;
    bool joinedLevelLoaded = false;
};
