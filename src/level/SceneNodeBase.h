#pragma once

#include "level/NodeHelpers.h"
#include "level/SceneNodeTypes.h"

#include <irrlicht.h>

#include <utility>
#include <vector>

// The scene-node base of the program: what every scene node of the game has beyond the
// engine's node interface. Two editor flags ("VisibleInEditor", "Pickable"), the exact
// identity test of the absolute transformation, the parent-transform query (a physics
// object that ignores its parent's transformation answers the identity), inserting a
// child at an index, the full scene-node key set in a fixed order, and an animate pass
// that runs once per frame however many times the renderer draws the scene.
//
// SceneNodeBase<EngineNode> puts these over any engine node kind: level objects build on
// ISceneNode, lights and volume lights on their engine interfaces.

// Frame number of the level's animate pass (the level update raises it once per frame);
// 0 while no level update has run, in which case every OnAnimate call animates.
extern irr::u32 levelAnimateFrame;

// The part of the base that does not depend on the engine node kind.
class SceneNodeExtras {
public:
    virtual ~SceneNodeExtras() = default;

    bool isVisibleInEditor() const { return VisibleInEditor; }
    void setVisibleInEditor(bool visible) { VisibleInEditor = visible; }
    bool isPickable() const { return Pickable; }
    void setPickable(bool pickable) { Pickable = pickable; }

    // The transformation this node's relative transformation is applied to: the parent's
    // absolute transformation, the identity without a parent.
    virtual irr::core::matrix4 getParentAbsoluteTransformation() const = 0;
    // False unless the absolute transformation equals the identity exactly (-0.0 counts
    // as 0).
    virtual bool isAbsoluteTransformationExactlyIdentity() const = 0;

protected:
    bool VisibleInEditor = true;
    bool Pickable = true;
};

// --- helpers for any node ----------------------------------------------------------------

// The extras of a node when it is one of the program's nodes (built on SceneNodeBase),
// else null. Every such node enters itself in a registry when it is made, so engine nodes
// that share a type identifier with one of ours are never taken for it.
SceneNodeExtras* extrasOf(irr::scene::ISceneNode* node);
void registerSceneNodeExtras(irr::scene::ISceneNode* node, SceneNodeExtras* extras);
void unregisterSceneNodeExtras(irr::scene::ISceneNode* node);

// Element by element with ==, so -0.0 counts as 0 (the engine's own test compares bits or
// allows a tolerance).
bool isExactlyIdentity(const irr::core::matrix4& m);

// The parent-transform query for any node: the node's own answer when it has the extras,
// else its parent's absolute transformation (identity without a parent).
irr::core::matrix4 parentTransformOf(irr::scene::ISceneNode* node);

// The editor flags for any node; engine nodes answer the defaults (true).
bool isVisibleInEditor(irr::scene::ISceneNode* node);
bool isPickable(irr::scene::ISceneNode* node);

// "AutomaticCulling" as a name of the engine's culling table ("false", "box",
// "frustum_box", "frustum_sphere", "occ_query"); a combination of flags is written as a
// number. The reader takes a name or a number and answers false when it knows neither.
void addCullingAttribute(irr::io::IAttributes* out, const char* name, irr::u32 culling);
bool readCullingAttribute(irr::io::IAttributes* in, const char* name, irr::u32& culling);

// Writes every scene-node key whatever its value, in this order: "Name", "Id",
// "Position", "Rotation", "Scale", "Visible", "VisibleInEditor", "AutomaticCulling",
// "DebugDataVisible", "IsDebugObject", "Pickable". `extras` may be null (engine node).
void writeSceneNodeKeys(const irr::scene::ISceneNode* node, const SceneNodeExtras* extras,
                        irr::io::IAttributes* out);
// Reads the same keys, each only when present (the engine's own reader turns a missing
// "Scale" into 0,0,0 and a missing "Visible" into false).
void readSceneNodeKeys(irr::scene::ISceneNode* node, SceneNodeExtras* extras,
                       irr::io::IAttributes* in);
// "Name", "Id", "Position", "Rotation", "Scale" and "Visible", each only when present.
void readNodeTransformKeys(irr::scene::ISceneNode* node, irr::io::IAttributes* in);

// Copies name, transformation, flags, ID and culling from the source into the copy and
// clones the source's children that are not debug objects and its animators into the
// copy. Touches scene-node members only.
void cloneSceneNodeMembers(irr::scene::ISceneNode* copy, irr::scene::ISceneNode* source,
                           irr::scene::ISceneManager* manager);

// Called when a node of the program goes away or changes its ID: the level manager's ID
// map must not keep a pointer to it (defined with the level manager).
void forgetNodeID(irr::scene::ISceneNode* node, irr::s32 id);

// --- the base -------------------------------------------------------------------------------

template <class EngineNode> class SceneNodeBase : public EngineNode, public SceneNodeExtras {
public:
    // The engine node's own constructor arguments, e.g. (parent, manager, id, position,
    // rotation, scale) for ISceneNode.
    template <class... Args>
    explicit SceneNodeBase(Args&&... args) : EngineNode(std::forward<Args>(args)...) {
        registerSceneNodeExtras(this, this);
    }

    ~SceneNodeBase() override {
        forgetNodeID(this, this->ID);
        unregisterSceneNodeExtras(this);
    }

    using EngineNode::addChild;
    // Adds the child at the index among the children; -1 or an index past the end appends.
    // The child is grabbed, removed from its old parent and gets this node as parent.
    void addChild(irr::scene::ISceneNode* child, irr::s32 index) {
        if (!child || child == this)
            return;
        this->addChild(child);
        if (index < 0 || static_cast<irr::u32>(index) + 1 >= this->Children.size())
            return;
        auto last = this->Children.getLast();
        this->Children.erase(last);
        auto it = this->Children.begin();
        for (irr::s32 i = 0; i < index; ++i)
            ++it;
        this->Children.insert_before(it, child);
    }

    // Runs once per level frame: the animators, the absolute transformation and the
    // children, while the node is visible. A derived OnAnimate starts with
    // `if (animatedThisFrame()) return;` and ends by calling its base's OnAnimate.
    void OnAnimate(irr::u32 timeMs) override {
        if (animatedThisFrame())
            return;
        lastAnimateFrame = levelAnimateFrame;
        animateMembers(timeMs);
    }

    void updateAbsolutePosition() override {
        if (!this->Parent) {
            this->AbsoluteTransformation = this->getRelativeTransformation();
            return;
        }
        const irr::core::matrix4 parent = getParentAbsoluteTransformation();
        if (isExactlyIdentity(parent))
            this->AbsoluteTransformation = this->getRelativeTransformation();
        else
            this->AbsoluteTransformation = parent * this->getRelativeTransformation();
    }

    irr::core::matrix4 getParentAbsoluteTransformation() const override {
        return this->Parent ? this->Parent->getAbsoluteTransformation() : irr::core::IdentityMatrix;
    }

    bool isAbsoluteTransformationExactlyIdentity() const override {
        return isExactlyIdentity(this->AbsoluteTransformation);
    }

    // A node that changes its ID leaves the ID map; registering it again is the caller's
    // business, as with any node.
    void setID(irr::s32 id) override {
        if (id != this->ID)
            forgetNodeID(this, this->ID);
        EngineNode::setID(id);
    }

    void
    serializeAttributes(irr::io::IAttributes* out,
                        irr::io::SAttributeReadWriteOptions* options = nullptr) const override {
        (void)options;
        writeSceneNodeKeys(this, this, out);
    }

    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override {
        (void)options;
        readSceneNodeKeys(this, this, in);
        updateAbsolutePosition();
    }

protected:
    bool animatedThisFrame() const {
        return levelAnimateFrame != 0 && lastAnimateFrame == levelAnimateFrame;
    }

    // For a derived OnAnimate that animates its members itself.
    void markAnimatedThisFrame() { lastAnimateFrame = levelAnimateFrame; }

    // The engine's animate step, safe against children that leave the node meanwhile.
    void animateMembers(irr::u32 timeMs) {
        if (!this->IsVisible)
            return;
        auto ait = this->Animators.begin();
        while (ait != this->Animators.end()) {
            irr::scene::ISceneNodeAnimator* animator = *ait;
            ++ait; // an animator may remove itself
            animator->animateNode(this, timeMs);
        }
        updateAbsolutePosition();
        animateChildren(this, timeMs);
    }

private:
    irr::u32 lastAnimateFrame = 0;
};
