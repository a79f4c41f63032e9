#pragma once

#include <irrlicht.h>

#include <functional>
#include <vector>

// What every animator of the game shares: the engine's animator interface with six
// operations of its own (ID, Enabled, Reversed), the three base attributes, the fifteen
// type ids and names, and the small services the animators call each frame.
//
// The ID is not an object ID: it names an animator within its node, so that other code
// (the physics objects' next-animator chaining) can find and enable it. Enabled switches
// an animator's per-frame work; Reversed runs a time-driven one backwards.

class PlayerObject;
struct CharacterProfile;
class SplineObject;
class VariableObject;

namespace AnimatorType {
constexpr irr::s32 MoveStraight = 1000;
constexpr irr::s32 MoveSpline = 1001;
constexpr irr::s32 AnimateFrame = 1002;
constexpr irr::s32 AnimateTexture = 1003;
constexpr irr::s32 AnimateUVs = 1004;
constexpr irr::s32 AnimateColor = 1005;
constexpr irr::s32 AnimateSpline = 1006;
constexpr irr::s32 ParentToObject = 1007;
constexpr irr::s32 AttachToMeshBone = 1008;
constexpr irr::s32 ControlMeshBone = 1009;
constexpr irr::s32 PhysicsForce = 1010;
constexpr irr::s32 MoveFlyCircle = 1011;
constexpr irr::s32 MoveRotation = 1012;
constexpr irr::s32 RotateTowards = 1013;
constexpr irr::s32 SwimSpline = 1014;
constexpr irr::s32 First = MoveStraight;
constexpr irr::s32 Count = 15;
// The engine's value for an animator type it does not know.
constexpr irr::s32 Unknown = 10;
} // namespace AnimatorType

// The fifteen type names in id order, then a null entry.
extern const char* const animatorTypeNames[AnimatorType::Count + 1];
// The id of a name (exact, case-sensitive), or AnimatorType::Unknown.
irr::s32 findAnimatorType(const char* name);

class AnimatorBase : public irr::scene::ISceneNodeAnimator {
public:
    AnimatorBase() = default;

    // "ID", "Enabled", "Reversed" (written in this order). Reading takes "Reversed" only
    // when present; a missing "Enabled" reads as false.
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    bool isEventReceiverEnabled() const override { return false; }
    bool OnEvent(const irr::SEvent&) override { return false; }
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override {
        return static_cast<irr::scene::ESCENE_NODE_ANIMATOR_TYPE>(AnimatorType::Unknown);
    }
    bool hasFinished() const override { return false; }

    virtual irr::s32 getID() const { return ID; }
    virtual void setID(irr::s32 id) { ID = id; }
    virtual bool isEnabled() const { return Enabled; }
    virtual void setEnabled(bool enabled) { Enabled = enabled; }
    virtual bool isReversed() const { return Reversed; }
    virtual void setReversed(bool reversed) { Reversed = reversed; }

protected:
    // "EnabledInEditor" after the base keys (every type but animateTexture carries it).
    void writeEditorFlag(irr::io::IAttributes* out) const;
    // Reads it only when present.
    void readEditorFlag(irr::io::IAttributes* in);
    // The clone of a type: its attributes written into an empty container and read into
    // the fresh animator, so it starts with fresh run-time state.
    template <class T>
    T* cloneInto(T* fresh, irr::scene::ISceneManager* manager) const {
        copyAttributesInto(fresh, manager);
        return fresh;
    }
    void copyAttributesInto(AnimatorBase* fresh, irr::scene::ISceneManager* manager) const;
    // The last gates of a time-driven animator before it moves anything: a node to move and
    // the switch on. wasEnabled keeps the switch for the next frame's restart test.
    bool readyToRun(const irr::scene::ISceneNode* node, bool& wasEnabled) const {
        if (!node) {
            wasEnabled = Enabled;
            return false;
        }
        if (!Enabled) {
            wasEnabled = false;
            return false;
        }
        return true;
    }

    irr::s32 ID = 0;
    bool Enabled = true;
    bool Reversed = false;
    bool EnabledInEditor = true;
};

// The animator of the type, or null (the node keeps its animators by the engine's type).
AnimatorBase* asGameAnimator(irr::scene::ISceneNodeAnimator* animator);
// The node's game animators whose ID is id, in list order.
std::vector<AnimatorBase*> findAnimatorsByID(irr::scene::ISceneNode* node, irr::s32 id);
// Enables every game animator of the node whose ID is id (how a level chains animators).
void enableAnimatorsByID(irr::scene::ISceneNode* node, irr::s32 id);

// --- services of the frame ----------------------------------------------------------------
// The frame stopwatch's delta seconds (0 without it): every animator but the circle mover
// runs by it.
irr::f32 animatorFrameSeconds();
// The level object of an ID through the level manager (null for 0, -1 and without one; an
// unknown ID is logged by the lookup).
irr::scene::ISceneNode* findAnimatorObject(irr::s32 id);
// The object of the ID when its type is exactly 'slne' or 'vble'.
SplineObject* findSplineObject(irr::s32 id);
VariableObject* findVariableObject(irr::s32 id);
// 'phsx', 'apsx', 'ties' or 'crct': an object with an animated mesh child.
bool isMeshOwner(irr::scene::ISceneNode* node);
// The animated mesh node of a mesh owner or of a player body ('plr1'); else null.
irr::scene::IAnimatedMeshSceneNode* ownerMeshNode(irr::scene::ISceneNode* node);
// The first local player, or null (the list is never filled by this program).
PlayerObject* firstPlayer();
