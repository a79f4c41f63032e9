#pragma once

#include "level/SceneNodeBase.h"

// The base of every level object. A plain level object (type 'emty') is a group: trigger
// child walks and waypoint and cutscene searches recurse through it. It draws nothing, is
// built at the origin with scale 1 and automatic culling off, and writes and reads the
// level-object keys "Name", "Id", "Position", "Rotation", "Scale", "Visible" and
// "AutomaticCulling"; derived writers and readers call these first.
class LevelObject : public SceneNodeBase<irr::scene::ISceneNode> {
public:
    LevelObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager,
                irr::s32 id = -1);

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("emty"); }
    const irr::core::aabbox3df& getBoundingBox() const override { return Box; }
    void render() override {}

    // Writes the level-object keys, leaving out those at their defaults unless the options
    // ask for an editor write (EARWF_FOR_EDITOR).
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    // Reads the level-object keys that are present; absent keys leave the node as it is.
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // A copy with the same attributes, children (not the debug ones) and animators, under
    // the new parent (this one's parent when null), with an ID from assignUniqueObjectID.
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    // Set-up step that derived objects (splines, waypoints) override; nothing here.
    virtual void setup() {}

    // Unlinks every child flagged as a debug object from the children list without
    // dropping it: the reference the list held passes to whoever keeps the child (the
    // object that made it), and the child no longer has a parent.
    virtual void removeDebugChildren();

    // Copies name, transformation, flags, ID and culling and clones the non-debug children
    // and the animators of the source into the copy.
    static void cloneMembers(irr::scene::ISceneNode* copy, irr::scene::ISceneNode* source,
                             irr::scene::ISceneManager* manager);

protected:
    // The clone of a derived class T: T(newParent, manager, id), its attributes copied
    // through an attribute container, the scene-node members cloned, a unique ID.
    template <class T>
    irr::scene::ISceneNode* cloneAs(irr::scene::ISceneNode* newParent,
                                    irr::scene::ISceneManager* newManager) {
        if (!newParent)
            newParent = Parent;
        if (!newManager)
            newManager = SceneManager;
        return finishClone(new T(newParent, newManager, ID), newParent, newManager);
    }

    irr::core::aabbox3df Box;

private:
    irr::scene::ISceneNode* finishClone(LevelObject* copy, irr::scene::ISceneNode* newParent,
                                        irr::scene::ISceneManager* newManager);
};

// Reads or writes the level-object keys of any node (used by LevelObject and by level
// objects that build on other engine node kinds).
void writeLevelObjectKeys(const irr::scene::ISceneNode* node, irr::io::IAttributes* out,
                          const irr::io::SAttributeReadWriteOptions* options);
void readLevelObjectKeys(irr::scene::ISceneNode* node, irr::io::IAttributes* in);

// True when the options ask for an editor write, which writes keys otherwise left out.
bool isEditorWrite(const irr::io::SAttributeReadWriteOptions* options);
