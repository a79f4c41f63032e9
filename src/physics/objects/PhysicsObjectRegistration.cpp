// The physics object's row in the scene-node factory and the slots of the level subsystem
// and of the filter callback that it fills.
#include "physics/objects/PhysicsObject.h"
#include "physics/joints/JointObject.h"
#include "physics/special/AdvancedPhysicsObject.h"
#include "physics/special/TieObject.h"
#include "render/HardwareSkinning.h"

#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsHooks.h"
#include "physics/world/PhysicsUserData.h"

#include "level/InstancedObject.h"
#include "level/LevelHooks.h"
#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"
#include "render/RenderServices.h"
#include "render/ShaderCallbacks.h"

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
        if (copy)
            copy->checkParenting(copy->getBoundType());
        return copy;
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
    render.tracksJoints = [](irr::scene::ISceneNode* node) {
        PhysicsObject* object = asPhysicsObject(node);
        return object && object->mesh().boneControlled && object->getHardwareJointCount() > 1;
    };
    render.meshRendered = [](irr::scene::ISceneNode* node) {
        if (PhysicsObject* object = asPhysicsObject(node))
            object->meshRenderedEvent.invoke();
    };
    render.instanceTransforms = [](irr::scene::ISceneNode* drawn, std::vector<irr::core::matrix4>& out) {
        PhysicsObject* owner = asPhysicsObject(findAncestorOfKindUp(drawn, typeId("phsx")));
        return owner && owner->getInstancedMeshNode() == drawn && owner->getInstanceTransforms(out);
    };
    render.jointRows = [](irr::scene::ISceneNode* node, irr::u32& hardwareJoints) -> const irr::f32* {
        PhysicsObject* object = asPhysicsObject(node);
        hardwareJoints = object ? object->getHardwareJointCount() : 0;
        // Rows are kept only while the object animates its own mesh; otherwise (a character
        // moving its joints itself) the drawn mesh's joints are read instead.
        if (!object || hardwareJoints <= 1 || object->mesh().AnimFPS <= 0.0f)
            return nullptr;
        return object->getJointTransforms();
    };
    render.isDrawnAsInstance = [](irr::scene::ISceneNode* node) {
        PhysicsObject* object = asPhysicsObject(node);
        return object && object->isInstance && object->getInstanceSource();
    };
    render.shadingState = [](irr::scene::ISceneNode* node, ShadedObjectState& state) {
        PhysicsObject* object = asPhysicsObject(node);
        if (!object)
            return false;
        state.alpha = object->getEffectiveAlpha();
        state.receiveShadow = object->ReceiveShadow;
        state.hasReflectionView = object->IsReflective && object->getReflection().reflectionReady;
        state.reflectionView = object->getReflection().reflectionViewMatrix;
        return true;
    };
    // Meshes with joints go to the card's skinning once their shader variant exists.
    physicsHooks().render.prepareSkinnedMesh = [](irr::scene::IAnimatedMeshSceneNode* node) {
        prepareNodeForHardwareSkinning(node);
    };
}
