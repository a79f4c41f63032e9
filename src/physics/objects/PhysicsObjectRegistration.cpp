// The physics object's row in the scene-node factory and the slots of the level subsystem
// and of the filter callback that it fills.
#include "physics/objects/PhysicsObject.h"
#include "physics/joints/JointObject.h"
#include "physics/special/AdvancedPhysicsObject.h"
#include "physics/special/TieObject.h"

#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsHooks.h"
#include "physics/world/PhysicsUserData.h"

#include "level/InstancedObject.h"
#include "level/LevelHooks.h"
#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"

void registerPhysicsObjectTypes() {
    registerSceneNodeType(levelObjectRow<PhysicsObject>(typeId("phsx"), "PhysicsObject"));
    registerJointObjectType();
    registerAdvancedPhysicsObjectType();
    registerTieObjectType();

    setExclusionTest([](irr::scene::ISceneNode* node, irr::s32 otherID) {
        PhysicsObject* object = asPhysicsObject(node);
        return object && object->excludesObject(otherID);
    });

    LevelHookTable::Physics& level = levelHooks().physics;
    level.setSublevelState = [](irr::scene::ISceneNode* node, bool active, bool outlier) {
        if (PhysicsObject* object = asPhysicsObject(node))
            object->mesh().isSublevelOutlier = outlier;
        if (PhysicsUserData* record = findUserDataOfNode(node))
            record->active = active;
    };
    level.cloneForInstance = [](irr::scene::ISceneNode* source,
                                InstancedObject* instance) -> irr::scene::ISceneNode* {
        PhysicsObject* object = asPhysicsObject(source);
        if (!object || !instance)
            return nullptr;
        // Every copy is a body of its own; only the drawing is shared with the source.
        PhysicsObject* copy = asPhysicsObject(object->clone(instance, instance->getSceneManager()));
        if (copy) {
            // The copy stands where its instance stands, at its source's size: the source's
            // place (a dynamic source's taken as world) would put it elsewhere.
            copy->IgnoreParentTransform = false;
            copy->setPosition(irr::core::vector3df());
            copy->setRotation(irr::core::vector3df());
            copy->checkParenting(copy->getBoundType());
        }
        return copy;
    };
    level.registerInstance = [](irr::scene::ISceneNode* source, InstancedObject* instance) {
        PhysicsObject* object = asPhysicsObject(source);
        if (!object || !instance)
            return;
        ++object->mesh().instanceBindCount;
        object->registerInstance(instance);
    };
}
