#pragma once

#include "level/LevelObject.h"
#include "level/ObjectiveList.h"

#include <string>

// An objective of the level ('obji'): its text (by ID in the level's objective collection),
// its icon, whether it is revealed and completed, and whether completing it takes
// suspicion away. Trigger actions reveal, hide, activate, complete and replace objectives;
// the level manager's objective list shows them.
//
// Keys: "TextID" (string), "IconFrame" (int), "IsRevealed", "IsCompleted",
// "ReducesSuspicion" (bools), "SuspicionReduction" (float, the amount taken away) and
// "ObjectiveListIndex" (int: its place in the objective list when the level was written,
// -1 when not listed), with which a level restored from a checkpoint lists its objectives
// again in their order.
class ObjectiveObject : public LevelObject {
public:
    ObjectiveObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1)
        : LevelObject(parent, manager, id) {}

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("obji"); }

    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    // Reveals or hides the objective; its row in the objective list follows.
    void setRevealed(bool revealed);
    // Completes the objective (once): its row shows the completion, and an objective that
    // reduces suspicion takes its amount off the current suspicion record.
    void complete();
    // Adds the objective to the level's objective list when it is revealed.
    void addToObjectiveList();
    // Takes over the source's content: text, icon and suspicion reduction.
    void replaceFrom(const ObjectiveObject& source);

    // What the objective list shows of it.
    ObjectiveEntry getEntry() const;

    std::wstring TextID;
    irr::s32 IconFrame = 0;
    bool IsRevealed = false;
    bool IsCompleted = false;
    bool ReducesSuspicion = false;
    irr::f32 SuspicionReduction = 0.0f;
    // The place in the objective list that the file gave; -1: not listed.
    irr::s32 ListIndexRead = -1;
};

// A level has loaded: the objectives its file lists go into the objective list, in their
// order.
void listLoadedObjectives(irr::scene::ISceneNode* root, ObjectiveList& list);

