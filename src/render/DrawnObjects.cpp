#include "render/DrawnObjects.h"

#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"
#include "physics/objects/PhysicsObject.h"

bool readShadedObjectState(irr::scene::ISceneNode* node, ShadedObjectState& state) {
    PhysicsObject* object = asPhysicsObject(node);
    if (!object)
        return false;
    state.alpha = object->getEffectiveAlpha();
    state.pulsePhase = object->mesh().highlightPulse;
    state.highlightMode = object->mesh().highlightMode;
    state.highlightFlashTime = object->suspicion().displayTimer;
    state.receiveShadow = object->ReceiveShadow;
    state.rimShading = object->UseRimShading;
    state.hasReflectionView = object->IsReflective && object->getReflection().reflectionReady;
    state.reflectionView = object->getReflection().reflectionViewMatrix;
    return true;
}

bool isMovingObject(irr::scene::ISceneNode* node) {
    PhysicsObject* object = asPhysicsObject(node);
    return object && object->getPhysicsState() != PhysicsState::Static;
}

bool readInstancePoint(irr::scene::ISceneNode* node, irr::core::vector3df& point) {
    PhysicsObject* object = asPhysicsObject(node);
    if (!object || object->activeInstanceCount == 0)
        return false;
    point = object->mesh().instanceCentroid;
    return true;
}

bool tracksSkinningJoints(irr::scene::ISceneNode* node) {
    PhysicsObject* object = asPhysicsObject(node);
    return object && object->mesh().boneControlled && object->getHardwareJointCount() > 1;
}

void notifyMeshRendered(irr::scene::ISceneNode* node) {
    if (PhysicsObject* object = asPhysicsObject(node))
        object->meshRenderedEvent.invoke();
}

bool readInstanceTransforms(irr::scene::ISceneNode* drawn, std::vector<irr::core::matrix4>& out) {
    PhysicsObject* owner = asPhysicsObject(findAncestorOfKindUp(drawn, typeId("phsx")));
    return owner && owner->getInstancedMeshNode() == drawn && owner->getInstanceTransforms(out);
}

const irr::f32* readObjectJointRows(irr::scene::ISceneNode* node, irr::u32& hardwareJoints) {
    PhysicsObject* object = asPhysicsObject(node);
    hardwareJoints = object ? object->getHardwareJointCount() : 0;
    // Rows are kept only while the object animates its own mesh.
    if (!object || hardwareJoints <= 1 || object->mesh().AnimFPS <= 0.0f)
        return nullptr;
    return object->getJointTransforms();
}

bool isDrawnAsInstance(irr::scene::ISceneNode* node) {
    PhysicsObject* object = asPhysicsObject(node);
    return object && object->isInstance && object->getInstanceSource();
}
