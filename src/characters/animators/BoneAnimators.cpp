#include "characters/animators/BoneAnimators.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/ProgramQueries.h"
#include "level/AttributeExtras.h"
#include "level/LevelInfo.h"
#include "level/LevelManager.h"
#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"
#include "level/WorldTransform.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsUserData.h"
#include "render/EffectHandler.h"

#include <cmath>
#include <string>

using namespace irr;

namespace {

constexpr f32 boneRadiansToDegrees = 57.2957763671875f;

std::string boneKey(const char* word, s32 number) { return word + std::to_string(number); }

PhysicsObjectBase* asPhysicsBase(scene::ISceneNode* node) {
    return isMeshOwner(node) ? static_cast<PhysicsObjectBase*>(asPhysicsObject(node)) : nullptr;
}

} // namespace

bool isMeshOwnerAlive(scene::ISceneNode* owner) { return owner && findUserDataOfNode(owner) != nullptr; }

// --- attachToMeshBone ---------------------------------------------------------------------

AttachToMeshBoneAnimator::AttachToMeshBoneAnimator(scene::ISceneManager* manager) : sceneManager(manager) {
    if (levelManager) {
        joinedManager = levelManager;
        joinedManager->onEndOfUpdate.addMember(this, &AttachToMeshBoneAnimator::follow);
    }
}

AttachToMeshBoneAnimator::~AttachToMeshBoneAnimator() {
    if (joinedManager && joinedManager == levelManager)
        joinedManager->onEndOfUpdate.removeMember(this, &AttachToMeshBoneAnimator::follow);
    if (joinedParent && isMeshOwnerAlive(joinedParent))
        if (PhysicsObjectBase* parent = asPhysicsBase(joinedParent))
            parent->meshRenderedEvent.removeMember(this, &AttachToMeshBoneAnimator::follow);
}

scene::ESCENE_NODE_ANIMATOR_TYPE AttachToMeshBoneAnimator::getType() const {
    return static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(AnimatorType::AttachToMeshBone);
}

void AttachToMeshBoneAnimator::resolveParent() {
    if (parentMesh)
        return;
    parentIsPlayer = false;
    scene::ISceneNode* object = findAnimatorObject(parentID);
    if (isMeshOwner(object)) {
        parentObject = object;
        parentMesh = ownerMeshNode(object);
    } else if (object && object->getType() == typeId("plr1")) {
        parentObject = object;
        parentMesh = ownerMeshNode(object);
        parentIsPlayer = true;
    } else if (levelManager && levelManager->currentLevelInfo && levelManager->currentLevelInfo->getID() == parentID) {
        parentMesh = levelManager->currentLevelInfo->meshNode;
    }
}

void AttachToMeshBoneAnimator::animateNode(scene::ISceneNode* n, u32) {
    node = n;
    if (!node || !Enabled)
        return;
    resolveParent();
    if (parentMesh && parentObject && jointValid && !joinedParentList) {
        if (isSimulationRunning())
            if (PhysicsObjectBase* parent = asPhysicsBase(parentObject)) {
                parent->meshRenderedEvent.addMember(this, &AttachToMeshBoneAnimator::follow);
                joinedParent = parentObject;
            }
        joinedParentList = true;
    }
}

void AttachToMeshBoneAnimator::follow() {
    const u32 now = gameDevice ? gameDevice->getTimer()->getTime() : 0;
    if (now == lastRunTime || !node || !gameDevice || node->getSceneManager() != gameDevice->getSceneManager())
        return;
    followJoint(node);
    updateTransformsRecursive(node);
}

void AttachToMeshBoneAnimator::followJoint(scene::ISceneNode* target) {
    if (!target || !Enabled || !parentMesh || !jointValid)
        return;
    scene::IBoneSceneNode* joint = nullptr;
    if (jointName.size() < 2) {
        if (jointIndex >= 0 && static_cast<u32>(jointIndex) < parentMesh->getJointCount())
            joint = parentMesh->getJointNode(static_cast<u32>(jointIndex));
    } else {
        joint = parentMesh->getJointNode(jointName.c_str());
        if (!joint) {
            logMessage((core::stringc("ERROR: Joint name does not exist: ") + jointName + " - " +
                        getNodeDisplayName(target))
                           .c_str());
            jointValid = false;
        }
    }
    if (!joint) {
        if (isSimulationRunning())
            parentID = -1; // lets go of the parent for good
        parentMesh = nullptr;
        return;
    }
    if (parentIsPlayer) {
        // The player's body attaches the node itself; no body exists in this program.
    } else {
        core::matrix4 m = joint->getAbsoluteTransformation();
        scene::IAnimatedMesh* mesh = parentMesh->getMesh();
        if (effectHandler && effectHandler->hardwareSkinning && !useCurrentJoint && mesh &&
            mesh->getMeshType() == scene::EAMT_SKINNED) {
            if (parentObject && isTypeOf(parentObject->getType(), typeId("crct")))
                parentMesh->setAutomaticCulling(scene::EAC_OFF);
            scene::ISkinnedMesh* skinned = static_cast<scene::ISkinnedMesh*>(mesh);
            const s32 number = skinned->getJointNumber(joint->getName());
            if (number >= 0)
                m = parentMesh->getAbsoluteTransformation() * skinned->getAllJoints()[number]->GlobalAnimatedMatrix;
        }
        target->setPosition(m.getTranslation());
        target->setRotation(m.getRotationDegrees());
    }
    parentMesh = nullptr;
}

scene::ISceneNodeAnimator* AttachToMeshBoneAnimator::createClone(scene::ISceneNode*, scene::ISceneManager* manager) {
    return cloneInto(new AttachToMeshBoneAnimator(manager), manager);
}

void AttachToMeshBoneAnimator::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    AnimatorBase::serializeAttributes(out, options);
    writeEditorFlag(out);
    addObjectReference(out, "ParentID", parentID);
    out->addInt("JointIndex", jointIndex);
    out->addString("JointName", jointName.c_str());
    out->addBool("UseCurrentJoint", useCurrentJoint);
}

void AttachToMeshBoneAnimator::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    AnimatorBase::deserializeAttributes(in, options);
    readEditorFlag(in);
    parentID = in->getAttributeAsInt("ParentID");
    jointIndex = in->getAttributeAsInt("JointIndex");
    jointName = in->getAttributeAsString("JointName");
    useCurrentJoint = in->getAttributeAsBool("UseCurrentJoint");
    parentMesh = nullptr;
    jointValid = true;
}

// --- controlMeshBone ----------------------------------------------------------------------

const char* const ControlMeshBoneAnimator::controlTypeNames[3] = {"Multiple Nodes", "Match Bone Names", nullptr};

ControlMeshBoneAnimator::ControlMeshBoneAnimator(scene::ISceneManager* manager, scene::ISceneNode* target)
    : sceneManager(manager) {
    if (isMeshOwner(target)) {
        owner = target;
        ownerMesh = ownerMeshNode(target);
    }
}

ControlMeshBoneAnimator::~ControlMeshBoneAnimator() {
    if (joinedOwner && isMeshOwnerAlive(joinedOwner))
        if (PhysicsObjectBase* base = asPhysicsBase(joinedOwner))
            base->animationUpdatedEvent.removeMember(this, &ControlMeshBoneAnimator::control);
}

scene::ESCENE_NODE_ANIMATOR_TYPE ControlMeshBoneAnimator::getType() const {
    return static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(AnimatorType::ControlMeshBone);
}

void ControlMeshBoneAnimator::animateNode(scene::ISceneNode* node, u32) {
    if (!node) {
        ownerMesh = nullptr;
    } else if (!ownerMesh && isMeshOwner(node)) {
        owner = node;
        ownerMesh = ownerMeshNode(node);
    }
    if (!Enabled || !ownerMesh)
        return;
    jointCount = static_cast<s32>(ownerMesh->getJointCount());
    ownerMesh->setJointMode(scene::EJUOR_CONTROL);
    if (owner && !joinedOwnerList) {
        if (PhysicsObjectBase* base = asPhysicsBase(owner)) {
            base->animationUpdatedEvent.addMember(this, &ControlMeshBoneAnimator::control);
            joinedOwner = owner;
        }
        if (PhysicsObject* object = asPhysicsObject(owner))
            object->mesh().boneControlled = true;
        joinedOwnerList = true;
    }
}

void ControlMeshBoneAnimator::control() {
    if (!Enabled || !isSimulationRunning())
        return;
    if (controlType == MatchBoneNames)
        controlMatchBoneNames();
    else if (controlType == MultipleNodes)
        controlMultipleNodes();
}

void ControlMeshBoneAnimator::controlMultipleNodes() {
    if (!ownerMesh)
        return;
    auto fill = [this](std::vector<scene::ISceneNode*>& objects, const std::vector<s32>& ids) {
        if (!objects.empty())
            return;
        for (s32 i = 0; i < jointCount; ++i)
            objects.push_back(findAnimatorObject(static_cast<std::size_t>(i) < ids.size() ? ids[i] : 0));
    };
    fill(jointObjects, jointObjectIDs);
    fill(orientObjects, orientObjectIDs);
    if (jointObjects.empty())
        return;
    ownerMesh->setAutomaticCulling(scene::EAC_OFF);
    const bool blended = std::fabs(blendAmount - 1.0f) > 0.000001f;
    for (std::size_t i = 0; i < jointObjects.size(); ++i) {
        scene::ISceneNode* object = jointObjects[i];
        scene::IBoneSceneNode* joint = i < ownerMesh->getJointCount() ? ownerMesh->getJointNode(static_cast<u32>(i)) : nullptr;
        if (!object || !joint)
            continue;
        core::vector3df p = object->getAbsolutePosition();
        if (blended) {
            const core::vector3df q = joint->getAbsolutePosition();
            p = (p - q) * blendAmount + q;
        }
        setNodeWorldPosition(joint, p);
        scene::ISceneNode* orient = i < orientObjects.size() ? orientObjects[i] : nullptr;
        if (orient) {
            core::vector3df r = orient->getAbsoluteTransformation().getRotationDegrees();
            if (blended) {
                const core::quaternion from(joint->getAbsoluteTransformation());
                const core::quaternion to(orient->getAbsoluteTransformation());
                core::quaternion mix;
                mix.slerp(from, to, blendAmount, 0.05f);
                core::vector3df euler;
                mix.toEuler(euler);
                r = euler * boneRadiansToDegrees;
            }
            setNodeWorldRotation(joint, r);
        }
        joint->updateAbsolutePosition();
    }
}

void ControlMeshBoneAnimator::controlMatchBoneNames() {
    if (animatedObjectID != 0 && !sourceMesh) {
        scene::ISceneNode* object = findAnimatorObject(animatedObjectID);
        if (isMeshOwner(object) || (object && object->getType() == typeId("plr1")))
            sourceMesh = ownerMeshNode(object);
    }
    if (!sourceMesh || !ownerMesh)
        return;
    ownerMesh->setAutomaticCulling(scene::EAC_OFF);
    for (u32 i = 0; i < ownerMesh->getJointCount(); ++i) {
        scene::IBoneSceneNode* joint = ownerMesh->getJointNode(i);
        if (!joint)
            continue;
        scene::IBoneSceneNode* source = sourceMesh->getJointNode(joint->getName());
        if (!source)
            continue;
        if (source->getSkinningSpace() == scene::EBSS_GLOBAL && source->getParent()) {
            const core::matrix4& parent = source->getParent()->getAbsoluteTransformation();
            setNodeWorldPosition(sourceMesh, parent.getTranslation());
            setNodeWorldRotation(sourceMesh, parent.getRotationDegrees());
        }
        joint->setPosition(source->getPosition());
        joint->setRotation(source->getRotation());
    }
}

scene::ISceneNodeAnimator* ControlMeshBoneAnimator::createClone(scene::ISceneNode* node, scene::ISceneManager* manager) {
    return cloneInto(new ControlMeshBoneAnimator(manager, node), manager);
}

void ControlMeshBoneAnimator::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    AnimatorBase::serializeAttributes(out, options);
    writeEditorFlag(out);
    out->addFloat("BlendAmount", blendAmount);
    out->addEnum("ControlType", controlType < 0 ? 0 : controlType, controlTypeNames);
    if (controlType == MultipleNodes) {
        out->addInt("JointCount", jointCount);
        for (s32 i = 1; i <= jointCount; ++i)
            out->addInt(boneKey("JointPhysicsObjectID", i).c_str(),
                        static_cast<std::size_t>(i - 1) < jointObjectIDs.size() ? jointObjectIDs[i - 1] : 0);
        for (s32 i = 1; i <= jointCount; ++i)
            out->addInt(boneKey("OrientPhysicsObjectID", i).c_str(),
                        static_cast<std::size_t>(i - 1) < orientObjectIDs.size() ? orientObjectIDs[i - 1] : 0);
    } else if (controlType == MatchBoneNames) {
        addObjectReference(out, "AnimatedObjectID", animatedObjectID);
    }
}

void ControlMeshBoneAnimator::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    AnimatorBase::deserializeAttributes(in, options);
    readEditorFlag(in);
    if (in->existsAttribute("ControlType")) {
        const core::stringc name = in->getAttributeAsString("ControlType");
        controlType = -1; // a name not in the list: no control runs
        for (s32 i = 0; controlTypeNames[i]; ++i)
            if (name == controlTypeNames[i])
                controlType = i;
    }
    readIfPresent(in, "BlendAmount", blendAmount);
    jointCount = in->getAttributeAsInt("JointCount");
    animatedObjectID = in->getAttributeAsInt("AnimatedObjectID");
    jointObjectIDs.clear();
    orientObjectIDs.clear();
    for (s32 i = 1; i <= jointCount; ++i) {
        jointObjectIDs.push_back(in->getAttributeAsInt(boneKey("JointPhysicsObjectID", i).c_str()));
        orientObjectIDs.push_back(in->getAttributeAsInt(boneKey("OrientPhysicsObjectID", i).c_str()));
    }
}
