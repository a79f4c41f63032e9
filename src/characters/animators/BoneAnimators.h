#pragma once

#include "characters/animators/AnimatorBase.h"

#include <vector>

class LevelManager;

// Two animators that connect level objects with the joints of animated meshes. Their work
// runs from callback lists invoked later in the frame, after the meshes have animated: the
// level manager's end-of-update list and the mesh owners' rendered and animation-updated
// lists. An animator leaves every list it joined when it is destroyed (an owner that is
// already gone took its list with it).

// Makes its node follow one joint of another object's animated mesh ("attachToMeshBone").
class AttachToMeshBoneAnimator : public AnimatorBase {
public:
    explicit AttachToMeshBoneAnimator(irr::scene::ISceneManager* manager);
    ~AttachToMeshBoneAnimator() override;
    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // The callback of both lists: places the node on the joint and updates its subtree.
    void follow();
    // Places the node on the joint (no transform update).
    void followJoint(irr::scene::ISceneNode* target);
    // The character that owns the animator (a vision cone's): its object ID becomes the
    // parent ID whenever it has one.
    void setCharacterID(irr::s32 id) { parentID = id; }

    irr::scene::ISceneNode* node = nullptr;
    irr::core::stringc jointName;
    irr::scene::ISceneManager* sceneManager;
    irr::scene::IAnimatedMeshSceneNode* parentMesh = nullptr;
    irr::scene::ISceneNode* parentObject = nullptr;
    irr::s32 parentID = 0;
    irr::s32 jointIndex = 0;
    bool parentIsPlayer = false;
    bool jointValid = true;
    bool useCurrentJoint = false;
    bool joinedParentList = false;

private:
    void resolveParent();
    LevelManager* joinedManager = nullptr;
    irr::scene::ISceneNode* joinedParent = nullptr;
    irr::u32 lastRunTime = 0;
};

// Drives the joints of its own object's animated mesh from level objects, one per joint,
// or from the same-named joints of another object's mesh ("controlMeshBone").
class ControlMeshBoneAnimator : public AnimatorBase {
public:
    enum ControlType { MultipleNodes = 0, MatchBoneNames = 1 };
    static const char* const controlTypeNames[3];

    ControlMeshBoneAnimator(irr::scene::ISceneManager* manager, irr::scene::ISceneNode* target);
    ~ControlMeshBoneAnimator() override;
    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // The callback after the owner has advanced its mesh animation.
    void control();

    irr::s32 controlType = MultipleNodes;
    irr::scene::ISceneManager* sceneManager;
    irr::scene::ISceneNode* owner = nullptr;
    irr::scene::IAnimatedMeshSceneNode* ownerMesh = nullptr;
    std::vector<irr::scene::ISceneNode*> jointObjects;
    std::vector<irr::s32> jointObjectIDs;
    std::vector<irr::scene::ISceneNode*> orientObjects;
    std::vector<irr::s32> orientObjectIDs;
    irr::s32 jointCount = 0;
    irr::scene::IAnimatedMeshSceneNode* sourceMesh = nullptr;
    irr::s32 animatedObjectID = 0;
    irr::f32 blendAmount = 1.0f;
    bool joinedOwnerList = false;

private:
    void controlMultipleNodes();
    void controlMatchBoneNames();
    irr::scene::ISceneNode* joinedOwner = nullptr;
};

// Whether a mesh owner still lives (its physics record exists): callback lists of an owner
// that is being destroyed are gone.
bool isMeshOwnerAlive(irr::scene::ISceneNode* owner);
