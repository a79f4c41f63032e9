#pragma once

#include "level/LevelObject.h"

#include <vector>

// A sublevel ('slvl'): a node holding a sub-scene read from its "SubLevelFileName". The
// sub-scene's nodes are its children, flagged as debug objects so that saving and copying
// the level leave them out (the file name brings them back). Its visibility is its active
// state; activation switches its physics objects on or off, except the outliers: objects
// listed as outliers or lying outside the bounds the sub-scene had when it was read stay
// active while the sublevel is inactive.
class SubLevelObject : public LevelObject {
public:
    SubLevelObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager,
                   irr::s32 id = -1);

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("slvl"); }
    const irr::core::aabbox3df& getBoundingBox() const override { return Box; }

    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    // Reads "SubLevelFileName" and loads the sub-scene when the name changes.
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    const irr::io::path& getSubLevelFileName() const { return SubLevelFileName; }
    void setSubLevelFileName(const irr::io::path& fileName) { SubLevelFileName = fileName; }
    // Replaces the sub-scene with the file's content; false (logged) when it cannot be read.
    bool load();

    bool isActive() const { return isVisible(); }
    // Shows or hides the sublevel and sets the `active` flag of each of its physics objects
    // (outliers stay active), marking the outliers.
    void setActive(bool active);

    // The sorted outlier list (objects that stay active while the sublevel is inactive).
    bool containsOutlier(irr::scene::ISceneNode* node);
    void appendOutlier(irr::scene::ISceneNode* node);

    // Member test: true when the node belongs to the sub-scene. The member list is sorted
    // by node pointer on first use and searched by binary search.
    bool isMember(irr::scene::ISceneNode* node);

    // The bounds of the sub-scene as read, in world space (empty before a load).
    const irr::core::aabbox3df& getBounds() const { return Bounds; }

private:
    void clearContent();
    void collectMembers(irr::scene::ISceneNode* node);
    void applyActivation(irr::scene::ISceneNode* node, bool active);

    irr::io::path SubLevelFileName;
    std::vector<irr::scene::ISceneNode*> outliers; // sorted
    std::vector<irr::scene::ISceneNode*> members;  // compared, never followed; sorted on first use
    bool membersSorted = false;
    irr::core::aabbox3df Bounds;
    bool hasBounds = false;
};
