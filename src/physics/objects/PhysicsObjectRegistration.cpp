// The physics object's row in the scene-node factory and the slots of the level subsystem
// and of the filter callback that it fills.
#include "physics/objects/PhysicsObject.h"

#include "physics/world/PhysicsFiltering.h"

#include "level/InstancedObject.h"
#include "level/LevelHooks.h"
#include "level/SceneNodeTypes.h"

void registerPhysicsObjectTypes() {
    registerSceneNodeType(levelObjectRow<PhysicsObject>(typeId("phsx"), "PhysicsObject"));

    setExclusionTest([](irr::scene::ISceneNode* node, irr::s32 otherID) {
        PhysicsObject* object = asPhysicsObject(node);
        return object && object->excludesObject(otherID);
    });

    LevelHookTable::Physics& level = levelHooks().physics;
    level.setSublevelOutlier = [](irr::scene::ISceneNode* node, bool outlier) {
        if (PhysicsObject* object = asPhysicsObject(node))
            object->mesh().isSublevelOutlier = outlier;
    };
    level.cloneForInstance = [](irr::scene::ISceneNode* source,
                                InstancedObject* instance) -> irr::scene::ISceneNode* {
        PhysicsObject* object = asPhysicsObject(source);
        if (!object || !instance)
            return nullptr;
        return object->clone(instance, instance->getSceneManager());
    };
    level.registerInstance = [](irr::scene::ISceneNode* source, InstancedObject* instance) {
        PhysicsObject* object = asPhysicsObject(source);
        if (!object || !instance)
            return;
        ++object->mesh().instanceBindCount;
        auto& instances = object->mesh().instances;
        if (std::find(instances.begin(), instances.end(), instance) == instances.end())
            instances.push_back(instance);
    };
}
