// The physics object's row in the scene-node factory and the slots of the level subsystem
// and of the filter callback that it fills.
#include "physics/objects/PhysicsObject.h"

#include "physics/world/PhysicsFiltering.h"

#include "level/InstancedObject.h"
#include "level/LevelHooks.h"
#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"
#include "render/RenderServices.h"
#include "render/ShaderCallbacks.h"

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
        object->registerInstance(instance);
    };

    // What the renderer asks of physics objects while it draws them.
    RenderServices::Physics& render = renderServices().physics;
    render.isMoving = [](irr::scene::ISceneNode* node) {
        PhysicsObject* object = asPhysicsObject(node);
        return object && object->getPhysicsState() != PhysicsState::Static;
    };
    render.instancePoint = [](irr::scene::ISceneNode* node, irr::core::vector3df& point) {
        PhysicsObject* object = asPhysicsObject(node);
        if (!object || object->activeInstanceCount == 0)
            return false;
        point = object->mesh().instanceCentroid;
        return true;
    };
    render.meshRendered = [](irr::scene::ISceneNode* node) {
        if (PhysicsObject* object = asPhysicsObject(node))
            object->meshRenderedEvent.invoke();
    };
    render.instanceTransforms = [](irr::scene::ISceneNode* drawn, std::vector<irr::core::matrix4>& out) {
        PhysicsObject* owner = asPhysicsObject(findAncestorOfKindUp(drawn, typeId("phsx")));
        return owner && owner->getInstancedMeshNode() == drawn && owner->getInstanceTransforms(out);
    };
    render.sendJointTransforms = [](irr::video::IMaterialRendererServices* services, irr::scene::ISceneNode* drawn) {
        PhysicsObject* owner = asPhysicsObject(findAncestorOfKindUp(drawn, typeId("phsx")));
        if (!owner || owner->getHardwareJointCount() <= 1 || !owner->getJointTransforms())
            return false;
        services->setVertexShaderConstant(arrayConstantName("mJointTransform", "mJointTransform[0]"),
                                          owner->getJointTransforms(),
                                          static_cast<irr::s32>(owner->getHardwareJointCount() * 12));
        return true;
    };
}
