#pragma once

#include <irrlicht.h>

class TriggerObject;
class TriggerEventObject;

// The record an action receives when its trigger fires or reverts. A trigger event object
// keeps a copy and uses `time` as its delay timer and `flag` as its revert mark.
struct TriggerEventInfo {
    irr::scene::ISceneNode* object = nullptr;       // the causing object (physics kinds only)
    irr::scene::ISceneNode* secondObject = nullptr; // the colliding player object, or null
    irr::core::vector3df position;
    irr::core::vector3df secondVector;
    irr::f32 time = -1.0f;
    bool flag = false;
};

// An event from a node (kept only for the physics kinds) with zero vectors.
TriggerEventInfo makeEmptyTriggerEventInfo(irr::scene::ISceneNode* node);
// The same with a position.
TriggerEventInfo makeTriggerEventInfo(irr::scene::ISceneNode* node, const irr::core::vector3df& position);

// The action names by "OnTriggerEvent" index, ending with a null entry; the enumeration's
// names in level files and the names in the log.
inline constexpr irr::s32 triggerActionCount = 29;
extern const char* const triggerActionNames[triggerActionCount + 1];

// The base of every trigger action: what a trigger (or a trigger event object) does when
// its condition becomes met, and undoes when it stops being met. The base does nothing.
class TriggerAction {
public:
    TriggerAction(irr::s32 type, TriggerObject* trigger) : trigger(trigger), type(type) {}
    virtual ~TriggerAction() = default;
    TriggerAction(const TriggerAction&) = delete;
    TriggerAction& operator=(const TriggerAction&) = delete;

    // Once per frame from the owner.
    virtual void update() {}
    virtual void execute(TriggerEventInfo& /*event*/) {}
    virtual void revert(TriggerEventInfo& /*event*/) {}
    // Stops what the action still has running.
    virtual void cancel() {}
    // "UndoOnTriggerRevert", only for actions that can undo.
    virtual void serializeAttributes(irr::io::IAttributes* out,
                                     irr::io::SAttributeReadWriteOptions* options = nullptr) const;
    virtual void deserializeAttributes(irr::io::IAttributes* in,
                                       irr::io::SAttributeReadWriteOptions* options = nullptr);
    // A copy of the same class for another trigger, with no event object.
    virtual TriggerAction* clone(TriggerObject* newTrigger) const;

    // Copies the source's keys into the target through an attribute set.
    static void copyAttributes(const TriggerAction* source, TriggerAction* target);

    // One log line "[Trigger] name_id - [Event] name_id - Action - message" while
    // "System_LogTriggers" is on.
    void logStep(const char* message = nullptr) const;

    const char* getName() const;
    irr::s32 getType() const { return type; }
    bool canRevert() const { return canUndo; }

    TriggerEventObject* event = nullptr; // the owning event object, or null
    TriggerObject* trigger = nullptr;    // the trigger it acts for, or null
    irr::s32 type = 0;
    bool canUndo = false;
    bool UndoOnTriggerRevert = false;
};

// Makes the action of an "OnTriggerEvent" index, owned by the caller. Indices outside the
// table make a plain action of type 0. A name whose action class this program does not
// have yet gets a plain action that keeps the index (so the level file keeps the name) and
// does nothing; its first use logs that the action is unknown.
TriggerAction* createTriggerAction(irr::s32 index, TriggerObject* trigger);

// The action classes register their constructors by index (start-up, before levels load).
using TriggerActionCreator = TriggerAction* (*)(TriggerObject* trigger);
void registerTriggerActionClass(irr::s32 index, TriggerActionCreator create);
// Whether the index has a class of its own.
bool isTriggerActionClassRegistered(irr::s32 index);

// A text that is not empty and does not begin with "-".
bool isNameSet(const irr::core::stringc& text);
bool isNameSet(const irr::core::stringw& text);
