#pragma once

#include <irrlicht.h>

// The engine's scene-node factory interface over the program's type table
// (SceneNodeTypes.h): it makes every type that a subsystem has registered with a create
// function, by factory type name or by type identifier. A name it does not know answers
// null, and the scene manager then asks the engine's own factories.
class SceneNodeFactory : public irr::scene::ISceneNodeFactory {
public:
    explicit SceneNodeFactory(irr::scene::ISceneManager* manager) : manager(manager) {}

    irr::scene::ISceneNode* addSceneNode(irr::scene::ESCENE_NODE_TYPE type,
                                         irr::scene::ISceneNode* parent = nullptr) override;
    irr::scene::ISceneNode* addSceneNode(const irr::c8* typeName,
                                         irr::scene::ISceneNode* parent = nullptr) override;

    irr::u32 getCreatableSceneNodeTypeCount() const override;
    irr::scene::ESCENE_NODE_TYPE getCreateableSceneNodeType(irr::u32 index) const override;
    const irr::c8* getCreateableSceneNodeTypeName(irr::u32 index) const override;
    const irr::c8* getCreateableSceneNodeTypeName(irr::scene::ESCENE_NODE_TYPE type) const override;

private:
    irr::scene::ISceneNode* create(const struct SceneNodeTypeRow* row,
                                   irr::scene::ISceneNode* parent);

    // Not grabbed: the scene manager holds the factory.
    irr::scene::ISceneManager* manager;
};

// Registers the level subsystem's types and kinship rows, makes the factory and registers
// it with the scene manager (start-up, before the GUI-element and animator factories).
void registerSceneNodeFactory(irr::scene::ISceneManager* manager);

// The level subsystem's own rows: "LevelObject" ('emty'), "LevelInfo" ('lvli'),
// "SubLevelObject" ('slvl'), "InstancedObject" ('inst'), "SplineObject" ('slne'),
// "VariableObject" ('vble'), "MarkerObject" ('mrkr'), and the standard kinship rows.
void registerLevelObjectTypes();
