#include "level/SceneNodeFactory.h"

#include "level/CubeNode.h"
#include "level/InstancedObject.h"
#include "level/LevelInfo.h"
#include "level/LevelObject.h"
#include "level/MarkerObject.h"
#include "level/ObjectiveObject.h"
#include "level/SceneNodeTypes.h"
#include "level/SoundObject.h"
#include "level/SplineObject.h"
#include "level/SubLevelObject.h"
#include "level/VariableObject.h"

using namespace irr;

scene::ISceneNode* SceneNodeFactory::create(const SceneNodeTypeRow* row,
                                            scene::ISceneNode* parent) {
    if (!row || !row->create || !manager)
        return nullptr;
    if (!parent)
        parent = manager->getRootSceneNode();
    return row->create(parent, manager);
}

scene::ISceneNode* SceneNodeFactory::addSceneNode(scene::ESCENE_NODE_TYPE type,
                                                  scene::ISceneNode* parent) {
    return create(findSceneNodeType(type), parent);
}

scene::ISceneNode* SceneNodeFactory::addSceneNode(const c8* typeName, scene::ISceneNode* parent) {
    return create(findSceneNodeType(typeName), parent);
}

u32 SceneNodeFactory::getCreatableSceneNodeTypeCount() const {
    return static_cast<u32>(factorySceneNodeTypes().size());
}

scene::ESCENE_NODE_TYPE SceneNodeFactory::getCreateableSceneNodeType(u32 index) const {
    const auto& rows = factorySceneNodeTypes();
    return index < rows.size() ? rows[index]->type : scene::ESNT_UNKNOWN;
}

const c8* SceneNodeFactory::getCreateableSceneNodeTypeName(u32 index) const {
    const auto& rows = factorySceneNodeTypes();
    return index < rows.size() ? rows[index]->typeName.c_str() : nullptr;
}

const c8* SceneNodeFactory::getCreateableSceneNodeTypeName(scene::ESCENE_NODE_TYPE type) const {
    const SceneNodeTypeRow* row = findSceneNodeType(type);
    return (row && row->create && !row->typeName.empty()) ? row->typeName.c_str() : nullptr;
}

void registerLevelObjectTypes() {
    registerSceneNodeType(levelObjectRow<LevelObject>(typeId("emty"), "LevelObject"));
    registerSceneNodeType(levelObjectRow<LevelInfo>(typeId("lvli"), "LevelInfo"));
    registerSceneNodeType(levelObjectRow<SubLevelObject>(typeId("slvl"), "SubLevelObject"));
    registerSceneNodeType(levelObjectRow<InstancedObject>(typeId("inst"), "InstancedObject"));
    registerSceneNodeType(levelObjectRow<SplineObject>(typeId("slne"), "SplineObject"));
    registerSceneNodeType(levelObjectRow<VariableObject>(typeId("vble"), "VariableObject"));
    registerSceneNodeType(levelObjectRow<MarkerObject>(typeId("mrkr"), "MarkerObject"));
    registerSceneNodeType(levelObjectRow<SoundObject>(typeId("sond"), "SoundObject"));
    registerSceneNodeType(levelObjectRow<ObjectiveObject>(typeId("obji"), "ObjectiveObject"));
    // The engine's empty node has the same type identifier as a plain level object: files
    // that name it get a level object, which reads only the keys a file holds.
    registerSceneNodeTypeAlias("empty", typeId("emty"));
    // Level files' engine cubes are the game's, drawn without a material copy.
    registerCubeNodeType();
    registerStandardKinship();
}

void registerSceneNodeFactory(scene::ISceneManager* manager) {
    registerLevelObjectTypes();
    if (!manager)
        return;
    SceneNodeFactory* factory = new SceneNodeFactory(manager);
    manager->registerSceneNodeFactory(factory);
    factory->drop();
}
